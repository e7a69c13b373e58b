#include "platform/scanchannel.h"

#include "scanner/probe/scanmessage.h"

#include <QRandomGenerator>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace netvane::platform {

namespace {

// Each draw is one of 2^63 names: a clash is chance, so a few draws settle it.
constexpr int MaxNameDraws = 16;

} // namespace

ScanChannel::ScanChannel(QObject *parent) : QObject(parent)
{
}

ScanChannel::~ScanChannel()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool ScanChannel::open(QString *error)
{
    if (m_fd >= 0)
        return true;
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const auto fail = [&](int code) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(code));
        if (fd >= 0)
            ::close(fd);
        return false;
    };
    if (fd < 0)
        return fail(errno);
    const int on = 1;
    if (::setsockopt(fd, SOL_SOCKET, SO_PASSCRED, &on, sizeof on) != 0)
        return fail(errno);
    // A name taken already (by chance, or by someone else) is drawn again.
    QString handle;
    for (int attempt = 0;; ++attempt) {
        handle = QString::number(QRandomGenerator::system()->generate64() >> 1);
        const std::string name = scanmsg::channelName(handle.toStdString());
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path + 1, name.data(), name.size());
        const socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + name.size());
        if (::bind(fd, reinterpret_cast<sockaddr *>(&address), length) == 0)
            break;
        if (errno != EADDRINUSE || attempt == MaxNameDraws)
            return fail(errno);
    }
    m_fd = fd;
    m_handle = handle;
    m_notifier = new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ScanChannel::drain);
    return true;
}

void ScanChannel::drain()
{
    if (m_fd < 0)
        return;
    const uid_t self = ::getuid();
    // One byte more than the largest answer, so that a larger datagram shows as cut.
    char buffer[scanmsg::MaxDatagram + 1];
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
    for (;;) {
        iovec iov{buffer, sizeof buffer};
        msghdr msg{};
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t n = ::recvmsg(m_fd, &msg, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return; // nothing more waiting
        }
        if (msg.msg_flags & (MSG_TRUNC | MSG_CTRUNC))
            continue;
        bool sameUser = false;
        for (cmsghdr *c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_CREDENTIALS) {
                ucred cred{};
                std::memcpy(&cred, CMSG_DATA(c), sizeof cred);
                sameUser = cred.uid == self;
            } else if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_RIGHTS) {
                // Descriptors are never wanted here; close what a sender passed.
                const size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
                for (size_t i = 0; i < count; ++i) {
                    int passed = -1;
                    std::memcpy(&passed, CMSG_DATA(c) + i * sizeof(int), sizeof passed);
                    ::close(passed);
                }
            }
        }
        if (!sameUser)
            continue;
        const scanmsg::Decoded d = scanmsg::decode(buffer, size_t(n));
        if (!d.valid || d.kind != scanmsg::AnswerKind)
            continue;
        Q_EMIT answerReceived(QByteArray::fromStdString(d.text));
    }
}

} // namespace netvane::platform
