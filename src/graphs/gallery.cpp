#include "graphs/gallery.h"

#include <QFile>
#include <algorithm>

#include "core/program.h"
#include "core/settings.h"

namespace hv {

namespace {
const QString Section = QStringLiteral("Current Project");
const QString LastTab = QStringLiteral("Last Tab");
QString tabKey(int slot) {
    return QStringLiteral("Tab") + QString::number(slot);
}

std::optional<int> lastTab(const QString& iniFile) {
    bool ok = false;
    const int v = ReadIniValue(Section, LastTab, QStringLiteral("0"), iniFile).toInt(&ok);
    if (!ok || v < 0) return std::nullopt;
    return v;
}
} // namespace

QString GallerySlotPath(const QString& graphPath, int slot) {
    return graphPath + QStringLiteral("/Chart") + QString::number(slot) + QStringLiteral(".svg");
}

int NextGallerySlot(const QString& iniFile) {
    const int v = lastTab(iniFile).value_or(0);
    return v > 9 ? 0 : v;
}

std::optional<int> LatestGalleryTab(const QString& iniFile) {
    const std::optional<int> v = lastTab(iniFile);
    if (!v) return std::nullopt;
    return (*v > 9 || *v == 0) ? 9 : *v - 1;
}

QString GallerySlotTitle(const QString& iniFile, int slot) {
    return ReadIniValue(Section, tabKey(slot), QStringLiteral("No title"), iniFile);
}

QString ComposeSlotTitle(const QString& projectId, int train, const QString& title, const QString& legend) {
    return projectId.left(12) + QLatin1Char('-') + QString::number(train) + QLatin1Char(' ') +
           (title.isEmpty() ? legend : title);
}

std::optional<CapturedSlot> CaptureGraph(Program& p, const GraphCapture& capture) {
    CapturedSlot c;
    c.slot = NextGallerySlot(p.IniFilePath);
    const QString path = GallerySlotPath(p.GraphPath, c.slot);
    if (const std::optional<QString> failure = SavePictureWithPaddedLegend(capture.chart, path)) {
        p.prompts.message(PictureFailureText(path, *failure), Buttons::OK, Icon::Critical, Title);
        return std::nullopt;
    }
    c.title = ComposeSlotTitle(capture.projectId, capture.train, capture.title, capture.chart.legend);
    WriteIniValue(Section, tabKey(c.slot), p.IniFilePath, c.title);
    WriteIniValue(Section, LastTab, p.IniFilePath, QString::number(c.slot + 1));
    return c;
}

void DeleteGallerySlot(const QString& graphPath, int slot) {
    QFile::remove(GallerySlotPath(graphPath, slot));
}

void ResetGallerySlots(const QString& iniFile) {
    WriteIniValue(Section, LastTab, iniFile, QStringLiteral("0"));
}

std::optional<QString> ChosenGalleryFolder(const QString& chosenFile, const QString& graphPath) {
    if (chosenFile.isEmpty()) return std::nullopt;
    const QString folder = chosenFile.left(std::max<qsizetype>(chosenFile.lastIndexOf(QLatin1Char('/')), 0));
    if (folder.size() < 3 || folder == graphPath) return std::nullopt;
    return folder;
}

void MoveGallery(Program& p, const QString& folder) {
    p.GraphPath = folder;
    WriteIniValue(Section, QStringLiteral("GraphPath"), p.IniFilePath, folder);
    for (int n = 0; n < GallerySlotCount; ++n)
        WriteIniValue(Section, tabKey(n), p.IniFilePath, QStringLiteral(" Old"));
    ResetGallerySlots(p.IniFilePath);
}

} // namespace hv
