// The real program under an X server: a second copy hands over to the first,
// and termination by signal writes the catalogue.
#include "utils/SingleInstance.h"

#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

#include "testutil/TestUtil.h"

class TestProgram : public QObject
{
    Q_OBJECT
    QTemporaryDir m_runtime;

    struct Copy {
        QTemporaryDir dir;
        QString exe;
        QProcessEnvironment env;
    };

    static void prepare(Copy& c)
    {
        QVERIFY(c.dir.isValid());
        c.exe = c.dir.filePath("quillmere");
        QVERIFY(QFile::copy(qEnvironmentVariable("QUILLMERE_EXE"), c.exe));
        QFile::setPermissions(c.exe, QFile::permissions(c.exe) | QFile::ExeOwner);
        c.env = QProcessEnvironment::systemEnvironment();
        c.env.insert("XDG_CONFIG_HOME", c.dir.filePath("config"));
        c.env.insert("XDG_DATA_HOME", c.dir.filePath("data"));
        c.env.remove("QT_QPA_PLATFORM");
    }

    static bool windowShown(qint64 pid)
    {
        QProcess xdotool;
        xdotool.start("xdotool", {"search", "--all", "--onlyvisible", "--pid", QString::number(pid),
                                  "--name", "^Quillmere 3\\.3( - .*)?$"});
        xdotool.waitForFinished(5000);
        const QByteArray out = xdotool.readAllStandardOutput().trimmed();
        return !out.isEmpty();
    }

    template <typename F> static bool waitFor(F condition, int ms = 20000)
    {
        QDeadlineTimer deadline(ms);
        while (!condition()) {
            if (deadline.hasExpired())
                return false;
            QTest::qWait(100);
        }
        return true;
    }

    // The outer bounds of the copy's main window, frame included, from the
    // X server and the window manager; empty while it is not framed yet.
    static QRect frameOf(qint64 pid)
    {
        QProcess xdotool;
        xdotool.start("xdotool", {"search", "--all", "--onlyvisible", "--pid", QString::number(pid),
                                  "--name", "^Quillmere 3\\.3( - .*)?$"});
        xdotool.waitForFinished(5000);
        const QString window =
            QString::fromUtf8(xdotool.readAllStandardOutput()).split('\n').value(0).trimmed();
        if (window.isEmpty())
            return {};
        QProcess info, prop;
        info.start("xwininfo", {"-id", window});
        prop.start("xprop", {"-id", window, "_NET_FRAME_EXTENTS"});
        info.waitForFinished(5000);
        prop.waitForFinished(5000);
        const QString text = QString::fromUtf8(info.readAllStandardOutput());
        const auto number = [&](const QString& label) {
            return QRegularExpression(label + ":\\s*(-?\\d+)").match(text).captured(1).toInt();
        };
        const QRegularExpressionMatch extents =
            QRegularExpression("= (\\d+), (\\d+), (\\d+), (\\d+)")
                .match(QString::fromUtf8(prop.readAllStandardOutput()));
        if (!extents.hasMatch())
            return {};
        const int l = extents.captured(1).toInt(), r = extents.captured(2).toInt(),
                  t = extents.captured(3).toInt(), b = extents.captured(4).toInt();
        return QRect(number("Absolute upper-left X") - l, number("Absolute upper-left Y") - t,
                     number("Width") + l + r, number("Height") + t + b);
    }

    static QRect displayGeometry()
    {
        QProcess xdotool;
        xdotool.start("xdotool", {"getdisplaygeometry"});
        xdotool.waitForFinished(5000);
        const QStringList wh = QString::fromUtf8(xdotool.readAllStandardOutput()).split(' ');
        return QRect(0, 0, wh.value(0).toInt(), wh.value(1).trimmed().toInt());
    }

    static void startAndWait(QProcess& p, Copy& c)
    {
        p.setProcessEnvironment(c.env);
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(c.exe, {});
        QVERIFY(p.waitForStarted(10000));
        // Up once the window shows: the signal handlers are in place by then.
        QVERIFY(waitFor([&] { return windowShown(p.processId()); }));
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X server");
        if (QStandardPaths::findExecutable("xdotool").isEmpty())
            QSKIP("needs xdotool");
        qputenv("XDG_RUNTIME_DIR", m_runtime.path().toUtf8());
    }

    void sigtermWritesTheCatalogue_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGHUP") << int(SIGHUP);
        QTest::newRow("SIGINT") << int(SIGINT);
    }

    void sigtermWritesTheCatalogue()
    {
        QFETCH(int, signal);
        Copy c;
        prepare(c);
        // Only a legacy file: the catalogue file appears only if the run ends with a save.
        QFile legacy(c.dir.filePath("MyDocs.qmre"));
        QVERIFY(legacy.open(QIODevice::WriteOnly));
        legacy.write("Imported~~from old times\r\n\tWeb~https://example.org/~\r\n");
        legacy.close();
        QProcess p;
        startAndWait(p, c);
        QVERIFY(!QFile::exists(c.dir.filePath("quillmere.dat")));
        ::kill(pid_t(p.processId()), signal);
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        QFile dat(c.dir.filePath("quillmere.dat"));
        QVERIFY(dat.open(QIODevice::ReadOnly));
        const char expected[] = "Imported\0"
                                "0\0\0from old times\0"
                                "1\0\r\n"
                                "Web\0"
                                "1\0https://example.org/\0\0"
                                "4\0\r\n";
        QCOMPARE(dat.readAll(), QByteArray(expected, sizeof expected - 1));
    }

    void startupErrorBoxIsCentredOnThePlacedWindow()
    {
        Copy c;
        prepare(c);
        QVERIFY(TestUtil::writeFile(c.dir.filePath("quillmere.dat"),
                                    TestUtil::catalogueLine("Work", 0, {}, "1") +
                                        TestUtil::catalogueLine("Deep", 5, {}, "1")));
        QProcess p;
        startAndWait(p, c);
        auto geometry = [](const QString& id) {
            QProcess x;
            x.start("xdotool", {"getwindowgeometry", "--shell", id});
            x.waitForFinished(5000);
            QMap<QString, int> g;
            for (const QString& l : QString::fromLatin1(x.readAllStandardOutput()).split('\n'))
                g[l.section('=', 0, 0)] = l.section('=', 1).toInt();
            return QRect(g["X"], g["Y"], g["WIDTH"], g["HEIGHT"]);
        };
        auto visible = [&](const QString& pattern) {
            QProcess x;
            x.start("xdotool", {"search", "--all", "--onlyvisible", "--pid",
                                QString::number(p.processId()), "--name", pattern});
            x.waitForFinished(5000);
            return QString::fromLatin1(x.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        };
        // The box carries the program's name (as a docked tray icon would, but that one is tiny).
        QStringList box;
        QVERIFY(waitFor([&] {
            box.clear();
            for (const QString& id : visible("^Quillmere$"))
                if (geometry(id).width() > 64)
                    box << id;
            return !box.isEmpty();
        }));
        const QStringList main = visible("^Quillmere 3\\.3 - ");
        QVERIFY(!main.isEmpty());
        const QRect window = geometry(main.first()), dialog = geometry(box.first());
        QVERIFY2((window.center() - dialog.center()).manhattanLength() < 60,
                 qPrintable(QString("window %1,%2 %3x%4, box %5,%6 %7x%8")
                                .arg(window.x())
                                .arg(window.y())
                                .arg(window.width())
                                .arg(window.height())
                                .arg(dialog.x())
                                .arg(dialog.y())
                                .arg(dialog.width())
                                .arg(dialog.height())));
        p.terminate();
        QVERIFY(p.waitForFinished(20000));
    }

    void secondCopyHandsOverAndQuits()
    {
        Copy c;
        prepare(c);
        QFile dat(c.dir.filePath("quillmere.dat"));
        QVERIFY(dat.open(QIODevice::WriteOnly));
        dat.write(QByteArray("Work\0"
                             "0\0\0\0"
                             "1\0\r\n",
                             12));
        dat.close();
        QProcess first;
        startAndWait(first, c);
        // Minimise the first copy's window: the second start must bring it back.
        QProcess::execute("xdotool",
                          {"search", "--all", "--pid", QString::number(first.processId()), "--name",
                           "^Quillmere 3\\.3( - .*)?$", "windowminimize"});
        QVERIFY(waitFor([&] { return !windowShown(first.processId()); }));

        // The second copy quits before it reads or writes the catalogue.
        const QDateTime before = QFileInfo(dat).lastModified();
        QProcess second;
        second.setProcessEnvironment(c.env);
        second.start(c.exe, {});
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);
        QVERIFY(waitFor([&] { return windowShown(first.processId()); }));
        QCOMPARE(QFileInfo(dat).lastModified(), before);

        first.terminate();
        QVERIFY(first.waitForFinished(20000));
        QCOMPARE(first.exitCode(), 0);
    }

    void hostileWindowBoundsStayOnTheScreen()
    {
        if (QStandardPaths::findExecutable("xwininfo").isEmpty() ||
            QStandardPaths::findExecutable("xprop").isEmpty())
            QSKIP("needs xwininfo and xprop");
        Copy c;
        prepare(c);
        const QString conf = c.dir.filePath("config/Velmarch/Quillmere.conf");
        QVERIFY(QDir().mkpath(QFileInfo(conf).path()));
        QFile store(conf);
        QVERIFY(store.open(QIODevice::WriteOnly));
        store.write("[General]\nFormLeft=-1994\nFormTop=-2215\nFormWidth=32767\nFormHeight="
                    "32767\nTreeWidth=2147483647\n");
        store.close();
        QProcess p;
        startAndWait(p, c);
        // Frame and all on the screen, once the window manager has framed it.
        const QRect screen = displayGeometry();
        QVERIFY(!screen.isEmpty());
        QVERIFY(waitFor([&] {
            const QRect frame = frameOf(p.processId());
            return !frame.isEmpty() && screen.contains(frame);
        }));
        p.terminate();
        QVERIFY(p.waitForFinished(20000));
        // Saved as shown, not as read.
        QSettings saved(conf, QSettings::IniFormat);
        QVERIFY(saved.value("FormLeft").toInt() >= 0);
        QVERIFY(saved.value("FormTop").toInt() >= 0);
        QVERIFY(saved.value("FormWidth").toInt() <= screen.width());
        QVERIFY(saved.value("FormHeight").toInt() <= screen.height());
        QVERIFY(saved.value("TreeWidth").toInt() < saved.value("FormWidth").toInt());
    }

    void copiesInDifferentFoldersRunSideBySide()
    {
        Copy a, b;
        prepare(a);
        prepare(b);
        QVERIFY(SingleInstance::serverName(a.exe) != SingleInstance::serverName(b.exe));
        QProcess pa, pb;
        startAndWait(pa, a);
        startAndWait(pb, b);
        QCOMPARE(pa.state(), QProcess::Running);
        pa.terminate();
        pb.terminate();
        QVERIFY(pa.waitForFinished(20000));
        QVERIFY(pb.waitForFinished(20000));
        QCOMPARE(pa.exitCode(), 0);
        QCOMPARE(pb.exitStatus(), QProcess::NormalExit);
        QCOMPARE(pb.exitCode(), 0);
        // Nothing beside either: each writes into its own data folder.
        QVERIFY(QFile::exists(a.dir.filePath("data/Quillmere/quillmere.dat")));
        QVERIFY(QFile::exists(b.dir.filePath("data/Quillmere/quillmere.dat")));
    }
};

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program_x11.moc"
