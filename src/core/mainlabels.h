#pragma once
#include <QObject>
#include <QString>

namespace hv {

// The main window's database labels. Logic (the database chooser, the reminder, the
// migration) writes them here; the main window shows them.
class MainLabels : public QObject {
    Q_OBJECT
public:
    QString lblDatabase() const { return database_; }
    QString lblDBVersion() const { return dbVersion_; }
    void setDatabase(const QString& text) {
        database_ = text;
        emit changed();
    }
    void setDBVersion(const QString& text) {
        dbVersion_ = text;
        emit changed();
    }
signals:
    void changed();

private:
    QString database_;
    QString dbVersion_;
};

} // namespace hv
