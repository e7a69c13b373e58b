#include "app/formtester.h"
#include "platform/widgetdialogs.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Netvane"_qs);
    // The window's start-up may already ask (a large previous result file).
    netvane::installWidgetDialogs(nullptr);
    netvane::FormTester window;
    netvane::installWidgetDialogs(&window);
    window.show();
    return app.exec();
}
