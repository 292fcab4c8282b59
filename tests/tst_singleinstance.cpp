// One copy per executable: a lock file that a dead copy left behind, now
// naming a process of another program, is no reason to wait.
#include "utils/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QScopeGuard>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

#include "testutil/TestUtil.h"

class TestSingleInstance : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lockOfAnotherProgramIsTakenOver()
    {
        QTemporaryDir ours, theirs;
        const QString exe = ours.filePath("quillmere");
        QVERIFY(TestUtil::writeFile(exe, "#!/bin/sh\n"));
        // Another program of the same file name, from another folder, alive
        // under the process number the dead copy's lock names.
        const QString sleeper = QStandardPaths::findExecutable("sleep");
        QVERIFY(!sleeper.isEmpty());
        const QString other = theirs.filePath("quillmere");
        QVERIFY(QFile::copy(sleeper, other));
        QProcess process;
        process.start(other, {"60"});
        QVERIFY(process.waitForStarted());

        const QString lockPath = QDir::temp().filePath(SingleInstance::serverName(exe) + ".lock");
        auto cleanup = qScopeGuard([&] {
            process.kill();
            process.waitForFinished();
            QFile::remove(lockPath);
        });
        QVERIFY(TestUtil::writeFile(lockPath, QByteArray::number(process.processId()) +
                                                  "\nquillmere\n" +
                                                  QSysInfo::machineHostName().toUtf8() + "\n"));
        // Dated a little ahead (a clock set back): it cannot grow old enough
        // to count as stale while a copy waits for it.
        QFile lockFile(lockPath);
        QVERIFY(lockFile.open(QIODevice::ReadWrite));
        QVERIFY(lockFile.setFileTime(QDateTime::currentDateTime().addSecs(3),
                                     QFileDevice::FileModificationTime));
        lockFile.close();

        SingleInstance instance(exe);
        QVERIFY(instance.claim());
        // Taken over and released, not waited out and left standing.
        QVERIFY(!QFile::exists(lockPath));
        // And this copy is the first one: a second is answered.
        QLocalSocket probe;
        probe.connectToServer(SingleInstance::serverName(exe));
        QVERIFY(probe.waitForConnected(5000));
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
