#include "utils/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLockFile>
#include <unistd.h>

TSingleInstance::TSingleInstance(const QString& ExecutablePath, QObject* parent)
    : QObject(parent), m_name(ServerName(ExecutablePath))
{
}

TSingleInstance::~TSingleInstance() = default;

QString TSingleInstance::ServerName(const QString& ExecutablePath)
{
    QString path = QFileInfo(ExecutablePath).canonicalFilePath();
    if (path.isEmpty())
        path = QFileInfo(ExecutablePath).absoluteFilePath();
    const QByteArray hash = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return QStringLiteral("TorvikPathfind-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

bool TSingleInstance::Claim()
{
    // Two copies started at once must not both decide they are the first.
    QLockFile lock(QDir::temp().filePath(m_name + QStringLiteral(".lock")));
    lock.setStaleLockTime(5000);
    lock.tryLock(5000);

    QLocalSocket probe;
    probe.connectToServer(m_name);
    if (probe.waitForConnected(1000)) {
        probe.write("show\n");
        probe.waitForBytesWritten(1000);
        probe.waitForReadyRead(1000); // the first copy answers once it has acted
        probe.disconnectFromServer();
        return false;
    }

    QLocalServer::removeServer(m_name); // a socket left behind by a crashed copy
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name))
        return true; // no hand-over possible, but this copy can still run
    connect(m_server.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* peer = m_server->nextPendingConnection()) {
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
                if (!peer->canReadLine())
                    return;
                if (peer->readLine().trimmed() == "show")
                    Q_EMIT showRequested();
                peer->write("ok\n");
                peer->flush();
            });
        }
    });
    return true;
}
