// The real program under an X server: items on the command line reach the
// running copy (or the copy they start), a request waits while a dialog is
// open, the window carries the desktop id as its class, an autostart entry
// under the old name moves, and an install into a prefix runs.
#include "utils/Installation.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "testutil/TestUtil.h"

namespace
{

const QString MainWindowName = QStringLiteral("^Quillmere 3\\.3( - .*)?$");

struct Copy {
    QTemporaryDir dir;
    QString exe;
    QProcessEnvironment env;
    QProcess first;

    // A copy of the program with settings and data folders of its own.
    explicit Copy(const QString& runtime, const QString& executable = {})
    {
        exe = executable;
        if (exe.isEmpty()) {
            exe = dir.filePath("quillmere");
            QFile::copy(qEnvironmentVariable("QUILLMERE_EXE"), exe);
            QFile::setPermissions(exe, QFile::permissions(exe) | QFile::ExeOwner);
        }
        env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        env.insert("XDG_DATA_HOME", dir.filePath("data"));
        env.insert("XDG_RUNTIME_DIR", runtime);
        env.remove("QT_QPA_PLATFORM");
        // No hot key: another program holding it would greet the start with
        // a box, and requests wait while a box is open.
        QDir().mkpath(dir.filePath("config/Velmarch"));
        TestUtil::writeFile(dir.filePath("config/Velmarch/Quillmere.conf"),
                            "[General]\nHotKey=0\n");
        first.setProcessEnvironment(env);
        first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    ~Copy()
    {
        if (first.state() != QProcess::NotRunning) {
            first.kill();
            first.waitForFinished(10000);
        }
    }

    struct Result {
        int status = -1;
        QByteArray err;
    };
    // Another start of the same executable, to its end.
    Result run(const QStringList& args, bool display = true) const
    {
        QProcess p;
        QProcessEnvironment e = env;
        if (!display)
            e.remove("DISPLAY");
        p.setProcessEnvironment(e);
        p.setWorkingDirectory(dir.path());
        p.start(exe, args);
        Result r;
        if (p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit)
            r.status = p.exitCode();
        r.err = p.readAllStandardError();
        return r;
    }

    QStringList windows(const QString& name) const
    {
        QByteArray out;
        TestUtil::run("xdotool",
                      {"search", "--all", "--onlyvisible", "--pid",
                       QString::number(first.processId()), "--name", name},
                      &out);
        return QString::fromLatin1(out).split('\n', Qt::SkipEmptyParts);
    }
    bool titled(const QString& category) const
    {
        return !windows("^Quillmere 3\\.3 - " + QRegularExpression::escape(category) + "$")
                    .isEmpty();
    }
    // The main window's title, while there is one.
    QString title() const
    {
        const QStringList ids = windows(MainWindowName);
        QByteArray out;
        if (ids.isEmpty() || !TestUtil::run("xdotool", {"getwindowname", ids.first()}, &out))
            return {};
        return QString::fromUtf8(out).trimmed();
    }
    void start(const QStringList& args = {})
    {
        first.start(exe, args);
        QVERIFY(first.waitForStarted(10000));
        QVERIFY(QTest::qWaitFor([&] { return !windows(MainWindowName).isEmpty(); }, 20000));
    }
    // Ends the first copy as the session would (it saves), then lists what it saved.
    QString stopAndList()
    {
        first.terminate();
        if (!first.waitForFinished(20000))
            return QStringLiteral("(the program did not end)");
        QProcess list;
        list.setProcessEnvironment(env);
        list.start(exe, {"--list"});
        list.waitForFinished(20000);
        return QString::fromUtf8(list.readAllStandardOutput());
    }
    QString file(const QString& name) const
    {
        const QString path = dir.filePath(name);
        TestUtil::writeFile(path, "x");
        return path;
    }
};

} // namespace

class TestCommandLineX11 : public QObject
{
    Q_OBJECT
    QTemporaryDir m_runtime;

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X server");
        if (QStandardPaths::findExecutable("xdotool").isEmpty() ||
            QStandardPaths::findExecutable("xprop").isEmpty())
            QSKIP("needs xdotool and xprop");
    }

    void itemsReachTheRunningCopy()
    {
        Copy c(m_runtime.path());
        QVERIFY(TestUtil::writeFile(c.dir.filePath("quillmere.dat"),
                                    TestUtil::catalogueLine("Main", 0, {}, "1") +
                                        TestUtil::catalogueLine("Work", 0, {}, "1")));
        c.start();
        const QString one = c.file("one.txt"), two = c.file("two.txt"), three = c.file("three.txt");

        // Into the main category; a relative path is the caller's folder's.
        // Handing over needs no display of the caller's.
        auto r = c.run({"one.txt", "https://example.org/page"}, false);
        QCOMPARE(r.status, 0);
        QVERIFY(QTest::qWaitFor([&] { return c.titled("Main"); }, 20000));
        // Into a category made where missing, '/' in its name written "\/".
        r = c.run({"--category", "work/Rep\\/orts", two});
        QCOMPARE(r.status, 0);
        QVERIFY(QTest::qWaitFor([&] { return c.titled("Rep/orts"); }, 20000));
        // A refused argument is told; the others are still filed.
        r = c.run({"bad\nname", three});
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains("\"bad\\nname\" is not filed"), r.err.constData());
        QVERIFY(QTest::qWaitFor([&] { return c.titled("Main"); }, 20000));

        // While a modal dialog is open the request waits, and the caller
        // does not: Help > About... with the keyboard, as a user would.
        const QString window = c.windows(MainWindowName).first();
        QVERIFY(TestUtil::run("xdotool", {"windowactivate", "--sync", window}));
        QVERIFY(TestUtil::run("xdotool", {"key", "--clearmodifiers", "alt+h"}));
        QVERIFY(TestUtil::run("xdotool", {"key", "--clearmodifiers", "a"}));
        QVERIFY(QTest::qWaitFor([&] { return !c.windows("^About Quillmere$").isEmpty(); }, 20000));
        r = c.run({"--category", "Inbox", c.file("four.txt")});
        QCOMPARE(r.status, 0);
        // A second request is answered only after the first one's receipt
        // was handled; the box is still up and nothing was filed under it.
        QCOMPARE(c.run({}).status, 0);
        QVERIFY(!c.windows("^About Quillmere$").isEmpty());
        QCOMPARE(c.title(), QString("Quillmere 3.3 - Main"));
        const QString box = c.windows("^About Quillmere$").first();
        QVERIFY(TestUtil::run("xdotool", {"windowactivate", "--sync", box}));
        QVERIFY(TestUtil::run("xdotool", {"key", "--clearmodifiers", "Return"}));
        QVERIFY(QTest::qWaitFor([&] { return c.titled("Inbox"); }, 20000));

        QCOMPARE(c.stopAndList(),
                 "\tMain\tcategory\t\t\t\n"
                 "Main\tone.txt\tdocument\t" +
                     one +
                     "\t\t\n"
                     "Main\thttps://example.org/page\thyperlink\thttps://example.org/page\t\t\n"
                     "Main\tthree.txt\tdocument\t" +
                     three +
                     "\t\t\n"
                     "\tWork\tcategory\t\t\t\n"
                     "Work\tRep/orts\tcategory\t\t\t\n"
                     "Work/Rep\\/orts\ttwo.txt\tdocument\t" +
                     two +
                     "\t\t\n"
                     "\tInbox\tcategory\t\t\t\n"
                     "Inbox\tfour.txt\tdocument\t" +
                     c.dir.filePath("four.txt") + "\t\t\n");
    }

    // A fresh start with items: the copy they start files them once it is
    // up, keeps its catalogue in the data folder, names its window with the
    // desktop id, and moves an autostart entry written under the old name.
    void firstStartFilesItsItemsInTheDataFolder()
    {
        Copy c(m_runtime.path());
        const QString autostart = c.dir.filePath("config/autostart/");
        QVERIFY(QDir().mkpath(autostart));
        QVERIFY(TestUtil::writeFile(autostart + "Quillmere.desktop",
                                    "[Desktop Entry]\nType=Application\nName=Quillmere\nExec=\"" +
                                        c.exe.toUtf8() + "\"\n"));
        const QString item = c.file("item.txt");
        c.start({"--category", "New", item});
        QVERIFY(QTest::qWaitFor([&] { return c.titled("New"); }, 20000));

        QByteArray wmClass;
        QVERIFY(TestUtil::run("xprop", {"-id", c.windows(MainWindowName).first(), "WM_CLASS"},
                              &wmClass));
        QCOMPARE(wmClass.trimmed(), "WM_CLASS(STRING) = \"quillmere\", \"" +
                                        QString::fromUtf16(Installation::DesktopId).toUtf8() +
                                        "\"");
        const QString moved = autostart + QString::fromUtf16(Installation::DesktopId) + ".desktop";
        QVERIFY(!QFileInfo::exists(autostart + "Quillmere.desktop"));
        QVERIFY(TestUtil::readFile(moved).contains(c.exe.toUtf8()));

        // A request still waiting for a dialog when the session ends the
        // run was answered: it is filed and saved.
        const QString window = c.windows(MainWindowName).first();
        QVERIFY(TestUtil::run("xdotool", {"windowactivate", "--sync", window}));
        QVERIFY(TestUtil::run("xdotool", {"key", "--clearmodifiers", "alt+h"}));
        QVERIFY(TestUtil::run("xdotool", {"key", "--clearmodifiers", "a"}));
        QVERIFY(QTest::qWaitFor([&] { return !c.windows("^About Quillmere$").isEmpty(); }, 20000));
        const QString late = c.file("late.txt");
        QCOMPARE(c.run({"--category", "New", late}).status, 0);
        QVERIFY(c.stopAndList().endsWith("\tNew\tcategory\t\t\t\nNew\titem.txt\tdocument\t" + item +
                                         "\t\t\nNew\tlate.txt\tdocument\t" + late + "\t\t\n"));
        QVERIFY(QFileInfo::exists(c.dir.filePath("data/Quillmere/quillmere.dat")));
        QVERIFY(!QFileInfo::exists(c.dir.filePath("quillmere.dat")));
    }

    void installedProgramRuns()
    {
        const QString cmake = qEnvironmentVariable("CMAKE_COMMAND");
        const QString build = qEnvironmentVariable("QUILLMERE_BUILD_DIR");
        if (cmake.isEmpty() || build.isEmpty())
            QSKIP("needs CMAKE_COMMAND and QUILLMERE_BUILD_DIR");
        QTemporaryDir prefix;
        QByteArray log;
        QVERIFY2(TestUtil::run(cmake, {"--install", build, "--prefix", prefix.path()}, &log),
                 log.constData());
        const QString id = QString::fromUtf16(Installation::DesktopId);
        QStringList expected{"bin/quillmere",
                             "share/doc/quillmere/help.html",
                             "share/applications/" + id + ".desktop",
                             "share/icons/hicolor/scalable/apps/" + id + ".svg",
                             "share/metainfo/" + id + ".metainfo.xml",
                             "share/man/man1/quillmere.1.gz"};
        for (int size : {16, 32, 48, 64, 128, 256})
            expected << QString("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(id);
        for (const QString& file : expected)
            QVERIFY2(QFileInfo(prefix.filePath(file)).isFile(), qPrintable(file));
        const QByteArray entry = TestUtil::readFile(prefix.filePath(expected[2]));
        for (const QByteArray& key :
             {QByteArray("Exec=quillmere %F\n"), "StartupWMClass=" + id.toUtf8() + "\n",
              "Icon=" + id.toUtf8() + "\n"})
            QVERIFY2(entry.contains(key), key.constData());

        // Started from the prefix with nothing beside it: the help page is
        // the installed one, the catalogue goes to the data folder.
        Copy c(m_runtime.path(), prefix.filePath("bin/quillmere"));
        c.start();
        c.first.terminate();
        QVERIFY(c.first.waitForFinished(20000));
        QCOMPARE(c.first.exitCode(), 0);
        QVERIFY(QFileInfo::exists(c.dir.filePath("data/Quillmere/quillmere.dat")));
        QVERIFY(!QFileInfo::exists(prefix.filePath("bin/quillmere.dat")));
    }
};

QTEST_GUILESS_MAIN(TestCommandLineX11)
#include "tst_commandline_x11.moc"
