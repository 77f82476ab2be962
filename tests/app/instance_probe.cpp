// Uses TSingleInstance as the program's entry point does, and says on stdout what happened:
// "first" when it became the first copy, "shown" for each request to show the window, or
// "second" when another copy runs (it then ends with 0). A request that brought an activation
// token adds the line "token " + the token. With --quit-on-show the first copy
// ends after its first "shown", as if the user closed it then.
#include <cstdio>

#include <QCoreApplication>

#include "app/single_instance.h"

namespace {

void Say(const char* word) {
    std::printf("%s\n", word);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const bool quit_on_show = app.arguments().contains("--quit-on-show");
    kavrel::TSingleInstance instance;
    if (!instance.Acquire()) {
        Say("second");
        return 0;
    }
    QObject::connect(&instance, &kavrel::TSingleInstance::ShowRequested, &app, [&] {
        Say("shown");
        const QByteArray token = qgetenv("XDG_ACTIVATION_TOKEN");
        if (!token.isEmpty()) Say(("token " + token).constData());
        if (quit_on_show) app.quit();
    });
    Say("first");
    return app.exec();
}
