#pragma once
#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStringList>
#include <QStyle>
#include <QStyleOption>
#include <QWidget>
#include <algorithm>

namespace hv::test {

namespace detail {
struct LineEditOption : QLineEdit {
    using QLineEdit::initStyleOption;
};
struct ComboOption : QComboBox {
    using QComboBox::initStyleOption;
};
inline int widestLine(const QFontMetrics& fm, const QString& text) {
    int w = 0;
    for (const QString& line : text.split(QRegularExpression("\r?\n")))
        w = std::max(w, fm.horizontalAdvance(line));
    return w;
}
} // namespace detail

// The shown controls of a window whose text is cut: a box, a label, a list entry or a
// button whose text is wider than the room the style gives it, as "name: text".
inline QStringList cutTexts(const QWidget* window) {
    QStringList cut;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(window)) continue;
        const QFontMetrics fm = w->fontMetrics();
        if (auto* e = qobject_cast<QLineEdit*>(w)) {
            QStyleOptionFrame opt;
            static_cast<const detail::LineEditOption*>(e)->initStyleOption(&opt);
            const QRect r = e->style()->subElementRect(QStyle::SE_LineEditContents, &opt, e);
            const QMargins m = e->textMargins();
            if (fm.horizontalAdvance(e->text()) > r.width() - 4 - m.left() - m.right())
                cut << e->objectName() + ": " + e->text();
        } else if (auto* c = qobject_cast<QComboBox*>(w)) {
            QStyleOptionComboBox opt;
            static_cast<const detail::ComboOption*>(c)->initStyleOption(&opt);
            const QRect r =
                c->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, c);
            for (int i = 0; i < c->count(); ++i)
                if (fm.horizontalAdvance(c->itemText(i)) > r.width())
                    cut << c->objectName() + ": " + c->itemText(i);
        } else if (auto* l = qobject_cast<QLabel*>(w)) {
            if (l->wordWrap() || l->text().isEmpty()) continue;
            if (detail::widestLine(fm, l->text()) > l->contentsRect().width())
                cut << l->objectName() + ": " + l->text();
        } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            if (b->sizeHint().width() > b->width()) cut << b->objectName() + ": " + b->text();
        }
    }
    return cut;
}

} // namespace hv::test
