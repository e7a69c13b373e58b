#pragma once
// One ICMP echo for the ping test and the scan probe: SendEcho sends a request to a
// dotted address and fills the caller's reply record; EchoStatusText turns a status
// number into the short text the ping log shows. The ping run loop calls SendEcho
// once per ping; the reply log and the result store call EchoStatusText again when
// they redraw stored replies.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace netvane {

// The reply as the echo service reports it (the data area itself is not kept).
struct EchoReply {
    quint32 address = 0; // replying IPv4 address, network order (0 for IPv6)
    quint32 status = 0;
    quint32 roundTripTime = 0; // milliseconds
    quint16 dataSize = 0;
    quint8 ttl = 0;
};

// The echo time-out in milliseconds, one value for the whole program. A ping test
// takes it at its start (the settings are read at Start).
extern qint32 PingTimeout;

// Status -1 when the address text is neither strict dotted decimal nor an IPv6
// address (nothing is sent and the reply is untouched); otherwise the echo's status:
// 0 for a reply, 11010 when none came within PingTimeout, and the other numbers of
// EchoStatusText. The reply's TTL is the hop limit of an IPv6 reply.
qint32 SendEcho(const QString &address, const QByteArray &data, EchoReply &reply);

QString EchoStatusText(qint32 status);

// True for the one status whose text says "success".
inline bool IsAnswered(qint32 status) { return status == 0; }

} // namespace netvane
