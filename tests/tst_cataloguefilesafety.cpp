// The catalogue file against what a run meets outside the program: a broken
// backup, files changed by other programs, links to things that are no files,
// FIFOs and devices, failures on the reading thread, hostile lines. Whatever
// happens, nothing the user had is lost or overwritten.
#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueFile.h"

#include <fcntl.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "testutil/TestUtil.h"

using TestUtil::catalogueLine;
using TestUtil::FileSizeLimit;
using TestUtil::loadError;
using TestUtil::raw;
using TestUtil::readFile;
using TestUtil::writeFile;

// Fault injection: fsync or fdatasync of a file whose path ends in the given
// suffix, or lies in the given folder, fails with EIO (a disk that lost the
// write). This executable's own functions take the place of the C library's
// for the code linked into it.
namespace
{
std::atomic<const char*> failingSyncSuffix{nullptr};
std::atomic<const char*> failingSyncFolder{nullptr};

bool syncFails(int fd)
{
    const char* suffix = failingSyncSuffix.load();
    const char* folder = failingSyncFolder.load();
    if (!suffix && !folder)
        return false;
    char link[64], target[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = ::readlink(link, target, sizeof target - 1);
    // A file not linked yet reads as "FOLDER/#NUMBER (deleted)".
    const QByteArray path(target, n > 0 ? n : 0);
    return (suffix && path.endsWith(suffix)) ||
           (folder && path.startsWith(QByteArray(folder) + '/'));
}
} // namespace

extern "C" int fsync(int fd)
{
    if (syncFails(fd)) {
        errno = EIO;
        return -1;
    }
    return int(::syscall(SYS_fsync, fd));
}

extern "C" int fdatasync(int fd)
{
    if (syncFails(fd)) {
        errno = EIO;
        return -1;
    }
    return int(::syscall(SYS_fdatasync, fd));
}

namespace
{

class FailingSync
{
public:
    explicit FailingSync(const char* suffix) { failingSyncSuffix = suffix; }
    ~FailingSync() { failingSyncSuffix = nullptr; }
};

class FailingSyncIn
{
public:
    explicit FailingSyncIn(const QString& folder) : m_folder(QFile::encodeName(folder))
    {
        failingSyncFolder = m_folder.constData();
    }
    ~FailingSyncIn() { failingSyncFolder = nullptr; }

private:
    QByteArray m_folder;
};

// Sets a file's modification time Seconds into the past: the catalogue was
// written in an earlier session.
bool age(const QString& path, int seconds)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    timespec times[2] = {st.st_atim, st.st_mtim};
    times[0].tv_sec -= seconds;
    times[1].tv_sec -= seconds;
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
}

struct Env {
    QTemporaryDir dir;
    Catalogue cat;
    Env() { cat.setDataFolder(dir.path()); }
    QString path(const QString& name) const { return dir.filePath(name); }
    QString dat() const { return cat.dataFile(false); }
    QString bak() const { return cat.dataFile(true); }
    QStringList files() const
    {
        return QDir(dir.path())
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    }
};

QString saveError(Catalogue& cat, bool backup = false)
{
    try {
        cat.saveData(backup);
    } catch (const CatalogueError& e) {
        return e.text();
    }
    return {};
}

// Names of the user's nodes in full order, the built-in category left out.
QStringList names(Catalogue& cat)
{
    QStringList out;
    for (TreeNode* n = cat.nodes().getFirstNode(); n; n = n->getNext())
        if (!cat.makerCategory() || !n->isUnder(cat.makerCategory()))
            out << QString(n->level(), u' ') + n->text();
    return out;
}

QByteArray sample()
{
    return catalogueLine("Work", 0, {}, "1", "mine") +
           catalogueLine("Site", 1, "https://example.org/", "4") +
           catalogueLine("Home", 0, {}, "1");
}

bool isFifo(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode);
}

} // namespace

class TestCatalogueFileSafety : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void failedRestoreKeepsTheCatalogue_data()
    {
        QTest::addColumn<QByteArray>("backup");
        QTest::addColumn<QString>("error");
        QTest::newRow("level jump")
            << catalogueLine("A", 0, {}, "1") + catalogueLine("B", 2, {}, "1")
            << "Invalid level (2) for item \"B\"";
        QTest::newRow("no level") << catalogueLine("A", 0, {}, "1") + raw("B\0x\0\0\0"
                                                                          "1\0\r\n")
                                  << "'x' is not a valid integer value";
        QTest::newRow("not a file") << QByteArray() << "It is not a regular file.";
    }
    void failedRestoreKeepsTheCatalogue()
    {
        QFETCH(QByteArray, backup);
        QFETCH(QString, error);
        Env env;
        QVERIFY(writeFile(env.dat(), sample()));
        QVERIFY(env.cat.loadData(false));
        const QStringList before = names(env.cat);
        TreeNode* top = env.cat.topCategory();
        if (backup.isEmpty())
            QVERIFY(QDir(env.dir.path()).mkdir("quillmere.bak"));
        else
            QVERIFY(writeFile(env.bak(), backup));

        const QString text = loadError(env.cat, true);
        QVERIFY2(text.contains(error), qPrintable(text));
        QVERIFY2(text.contains("Nothing was restored"), qPrintable(text));
        QCOMPARE(names(env.cat), before);
        QCOMPARE(env.cat.topCategory(), top);
        QCOMPARE(env.cat.nodes().getFirstNode(), env.cat.makerCategory());
        QCOMPARE(env.cat.nodes().rootCount(), 3);
        QVERIFY(!env.cat.nodes().updating());
        // The end of the run writes the whole catalogue back, and the backup is
        // left as it was.
        env.cat.saveData(false);
        QCOMPARE(readFile(env.dat()), sample());
        if (!backup.isEmpty())
            QCOMPARE(readFile(env.bak()), backup);
    }

    void restoreReplacesTheWholeTree()
    {
        Env env;
        QVERIFY(writeFile(env.dat(), sample()));
        QVERIFY(env.cat.loadData(false));
        QVERIFY(writeFile(env.bak(),
                          catalogueLine("Old", 0, {}, "1") + catalogueLine("Kept", 1, {}, "1")));
        QVERIFY(env.cat.loadData(true));
        QCOMPARE(names(env.cat), (QStringList{"Old", " Kept"}));
        QCOMPARE(env.cat.topCategory()->text(), QString("Old"));
        QCOMPARE(env.cat.nodes().getFirstNode(), env.cat.makerCategory());
        QCOMPARE(env.cat.nodes().count(), 2 + 4);
    }

    void damagedFileThatCannotBeKeptIsNeverOverwritten()
    {
        Env env;
        // Larger than the file size limit below, so its copy cannot be written.
        QByteArray bad = catalogueLine("Work", 0, {}, "1");
        for (int i = 0; i < 2000; ++i)
            bad += catalogueLine(QString(40, u'x'), 1, {}, "1");
        bad += catalogueLine("Deep", 3, {}, "1");
        QVERIFY(writeFile(env.dat(), bad));
        QString text;
        {
            FileSizeLimit limit(16 * 1024);
            text = loadError(env.cat);
        }
        QVERIFY2(text.contains("Invalid level (3) for item \"Deep\""), qPrintable(text));
        QVERIFY2(text.contains("will not write over it"), qPrintable(text));
        QVERIFY(env.cat.catalogueFileProtected());
        QCOMPARE(env.files(), QStringList{"quillmere.dat"}); // no half copy left behind
        env.cat.saveData(false);
        QCOMPARE(readFile(env.dat()), bad);
        // A backup is still possible, so the run's work can be kept.
        env.cat.saveData(true);
        QVERIFY(readFile(env.bak()).startsWith(catalogueLine("Work", 0, {}, "1")));
    }

    void changesByAnotherProgramAreKeptAside()
    {
        Env env;
        QVERIFY(writeFile(env.dat(), sample()));
        QVERIFY(env.cat.loadData(false));
        QSignalSpy notices(&env.cat, &Catalogue::saveNotice);

        // A sync tool replaces the file while the program runs.
        const QByteArray theirs =
            catalogueLine("Theirs", 0, {}, "1") + catalogueLine("Many", 1, {}, "1");
        const QString replacement = env.path("incoming");
        QVERIFY(writeFile(replacement, theirs));
        QVERIFY(QFile::remove(env.dat()));
        QVERIFY(QFile::rename(replacement, env.dat()));

        env.cat.saveData(false);
        QCOMPARE(readFile(env.dat()), sample());
        QCOMPARE(readFile(env.dat() + ".conflict"), theirs);
        QCOMPARE(notices.size(), 1);
        QVERIFY2(notices[0][0].toString().contains(env.dat() + ".conflict"),
                 qPrintable(notices[0][0].toString()));

        // The program's own write is no conflict; a second outside change gets
        // a name of its own.
        env.cat.createMakerCategory();
        env.cat.saveData(false);
        QCOMPARE(notices.size(), 1);
        QVERIFY(writeFile(env.dat(), theirs + theirs));
        env.cat.createMakerCategory();
        env.cat.saveData(false);
        QCOMPARE(notices.size(), 2);
        QCOMPARE(readFile(env.dat() + ".conflict"), theirs);
        QCOMPARE(readFile(env.dat() + ".conflict.1"), theirs + theirs);
        QCOMPARE(readFile(env.dat()), sample());
    }

    void aCatalogueDeletedDuringTheRunIsWrittenAgain()
    {
        // A sync tool or another program removed it: that is no version to
        // keep, and the run's catalogue must not be lost with it.
        Env env;
        QVERIFY(writeFile(env.dat(), sample()));
        QVERIFY(env.cat.loadData(false));
        QSignalSpy notices(&env.cat, &Catalogue::saveNotice);
        QVERIFY(QFile::remove(env.dat()));
        QCOMPARE(saveError(env.cat), QString());
        QCOMPARE(readFile(env.dat()), sample());
        QCOMPARE(notices.size(), 0);
        QCOMPARE(env.files(), QStringList{"quillmere.dat"});
    }

    void anOutsideChangeOfTheSameSizeIsKept()
    {
        // One letter changed in place: same size, same file; only the time
        // of the change tells.
        Env env;
        QVERIFY(writeFile(env.dat(), sample()));
        QVERIFY(age(env.dat(), 3600));
        QVERIFY(env.cat.loadData(false));
        QByteArray theirs = sample();
        theirs.replace("Work", "Wark");
        QFile f(env.dat());
        QVERIFY(f.open(QIODevice::ReadWrite));
        QCOMPARE(f.write(theirs), theirs.size());
        f.close();
        QSignalSpy notices(&env.cat, &Catalogue::saveNotice);
        QCOMPARE(saveError(env.cat), QString());
        QCOMPARE(readFile(env.dat() + ".conflict"), theirs);
        QCOMPARE(readFile(env.dat()), sample());
        QCOMPARE(notices.size(), 1);
    }

    void aKeptCopyThatDidNotReachTheDiskStopsTheSave()
    {
        // The other program's version is replaced only once its copy is on
        // the disk: a copy lost by the disk would lose that version.
        Env env;
        {
            const FailingSync failing(".conflict");
            const QString probe = env.path("probe.conflict");
            QVERIFY(writeFile(probe, "x"));
            const int fd = ::open(QFile::encodeName(probe).constData(), O_RDONLY);
            QVERIFY(fd >= 0 && ::fsync(fd) == -1 && errno == EIO); // the injection works
            ::close(fd);
            QVERIFY(QFile::remove(probe));
        }
        QVERIFY(writeFile(env.dat(), sample()));
        QVERIFY(env.cat.loadData(false));
        const QByteArray theirs = catalogueLine("Theirs", 0, {}, "1");
        QVERIFY(writeFile(env.path("incoming"), theirs));
        QVERIFY(QFile::remove(env.dat()));
        QVERIFY(QFile::rename(env.path("incoming"), env.dat()));
        QString text;
        {
            const FailingSync failing(".conflict");
            text = saveError(env.cat);
        }
        QVERIFY2(text.contains("could not be kept aside"), qPrintable(text));
        QVERIFY(!env.cat.dataSaved());
        QCOMPARE(readFile(env.dat()), theirs);
        QCOMPARE(env.files(), QStringList{"quillmere.dat"}); // no copy that may be incomplete
        // Once the disk works again the same save keeps it and goes through.
        QCOMPARE(saveError(env.cat), QString());
        QCOMPARE(readFile(env.dat() + ".conflict"), theirs);
        QCOMPARE(readFile(env.dat()), sample());
    }

    void aNewFileThatDidNotReachTheDiskReplacesNothing()
    {
        // The sync before the rename fails: the old file stays, and the run's
        // catalogue is written once the disk works again.
        Env env;
        QVERIFY(writeFile(env.dat(), sample()));
        QVERIFY(env.cat.loadData(false));
        env.cat.addCategoryNode(nullptr, "Later");
        QString text;
        {
            const FailingSyncIn failing(QDir(env.dir.path()).canonicalPath());
            text = saveError(env.cat);
        }
        QVERIFY2(text.contains(QString::fromLocal8Bit(std::strerror(EIO))), qPrintable(text));
        QVERIFY(!env.cat.dataSaved());
        QCOMPARE(readFile(env.dat()), sample());
        QCOMPARE(env.files(), QStringList{"quillmere.dat"});
        QCOMPARE(saveError(env.cat), QString());
        QCOMPARE(readFile(env.dat()), sample() + catalogueLine("Later", 0, {}, "1"));
    }

    void aVanishedFolderIsMadeAgainOrTheUserFolderTakesTheCatalogue()
    {
        Env env;
        const QString folder = env.path("own/data");
        QVERIFY(QDir().mkpath(folder));
        env.cat.setDataFolder(folder);
        QVERIFY(writeFile(env.dat(), sample()));
        QVERIFY(env.cat.loadData(false));
        QSignalSpy notices(&env.cat, &Catalogue::saveNotice);

        // Another program removed the folder: the save makes it again.
        QVERIFY(QDir(env.path("own")).removeRecursively());
        QCOMPARE(saveError(env.cat), QString());
        QCOMPARE(readFile(env.dat()), sample());
        QCOMPARE(QFileInfo(folder).permissions() & 0x7777,
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                     QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
        QCOMPARE(notices.size(), 0);

        // Now it cannot be made again (a file took the name above it): the
        // catalogue goes to the user's data folder, and the user hears where.
        QVERIFY(QDir(env.path("own")).removeRecursively());
        QVERIFY(writeFile(env.path("own"), "a file"));
        const QString user = env.path("user-data/Quillmere");
        const QByteArray oldData = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(env.path("user-data")));
        const QString text = saveError(env.cat);
        qputenv("XDG_DATA_HOME", oldData);
        QCOMPARE(text, QString());
        QCOMPARE(readFile(user + "/quillmere.dat"), sample());
        QCOMPARE(notices.size(), 1);
        QVERIFY2(notices[0][0].toString().contains(user), qPrintable(notices[0][0].toString()));
        QCOMPARE(env.cat.dataFolder(), user);
        env.cat.saveData(true); // the backup follows the catalogue
        QCOMPARE(readFile(user + "/quillmere.bak"), sample());
        QCOMPARE(readFile(env.path("own")), QByteArray("a file"));
    }

    // Another program removes the catalogue's folder during the run: the
    // save makes it again, or, where it cannot, writes to the user's data
    // folder and says where.
    void aFolderThatVanishedIsMadeAgain()
    {
        Env env;
        const QString folder = env.path("data/Quillmere");
        env.cat.setDataFolder(folder);
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(writeFile(env.cat.dataFile(false), sample()));
        QVERIFY(env.cat.loadData(false));
        QSignalSpy notices(&env.cat, &Catalogue::saveNotice);
        QVERIFY(QDir(env.path("data")).removeRecursively());
        env.cat.saveData(false);
        QCOMPARE(env.cat.dataFolder(), folder);
        QCOMPARE(readFile(env.cat.dataFile(false)), sample());
        QCOMPARE(notices.size(), 0);

        // Where the folder stood is now a file: the user's data folder takes it.
        QVERIFY(QDir(env.path("data")).removeRecursively());
        QVERIFY(writeFile(env.path("data"), "not a folder"));
        const QString user = env.path("xdg");
        const QByteArray oldHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(user));
        auto restore = qScopeGuard([&] { qputenv("XDG_DATA_HOME", oldHome); });
        env.cat.createMakerCategory();
        env.cat.saveData(false);
        QCOMPARE(env.cat.dataFolder(), user + "/Quillmere");
        QCOMPARE(readFile(user + "/Quillmere/quillmere.dat"), sample());
        QCOMPARE(notices.size(), 1);
        QVERIFY2(notices[0][0].toString().contains(user + "/Quillmere"),
                 qPrintable(notices[0][0].toString()));
    }

    void aCatalogueThatAppearedDuringTheRunIsKept()
    {
        Env env;
        QVERIFY(!env.cat.loadData(false)); // nothing there at the start
        env.cat.setTopCategory(env.cat.addCategoryNode(nullptr, "Mine"));
        QVERIFY(writeFile(env.dat(), sample()));
        QSignalSpy notices(&env.cat, &Catalogue::saveNotice);
        env.cat.saveData(false);
        QCOMPARE(notices.size(), 1);
        QCOMPARE(readFile(env.dat() + ".conflict"), sample());
        QCOMPARE(readFile(env.dat()), catalogueLine("Mine", 0, {}, "1"));
    }

    void savesFollowLinksToFilesOnly()
    {
        Env env;
        // A link to a regular file (a catalogue kept in a synced folder) is
        // written through and stays a link.
        const QString synced = env.path("synced.dat");
        QVERIFY(writeFile(synced, sample()));
        QVERIFY(QFile::link(synced, env.dat()));
        QVERIFY(env.cat.loadData(false));
        env.cat.saveData(false);
        QVERIFY(QFileInfo(env.dat()).isSymLink());
        QCOMPARE(readFile(synced), sample());

        // A link to a FIFO (as to a device) is an error, and the FIFO stays.
        const QString fifo = env.path("fifo");
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        for (const QString& name : {env.dat(), env.bak()}) {
            QFile::remove(name);
            QVERIFY(QFile::link(fifo, name));
        }
        env.cat.createMakerCategory();
        env.cat.setDataSaved(false);
        QString text = saveError(env.cat);
        QVERIFY2(text.contains("it is not a regular file"), qPrintable(text));
        QVERIFY(!env.cat.dataSaved());
        text = saveError(env.cat, true);
        QVERIFY2(text.contains("it is not a regular file"), qPrintable(text));
        QVERIFY(isFifo(fifo));
        QVERIFY(QFileInfo(env.dat()).isSymLink() && QFileInfo(env.bak()).isSymLink());
        QVERIFY(env.cat.makerCategory()); // a failed backup keeps the built-in category
    }

    void damagedCopiesNeverWriteThroughALink()
    {
        Env env;
        const QByteArray bad = catalogueLine("A", 0, {}, "1") + catalogueLine("B", 2, {}, "1");
        QVERIFY(writeFile(env.dat(), bad));
        const QString victim = env.path("victim");
        QVERIFY(writeFile(victim, "precious"));
        QVERIFY(QFile::link(victim, env.dat() + ".damaged"));                // a link to a file
        QVERIFY(QFile::link(env.path("nowhere"), env.dat() + ".damaged.1")); // a dangling one
        const QString text = loadError(env.cat);
        QVERIFY2(text.contains(env.dat() + ".damaged.2"), qPrintable(text));
        QCOMPARE(readFile(env.dat() + ".damaged.2"), bad);
        QCOMPARE(readFile(victim), QByteArray("precious"));
        QVERIFY(!QFileInfo::exists(env.path("nowhere")));
    }

    void startUpNeverHangs_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO") << "fifo";
        QTest::newRow("link to /dev/zero") << "zero";
        QTest::newRow("link to a FIFO") << "fifolink";
    }
    void startUpNeverHangs()
    {
        // Each of these used to block or fill the memory for ever.
        QFETCH(QString, kind);
        Env env;
        if (kind == "fifo") {
            QVERIFY(::mkfifo(QFile::encodeName(env.dat()).constData(), 0600) == 0);
        } else if (kind == "zero") {
            QVERIFY(QFile::link("/dev/zero", env.dat()));
        } else {
            QVERIFY(::mkfifo(QFile::encodeName(env.path("f")).constData(), 0600) == 0);
            QVERIFY(QFile::link(env.path("f"), env.dat()));
        }
        env.cat.setTopCategory(env.cat.addCategoryNode(nullptr, "No category"));
        const QString text = loadError(env.cat);
        QVERIFY2(text.contains("It is not a regular file."), qPrintable(text));
        QVERIFY(env.cat.catalogueFileProtected());
        QCOMPARE(names(env.cat), QStringList{"No category"});
        env.cat.saveData(false); // leaves it alone, says nothing more
        QVERIFY(!QFileInfo(env.dat()).isFile());
    }

    void failureOnTheReadingThreadReachesTheUser()
    {
        Env env;
        QVERIFY(writeFile(env.dat(), sample()));
        // The worker runs out of memory while reporting progress.
        QObject::connect(
            &env.cat, &Catalogue::loadProgress, &env.cat, [](int) { throw std::bad_alloc(); },
            Qt::DirectConnection);
        const QString text = loadError(env.cat);
        QVERIFY2(text.contains("Not enough memory to read file"), qPrintable(text));
        QVERIFY(!env.cat.loading());
        QVERIFY(!env.cat.nodes().updating());
        QVERIFY(env.cat.makerCategory());
        QCOMPARE(readFile(env.dat() + ".damaged"), sample()); // the whole file is kept
    }

    void hostileLines()
    {
        Env env;
        // A level field of a megabyte: the message quotes its start only.
        const QByteArray huge(1 << 20, 'x');
        QVERIFY(writeFile(env.dat(), catalogueLine("A", 0, {}, "1") + "B" + QByteArray(1, '\0') +
                                         huge +
                                         raw("\0\0\0"
                                             "1\0\r\n")));
        const QString text = loadError(env.cat);
        QVERIFY2(text.startsWith("'" + QString(80, u'x') + "...' is not a valid integer value"),
                 qPrintable(text.left(200)));
        QVERIFY(text.size() < 600);

        // One stray byte in a comment leaves the UTF-8 name beside it alone.
        Env env2;
        QVERIFY(writeFile(env2.dat(), raw("Caf\xc3\xa9 \xc3\x9c"
                                          "ber\0"
                                          "0\0\0"
                                          "5 \x80\0"
                                          "1\0\r\n")));
        QVERIFY(env2.cat.loadData(false));
        QCOMPARE(names(env2.cat), QStringList{QString::fromUtf8("Café Über")});
        QCOMPARE(env2.cat.topCategory()->data()->comments, QString::fromUtf8("5 €"));
        env2.cat.saveData(false);
        QCOMPARE(readFile(env2.dat()), raw("Caf\xc3\xa9 \xc3\x9c"
                                           "ber\0"
                                           "0\0\0"
                                           "5 \xe2\x82\xac\0"
                                           "1\0\r\n"));
    }

    void charactersTheFileCannotHoldNeverReachIt()
    {
        // U+001A ends the file for its readers and NUL separates fields: a
        // name holding one (a Linux file name may) is saved without it, so
        // the next load reads every line. A leading U+FEFF is text and stays.
        Env env;
        env.cat.setTopCategory(
            env.cat.addCategoryNode(nullptr, QString("Cut\x1a") + QChar(0) + "short"));
        TreeNode* after = env.cat.addCategoryNode(nullptr, "After");
        env.cat.fillCategoryNode(after, QString(2, QChar(0xFEFF)) + "After",
                                 QChar(0xFEFF) + QString("marked"), {});
        env.cat.saveData(false);
        Env again;
        QVERIFY(QFile::copy(env.dat(), again.dat()));
        QCOMPARE(loadError(again.cat), QString());
        QCOMPARE(names(again.cat), (QStringList{"Cutshort", QString(2, QChar(0xFEFF)) + "After"}));
        QCOMPARE(again.cat.nodes().rootItem(2)->data()->comments,
                 QChar(0xFEFF) + QString("marked"));

        // The same from the old tree file: what cannot be stored is dropped at
        // the import, so the entry does not change at its next load.
        Env legacy;
        QVERIFY(writeFile(legacy.cat.legacyFile(), raw("Web\0~https://example.org/\x1a~c\r\n")));
        legacy.cat.nodes().addChild(nullptr, "No category");
        legacy.cat.importLegacyData();
        TreeNode* web = legacy.cat.nodes().getFirstNode();
        QCOMPARE(web->text(), QString("Web"));
        QCOMPARE(web->data()->fullName, QString("https://example.org/"));
    }

    void longLineWithoutEndIsRefused()
    {
        // No line end for longer than any catalogue line can be: refused
        // without holding the whole file in memory.
        Env env;
        QFile f(env.dat());
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.resize(MaxCatalogueLineBytes + (1 << 20))); // sparse: costs no disk
        f.close();
        const QString text = loadError(env.cat);
        QVERIFY2(text.contains("is longer than 256 MB"), qPrintable(text));
    }
};

QTEST_MAIN(TestCatalogueFileSafety)
#include "tst_cataloguefilesafety.moc"
