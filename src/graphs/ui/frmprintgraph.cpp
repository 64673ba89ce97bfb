#include "graphs/ui/frmprintgraph.h"

#include <QApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionTab>
#include <QStylePainter>
#include <QTabBar>
#include <QVBoxLayout>
#include <utility>

#include "core/program.h"
#include "core/typedinput.h"

namespace hv {

PictureBox::Load PictureBox::loadPicture(const QString& path) {
    if (!QFileInfo(path).isFile()) return Load::Missing;
    auto picture = std::make_unique<QSvgRenderer>();
    if (!picture->load(path)) return Load::Unreadable;
    picture_ = std::move(picture);
    update();
    return Load::Loaded;
}

void PictureBox::clear() {
    picture_.reset();
    update();
}

void PictureBox::paintEvent(QPaintEvent*) {
    if (!picture_) return;
    QSizeF size = picture_->defaultSize();
    if (size.isEmpty()) size = QSizeF(width(), height());
    size.scale(QSizeF(width(), height()), Qt::KeepAspectRatio);
    QPainter painter(this);
    picture_->render(&painter,
                     QRectF(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size));
}

namespace {
QString emptyCaption(int n) {
    return QStringLiteral("Tab ") + QString::number(n) + QStringLiteral(" empty");
}

// Tabs stacked down the gallery's left side with their captions written across, as on top:
// ten captions with their titles show whole, where one row of them would run past the window.
class SideTabBar : public QTabBar {
public:
    using QTabBar::QTabBar;

protected:
    QSize tabSizeHint(int index) const override {
        const QSize text = fontMetrics().size(Qt::TextShowMnemonic, tabText(index));
        return QSize(text.width() + style()->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, this),
                     text.height() + style()->pixelMetric(QStyle::PM_TabBarTabVSpace, nullptr, this));
    }
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        for (int i = 0; i < count(); ++i) {
            QStyleOptionTab tab;
            initStyleOption(&tab, i);
            painter.drawControl(QStyle::CE_TabBarTabShape, tab);
            tab.shape = QTabBar::RoundedNorth; // the caption reads across
            painter.drawControl(QStyle::CE_TabBarTabLabel, tab);
        }
    }
};

class SideTabs : public QTabWidget {
public:
    explicit SideTabs(QWidget* parent) : QTabWidget(parent) {
        auto* bar = new SideTabBar(this);
        bar->setElideMode(Qt::ElideNone);
        bar->setExpanding(false);
        setTabBar(bar);
        setTabPosition(QTabWidget::West);
    }
};
} // namespace

frmPrintGraph::frmPrintGraph(Program& p, QWidget* parent) : QWidget(parent), p_(p) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Graphs"));
    resize(1180, 700);

    auto button = [this](QPushButton*& b, const char* name, const QString& text) {
        b = new QPushButton(text, this);
        b->setObjectName(name);
    };
    button(cmdGraphs, "cmdGraphs", QStringLiteral("Back to Graphs Manager"));
    button(cmdPrint, "cmdPrint", QStringLiteral("Print Selected Graph"));
    button(cmdPath, "cmdPath", QStringLiteral("Select Path to Store svg files"));
    button(cmdClear, "cmdClear", QStringLiteral("Clear Selected"));
    button(cmdClearAll, "cmdClearAll", QStringLiteral("Clear All"));
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {cmdGraphs, cmdPrint, cmdPath, cmdClear, cmdClearAll})
        buttons->addWidget(b);
    buttons->addStretch();

    SSTab1 = new SideTabs(this);
    SSTab1->setObjectName("SSTab1");
    for (int n = 0; n < GallerySlotCount; ++n) {
        auto* page = new QWidget(SSTab1);
        auto* label = new QLabel(page);
        label->setObjectName(QStringLiteral("lblFile_%1").arg(n));
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        auto* picture = new PictureBox(page);
        picture->setObjectName(QStringLiteral("Picture1_%1").arg(n));
        picture->setAutoFillBackground(true);
        picture->setBackgroundRole(QPalette::Base);
        auto* layout = new QVBoxLayout(page);
        layout->addWidget(label);
        layout->addWidget(picture, 1);
        lblFile.push_back(label);
        Picture1.push_back(picture);
        SSTab1->addTab(page, emptyCaption(n));
    }

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(SSTab1, 1);

    connect(cmdGraphs, &QPushButton::clicked, this, &frmPrintGraph::cmdGraphs_Click);
    connect(cmdPrint, &QPushButton::clicked, this, &frmPrintGraph::cmdPrint_Click);
    connect(cmdPath, &QPushButton::clicked, this, &frmPrintGraph::cmdPath_Click);
    connect(cmdClear, &QPushButton::clicked, this, &frmPrintGraph::cmdClear_Click);
    connect(cmdClearAll, &QPushButton::clicked, this, &frmPrintGraph::cmdClearAll_Click);
}

void frmPrintGraph::changeEvent(QEvent* e) {
    QWidget::changeEvent(e);
    if (e->type() != QEvent::ActivationChange) return;
    if (!isActiveWindow()) {
        lostToModal_ = QApplication::activeModalWidget() != nullptr;
        return;
    }
    // Coming back from one of our message boxes is no new visit: the tab the user works on stays.
    if (std::exchange(lostToModal_, false)) return;
    Form_Activate();
}

void frmPrintGraph::keyPressEvent(QKeyEvent* e) {
    // Escape closes the gallery, as its title bar's close does; its pictures stay on disk.
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(e);
}

void frmPrintGraph::LoadTabs() {
    const QString saved = ShortDateTimeText(p_.system.now());
    for (int n = 0; n < GallerySlotCount; ++n) {
        const QString file = GallerySlotPath(p_.GraphPath, n);
        if (Picture1[n]->loadPicture(file) == PictureBox::Load::Missing) {
            SSTab1->setTabText(n, emptyCaption(n));
            lblFile[n]->setText(QStringLiteral("File path: ") + p_.GraphPath +
                                QStringLiteral("  ----  No File Found!"));
        } else {
            // A tab caption takes "&" for a shortcut mark: doubled, it shows as typed.
            SSTab1->setTabText(n,
                               QStringLiteral("#") + QString::number(n) + QLatin1Char(' ') +
                                   GallerySlotTitle(p_.IniFilePath, n).replace(u'&', QStringLiteral("&&")));
            lblFile[n]->setText(QStringLiteral("File Path: ") + file + QStringLiteral(". Saved: ") + saved);
        }
    }
}

void frmPrintGraph::Form_Activate() {
    LoadTabs();
    QCoreApplication::processEvents();
    SSTab1->setCurrentIndex(LatestGalleryTab(p_.IniFilePath).value_or(GallerySlotCount - 1));
}

void frmPrintGraph::cmdClear_Click() {
    if (p_.prompts.message(QStringLiteral("Clear current tab?"), Buttons::OKCancel, Icon::Question, Title) !=
        Answer::OK)
        return;
    const int n = SSTab1->currentIndex();
    DeleteGallerySlot(p_.GraphPath, n);
    Picture1[n]->clear();
    SSTab1->setTabText(n, emptyCaption(n));
    QCoreApplication::processEvents();
    update();
}

void frmPrintGraph::cmdClearAll_Click() {
    if (p_.prompts.message(QStringLiteral("Clear all tabs?"), Buttons::OKCancel, Icon::Question, Title) !=
        Answer::OK)
        return;
    for (int n = 0; n < GallerySlotCount; ++n) {
        DeleteGallerySlot(p_.GraphPath, n);
        Picture1[n]->clear();
        SSTab1->setTabText(n, emptyCaption(n));
    }
    SSTab1->setCurrentIndex(0);
    ResetGallerySlots(p_.IniFilePath);
    update();
}

void frmPrintGraph::cmdPath_Click() {
    const QString chosen =
        p_.prompts.saveFile(QStringLiteral("SAVE to capture path!"), QStringLiteral("All Files (*.*)|*.*"),
                            p_.GraphPath + QStringLiteral("/MyCharts.will.not.be.saved.svg"));
    const std::optional<QString> folder = ChosenGalleryFolder(chosen, p_.GraphPath);
    if (!folder) return;
    if (p_.prompts.message(
            QStringLiteral("This will become effective with future graph selections. Do you wish to "
                           "first clear all the graphs in the old directory?"),
            Buttons::YesNo, Icon::Question, Title) == Answer::Yes)
        cmdClearAll_Click();
    MoveGallery(p_, *folder);
    LoadTabs();
    SSTab1->setCurrentIndex(0);
    QCoreApplication::processEvents();
}

void frmPrintGraph::cmdPrint_Click() {
    p_.PrintFilePath = GallerySlotPath(p_.GraphPath, SSTab1->currentIndex());
    p_.windows.showSingle(QStringLiteral("dlgPrint2"));
}

void frmPrintGraph::cmdGraphs_Click() {
    p_.windows.showSingle(QStringLiteral("frmGraphs"));
}

void frmPrintGraph::ShowCapture(const CapturedSlot& slot) {
    LoadTabs();
    SSTab1->setCurrentIndex(slot.slot);
    QCoreApplication::processEvents();
}

void CaptureGraphToGallery(Program& p, const GraphCapture& capture) {
    const std::optional<CapturedSlot> slot = CaptureGraph(p, capture);
    if (!slot) return;
    if (auto* gallery = qobject_cast<frmPrintGraph*>(p.windows.showSingle(QStringLiteral("frmPrintGraph"))))
        gallery->ShowCapture(*slot);
}

} // namespace hv
