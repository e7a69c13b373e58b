#include "platform/singleinstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace netvane::platform {

namespace {

// The socket is named after the user and the data folder: another folder (a test's)
// is another program.
QString serverNameFor(const QString &dataFolder)
{
    const QByteArray folder = QFileInfo(dataFolder).absoluteFilePath().toUtf8();
    const QByteArray hash = QCryptographicHash::hash(folder, QCryptographicHash::Sha1).toHex();
    return u"netvane-%1-%2"_qs.arg(::getuid()).arg(QString::fromLatin1(hash.left(16)));
}

} // namespace

SingleInstance::SingleInstance(const QString &dataFolder, QObject *parent)
    : QObject(parent), m_lock(QDir(dataFolder).filePath(u"netvane.lock"_qs)),
      m_serverName(serverNameFor(dataFolder))
{
    // Held for the whole run: only a dead holder's lock is taken over.
    m_lock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
}

bool SingleInstance::claim()
{
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
    QLocalServer::removeServer(m_serverName);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            socket->disconnectFromServer();
            socket->deleteLater();
            Q_EMIT showRequested();
        }
    });
    // Without the socket the program still runs; later starts just cannot raise it.
    m_server->listen(m_serverName);
    return true;
}

bool SingleInstance::askRunningToShow()
{
    QLocalSocket socket;
    socket.connectToServer(m_serverName);
    if (!socket.waitForConnected(2000))
        return false;
    socket.disconnectFromServer();
    return true;
}

} // namespace netvane::platform
