#include "app/formtester.h"
#include "monitor/commandline.h"
#include "platform/datafolder.h"
#include "platform/singleinstance.h"
#include "platform/widgetdialogs.h"

#include <QApplication>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    // With arguments there is no window: the headless run, help or version need no
    // display, so no QApplication is made for them.
    if (argc > 1)
        return netvane::RunCommandLine(argc, argv);

    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Netvane"_qs);
    QGuiApplication::setDesktopFileName(u"netvane"_qs);
    QApplication::setWindowIcon(QIcon(u":/netvane.svg"_qs));

    // One program per user and data folder: a second start shows the first window.
    netvane::platform::SingleInstance instance(netvane::DataFolder());
    if (!instance.claim()) {
        switch (instance.askRunningToShow()) {
        case netvane::platform::SingleInstance::Answer::Shown:
            std::fputs("Netvane is already running; its window was brought to the front.\n", stderr);
            break;
        case netvane::platform::SingleInstance::Answer::Windowless:
            std::fputs("Netvane is already running without a window (netvane --headless) on this data "
                       "folder; stop it (SIGTERM) to open the window here.\n", stderr);
            return 1;
        case netvane::platform::SingleInstance::Answer::None:
            std::fputs("Netvane is already running for this user and data folder.\n", stderr);
            break;
        }
        return 0;
    }

    // The window's start-up may already ask (a large previous result file).
    netvane::installWidgetDialogs(nullptr);
    netvane::FormTester window;
    netvane::installWidgetDialogs(&window);
    QObject::connect(&instance, &netvane::platform::SingleInstance::showRequested, &window, [&window] {
        window.showNormal();
        window.raise();
        window.activateWindow();
    });
    window.show();
    return app.exec();
}
