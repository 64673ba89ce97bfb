#include "platform/ui/qtprompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

namespace hv {

Answer QtPrompts::message(const QString& text, Buttons buttons, Icon icon, const QString& title) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title);
    box.setText(QString(text).replace("\r\n", "\n"));
    switch (icon) {
    case Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case Icon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case Icon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case Icon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case Icon::None:
        break;
    }
    switch (buttons) {
    case Buttons::OK:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case Buttons::OKCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case Buttons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    case Buttons::RetryCancel:
        box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel);
        break;
    case Buttons::AbortRetryIgnore:
        box.setStandardButtons(QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Ok:
        return Answer::OK;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    case QMessageBox::Retry:
        return Answer::Retry;
    case QMessageBox::Abort:
        return Answer::Abort;
    case QMessageBox::Ignore:
        return Answer::Ignore;
    default:
        return buttons == Buttons::OK ? Answer::OK : Answer::Cancel;
    }
}

std::optional<QString> QtPrompts::input(const QString& prompt, const QString& title,
                                        const QString& defaultText) {
    bool ok = false;
    const QString s = QInputDialog::getText(QApplication::activeWindow(), title, prompt, QLineEdit::Normal,
                                            defaultText, &ok);
    if (!ok) return std::nullopt;
    return s;
}

QString QtPrompts::openFile(const QString& title, const QString& filter, const QString& initialPath) {
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), title, initialPath, toQtFilter(filter));
}

QString QtPrompts::saveFile(const QString& title, const QString& filter, const QString& initialPath) {
    const QString filters = toQtFilter(filter);
    QString chosen = filters.section(QStringLiteral(";;"), 0, 0);
    const QString typed =
        QFileDialog::getSaveFileName(QApplication::activeWindow(), title, initialPath, filters, &chosen);
    const QString path = WithFilterExtension(typed, chosen);
    // The dialog asked about replacing the name as typed, not the one it becomes.
    if (path != typed && QFileInfo::exists(path) &&
        message(QFileInfo(path).fileName() + QStringLiteral(" already exists.\r\nDo you want to replace it?"),
                Buttons::YesNo, Icon::Warning, title) != Answer::Yes)
        return {};
    return path;
}

QString QtPrompts::chooseFolder(const QString& title, const QString& initialPath) {
    return QFileDialog::getExistingDirectory(QApplication::activeWindow(), title, initialPath);
}

bool QtPrompts::choosePrinter(QPrinter& printer) {
    QPrintDialog dlg(&printer, QApplication::activeWindow());
    return dlg.exec() == QDialog::Accepted;
}

} // namespace hv
