#include "platform/singleinstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <sys/socket.h>
#include <unistd.h>

namespace netvane::platform {

namespace {

// The socket is named after the data folder (another folder, a test's, is another
// program) and lives where only this user can make or reach it: the runtime folder,
// which Qt makes sure is the user's own with mode 0700, else the data folder (0700).
QString serverPathFor(const QString &dataFolder)
{
    const QByteArray folder = QFileInfo(dataFolder).absoluteFilePath().toUtf8();
    const QByteArray hash = QCryptographicHash::hash(folder, QCryptographicHash::Sha1).toHex();
    QString place = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (place.isEmpty())
        place = dataFolder;
    return QDir(place).filePath(u"netvane-"_qs + QString::fromLatin1(hash.left(16)) + u".sock"_qs);
}

// True when the process at the other end of a connected local socket is this user's.
bool peerIsThisUser(const QLocalSocket &socket)
{
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0
           && size == sizeof peer && peer.uid == ::getuid();
}

} // namespace

SingleInstance::SingleInstance(const QString &dataFolder, QObject *parent)
    : QObject(parent), m_lock(QDir(dataFolder).filePath(u"netvane.lock"_qs)),
      m_serverPath(serverPathFor(dataFolder))
{
    // Held for the whole run: only a dead holder's lock is taken over.
    m_lock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
}

bool SingleInstance::claim(bool windowless)
{
    m_windowless = windowless;
    if (!m_lock.tryLock(0)) {
        // Only a lock held by a running program means another one runs; a folder where
        // no lock can be written does not stop this one.
        if (m_lock.error() == QLockFile::LockFailedError)
            return false;
        return true;
    }
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // We hold the lock: a socket file left behind belongs to a program that died.
    QLocalServer::removeServer(m_serverPath);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            const bool own = peerIsThisUser(*socket);
            // One byte says what the asker gets: a window shown, or none to show.
            if (own) {
                socket->write(m_windowless ? "H" : "W", 1);
                socket->flush();
            }
            // Gone once the byte is out: disconnecting waits for what is still to be written.
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            socket->disconnectFromServer();
            if (own && !m_windowless)
                Q_EMIT showRequested();
        }
    });
    // Without the socket the program still runs; later starts just cannot raise it.
    m_server->listen(m_serverPath);
    return true;
}

SingleInstance::Answer SingleInstance::askRunningToShow()
{
    QLocalSocket socket;
    socket.connectToServer(m_serverPath);
    if (!socket.waitForConnected(2000) || !peerIsThisUser(socket))
        return Answer::None;
    char kind = 0;
    if (socket.bytesAvailable() == 0)
        socket.waitForReadyRead(2000);
    socket.read(&kind, 1);
    socket.disconnectFromServer();
    if (kind == 'H')
        return Answer::Windowless;
    return kind == 'W' ? Answer::Shown : Answer::None;
}

} // namespace netvane::platform
