#include "desktop/web_browser.h"

#include <QProcess>
#include <QStringList>

namespace kavrel {

bool OpenInBrowser(const std::string& url) {
    const QString address = QString::fromStdString(url);
    // $BROWSER may list several programs, separated by colons; the first is used.
    const QString chosen = qEnvironmentVariable("BROWSER").section(u':', 0, 0).trimmed();
    QStringList words =
        QProcess::splitCommand(chosen.isEmpty() ? QStringLiteral("xdg-open") : chosen);
    if (words.isEmpty()) return false;
    bool placed = false;
    for (QString& word : words) {
        if (word.contains(QStringLiteral("%s"))) word.replace(QStringLiteral("%s"), address), placed = true;
    }
    if (!placed) words.append(address);
    const QString program = words.takeFirst();
    return QProcess::startDetached(program, words);
}

}  // namespace kavrel
