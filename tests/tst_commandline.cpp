// The command line through the real executable, without a display: help and
// version, the listing and the search, the data folder, and the refusals.
#include "catalogue/CatalogueListing.h"
#include "utils/DataFolder.h"
#include "utils/Desktop.h"
#include "utils/Installation.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

#include "testutil/TestUtil.h"

namespace
{

// A copy of the program in a folder of its own, with settings and data
// folders of its own and no display at all.
struct Copy {
    QTemporaryDir dir;
    QString exe;
    QProcessEnvironment env;

    Copy()
    {
        exe = dir.filePath("quillmere");
        QFile::copy(qEnvironmentVariable("QUILLMERE_EXE"), exe);
        QFile::setPermissions(exe, QFile::permissions(exe) | QFile::ExeOwner);
        env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        env.insert("XDG_DATA_HOME", dir.filePath("data"));
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(name);
    }

    struct Result {
        int status = -1;
        QByteArray out, err;
    };
    Result run(const QStringList& args) const
    {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(exe, args);
        Result r;
        if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit)
            return r; // a crash (the xcb abort) shows as status -1
        r.status = p.exitCode();
        r.out = p.readAllStandardOutput();
        r.err = p.readAllStandardError();
        return r;
    }
    QString userFolder() const { return dir.filePath("data/Quillmere"); }
};

QByteArray line(const QString& name, int level, const QString& path, const char* kind,
                const QString& comment = {}, const QString& additional = {})
{
    return TestUtil::catalogueLine(name, level, path, kind, comment, additional);
}

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void helpAndVersionNeedNoDisplayAndTouchNothing()
    {
        Copy c;
        const auto help = c.run({"--help"});
        QCOMPARE(help.status, 0);
        for (const char* option : {"--category", "--list", "--find", "--data-dir", "--version"})
            QVERIFY2(help.out.contains(option), option);
        const auto version = c.run({"-v"});
        QCOMPARE(version.status, 0);
        QCOMPARE(version.out, QByteArray("Quillmere 3.3\n"));
        // Help wins over anything else on the line, items too.
        QCOMPARE(c.run({"--list", "--help", "/nowhere"}).status, 0);
        // No catalogue folder, no settings: nothing was touched.
        QVERIFY(!QFileInfo::exists(c.dir.filePath("data")));
        QVERIFY(!QFileInfo::exists(c.dir.filePath("config")));
        QCOMPARE(QDir(c.dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList{"quillmere"});
    }

    void wrongCommandLinesAreRefused_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown") << QStringList{"--bogus"} << "Unknown option 'bogus'";
        QTest::newRow("two actions") << QStringList{"--list", "--data-dir"} << "cannot be combined";
        QTest::newRow("list with items") << QStringList{"--list", "x"} << "take no items";
        QTest::newRow("empty find") << QStringList{"--find", " "} << "needs a text";
        QTest::newRow("find without text") << QStringList{"--find"} << "Missing value";
        QTest::newRow("empty name")
            << QStringList{"--category", "Work//Reports", "/etc/hosts"} << "has an empty name";
        QTest::newRow("category alone") << QStringList{"--category", "Work"} << "needs files";
        QTest::newRow("line break") << QStringList{"bad\nname"}
                                    << "\"bad\\nname\" is not filed: "
                                       "it holds a line break.";
        QTest::newRow("nothing there") << QStringList{"/no/such/file"}
                                       << "\"/no/such/file\" is not filed: no such file or folder.";
        QTest::newRow("no display") << QStringList{"/etc/hosts"} << "no display";
    }

    void wrongCommandLinesAreRefused()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        Copy c;
        const auto r = c.run(args);
        QCOMPARE(r.status, 2);
        QVERIFY2(QString::fromUtf8(r.err).contains(message), r.err.constData());
        QVERIFY(r.out.isEmpty());
        QVERIFY(!QFileInfo::exists(c.userFolder()));
    }

    void listAndFindReadTheCatalogue()
    {
        Copy c;
        // Beside the executable: a portable copy's catalogue.
        QVERIFY(TestUtil::writeFile(
            c.dir.filePath("quillmere.dat"),
            line("Arbeit/Privat", 0, {}, "1", "mine") +
                line("Résumé", 1, "/home/ann/résumé.odt", "2", "first\tdraft", "Státus") +
                line("Sub", 1, {}, "1") + line("Site", 2, "https://example.org/ü", "4") +
                line("日本", 0, {}, "1") + line("Notes", 1, "C:\\temp\\n.txt", "2") +
                line("Photos", 1, "/home/ann/Photos", "3")));
        const auto list = c.run({"--list"});
        QCOMPARE(list.status, 0);
        QCOMPARE(QString::fromUtf8(list.out),
                 QString("\tArbeit/Privat\tcategory\t\tmine\t\n"
                         "Arbeit\\/Privat\tRésumé\tdocument\t/home/ann/résumé.odt\tfirst\\tdraft"
                         "\tStátus\n"
                         "Arbeit\\/Privat\tSub\tcategory\t\t\t\n"
                         "Arbeit\\/Privat/Sub\tSite\thyperlink\thttps://example.org/ü\t\t\n"
                         "\t日本\tcategory\t\t\t\n"
                         "日本\tNotes\tdocument\tC:\\\\temp\\\\n.txt\t\t\n"
                         "日本\tPhotos\tfolder\t/home/ann/Photos\t\t\n"));
        QVERIFY(list.err.isEmpty());

        // The filter's rules: case and accents ignored, every word somewhere.
        const auto found = c.run({"--find", "RESUME"});
        QCOMPARE(found.status, 0);
        QCOMPARE(found.out.count('\n'), 1);
        QVERIFY(found.out.startsWith("Arbeit\\/Privat\tRésumé\t"));
        QCOMPARE(c.run({"--find", "draft status"}).out, found.out);
        QCOMPARE(c.run({"--find", "EXAMPLE.ORG"}).out.count('\n'), 1);
        // A word does not run across two fields.
        QCOMPARE(c.run({"--find", "draftstatus"}).status, 1);
        const auto none = c.run({"--find", "nowhere"});
        QCOMPARE(none.status, 1);
        QVERIFY(none.out.isEmpty());
        // Reading it wrote nothing: no data folder, the file as it was.
        QVERIFY(!QFileInfo::exists(c.userFolder()));
    }

    void unreadableCataloguesAreErrors()
    {
        Copy c;
        QVERIFY(QDir().mkpath(c.userFolder()));
        // No catalogue yet: an empty listing; nothing to find.
        QCOMPARE(c.run({"--list"}).status, 0);
        QCOMPARE(c.run({"--find", "x"}).status, 1);
        // A bad line: what came before it is printed, then the error.
        QVERIFY(TestUtil::writeFile(c.userFolder() + "/quillmere.dat",
                                    line("Work", 0, {}, "1") + line("Deep", 5, {}, "1")));
        const auto r = c.run({"--list"});
        QCOMPARE(r.status, 2);
        QCOMPARE(r.out, QByteArray("\tWork\tcategory\t\t\t\n"));
        QVERIFY2(r.err.contains("Invalid level (5)"), r.err.constData());
        // A folder where the file should be.
        QVERIFY(QFile::remove(c.userFolder() + "/quillmere.dat"));
        QVERIFY(QDir().mkdir(c.userFolder() + "/quillmere.dat"));
        QCOMPARE(c.run({"--list"}).status, 2);
    }

    void dataFolderFollowsTheCatalogue()
    {
        Copy c;
        const auto dataDir = [&c] {
            return QString::fromUtf8(c.run({"--data-dir"}).out).trimmed();
        };
        // Nothing beside the program: the user's data folder.
        QCOMPARE(dataDir(), c.userFolder());
        QVERIFY(!QFileInfo::exists(c.userFolder())); // named, not made
        // The legacy file or the catalogue beside it keep that folder in use.
        QVERIFY(TestUtil::writeFile(c.dir.filePath("MyDocs.qmre"), "Old~~\r\n"));
        QCOMPARE(dataDir(), c.dir.path());
        QVERIFY(QFile::remove(c.dir.filePath("MyDocs.qmre")));
        QVERIFY(QFile::link("/nowhere", c.dir.filePath("quillmere.dat")));
        QCOMPARE(dataDir(), c.dir.path());
        QVERIFY(QFile::remove(c.dir.filePath("quillmere.dat")));
        // The listing reads the folder in use.
        QVERIFY(QDir().mkpath(c.userFolder()));
        QVERIFY(TestUtil::writeFile(c.userFolder() + "/quillmere.dat", line("Mine", 0, {}, "1")));
        QCOMPARE(c.run({"--list"}).out, QByteArray("\tMine\tcategory\t\t\t\n"));
    }

    void dataFolderIsMadePrivate()
    {
        QTemporaryDir base;
        QVERIFY(QFile::setPermissions(base.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                       QFile::ExeOwner | QFile::ReadGroup |
                                                       QFile::ExeGroup));
        const QString folder = base.filePath("share/Quillmere");
        QVERIFY(DataFolder::make(folder));
        for (const QString& made : {base.filePath("share"), folder}) {
            struct stat st {
            };
            QCOMPARE(::stat(QFile::encodeName(made).constData(), &st), 0);
            QCOMPARE(st.st_mode & 0777, 0700u);
        }
        // What was there is left as it was.
        struct stat st {
        };
        QCOMPARE(::stat(QFile::encodeName(base.path()).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0750u);
        QVERIFY(DataFolder::make(folder)); // and a second time is no failure
        QVERIFY(TestUtil::writeFile(base.filePath("file"), "x"));
        QVERIFY(!DataFolder::make(base.filePath("file/Quillmere")));
    }

    void categoryPaths()
    {
        using CatalogueListing::categoryPathText;
        using CatalogueListing::splitCategoryPath;
        QCOMPARE(splitCategoryPath(u"Work/Reports"), (QStringList{"Work", "Reports"}));
        QCOMPARE(splitCategoryPath(u"A\\/B/C"), (QStringList{"A/B", "C"}));
        QCOMPARE(splitCategoryPath(u"a\\\\/b"), (QStringList{"a\\", "b"}));
        QCOMPARE(splitCategoryPath(u"C:\\temp"), QStringList{"C:\\temp"}); // a lone '\' is itself
        for (const char16_t* empty : {u"", u"/", u"a//b", u"a/", u"/a"})
            QVERIFY(splitCategoryPath(empty).isEmpty());
        for (const QStringList& names :
             {QStringList{"A/B", "C\\D", "E"}, QStringList{"\\"}, QStringList{"x/"}})
            QCOMPARE(splitCategoryPath(categoryPathText(names)), names);
    }

    // The entry "Start at login" wrote under the program's title becomes the
    // one named by the desktop id, so the program is not started twice.
    void oldAutostartEntryMoves()
    {
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        const QString id = QString::fromUtf16(Installation::DesktopId);
        const QString old = Desktop::autoStartFile("Quillmere"), now = Desktop::autoStartFile(id);
        QVERIFY(QDir().mkpath(QFileInfo(old).path()));
        const QByteArray ours = "[Desktop Entry]\nExec=\"/opt/My Apps/quillmere\"\n";
        QVERIFY(TestUtil::writeFile(old, ours));
        Desktop::moveAutoStart("Quillmere", id);
        QVERIFY(!QFileInfo::exists(old));
        QCOMPARE(TestUtil::readFile(now), ours);
        QVERIFY(Desktop::isAutoStart(id, "/opt/My Apps/quillmere"));
        // Both there: the old one goes, the new one stays as it is.
        QVERIFY(TestUtil::writeFile(old, "[Desktop Entry]\nExec=/usr/bin/quillmere\n"));
        Desktop::moveAutoStart("Quillmere", id);
        QVERIFY(!QFileInfo::exists(old));
        QCOMPARE(TestUtil::readFile(now), ours);
        // Another program's entry of that name is not ours to move.
        const QByteArray theirs = "[Desktop Entry]\nExec=/usr/bin/quillmere-sync --daemon\n";
        QVERIFY(TestUtil::writeFile(old, theirs));
        QVERIFY(QFile::remove(now));
        Desktop::moveAutoStart("Quillmere", id);
        QCOMPARE(TestUtil::readFile(old), theirs);
        QVERIFY(!QFileInfo::exists(now));
    }

    void helpPageIsFoundWhereAnInstallPutsIt()
    {
        QTemporaryDir prefix;
        const QString bin = prefix.filePath("bin");
        const QString installed = prefix.filePath("share/doc/quillmere/help.html");
        QVERIFY(QDir().mkpath(bin));
        QCOMPARE(Installation::helpFile(bin), bin + "/help.html"); // where to look, for the message
        QVERIFY(QDir().mkpath(QFileInfo(installed).path()));
        QVERIFY(TestUtil::writeFile(installed, "<html/>"));
        QCOMPARE(Installation::helpFile(bin), installed);
        QVERIFY(TestUtil::writeFile(bin + "/help.html", "<html/>"));
        QCOMPARE(Installation::helpFile(bin), bin + "/help.html");
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
