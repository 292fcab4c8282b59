#include "utils/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QLockFile>
#include <QSysInfo>
#include <unistd.h>

namespace
{

// True when Pid is a live process of the executable at Executable (a
// canonical path): a copy of this program, not just a process that took
// over the number of one that died.
constexpr int StaleLockMs = 5000;
constexpr int ConnectMs = 1000;
// The first copy saves the user's last edits before it answers.
constexpr int AnswerMs = 10000;
// A request with many items is long, but never this long.
constexpr qint64 MaxRequestBytes = qint64(64) << 20;
// The words of the requests and the answer; "show" is what every earlier
// copy sends, so it stays.
const QByteArray ShowWord = QByteArrayLiteral("show");
const QByteArray FileWord = QByteArrayLiteral("file");
const QByteArray AnswerWord = QByteArrayLiteral("ok");

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

bool SingleInstance::claim(const Request& request)
{
    // Two copies started at once must not both decide they are the first:
    // the lock spans the look for a first copy and the start of listening.
    QLockFile lock(QDir::temp().filePath(m_name + QStringLiteral(".lock")));
    lock.setStaleLockTime(StaleLockMs);
    if (!lock.tryLock(0)) {
        qint64 holder = 0;
        QString host;
        if (lock.getLockInfo(&holder, &host, nullptr) && host == QSysInfo::machineHostName() &&
            isCopyOf(holder, m_executable))
            lock.tryLock(
                StaleLockMs); // a copy starting this moment: it answers once it holds the socket
        else if (lock.removeStaleLockFile())
            lock.tryLock(0); // left by a copy that died; its number may now be another program's
        // Without the lock the socket alone decides.
    }

    m_handOver = handOver(request);
    if (m_handOver != HandOver::NoCopy)
        return false;

    QLocalServer::removeServer(m_name); // a socket left behind by a crashed copy
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name))
        return true; // no hand-over possible, but this copy can still run
    connect(m_server.get(), &QLocalServer::newConnection, this, &SingleInstance::serve);
    return true;
}

SingleInstance::HandOver SingleInstance::handOver(const Request& request)
{
    QLocalSocket probe;
    probe.connectToServer(m_name);
    if (!probe.waitForConnected(ConnectMs))
        return HandOver::NoCopy;
    QByteArray line = ShowWord;
    if (!request.items.isEmpty()) {
        // One line: JSON escapes any line break a name might hold.
        const QJsonObject body{{QStringLiteral("items"), QJsonArray::fromStringList(request.items)},
                               {QStringLiteral("category"), request.category}};
        line = FileWord + ' ' + QJsonDocument(body).toJson(QJsonDocument::Compact);
    }
    probe.write(line + '\n');
    while (probe.bytesToWrite() > 0)
        if (!probe.waitForBytesWritten(AnswerMs))
            return HandOver::NoAnswer;
    // The first copy answers once it has acted (or, for items, queued them).
    while (!probe.canReadLine())
        if (!probe.waitForReadyRead(AnswerMs))
            return HandOver::NoAnswer;
    const bool answered = probe.readLine().trimmed() == AnswerWord;
    probe.disconnectFromServer();
    return answered ? HandOver::Taken : HandOver::NoAnswer;
}

void SingleInstance::serve()
{
    while (QLocalSocket* peer = m_server->nextPendingConnection()) {
        connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
        connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
            while (peer->canReadLine()) {
                const QByteArray line = peer->readLine().trimmed();
                const qsizetype blank = line.indexOf(' ');
                const QByteArray word = line.left(blank < 0 ? line.size() : blank);
                if (word == ShowWord) {
                    Q_EMIT showRequested();
                } else if (word == FileWord) {
                    const QJsonObject body = QJsonDocument::fromJson(line.mid(blank + 1)).object();
                    QStringList items;
                    for (const QJsonValue& item : body.value(QStringLiteral("items")).toArray())
                        if (item.isString())
                            items << item.toString();
                    if (!items.isEmpty())
                        Q_EMIT fileRequested(items,
                                             body.value(QStringLiteral("category")).toString());
                }
                peer->write(AnswerWord + '\n');
                peer->flush();
            }
            // A line that never ends is no request of ours.
            if (peer->bytesAvailable() > MaxRequestBytes)
                peer->abort();
        });
    }
}
