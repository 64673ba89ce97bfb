#pragma once
#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <functional>
#include <memory>

// Header only: every window subsystem shares it without linking another's windows.
namespace hv {

// The key a key press carries as the system's key code (13 Enter, 8 Backspace, else the
// character typed), or 0 for keys that type nothing.
inline int keyAsciiOf(const QKeyEvent* e) {
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) return 13;
    if (e->key() == Qt::Key_Backspace) return 8;
    const QString t = e->text();
    if (t.isEmpty() || !t.at(0).isPrint()) return 0;
    return t.at(0).unicode();
}

// A box's KeyPress handler: it may change the key code; 0 refuses the key.
using KeyPressHandler = std::function<void(int& keyAscii)>;

// Inserts what typing `text` would have left in the box: each character goes through the
// handler. A read-only box takes nothing.
inline void insertAsTyped(QLineEdit* box, const QString& text, const KeyPressHandler& keyPress) {
    if (box->isReadOnly()) return;
    QString kept;
    for (const QChar c : text) {
        if (!c.isPrint()) continue;
        int key = c.unicode();
        keyPress(key);
        if (key != 0) kept += QChar(key);
    }
    box->insert(kept);
}

// The key presses of an entry box go through its KeyPress handler; text pasted (by key, by
// the middle button or from the context menu) or dropped goes in as if typed, so that no
// way around the keys lets other text in. True when the event was taken.
inline bool filterBoxInput(QLineEdit* box, QEvent* event, const KeyPressHandler& keyPress) {
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto* k = static_cast<QKeyEvent*>(event);
        if (k->matches(QKeySequence::Paste)) {
            insertAsTyped(box, QGuiApplication::clipboard()->text(), keyPress);
            return true;
        }
        int key = keyAsciiOf(k);
        if (key == 0) return false; // moving and editing keys
        keyPress(key);
        return key == 0;
    }
    case QEvent::MouseButtonRelease: {
        auto* m = static_cast<QMouseEvent*>(event);
        if (m->button() != Qt::MiddleButton || !QGuiApplication::clipboard()->supportsSelection())
            return false;
        box->setCursorPosition(box->cursorPositionAt(m->position().toPoint()));
        insertAsTyped(box, QGuiApplication::clipboard()->text(QClipboard::Selection), keyPress);
        return true;
    }
    case QEvent::Drop: {
        auto* d = static_cast<QDropEvent*>(event);
        if (d->source() == box || !d->mimeData()->hasText()) return false;
        box->setCursorPosition(box->cursorPositionAt(d->position().toPoint()));
        insertAsTyped(box, d->mimeData()->text(), keyPress);
        d->acceptProposedAction();
        return true;
    }
    case QEvent::ContextMenu: {
        std::unique_ptr<QMenu> menu(box->createStandardContextMenu());
        if (QAction* paste = menu->findChild<QAction*>(QStringLiteral("edit-paste"))) {
            QObject::disconnect(paste, &QAction::triggered, nullptr, nullptr);
            QObject::connect(paste, &QAction::triggered, box, [box, keyPress] {
                insertAsTyped(box, QGuiApplication::clipboard()->text(), keyPress);
            });
        }
        menu->exec(static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    }
    default:
        return false;
    }
}

} // namespace hv
