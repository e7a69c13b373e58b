#pragma once
// SIGTERM and SIGINT (systemd's stop, Ctrl+C) as a Qt signal, for a program that runs
// without a window. The handler only writes the signal's number into a pipe that
// the event loop watches, so the program stops between two events: never in the
// middle of writing a line. One instance at a time; the default handling comes
// back when it goes.

#include <QObject>

class QSocketNotifier;

namespace netvane::platform {

class StopSignals final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StopSignals)
public:
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;

    // "SIGTERM", "SIGINT".
    static QString name(int signalNumber);

Q_SIGNALS:
    void received(int signalNumber);

private:
    int m_fds[2] = {-1, -1};
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace netvane::platform
