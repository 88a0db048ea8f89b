#include "ui/qtplatform.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <shellapi.h>

#include <QDir>
#endif

namespace veq {

namespace {

QMessageBox::Icon toQt(Icon icon) {
    switch (icon) {
        case Icon::Information:
            return QMessageBox::Information;
        case Icon::Warning:
            return QMessageBox::Warning;
        case Icon::Critical:
            return QMessageBox::Critical;
        case Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

// The dialogs' filters are written "name|pattern|name|pattern|"; Qt wants "name (pattern);;...".
QString qtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'), Qt::SkipEmptyParts);
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        // "Fichiers configuration(*.zuk)" already names its pattern.
        const bool named = parts[i].contains(QLatin1Char('(') + parts[i + 1] + QLatin1Char(')'));
        out << (named ? parts[i] : QStringLiteral("%1 (%2)").arg(parts[i], parts[i + 1]));
    }
    return out.join(QStringLiteral(";;"));
}

std::optional<QString> runDialog(QFileDialog::AcceptMode mode, const QString& title,
                                 const QString& filter, const QString& initialName) {
    QFileDialog dialog(QApplication::activeWindow(), title);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(QFileDialog::AnyFile);
    // Neither dialog asks before replacing a file nor checks that it exists.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    // Qt's own dialog, without a default suffix, returns a name typed without extension as it
    // was typed; the native Windows one would add the first filter's extension.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setNameFilters(qtFilter(filter).split(QStringLiteral(";;")));
    dialog.selectFile(initialName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

}  // namespace

void QtMessages::show(const QString& text, Icon icon, const QString& title) {
    QMessageBox box(toQt(icon), title, text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

bool QtMessages::askRetry(const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Retry | QMessageBox::Cancel,
                    QApplication::activeWindow());
    box.button(QMessageBox::Retry)->setText(QStringLiteral("Réessayer"));
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("Annuler"));
    return box.exec() == QMessageBox::Retry;
}

std::optional<QString> QtFileDialogs::openFileName(const QString& title, const QString& filter,
                                                   const QString& initialName) {
    return runDialog(QFileDialog::AcceptOpen, title, filter, initialName);
}

std::optional<QString> QtFileDialogs::saveFileName(const QString& title, const QString& filter,
                                                   const QString& initialName) {
    return runDialog(QFileDialog::AcceptSave, title, filter, initialName);
}

bool QtDocumentOpener::open(const QString& path) {
#ifdef Q_OS_WIN
    // The shell's "open" verb, as help asks for; Qt would use the document's default verb.
    const QString native = QDir::toNativeSeparators(path);
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", reinterpret_cast<const wchar_t*>(native.utf16()), nullptr,
                      nullptr, SW_SHOWNORMAL));
    return result > 32;  // ShellExecute's own convention: larger than 32 means success
#else
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
#endif
}

}  // namespace veq
