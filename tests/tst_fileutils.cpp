#include "catalogue/Artwork.h"
#include "catalogue/Catalogue.h"
#include "catalogue/FileTypeIcons.h"
#include "components/FileOperationDialogs.h"
#include "components/MessageDialogs.h"
#include "utils/FileListing.h"
#include "utils/FileOperations.h"
#include "utils/HotKeyModifiers.h"
#include "utils/PathTests.h"
#include "utils/Trash.h"

#include <QApplication>
#include <QProgressDialog>
#include <QPushButton>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <semaphore>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "testutil/TestUtil.h"

using namespace FileUtils;

namespace
{

void writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    f.write(data);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Answers the file operations' questions as told and notes what was asked.
class TestUi : public FileOpUi
{
public:
    bool overwrite = false, createFolder = false, allowDelete = true;
    qint64 cancelAt = -1; // cancel once this much is done
    QStringList asked, errors;
    qint64 total = -1, lastDone = -1;
    int ticks = 0;
    bool monotonic = true;

    bool askOverwrite(const QString& target, bool) override
    {
        return asked << "overwrite " + target, overwrite;
    }
    bool askCreateFolder(const QString& folder) override
    {
        return asked << "create " + folder, createFolder;
    }
    bool confirmDelete(const QString& path, bool, bool) override
    {
        return asked << "delete " + path, allowDelete;
    }
    void error(const QString& text) override { errors << text; }
    void beginProgress(const QString&, qint64 totalUnits) override { total = totalUnits; }
    bool progress(qint64 done, const QString&) override
    {
        monotonic = monotonic && done >= lastDone;
        lastDone = done;
        ++ticks;
        return cancelAt < 0 || done < cancelAt;
    }
};

// Names as the file system holds them, bytes and all (not every name is UTF-8).
QByteArray rawPath(const QString& folder, const QByteArray& name)
{
    return QFile::encodeName(folder) + '/' + name;
}

bool writeRaw(const QByteArray& path, const QByteArray& data)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, data.constData(), size_t(data.size())) == data.size();
    return ::close(fd) == 0 && ok;
}

// Everything left to read from Fd, which is then closed.
QByteArray readAllAndClose(int fd)
{
    QByteArray data;
    char buf[4096];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;)
        data.append(buf, n);
    ::close(fd);
    return data;
}

QByteArray readRaw(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    return fd < 0 ? QByteArray("<unreadable>") : readAllAndClose(fd);
}

bool rawExists(const QByteArray& path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0;
}

QByteArray rawLinkTarget(const QByteArray& path)
{
    char buf[4096];
    const ssize_t n = ::readlink(path.constData(), buf, sizeof buf);
    return n < 0 ? QByteArray("<no link>") : QByteArray(buf, n);
}

QList<QByteArray> rawEntries(const QByteArray& folder)
{
    QList<QByteArray> names;
    if (DIR* dir = ::opendir(folder.constData())) {
        while (const dirent* e = ::readdir(dir))
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                names << QByteArray(e->d_name);
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Removes a tree whatever the bytes of its names (QDir cannot remove names
// that are not UTF-8).
void rawRemoveTree(const QByteArray& path)
{
    struct stat st;
    if (::lstat(path.constData(), &st) != 0)
        return;
    if (S_ISDIR(st.st_mode)) {
        ::chmod(path.constData(), 0700);
        for (const QByteArray& name : rawEntries(path))
            rawRemoveTree(path + '/' + name);
        ::rmdir(path.constData());
    } else {
        ::unlink(path.constData());
    }
}

bool isUtf8(const QByteArray& bytes)
{
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

// What a trash holds from Folder, read from its info files: the original
// name below Folder and the name in the trash. An info file that is not the
// three lines of the format is listed under "bad info".
QMultiMap<QByteArray, QByteArray> trashedFrom(const QByteArray& trash, const QByteArray& folder)
{
    QMultiMap<QByteArray, QByteArray> found;
    const QByteArray prefix = folder.isEmpty() || folder.endsWith('/') ? folder : folder + '/';
    for (const QByteArray& info : rawEntries(trash + "/info")) {
        const QList<QByteArray> lines = readRaw(trash + "/info/" + info).split('\n');
        if (lines.size() != 4 || lines[0] != "[Trash Info]" || !lines[1].startsWith("Path=") ||
            !lines[2].startsWith("DeletionDate=") || !lines[3].isEmpty() ||
            !info.endsWith(".trashinfo")) {
            found.insert("bad info", info);
            continue;
        }
        const QByteArray path = QByteArray::fromPercentEncoding(lines[1].mid(5));
        if (path.startsWith(prefix))
            found.insert(path.mid(prefix.size()), info.chopped(10));
    }
    return found;
}

QByteArray pattern(int bytes)
{
    QByteArray b(bytes, Qt::Uninitialized);
    for (int i = 0; i < bytes; ++i)
        b[i] = char(i * 7 + i / 4096);
    return b;
}

} // namespace

class TestFileUtils : public QObject
{
    Q_OBJECT

    QTemporaryDir m_data; // XDG_DATA_HOME: the test's own trash
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QTemporaryDir> m_other; // on another file system
    QString m_d;                            // m_dir's path

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_data.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_data.path() + "/share"));
        QIcon::setFallbackThemeName("Adwaita");
    }

    void cleanupTestCase() { rawRemoveTree(QFile::encodeName(m_data.path())); }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_d = m_dir->path();
        QDir::setCurrent(m_d);
        m_other = std::make_unique<QTemporaryDir>("/dev/shm/tst_fileutils-XXXXXX");
        MessageDialogs::setHandler(nullptr);
        setFileOpUi(nullptr);
    }

    void cleanup()
    {
        QDir::setCurrent(QDir::tempPath());
        if (m_other->isValid())
            rawRemoveTree(QFile::encodeName(m_other->path()));
        rawRemoveTree(QFile::encodeName(m_d));
        m_other.reset();
        m_dir.reset();
    }

    // ---- paths, files and addresses ----

    void addresses_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("url");
        QTest::addColumn<bool>("mail");
        QTest::addColumn<bool>("local");
        QTest::newRow("mail address") << "user@host.example" << false << true << false;
        QTest::newRow("mailto") << "mailto:user@host.example" << false << true << false;
        QTest::newRow("drive path with @") << "C:\\mail\\a@b.txt" << false << false << true;
        QTest::newRow("web address") << "https://www.host.example/page" << true << false << false;
        QTest::newRow("web address with user")
            << "https://user@host.example/" << true << false << false;
        QTest::newRow("local path with @") << "/home/u/a@b.txt" << true << false << true;
        QTest::newRow("plain word") << "notes" << false << false << false;
    }
    void addresses()
    {
        QFETCH(QString, text);
        QFETCH(bool, url);
        QFETCH(bool, mail);
        QFETCH(bool, local);
        QCOMPARE(isUrl(text), url);
        QCOMPARE(isEMail(text), mail);
        QCOMPARE(isLocalPath(text), local);
    }

    void pathTests()
    {
        QCOMPARE(withTrailingSlash("/a/b"), QString("/a/b/"));
        QCOMPARE(withTrailingSlash("/a/b/"), QString("/a/b/"));
        QCOMPARE(withTrailingSlash("/"), QString("/"));
        QVERIFY(isDotEntry(".") && isDotEntry(".."));
        QVERIFY(!isDotEntry("...") && !isDotEntry(".hidden") && !isDotEntry(""));

        writeFile(m_d + "/f.txt", "abc");
        QVERIFY(QFile::link(m_d + "/sub", m_d + "/sublink"));
        QDir().mkdir(m_d + "/sub");
        QVERIFY(isDirectory(m_d + "/sub") && isDirectory(m_d + "/sublink"));
        QVERIFY(!isDirectory(m_d + "/f.txt") && !isDirectory(m_d + "/missing") && !isDirectory(""));
        QVERIFY(fileExists(m_d + "/f.txt") && !fileExists(m_d + "/sub") &&
                !fileExists(m_d + "/missing"));
    }

    void pathsWithNul()
    {
        // No file name holds a NUL; the system would read such a path only up
        // to the NUL and so name another file: the parent folder here.
        writeFile(m_d + "/keep/f.txt", "x");
        const QString path = m_d + "/keep" + QChar(u'\0') + "/f.txt";
        QVERIFY(!probePath(path).exists);
        QVERIFY(!isDirectory(path) && !fileExists(path));
        TestUi ui;
        ui.allowDelete = true;
        QVERIFY(!deletePath(ui, path, false));
        QVERIFY(QFileInfo::exists(m_d + "/keep/f.txt"));
    }

    void fileContents()
    {
        writeFile(m_d + "/three", "abc");
        writeFile(m_d + "/empty", "");
        writeFile(m_d + "/linebreak", "\n");
        writeFile(m_d + "/bom", "\xEF\xBB\xBF");
        writeFile(m_d + "/bomtext", "\xEF\xBB\xBFx");
        QCOMPARE(fileSizeOf(m_d + "/three"), 3);
        QVERIFY(isEmptyTextFile(m_d + "/empty"));
        QVERIFY(isEmptyTextFile(m_d + "/bom"));
        QVERIFY(!isEmptyTextFile(m_d + "/linebreak"));
        QVERIFY(!isEmptyTextFile(m_d + "/bomtext"));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, fileSizeOf(m_d + "/missing"));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, isEmptyTextFile(m_d + "/missing"));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, fileSizeOf(m_d));
        // A pipe is refused at once; opening it would wait for a writer.
        QCOMPARE(::mkfifo(QFile::encodeName(m_d + "/pipe").constData(), 0600), 0);
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, isEmptyTextFile(m_d + "/pipe"));
        QCOMPARE(probePath(m_d + "/pipe").mimeName, QString("inode/fifo"));
    }

    void modifierKeys()
    {
        const int expected[8] = {0, 4, 1, 5, 2, 6, 3, 7};
        for (int shift = 0; shift < 8; ++shift)
            QCOMPARE(shiftToHotKeyModifiers(shift), expected[shift]);
        QCOMPARE(shiftToHotKeyModifiers(8), 0);
        QCOMPARE(shiftToHotKeyModifiers(6 | 16), 0);
        QCOMPARE(shiftStateOf(Qt::ControlModifier | Qt::AltModifier), 6);
        QCOMPARE(shiftStateOf(Qt::ShiftModifier | Qt::MetaModifier), 1);
        // X11: ShiftMask 1, ControlMask 4, Mod1Mask 8.
        QCOMPARE(hotKeyModifiersToX11(shiftToHotKeyModifiers(6)), 12u);
        QCOMPARE(hotKeyModifiersToX11(hkShift), 1u);
        for (int flags = 0; flags < 8; ++flags)
            QCOMPARE(x11ToHotKeyModifiers(hotKeyModifiersToX11(flags)), flags);
        QCOMPARE(x11ToHotKeyModifiers(2 | 16 | 64), 0); // Lock, NumLock, Super
    }

    void waitProcessesNoEvents()
    {
        bool fired = false;
        QTimer::singleShot(0, this, [&] { fired = true; });
        QElapsedTimer clock;
        clock.start();
        waitMilliseconds(30);
        QVERIFY(clock.elapsed() >= 30);
        QVERIFY(!fired);
        QCoreApplication::processEvents();
        QVERIFY(fired);
    }

    // ---- ListFiles ----

    void listFilesOrderAndHiddenRules()
    {
        for (const char* f :
             {"b.txt", "A.TXT", ".hidden.txt", "notes.pdf", "sub1/c.txt", "sub1/.hid/x.txt",
              "sub1/deeper/e.txt", "sub0/d.pdf", ".hiddendir/e.txt", "Sub2/F.Txt"})
            writeFile(m_d + "/top/" + f, "x");
        const QString top = m_d + "/top";
        QStringList list;
        listFiles(top, "*.txt", list);
        const QString t = top + "/";
        QCOMPARE(list, QStringList({t + ".hidden.txt", t + "A.TXT", t + "b.txt", t + "sub1/c.txt",
                                    t + "sub1/deeper/e.txt", t + "Sub2/F.Txt"}));

        list.clear();
        listFiles(top + "/", "*.*", list);
        QCOMPARE(list.size(), 8);
        QCOMPARE(list.first(), t + ".hidden.txt");
        QVERIFY(list.contains(t + "sub0/d.pdf"));
        QVERIFY(list.indexOf(t + "notes.pdf") < list.indexOf(t + "sub0/d.pdf"));

        list.clear();
        listFiles(top, "?.pdf", list);
        QCOMPARE(list, QStringList(t + "sub0/d.pdf"));

        // A caller's list is appended to, and gets no "not found" line.
        list = QStringList{"earlier"};
        listFiles(top, "*.none", list);
        QCOMPARE(list, QStringList{"earlier"});

        QDir().mkdir(m_d + "/empty");
        for (const QString& folder : {m_d + "/empty", m_d + "/missing", QString()}) {
            list.clear();
            listFiles(folder, "*.*", list);
            QCOMPARE(list, QStringList{"Files not found"});
        }
        QVERIFY(matchesMask("Report.PDF", "*.pdf") && matchesMask("a.b.c", "*.c") &&
                matchesMask("abc", "a*c"));
        QVERIFY(!matchesMask("abcd", "a*c") && !matchesMask("ab", "???"));
    }

    void listFilesLinks()
    {
        writeFile(m_d + "/top/a.txt", "x");
        writeFile(m_d + "/top/sub/b.txt", "x");
        writeFile(m_d + "/outside/c.txt", "x");
        QVERIFY(QFile::link(m_d + "/top", m_d + "/top/sub/loop"));  // a loop back to the top
        QVERIFY(QFile::link(m_d + "/outside", m_d + "/top/zlink")); // a link to another folder
        QVERIFY(QFile::link(m_d + "/top/a.txt", m_d + "/top/filelink.txt")); // a link to a file
        QVERIFY(QFile::link(m_d + "/nowhere", m_d + "/top/dangling.txt"));
        QStringList list;
        listFiles(m_d + "/top", "*.txt", list);
        const QString t = m_d + "/top/";
        QCOMPARE(list, QStringList(
                           {t + "a.txt", t + "filelink.txt", t + "sub/b.txt", t + "zlink/c.txt"}));
    }

    void listFilesUnreadableFolder()
    {
        // Root reads every folder, so the walk runs in a child process as an
        // unprivileged user.
        for (const char* f : {"a.txt", "closed/b.txt", "open/c.txt"})
            writeFile(m_d + "/top/" + f, "x");
        for (const QString& p : {m_d, m_d + "/top", m_d + "/top/open"})
            QFile::setPermissions(p, QFile::Permissions(0x7755));
        QVERIFY(QFile::setPermissions(m_d + "/top/closed", {}));
        int fds[2];
        QCOMPARE(::pipe(fds), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(fds[0]);
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                ::_exit(2);
            QStringList list;
            listFiles(m_d + "/top", "*.txt", list);
            const QByteArray out = list.join('\n').toUtf8();
            const bool ok = ::write(fds[1], out.constData(), size_t(out.size())) == out.size();
            ::_exit(ok ? 0 : 3);
        }
        ::close(fds[1]);
        const QByteArray out = readAllAndClose(fds[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        QFile::setPermissions(m_d + "/top/closed", QFile::Permissions(0x7700));
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        QCOMPARE(QString::fromUtf8(out), m_d + "/top/a.txt\n" + m_d + "/top/open/c.txt");
    }

    // ---- types and icons ----

    void typesAndIcons()
    {
        QMimeDatabase db;
        writeFile(m_d + "/notes.txt", "some text");
        writeFile(m_d + "/other.txt", "more text");
        QVERIFY(QFile::link(m_d + "/notes.txt", m_d + "/shortcut"));
        QDir().mkdir(m_d + "/folder");

        QString type;
        const QIcon folder = fileTypeIcon(m_d + "/folder", false, &type);
        QCOMPARE(type, db.mimeTypeForName("inode/directory").comment());
        QVERIFY(!folder.isNull());

        const QIcon text = fileTypeIcon(m_d + "/notes.txt", true, &type);
        QCOMPARE(type, db.mimeTypeForName("text/plain").comment());
        const QImage textImage = text.pixmap(32, 32).toImage();
        QCOMPARE(textImage.size(), QSize(32, 32));
        // From the icon theme, not the program's own blank page.
        QVERIFY(textImage.convertToFormat(QImage::Format_ARGB32) !=
                Artwork::fixedImage(imgBlankPage, 32).convertToFormat(QImage::Format_ARGB32));
        QCOMPARE(fileTypeIcon(m_d + "/notes.txt", false).pixmap(16, 16).size(), QSize(16, 16));
        // One icon serves every file of a type.
        QCOMPARE(fileTypeIcon(m_d + "/other.txt", true).cacheKey(), text.cacheKey());

        // A link shows its target's icon with the link emblem and its type.
        const QIcon link = fileTypeIcon(m_d + "/shortcut", true, &type);
        QCOMPARE(type, db.mimeTypeForName("text/plain").comment());
        QCOMPARE(link.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32),
                 Artwork::overlay(textImage, Artwork::emblemSymlink(16))
                     .convertToFormat(QImage::Format_ARGB32));

        type = "stale";
        QVERIFY(fileTypeIcon(m_d + "/missing.txt", false, &type).isNull());
        QVERIFY(type.isEmpty());
        QVERIFY(QFile::link(m_d + "/nowhere", m_d + "/dangling"));
        QVERIFY(fileTypeIcon(m_d + "/dangling", false).isNull());
    }

    void typeDetection()
    {
        writeFile(m_d + "/b.gz", "x");
        writeFile(m_d + "/a.tar.gz", "x");
        writeFile(m_d + "/p.c", "x");
        writeFile(m_d + "/p.C", "x");
        writeFile(m_d + "/noname", "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
        writeFile(m_d + "/Report.2024.PDF", "not really");
        QCOMPARE(probePath(m_d + "/b.gz").mimeName, QString("application/gzip"));
        QCOMPARE(probePath(m_d + "/a.tar.gz").mimeName, QString("application/x-compressed-tar"));
        QCOMPARE(probePath(m_d + "/p.c").mimeName, QString("text/x-csrc"));
        QCOMPARE(probePath(m_d + "/p.C").mimeName, QString("text/x-c++src"));
        QCOMPARE(probePath(m_d + "/noname").mimeName, QString("application/pdf")); // by content
        QCOMPARE(probePath(m_d + "/Report.2024.PDF").mimeName,
                 QString("application/pdf")); // by name only
        const PathFacts folder = probePath(m_d);
        QVERIFY(folder.exists && folder.isDir && !folder.isSymLink);
        QVERIFY(!probePath(m_d + "/missing").exists);
    }

    // Entries of one type share one index in both lists; its icons are made
    // when first asked for.
    void imageListsStayInStep()
    {
        Catalogue cat;
        for (int i = 0; i < 40; ++i)
            writeFile(QString("%1/doc%2.%3").arg(m_d).arg(i).arg(i % 2 ? "txt" : "png"), "x");
        const int before = cat.images().small.count();
        QCOMPARE(cat.images().large.count(), before);
        for (int round = 0; round < 50; ++round)
            for (int i = 0; i < 40; ++i) {
                const int index = cat.addFileTypeIcon(
                    QString("%1/doc%2.%3").arg(m_d).arg(i).arg(i % 2 ? "txt" : "png"));
                QCOMPARE(index, before + (round == 0 && i == 0 ? 0 : i % 2 ? 1 : 0));
            }
        QCOMPARE(cat.images().small.count(), before + 2);
        QCOMPARE(cat.images().large.count(), before + 2);
        QVERIFY(!cat.images().small.icon(before).isNull());
        QCOMPARE(cat.images().small.icon(before).cacheKey(),
                 cat.images().small.icon(before).cacheKey());
        QVERIFY(cat.images().small.icon(before).cacheKey() !=
                cat.images().small.icon(before + 1).cacheKey());
        QCOMPARE(cat.images().large.icon(before + 1).pixmap(32, 32).toImage(),
                 fileTypeIcon(m_d + "/doc1.txt", true).pixmap(32, 32).toImage());
        QCOMPARE(cat.addFileTypeIcon(m_d + "/missing"), int(imgMissing));
        QCOMPARE(cat.images().small.count(), before + 2);
    }

    // ---- delete ----

    void trash()
    {
        const QString trash = homeTrashFolder();
        QVERIFY(trash.startsWith(m_data.path()));
        QVERIFY(!QFileInfo::exists(trash)); // made on first use
        writeFile(m_d + "/doc one.txt", "keep me");
        writeFile(m_d + "/50%20off.txt", "x");
        writeFile(m_d + "/folder/inner.txt", "x");
        TestUi ui;
        QVERIFY(deletePath(ui, m_d + "/doc one.txt", true));
        QCOMPARE(ui.asked, QStringList("delete " + m_d + "/doc one.txt"));
        ui.asked.clear();
        QVERIFY(!QFileInfo::exists(m_d + "/doc one.txt"));
        QCOMPARE(readFile(trash + "/files/doc one.txt"), QByteArray("keep me"));
        const QByteArray info = readFile(trash + "/info/doc one.txt.trashinfo");
        QVERIFY2(info.startsWith("[Trash Info]\n"), info.constData());
        QVERIFY2(
            info.contains("\nPath=" + QUrl::toPercentEncoding(m_d + "/doc one.txt", "/") + "\n"),
            info.constData());
        QVERIFY(info.contains("\nDeletionDate=" +
                              QDate::currentDate().toString(Qt::ISODate).toLatin1()));
        QVERIFY(!QFileInfo::exists(m_d + "/files")); // nothing dropped into the current folder
        // The original path is kept escaped, so it is restored under its own name.
        QVERIFY(deletePath(ui, m_d + "/50%20off.txt", true));
        const QByteArray info2 = readFile(trash + "/info/50%20off.txt.trashinfo");
        QVERIFY2(
            info2.contains("\nPath=" + QUrl::toPercentEncoding(m_d, "/") + "/50%2520off.txt\n"),
            info2.constData());

        QVERIFY(deletePath(ui, m_d + "/folder", true));
        QVERIFY(QFileInfo::exists(trash + "/files/folder/inner.txt"));

        writeFile(m_d + "/stays.txt", "x");
        ui.allowDelete = false;
        QVERIFY(!deletePath(ui, m_d + "/stays.txt", true));
        QVERIFY(QFileInfo::exists(m_d + "/stays.txt"));
        QVERIFY(ui.errors.isEmpty());
        ui.allowDelete = true;
        QVERIFY(!deletePath(ui, m_d + "/missing.txt", true));
        QCOMPARE(ui.errors.size(), 1);
    }

    void deleteForGood()
    {
        writeFile(m_d + "/tree/a/b.txt", "x");
        writeFile(m_d + "/tree/c.txt", "x");
        writeFile(m_d + "/outside/keep.txt", "x");
        QVERIFY(QFile::link(m_d + "/outside", m_d + "/tree/link"));
        TestUi ui;
        QVERIFY(deletePath(ui, m_d + "/tree", false));
        QVERIFY(!QFileInfo::exists(m_d + "/tree"));
        QVERIFY(QFileInfo::exists(m_d + "/outside/keep.txt")); // the link went, not its target
        QCOMPARE(ui.total, 5);                                 // tree, a, b.txt, c.txt, link
        QVERIFY(!QFileInfo::exists(homeTrashFolder() + "/files/tree"));

        // Without a dialog object every question is refused.
        writeFile(m_d + "/quiet.txt", "x");
        QVERIFY(!deletePath(m_d + "/quiet.txt", false));
        QVERIFY(QFileInfo::exists(m_d + "/quiet.txt"));
    }

    void trashLongNames()
    {
        // The info file is named after the item plus ".trashinfo", so names
        // from 246 bytes on need a shorter name in the trash.
        const QByteArray e = "\xC3\xA9"; // two bytes in UTF-8
        const QList<QByteArray> names{QByteArray(246, 'a') + ".txt", QByteArray(251, 'b') + ".txt",
                                      QByteArray(255, 'c'), e.repeated(125) + ".txt"};
        TestUi ui;
        for (const QByteArray& name : names)
            for (int round = 0; round < 2; ++round) { // the second one takes another name
                QVERIFY(writeRaw(rawPath(m_d, name), QByteArray::number(round)));
                QVERIFY2(deletePath(ui, QFile::decodeName(rawPath(m_d, name)), true),
                         qPrintable(lastFileOpError()));
                QVERIFY(!rawExists(rawPath(m_d, name)));
            }
        QCOMPARE(ui.errors, QStringList());
        const QByteArray trash = QFile::encodeName(homeTrashFolder());
        const auto trashed = trashedFrom(trash, QFile::encodeName(m_d));
        QCOMPARE(trashed.uniqueKeys(), QList<QByteArray>({names[0], names[1], names[2], names[3]}));
        QSet<QByteArray> contents;
        for (auto it = trashed.cbegin(); it != trashed.cend(); ++it) {
            QVERIFY2(it.value().size() + 10 <= 255, it.value().constData());
            QVERIFY2(isUtf8(it.value()), it.value().constData()); // cut between characters
            QCOMPARE(it.value().endsWith(".txt"), it.key().endsWith(".txt"));
            QVERIFY(it.value().startsWith(it.key().left(200)));
            contents << it.key() + readRaw(trash + "/files/" + it.value());
        }
        QCOMPARE(contents.size(), 8); // both rounds of every name, none overwritten
    }

    void trashAwkwardNames()
    {
        writeFile(m_d + "/two\nlines.txt", "n");
        writeFile(m_d + "/target.txt", "t");
        QVERIFY(QFile::link(m_d + "/target.txt", m_d + "/link"));
        QVERIFY(QFile::link(m_d + "/nowhere", m_d + "/dangling"));
        QVERIFY(QFile::link(m_d + "/loop", m_d + "/loop"));
        QVERIFY(writeRaw(rawPath(m_d, "latin\xFF.txt"), "l")); // not UTF-8
        QCOMPARE(::mkdir(rawPath(m_d, "dir\xE9").constData(), 0755), 0);
        QVERIFY(writeRaw(rawPath(m_d, "dir\xE9/\xFE"), "inner"));
        const QList<QByteArray> names{"dangling", "dir\xE9", "latin\xFF.txt",
                                      "link",     "loop",    "two\nlines.txt"};
        TestUi ui;
        for (const QByteArray& name : names)
            QVERIFY2(deletePath(ui, QFile::decodeName(rawPath(m_d, name)), true),
                     qPrintable(lastFileOpError()));
        QCOMPARE(ui.errors, QStringList());
        QCOMPARE(ui.asked.size(), names.size());
        QCOMPARE(rawEntries(QFile::encodeName(m_d)), QList<QByteArray>{"target.txt"});

        // Every original path is in its info file, bytes and all.
        const QByteArray trash = QFile::encodeName(homeTrashFolder());
        const auto trashed = trashedFrom(trash, QFile::encodeName(m_d));
        QCOMPARE(trashed.keys(), names);
        const QByteArray files = trash + "/files/";
        const auto infoOf = [&](const QByteArray& name) {
            return readRaw(trash + "/info/" + trashed.value(name) + ".trashinfo");
        };
        QVERIFY(infoOf("two\nlines.txt").contains("two%0Alines.txt\n"));
        QVERIFY(infoOf("latin\xFF.txt").contains("latin%FF.txt\n"));
        QCOMPARE(readRaw(files + trashed.value("dir\xE9") + "/\xFE"), QByteArray("inner"));
        // Links go themselves, never their targets.
        QCOMPARE(rawLinkTarget(files + trashed.value("link")),
                 QFile::encodeName(m_d + "/target.txt"));
        QCOMPARE(rawLinkTarget(files + trashed.value("dangling")),
                 QFile::encodeName(m_d + "/nowhere"));
        QCOMPARE(rawLinkTarget(files + trashed.value("loop")), QFile::encodeName(m_d + "/loop"));
        QCOMPARE(readFile(m_d + "/target.txt"), QByteArray("t"));
    }

    // ---- copy and move ----

    void copyAndMoveFiles()
    {
        writeFile(m_d + "/src/a.txt", "alpha");
        QDir().mkdir(m_d + "/dst");
        {
            QFile f(m_d + "/src/a.txt");
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.setFileTime(QDateTime(QDate(2020, 5, 6), QTime(7, 8, 9)),
                                  QFileDevice::FileModificationTime));
        }
        TestUi ui;
        // An existing folder receives the item under its own name.
        QVERIFY(copyOrMove(ui, m_d + "/src/a.txt", m_d + "/dst", false, false));
        QCOMPARE(readFile(m_d + "/dst/a.txt"), QByteArray("alpha"));
        QCOMPARE(QFileInfo(m_d + "/dst/a.txt").lastModified(),
                 QDateTime(QDate(2020, 5, 6), QTime(7, 8, 9)));
        QVERIFY(QFileInfo::exists(m_d + "/src/a.txt"));
        // Any other destination is the new full path.
        QVERIFY(copyOrMove(ui, m_d + "/src/a.txt", m_d + "/dst/renamed.txt", false, false));
        QCOMPARE(readFile(m_d + "/dst/renamed.txt"), QByteArray("alpha"));
        // A move within one file system keeps the file itself.
        const auto inode =
            QFileInfo(m_d + "/src/a.txt").fileTime(QFileDevice::FileModificationTime);
        struct stat before, after;
        ::stat(QFile::encodeName(m_d + "/src/a.txt").constData(), &before);
        QVERIFY(copyOrMove(ui, m_d + "/src/a.txt", m_d + "/dst/moved.txt", false, true));
        ::stat(QFile::encodeName(m_d + "/dst/moved.txt").constData(), &after);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(QFileInfo(m_d + "/dst/moved.txt").lastModified(), inode);
        QVERIFY(!QFileInfo::exists(m_d + "/src/a.txt"));
        QVERIFY(ui.asked.isEmpty() && ui.errors.isEmpty());
        QCOMPARE(entries(m_d + "/dst"), QStringList({"a.txt", "moved.txt", "renamed.txt"}));
    }

    void copyAndMoveFoldersAcrossFileSystems()
    {
        if (!m_other->isValid()) {
            TestUtil::notTested("moves across file systems: there is no /dev/shm here");
            QSKIP("no /dev/shm");
        }
        writeFile(m_d + "/tree/a.txt", "alpha");
        writeFile(m_d + "/tree/sub/b.bin", pattern(300000));
        writeFile(m_d + "/tree/.hidden", "h");
        QVERIFY(QFile::link("sub/b.bin", m_d + "/tree/rel-link"));
        QFile::setPermissions(m_d + "/tree/a.txt",
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString o = m_other->path();
        // A folder without write permission keeps its mode and time in the copy.
        const QDateTime stamp(QDate(2019, 1, 2), QTime(3, 4, 5));
        const QByteArray sub = QFile::encodeName(m_d + "/tree/sub");
        const struct timespec times[2] = {{stamp.toSecsSinceEpoch(), 0},
                                          {stamp.toSecsSinceEpoch(), 0}};
        QCOMPARE(::utimensat(AT_FDCWD, sub.constData(), times, 0), 0);
        QCOMPARE(::chmod(sub.constData(), 0555), 0);
        TestUi ui;
        QVERIFY(copyOrMove(ui, m_d + "/tree", o, false, false));
        QCOMPARE(QFileInfo(o + "/tree/sub").lastModified(), stamp);
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(o + "/tree/sub").constData(), &st), 0);
        QCOMPARE(st.st_mode & 07777, 0555u);
        ::chmod(QFile::encodeName(o + "/tree/sub").constData(), 0755);
        ::chmod(sub.constData(), 0755);
        QCOMPARE(readFile(o + "/tree/sub/b.bin"), pattern(300000));
        QCOMPARE(readFile(o + "/tree/.hidden"), QByteArray("h"));
        QCOMPARE(QFileInfo(o + "/tree/rel-link").symLinkTarget(), o + "/tree/sub/b.bin");
        QVERIFY(QFileInfo(o + "/tree/a.txt").permissions() & QFile::ExeOwner);
        QCOMPARE(ui.total, 300000 + 5 + 1);
        QVERIFY(ui.monotonic && ui.lastDone == ui.total);
        QCOMPARE(entries(o), QStringList{"tree"}); // no working copy left beside it

        QVERIFY(copyOrMove(ui, m_d + "/tree", o + "/moved", false, true));
        QVERIFY(!QFileInfo::exists(m_d + "/tree"));
        QCOMPARE(readFile(o + "/moved/sub/b.bin"), pattern(300000));
        QVERIFY(QFileInfo(o + "/moved/rel-link").isSymLink());
        // And back, as a single file.
        QVERIFY(copyOrMove(ui, o + "/moved/a.txt", m_d, false, true));
        QCOMPARE(readFile(m_d + "/a.txt"), QByteArray("alpha"));
        QVERIFY(!QFileInfo::exists(o + "/moved/a.txt"));
        QVERIFY(ui.errors.isEmpty());
    }

    void collisions()
    {
        writeFile(m_d + "/a.txt", "new");
        writeFile(m_d + "/dst/a.txt", "old");
        TestUi ui;
        QVERIFY(!copyOrMove(ui, m_d + "/a.txt", m_d + "/dst", false, false)); // refused
        QCOMPARE(ui.asked, QStringList("overwrite " + m_d + "/dst/a.txt"));
        QCOMPARE(readFile(m_d + "/dst/a.txt"), QByteArray("old"));
        QVERIFY(ui.errors.isEmpty());
        ui.overwrite = true;
        QVERIFY(copyOrMove(ui, m_d + "/a.txt", m_d + "/dst", false, false));
        QCOMPARE(readFile(m_d + "/dst/a.txt"), QByteArray("new"));

        // Rename on collision asks nothing and finds the next free name.
        ui.asked.clear();
        QVERIFY(copyOrMove(ui, m_d + "/a.txt", m_d + "/dst", true, false));
        QVERIFY(copyOrMove(ui, m_d + "/a.txt", m_d + "/dst", true, false));
        QCOMPARE(entries(m_d + "/dst"), QStringList({"a (2).txt", "a (3).txt", "a.txt"}));
        QVERIFY(copyOrMove(ui, m_d + "/a.txt", m_d, true, false)); // onto itself
        QCOMPARE(readFile(m_d + "/a (2).txt"), QByteArray("new"));
        writeFile(m_d + "/.profile", "x");
        QVERIFY(copyOrMove(ui, m_d + "/.profile", m_d, true, false));
        QVERIFY(QFileInfo::exists(m_d + "/.profile (2)"));
        QVERIFY(copyOrMove(ui, m_d + "/dst", m_d, true, false));
        QVERIFY(QFileInfo::exists(m_d + "/dst (2)/a (3).txt"));
        QVERIFY(ui.asked.isEmpty());

        // Onto itself without renaming: an error for a copy, nothing to do for a move.
        QVERIFY(!copyOrMove(ui, m_d + "/a.txt", m_d + "/a.txt", false, false));
        QCOMPARE(ui.errors.size(), 1);
        QVERIFY(copyOrMove(ui, m_d + "/a.txt", m_d, false, true));
        QCOMPARE(readFile(m_d + "/a.txt"), QByteArray("new"));
    }

    void renameOnCollisionLongNames()
    {
        // A longest name gets shorter to make room for the number.
        const QByteArray e = "\xC3\xA9";
        const QByteArray file = QByteArray(251, 'f') + ".txt", folder = QByteArray(255, 'g'),
                         accents = e.repeated(125) + ".txt";
        QVERIFY(writeRaw(rawPath(m_d, file), "long"));
        QVERIFY(writeRaw(rawPath(m_d, accents), "accents"));
        QCOMPARE(::mkdir(rawPath(m_d, folder).constData(), 0755), 0);
        QVERIFY(writeRaw(rawPath(m_d, folder + "/inner.txt"), "inner"));
        TestUi ui;
        for (int round = 0; round < 2; ++round)
            for (const QByteArray& name : {file, folder, accents})
                QVERIFY2(copyOrMove(ui, QFile::decodeName(rawPath(m_d, name)), m_d, true, false),
                         qPrintable(lastFileOpError()));
        QCOMPARE(ui.errors, QStringList());
        const QByteArray f = QByteArray(247, 'f'), g = QByteArray(251, 'g'), a = e.repeated(123);
        QList<QByteArray> expected{file,           folder,         accents,
                                   f + " (2).txt", f + " (3).txt", g + " (2)",
                                   g + " (3)",     a + " (2).txt", a + " (3).txt"};
        std::sort(expected.begin(), expected.end());
        QCOMPARE(rawEntries(QFile::encodeName(m_d)), expected);
        QCOMPARE(readRaw(rawPath(m_d, f + " (3).txt")), QByteArray("long"));
        QCOMPARE(readRaw(rawPath(m_d, g + " (3)/inner.txt")), QByteArray("inner"));
        QCOMPARE(readRaw(rawPath(m_d, a + " (2).txt")), QByteArray("accents"));
    }

    void folderOntoFolder()
    {
        writeFile(m_d + "/src/proj/x.txt", "new x");
        writeFile(m_d + "/src/proj/sub/y.txt", "new y");
        writeFile(m_d + "/dst/proj/x.txt", "old x");
        writeFile(m_d + "/dst/proj/keep.txt", "keep");
        writeFile(m_d + "/dst/proj/sub/z.txt", "z");
        TestUi ui;
        ui.overwrite = true;
        QVERIFY(copyOrMove(ui, m_d + "/src/proj", m_d + "/dst", false, false));
        QCOMPARE(readFile(m_d + "/dst/proj/x.txt"), QByteArray("new x"));
        QCOMPARE(readFile(m_d + "/dst/proj/sub/y.txt"), QByteArray("new y"));
        QCOMPARE(readFile(m_d + "/dst/proj/keep.txt"), QByteArray("keep"));
        QCOMPARE(readFile(m_d + "/dst/proj/sub/z.txt"), QByteArray("z"));
        QCOMPARE(entries(m_d + "/dst"), QStringList{"proj"});

        // Merging by a move within the file system.
        writeFile(m_d + "/src/proj/x.txt", "newer x");
        QVERIFY(copyOrMove(ui, m_d + "/src/proj", m_d + "/dst", false, true));
        QCOMPARE(readFile(m_d + "/dst/proj/x.txt"), QByteArray("newer x"));
        QCOMPARE(readFile(m_d + "/dst/proj/keep.txt"), QByteArray("keep"));
        QVERIFY(!QFileInfo::exists(m_d + "/src/proj"));

        // A folder and a file of one name: refused before anything moves.
        writeFile(m_d + "/src2/proj/keep.txt/inner", "i");
        writeFile(m_d + "/src2/proj/x.txt", "never");
        QVERIFY(!copyOrMove(ui, m_d + "/src2/proj", m_d + "/dst", false, false));
        QCOMPARE(ui.errors.size(), 1);
        QCOMPARE(readFile(m_d + "/dst/proj/x.txt"), QByteArray("newer x"));
        writeFile(m_d + "/file", "f");
        QVERIFY(!copyOrMove(ui, m_d + "/src2/proj", m_d + "/file", false, false));
        QCOMPARE(readFile(m_d + "/file"), QByteArray("f"));

        // Into itself.
        QVERIFY(!copyOrMove(ui, m_d + "/dst", m_d + "/dst/proj", false, false));
        QVERIFY(!copyOrMove(ui, m_d + "/dst", m_d + "/dst/proj/new", false, true));
        ui.createFolder = true;
        QVERIFY(!copyOrMove(ui, m_d + "/dst", m_d + "/dst/proj/new/deeper/", false, false));
        QVERIFY(!QFileInfo::exists(m_d + "/dst/proj/new"));
        QVERIFY(QFile::link(m_d + "/dst/proj", m_d + "/projlink"));
        QVERIFY(!copyOrMove(ui, m_d + "/dst", m_d + "/projlink", false, false));
        QCOMPARE(ui.errors.size(), 6);
        QCOMPARE(ui.asked.filter("create").size(), 0);
        QVERIFY(QFileInfo::exists(m_d + "/dst/proj/keep.txt"));
        QVERIFY(!QFileInfo::exists(m_d + "/dst/proj/dst"));
    }

    void missingDestinationFolder()
    {
        writeFile(m_d + "/a.txt", "a");
        TestUi ui;
        QVERIFY(!copyOrMove(ui, m_d + "/a.txt", m_d + "/new/deeper/a.txt", false, false));
        QCOMPARE(ui.asked, QStringList("create " + m_d + "/new/deeper"));
        QVERIFY(!QFileInfo::exists(m_d + "/new"));
        ui.createFolder = true;
        QVERIFY(copyOrMove(ui, m_d + "/a.txt", m_d + "/new/deeper/b.txt", false, false));
        QCOMPARE(readFile(m_d + "/new/deeper/b.txt"), QByteArray("a"));
        // A destination written as a folder receives the item.
        QVERIFY(copyOrMove(ui, m_d + "/a.txt", m_d + "/other/", false, true));
        QCOMPARE(readFile(m_d + "/other/a.txt"), QByteArray("a"));
        QVERIFY(ui.errors.isEmpty());
    }

    void destinationCannotBeWritten()
    {
        writeFile(m_d + "/a.txt", "a");
        writeFile(m_d + "/plainfile", "p");
        TestUi ui;
        ui.createFolder = true;
        QVERIFY(!copyOrMove(ui, m_d + "/a.txt", "/proc/quillmere-test.txt", false, false));
        QVERIFY(!copyOrMove(ui, m_d + "/a.txt", "/proc/quillmere-test.txt", false, true));
        QVERIFY(!copyOrMove(ui, m_d + "/a.txt", m_d + "/plainfile/a.txt", false,
                            false)); // a file as the folder
        QVERIFY(!copyOrMove(ui, m_d + "/a.txt", m_d + "/plainfile/x/a.txt", false, false));
        QCOMPARE(ui.errors.size(), 4);
        QVERIFY(QFileInfo::exists(m_d + "/a.txt"));
        QCOMPARE(lastFileOpError(), ui.errors.last());
        QVERIFY(!copyOrMove(ui, m_d + "/missing.txt", m_d + "/b.txt", false, false));
        QCOMPARE(ui.errors.size(), 5);
    }

    void cancelLeavesNothingBehind_data()
    {
        QTest::addColumn<bool>("move");
        QTest::addColumn<bool>("acrossFileSystems");
        QTest::newRow("copy") << false << false;
        QTest::newRow("copy to another file system") << false << true;
        QTest::newRow("move to another file system") << true << true;
    }
    void cancelLeavesNothingBehind()
    {
        QFETCH(bool, move);
        QFETCH(bool, acrossFileSystems);
        if (acrossFileSystems && !m_other->isValid()) {
            TestUtil::notTested("copies and moves across file systems: there is no /dev/shm here");
            QSKIP("no /dev/shm");
        }
        const QByteArray big = pattern(6 << 20);
        writeFile(m_d + "/big/one.bin", big);
        writeFile(m_d + "/big/two.bin", big);
        const QString dst = acrossFileSystems ? m_other->path() : m_d + "/dst";
        QDir().mkpath(dst);
        TestUi ui;
        ui.cancelAt = 8 << 20; // in the middle of the second file
        QVERIFY(!copyOrMove(ui, m_d + "/big", dst, false, move));
        QVERIFY(ui.errors.isEmpty());
        QCOMPARE(entries(dst), QStringList());
        QCOMPARE(readFile(m_d + "/big/two.bin"), big);

        // Cancelling a replacement keeps the old target.
        writeFile(dst + "/one.bin", "old");
        ui.overwrite = true;
        ui.cancelAt = 1 << 20;
        QVERIFY(!copyOrMove(ui, m_d + "/big/one.bin", dst, false, move));
        QCOMPARE(entries(dst), QStringList{"one.bin"});
        QCOMPARE(readFile(dst + "/one.bin"), QByteArray("old"));
        QVERIFY(QFileInfo::exists(m_d + "/big/one.bin"));
    }

    void namesThatAreNotUtf8()
    {
        // Such names reach the program decoded with replacement characters;
        // the operations still find and keep the real bytes.
        const QByteArray dir = rawPath(m_d, "Gr\xFC\xDF"), file = rawPath(m_d, "\xFF.txt");
        QCOMPARE(::mkdir(dir.constData(), 0755), 0);
        QVERIFY(writeRaw(dir + "/caf\xE9.txt", "coffee"));
        QVERIFY(writeRaw(file, "ff"));
        TestUi ui;
        ui.createFolder = true;
        QVERIFY2(copyOrMove(ui, QFile::decodeName(file), QFile::decodeName(dir), false, false),
                 qPrintable(lastFileOpError()));
        QCOMPARE(readRaw(dir + "/\xFF.txt"), QByteArray("ff"));
        QVERIFY(copyOrMove(ui, QFile::decodeName(file), m_d, true, false));
        QCOMPARE(readRaw(rawPath(m_d, "\xFF (2).txt")), QByteArray("ff"));
        QVERIFY(copyOrMove(ui, QFile::decodeName(dir), m_d + "/copy", false, false));
        QCOMPARE(readRaw(rawPath(m_d, "copy/caf\xE9.txt")), QByteArray("coffee"));
        QVERIFY(copyOrMove(ui, QFile::decodeName(dir), m_d + "/moved/", false, true));
        QVERIFY(!rawExists(dir));
        QCOMPARE(readRaw(rawPath(m_d, "moved/Gr\xFC\xDF/\xFF.txt")), QByteArray("ff"));
        if (m_other->isValid()) {
            const QString moved = QFile::decodeName(rawPath(m_d, "moved/Gr\xFC\xDF"));
            QVERIFY(copyOrMove(ui, moved, m_other->path(), false, true));
            QCOMPARE(readRaw(rawPath(m_other->path(), "Gr\xFC\xDF/caf\xE9.txt")),
                     QByteArray("coffee"));
            QVERIFY(
                deletePath(ui, QFile::decodeName(rawPath(m_other->path(), "Gr\xFC\xDF")), false));
            QCOMPARE(rawEntries(QFile::encodeName(m_other->path())), QList<QByteArray>());
        }
        QVERIFY(deletePath(ui, QFile::decodeName(file), false));
        QVERIFY(!rawExists(file));
        QCOMPARE(ui.errors, QStringList());
    }

    void fullDiskAndOtherFileSystems()
    {
        // Small file systems of their own: tmpfs mounts in a private mount
        // namespace of a child process, so none outlives the test. Where
        // mounting is not allowed, the test is skipped.
        const QString noSpace = QString::fromLocal8Bit(std::strerror(ENOSPC));
        QCOMPARE(::mkdir(QFile::encodeName(m_d + "/src").constData(), 0755), 0);
        writeFile(m_d + "/src/a.txt", pattern(20000));
        for (const char* m : {"/blocks", "/inodes", "/shared", "/none", "/foreign"})
            QVERIFY(QDir().mkdir(m_d + m));
        int fds[2];
        QCOMPARE(::pipe(fds), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(fds[0]);
            const auto mountTmpfs = [&](const char* where, const char* options) {
                return ::mount("tmpfs", QFile::encodeName(m_d + where).constData(), "tmpfs", 0,
                               options) == 0;
            };
            if (::unshare(CLONE_NEWNS) != 0 ||
                ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                !mountTmpfs("/blocks", "size=64k") ||
                !mountTmpfs("/inodes", "size=64k,nr_inodes=4") ||
                !mountTmpfs("/shared", "size=64k") || !mountTmpfs("/none", "size=64k") ||
                !mountTmpfs("/foreign", "size=64k"))
                ::_exit(77);
            QStringList problems;
            TestUi ui;
            ui.createFolder = true;
            const auto check = [&](bool ok, const QString& what) {
                if (!ok)
                    problems << what + " [" + ui.errors.join(" | ") + "]";
                ui.errors.clear();
            };
            const QByteArray uid = QByteArray::number(::getuid());

            // No blocks left: the home trash on that disk, and a copy onto it.
            const QString blocks = m_d + "/blocks";
            QDir().mkpath(blocks + "/share/Trash/files");
            QDir().mkpath(blocks + "/share/Trash/info");
            writeFile(blocks + "/victim.txt", "");
            {
                QFile filler(blocks + "/filler");
                filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
                for (int i = 0; i < 1000 && filler.write(QByteArray(4096, 'x')) == 4096; ++i) {
                }
            }
            qputenv("XDG_DATA_HOME", QFile::encodeName(blocks + "/share"));
            check(!deletePath(ui, blocks + "/victim.txt", true) && ui.errors.size() == 1 &&
                      ui.errors.value(0).contains(noSpace),
                  "trash on a full disk");
            check(QFileInfo::exists(blocks + "/victim.txt") &&
                      entries(blocks + "/share/Trash/info").isEmpty(),
                  "trash on a full disk leaves things as they were");
            check(!copyOrMove(ui, m_d + "/src/a.txt", blocks, false, false) &&
                      ui.errors.value(0).contains(noSpace),
                  "copy onto a full disk");
            check(entries(blocks) == QStringList({"filler", "share", "victim.txt"}),
                  "a failed copy leaves nothing");
            qputenv("XDG_DATA_HOME", QFile::encodeName(m_data.path() + "/share"));

            // No inodes left: a missing folder cannot be created.
            const QString inodes = m_d + "/inodes";
            for (int i = 0;
                 i < 100 && QFile(inodes + "/f" + QString::number(i)).open(QIODevice::WriteOnly);
                 ++i) {
            }
            check(!copyOrMove(ui, m_d + "/src", inodes + "/new/deeper/", false, false) &&
                      ui.errors.value(0).contains(noSpace),
                  "create a folder on a full disk");

            // Another file system than the home trash's: its own trash.
            const QString shared = m_d + "/shared";
            QDir().mkpath(shared + "/.Trash");
            ::chmod(QFile::encodeName(shared + "/.Trash").constData(), 01777);
            writeFile(shared + "/sub/x.txt", "x");
            check(deletePath(ui, shared + "/sub/x.txt", true), "trash on another file system");
            const QByteArray sharedTrash = QFile::encodeName(shared + "/.Trash/") + uid;
            check(trashedFrom(sharedTrash, "").keys() == QList<QByteArray>{"sub/x.txt"} &&
                      readRaw(sharedTrash + "/files/x.txt") == "x",
                  "trashed into the file system's shared trash, the path relative to its top");
            const QString none = m_d + "/none";
            QDir().mkpath(none + "/.Trash"); // without the sticky bit: not to be used
            writeFile(none + "/.Trash-" + uid, "a file, not a folder");
            writeFile(none + "/y.txt", "y");
            check(!deletePath(ui, none + "/y.txt", true) && ui.errors.size() == 1 &&
                      ui.errors.value(0).contains("file system"),
                  "no usable trash on the file system");
            check(QFileInfo::exists(none + "/y.txt") && entries(none + "/.Trash").isEmpty(),
                  "a refused trash leaves things as they were");

            // The user's folder in the shared trash belongs to someone else (made
            // by them first, to read what this user trashes): never used.
            const QString foreign = m_d + "/foreign";
            QDir().mkpath(foreign + "/.Trash/" + uid + "/files");
            ::chmod(QFile::encodeName(foreign + "/.Trash").constData(), 01777);
            const QByteArray theirs = QFile::encodeName(foreign + "/.Trash/") + uid;
            const uid_t other = ::getuid() == 0 ? 65534 : ::getuid();
            check(::chown(theirs.constData(), other, other) == 0 &&
                      ::chown(theirs + "/files", other, other) == 0,
                  "another user owns the shared trash folder");
            writeFile(foreign + "/z.txt", "z");
            check(deletePath(ui, foreign + "/z.txt", true), "trash beside another's folder");
            check(rawEntries(theirs + "/files").isEmpty() &&
                      readRaw(QFile::encodeName(foreign + "/.Trash-") + uid + "/files/z.txt") ==
                          "z",
                  "another user's folder in the shared trash is left alone");

            const QByteArray out = problems.join('\n').toUtf8();
            const bool written = ::write(fds[1], out.constData(), size_t(out.size())) == out.size();
            ::_exit(written ? 0 : 3);
        }
        ::close(fds[1]);
        const QByteArray out = readAllAndClose(fds[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        QVERIFY(WIFEXITED(status));
        if (WEXITSTATUS(status) == 77) {
            TestUtil::notTested("full disks and the trash folders of other file systems (a full "
                                "one, a shared one, one owned by another user): a tmpfs cannot "
                                "be mounted in a private mount namespace here");
            QSKIP("tmpfs cannot be mounted here");
        }
        QCOMPARE(WEXITSTATUS(status), 0);
        QVERIFY2(out.isEmpty(), out.constData());
    }

    // ---- the dialogs ----

    void dialogsAnswerAndCancel()
    {
        QStringList shown;
        QMessageBox::StandardButton answer = QMessageBox::Yes;
        MessageDialogs::setHandler([&](QMessageBox::Icon, const QString& text) {
            shown << text;
            return answer;
        });
        const ScopedFileOpUi restore(nullptr); // the dialogs go again when the test ends
        FileOperations::installDialogs();
        writeFile(m_d + "/gone.txt", "x");
        QVERIFY(deletePath(m_d + "/gone.txt", true));
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown.last().contains(m_d + "/gone.txt") && shown.last().contains("trash"));

        writeFile(m_d + "/kept.txt", "x");
        answer = QMessageBox::No;
        QVERIFY(!deletePath(m_d + "/kept.txt", false));
        QVERIFY(QFileInfo::exists(m_d + "/kept.txt"));
        QVERIFY(shown.last().contains("permanently"));

        QVERIFY(!copyOrMove(m_d + "/kept.txt", m_d + "/no/such/folder/", false, false));
        QVERIFY(shown.last().contains("does not exist"));
        QVERIFY(!copyOrMove(m_d + "/missing", m_d + "/x", false, false));
        QCOMPARE(MessageDialogs::lastMessage(), lastFileOpError());

        // Cancel pressed in the progress dialog.
        DialogFileOpUi::setProgressDelay(0);
        int updates = 0;
        DialogFileOpUi::setProgressHook([&](QProgressDialog& dialog) {
            QVERIFY(dialog.isVisible());
            if (++updates == 1)
                dialog.cancel();
        });
        writeFile(m_d + "/big.bin", pattern(4 << 20));
        QDir().mkdir(m_d + "/dst");
        const int before = shown.size();
        QVERIFY(!copyOrMove(m_d + "/big.bin", m_d + "/dst", false, false));
        QCOMPARE(updates, 1);
        QCOMPARE(entries(m_d + "/dst"), QStringList());
        QCOMPARE(shown.size(), before); // cancelling is no error
        DialogFileOpUi::setProgressHook(nullptr);
        DialogFileOpUi::setProgressDelay(500);
        QVERIFY(copyOrMove(m_d + "/big.bin", m_d + "/dst", false, false));
        QCOMPARE(readFile(m_d + "/dst/big.bin").size(), 4 << 20);
    }

    void cancelButtonStopsTheWorker()
    {
        // The copy runs on a worker while the dialog's own loop runs: its
        // Cancel button, clicked there, stops the worker, and neither the
        // copy nor its staging folder is left behind.
        MessageDialogs::setHandler(
            [&](QMessageBox::Icon, const QString&) { return QMessageBox::Yes; });
        const ScopedFileOpUi restore(nullptr);
        FileOperations::installDialogs();
        DialogFileOpUi::setProgressDelay(0);
        auto undoHook = qScopeGuard([] {
            DialogFileOpUi::setProgressHook(nullptr);
            DialogFileOpUi::setProgressDelay(500);
        });
        int updates = 0;
        bool modal = false;
        DialogFileOpUi::setProgressHook([&](QProgressDialog& dialog) {
            // The first update comes as the dialog shows, the second from its loop.
            if (++updates != 2)
                return;
            modal = QApplication::activeModalWidget() == &dialog;
            auto* cancel = dialog.findChild<QPushButton*>();
            QVERIFY(cancel && cancel->isVisible());
            QTest::mouseClick(cancel, Qt::LeftButton);
        });
        QDir().mkdir(m_d + "/dst");
        QDir().mkdir(m_d + "/src");
        for (int i = 0; i < 4; ++i)
            writeFile(m_d + QString("/src/part%1.bin").arg(i), pattern(2 << 20));
        QVERIFY(!copyOrMove(m_d + "/src", m_d + "/dst", false, false));
        QCOMPARE(updates, 2);
        QVERIFY(modal);
        QCOMPARE(entries(m_d + "/dst"), QStringList());
        QVERIFY(lastFileOpError().isEmpty()); // cancelling is no error
    }

    void progressEndedWhileTheDialogIsMadeClosesIt()
    {
        // The worker ends its progress while the late dialog is being made,
        // before it listens for the end: the dialog must not stay up for the
        // rest of the operation (here, until a question of the worker).
        bool dialogUpAtQuestion = true;
        MessageDialogs::setHandler([&](QMessageBox::Icon, const QString&) {
            dialogUpAtQuestion = false;
            for (QWidget* window : QApplication::topLevelWidgets())
                if (qobject_cast<QProgressDialog*>(window) && window->isVisible())
                    dialogUpAtQuestion = true;
            return QMessageBox::Ok;
        });
        DialogFileOpUi::setProgressDelay(0);
        auto undoHook = qScopeGuard([] {
            DialogFileOpUi::setProgressHook(nullptr);
            DialogFileOpUi::setProgressDelay(500);
        });
        std::binary_semaphore mayEnd(0), ended(0), mayAsk(0);
        // The question comes once the dialog has shown its first state.
        DialogFileOpUi::setProgressHook([&](QProgressDialog&) { mayAsk.release(); });
        // The dialog's making, seen as it joins its owner: the worker ends
        // its progress there and then.
        struct EndOnDialog : QObject {
            QWidget* owner = nullptr;
            std::binary_semaphore *mayEnd = nullptr, *ended = nullptr;
            bool seen = false;
            bool eventFilter(QObject* watched, QEvent* event) override
            {
                if (!seen && watched == owner && event->type() == QEvent::ChildAdded) {
                    seen = true;
                    mayEnd->release();
                    ended->acquire();
                }
                return false;
            }
        };
        QWidget owner;
        EndOnDialog filter;
        filter.owner = &owner;
        filter.mayEnd = &mayEnd;
        filter.ended = &ended;
        qApp->installEventFilter(&filter);
        auto removeFilter = qScopeGuard([&] { qApp->removeEventFilter(&filter); });
        DialogFileOpUi ui(&owner);
        QVERIFY(ui.run([&](FileUtils::FileOpUi& relay) {
            relay.beginProgress(QStringLiteral("Copying"), 10);
            mayEnd.acquire();
            relay.endProgress();
            ended.release();
            mayAsk.acquire();
            relay.error(QStringLiteral("after the progress"));
            return true;
        }));
        QVERIFY(filter.seen);
        QVERIFY(!dialogUpAtQuestion);
    }
};

QUILLMERE_TEST_MAIN(TestFileUtils)
#include "tst_fileutils.moc"
