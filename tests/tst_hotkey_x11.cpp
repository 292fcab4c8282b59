// The global hot key on a real X server: the default combination brings the
// hidden window back, a combination another client holds is refused with a
// message while the old one stays in force, and nothing stays grabbed after
// a refusal or after the window has gone.
#include "components/MessageDialogs.h"
#include "forms/MainWindow.h"
#include "forms/OptionsDialog.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "testutil/TestUtil.h"

namespace
{

constexpr const char* KeysymD = "0x64";
constexpr const char* KeysymK = "0x6b";
constexpr const char* CtrlAlt = "12";         // ControlMask | Mod1Mask
constexpr const char* CtrlAltCapsLock = "14"; // the same with LockMask

// Another X client that grabs a key until it is destroyed.
class KeyHolder
{
public:
    // What the client said: "grabbed" or "taken".
    QString grab(const char* keysym, const QStringList& masks)
    {
        m_process.setProgram(QCoreApplication::applicationDirPath() + "/grabkey_helper");
        m_process.setArguments(QStringList{keysym} + masks);
        m_process.start();
        if (!m_process.waitForStarted(10000))
            return "not started";
        while (!m_process.canReadLine())
            if (!m_process.waitForReadyRead(10000))
                return "no answer";
        return QString::fromLatin1(m_process.readLine()).trimmed();
    }
    ~KeyHolder()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(10000))
            m_process.kill();
    }

private:
    QProcess m_process;
};

// Answers every message box, keeping its text.
class AnsweredMessages
{
public:
    AnsweredMessages()
    {
        MessageDialogs::setHandler([this](QMessageBox::Icon, const QString& text) {
            texts << text;
            return QMessageBox::Ok;
        });
    }
    ~AnsweredMessages() { MessageDialogs::setHandler({}); }
    QStringList texts;
};

const QString TakenD = "Unable to assign <Ctrl+Alt+D> as hotkey.\n"
                       "You can assign other key combination.";

} // namespace

class TestHotKey : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QProcess m_trayer;

    std::unique_ptr<MainWindow> start()
    {
        auto w = std::make_unique<MainWindow>();
        w->catalogue().setDataFolder(m_dir.path());
        w->start(nullptr);
        w->show();
        return w;
    }

    static QString showText(MainWindow& w) { return w.findChild<QAction*>("Show1")->text(); }

    // Opens "Options", types a combination into the hot-key field and
    // presses OK.
    static void chooseHotKey(MainWindow& w, QKeyCombination combination)
    {
        bool typed = false;
        QTimer::singleShot(0, &w, [&] {
            auto* dialog = qobject_cast<OptionsDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            auto* edit = dialog->findChild<HotKeyEdit*>("edHotKey");
            QTest::keyClick(edit, combination.key(), combination.keyboardModifiers());
            typed = edit->hotKey() != 0;
            QTest::mouseClick(dialog->findChild<QPushButton*>("OKBtn"), Qt::LeftButton);
        });
        w.findChild<QAction*>("acOptions")->trigger();
        QVERIFY(typed);
    }

    // Opens "Options", types Keys on the real keyboard into the hot-key
    // field, reads what the field took and shows, and presses OK.
    static std::pair<int, QString> typeHotKey(MainWindow& w, const QString& keys)
    {
        std::pair<int, QString> got{-1, QString()};
        QTimer::singleShot(0, &w, [&] {
            auto* dialog = qobject_cast<OptionsDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            auto* edit = dialog->findChild<HotKeyEdit*>("edHotKey");
            const int before = edit->hotKey();
            dialog->activateWindow();
            QTest::mouseClick(edit, Qt::LeftButton);
            if (QTest::qWaitFor(
                    [&] {
                        return edit->hasFocus() &&
                               focusWindow() == QString::number(dialog->winId());
                    },
                    10000) &&
                TestUtil::run("xdotool", {"key", keys}) &&
                QTest::qWaitFor([&] { return edit->hotKey() != before; }, 10000))
                got = {edit->hotKey(), edit->findChild<QLineEdit*>()->text()};
            QTest::mouseClick(dialog->findChild<QPushButton*>("OKBtn"), Qt::LeftButton);
        });
        w.findChild<QAction*>("acOptions")->trigger();
        return got;
    }

    // The window that has the keyboard, as the X server says.
    static QString focusWindow()
    {
        QByteArray out;
        TestUtil::run("xdotool", {"getwindowfocus"}, &out);
        return QString::fromLatin1(out).trimmed();
    }

    static void pressRestoresHidden(MainWindow& w, const QString& keys)
    {
        w.findChild<QAction*>("Hide1")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!w.isVisible(), 10000);
        QVERIFY(TestUtil::run("xdotool", {"key", keys}));
        QTRY_VERIFY_WITH_TIMEOUT(w.isVisible(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(focusWindow(), QString::number(w.winId()), 10000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (const QString missing = TestUtil::missingTrayDesktop(); !missing.isEmpty())
            QSKIP(qPrintable(missing));
        QVERIFY(m_dir.isValid());
        qputenv("XDG_CONFIG_HOME", m_dir.filePath("config").toUtf8());
        qputenv("XDG_DATA_HOME", m_dir.filePath("data").toUtf8());
        QVERIFY(TestUtil::startTrayer(m_trayer));
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 20000);
    }

    void cleanupTestCase()
    {
        m_trayer.kill();
        m_trayer.waitForFinished(10000);
    }

    void init() { QFile::remove(m_dir.filePath("config/Velmarch/Quillmere.conf")); }

    // The default combination, pressed while the window is in the tray,
    // brings it back; with CapsLock on it works the same. Once the window
    // has gone, the key is free for others.
    void defaultHotKeyRestoresTheWindow()
    {
        {
            auto w = start();
            QVERIFY(QTest::qWaitForWindowExposed(w.get()));
            QVERIFY2(w->startupError().isEmpty(), qPrintable(w->startupError()));
            QCOMPARE(showText(*w), QString("Show\tCtrl+Alt+D"));
            pressRestoresHidden(*w, "ctrl+alt+d");

            KeyHolder other;
            QCOMPARE(other.grab(KeysymD, {CtrlAlt}), QString("taken"));
        }
        KeyHolder after;
        QCOMPARE(after.grab(KeysymD, {CtrlAlt, CtrlAltCapsLock}), QString("grabbed"));
    }

    // Pressed on the keyboard, Shift with a digit or a punctuation key is
    // that key, not the sign Shift gives it, and the keypad's Enter is
    // Enter: each is taken, named in the field as in the tray menu, and
    // brings the window back.
    void shiftedKeysFromTheKeyboard_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("word");
        QTest::addColumn<QString>("text");
        QTest::newRow("digit") << "ctrl+shift+1" << (0x2000 | 0x4000 | '1') << "Shift+Ctrl+1";
        QTest::newRow("punctuation")
            << "ctrl+shift+semicolon" << (0x2000 | 0x4000 | 0xBA) << "Shift+Ctrl+;";
        QTest::newRow("keypad Enter")
            << "ctrl+alt+KP_Enter" << (0x4000 | 0x8000 | 0x0D) << "Ctrl+Alt+Enter";
    }
    void shiftedKeysFromTheKeyboard()
    {
        QFETCH(QString, keys);
        QFETCH(int, word);
        QFETCH(QString, text);
        AnsweredMessages messages;
        auto w = start();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QCOMPARE(typeHotKey(*w, keys), std::make_pair(word, text));
        QVERIFY(messages.texts.isEmpty());
        QCOMPARE(showText(*w), "Show\t" + text);
        pressRestoresHidden(*w, keys);
    }

    // Another client holds Ctrl+Alt+D with CapsLock only: the start-up says
    // so and the program keeps none of the other variants. A free key then
    // works; asking for the taken one again leaves it in force.
    void keyHeldByAnotherClient()
    {
        AnsweredMessages messages;
        auto holder = std::make_unique<KeyHolder>();
        QCOMPARE(holder->grab(KeysymD, {CtrlAltCapsLock}), QString("grabbed"));
        auto w = start();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QCOMPARE(w->startupError(), TakenD);
        QCOMPARE(showText(*w), QString("Show"));
        {
            KeyHolder plain;
            QCOMPARE(plain.grab(KeysymD, {CtrlAlt}), QString("grabbed"));
        }
        // The refused combination stays the setting (this copy may run beside
        // another that holds it), and the field offers it again; OK asks for
        // it again and is refused again.
        QSettings stored(m_dir.filePath("config/Velmarch/Quillmere.conf"), QSettings::IniFormat);
        bool offered = false;
        QTimer::singleShot(0, w.get(), [&] {
            auto* dialog = qobject_cast<OptionsDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            auto* edit = dialog->findChild<HotKeyEdit*>("edHotKey");
            offered = edit->hotKey() == 49220 &&
                      edit->findChild<QLineEdit*>()->text() == QString("Ctrl+Alt+D");
            QTest::mouseClick(dialog->findChild<QPushButton*>("OKBtn"), Qt::LeftButton);
        });
        w->findChild<QAction*>("acOptions")->trigger();
        QVERIFY(offered);
        QCOMPARE(messages.texts, QStringList{TakenD});
        stored.sync();
        QCOMPARE(stored.value("HotKey").toInt(), 49220);
        QCOMPARE(showText(*w), QString("Show"));
        messages.texts.clear();
        // Cleared by the user, it is given up.
        QTimer::singleShot(0, w.get(), [&] {
            auto* dialog = qobject_cast<OptionsDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            QTest::keyClick(dialog->findChild<HotKeyEdit*>("edHotKey"), Qt::Key_Backspace);
            QTest::mouseClick(dialog->findChild<QPushButton*>("OKBtn"), Qt::LeftButton);
        });
        w->findChild<QAction*>("acOptions")->trigger();
        QVERIFY(messages.texts.isEmpty());
        stored.sync();
        QCOMPARE(stored.value("HotKey").toInt(), 0);

        chooseHotKey(*w, QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_K));
        QCOMPARE(showText(*w), QString("Show\tCtrl+Alt+K"));
        QVERIFY(messages.texts.isEmpty());

        chooseHotKey(*w, QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_D));
        QCOMPARE(messages.texts, QStringList{TakenD});
        QCOMPARE(showText(*w), QString("Show\tCtrl+Alt+K"));
        stored.sync();
        QCOMPARE(stored.value("HotKey").toInt(), 0x4000 | 0x8000 | 'K');
        pressRestoresHidden(*w, "ctrl+alt+k");
        {
            KeyHolder plain;
            QCOMPARE(plain.grab(KeysymD, {CtrlAlt}), QString("grabbed"));
            KeyHolder k;
            QCOMPARE(k.grab(KeysymK, {CtrlAlt}), QString("taken"));
        }

        // Once the other client lets go, the combination can be had.
        holder.reset();
        chooseHotKey(*w, QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_D));
        QCOMPARE(messages.texts.size(), 1);
        QCOMPARE(showText(*w), QString("Show\tCtrl+Alt+D"));
        pressRestoresHidden(*w, "ctrl+alt+d");
    }
};

QTEST_MAIN(TestHotKey)
#include "tst_hotkey_x11.moc"
