// The arithmetic of one reading's normalization, without the database.
#include <benchmark/benchmark.h>

#include <random>

#include "benchdata.h"
#include "core/currentproject.h"
#include "core/program.h"
#include "normalization/normalize.h"

using namespace hv;

namespace {

DbRow rowOf(const QVariantMap& m) {
    auto cols = std::make_shared<const ColumnSet>(m.keys());
    return DbRow(cols, m.values());
}

std::vector<ElementSpecRecord> elementTable() {
    std::vector<ElementSpecRecord> t(4);
    for (int i = 0; i < 4; ++i) {
        t[size_t(i)].ID = i + 1;
        t[size_t(i)].TALow = 0.0100;
        t[size_t(i)].TAHigh = 0.0090;
        t[size_t(i)].TBLow = 0.030;
        t[size_t(i)].TBHigh = 0.028;
        t[size_t(i)].DP3 = 1.45;
        t[size_t(i)].DP4 = 0.05;
    }
    return t;
}

void BM_NormalizeReading(benchmark::State& state) {
    const bench::TrainLayout& layout = bench::Layouts()[size_t(state.range(0))];
    ProjectInfoRecord reference;
    {
        // LoadProjectSettings fills the record from a row as the recalculation does.
        struct NoPrompts : Prompts {
            Answer message(const QString&, Buttons, Icon, const QString&) override { return Answer::OK; }
            std::optional<QString> input(const QString&, const QString&, const QString&) override {
                return {};
            }
            QString openFile(const QString&, const QString&, const QString&) override { return {}; }
            QString saveFile(const QString&, const QString&, const QString&) override { return {}; }
            QString chooseFolder(const QString&, const QString&) override { return {}; }
            bool choosePrinter(QPrinter&) override { return false; }
        } prompts;
        SystemInfo system;
        UserStore store(QStringLiteral("/dev/null"));
        Program p(prompts, system, store);
        LoadProjectSettings(p, rowOf(bench::ReferenceRow(layout)));
        reference = p.CurrentProject;
    }
    const std::vector<ElementSpecRecord> table = elementTable();
    std::mt19937_64 rng(1);
    QVariantList values;
    bench::ReadingValues(layout, 100, rng, values);
    QVariantMap reading;
    for (int i = 0; i < values.size(); ++i)
        reading[bench::ReadingColumns()[i]] = values[i];
    struct MapSource {
        const QVariantMap& m;
        QVariant at(int i) const {
            const QString name = QLatin1String(ReadColumns[size_t(i)].name);
            for (auto it = m.begin(); it != m.end(); ++it)
                if (it.key().compare(name, Qt::CaseInsensitive) == 0) return it.value();
            return QVariant(0.0); // calculated columns start at 0
        }
        double number(int i) const { return conv::toDouble(at(i)); }
        qint16 int16(int i) const { return conv::toInt16(at(i)); }
        void present(int) const {}
    } source{reading};
    DataWorking raw;
    ReadWorking(raw, source);
    for (auto _ : state) {
        DataWorking w = raw;
        NormalizeReading(w, reference, table);
        benchmark::DoNotOptimize(w);
    }
    state.SetLabel(QString("%1 bank(s)").arg(layout.banks).toStdString());
}

} // namespace

BENCHMARK(BM_NormalizeReading)->Arg(0)->Arg(2)->Arg(4);
BENCHMARK_MAIN();
