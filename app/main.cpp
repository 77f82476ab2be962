#include <QApplication>

#include "app/single_instance.h"
#include "desktop/f_about.h"
#include "desktop/tray_text_icon.h"
#include "ui/f_main.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kavrel"));
    QApplication::setApplicationDisplayName(QString::fromUtf8(kavrel::kProgramTitle));
    QApplication::setDesktopFileName(QStringLiteral("kavrel"));

    // A second start brings the first copy's window forward and ends without a window.
    kavrel::TSingleInstance instance;
    if (!instance.Acquire()) return 0;

    kavrel::TfMain fMain(QApplication::arguments().mid(1));
    QObject::connect(&instance, &kavrel::TSingleInstance::ShowRequested, &fMain,
                     [&fMain] { fMain.txtTray->ShowMainWindow(); });
    fMain.ShowAtStart();
    return QApplication::exec();
}
