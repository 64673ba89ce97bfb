#pragma once
#include <QObject>
#include <QString>
#include <array>

namespace hv {

// The main window's three status-bar panels (1 status line, 2 date, 3 time). Logic
// writes here; the main window shows them. Panels are numbered from 1.
class StatusPanels : public QObject {
    Q_OBJECT
public:
    void setText(int panel, const QString& text);
    QString text(int panel) const;
    void setBusy(bool busy); // the hourglass
    bool busy() const { return busy_; }
signals:
    void changed(int panel, const QString& text);
    void busyChanged(bool busy);

private:
    std::array<QString, 3> texts_;
    bool busy_ = false;
};

} // namespace hv
