#include "support/fitcheck.h"

#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QStyle>
#include <QStyleOption>
#include <QTabBar>
#include <QTemporaryFile>
#include <QToolButton>

namespace hv::test {

namespace {

QString describe(const QWidget* w, const QString& text) {
    const QString name =
        w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className()) : w->objectName();
    return QStringLiteral("%1 \"%2\"").arg(name, text.left(80));
}

QString tooNarrow(const QWidget* w, const QString& text, int needs, int has) {
    return describe(w, text) + QStringLiteral(": needs %1 px wide, has %2").arg(needs).arg(has);
}

QString tooLow(const QWidget* w, const QString& text, int needs, int has) {
    return describe(w, text) + QStringLiteral(": needs %1 px high, has %2").arg(needs).arg(has);
}

// Laid out inside something that scrolls: its place in the window is not its own to keep.
bool scrolled(const QWidget* w, const QWidget* window) {
    for (const QWidget* p = w->parentWidget(); p && p != window; p = p->parentWidget())
        if (auto* area = qobject_cast<const QAbstractScrollArea*>(p->parentWidget());
            area && area->viewport() == p)
            return true;
    return false;
}

void checkLabel(const QLabel* l, QStringList& out) {
    const QString text = l->text();
    if (text.isEmpty() || !l->pixmap().isNull()) return;
    if (l->wordWrap()) {
        const int needs = l->heightForWidth(l->width());
        if (needs > l->height()) out << tooLow(l, text, needs, l->height());
        return;
    }
    const QSize hint = l->sizeHint();
    if (hint.width() > l->width()) out << tooNarrow(l, text, hint.width(), l->width());
    if (hint.height() > l->height()) out << tooLow(l, text, hint.height(), l->height());
}

// The width a line edit gives its text: its contents, less the text margins and the
// two pixels a side it keeps clear.
int lineEditRoom(const QLineEdit* e) {
    QStyleOptionFrame opt;
    opt.initFrom(e);
    opt.rect = e->rect();
    opt.lineWidth = e->hasFrame() ? e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, e) : 0;
    opt.midLineWidth = 0;
    opt.state |= QStyle::State_Sunken;
    const QRect r = e->style()->subElementRect(QStyle::SE_LineEditContents, &opt, e);
    const QMargins m = e->textMargins();
    return r.width() - m.left() - m.right() - 4;
}

void checkLineEdit(const QLineEdit* e, QStringList& out) {
    if (qobject_cast<const QComboBox*>(e->parentWidget())) return; // the combo box's items are checked
    const QString text = e->displayText();
    if (text.isEmpty()) return;
    const int needs = e->fontMetrics().horizontalAdvance(text) + 1; // and the cursor
    const int has = lineEditRoom(e);
    if (needs > has) out << tooNarrow(e, text, needs, has);
}

void checkComboBox(const QComboBox* c, QStringList& out) {
    QStyleOptionComboBox opt;
    opt.initFrom(c);
    opt.editable = c->isEditable();
    opt.frame = c->hasFrame();
    opt.subControls = QStyle::SC_All;
    const QRect field =
        c->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, c);
    const int has = c->isEditable() && c->lineEdit() ? lineEditRoom(c->lineEdit()) : field.width() - 2;
    // A disabled box shows its choice and no other.
    for (int i = 0; i < c->count(); ++i) {
        if (!c->isEnabled() && i != c->currentIndex()) continue;
        const QString text = c->itemText(i);
        if (text.isEmpty()) continue;
        int needs = c->fontMetrics().horizontalAdvance(text);
        if (!c->itemIcon(i).isNull()) needs += c->iconSize().width() + 4;
        if (needs > has) out << tooNarrow(c, text, needs, has) + QStringLiteral(" (item %1)").arg(i);
    }
}

void checkPushButton(const QPushButton* b, QStringList& out) {
    const QString text = b->text();
    if (text.isEmpty()) return;
    QStyleOptionButton opt;
    opt.initFrom(b);
    opt.text = text;
    opt.icon = b->icon();
    opt.iconSize = b->iconSize();
    if (b->isDefault()) opt.features |= QStyleOptionButton::DefaultButton;
    if (b->isFlat()) opt.features |= QStyleOptionButton::Flat;
    if (b->menu()) opt.features |= QStyleOptionButton::HasMenu;
    const QRect contents = b->style()->subElementRect(QStyle::SE_PushButtonContents, &opt, b);
    int needs = b->fontMetrics().size(Qt::TextShowMnemonic, text).width();
    if (!opt.icon.isNull()) needs += opt.iconSize.width() + 4;
    if (b->menu()) needs += b->style()->pixelMetric(QStyle::PM_MenuButtonIndicator, &opt, b);
    if (needs > contents.width()) out << tooNarrow(b, text, needs, contents.width());
    const int high = b->fontMetrics().size(Qt::TextShowMnemonic, text).height();
    if (high > contents.height()) out << tooLow(b, text, high, contents.height());
}

// Check boxes, radio buttons and tool buttons ask for exactly what their text needs.
void checkByHint(const QAbstractButton* b, QStringList& out) {
    if (b->text().isEmpty()) return;
    const QSize hint = b->sizeHint();
    if (hint.width() > b->width()) out << tooNarrow(b, b->text(), hint.width(), b->width());
    if (hint.height() > b->height()) out << tooLow(b, b->text(), hint.height(), b->height());
}

void checkGroupBox(const QGroupBox* g, QStringList& out) {
    if (g->title().isEmpty()) return;
    QStyleOptionGroupBox opt;
    opt.initFrom(g);
    opt.text = g->title();
    opt.lineWidth = 1;
    opt.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    if (g->isCheckable()) opt.subControls |= QStyle::SC_GroupBoxCheckBox;
    const QRect label = g->style()->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxLabel, g);
    const int needs = label.x() + label.width();
    if (needs > g->width()) out << tooNarrow(g, g->title(), needs, g->width());
}

void checkTabBar(const QTabBar* t, QStringList& out) {
    for (int i = 0; i < t->count(); ++i) {
        if (!t->isTabVisible(i) || t->tabText(i).isEmpty()) continue;
        const int needs = t->fontMetrics().size(Qt::TextShowMnemonic, t->tabText(i)).width() +
                          t->style()->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, t);
        if (needs > t->tabRect(i).width())
            out << tooNarrow(t, t->tabText(i), needs, t->tabRect(i).width()) +
                       QStringLiteral(" (tab %1)").arg(i);
    }
}

void checkHeader(const QHeaderView* h, QStringList& out) {
    const QAbstractItemModel* model = h->model();
    if (!model) return;
    const int count = h->orientation() == Qt::Horizontal ? model->columnCount(h->rootIndex())
                                                         : model->rowCount(h->rootIndex());
    for (int section = 0; section < count; ++section) {
        if (h->isSectionHidden(section)) continue;
        const QString text = model->headerData(section, h->orientation(), Qt::DisplayRole).toString();
        if (text.isEmpty()) continue;
        QStyleOptionHeader opt;
        opt.initFrom(h);
        const QVariant font = model->headerData(section, h->orientation(), Qt::FontRole);
        if (font.canConvert<QFont>()) opt.fontMetrics = QFontMetrics(font.value<QFont>());
        opt.section = section;
        opt.text = text;
        opt.orientation = h->orientation();
        opt.textAlignment = h->defaultAlignment();
        if (h->isSortIndicatorShown() && h->sortIndicatorSection() == section)
            opt.sortIndicator = h->sortIndicatorOrder() == Qt::AscendingOrder ? QStyleOptionHeader::SortDown
                                                                              : QStyleOptionHeader::SortUp;
        const QSize needs = h->style()->sizeFromContents(QStyle::CT_HeaderSection, &opt, QSize(), h);
        const int wide = h->orientation() == Qt::Horizontal ? h->sectionSize(section) : h->width();
        const int high = h->orientation() == Qt::Horizontal ? h->height() : h->sectionSize(section);
        const QString which = QStringLiteral(" (section %1)").arg(section);
        if (needs.width() > wide) out << tooNarrow(h, text, needs.width(), wide) + which;
        if (needs.height() > high) out << tooLow(h, text, needs.height(), high) + which;
    }
}

void checkScrollArea(const QScrollArea* a, QStringList& out) {
    const QWidget* content = a->widget();
    if (!content) return;
    const QSize shown = a->viewport()->size();
    if (content->width() > shown.width() || content->height() > shown.height())
        out << describe(a, QString()) + QStringLiteral(": must scroll, content %1 x %2 in %3 x %4")
                                            .arg(content->width())
                                            .arg(content->height())
                                            .arg(shown.width())
                                            .arg(shown.height());
}

} // namespace

void useScreenOf1280x800() {
    if (qEnvironmentVariable("QT_QPA_PLATFORM") != QLatin1String("offscreen")) return;
    static QTemporaryFile config;
    if (!config.open()) return;
    config.write(R"({"screens": [{"name": "", "x": 0, "y": 0, "width": 1280, "height": 800,
                     "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    config.flush();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config.fileName()));
}

QStringList cutOffTexts(QWidget* window) {
    QStringList out;
    if (!window->isVisible()) return {QStringLiteral("the window is not shown")};
    window->ensurePolished();
    // A layout that settles can ask again (a scroll area for its bars): a few rounds.
    for (int round = 0; round < 3; ++round) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        if (window->layout()) window->layout()->activate();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }

    const QSize least = window->minimumSizeHint().expandedTo(window->minimumSize());
    for (const auto& [what, size] : {std::pair{"size", window->size()}, std::pair{"least size", least}})
        if (size.width() > MaxWindowSize.width() || size.height() > MaxWindowSize.height())
            out << QStringLiteral("window %1: %2 x %3 is more than %4 x %5")
                       .arg(QLatin1String(what))
                       .arg(size.width())
                       .arg(size.height())
                       .arg(MaxWindowSize.width())
                       .arg(MaxWindowSize.height());

    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisible() || w->isWindow()) continue;
        if (auto* l = qobject_cast<QLabel*>(w))
            checkLabel(l, out);
        else if (auto* e = qobject_cast<QLineEdit*>(w))
            checkLineEdit(e, out);
        else if (auto* c = qobject_cast<QComboBox*>(w))
            checkComboBox(c, out);
        else if (auto* b = qobject_cast<QPushButton*>(w))
            checkPushButton(b, out);
        else if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w) ||
                 qobject_cast<QToolButton*>(w))
            checkByHint(static_cast<QAbstractButton*>(w), out);
        else if (auto* g = qobject_cast<QGroupBox*>(w))
            checkGroupBox(g, out);
        else if (auto* t = qobject_cast<QTabBar*>(w))
            checkTabBar(t, out);
        else if (auto* h = qobject_cast<QHeaderView*>(w))
            checkHeader(h, out);
        else if (auto* a = qobject_cast<QScrollArea*>(w))
            checkScrollArea(a, out);
        else
            continue;
        const QRect placed(w->mapTo(window, QPoint(0, 0)), w->size());
        if (!window->rect().contains(placed) && !scrolled(w, window))
            out << describe(w, QString()) + QStringLiteral(": lies partly outside the window");
    }
    return out;
}

} // namespace hv::test
