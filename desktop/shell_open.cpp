#include "desktop/shell_open.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <filesystem>
#include <system_error>

#include "desktop/qt_text.h"

namespace kavrel {

TShellAction ShellActionFor(const std::string& target) {
    std::error_code error;
    // access() rather than the mode bits: a file executable only by someone else is a document
    // to us.
    if (!target.empty() && std::filesystem::is_regular_file(target, error) &&
        ::access(target.c_str(), X_OK) == 0) {
        return TShellAction::StartDetached;
    }
    return TShellAction::OpenUrl;
}

QUrl ShellUrlFor(const std::string& target) {
    const QString text = ToQString(target);
    std::error_code error;
    if (!target.empty() && std::filesystem::exists(target, error)) {
        return QUrl::fromLocalFile(QFileInfo(text).absoluteFilePath());
    }
    return QUrl::fromUserInput(text);
}

void OpenWithShell(const std::string& target) {
    if (ShellActionFor(target) == TShellAction::StartDetached) {
        // An absolute path, or QProcess would look a bare name up in PATH instead of here.
        QProcess::startDetached(QFileInfo(ToQString(target)).absoluteFilePath(), {});
        return;
    }
    QDesktopServices::openUrl(ShellUrlFor(target));
}

void ExternalMailExecute(const std::string& mailProgram,
                         const std::function<void(const QString&)>& showMessage,
                         const TShellOpener& open) {
    std::error_code error;
    if (std::filesystem::is_regular_file(mailProgram, error)) {
        TWaitCursor wait;
        open(mailProgram);
        QCoreApplication::processEvents();
        return;
    }
    showMessage(QStringLiteral("ERROR: unable to locate external mail program \"") +
                ToQString(mailProgram) + QStringLiteral("\""));
}

TWaitCursor::TWaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }

TWaitCursor::~TWaitCursor() { QGuiApplication::restoreOverrideCursor(); }

}  // namespace kavrel
