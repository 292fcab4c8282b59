#include "catalogue/Artwork.h"
#include "catalogue/Catalogue.h"
#include "catalogue/FileTypeIcons.h"
#include "components/FileOperationDialogs.h"
#include "components/HSDialogs.h"
#include "utils/FileListing.h"
#include "utils/FileOperations.h"
#include "utils/HotKeyModifiers.h"
#include "utils/PathTests.h"
#include "utils/Trash.h"

#include <QProgressDialog>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace MyFileUtils;

namespace
{

void writeFile(const QString& Path, const QByteArray& Data)
{
    QDir().mkpath(QFileInfo(Path).path());
    QFile f(Path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(Path));
    f.write(Data);
}

QByteArray readFile(const QString& Path)
{
    QFile f(Path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

QStringList entries(const QString& Folder)
{
    return QDir(Folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Answers the file operations' questions as told and notes what was asked.
class TTestUi : public TFileOpUi
{
public:
    bool Overwrite = false, CreateFolder = false, Delete = true;
    qint64 CancelAt = -1; // cancel once this much is done
    QStringList Asked, Errors;
    qint64 Total = -1, LastDone = -1;
    int Ticks = 0;
    bool Monotonic = true;

    bool AskOverwrite(const QString& Target, bool) override
    {
        return Asked << "overwrite " + Target, Overwrite;
    }
    bool AskCreateFolder(const QString& Folder) override
    {
        return Asked << "create " + Folder, CreateFolder;
    }
    bool ConfirmDelete(const QString& Path, bool, bool) override
    {
        return Asked << "delete " + Path, Delete;
    }
    void Error(const QString& Text) override { Errors << Text; }
    void BeginProgress(const QString&, qint64 TotalUnits) override { Total = TotalUnits; }
    bool Progress(qint64 Done, const QString&) override
    {
        Monotonic = Monotonic && Done >= LastDone;
        LastDone = Done;
        ++Ticks;
        return CancelAt < 0 || Done < CancelAt;
    }
};

// Names as the file system holds them, bytes and all (not every name is UTF-8).
QByteArray rawPath(const QString& Folder, const QByteArray& Name)
{
    return QFile::encodeName(Folder) + '/' + Name;
}

bool writeRaw(const QByteArray& Path, const QByteArray& Data)
{
    const int fd = ::open(Path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, Data.constData(), size_t(Data.size())) == Data.size();
    return ::close(fd) == 0 && ok;
}

// Everything left to read from Fd, which is then closed.
QByteArray readAllAndClose(int Fd)
{
    QByteArray data;
    char buf[4096];
    for (ssize_t n; (n = ::read(Fd, buf, sizeof buf)) > 0;)
        data.append(buf, n);
    ::close(Fd);
    return data;
}

QByteArray readRaw(const QByteArray& Path)
{
    const int fd = ::open(Path.constData(), O_RDONLY | O_CLOEXEC);
    return fd < 0 ? QByteArray("<unreadable>") : readAllAndClose(fd);
}

bool rawExists(const QByteArray& Path)
{
    struct stat st;
    return ::lstat(Path.constData(), &st) == 0;
}

QByteArray rawLinkTarget(const QByteArray& Path)
{
    char buf[4096];
    const ssize_t n = ::readlink(Path.constData(), buf, sizeof buf);
    return n < 0 ? QByteArray("<no link>") : QByteArray(buf, n);
}

QList<QByteArray> rawEntries(const QByteArray& Folder)
{
    QList<QByteArray> names;
    if (DIR* dir = ::opendir(Folder.constData())) {
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
void rawRemoveTree(const QByteArray& Path)
{
    struct stat st;
    if (::lstat(Path.constData(), &st) != 0)
        return;
    if (S_ISDIR(st.st_mode)) {
        ::chmod(Path.constData(), 0700);
        for (const QByteArray& name : rawEntries(Path))
            rawRemoveTree(Path + '/' + name);
        ::rmdir(Path.constData());
    } else {
        ::unlink(Path.constData());
    }
}

bool isUtf8(const QByteArray& Bytes)
{
    return QString::fromUtf8(Bytes).toUtf8() == Bytes;
}

// What a trash holds from Folder, read from its info files: the original
// name below Folder and the name in the trash. An info file that is not the
// three lines of the format is listed under "bad info".
QMultiMap<QByteArray, QByteArray> trashedFrom(const QByteArray& Trash, const QByteArray& Folder)
{
    QMultiMap<QByteArray, QByteArray> found;
    const QByteArray prefix = Folder.isEmpty() || Folder.endsWith('/') ? Folder : Folder + '/';
    for (const QByteArray& info : rawEntries(Trash + "/info")) {
        const QList<QByteArray> lines = readRaw(Trash + "/info/" + info).split('\n');
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

QByteArray pattern(int Bytes)
{
    QByteArray b(Bytes, Qt::Uninitialized);
    for (int i = 0; i < Bytes; ++i)
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
    QString d;                              // m_dir's path

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
        d = m_dir->path();
        QDir::setCurrent(d);
        m_other = std::make_unique<QTemporaryDir>("/dev/shm/tst_fileutils-XXXXXX");
        HSDialogs::SetHandler(nullptr);
        SetFileOpUi(nullptr);
    }

    void cleanup()
    {
        QDir::setCurrent(QDir::tempPath());
        if (m_other->isValid())
            rawRemoveTree(QFile::encodeName(m_other->path()));
        rawRemoveTree(QFile::encodeName(d));
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
        QCOMPARE(IsURL(text), url);
        QCOMPARE(IsEMail(text), mail);
        QCOMPARE(IsLocalPath(text), local);
    }

    void pathTests()
    {
        QCOMPARE(IncludeBackslash("/a/b"), QString("/a/b/"));
        QCOMPARE(IncludeBackslash("/a/b/"), QString("/a/b/"));
        QCOMPARE(IncludeBackslash("/"), QString("/"));
        QVERIFY(IsDotEntry(".") && IsDotEntry(".."));
        QVERIFY(!IsDotEntry("...") && !IsDotEntry(".hidden") && !IsDotEntry(""));

        writeFile(d + "/f.txt", "abc");
        QVERIFY(QFile::link(d + "/sub", d + "/sublink"));
        QDir().mkdir(d + "/sub");
        QVERIFY(IsDirectory(d + "/sub") && IsDirectory(d + "/sublink"));
        QVERIFY(!IsDirectory(d + "/f.txt") && !IsDirectory(d + "/missing") && !IsDirectory(""));
        QVERIFY(FileExists(d + "/f.txt") && !FileExists(d + "/sub") && !FileExists(d + "/missing"));
    }

    void pathsWithNul()
    {
        // No file name holds a NUL; the system would read such a path only up
        // to the NUL and so name another file: the parent folder here.
        writeFile(d + "/keep/f.txt", "x");
        const QString path = d + "/keep" + QChar(u'\0') + "/f.txt";
        QVERIFY(!ProbePath(path).Exists);
        QVERIFY(!IsDirectory(path) && !FileExists(path));
        TTestUi ui;
        ui.Delete = true;
        QVERIFY(!ShellDelete(ui, path, false));
        QVERIFY(QFileInfo::exists(d + "/keep/f.txt"));
    }

    void fileContents()
    {
        writeFile(d + "/three", "abc");
        writeFile(d + "/empty", "");
        writeFile(d + "/linebreak", "\n");
        writeFile(d + "/bom", "\xEF\xBB\xBF");
        writeFile(d + "/bomtext", "\xEF\xBB\xBFx");
        QCOMPARE(FileSizeOf(d + "/three"), 3);
        QVERIFY(IsEmptyTextFile(d + "/empty"));
        QVERIFY(IsEmptyTextFile(d + "/bom"));
        QVERIFY(!IsEmptyTextFile(d + "/linebreak"));
        QVERIFY(!IsEmptyTextFile(d + "/bomtext"));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, FileSizeOf(d + "/missing"));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, IsEmptyTextFile(d + "/missing"));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, FileSizeOf(d));
        // A pipe is refused at once; opening it would wait for a writer.
        QCOMPARE(::mkfifo(QFile::encodeName(d + "/pipe").constData(), 0600), 0);
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, IsEmptyTextFile(d + "/pipe"));
        QCOMPARE(ProbePath(d + "/pipe").MimeName, QString("inode/fifo"));
    }

    void modifierKeys()
    {
        const int expected[8] = {0, 4, 1, 5, 2, 6, 3, 7};
        for (int shift = 0; shift < 8; ++shift)
            QCOMPARE(ShiftToHotKeyModifiers(shift), expected[shift]);
        QCOMPARE(ShiftToHotKeyModifiers(8), 0);
        QCOMPARE(ShiftToHotKeyModifiers(6 | 16), 0);
        QCOMPARE(ShiftStateOf(Qt::ControlModifier | Qt::AltModifier), 6);
        QCOMPARE(ShiftStateOf(Qt::ShiftModifier | Qt::MetaModifier), 1);
        // X11: ShiftMask 1, ControlMask 4, Mod1Mask 8.
        QCOMPARE(HotKeyModifiersToX11(ShiftToHotKeyModifiers(6)), 12u);
        QCOMPARE(HotKeyModifiersToX11(hkShift), 1u);
        for (int flags = 0; flags < 8; ++flags)
            QCOMPARE(X11ToHotKeyModifiers(HotKeyModifiersToX11(flags)), flags);
        QCOMPARE(X11ToHotKeyModifiers(2 | 16 | 64), 0); // Lock, NumLock, Super
    }

    void waitProcessesNoEvents()
    {
        bool fired = false;
        QTimer::singleShot(0, this, [&] { fired = true; });
        QElapsedTimer clock;
        clock.start();
        WaitMilliseconds(30);
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
            writeFile(d + "/top/" + f, "x");
        const QString top = d + "/top";
        QStringList list;
        ListFiles(top, "*.txt", list);
        const QString t = top + "/";
        QCOMPARE(list, QStringList({t + ".hidden.txt", t + "A.TXT", t + "b.txt", t + "sub1/c.txt",
                                    t + "sub1/deeper/e.txt", t + "Sub2/F.Txt"}));

        list.clear();
        ListFiles(top + "/", "*.*", list);
        QCOMPARE(list.size(), 8);
        QCOMPARE(list.first(), t + ".hidden.txt");
        QVERIFY(list.contains(t + "sub0/d.pdf"));
        QVERIFY(list.indexOf(t + "notes.pdf") < list.indexOf(t + "sub0/d.pdf"));

        list.clear();
        ListFiles(top, "?.pdf", list);
        QCOMPARE(list, QStringList(t + "sub0/d.pdf"));

        // A caller's list is appended to, and gets no "not found" line.
        list = QStringList{"earlier"};
        ListFiles(top, "*.none", list);
        QCOMPARE(list, QStringList{"earlier"});

        QDir().mkdir(d + "/empty");
        for (const QString& folder : {d + "/empty", d + "/missing", QString()}) {
            list.clear();
            ListFiles(folder, "*.*", list);
            QCOMPARE(list, QStringList{"Files not found"});
        }
        QVERIFY(MatchesMask("Report.PDF", "*.pdf") && MatchesMask("a.b.c", "*.c") &&
                MatchesMask("abc", "a*c"));
        QVERIFY(!MatchesMask("abcd", "a*c") && !MatchesMask("ab", "???"));
    }

    void listFilesLinks()
    {
        writeFile(d + "/top/a.txt", "x");
        writeFile(d + "/top/sub/b.txt", "x");
        writeFile(d + "/outside/c.txt", "x");
        QVERIFY(QFile::link(d + "/top", d + "/top/sub/loop"));           // a loop back to the top
        QVERIFY(QFile::link(d + "/outside", d + "/top/zlink"));          // a link to another folder
        QVERIFY(QFile::link(d + "/top/a.txt", d + "/top/filelink.txt")); // a link to a file
        QVERIFY(QFile::link(d + "/nowhere", d + "/top/dangling.txt"));
        QStringList list;
        ListFiles(d + "/top", "*.txt", list);
        const QString t = d + "/top/";
        QCOMPARE(list, QStringList(
                           {t + "a.txt", t + "filelink.txt", t + "sub/b.txt", t + "zlink/c.txt"}));
    }

    void listFilesUnreadableFolder()
    {
        // Root reads every folder, so the walk runs in a child process as an
        // unprivileged user.
        for (const char* f : {"a.txt", "closed/b.txt", "open/c.txt"})
            writeFile(d + "/top/" + f, "x");
        for (const QString& p : {d, d + "/top", d + "/top/open"})
            QFile::setPermissions(p, QFile::Permissions(0x7755));
        QVERIFY(QFile::setPermissions(d + "/top/closed", {}));
        int fds[2];
        QCOMPARE(::pipe(fds), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(fds[0]);
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                ::_exit(2);
            QStringList list;
            ListFiles(d + "/top", "*.txt", list);
            const QByteArray out = list.join('\n').toUtf8();
            const bool ok = ::write(fds[1], out.constData(), size_t(out.size())) == out.size();
            ::_exit(ok ? 0 : 3);
        }
        ::close(fds[1]);
        const QByteArray out = readAllAndClose(fds[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        QFile::setPermissions(d + "/top/closed", QFile::Permissions(0x7700));
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        QCOMPARE(QString::fromUtf8(out), d + "/top/a.txt\n" + d + "/top/open/c.txt");
    }

    // ---- types and icons ----

    void typesAndIcons()
    {
        QMimeDatabase db;
        writeFile(d + "/notes.txt", "some text");
        writeFile(d + "/other.txt", "more text");
        QVERIFY(QFile::link(d + "/notes.txt", d + "/shortcut"));
        QDir().mkdir(d + "/folder");

        QString type;
        const QIcon folder = GetShellIcon(d + "/folder", false, &type);
        QCOMPARE(type, db.mimeTypeForName("inode/directory").comment());
        QVERIFY(!folder.isNull());

        const QIcon text = GetShellIcon(d + "/notes.txt", true, &type);
        QCOMPARE(type, db.mimeTypeForName("text/plain").comment());
        const QImage textImage = text.pixmap(32, 32).toImage();
        QCOMPARE(textImage.size(), QSize(32, 32));
        // From the icon theme, not the program's own blank page.
        QVERIFY(
            textImage.convertToFormat(QImage::Format_ARGB32) !=
            Artwork::FixedImage(Artwork::ImgBlankPage, 32).convertToFormat(QImage::Format_ARGB32));
        QCOMPARE(GetShellIcon(d + "/notes.txt", false).pixmap(16, 16).size(), QSize(16, 16));
        // One icon serves every file of a type.
        QCOMPARE(GetShellIcon(d + "/other.txt", true).cacheKey(), text.cacheKey());

        // A link shows its target's icon with the link emblem and its type.
        const QIcon link = GetShellIcon(d + "/shortcut", true, &type);
        QCOMPARE(type, db.mimeTypeForName("text/plain").comment());
        QCOMPARE(link.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32),
                 Artwork::Overlay(textImage, Artwork::EmblemSymlink(16))
                     .convertToFormat(QImage::Format_ARGB32));

        type = "stale";
        QVERIFY(GetShellIcon(d + "/missing.txt", false, &type).isNull());
        QVERIFY(type.isEmpty());
        QVERIFY(QFile::link(d + "/nowhere", d + "/dangling"));
        QVERIFY(GetShellIcon(d + "/dangling", false).isNull());
    }

    void typeDetection()
    {
        writeFile(d + "/b.gz", "x");
        writeFile(d + "/a.tar.gz", "x");
        writeFile(d + "/p.c", "x");
        writeFile(d + "/p.C", "x");
        writeFile(d + "/noname", "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
        writeFile(d + "/Report.2024.PDF", "not really");
        QCOMPARE(ProbePath(d + "/b.gz").MimeName, QString("application/gzip"));
        QCOMPARE(ProbePath(d + "/a.tar.gz").MimeName, QString("application/x-compressed-tar"));
        QCOMPARE(ProbePath(d + "/p.c").MimeName, QString("text/x-csrc"));
        QCOMPARE(ProbePath(d + "/p.C").MimeName, QString("text/x-c++src"));
        QCOMPARE(ProbePath(d + "/noname").MimeName, QString("application/pdf")); // by content
        QCOMPARE(ProbePath(d + "/Report.2024.PDF").MimeName,
                 QString("application/pdf")); // by name only
        const TPathFacts folder = ProbePath(d);
        QVERIFY(folder.Exists && folder.IsDir && !folder.IsSymLink);
        QVERIFY(!ProbePath(d + "/missing").Exists);
    }

    void imageListsStayInStep()
    {
        TCatalogue cat;
        for (int i = 0; i < 40; ++i)
            writeFile(QString("%1/doc%2.%3").arg(d).arg(i).arg(i % 2 ? "txt" : "png"), "x");
        const int before = cat.Images().Small.Count();
        QCOMPARE(cat.Images().Large.Count(), before);
        int last = before - 1;
        for (int round = 0; round < 50; ++round)
            for (int i = 0; i < 40; ++i) {
                const int index = cat.AddShellIcon(
                    QString("%1/doc%2.%3").arg(d).arg(i).arg(i % 2 ? "txt" : "png"));
                QCOMPARE(index, last + 1);
                last = index;
            }
        QCOMPARE(cat.Images().Small.Count(), before + 2000);
        QCOMPARE(cat.Images().Large.Count(), before + 2000);
        QCOMPARE(cat.Images().Small.Icon(before).cacheKey(),
                 cat.Images().Small.Icon(before + 40).cacheKey());
        QCOMPARE(cat.AddShellIcon(d + "/missing"), int(imgMissing));
        QCOMPARE(cat.Images().Small.Count(), before + 2000);
    }

    // ---- delete ----

    void trash()
    {
        const QString trash = HomeTrashFolder();
        QVERIFY(trash.startsWith(m_data.path()));
        QVERIFY(!QFileInfo::exists(trash)); // made on first use
        writeFile(d + "/doc one.txt", "keep me");
        writeFile(d + "/50%20off.txt", "x");
        writeFile(d + "/folder/inner.txt", "x");
        TTestUi ui;
        QVERIFY(ShellDelete(ui, d + "/doc one.txt", true));
        QCOMPARE(ui.Asked, QStringList("delete " + d + "/doc one.txt"));
        ui.Asked.clear();
        QVERIFY(!QFileInfo::exists(d + "/doc one.txt"));
        QCOMPARE(readFile(trash + "/files/doc one.txt"), QByteArray("keep me"));
        const QByteArray info = readFile(trash + "/info/doc one.txt.trashinfo");
        QVERIFY2(info.startsWith("[Trash Info]\n"), info.constData());
        QVERIFY2(info.contains("\nPath=" + QUrl::toPercentEncoding(d + "/doc one.txt", "/") + "\n"),
                 info.constData());
        QVERIFY(info.contains("\nDeletionDate=" +
                              QDate::currentDate().toString(Qt::ISODate).toLatin1()));
        QVERIFY(!QFileInfo::exists(d + "/files")); // nothing dropped into the current folder
        // The original path is kept escaped, so it is restored under its own name.
        QVERIFY(ShellDelete(ui, d + "/50%20off.txt", true));
        const QByteArray info2 = readFile(trash + "/info/50%20off.txt.trashinfo");
        QVERIFY2(info2.contains("\nPath=" + QUrl::toPercentEncoding(d, "/") + "/50%2520off.txt\n"),
                 info2.constData());

        QVERIFY(ShellDelete(ui, d + "/folder", true));
        QVERIFY(QFileInfo::exists(trash + "/files/folder/inner.txt"));

        writeFile(d + "/stays.txt", "x");
        ui.Delete = false;
        QVERIFY(!ShellDelete(ui, d + "/stays.txt", true));
        QVERIFY(QFileInfo::exists(d + "/stays.txt"));
        QVERIFY(ui.Errors.isEmpty());
        ui.Delete = true;
        QVERIFY(!ShellDelete(ui, d + "/missing.txt", true));
        QCOMPARE(ui.Errors.size(), 1);
    }

    void deleteForGood()
    {
        writeFile(d + "/tree/a/b.txt", "x");
        writeFile(d + "/tree/c.txt", "x");
        writeFile(d + "/outside/keep.txt", "x");
        QVERIFY(QFile::link(d + "/outside", d + "/tree/link"));
        TTestUi ui;
        QVERIFY(ShellDelete(ui, d + "/tree", false));
        QVERIFY(!QFileInfo::exists(d + "/tree"));
        QVERIFY(QFileInfo::exists(d + "/outside/keep.txt")); // the link went, not its target
        QCOMPARE(ui.Total, 5);                               // tree, a, b.txt, c.txt, link
        QVERIFY(!QFileInfo::exists(HomeTrashFolder() + "/files/tree"));

        // Without a dialog object every question is refused.
        writeFile(d + "/quiet.txt", "x");
        QVERIFY(!ShellDelete(d + "/quiet.txt", false));
        QVERIFY(QFileInfo::exists(d + "/quiet.txt"));
    }

    void trashLongNames()
    {
        // The info file is named after the item plus ".trashinfo", so names
        // from 246 bytes on need a shorter name in the trash.
        const QByteArray e = "\xC3\xA9"; // two bytes in UTF-8
        const QList<QByteArray> names{QByteArray(246, 'a') + ".txt", QByteArray(251, 'b') + ".txt",
                                      QByteArray(255, 'c'), e.repeated(125) + ".txt"};
        TTestUi ui;
        for (const QByteArray& name : names)
            for (int round = 0; round < 2; ++round) { // the second one takes another name
                QVERIFY(writeRaw(rawPath(d, name), QByteArray::number(round)));
                QVERIFY2(ShellDelete(ui, QFile::decodeName(rawPath(d, name)), true),
                         qPrintable(LastFileOpError()));
                QVERIFY(!rawExists(rawPath(d, name)));
            }
        QCOMPARE(ui.Errors, QStringList());
        const QByteArray trash = QFile::encodeName(HomeTrashFolder());
        const auto trashed = trashedFrom(trash, QFile::encodeName(d));
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
        writeFile(d + "/two\nlines.txt", "n");
        writeFile(d + "/target.txt", "t");
        QVERIFY(QFile::link(d + "/target.txt", d + "/link"));
        QVERIFY(QFile::link(d + "/nowhere", d + "/dangling"));
        QVERIFY(QFile::link(d + "/loop", d + "/loop"));
        QVERIFY(writeRaw(rawPath(d, "latin\xFF.txt"), "l")); // not UTF-8
        QCOMPARE(::mkdir(rawPath(d, "dir\xE9").constData(), 0755), 0);
        QVERIFY(writeRaw(rawPath(d, "dir\xE9/\xFE"), "inner"));
        const QList<QByteArray> names{"dangling", "dir\xE9", "latin\xFF.txt",
                                      "link",     "loop",    "two\nlines.txt"};
        TTestUi ui;
        for (const QByteArray& name : names)
            QVERIFY2(ShellDelete(ui, QFile::decodeName(rawPath(d, name)), true),
                     qPrintable(LastFileOpError()));
        QCOMPARE(ui.Errors, QStringList());
        QCOMPARE(ui.Asked.size(), names.size());
        QCOMPARE(rawEntries(QFile::encodeName(d)), QList<QByteArray>{"target.txt"});

        // Every original path is in its info file, bytes and all.
        const QByteArray trash = QFile::encodeName(HomeTrashFolder());
        const auto trashed = trashedFrom(trash, QFile::encodeName(d));
        QCOMPARE(trashed.keys(), names);
        const QByteArray files = trash + "/files/";
        const auto infoOf = [&](const QByteArray& Name) {
            return readRaw(trash + "/info/" + trashed.value(Name) + ".trashinfo");
        };
        QVERIFY(infoOf("two\nlines.txt").contains("two%0Alines.txt\n"));
        QVERIFY(infoOf("latin\xFF.txt").contains("latin%FF.txt\n"));
        QCOMPARE(readRaw(files + trashed.value("dir\xE9") + "/\xFE"), QByteArray("inner"));
        // Links go themselves, never their targets.
        QCOMPARE(rawLinkTarget(files + trashed.value("link")),
                 QFile::encodeName(d + "/target.txt"));
        QCOMPARE(rawLinkTarget(files + trashed.value("dangling")),
                 QFile::encodeName(d + "/nowhere"));
        QCOMPARE(rawLinkTarget(files + trashed.value("loop")), QFile::encodeName(d + "/loop"));
        QCOMPARE(readFile(d + "/target.txt"), QByteArray("t"));
    }

    // ---- copy and move ----

    void copyAndMoveFiles()
    {
        writeFile(d + "/src/a.txt", "alpha");
        QDir().mkdir(d + "/dst");
        {
            QFile f(d + "/src/a.txt");
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.setFileTime(QDateTime(QDate(2020, 5, 6), QTime(7, 8, 9)),
                                  QFileDevice::FileModificationTime));
        }
        TTestUi ui;
        // An existing folder receives the item under its own name.
        QVERIFY(ShellCopyOrMove(ui, d + "/src/a.txt", d + "/dst", false, false));
        QCOMPARE(readFile(d + "/dst/a.txt"), QByteArray("alpha"));
        QCOMPARE(QFileInfo(d + "/dst/a.txt").lastModified(),
                 QDateTime(QDate(2020, 5, 6), QTime(7, 8, 9)));
        QVERIFY(QFileInfo::exists(d + "/src/a.txt"));
        // Any other destination is the new full path.
        QVERIFY(ShellCopyOrMove(ui, d + "/src/a.txt", d + "/dst/renamed.txt", false, false));
        QCOMPARE(readFile(d + "/dst/renamed.txt"), QByteArray("alpha"));
        // A move within one file system keeps the file itself.
        const auto inode = QFileInfo(d + "/src/a.txt").fileTime(QFileDevice::FileModificationTime);
        struct stat before, after;
        ::stat(QFile::encodeName(d + "/src/a.txt").constData(), &before);
        QVERIFY(ShellCopyOrMove(ui, d + "/src/a.txt", d + "/dst/moved.txt", false, true));
        ::stat(QFile::encodeName(d + "/dst/moved.txt").constData(), &after);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(QFileInfo(d + "/dst/moved.txt").lastModified(), inode);
        QVERIFY(!QFileInfo::exists(d + "/src/a.txt"));
        QVERIFY(ui.Asked.isEmpty() && ui.Errors.isEmpty());
        QCOMPARE(entries(d + "/dst"), QStringList({"a.txt", "moved.txt", "renamed.txt"}));
    }

    void copyAndMoveFoldersAcrossFileSystems()
    {
        if (!m_other->isValid())
            QSKIP("no /dev/shm");
        writeFile(d + "/tree/a.txt", "alpha");
        writeFile(d + "/tree/sub/b.bin", pattern(300000));
        writeFile(d + "/tree/.hidden", "h");
        QVERIFY(QFile::link("sub/b.bin", d + "/tree/rel-link"));
        QFile::setPermissions(d + "/tree/a.txt",
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString o = m_other->path();
        // A folder without write permission keeps its mode and time in the copy.
        const QDateTime stamp(QDate(2019, 1, 2), QTime(3, 4, 5));
        const QByteArray sub = QFile::encodeName(d + "/tree/sub");
        const struct timespec times[2] = {{stamp.toSecsSinceEpoch(), 0},
                                          {stamp.toSecsSinceEpoch(), 0}};
        QCOMPARE(::utimensat(AT_FDCWD, sub.constData(), times, 0), 0);
        QCOMPARE(::chmod(sub.constData(), 0555), 0);
        TTestUi ui;
        QVERIFY(ShellCopyOrMove(ui, d + "/tree", o, false, false));
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
        QCOMPARE(ui.Total, 300000 + 5 + 1);
        QVERIFY(ui.Monotonic && ui.LastDone == ui.Total);
        QCOMPARE(entries(o), QStringList{"tree"}); // no working copy left beside it

        QVERIFY(ShellCopyOrMove(ui, d + "/tree", o + "/moved", false, true));
        QVERIFY(!QFileInfo::exists(d + "/tree"));
        QCOMPARE(readFile(o + "/moved/sub/b.bin"), pattern(300000));
        QVERIFY(QFileInfo(o + "/moved/rel-link").isSymLink());
        // And back, as a single file.
        QVERIFY(ShellCopyOrMove(ui, o + "/moved/a.txt", d, false, true));
        QCOMPARE(readFile(d + "/a.txt"), QByteArray("alpha"));
        QVERIFY(!QFileInfo::exists(o + "/moved/a.txt"));
        QVERIFY(ui.Errors.isEmpty());
    }

    void collisions()
    {
        writeFile(d + "/a.txt", "new");
        writeFile(d + "/dst/a.txt", "old");
        TTestUi ui;
        QVERIFY(!ShellCopyOrMove(ui, d + "/a.txt", d + "/dst", false, false)); // refused
        QCOMPARE(ui.Asked, QStringList("overwrite " + d + "/dst/a.txt"));
        QCOMPARE(readFile(d + "/dst/a.txt"), QByteArray("old"));
        QVERIFY(ui.Errors.isEmpty());
        ui.Overwrite = true;
        QVERIFY(ShellCopyOrMove(ui, d + "/a.txt", d + "/dst", false, false));
        QCOMPARE(readFile(d + "/dst/a.txt"), QByteArray("new"));

        // Rename on collision asks nothing and finds the next free name.
        ui.Asked.clear();
        QVERIFY(ShellCopyOrMove(ui, d + "/a.txt", d + "/dst", true, false));
        QVERIFY(ShellCopyOrMove(ui, d + "/a.txt", d + "/dst", true, false));
        QCOMPARE(entries(d + "/dst"), QStringList({"a (2).txt", "a (3).txt", "a.txt"}));
        QVERIFY(ShellCopyOrMove(ui, d + "/a.txt", d, true, false)); // onto itself
        QCOMPARE(readFile(d + "/a (2).txt"), QByteArray("new"));
        writeFile(d + "/.profile", "x");
        QVERIFY(ShellCopyOrMove(ui, d + "/.profile", d, true, false));
        QVERIFY(QFileInfo::exists(d + "/.profile (2)"));
        QVERIFY(ShellCopyOrMove(ui, d + "/dst", d, true, false));
        QVERIFY(QFileInfo::exists(d + "/dst (2)/a (3).txt"));
        QVERIFY(ui.Asked.isEmpty());

        // Onto itself without renaming: an error for a copy, nothing to do for a move.
        QVERIFY(!ShellCopyOrMove(ui, d + "/a.txt", d + "/a.txt", false, false));
        QCOMPARE(ui.Errors.size(), 1);
        QVERIFY(ShellCopyOrMove(ui, d + "/a.txt", d, false, true));
        QCOMPARE(readFile(d + "/a.txt"), QByteArray("new"));
    }

    void renameOnCollisionLongNames()
    {
        // A longest name gets shorter to make room for the number.
        const QByteArray e = "\xC3\xA9";
        const QByteArray file = QByteArray(251, 'f') + ".txt", folder = QByteArray(255, 'g'),
                         accents = e.repeated(125) + ".txt";
        QVERIFY(writeRaw(rawPath(d, file), "long"));
        QVERIFY(writeRaw(rawPath(d, accents), "accents"));
        QCOMPARE(::mkdir(rawPath(d, folder).constData(), 0755), 0);
        QVERIFY(writeRaw(rawPath(d, folder + "/inner.txt"), "inner"));
        TTestUi ui;
        for (int round = 0; round < 2; ++round)
            for (const QByteArray& name : {file, folder, accents})
                QVERIFY2(ShellCopyOrMove(ui, QFile::decodeName(rawPath(d, name)), d, true, false),
                         qPrintable(LastFileOpError()));
        QCOMPARE(ui.Errors, QStringList());
        const QByteArray f = QByteArray(247, 'f'), g = QByteArray(251, 'g'), a = e.repeated(123);
        QList<QByteArray> expected{file,           folder,         accents,
                                   f + " (2).txt", f + " (3).txt", g + " (2)",
                                   g + " (3)",     a + " (2).txt", a + " (3).txt"};
        std::sort(expected.begin(), expected.end());
        QCOMPARE(rawEntries(QFile::encodeName(d)), expected);
        QCOMPARE(readRaw(rawPath(d, f + " (3).txt")), QByteArray("long"));
        QCOMPARE(readRaw(rawPath(d, g + " (3)/inner.txt")), QByteArray("inner"));
        QCOMPARE(readRaw(rawPath(d, a + " (2).txt")), QByteArray("accents"));
    }

    void folderOntoFolder()
    {
        writeFile(d + "/src/proj/x.txt", "new x");
        writeFile(d + "/src/proj/sub/y.txt", "new y");
        writeFile(d + "/dst/proj/x.txt", "old x");
        writeFile(d + "/dst/proj/keep.txt", "keep");
        writeFile(d + "/dst/proj/sub/z.txt", "z");
        TTestUi ui;
        ui.Overwrite = true;
        QVERIFY(ShellCopyOrMove(ui, d + "/src/proj", d + "/dst", false, false));
        QCOMPARE(readFile(d + "/dst/proj/x.txt"), QByteArray("new x"));
        QCOMPARE(readFile(d + "/dst/proj/sub/y.txt"), QByteArray("new y"));
        QCOMPARE(readFile(d + "/dst/proj/keep.txt"), QByteArray("keep"));
        QCOMPARE(readFile(d + "/dst/proj/sub/z.txt"), QByteArray("z"));
        QCOMPARE(entries(d + "/dst"), QStringList{"proj"});

        // Merging by a move within the file system.
        writeFile(d + "/src/proj/x.txt", "newer x");
        QVERIFY(ShellCopyOrMove(ui, d + "/src/proj", d + "/dst", false, true));
        QCOMPARE(readFile(d + "/dst/proj/x.txt"), QByteArray("newer x"));
        QCOMPARE(readFile(d + "/dst/proj/keep.txt"), QByteArray("keep"));
        QVERIFY(!QFileInfo::exists(d + "/src/proj"));

        // A folder and a file of one name: refused before anything moves.
        writeFile(d + "/src2/proj/keep.txt/inner", "i");
        writeFile(d + "/src2/proj/x.txt", "never");
        QVERIFY(!ShellCopyOrMove(ui, d + "/src2/proj", d + "/dst", false, false));
        QCOMPARE(ui.Errors.size(), 1);
        QCOMPARE(readFile(d + "/dst/proj/x.txt"), QByteArray("newer x"));
        writeFile(d + "/file", "f");
        QVERIFY(!ShellCopyOrMove(ui, d + "/src2/proj", d + "/file", false, false));
        QCOMPARE(readFile(d + "/file"), QByteArray("f"));

        // Into itself.
        QVERIFY(!ShellCopyOrMove(ui, d + "/dst", d + "/dst/proj", false, false));
        QVERIFY(!ShellCopyOrMove(ui, d + "/dst", d + "/dst/proj/new", false, true));
        ui.CreateFolder = true;
        QVERIFY(!ShellCopyOrMove(ui, d + "/dst", d + "/dst/proj/new/deeper/", false, false));
        QVERIFY(!QFileInfo::exists(d + "/dst/proj/new"));
        QVERIFY(QFile::link(d + "/dst/proj", d + "/projlink"));
        QVERIFY(!ShellCopyOrMove(ui, d + "/dst", d + "/projlink", false, false));
        QCOMPARE(ui.Errors.size(), 6);
        QCOMPARE(ui.Asked.filter("create").size(), 0);
        QVERIFY(QFileInfo::exists(d + "/dst/proj/keep.txt"));
        QVERIFY(!QFileInfo::exists(d + "/dst/proj/dst"));
    }

    void missingDestinationFolder()
    {
        writeFile(d + "/a.txt", "a");
        TTestUi ui;
        QVERIFY(!ShellCopyOrMove(ui, d + "/a.txt", d + "/new/deeper/a.txt", false, false));
        QCOMPARE(ui.Asked, QStringList("create " + d + "/new/deeper"));
        QVERIFY(!QFileInfo::exists(d + "/new"));
        ui.CreateFolder = true;
        QVERIFY(ShellCopyOrMove(ui, d + "/a.txt", d + "/new/deeper/b.txt", false, false));
        QCOMPARE(readFile(d + "/new/deeper/b.txt"), QByteArray("a"));
        // A destination written as a folder receives the item.
        QVERIFY(ShellCopyOrMove(ui, d + "/a.txt", d + "/other/", false, true));
        QCOMPARE(readFile(d + "/other/a.txt"), QByteArray("a"));
        QVERIFY(ui.Errors.isEmpty());
    }

    void destinationCannotBeWritten()
    {
        writeFile(d + "/a.txt", "a");
        writeFile(d + "/plainfile", "p");
        TTestUi ui;
        ui.CreateFolder = true;
        QVERIFY(!ShellCopyOrMove(ui, d + "/a.txt", "/proc/quillmere-test.txt", false, false));
        QVERIFY(!ShellCopyOrMove(ui, d + "/a.txt", "/proc/quillmere-test.txt", false, true));
        QVERIFY(!ShellCopyOrMove(ui, d + "/a.txt", d + "/plainfile/a.txt", false,
                                 false)); // a file as the folder
        QVERIFY(!ShellCopyOrMove(ui, d + "/a.txt", d + "/plainfile/x/a.txt", false, false));
        QCOMPARE(ui.Errors.size(), 4);
        QVERIFY(QFileInfo::exists(d + "/a.txt"));
        QCOMPARE(LastFileOpError(), ui.Errors.last());
        QVERIFY(!ShellCopyOrMove(ui, d + "/missing.txt", d + "/b.txt", false, false));
        QCOMPARE(ui.Errors.size(), 5);
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
        if (acrossFileSystems && !m_other->isValid())
            QSKIP("no /dev/shm");
        const QByteArray big = pattern(6 << 20);
        writeFile(d + "/big/one.bin", big);
        writeFile(d + "/big/two.bin", big);
        const QString dst = acrossFileSystems ? m_other->path() : d + "/dst";
        QDir().mkpath(dst);
        TTestUi ui;
        ui.CancelAt = 8 << 20; // in the middle of the second file
        QVERIFY(!ShellCopyOrMove(ui, d + "/big", dst, false, move));
        QVERIFY(ui.Errors.isEmpty());
        QCOMPARE(entries(dst), QStringList());
        QCOMPARE(readFile(d + "/big/two.bin"), big);

        // Cancelling a replacement keeps the old target.
        writeFile(dst + "/one.bin", "old");
        ui.Overwrite = true;
        ui.CancelAt = 1 << 20;
        QVERIFY(!ShellCopyOrMove(ui, d + "/big/one.bin", dst, false, move));
        QCOMPARE(entries(dst), QStringList{"one.bin"});
        QCOMPARE(readFile(dst + "/one.bin"), QByteArray("old"));
        QVERIFY(QFileInfo::exists(d + "/big/one.bin"));
    }

    void namesThatAreNotUtf8()
    {
        // Such names reach the program decoded with replacement characters;
        // the operations still find and keep the real bytes.
        const QByteArray dir = rawPath(d, "Gr\xFC\xDF"), file = rawPath(d, "\xFF.txt");
        QCOMPARE(::mkdir(dir.constData(), 0755), 0);
        QVERIFY(writeRaw(dir + "/caf\xE9.txt", "coffee"));
        QVERIFY(writeRaw(file, "ff"));
        TTestUi ui;
        ui.CreateFolder = true;
        QVERIFY2(ShellCopyOrMove(ui, QFile::decodeName(file), QFile::decodeName(dir), false, false),
                 qPrintable(LastFileOpError()));
        QCOMPARE(readRaw(dir + "/\xFF.txt"), QByteArray("ff"));
        QVERIFY(ShellCopyOrMove(ui, QFile::decodeName(file), d, true, false));
        QCOMPARE(readRaw(rawPath(d, "\xFF (2).txt")), QByteArray("ff"));
        QVERIFY(ShellCopyOrMove(ui, QFile::decodeName(dir), d + "/copy", false, false));
        QCOMPARE(readRaw(rawPath(d, "copy/caf\xE9.txt")), QByteArray("coffee"));
        QVERIFY(ShellCopyOrMove(ui, QFile::decodeName(dir), d + "/moved/", false, true));
        QVERIFY(!rawExists(dir));
        QCOMPARE(readRaw(rawPath(d, "moved/Gr\xFC\xDF/\xFF.txt")), QByteArray("ff"));
        if (m_other->isValid()) {
            const QString moved = QFile::decodeName(rawPath(d, "moved/Gr\xFC\xDF"));
            QVERIFY(ShellCopyOrMove(ui, moved, m_other->path(), false, true));
            QCOMPARE(readRaw(rawPath(m_other->path(), "Gr\xFC\xDF/caf\xE9.txt")),
                     QByteArray("coffee"));
            QVERIFY(
                ShellDelete(ui, QFile::decodeName(rawPath(m_other->path(), "Gr\xFC\xDF")), false));
            QCOMPARE(rawEntries(QFile::encodeName(m_other->path())), QList<QByteArray>());
        }
        QVERIFY(ShellDelete(ui, QFile::decodeName(file), false));
        QVERIFY(!rawExists(file));
        QCOMPARE(ui.Errors, QStringList());
    }

    void fullDiskAndOtherFileSystems()
    {
        // Small file systems of their own: tmpfs mounts in a private mount
        // namespace of a child process, so none outlives the test. Where
        // mounting is not allowed, the test is skipped.
        const QString noSpace = QString::fromLocal8Bit(std::strerror(ENOSPC));
        QCOMPARE(::mkdir(QFile::encodeName(d + "/src").constData(), 0755), 0);
        writeFile(d + "/src/a.txt", pattern(20000));
        for (const char* m : {"/blocks", "/inodes", "/shared", "/none"})
            QVERIFY(QDir().mkdir(d + m));
        int fds[2];
        QCOMPARE(::pipe(fds), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(fds[0]);
            const auto mountTmpfs = [&](const char* Where, const char* Options) {
                return ::mount("tmpfs", QFile::encodeName(d + Where).constData(), "tmpfs", 0,
                               Options) == 0;
            };
            if (::unshare(CLONE_NEWNS) != 0 ||
                ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                !mountTmpfs("/blocks", "size=64k") ||
                !mountTmpfs("/inodes", "size=64k,nr_inodes=4") ||
                !mountTmpfs("/shared", "size=64k") || !mountTmpfs("/none", "size=64k"))
                ::_exit(77);
            QStringList problems;
            TTestUi ui;
            ui.CreateFolder = true;
            const auto check = [&](bool Ok, const QString& What) {
                if (!Ok)
                    problems << What + " [" + ui.Errors.join(" | ") + "]";
                ui.Errors.clear();
            };
            const QByteArray uid = QByteArray::number(::getuid());

            // No blocks left: the home trash on that disk, and a copy onto it.
            const QString blocks = d + "/blocks";
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
            check(!ShellDelete(ui, blocks + "/victim.txt", true) && ui.Errors.size() == 1 &&
                      ui.Errors.value(0).contains(noSpace),
                  "trash on a full disk");
            check(QFileInfo::exists(blocks + "/victim.txt") &&
                      entries(blocks + "/share/Trash/info").isEmpty(),
                  "trash on a full disk leaves things as they were");
            check(!ShellCopyOrMove(ui, d + "/src/a.txt", blocks, false, false) &&
                      ui.Errors.value(0).contains(noSpace),
                  "copy onto a full disk");
            check(entries(blocks) == QStringList({"filler", "share", "victim.txt"}),
                  "a failed copy leaves nothing");
            qputenv("XDG_DATA_HOME", QFile::encodeName(m_data.path() + "/share"));

            // No inodes left: a missing folder cannot be created.
            const QString inodes = d + "/inodes";
            for (int i = 0;
                 i < 100 && QFile(inodes + "/f" + QString::number(i)).open(QIODevice::WriteOnly);
                 ++i) {
            }
            check(!ShellCopyOrMove(ui, d + "/src", inodes + "/new/deeper/", false, false) &&
                      ui.Errors.value(0).contains(noSpace),
                  "create a folder on a full disk");

            // Another file system than the home trash's: its own trash.
            const QString shared = d + "/shared";
            QDir().mkpath(shared + "/.Trash");
            ::chmod(QFile::encodeName(shared + "/.Trash").constData(), 01777);
            writeFile(shared + "/sub/x.txt", "x");
            check(ShellDelete(ui, shared + "/sub/x.txt", true), "trash on another file system");
            const QByteArray sharedTrash = QFile::encodeName(shared + "/.Trash/") + uid;
            check(trashedFrom(sharedTrash, "").keys() == QList<QByteArray>{"sub/x.txt"} &&
                      readRaw(sharedTrash + "/files/x.txt") == "x",
                  "trashed into the file system's shared trash, the path relative to its top");
            const QString none = d + "/none";
            QDir().mkpath(none + "/.Trash"); // without the sticky bit: not to be used
            writeFile(none + "/.Trash-" + uid, "a file, not a folder");
            writeFile(none + "/y.txt", "y");
            check(!ShellDelete(ui, none + "/y.txt", true) && ui.Errors.size() == 1 &&
                      ui.Errors.value(0).contains("file system"),
                  "no usable trash on the file system");
            check(QFileInfo::exists(none + "/y.txt") && entries(none + "/.Trash").isEmpty(),
                  "a refused trash leaves things as they were");

            const QByteArray out = problems.join('\n').toUtf8();
            const bool written = ::write(fds[1], out.constData(), size_t(out.size())) == out.size();
            ::_exit(written ? 0 : 3);
        }
        ::close(fds[1]);
        const QByteArray out = readAllAndClose(fds[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        QVERIFY(WIFEXITED(status));
        if (WEXITSTATUS(status) == 77)
            QSKIP("tmpfs cannot be mounted here");
        QCOMPARE(WEXITSTATUS(status), 0);
        QVERIFY2(out.isEmpty(), out.constData());
    }

    // ---- the dialogs ----

    void dialogsAnswerAndCancel()
    {
        QStringList shown;
        QMessageBox::StandardButton answer = QMessageBox::Yes;
        HSDialogs::SetHandler([&](QMessageBox::Icon, const QString& text) {
            shown << text;
            return answer;
        });
        const TScopedFileOpUi restore(nullptr); // the dialogs go again when the test ends
        FileOperations::InstallDialogs();
        writeFile(d + "/gone.txt", "x");
        QVERIFY(ShellDelete(d + "/gone.txt", true));
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown.last().contains(d + "/gone.txt") && shown.last().contains("trash"));

        writeFile(d + "/kept.txt", "x");
        answer = QMessageBox::No;
        QVERIFY(!ShellDelete(d + "/kept.txt", false));
        QVERIFY(QFileInfo::exists(d + "/kept.txt"));
        QVERIFY(shown.last().contains("permanently"));

        QVERIFY(!ShellCopyOrMove(d + "/kept.txt", d + "/no/such/folder/", false, false));
        QVERIFY(shown.last().contains("does not exist"));
        QVERIFY(!ShellCopyOrMove(d + "/missing", d + "/x", false, false));
        QCOMPARE(HSDialogs::LastMessage(), LastFileOpError());

        // Cancel pressed in the progress dialog.
        TDialogFileOpUi::SetProgressDelay(0);
        int updates = 0;
        TDialogFileOpUi::SetProgressHook([&](QProgressDialog& dialog) {
            QVERIFY(dialog.isVisible());
            if (++updates == 1)
                dialog.cancel();
        });
        writeFile(d + "/big.bin", pattern(4 << 20));
        QDir().mkdir(d + "/dst");
        const int before = shown.size();
        QVERIFY(!ShellCopyOrMove(d + "/big.bin", d + "/dst", false, false));
        QCOMPARE(updates, 1);
        QCOMPARE(entries(d + "/dst"), QStringList());
        QCOMPARE(shown.size(), before); // cancelling is no error
        TDialogFileOpUi::SetProgressHook(nullptr);
        TDialogFileOpUi::SetProgressDelay(500);
        QVERIFY(ShellCopyOrMove(d + "/big.bin", d + "/dst", false, false));
        QCOMPARE(readFile(d + "/dst/big.bin").size(), 4 << 20);
    }
};

QTEST_MAIN(TestFileUtils)
#include "tst_fileutils.moc"
