// Finding moved files again: the search over a generated tree (moved,
// renamed, moved together, a folder that vanished, a candidate on another
// file system, what the walk must not enter), the store of what the program
// last saw of each file, and the core of relinking.
#include "catalogue/Catalogue.h"
#include "catalogue/LinkRepair.h"
#include "catalogue/SeenTargets.h"
#include "utils/MovedFileSearch.h"

#include <QTemporaryDir>
#include <QtTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "testutil/TestUtil.h"

using namespace FileUtils;

namespace
{

constexpr qint64 OldTime = 1600000000; // the files' modification time

bool makeFile(const QString& path, const QByteArray& content, qint64 modified = OldTime)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!TestUtil::writeFile(path, content))
        return false;
    const struct timespec times[2] = {{modified, 0}, {modified, 0}};
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
}

QStringList pathsOf(const std::vector<Candidate>& found)
{
    QStringList out;
    for (const Candidate& c : found)
        out << c.path;
    return out;
}

LostTarget lostFile(const QString& path, qint64 size, qint64 modified = OldTime)
{
    return {path, TargetKind::File, size, modified};
}

} // namespace

class TestMovedFiles : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_home;

    QString home(const QString& rest) const { return m_home + u'/' + rest; }

    std::vector<std::vector<Candidate>> search(std::vector<LostTarget> lost, QStringList roots = {},
                                               const QStringList& excluded = {})
    {
        if (roots.isEmpty())
            roots << m_home;
        MovedFileSearch s(std::move(lost), roots);
        s.setExcluded(excluded);
        s.run([](int) { return true; });
        return s.candidates();
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_home = m_dir.filePath("home");
        QDir(m_home).removeRecursively();
        QDir().mkpath(m_home);
    }

    void findsMovedAndRenamedFilesBestFirst()
    {
        const QByteArray content(1234, 'x');
        // Report.pdf went from Docs to an archive; copies of other sizes and
        // times and a name in other letters lie about.
        QVERIFY(makeFile(home("Archive/2023/Report.pdf"), content));
        QVERIFY(makeFile(home("Backup/Report.pdf"), content, OldTime + 3600));
        QVERIFY(makeFile(home("Old/Report.pdf"), "short", OldTime - 10));
        QVERIFY(makeFile(home("Elsewhere/Report.pdf"), "short", OldTime - 1000));
        QVERIFY(makeFile(home("Shouting/REPORT.PDF"), content));
        // Renamed where it was: only its size and time tell it.
        QVERIFY(makeFile(home("Docs/Report (final).pdf"), content));
        QVERIFY(makeFile(home("Docs/Other.pdf"), content, OldTime + 1));

        const auto found = search({lostFile(home("Docs/Report.pdf"), content.size())});
        QCOMPARE(pathsOf(found[0]),
                 QStringList({home("Archive/2023/Report.pdf"), home("Backup/Report.pdf"),
                              home("Docs/Report (final).pdf"), home("Old/Report.pdf"),
                              home("Elsewhere/Report.pdf"), home("Shouting/REPORT.PDF")}));
        QCOMPARE(found[0][0].match, CandidateMatch::NameSizeTime);
        QCOMPARE(found[0][0].size, content.size());
        QCOMPARE(found[0][0].modified, OldTime);
        QCOMPARE(found[0][1].match, CandidateMatch::NameSize);
        QCOMPARE(found[0][2].match, CandidateMatch::Renamed);
        QCOMPARE(found[0][3].match, CandidateMatch::Name);
        QCOMPARE(found[0][5].match, CandidateMatch::NameOtherCase);

        // Without a known size or time the name alone counts, the newest first.
        const auto blind = search({{home("Docs/Report.pdf"), TargetKind::File, -1, -1}});
        QCOMPARE(pathsOf(blind[0]).first(), home("Backup/Report.pdf"));
        QVERIFY(!pathsOf(blind[0]).contains(home("Docs/Report (final).pdf")));
    }

    void oneWalkForManyAndFoldersApart()
    {
        // Photos moved together; a folder link whose folder went elsewhere;
        // one whose folder vanished; a file named like the folder is no folder.
        for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
            QVERIFY(makeFile(home(QString("Pictures/Holiday/") + name), name));
        QVERIFY(QDir().mkpath(home("Work/Project/src")));
        QVERIFY(makeFile(home("Notes/Project"), "a file"));
        const auto found = search({lostFile(home("Holiday/a.jpg"), 5),
                                   lostFile(home("Holiday/b.jpg"), 5),
                                   {home("Project"), TargetKind::Folder, -1, -1},
                                   {home("Vanished"), TargetKind::Folder, -1, -1},
                                   lostFile(home("Holiday/missing.jpg"), 1),
                                   {home("Project"), TargetKind::Unknown, -1, -1}});
        QCOMPARE(pathsOf(found[0]), QStringList{home("Pictures/Holiday/a.jpg")});
        QCOMPARE(pathsOf(found[1]), QStringList{home("Pictures/Holiday/b.jpg")});
        QCOMPARE(pathsOf(found[2]), QStringList{home("Work/Project")});
        QVERIFY(found[2][0].folder && !found[0][0].folder);
        QVERIFY(found[3].empty());
        QVERIFY(found[4].empty());
        // Not known whether file or folder: both are offered.
        QStringList either = pathsOf(found[5]);
        either.sort();
        QCOMPARE(either, QStringList({home("Notes/Project"), home("Work/Project")}));
    }

    void staysOutOfWhatIsNotTheUsers()
    {
        const QByteArray content = "kept";
        QVERIFY(makeFile(home(".hidden/notes.txt"), content));
        QVERIFY(makeFile(home(".cache/thumbs/notes.txt"), content));
        QVERIFY(makeFile(home("Trash/files/notes.txt"), content));
        QVERIFY(makeFile(home("Visible/.notes.txt"), content)); // another name
        QVERIFY(makeFile(home("Visible/deep/notes.txt"), content));
        // A link back up would walk forever if it were followed.
        QVERIFY(QFile::link(m_home, home("Visible/loop")));
        QVERIFY(QDir().mkpath(home("Linked")));
        QVERIFY(QFile::link(home("Visible/deep/notes.txt"), home("Linked/notes.txt")));
        // A folder that cannot be read is passed over.
        QVERIFY(makeFile(home("Locked/inner/notes.txt"), content));
        QFile::setPermissions(home("Locked"), QFileDevice::Permissions());
        auto unlock = qScopeGuard([this] {
            QFile::setPermissions(home("Locked"), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                      QFileDevice::ExeOwner);
        });
        const auto found =
            search({lostFile(home("Docs/notes.txt"), content.size())}, {}, {home("Trash")});
        QStringList paths = pathsOf(found[0]);
        paths.sort();
        QStringList expected{home("Linked/notes.txt"), home("Visible/deep/notes.txt")};
        if (::access(QFile::encodeName(home("Locked/inner")).constData(), R_OK) == 0)
            expected << home("Locked/inner/notes.txt"); // run as root: nothing is locked
        expected.sort();
        QCOMPARE(paths, expected);
    }

    void searchesOtherFileSystemsAndEachFolderOnce()
    {
        QTemporaryDir other(QStringLiteral("/dev/shm/quillmere-XXXXXX"));
        if (!other.isValid())
            QSKIP("no /dev/shm here");
        struct stat a, b;
        QVERIFY(::stat(QFile::encodeName(m_home).constData(), &a) == 0);
        QVERIFY(::stat(QFile::encodeName(other.path()).constData(), &b) == 0);
        if (a.st_dev == b.st_dev)
            QSKIP("/dev/shm is on the same file system as the temporary folder");
        QVERIFY(makeFile(other.filePath("usb/thesis.odt"), "chapter"));
        QVERIFY(makeFile(home("Docs/sub/thesis.odt"), "draft", OldTime + 5));
        // The same folders given twice, and one inside another: each is walked once.
        const auto found = search({lostFile(home("Docs/thesis.odt"), 7)},
                                  {m_home, other.path(), other.path() + "/", home("Docs")});
        QCOMPARE(pathsOf(found[0]),
                 QStringList({other.filePath("usb/thesis.odt"), home("Docs/sub/thesis.odt")}));
    }

    void progressAndCancel()
    {
        for (int i = 0; i < 30; ++i)
            QVERIFY(makeFile(home(QString("d%1/e/f.txt").arg(i)), "x"));
        MovedFileSearch all({lostFile(home("f.txt"), 1)}, {m_home});
        QList<int> seen;
        all.run([&seen](int p) {
            seen << p;
            return true;
        });
        QVERIFY(!all.cancelled());
        QCOMPARE(all.candidates()[0].size(), size_t(30));
        QCOMPARE(seen.last(), 1000);
        QVERIFY(std::is_sorted(seen.begin(), seen.end()));

        int calls = 0;
        MovedFileSearch stopped({lostFile(home("f.txt"), 1)}, {m_home});
        stopped.run([&calls](int) { return ++calls < 3; });
        QVERIFY(stopped.cancelled());
        QVERIFY(stopped.candidates()[0].size() < 30);
    }

    void defaultsKeepToTheUsersFiles()
    {
        QVERIFY(MovedFileSearch::isVirtualFileSystem("proc"));
        QVERIFY(MovedFileSearch::isVirtualFileSystem("tmpfs"));
        QVERIFY(!MovedFileSearch::isVirtualFileSystem("ext4"));
        const QStringList roots = MovedFileSearch::defaultRoots();
        QCOMPARE(roots.value(0), QDir::homePath());
        QVERIFY(!roots.contains("/") && !roots.contains("/proc") && !roots.contains("/dev/shm"));
        const QStringList excluded = MovedFileSearch::defaultExcluded();
        QVERIFY(excluded.contains("/proc") && excluded.contains("/sys"));
        QVERIFY(excluded.contains(
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Trash"));
    }

    void storeRemembersWhatWentMissing()
    {
        const QString store = SeenTargets::storeFile(m_dir.path());
        QFile::remove(store);
        const QString kept = home("kept.txt"), gone = home("gone.txt"), folder = home("folder");
        QVERIFY(makeFile(kept, "12345"));
        QVERIFY(makeFile(gone, "1234567", OldTime + 7));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(SeenTargets::refresh(store, {kept, gone, folder, home("never.txt")}, nullptr));
        auto facts = SeenTargets::lookup(store, {kept, gone, folder, home("never.txt")});
        QCOMPARE(facts.size(), 3);
        QCOMPARE(facts[gone].size, 7);
        QCOMPARE(facts[gone].modified, OldTime + 7);
        QCOMPARE(facts[folder].size, -1);

        // Gone now: its last facts stay; a path no longer linked is dropped.
        QVERIFY(QFile::remove(gone));
        QVERIFY(SeenTargets::refresh(store, {gone, folder}, nullptr));
        facts = SeenTargets::lookup(store, {kept, gone});
        QCOMPARE(facts.size(), 1);
        QCOMPARE(facts[gone].size, 7);

        // Nothing changed: the file is left as it is.
        const QDateTime written = QFileInfo(store).lastModified();
        QTest::qWait(20);
        QVERIFY(SeenTargets::refresh(store, {gone, folder}, nullptr));
        QCOMPARE(QFileInfo(store).lastModified(), written);

        // A damaged store is as good as none.
        QVERIFY(TestUtil::writeFile(store, "QMSEEN1\nshort"));
        QVERIFY(SeenTargets::lookup(store, {gone}).isEmpty());
        std::atomic<bool> cancel{true};
        QVERIFY(SeenTargets::refresh(store, QStringList(5000, kept), &cancel));
        QCOMPARE(TestUtil::readFile(store), QByteArray("QMSEEN1\nshort"));
    }

    void relinkingCore()
    {
        QVERIFY(makeFile(home("New/Photos/a.jpg"), "a"));
        QVERIFY(makeFile(home("New/Photos/b.jpg"), "b"));
        QVERIFY(makeFile(home("Old/Photos/c.jpg"), "c")); // still there: not moved
        QVERIFY(makeFile(home("New/Photos/sub/d.jpg"), "d"));
        Catalogue cat;
        cat.setFileTypeIcons(false);
        TreeNode* top = cat.addCategoryNode(nullptr, "Top");
        TreeNode* a = cat.addLinkNode(home("Old/Photos/a.jpg"), top, "", false);
        TreeNode* b = cat.addLinkNode(home("Old/Photos/b.jpg"), top, "", false);
        TreeNode* c = cat.addLinkNode(home("Old/Photos/c.jpg"), top, "", false);
        TreeNode* d = cat.addLinkNode(home("Old/Photos/sub/d.jpg"), top, "", false);
        TreeNode* e = cat.addLinkNode(home("Old/Photos/e.jpg"), top, "", false); // nowhere
        TreeNode* twin = cat.addLinkNode(home("Old/Photos/b.jpg"), top, "Twin", false);
        cat.addLinkNode("https://example.org/Old/Photos/a.jpg", top, "Site", true);
        cat.nodes().editRecord(a, [](NodeInfo& i) {
            i.comments = "mine";
            i.sAdditional = "urgent";
        });

        QCOMPARE(fileLinkPaths(cat.nodes()),
                 QStringList({home("Old/Photos/a.jpg"), home("Old/Photos/b.jpg"),
                              home("Old/Photos/c.jpg"), home("Old/Photos/sub/d.jpg"),
                              home("Old/Photos/e.jpg"), home("Old/Photos/b.jpg")}));
        const QStringList missing = missingPaths(fileLinkPaths(cat.nodes()));
        QCOMPARE(missing, QStringList({home("Old/Photos/a.jpg"), home("Old/Photos/b.jpg"),
                                       home("Old/Photos/sub/d.jpg"), home("Old/Photos/e.jpg")}));
        const QSet<QString> missingSet(missing.begin(), missing.end());
        QCOMPARE(entriesAt(cat.nodes(), missingSet), std::vector<TreeNode*>({a, b, d, e, twin}));

        QCOMPARE(linkMove(home("Old/Photos/a.jpg"), home("New/Photos/a.jpg")).from, home("Old"));
        QCOMPARE(linkMove(home("Old/Photos/a.jpg"), home("New/Photos/a.jpg")).to, home("New"));
        QCOMPARE(linkMove("/a/old.txt", "/a/new.txt").from, QString("/a/old.txt"));
        QCOMPARE(linkMove("/x/f", "/y/x/f").from, QString("/"));
        QCOMPARE(linkMove("/x/f", "/y/x/f").to, QString("/y"));

        relinkEntry(cat, a, home("New/Photos/a.jpg"));
        QCOMPARE(a->data()->fullName, home("New/Photos/a.jpg"));
        QCOMPARE(a->text(), QString("a.jpg"));
        QCOMPARE(a->data()->comments, QString("mine"));
        QCOMPARE(a->data()->sAdditional, QString("urgent"));
        QVERIFY(a->imageIndex() != int(imgMissing));

        const auto same = movedTheSameWay(
            cat.nodes(), linkMove(home("Old/Photos/a.jpg"), home("New/Photos/a.jpg")), a);
        QCOMPARE(same.size(), size_t(3));
        QCOMPARE(same[0].first, b);
        QCOMPARE(same[0].second, home("New/Photos/b.jpg"));
        QCOMPARE(same[1].first, d);
        QCOMPARE(same[1].second, home("New/Photos/sub/d.jpg"));
        QCOMPARE(same[2].first, twin);
        Q_UNUSED(c);

        // A name that is not UTF-8 reaches the catalogue decoded; the file
        // is still there, not missing.
        const QByteArray raw = QFile::encodeName(home("New")) + "/latin\xFF.txt";
        const int fd = ::open(raw.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        QVERIFY(fd >= 0);
        ::close(fd);
        const QString decoded = QFile::decodeName(raw);
        QVERIFY(decoded.contains(QChar::ReplacementCharacter));
        QVERIFY(missingPaths({decoded, home("New/nowhere.txt")}) ==
                QStringList{home("New/nowhere.txt")});
    }
};

QTEST_MAIN(TestMovedFiles)
#include "tst_movedfiles.moc"
