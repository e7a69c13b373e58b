#pragma once
// The main window's channel for the scan probes' answers: an abstract Unix datagram
// socket named after a random number, which the probes are given as the "window
// handle". Abstract names are shared by every user of the network namespace, so a
// name another user could guess (the process id) would let them take it first and
// stop every scan; a random one cannot be guessed, and one found taken is drawn
// again. Only datagrams from processes of the same user are taken (the kernel
// vouches for the sender with SO_PASSCRED); datagrams of another kind, malformed or
// larger than an answer can be are dropped. Each accepted one is emitted as its
// text, cut at the first NUL.

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;

namespace netvane::platform {

class ScanChannel final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ScanChannel)
public:
    explicit ScanChannel(QObject *parent = nullptr);
    ~ScanChannel() override;

    // Binds the socket; false with the system's reason when it cannot.
    bool open(QString *error = nullptr);
    bool isOpen() const { return m_fd >= 0; }
    // The "window handle" the probes are given (a decimal number), once open.
    QString handle() const { return m_handle; }

    // Reads every datagram already waiting (the event loop also does this by itself).
    void drain();

Q_SIGNALS:
    void answerReceived(const QByteArray &text);

private:
    int m_fd = -1;
    QString m_handle;
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace netvane::platform
