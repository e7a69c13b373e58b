#include "monitor/headlessrun.h"

#include "app/appsettings.h"
#include "iplist/iplistfile.h"
#include "iplist/targettable.h"
#include "ping/pingsettings.h"
#include "platform/datafolder.h"
#include "platform/icmpsocket.h"
#include "platform/singleinstance.h"
#include "platform/stopsignals.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace netvane {

namespace {

QString folderPath(const QString &folder)
{
    QString path = QFileInfo(folder).absoluteFilePath();
    return path.endsWith(u'/') ? path : path + u'/';
}

} // namespace

HeadlessRun::HeadlessRun(const CommandLine &options, QObject *parent)
    : QObject(parent), m_options(options), m_exporter(m_test), m_alerts(m_test)
{
    // Outages are said as they begin and end (a service's journal keeps them), and
    // the outage command of the settings runs as in the window.
    connect(&m_test, &PingTest::outageBegan, this, [this](const Outage &o) {
        say(OutageBeganText(m_test.outages().target(o.target), o));
    });
    connect(&m_test, &PingTest::outageEnded, this, [this](const Outage &o) {
        say(OutageEndedText(m_test.outages().target(o.target), o, m_test.outages().duration(o)));
    });
    connect(&m_alerts, &OutageAlerts::commandFailed, this, [this](const QString &why) { say(why); });
    m_test.setResultStore(&m_store);
    connect(&m_test, &PingTest::stopDue, this, [this] { stop(u"the test count is reached"_qs); });
    // The loop pings no more after an echo it could not store, and waits for a Stop
    // that no one would press here: the run ends with the reason.
    connect(&m_test, &PingTest::failed, this, [this](const QString &description) {
        say(description);
        m_exitCode = ExitFailed;
        m_test.requestStop();
    });
    connect(&m_test, &PingTest::finished, this, &HeadlessRun::finished);
}

HeadlessRun::~HeadlessRun() = default;

void HeadlessRun::say(const QString &text) const
{
    std::fputs((u"netvane: "_qs + text + u'\n').toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

int HeadlessRun::start()
{
    // From here on a stop signal waits in the event loop instead of killing the run.
    m_signals = std::make_unique<platform::StopSignals>();
    connect(m_signals.get(), &platform::StopSignals::received, this,
            [this](int number) { stop(platform::StopSignals::name(number)); });

    if (m_options.dataFolder.isEmpty()) {
        m_folder = DataFolder();
    } else {
        m_folder = folderPath(m_options.dataFolder);
        if (!QDir().mkpath(m_folder)) {
            say(u"cannot make the data folder "_qs + m_folder);
            return ExitFailed;
        }
    }
    // The window and the headless run write the same result file: one program per
    // data folder.
    m_instance = std::make_unique<platform::SingleInstance>(m_folder);
    if (!m_instance->claim(/*windowless=*/true)) {
        say(u"Netvane already runs on the data folder "_qs + m_folder
            + u" (a window or another headless run); this run does not start."_qs);
        return ExitFailed;
    }

    QList<PingTarget> targets;
    int pingsPerSize = 1;
    if (!prepare(targets, pingsPerSize))
        return ExitFailed;
    // Said before the first echo: without an echo socket every echo would fail.
    if (const QString problem = platform::CheckEchoSocket(); !problem.isEmpty()) {
        say(problem);
        return ExitFailed;
    }
    if (m_options.metrics) {
        QString error;
        if (!m_exporter.start(*m_options.metrics, &error)) {
            say(error);
            return ExitFailed;
        }
    }
    // Only now is the previous test's result file replaced.
    QStringList names;
    for (const PingTarget &t : std::as_const(targets))
        names << t.name;
    QString error;
    if (!m_store.create(m_folder, int(targets.size()), pingsPerSize, m_test.repeatPerTarget, names,
                        &error)) {
        say(u"cannot write the result file: "_qs + error);
        return ExitFailed;
    }
    m_test.begin(targets);

    const int interval = m_test.intervalSequence.active() ? m_test.intervalSequence.currentInterval
                                                          : m_test.interval;
    say(u"pinging %1 targets, %2 echoes each every %3 ms, %4; results in %5"_qs
            .arg(targets.size())
            .arg(m_test.repeatPerTarget)
            .arg(interval)
            .arg(m_test.testTimes > 0 ? u"for %1 passes"_qs.arg(m_test.testTimes)
                                      : u"until stopped"_qs)
            .arg(m_store.path()));
    if (m_exporter.isServing())
        say(u"metrics at http://"_qs + m_exporter.boundAddress().text() + u"/metrics"_qs);
    return 0;
}

bool HeadlessRun::prepare(QList<PingTarget> &targets, int &pingsPerSize)
{
    // The five boxes' saved texts, checked in the window's order; a box never saved
    // has its first item.
    AppSettings saved;
    if (QString why; !saved.load(&why))
        say(why + u"; the settings boxes' first items are used"_qs);
    const auto text = [&saved](AppSettings::Key key, const QString &first) {
        const QString value = saved.value(key);
        return value.isEmpty() ? first : value;
    };
    struct Box {
        const char *what;
        QString text;
        SettingCheck (*check)(const QString &, PingSettings &);
    };
    const Box boxes[] = {
        {"interval", text(AppSettings::Interval, IntervalItems().at(IntervalStartItem)), CheckInterval},
        {"buffer size", text(AppSettings::Buffer, SizeItems().at(SizeStartItem)), CheckSendSize},
        {"time-out", text(AppSettings::TimeOut, TimeOutItems().at(TimeOutStartItem)), CheckTimeOut},
        {"test times", text(AppSettings::Number, TestTimesItems().first()), CheckTestTimes},
        {"repeat per IP", text(AppSettings::RepeatIP, RepeatItems().first()), CheckRepeatPerTarget},
    };
    PingSettings settings;
    for (const Box &box : boxes) {
        const SettingCheck check = box.check(box.text, settings);
        if (check.message.isEmpty())
            continue;
        const QString about = u"the saved "_qs + QString::fromLatin1(box.what) + u" \""_qs + box.text
                              + u"\" ("_qs + AppSettings::filePath() + u"): "_qs + check.message;
        if (!check.passed) {
            say(about + u" Set it in the window and close the window to keep it."_qs);
            return false;
        }
        say(about); // a size below 1 is replaced by 32 and the run goes on
    }
    ApplyPingSettings(settings, m_test);
    if (const SettingCheck check = CheckOutageAfter(saved.value(AppSettings::OutageAfter), m_test.outageAfter);
        !check.passed) {
        say(u"the saved "_qs + AppSettings::keyName(AppSettings::OutageAfter) + u" ("_qs + AppSettings::filePath()
            + u"): "_qs + check.boxText().replace(u"\n\n"_qs, u" "_qs));
        return false;
    }
    m_alerts.setNotify(saved.value(AppSettings::OutageNotify).trimmed() != u"0");
    m_alerts.setCommand(saved.value(AppSettings::OutageCommand));

    const QString listPath = m_options.listFile.isEmpty()
                                 ? QDir(m_folder).filePath(IpListFileName)
                                 : QFileInfo(m_options.listFile).absoluteFilePath();
    bool exists = false;
    QString error;
    QStringList items = ReadIpListFile(listPath, &exists, nullptr, &error);
    if (!error.isEmpty()) {
        say(error);
        return false;
    }
    if (!exists) {
        say(u"there is no list at "_qs + listPath + (m_options.listFile.isEmpty()
                ? u": make one in the window, or give one with --list FILE"_qs
                : QString()));
        return false;
    }
    SortListLines(items);

    // Every item, as the window runs them all selected; names are looked up now.
    TargetTable table({}, [this](const QString &first, const QString &last, qint64 count) {
        say(u"the range %1 - %2 (%3 addresses) is left out: a test pings at most %4 addresses of one range"_qs
                .arg(first, last)
                .arg(count)
                .arg(TargetTable::LargeRange));
        return false;
    });
    table.setLetWindowCatchUp(false);
    for (const QString &item : std::as_const(items))
        table.ExpandListItem(item);
    if (table.unresolvedCount() > 0) {
        QStringList names = table.unresolvedText().split(u"\r\n"_qs, Qt::SkipEmptyParts);
        for (QString &name : names)
            name = name.trimmed();
        say(u"no address found for %1 entries, left out: %2"_qs.arg(names.size()).arg(names.join(u", "_qs)));
    }
    for (const TargetRow &row : table.rows())
        targets.append({row.address, row.label});
    if (targets.isEmpty()) {
        say(u"the list "_qs + listPath + u" gives no target to ping"_qs);
        return false;
    }
    const std::optional<int> steps = PingsPerSize(m_test.sizePlan, targets.size());
    if (!steps) {
        say(u"Overflow - Inalid Send Buffer Size."_qs);
        return false;
    }
    pingsPerSize = *steps;
    return true;
}

void HeadlessRun::stop(const QString &why)
{
    if (m_test.stopRequested() || !m_test.isRunning())
        return;
    if (!why.isEmpty())
        say(u"stopping: "_qs + why);
    m_test.requestStop();
}

void HeadlessRun::finished()
{
    m_exporter.stop();
    say(u"stopped after %1 echoes; the result file is closed"_qs.arg(m_test.stats().sent));
    Q_EMIT ended(m_exitCode);
}

} // namespace netvane
