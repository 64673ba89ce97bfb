#include "support/fitcheck.h"

#include <functional>

#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOption>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryFile>
#include <QTextEdit>
#include <QToolButton>
#include <QTreeView>

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

// A text shortened to fit must still be readable whole, in its tooltip.
void checkElided(const QWidget* w, const QString& text, QStringList& out) {
    if (!text.contains(QChar(0x2026))) return;
    const QString tip = w->toolTip();
    for (const QString& piece : text.split(QChar(0x2026), Qt::SkipEmptyParts))
        if (!tip.contains(piece.trimmed())) {
            out << describe(w, text) +
                       QStringLiteral(": shortened, and its tooltip \"%1\" lacks the whole text").arg(tip);
            return;
        }
}

void checkLabel(const QLabel* l, QStringList& out) {
    const QString text = l->text();
    if (text.isEmpty() || !l->pixmap().isNull()) return;
    checkElided(l, text, out);
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
    // A combo box's items and a spin box's values are checked by the box.
    if (qobject_cast<const QComboBox*>(e->parentWidget()) ||
        qobject_cast<const QAbstractSpinBox*>(e->parentWidget()))
        return;
    const QString text = e->displayText();
    if (text.isEmpty()) return;
    checkElided(e, text, out);
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

// A spin or date box asks for the width its longest value needs beside its buttons.
void checkSpinBox(const QAbstractSpinBox* s, QStringList& out) {
    const QSize hint = s->sizeHint();
    if (hint.width() > s->width()) out << tooNarrow(s, s->text(), hint.width(), s->width());
}

// Every tab shows its caption whole and lies within its bar: a tab behind the bar's
// scroll buttons is a caption the user does not see.
void checkTabsShown(const QTabBar* t, QStringList& out) {
    for (int i = 0; i < t->count(); ++i) {
        if (!t->isTabVisible(i)) continue;
        if (!t->rect().contains(t->tabRect(i)))
            out << describe(t, t->tabText(i)) +
                       QStringLiteral(": tab %1 lies beyond its bar of %2 px").arg(i).arg(t->width());
    }
}

// The room an item view gives its rows' texts, column by column.
int cellRoom(const QAbstractItemView* v, const QModelIndex& index) {
    if (auto* table = qobject_cast<const QTableView*>(v)) {
        const int span = table->columnSpan(index.row(), index.column());
        int wide = 0;
        for (int c = index.column(); c < index.column() + span; ++c)
            wide += table->columnWidth(c);
        return wide;
    }
    if (auto* tree = qobject_cast<const QTreeView*>(v)) {
        int wide = tree->columnWidth(index.column());
        if (index.column() == 0) {
            int depth = tree->rootIsDecorated() ? 1 : 0;
            for (QModelIndex p = index.parent(); p.isValid(); p = p.parent())
                ++depth;
            wide -= depth * tree->indentation();
        }
        return wide;
    }
    return v->viewport()->width(); // a list: an entry wider than it is cut at its edge
}

// Every entry of a list and every cell of a table or tree, as its delegate draws it, within
// its column. Rows the view hides are skipped; so are views of more rows than anyone reads
// at once, past their first thousand.
void checkItemView(const QAbstractItemView* v, bool typedFreely, QStringList& out) {
    const QAbstractItemModel* model = v->model();
    if (!model || typedFreely) return;
    if (auto* list = qobject_cast<const QListView*>(v); list && list->viewMode() != QListView::ListMode)
        return;
    const auto* table = qobject_cast<const QTableView*>(v);
    const auto* tree = qobject_cast<const QTreeView*>(v);
    QStyleOptionViewItem opt;
    opt.initFrom(v);
    opt.font = v->font();
    opt.fontMetrics = v->fontMetrics();
    opt.decorationSize = v->iconSize().isValid()
                             ? v->iconSize()
                             : QSize(v->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, v),
                                     v->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, v));
    opt.textElideMode = v->textElideMode();
    opt.showDecorationSelected =
        v->style()->styleHint(QStyle::SH_ItemView_ShowDecorationSelected, nullptr, v);
    if (table)
        opt.features |= table->wordWrap() ? QStyleOptionViewItem::WrapText : QStyleOptionViewItem::None;
    if (tree) opt.features |= tree->wordWrap() ? QStyleOptionViewItem::WrapText : QStyleOptionViewItem::None;
    int reported = 0;
    std::function<void(const QModelIndex&)> rowsUnder = [&](const QModelIndex& parent) {
        const int rows = std::min(model->rowCount(parent), 1000);
        const int columns = model->columnCount(parent);
        for (int r = 0; r < rows && reported < 20; ++r) {
            if (table && table->isRowHidden(r)) continue;
            if (tree && tree->isRowHidden(r, parent)) continue;
            if (auto* list = qobject_cast<const QListView*>(v); list && list->isRowHidden(r)) continue;
            for (int c = 0; c < columns; ++c) {
                if (table && (table->isColumnHidden(c) || table->columnSpan(r, c) == 0)) continue;
                if (tree && tree->isColumnHidden(c)) continue;
                if (auto* list = qobject_cast<const QListView*>(v); list && c != list->modelColumn())
                    continue;
                const QModelIndex index = model->index(r, c, parent);
                const QString text = index.data(Qt::DisplayRole).toString();
                if (text.isEmpty()) continue;
                const QSize needs = v->itemDelegateForIndex(index)->sizeHint(opt, index);
                const int has = cellRoom(v, index);
                if (needs.width() > has) {
                    out << tooNarrow(v, text, needs.width(), has) +
                               QStringLiteral(" (row %1, column %2)").arg(r).arg(c);
                    ++reported;
                }
            }
            if (tree && tree->isExpanded(model->index(r, 0, parent))) rowsUnder(model->index(r, 0, parent));
        }
    };
    rowsUnder(v->rootIndex());
}

// A text box whose text the program puts there shows all of it without scrolling.
void checkTextBox(const QAbstractScrollArea* a, QStringList& out) {
    for (const auto& [bar, way] :
         {std::pair{a->horizontalScrollBar(), "wide"}, std::pair{a->verticalScrollBar(), "high"}})
        if (bar->maximum() > 0)
            out << describe(a, QString()) + QStringLiteral(": must scroll, its text is %1 steps too %2")
                                                .arg(bar->maximum() - bar->minimum())
                                                .arg(QLatin1String(way));
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

QStringList cutOffTexts(QWidget* window, const QStringList& typedFreely) {
    QStringList out;
    if (!window->isVisible()) return {QStringLiteral("the window is not shown")};
    window->ensurePolished();
    // A layout that settles can ask again (a scroll area for its bars): a few rounds.
    for (int round = 0; round < 3; ++round) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        if (window->layout()) window->layout()->activate();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    if (const QString shots = qEnvironmentVariable("HEVRIN_SHOTS"); !shots.isEmpty())
        window->grab().save(shots + QLatin1Char('/') + window->objectName() + QStringLiteral(".png"));

    const QSize least = window->minimumSizeHint().expandedTo(window->minimumSize());
    for (const auto& [what, size] : {std::pair{"size", window->size()}, std::pair{"least size", least}})
        if (size.width() > MaxWindowSize.width() || size.height() > MaxWindowSize.height())
            out << QStringLiteral("window %1: %2 x %3 is more than %4 x %5")
                       .arg(QLatin1String(what))
                       .arg(size.width())
                       .arg(size.height())
                       .arg(MaxWindowSize.width())
                       .arg(MaxWindowSize.height());

    // The text controls in their places, to find those lying over each other.
    QList<std::pair<const QWidget*, QRect>> placedTexts;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisible() || w->isWindow()) continue;
        const bool typed = typedFreely.contains(w->objectName());
        bool text = true;
        if (auto* l = qobject_cast<QLabel*>(w)) {
            checkLabel(l, out);
            text = !l->text().isEmpty();
        } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
            if (!typed) checkLineEdit(e, out);
            text = !qobject_cast<QAbstractSpinBox*>(e->parentWidget()) &&
                   !qobject_cast<QComboBox*>(e->parentWidget());
        } else if (auto* s = qobject_cast<QAbstractSpinBox*>(w)) {
            if (!typed) checkSpinBox(s, out);
        } else if (auto* c = qobject_cast<QComboBox*>(w)) {
            checkComboBox(c, out);
        } else if (auto* b = qobject_cast<QPushButton*>(w)) {
            checkPushButton(b, out);
        } else if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w) ||
                   qobject_cast<QToolButton*>(w)) {
            checkByHint(static_cast<QAbstractButton*>(w), out);
            text = !static_cast<QAbstractButton*>(w)->text().isEmpty();
        } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
            checkGroupBox(g, out);
            text = false; // it holds other controls
        } else if (auto* t = qobject_cast<QTabBar*>(w)) {
            checkTabBar(t, out);
            checkTabsShown(t, out);
            text = false;
        } else if (auto* h = qobject_cast<QHeaderView*>(w)) {
            checkHeader(h, out);
            text = false;
        } else if (auto* pe = qobject_cast<QPlainTextEdit*>(w)) {
            if (!typed) checkTextBox(pe, out);
        } else if (auto* te = qobject_cast<QTextEdit*>(w)) {
            if (!typed) checkTextBox(te, out);
        } else if (auto* v = qobject_cast<QAbstractItemView*>(w)) {
            checkItemView(v, typed, out);
        } else if (auto* a = qobject_cast<QScrollArea*>(w)) {
            checkScrollArea(a, out);
            text = false;
        } else {
            continue;
        }
        const QRect placed(w->mapTo(window, QPoint(0, 0)), w->size());
        if (scrolled(w, window)) continue;
        if (!window->rect().contains(placed))
            out << describe(w, QString()) + QStringLiteral(": lies partly outside the window");
        else if (text)
            placedTexts.append({w, placed});
    }
    for (qsizetype i = 0; i < placedTexts.size(); ++i)
        for (qsizetype k = i + 1; k < placedTexts.size(); ++k) {
            const auto& [a, ra] = placedTexts[i];
            const auto& [b, rb] = placedTexts[k];
            if (ra.intersects(rb) && !a->isAncestorOf(b) && !b->isAncestorOf(a))
                out << describe(a, QString()) + QStringLiteral(" and ") + describe(b, QString()) +
                           QStringLiteral(": lie over each other");
        }
    return out;
}

} // namespace hv::test
