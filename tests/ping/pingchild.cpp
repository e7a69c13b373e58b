// A ping test run in a child process for the crash test: pings 127.0.0.1 every
// millisecond into the result store of the folder given as the only argument, and
// prints each echo's row number once its record is stored. It runs until killed.

#include "ping/pingtest.h"
#include "ping/resultstore.h"

#include <QCoreApplication>

#include <cstdio>

using namespace netvane;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString folder = app.arguments().value(1);
    if (folder.isEmpty())
        return 2;
    PingResultStore store;
    const QList<PingTarget> targets{{u"127.0.0.1"_qs, u"127.0.0.1"_qs}};
    QString error;
    if (!store.create(folder, 1, 1, 1, {targets.first().name}, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 3;
    }
    PingTest test;
    test.interval = 1;
    test.setResultStore(&store);
    QObject::connect(&test, &PingTest::replyRecorded, [](int row, const ReplyRowTexts &) {
        std::printf("%d\n", row);
        std::fflush(stdout);
    });
    test.begin(targets);
    return app.exec();
}
