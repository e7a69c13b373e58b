#include "platform/stopsignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace netvane::platform {

namespace {

int g_writeEnd = -1;

void onSignal(int number)
{
    const int saved = errno;
    const char byte = char(number);
    [[maybe_unused]] const ssize_t n = ::write(g_writeEnd, &byte, 1);
    errno = saved;
}

void handle(int number, void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(number, &action, nullptr);
}

} // namespace

StopSignals::StopSignals(QObject *parent) : QObject(parent)
{
    if (::pipe2(m_fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    g_writeEnd = m_fds[1];
    m_notifier = new QSocketNotifier(m_fds[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        while (::read(m_fds[0], &byte, 1) == 1)
            Q_EMIT received(int(byte));
    });
    handle(SIGTERM, onSignal);
    handle(SIGINT, onSignal);
}

StopSignals::~StopSignals()
{
    if (m_fds[0] < 0)
        return;
    handle(SIGTERM, SIG_DFL);
    handle(SIGINT, SIG_DFL);
    g_writeEnd = -1;
    delete m_notifier;
    ::close(m_fds[0]);
    ::close(m_fds[1]);
}

QString StopSignals::name(int signalNumber)
{
    switch (signalNumber) {
    case SIGTERM: return u"SIGTERM"_qs;
    case SIGINT: return u"SIGINT"_qs;
    default: return u"signal "_qs + QString::number(signalNumber);
    }
}

} // namespace netvane::platform
