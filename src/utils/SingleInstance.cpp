#include "utils/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLockFile>
#include <QSysInfo>
#include <unistd.h>

namespace
{

// How long a second copy waits for the first to answer: the first saves the
// user's last edits before it does.
constexpr int AnswerWaitMs = 10000;

// True when Pid is a live process of the executable at Executable (a
// canonical path): a copy of this program, not just a process that took
// over the number of one that died.
bool isCopyOf(qint64 pid, const QString& executable)
{
    if (pid <= 0 || executable.isEmpty())
        return false;
    return QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid)) == executable;
}

} // namespace

SingleInstance::SingleInstance(const QString& executablePath, QObject* parent)
    : QObject(parent), m_executable(QFileInfo(executablePath).canonicalFilePath()),
      m_name(serverName(executablePath))
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::serverName(const QString& executablePath)
{
    QString path = QFileInfo(executablePath).canonicalFilePath();
    if (path.isEmpty())
        path = QFileInfo(executablePath).absoluteFilePath();
    const QByteArray hash =
        QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return QStringLiteral("TorvikPathfind-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

bool SingleInstance::claim()
{
    // Two copies started at once must not both decide they are the first:
    // the lock spans the look for a first copy and the start of listening.
    QLockFile lock(QDir::temp().filePath(m_name + QStringLiteral(".lock")));
    lock.setStaleLockTime(5000);
    if (!lock.tryLock(0)) {
        qint64 holder = 0;
        QString host;
        if (lock.getLockInfo(&holder, &host, nullptr) && host == QSysInfo::machineHostName() &&
            isCopyOf(holder, m_executable))
            lock.tryLock(5000); // a copy starting this moment: it answers once it holds the socket
        else if (lock.removeStaleLockFile())
            lock.tryLock(0); // left by a copy that died; its number may now be another program's
        // Without the lock the socket alone decides.
    }

    QLocalSocket probe;
    probe.connectToServer(m_name);
    if (probe.waitForConnected(1000)) {
        probe.write("show\n");
        probe.waitForBytesWritten(1000);
        probe.waitForReadyRead(AnswerWaitMs); // the first copy answers once it has acted
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
