// The real program under a real tray host (trayer): every way to end the run
// ends the process with the catalogue written, whatever state the window is in
// (shown, hidden in the tray, minimised, a modal dialog open). Each way is
// taken several times, because a fault here showed only in some runs. A kill
// that gives the program no chance to save still finds the last edit saved.
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

#include "testutil/TestUtil.h"

namespace
{

constexpr int RunsPerWay = 5;

enum class State { Shown, Hidden, Minimised, ModalDialog };

QString stateName(State s)
{
    switch (s) {
    case State::Shown:
        return "shown";
    case State::Hidden:
        return "hidden";
    case State::Minimised:
        return "minimised";
    case State::ModalDialog:
        return "modal dialog";
    }
    return {};
}

// Visible top-level windows of a process whose name matches Pattern (read
// one by one: the tray icon's name is not found by a name search).
QStringList windows(qint64 pid, const QString& pattern)
{
    QByteArray out;
    TestUtil::run("xdotool", {"search", "--onlyvisible", "--pid", QString::number(pid)}, &out);
    const QRegularExpression re(pattern);
    QStringList ids;
    for (const QByteArray& id : out.trimmed().split('\n')) {
        QByteArray name;
        if (!id.isEmpty() &&
            TestUtil::run("xdotool", {"getwindowname", QString::fromLatin1(id)}, &name) &&
            re.match(QString::fromUtf8(name.trimmed())).hasMatch())
            ids << QString::fromLatin1(id);
    }
    return ids;
}

const QString MainWindowName = "^Quillmere 3\\.3 - ";

} // namespace

class TestEndOfRun : public QObject
{
    Q_OBJECT
    QTemporaryDir m_runtime;
    QProcess m_trayer;

    struct Run {
        QTemporaryDir dir;
        QProcess program;
        QByteArray catalogue;
        qint64 pid = 0;
        QString window;
    };

    // Starts a copy of the program beside a catalogue of its own and waits
    // for its main window and its tray icon.
    void start(Run& r)
    {
        QVERIFY(r.dir.isValid());
        const QString exe = r.dir.filePath("quillmere");
        QVERIFY(QFile::copy(qEnvironmentVariable("QUILLMERE_EXE"), exe));
        QFile::setPermissions(exe, QFile::permissions(exe) | QFile::ExeOwner);
        r.catalogue = TestUtil::catalogueLine("Papers", 0, {}, "1", "kept") +
                      TestUtil::catalogueLine("Site", 1, "https://example.org/", "4");
        QVERIFY(TestUtil::writeFile(r.dir.filePath("quillmere.dat"), r.catalogue));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", r.dir.filePath("config"));
        env.insert("XDG_DATA_HOME", r.dir.filePath("data"));
        env.insert("XDG_RUNTIME_DIR", m_runtime.path());
        env.remove("QT_QPA_PLATFORM");
        r.program.setProcessEnvironment(env);
        r.program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        r.program.start(exe, {});
        QVERIFY(r.program.waitForStarted(10000));
        r.pid = r.program.processId();
        QVERIFY(QTest::qWaitFor([&] { return !windows(r.pid, MainWindowName).isEmpty(); }, 20000));
        r.window = windows(r.pid, MainWindowName).first();
        QVERIFY(QTest::qWaitFor([&] { return !trayIcon(r).isEmpty(); }, 20000));
        // The catalogue is written only at the end: remove it to see that write.
        QVERIFY(QFile::remove(r.dir.filePath("quillmere.dat")));
    }

    // The icon's own window, docked in the tray host, carries the program's name.
    static QString trayIcon(Run& r)
    {
        const QStringList ids = windows(r.pid, "^Quillmere$");
        return ids.isEmpty() ? QString() : ids.first();
    }

    static void activate(Run& r)
    {
        QVERIFY(TestUtil::run("xdotool", {"windowactivate", "--sync", r.window}));
    }

    void bringInto(Run& r, State state)
    {
        switch (state) {
        case State::Shown:
            activate(r);
            break;
        case State::Hidden:
            // Closing the window only hides it in the tray.
            activate(r);
            QVERIFY(TestUtil::run("xdotool", {"key", "--clearmodifiers", "alt+F4"}));
            QVERIFY(
                QTest::qWaitFor([&] { return windows(r.pid, MainWindowName).isEmpty(); }, 10000));
            break;
        case State::Minimised:
            QVERIFY(TestUtil::run("xdotool", {"windowminimize", "--sync", r.window}));
            QVERIFY(
                QTest::qWaitFor([&] { return windows(r.pid, MainWindowName).isEmpty(); }, 10000));
            break;
        case State::ModalDialog:
            // Help > About... with the keyboard, as a user would.
            activate(r);
            QVERIFY(TestUtil::run("xdotool", {"key", "--clearmodifiers", "alt+h"}));
            QVERIFY(TestUtil::run("xdotool", {"key", "--clearmodifiers", "a"}));
            QVERIFY(QTest::qWaitFor([&] { return !windows(r.pid, "^About Quillmere$").isEmpty(); },
                                    10000));
            break;
        }
    }

    // The process ends by itself, once, with the whole catalogue written.
    static void checkEnded(Run& r, const QString& how)
    {
        QVERIFY2(r.program.waitForFinished(15000),
                 qPrintable(how + ": the program is still running"));
        QCOMPARE(r.program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(r.program.exitCode(), 0);
        QCOMPARE(TestUtil::readFile(r.dir.filePath("quillmere.dat")), r.catalogue);
    }

    void startTrayer() { QVERIFY(TestUtil::startTrayer(m_trayer)); }

private Q_SLOTS:
    void initTestCase()
    {
        if (const QString missing = TestUtil::missingTrayDesktop(); !missing.isEmpty())
            QSKIP(qPrintable(missing));
        QVERIFY(m_runtime.isValid());
        startTrayer();
    }

    void cleanupTestCase()
    {
        m_trayer.kill();
        m_trayer.waitForFinished(10000);
    }

    void ctrlQ()
    {
        for (int i = 0; i < RunsPerWay; ++i) {
            Run r;
            start(r);
            // Every other time the window has been in the tray and back first.
            if (i % 2) {
                bringInto(r, State::Minimised);
                QVERIFY(TestUtil::run(
                    "xdotool", {"mousemove", "--window", trayIcon(r), "5", "5", "click", "1"}));
                QVERIFY(QTest::qWaitFor([&] { return !windows(r.pid, MainWindowName).isEmpty(); },
                                        10000));
            }
            activate(r);
            QVERIFY(TestUtil::run("xdotool", {"key", "--clearmodifiers", "ctrl+q"}));
            checkEnded(r, QString("Ctrl+Q, run %1").arg(i + 1));
        }
    }

    void fileMenuExit()
    {
        for (int i = 0; i < RunsPerWay; ++i) {
            Run r;
            start(r);
            activate(r);
            // File menu by its accelerator; Up from the top lands on its last entry, Exit.
            QVERIFY(TestUtil::run("xdotool", {"key", "--clearmodifiers", "alt+f"}));
            QVERIFY(QTest::qWaitFor([&] { return windows(r.pid, ".").size() > 2; }, 10000));
            QVERIFY(TestUtil::run("xdotool", {"key", "--clearmodifiers", "Up", "Return"}));
            checkEnded(r, QString("File > Exit, run %1").arg(i + 1));
        }
    }

    void trayMenuExit()
    {
        for (int i = 0; i < RunsPerWay; ++i) {
            Run r;
            start(r);
            const State state = i % 2 ? State::Hidden : State::Shown;
            bringInto(r, state);
            const int before = windows(r.pid, ".").size();
            QVERIFY(TestUtil::run("xdotool",
                                  {"mousemove", "--window", trayIcon(r), "5", "5", "click", "3"}));
            QVERIFY(QTest::qWaitFor([&] { return windows(r.pid, ".").size() > before; }, 10000));
            // The menu has the keyboard once it is up: its last entry is Exit.
            QVERIFY(TestUtil::run("xdotool", {"key", "Up", "Return"}));
            checkEnded(
                r, QString("tray menu Exit, window %1, run %2").arg(stateName(state)).arg(i + 1));
        }
    }

    void killedTwoSecondsAfterAnEdit()
    {
        // SIGKILL ends the process at once: only what was saved while the
        // user worked is on the disk.
        constexpr qint64 KillAfterMs = 2000;
        for (int i = 0; i < RunsPerWay; ++i) {
            Run r;
            start(r);
            activate(r);
            const QString name = QString("Edited %1").arg(i);
            // A new category, named in place as a user does.
            QVERIFY(TestUtil::run("xdotool", {"key", "--clearmodifiers", "ctrl+n"}));
            QVERIFY(TestUtil::run("xdotool", {"type", "--delay", "20", name}));
            QVERIFY(TestUtil::run("xdotool", {"key", "Return"}));
            QElapsedTimer sinceEdit;
            sinceEdit.start();
            QTest::qWait(int(KillAfterMs - sinceEdit.elapsed()));
            QCOMPARE(::kill(pid_t(r.pid), SIGKILL), 0);
            QVERIFY(r.program.waitForFinished(15000));
            QCOMPARE(r.program.exitStatus(), QProcess::CrashExit);
            const QByteArray saved = TestUtil::readFile(r.dir.filePath("quillmere.dat"));
            QCOMPARE(saved, r.catalogue + TestUtil::catalogueLine(name, 0, {}, "1"));
        }
    }

    void signals_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGHUP") << int(SIGHUP);
        QTest::newRow("SIGINT") << int(SIGINT);
    }
    void signals()
    {
        QFETCH(int, signal);
        const State states[] = {State::Shown, State::Hidden, State::Minimised, State::ModalDialog,
                                State::Shown};
        static_assert(std::size(states) == RunsPerWay);
        for (State state : states) {
            Run r;
            start(r);
            bringInto(r, state);
            QCOMPARE(::kill(pid_t(r.pid), signal), 0);
            checkEnded(r, QString("signal %1, window %2").arg(signal).arg(stateName(state)));
        }
    }
};

QTEST_GUILESS_MAIN(TestEndOfRun)
#include "tst_endofrun_x11.moc"
