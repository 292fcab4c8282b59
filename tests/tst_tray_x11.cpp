// The tray icon under a real tray host (trayer): docking, tip, clicks,
// minimising, balloons, a restart of the host, and the real program hidden,
// shown and ended from its tray menu.
#include "components/TrayIcon.h"
#include "forms/MainWindow.h"
#include "forms/main/TrayControl.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <cstring>
#include <memory>
#include <qguiapplication_platform.h>
#include <xcb/xcb.h>

#include "testutil/TestUtil.h"

namespace
{

using TestUtil::run;

void clickAt(const QPoint& global, int button, int times = 1)
{
    QStringList args{"mousemove", QString::number(global.x()), QString::number(global.y()),
                     "click"};
    if (times > 1)
        args << "--repeat" << QString::number(times) << "--delay"
             << "80";
    args << QString::number(button);
    QVERIFY(run("xdotool", args));
}

QList<QWidget*> visibleBalloons()
{
    QList<QWidget*> found;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && QByteArray(w->metaObject()->className()) == "QBalloonTip")
            found << w;
    return found;
}

} // namespace

class TestTray : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QProcess m_trayer;

    void startTrayer()
    {
        QVERIFY(TestUtil::startTrayer(m_trayer));
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 20000);
    }

    void stopTrayer()
    {
        if (m_trayer.state() == QProcess::NotRunning)
            return;
        m_trayer.kill();
        m_trayer.waitForFinished(10000);
    }

    std::unique_ptr<MainWindow> start()
    {
        auto w = std::make_unique<MainWindow>();
        w->catalogue().setDataFolder(m_dir.path());
        w->start(nullptr);
        w->show();
        return w;
    }

    static TrayIcon* trayIcon(MainWindow& w) { return w.findChild<TrayIcon*>("CoolTrayIcon"); }
    static QMenu* trayMenu(MainWindow& w) { return w.findChild<QMenu*>("TrayMenu"); }

    // The icon's centre on the screen, once it is docked.
    static QPoint iconCentre(MainWindow& w)
    {
        TrayIcon* icon = trayIcon(w);
        if (!icon || !QTest::qWaitFor([&] { return icon->inTray(); }, 20000))
            return {};
        return icon->trayIcon()->geometry().center();
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (const QString missing = TestUtil::missingTrayDesktop(); !missing.isEmpty())
            QSKIP(qPrintable(missing));
        QVERIFY(m_dir.isValid());
        qputenv("XDG_CONFIG_HOME", m_dir.filePath("config").toUtf8());
        qputenv("XDG_DATA_HOME", m_dir.filePath("data").toUtf8());
        startTrayer();
    }

    void cleanupTestCase() { stopTrayer(); }

    void iconDocksWithTipAndMenu()
    {
        auto w = start();
        QVERIFY(!iconCentre(*w).isNull());
        TrayIcon* icon = trayIcon(*w);
        QMenu* menu = trayMenu(*w);
        auto* show = w->findChild<QAction*>("Show1");
        QVERIFY(menu && show);
        QCOMPARE(icon->trayIcon()->toolTip(), QString("Quillmere"));
        QCOMPARE(icon->trayIcon()->contextMenu(), menu);
        QCOMPARE(menu->defaultAction(), show);
        w->findChild<TrayControl*>()->setShowHotKeyText("Ctrl+Alt+D");
        QCOMPARE(show->text(), QString("Show\tCtrl+Alt+D"));

        // The tip is cut at 127 characters, and is empty when switched off.
        icon->setHint(QString(200, u'x'));
        QCOMPARE(icon->trayIcon()->toolTip(), QString(127, u'x'));
        icon->setShowHint(false);
        QCOMPARE(icon->trayIcon()->toolTip(), QString());
    }

    void clicksHideAndShowTheWindow()
    {
        auto w = start();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        const QPoint icon = iconCentre(*w);
        QVERIFY(!icon.isNull());
        clickAt(icon, 1);
        QTRY_VERIFY_WITH_TIMEOUT(!w->isVisible(), 10000);
        QVERIFY(trayIcon(*w)->inTray());
        clickAt(icon, 1);
        QTRY_VERIFY_WITH_TIMEOUT(w->isVisible(), 10000);

        // A double click on a shown window: the first click hides it, the
        // double click runs "Show"; it ends up shown.
        QSignalSpy doubleClicks(trayIcon(*w), &TrayIcon::dblClick);
        clickAt(icon, 1, 2);
        QTRY_COMPARE_WITH_TIMEOUT(doubleClicks.count(), 1, 10000);
        QVERIFY(w->isVisible());

        // The right button opens the tray menu at once.
        clickAt(icon, 3);
        QTRY_VERIFY_WITH_TIMEOUT(trayMenu(*w)->isVisible(), 10000);
        trayMenu(*w)->close();
    }

    void minimisingHidesToTheTray()
    {
        auto w = start();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        const QPoint icon = iconCentre(*w);
        QVERIFY(!icon.isNull());
        w->showMinimized();
        QTRY_VERIFY_WITH_TIMEOUT(!w->isVisible(), 10000);
        clickAt(icon, 1);
        QTRY_VERIFY_WITH_TIMEOUT(w->isVisible(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!w->isMinimized(), 10000);
    }

    // The window manager may answer a minimising late, once the window has
    // gone to the tray and come back (a busy machine): that late report must
    // not send the window back to the tray. The window manager is held (the
    // server grabbed) while the program minimises, hides and shows again,
    // and the minimised state is written as it writes it; once let go, it
    // works through what it was asked and shows the window.
    void lateMinimisedReportAfterComingBack()
    {
        auto w = start();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QVERIFY(!iconCentre(*w).isNull());
        auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        QVERIFY(x11);
        xcb_connection_t* c = x11->connection();
        const auto atom = [c](const char* name) {
            const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> reply(
                xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(strlen(name)), name),
                                      nullptr),
                &free);
            return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        };
        const xcb_atom_t wmState = atom("WM_STATE"), netWmState = atom("_NET_WM_STATE"),
                         hidden = atom("_NET_WM_STATE_HIDDEN");
        const auto window = xcb_window_t(w->winId());

        xcb_grab_server(c);
        auto ungrab = qScopeGuard([c] {
            xcb_ungrab_server(c);
            xcb_flush(c);
        });
        w->showMinimized();
        QTRY_VERIFY_WITH_TIMEOUT(!w->isVisible(), 10000);
        w->findChild<QAction*>("Show1")->trigger();
        QVERIFY(w->isVisible());
        // The window manager's late answer: iconic, hidden.
        const uint32_t iconic[] = {3, XCB_WINDOW_NONE};
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, wmState, wmState, 32, 2, iconic);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, netWmState, XCB_ATOM_ATOM, 32, 1,
                            &hidden);
        xcb_flush(c);
        QTRY_VERIFY_WITH_TIMEOUT(w->isMinimized(), 10000);
        // What the report set going has run by the time this runs.
        bool settled = false;
        QMetaObject::invokeMethod(
            w.get(), [&settled] { settled = true; }, Qt::QueuedConnection);
        QTRY_VERIFY_WITH_TIMEOUT(settled, 10000);
        QVERIFY(w->isVisible());
        xcb_delete_property(c, window, netWmState);
        ungrab.dismiss();
        xcb_ungrab_server(c);
        xcb_flush(c);

        QTRY_VERIFY_WITH_TIMEOUT(w->windowHandle()->isExposed(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!w->isMinimized(), 10000);
        QVERIFY(w->isVisible());
        // And a minimising now is a real one again.
        w->showMinimized();
        QTRY_VERIFY_WITH_TIMEOUT(!w->isVisible(), 10000);
    }

    void aNewBalloonReplacesTheOld()
    {
        auto w = start();
        QVERIFY(!iconCentre(*w).isNull());
        TrayIcon* icon = trayIcon(*w);
        w->findChild<TrayControl*>()->showBalloon(QString(80, u'T'), QString(300, u'b'),
                                                  TrayIcon::bitWarning, 10);
        const TrayIcon::Balloon first = icon->lastBalloon();
        QCOMPARE(first.title, QString(63, u'T'));
        QCOMPARE(first.text, QString(255, u'b'));
        QCOMPARE(first.milliseconds, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(visibleBalloons().size(), 1, 10000);

        w->findChild<QAction*>("acBackupData")->trigger();
        QCOMPARE(icon->lastBalloon().title, QString("Backup"));
        QCOMPARE(icon->lastBalloon().icon, TrayIcon::bitInfo);
        QTRY_COMPARE_WITH_TIMEOUT(visibleBalloons().size(), 1, 10000);
        QStringList texts;
        for (QLabel* label : visibleBalloons().first()->findChildren<QLabel*>())
            texts << label->text();
        QVERIFY2(texts.contains("Data successfully saved."), qPrintable(texts.join('|')));
    }

    void iconComesBackAfterTheTrayHostRestarts()
    {
        auto w = start();
        QVERIFY(!iconCentre(*w).isNull());
        TrayIcon* icon = trayIcon(*w);
        stopTrayer();
        QTRY_VERIFY_WITH_TIMEOUT(!icon->inTray(), 20000);
        startTrayer();
        QTRY_VERIFY_WITH_TIMEOUT(icon->inTray(), 20000);
        // And it answers a click once the new host has embedded it: docked,
        // mapped where the host put it, and no longer moving.
        QRect last;
        QVERIFY(QTest::qWaitFor(
            [&] {
                const QRect now = icon->trayIcon()->geometry();
                const bool settled = !now.isEmpty() && now == last;
                last = now;
                if (!settled)
                    QTest::qWait(200);
                return settled && icon->inTray();
            },
            20000));
        clickAt(last.center(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(!w->isVisible(), 10000);
    }

    void realProgramLivesInTheTray()
    {
        QTemporaryDir dir;
        const QString exe = dir.filePath("quillmere");
        QVERIFY(QFile::copy(qEnvironmentVariable("QUILLMERE_EXE"), exe));
        QFile::setPermissions(exe, QFile::permissions(exe) | QFile::ExeOwner);
        // Only a legacy file: the catalogue appears only if the run ends with a save.
        QFile legacy(dir.filePath("MyDocs.qmre"));
        QVERIFY(legacy.open(QIODevice::WriteOnly));
        legacy.write("Papers~~kept\r\n");
        legacy.close();

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        env.insert("XDG_DATA_HOME", dir.filePath("data"));
        env.insert("XDG_RUNTIME_DIR", m_dir.path());
        env.remove("QT_QPA_PLATFORM");
        QProcess program;
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(exe, {});
        QVERIFY(program.waitForStarted(10000));
        const QString pid = QString::number(program.processId());
        auto windowShown = [&] {
            QByteArray out;
            run("xdotool",
                {"search", "--all", "--onlyvisible", "--pid", pid, "--name", "^Quillmere 3.3"},
                &out);
            return !out.trimmed().isEmpty();
        };
        // The icon's own window, docked in the tray host, carries the program's name.
        QString icon;
        QVERIFY(QTest::qWaitFor(
            [&] {
                QByteArray out;
                run("xdotool", {"search", "--onlyvisible", "--pid", pid}, &out);
                for (const QByteArray& id : out.trimmed().split('\n')) {
                    QByteArray name;
                    if (!id.isEmpty() &&
                        run("xdotool", {"getwindowname", QString::fromLatin1(id)}, &name) &&
                        name.trimmed() == "Quillmere")
                        icon = QString::fromLatin1(id);
                }
                return !icon.isEmpty();
            },
            20000));
        QVERIFY(QTest::qWaitFor(windowShown, 20000));

        auto clickIcon = [&](int button) {
            QVERIFY(run("xdotool", {"mousemove", "--window", icon, "10", "10", "click",
                                    QString::number(button)}));
        };
        clickIcon(1);
        QVERIFY(QTest::qWaitFor([&] { return !windowShown(); }, 10000));
        clickIcon(1);
        QVERIFY(QTest::qWaitFor(windowShown, 10000));

        // "Exit", the tray menu's last entry, ends the run with a save.
        QVERIFY(!QFile::exists(dir.filePath("quillmere.dat")));
        // The menu is the tall window that comes up (a tip may come up as well).
        auto menuGeometry = [&] {
            QByteArray out;
            run("xdotool", {"search", "--onlyvisible", "--pid", pid}, &out);
            for (const QByteArray& id : out.trimmed().split('\n')) {
                QByteArray shell, name;
                if (id.isEmpty() ||
                    !run("xdotool", {"getwindowname", QString::fromLatin1(id)}, &name) ||
                    name.trimmed().startsWith("Quillmere 3.3") ||
                    !run("xdotool", {"getwindowgeometry", "--shell", QString::fromLatin1(id)},
                         &shell))
                    continue;
                QMap<QString, int> g;
                for (const QString& l : QString::fromLatin1(shell).split('\n'))
                    g[l.section('=', 0, 0)] = l.section('=', 1).toInt();
                if (g["HEIGHT"] > 100)
                    return QRect(g["X"], g["Y"], g["WIDTH"], g["HEIGHT"]);
            }
            return QRect();
        };
        // Once the menu is up it has the keyboard: its last entry is Exit.
        clickIcon(3);
        QVERIFY(QTest::qWaitFor([&] { return !menuGeometry().isEmpty(); }, 10000));
        QVERIFY(run("xdotool", {"key", "Up", "Return"}));
        QVERIFY(program.waitForFinished(15000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QFile dat(dir.filePath("quillmere.dat"));
        QVERIFY(dat.open(QIODevice::ReadOnly));
        QVERIFY(dat.readAll().startsWith(QByteArray("Papers\0"
                                                    "0\0\0kept\0"
                                                    "1\0",
                                                    17)));
    }
};

QTEST_MAIN(TestTray)
#include "tst_tray_x11.moc"
