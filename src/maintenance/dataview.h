#pragma once
#include <QAbstractTableModel>
#include <QString>
#include <QStringList>
#include <vector>

namespace hv {

// The readings of one project (every train), oldest first, as the data view shows them: the
// date and time in the computer's short form, the reading's train, then 55 raw and calculated values
// formatted by magnitude (a Null shows as "0.0", an optional item without a value empty); the train and the
// event are whole numbers. Read-only. Sorting happens inside the model, so the grey bands on every second row
// follow the order shown.
class DataViewModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static const QStringList& QueryColumns(); // the 58 columns read
    // The date, the train (the rows mix the project's trains), then the values through
    // TurbidityRaw.
    static constexpr int ShownColumns = 57;
    static constexpr int TrainColumn = 1;
    static constexpr int EventColumn = 2;
    static constexpr unsigned BandColour = 0xC0C0C0;

    explicit DataViewModel(QObject* parent = nullptr);

    // Reads the project's readings from the database; DbError on failure.
    void load(const QString& databasePath, const QString& projectId);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // A click on a header: the same column again toggles between ascending and descending,
    // another column starts ascending.
    void headerClicked(int column);
    // Column 0 sorts by date (the stored "yyyy-mm-dd hh:mm:ss" text), the others by value; ties
    // keep their order.
    void sortBy(int column, bool ascending);

    int SortColumn = 0;
    int SortMode = 0; // 3 ascending, 4 descending

    QString cellText(int row, int column) const;

private:
    int valueColumns() const { return ShownColumns - 1; }
    // The query column shown in a value column (1 on).
    static int queryColumn(int shown);
    std::vector<QString> dates_;      // as stored, for sorting
    std::vector<QString> shownDates_; // in the computer's short form
    std::vector<double> values_;      // row-major, valueColumns() per row
    std::vector<int> order_;          // shown row -> stored row
};

} // namespace hv
