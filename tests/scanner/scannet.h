#pragma once
// A link for scan tests, inside the test's own network namespace: a veth pair whose
// far end lives in a second namespace (a child process) and answers at PeerAddress;
// other addresses on the link have no host behind them.

#include "support/testenv.h"

#include <QProcess>
#include <QtTest>

namespace netvane::test {

inline const QString LinkAddress = QStringLiteral("10.231.5.1");
inline const QString PeerAddress = QStringLiteral("10.231.5.2");
inline const QString SilentAddress = QStringLiteral("10.231.5.3");
inline const QString LinkAddress6 = QStringLiteral("fd00:5::1");
inline const QString PeerAddress6 = QStringLiteral("fd00:5::2");
inline const QString SilentAddress6 = QStringLiteral("fd00:5::3");
// The peer's MAC, of a registered vendor (00-22-72: "American Micro-Fuel Device Corp.").
inline const QString PeerMac = QStringLiteral("00-22-72-00-00-02");

class PeerLink final
{
public:
    ~PeerLink()
    {
        if (m_peer.state() != QProcess::NotRunning) {
            m_peer.kill();
            m_peer.waitForFinished(5000);
        }
    }

    // Call after EnterPrivateNetworkNamespace. Fails the calling test on error.
    bool make()
    {
        m_peer.start(u"unshare"_qs, {u"--net"_qs, u"sleep"_qs, u"600"_qs});
        if (!m_peer.waitForStarted(5000))
            return false;
        const QString pid = QString::number(m_peer.processId());
        // unshare has switched namespaces once /proc shows a different one.
        for (int i = 0; i < 500; ++i) {
            if (QFileInfo(u"/proc/"_qs + pid + u"/ns/net"_qs).symLinkTarget()
                != QFileInfo(u"/proc/self/ns/net"_qs).symLinkTarget())
                break;
            QTest::qWait(10);
        }
        const QList<QStringList> here = {
            {u"link"_qs, u"add"_qs, u"nvs0"_qs, u"type"_qs, u"veth"_qs, u"peer"_qs, u"name"_qs, u"nvs1"_qs},
            {u"addr"_qs, u"add"_qs, LinkAddress + u"/24"_qs, u"dev"_qs, u"nvs0"_qs},
            {u"addr"_qs, u"add"_qs, LinkAddress6 + u"/64"_qs, u"dev"_qs, u"nvs0"_qs, u"nodad"_qs},
            {u"link"_qs, u"set"_qs, u"nvs0"_qs, u"up"_qs},
            {u"link"_qs, u"set"_qs, u"nvs1"_qs, u"netns"_qs, pid},
        };
        QString out;
        for (const QStringList &args : here)
            if (!Run(u"ip"_qs, args, &out))
                return fail(args, out);
        const QList<QStringList> there = {
            {u"ip"_qs, u"addr"_qs, u"add"_qs, PeerAddress + u"/24"_qs, u"dev"_qs, u"nvs1"_qs},
            {u"ip"_qs, u"addr"_qs, u"add"_qs, PeerAddress6 + u"/64"_qs, u"dev"_qs, u"nvs1"_qs, u"nodad"_qs},
            {u"ip"_qs, u"link"_qs, u"set"_qs, u"nvs1"_qs, u"address"_qs,
             QString(PeerMac).replace(u'-', u':')},
            {u"ip"_qs, u"link"_qs, u"set"_qs, u"nvs1"_qs, u"up"_qs},
            {u"ip"_qs, u"link"_qs, u"set"_qs, u"lo"_qs, u"up"_qs},
        };
        for (const QStringList &args : there)
            if (!Run(u"nsenter"_qs, QStringList{u"-t"_qs, pid, u"-n"_qs} + args, &out))
                return fail(args, out);
        return true;
    }

    QString pid() const { return QString::number(m_peer.processId()); }

private:
    bool fail(const QStringList &args, const QString &out)
    {
        qWarning("%s: %s", qPrintable(args.join(u' ')), qPrintable(out));
        return false;
    }
    QProcess m_peer;
};

} // namespace netvane::test
