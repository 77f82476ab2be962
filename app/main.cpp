#include <QApplication>

#include "desktop/f_about.h"
#include "ui/f_main.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kavrel"));
    QApplication::setApplicationDisplayName(QString::fromUtf8(kavrel::kProgramTitle));
    QApplication::setDesktopFileName(QStringLiteral("kavrel"));

    kavrel::TfMain fMain(QApplication::arguments().mid(1));
    fMain.ShowAtStart();
    return QApplication::exec();
}
