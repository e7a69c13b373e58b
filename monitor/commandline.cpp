#include "monitor/commandline.h"

#include "monitor/headlessrun.h"

#include <QCoreApplication>

#include <cstdio>

namespace netvane {

namespace {

void print(FILE *to, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), to);
    std::fflush(to);
}

} // namespace

QString UsageText()
{
    return u"Usage: netvane [--headless [--list FILE] [--data DIR] [--metrics ADDRESS:PORT]]\n"
           u"       netvane --help | --version\n"
           u"\n"
           u"Without arguments Netvane opens its window.\n"
           u"\n"
           u"  --headless              run the saved ping test settings against every item of\n"
           u"                          the list, with no window, until SIGTERM or SIGINT (or\n"
           u"                          the saved test count); the results go to the same result\n"
           u"                          file the window shows again at its next start\n"
           u"  --list FILE             the list to ping (default: the list in the data folder)\n"
           u"  --data DIR              the data folder (default: $XDG_DATA_HOME/NetvaneDataBas,\n"
           u"                          else ~/.local/share/NetvaneDataBas)\n"
           u"  --metrics ADDRESS:PORT  where Prometheus scrapes /metrics (default 127.0.0.1:9374;\n"
           u"                          a port alone is on loopback, [::1]:PORT for IPv6, port 0\n"
           u"                          takes a free one, \"off\" serves none)\n"
           u"  -h, --help              show this text\n"
           u"  -v, --version           show the version\n"
           u"\n"
           u"Exit status: 0 stopped by signal or by the test count, 1 the run could not start or\n"
           u"go on (the reason is printed), 2 bad arguments.\n"_qs;
}

QString VersionText()
{
    return u"Netvane "_qs + QString::fromLatin1(NETVANE_VERSION) + u'\n';
}

CommandLine ParseCommandLine(const QStringList &arguments)
{
    CommandLine line;
    bool headless = false;
    QStringList headlessOnly;
    const auto invalid = [&line](const QString &error) {
        line = CommandLine();
        line.action = CommandLine::Action::Invalid;
        line.error = error;
        return line;
    };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString name = arguments[i];
        std::optional<QString> value;
        if (name.startsWith(u"--"_qs) && name.contains(u'=')) {
            value = name.mid(name.indexOf(u'=') + 1);
            name = name.left(name.indexOf(u'='));
        }
        const auto takeValue = [&]() -> std::optional<QString> {
            if (value)
                return value;
            if (i + 1 < arguments.size())
                return arguments[++i];
            return std::nullopt;
        };
        if (name == u"-h" || name == u"--help") {
            line.action = CommandLine::Action::Help;
            return line;
        }
        if (name == u"-v" || name == u"--version") {
            line.action = CommandLine::Action::Version;
            return line;
        }
        if (name == u"--headless" && !value) {
            headless = true;
        } else if (name == u"--list" || name == u"--data" || name == u"--metrics") {
            const std::optional<QString> given = takeValue();
            if (!given || given->isEmpty())
                return invalid(name + u" needs a value"_qs);
            headlessOnly << name;
            if (name == u"--list") {
                line.listFile = *given;
            } else if (name == u"--data") {
                line.dataFolder = *given;
            } else if (*given == u"off") {
                line.metrics.reset();
            } else {
                QString why;
                line.metrics = ParseMetricsAddress(*given, &why);
                if (!line.metrics)
                    return invalid(u"--metrics "_qs + *given + u": "_qs + why);
            }
        } else if (name.startsWith(u'-')) {
            return invalid(u"unknown option "_qs + arguments[i]);
        } else {
            return invalid(u"unexpected argument "_qs + arguments[i]);
        }
    }
    if (!headless && !headlessOnly.isEmpty())
        return invalid(headlessOnly.first() + u" is an option of --headless"_qs);
    line.action = headless ? CommandLine::Action::Headless : CommandLine::Action::Window;
    return line;
}

int RunCommandLine(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine line = ParseCommandLine(arguments);
    switch (line.action) {
    case CommandLine::Action::Help:
        print(stdout, UsageText());
        return 0;
    case CommandLine::Action::Version:
        print(stdout, VersionText());
        return 0;
    case CommandLine::Action::Invalid:
    case CommandLine::Action::Window: // only without arguments; main() opens the window then
        print(stderr, u"netvane: "_qs + (line.error.isEmpty() ? u"no action given"_qs : line.error)
                          + u"\n\n"_qs + UsageText());
        return ExitUsage;
    case CommandLine::Action::Headless:
        break;
    }
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"Netvane"_qs);
    HeadlessRun run(line);
    QObject::connect(&run, &HeadlessRun::ended, &app, &QCoreApplication::exit, Qt::QueuedConnection);
    if (const int refused = run.start(); refused != 0)
        return refused;
    return QCoreApplication::exec();
}

} // namespace netvane
