// Reload of a 1,000,000-echo result file (about 45 MB) at start-up: the reader
// alone, and the window's reload with its progress label, against `wc -l` on the
// same file in the same run.

#include "app/formtester.h"
#include "ping/pingpanel.h"
#include "ping/resultreload.h"
#include "ping/resultstore.h"
#include "resultfile.h"
#include "support/scriptedui.h"
#include "support/testenv.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QSet>
#include <QTimer>

#include <cstdio>

using namespace netvane;

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    test::IsolatedFolders folders;
    test::ScriptedUi ui; // answers the large-file question with Yes
    const int echoes = 1000000;
    const QString path = folders.dataFolder() + ResultFileName;
    {
        QDir().mkpath(folders.dataFolder());
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        f.write(bench::MakeResultFile(echoes, 6));
    }
    const double megabytes = QFileInfo(path).size() / 1e6;

    QByteArray wcOut;
    double wc = 1e9;
    for (int i = 0; i < 3; ++i)
        wc = std::min(wc, bench::WcSeconds(path, &wcOut));

    // The first read meets fresh memory for the records, as the start-up does; later
    // ones may reuse what the previous one freed.
    double reader = 1e9, readerFirst = 0;
    qsizetype loaded = 0;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        const ReloadedPingTest test = ReadResultFile(path);
        const double s = t.nsecsElapsed() / 1e9;
        if (i == 0)
            readerFirst = s;
        reader = std::min(reader, s);
        loaded = test.log.size();
    }

    // The window's reload: the constructor's, then a second one timed on its own.
    QElapsedTimer startUp;
    startUp.start();
    FormTester window;
    const double constructed = startUp.nsecsElapsed() / 1e9;
    window.show();
    // A timer that only fires while the reload lets the window catch up samples the
    // progress label.
    QSet<QString> labelTexts;
    int catchUps = 0;
    QTimer sampler;
    sampler.setInterval(0);
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        ++catchUps;
        labelTexts.insert(window.pingPanel()->title(2)->text());
    });
    sampler.start();
    double windowReload = 1e9;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        window.ReloadPreviousPingTest();
        windowReload = std::min(windowReload, t.nsecsElapsed() / 1e9);
    }
    sampler.stop();

    std::printf("result file: %d echoes, %.1f MB; wc -l says %s\n", echoes, megabytes,
                wcOut.constData());
    std::printf("wc -l:                    %.3f s\n", wc);
    std::printf("reader (ReadResultFile):  first %.3f s (%.1f x wc -l), best of 3 %.3f s (%.1f x), "
                "%lld echoes\n",
                readerFirst, readerFirst / wc, reader, reader / wc, qlonglong(loaded));
    std::printf("window reload, best of 3: %.3f s  (%.1f x wc -l), %lld echoes shown, "
                "window caught up %d times, %lld progress texts seen\n",
                windowReload, windowReload / wc, qlonglong(window.pingTest()->log().size()),
                catchUps / 3, qlonglong(labelTexts.size()));
    std::printf("window start-up with the reload: %.3f s\n", constructed);

    // One echo a second: no two lines share their date and time.
    {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(bench::MakeResultFile(echoes, 1));
    }
    double slow = 1e9;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        const ReloadedPingTest test = ReadResultFile(path);
        slow = std::min(slow, t.nsecsElapsed() / 1e9);
    }
    wc = 1e9;
    for (int i = 0; i < 3; ++i)
        wc = std::min(wc, bench::WcSeconds(path, &wcOut));
    std::printf("one echo a second: reader best of 3 %.3f s (%.1f x wc -l at %.3f s)\n", slow,
                slow / wc, wc);
    std::printf("log memory: %.1f MB\n", window.pingTest()->log().memoryBytes() / 1e6);
    return 0;
}
