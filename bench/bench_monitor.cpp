// The headless monitor beside Debian's prometheus-smokeping-prober, both pinging the
// same loopback targets at the same time: CPU time per 1,000 echoes and resident
// memory of each (4 targets every 10 ms, both scraped every second), the cadence of
// that 10 ms test against the configured one (target >= 0.99), and the latency of a
// /metrics scrape with 64 targets (target <= 5 ms).
//   bench_monitor [SECONDS]   the length of the 10 ms run (20)

#include "app/appsettings.h"
#include "bench/benchtable.h"
#include "iplist/iplistfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

using namespace netvane;
using netvane::bench::Cell;

namespace {

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

QStringList loopbackTargets(int count)
{
    QStringList targets;
    for (int i = 1; i <= count; ++i)
        targets << u"127.0.0.%1"_qs.arg(i);
    return targets;
}

// One program under measurement, found by its pid in /proc.
struct Measured {
    QString name;
    QProcess process;
    quint16 port = 0;
    QByteArray counter; // the family that counts its echo requests

    double cpuSeconds() const
    {
        QFile stat(u"/proc/%1/stat"_qs.arg(process.processId()));
        if (!stat.open(QIODevice::ReadOnly))
            return 0;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> f = text.mid(text.lastIndexOf(')') + 2).split(' ');
        return (f.value(11).toDouble() + f.value(12).toDouble()) / double(::sysconf(_SC_CLK_TCK));
    }
    double residentMb() const
    {
        QFile status(u"/proc/%1/status"_qs.arg(process.processId()));
        if (!status.open(QIODevice::ReadOnly))
            return 0;
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("VmRSS:"))
                return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
        return 0;
    }
    void stop()
    {
        process.terminate();
        if (!process.waitForFinished(20000))
            process.kill();
        process.waitForFinished(5000);
    }
};

struct Scrape {
    QByteArray body;
    QByteArray type;
    double ms = -1;
};

// A scrape as Prometheus 2.42 asks for it.
Scrape scrape(QNetworkAccessManager &manager, quint16 port)
{
    QNetworkRequest request(QUrl(u"http://127.0.0.1:%1/metrics"_qs.arg(port)));
    request.setRawHeader("Accept", "application/openmetrics-text;version=1.0.0,application/openmetrics-text;"
                                   "version=0.0.1;q=0.75,text/plain;version=0.0.4;q=0.5,*/*;q=0.1");
    QElapsedTimer clock;
    clock.start();
    QNetworkReply *reply = manager.get(request);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    Scrape s;
    s.ms = clock.nsecsElapsed() / 1e6;
    s.body = reply->readAll();
    s.type = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    reply->deleteLater();
    return s;
}

double counterSum(const QByteArray &page, const QByteArray &family)
{
    double sum = 0;
    for (const QByteArray &line : page.split('\n'))
        if (line.startsWith(family + '{'))
            sum += line.mid(line.lastIndexOf(' ') + 1).toDouble();
    return sum;
}

void startNetvane(Measured &m, const QString &home, const QStringList &targets, int intervalMs)
{
    QStringList items;
    for (const QString &t : targets)
        items << u'A' + t;
    const QString list = QDir(home).filePath(u"list-%1.txt"_qs.arg(targets.size()));
    WriteIpListFile(list, items);
    AppSettings settings;
    settings.setValue(AppSettings::Interval, QString::number(intervalMs));
    settings.setValue(AppSettings::TimeOut, u"500"_qs);
    settings.save();
    m.name = u"netvane --headless"_qs;
    m.counter = "netvane_echoes_sent_total";
    m.port = freePort();
    m.process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m.process.start(QStringLiteral(NETVANE_PATH),
                    {u"--headless"_qs, u"--list"_qs, list, u"--data"_qs,
                     QDir(home).filePath(u"data-%1"_qs.arg(targets.size())), u"--metrics"_qs,
                     u"127.0.0.1:%1"_qs.arg(m.port)});
}

bool startPeer(Measured &m, const QString &prober, const QString &home, const QStringList &targets,
               int intervalMs)
{
    // An empty configuration: only the hosts named here are pinged.
    const QString config = QDir(home).filePath(u"smokeping.yml"_qs);
    QFile empty(config);
    empty.open(QIODevice::WriteOnly);
    empty.write("targets: []\n");
    empty.close();
    m.name = u"smokeping_prober"_qs;
    m.counter = "smokeping_requests_total";
    m.port = freePort();
    m.process.setStandardErrorFile(QProcess::nullDevice());
    QStringList args{u"--config.file="_qs + config, u"--web.listen-address=127.0.0.1:%1"_qs.arg(m.port),
                     u"--privileged"_qs, u"--ping.interval=%1ms"_qs.arg(intervalMs), u"--log.level=error"_qs};
    m.process.start(prober, args + targets);
    return m.process.waitForStarted();
}

bool waitUntilServing(QNetworkAccessManager &manager, const Measured &m)
{
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 20000) {
        if (counterSum(scrape(manager, m.port).body, m.counter) > 0)
            return true;
        QThread::msleep(100);
    }
    return false;
}

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[size_t(std::min(double(values.size() - 1), p * double(values.size())))];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 20;
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.filePath(u"data"_qs).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home.filePath(u"config"_qs).toLocal8Bit());
    qputenv("HOME", home.path().toLocal8Bit());
    qunsetenv("QT_QPA_PLATFORM");
    QNetworkAccessManager manager;
    manager.setProxy(QNetworkProxy::NoProxy);
    const QString prober = QStandardPaths::findExecutable(u"prometheus-smokeping-prober"_qs);
    if (prober.isEmpty())
        std::printf("prometheus-smokeping-prober is not installed (scripts/run-bench.sh installs it): "
                    "its figures are left out\n");

    // 4 targets every 10 ms, both at once, each scraped every second.
    const QStringList four = loopbackTargets(4);
    Measured ours;
    Measured peer;
    startNetvane(ours, home.path(), four, 10);
    const bool withPeer = !prober.isEmpty() && startPeer(peer, prober, home.path(), four, 10);
    std::vector<Measured *> runs{&ours};
    if (withPeer)
        runs.push_back(&peer);
    for (Measured *m : runs) {
        if (!waitUntilServing(manager, *m)) {
            std::printf("%s does not serve its metrics\n", qPrintable(m->name));
            return 1;
        }
    }
    QThread::msleep(2000); // past the start
    struct Figures {
        double cpu0, cpu1, echoes0, echoes1;
    };
    std::vector<Figures> figures(runs.size());
    QElapsedTimer clock;
    clock.start();
    for (size_t i = 0; i < runs.size(); ++i) {
        figures[i].cpu0 = runs[i]->cpuSeconds();
        figures[i].echoes0 = counterSum(scrape(manager, runs[i]->port).body, runs[i]->counter);
    }
    const qint64 started = clock.elapsed();
    while (clock.elapsed() < qint64(seconds) * 1000) {
        QThread::msleep(1000);
        for (Measured *m : runs)
            scrape(manager, m->port);
    }
    for (size_t i = 0; i < runs.size(); ++i) {
        figures[i].echoes1 = counterSum(scrape(manager, runs[i]->port).body, runs[i]->counter);
        figures[i].cpu1 = runs[i]->cpuSeconds();
    }
    const double elapsed = (clock.elapsed() - started) / 1000.0;
    std::vector<double> cpuPer1000(runs.size()), cadence(runs.size()), rss(runs.size());
    for (size_t i = 0; i < runs.size(); ++i) {
        const double echoes = figures[i].echoes1 - figures[i].echoes0;
        cpuPer1000[i] = (figures[i].cpu1 - figures[i].cpu0) * 1000 / std::max(1.0, echoes / 1000);
        cadence[i] = echoes / (four.size() * elapsed * 100);
        rss[i] = runs[i]->residentMb();
        std::printf("%s: %.0f echoes in %.1f s (%.0f a second per target, 100 configured), CPU %.2f s "
                    "-> %.1f ms per 1,000 echoes; resident %.1f MB\n",
                    qPrintable(runs[i]->name), echoes, elapsed, echoes / four.size() / elapsed,
                    figures[i].cpu1 - figures[i].cpu0, cpuPer1000[i], rss[i]);
    }
    for (Measured *m : runs)
        m->stop();
    const auto peerCell = [&](const char *format, const std::vector<double> &values) {
        return withPeer ? Cell(format, values[1]) + " (smokeping_prober)" : std::string("-");
    };

    // 64 targets every second: how long a scrape takes.
    const QStringList many = loopbackTargets(64);
    Measured ours64;
    Measured peer64;
    startNetvane(ours64, home.path(), many, 1000);
    const bool peer64Runs = withPeer && startPeer(peer64, prober, home.path(), many, 1000);
    std::vector<Measured *> runs64{&ours64};
    if (peer64Runs)
        runs64.push_back(&peer64);
    std::vector<double> median(runs64.size()), p99(runs64.size());
    for (size_t i = 0; i < runs64.size(); ++i) {
        if (!waitUntilServing(manager, *runs64[i]))
            return 1;
        QThread::msleep(2000);
        std::vector<double> times;
        Scrape s;
        for (int n = 0; n < 200; ++n) {
            s = scrape(manager, runs64[i]->port);
            times.push_back(s.ms);
        }
        median[i] = percentile(times, 0.5);
        p99[i] = percentile(times, 0.99);
        std::printf("%s, 64 targets: 200 scrapes of %lld bytes (%s), median %.2f ms, 99th percentile %.2f ms\n",
                    qPrintable(runs64[i]->name), qlonglong(s.body.size()), s.type.constData(), median[i], p99[i]);
    }
    for (Measured *m : runs64)
        m->stop();

    bench::TableRow("monitor CPU per 1,000 echoes, 4 targets at 10 ms", Cell("%.1f ms", cpuPer1000[0]), "-",
                    peerCell("%.1f ms", cpuPer1000));
    bench::TableRow("monitor resident memory, 4 targets", Cell("%.1f MB", rss[0]), "-", peerCell("%.1f MB", rss));
    bench::TableRow("monitor cadence at 10 ms, scraped every 1 s", Cell("%.3f", cadence[0]), ">= 0.99",
                    peerCell("%.3f", cadence));
    bench::TableRow("/metrics scrape, 64 targets (median/p99)", Cell("%.2f/%.2f ms", median[0], p99[0]),
                    "<= 5 ms",
                    peer64Runs ? Cell("%.2f/%.2f ms (smokeping_prober)", median[1], p99[1]) : std::string("-"));
    return 0;
}
