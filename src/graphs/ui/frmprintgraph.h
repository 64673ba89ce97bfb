#pragma once
#include <QLabel>
#include <QPushButton>
#include <QSvgRenderer>
#include <QTabWidget>
#include <QWidget>
#include <memory>
#include <vector>

#include "graphs/gallery.h"

namespace hv {

struct Program;

// A picture box that shows an SVG picture scaled into its area.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    enum class Load { Loaded, Missing, Unreadable };
    using QWidget::QWidget;
    // A picture that cannot be read leaves the one shown before.
    Load loadPicture(const QString& path);
    void clear();
    bool hasPicture() const { return picture_ != nullptr; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    std::unique_ptr<QSvgRenderer> picture_;
};

// The graph gallery "Graphs": one tab per slot with its picture; prints, clears and moves
// the pictures. Reloads every tab each time it becomes the active window.
class frmPrintGraph : public QWidget {
    Q_OBJECT
public:
    explicit frmPrintGraph(Program& p, QWidget* parent = nullptr);

    QPushButton* cmdGraphs = nullptr;
    QPushButton* cmdPrint = nullptr;
    QPushButton* cmdPath = nullptr;
    QPushButton* cmdClear = nullptr;
    QPushButton* cmdClearAll = nullptr;
    QTabWidget* SSTab1 = nullptr;
    std::vector<QLabel*> lblFile;      // 0..9
    std::vector<PictureBox*> Picture1; // 0..9

    void Form_Activate();
    void cmdClear_Click();
    void cmdClearAll_Click();
    void cmdPath_Click();
    void cmdPrint_Click();
    void cmdGraphs_Click();

    // Loads the picture and texts of every tab from the graph folder.
    void LoadTabs();
    // Shows a capture just made: its tab selected, the gallery in front.
    void ShowCapture(const CapturedSlot& slot);

protected:
    void changeEvent(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    Program& p_;
    bool lostToModal_ = false; // a message box of ours took the activation
};

// The graph window's "Save Graph Image": captures the chart into the next gallery slot and
// brings the gallery forward on that slot's tab.
void CaptureGraphToGallery(Program& p, const GraphCapture& capture);

} // namespace hv
