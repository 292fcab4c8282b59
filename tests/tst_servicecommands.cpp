// The service commands on the composed window: the options dialog and what
// OK and Cancel do, start at login and its autostart entry, the help page,
// the FAQ page, the support mail and the about box's links; the hot key's
// words and texts; the entry's and the mail link's encodings.
#include "catalogue/Catalogue.h"
#include "catalogue/ListModel.h"
#include "components/MessageDialogs.h"
#include "forms/AboutDialog.h"
#include "forms/MainWindow.h"
#include "forms/OptionsDialog.h"
#include "forms/main/CategoryView.h"
#include "forms/main/HotKeyControl.h"
#include "utils/Desktop.h"
#include "utils/HotKeyCodes.h"
#include "utils/Installation.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

#include "testutil/TestUtil.h"

#undef signals
#include <gio/gdesktopappinfo.h>

namespace
{

// Every address handed to the desktop, answered with Answer.
class RecordedOpens
{
public:
    explicit RecordedOpens(bool answer = true)
    {
        Desktop::setOpener([this, answer](const QString& target) {
            targets << target;
            return answer;
        });
    }
    ~RecordedOpens() { Desktop::setOpener({}); }
    QStringList targets;
};

// Every message box answered with OK, its text kept.
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

QString desktopId()
{
    return QString::fromUtf16(Installation::DesktopId);
}

QString autoStartEntry()
{
    return Desktop::autoStartFile(desktopId());
}

QString execLine(const QString& file)
{
    for (const QByteArray& line : TestUtil::readFile(file).split('\n'))
        if (line.startsWith("Exec="))
            return QString::fromUtf8(line);
    return {};
}

void writeEntry(const QString& exec)
{
    QDir().mkpath(QFileInfo(autoStartEntry()).absolutePath());
    QVERIFY(TestUtil::writeFile(autoStartEntry(),
                                "[Desktop Entry]\nType=Application\nExec=" + exec.toUtf8() + "\n"));
}

} // namespace

class TestServiceCommands : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    std::unique_ptr<MainWindow> start()
    {
        auto w = std::make_unique<MainWindow>();
        w->catalogue().setDataFolder(m_dir.path());
        w->start(nullptr);
        return w;
    }

    static QString settingsFile()
    {
        return QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).filePath("Velmarch/Quillmere.conf");
    }

    // Runs "Options...", lets Edit work on the dialog, then presses OK or Cancel.
    static void options(MainWindow& w, const std::function<void(OptionsDialog&)>& edit, bool ok)
    {
        bool ran = false;
        QTimer::singleShot(0, &w, [&] {
            auto* dialog = qobject_cast<OptionsDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            ran = true;
            edit(*dialog);
            QTest::mouseClick(dialog->findChild<QPushButton*>(ok ? "OKBtn" : "CancelBtn"),
                              Qt::LeftButton);
        });
        w.findChild<QAction*>("acOptions")->trigger();
        QVERIFY(ran);
    }

    // Toggles the tick of a field on the "View" tab from the keyboard.
    static void toggleField(OptionsDialog& d, int row)
    {
        auto* list = d.findChild<QListWidget*>("AvailableList");
        list->setFocus();
        list->setCurrentRow(row);
        QTest::keyClick(list, Qt::Key_Space);
    }

    // A click on the box itself (a click beside its text misses it).
    static void tick(QCheckBox* box)
    {
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    }

    static void typeLines(QWidget* edit, const QStringList& lines)
    {
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Delete);
        for (const QString& line : lines) {
            QTest::keyClicks(edit, line);
            QTest::keyClick(edit, Qt::Key_Return);
        }
    }

private Q_SLOTS:
    void initTestCase()
    {
        // The autostart entry is named after the program, as in a real run.
        QApplication::setApplicationName("Quillmere");
        QVERIFY(m_dir.isValid());
        QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).removeRecursively();
    }

    void cleanup()
    {
        QFile::remove(settingsFile());
        QFile::remove(autoStartEntry());
    }

    // The stored word of the hot key, Qt's keys, X's keysyms and the text
    // menus show, with the modifiers in the order Shift, Ctrl, Alt.
    void hotKeyWords()
    {
        using namespace HotKeyCodes;
        QCOMPARE(text(49220), QString("Ctrl+Alt+D"));
        QCOMPARE(text(ShiftBit | CtrlBit | AltBit | 0x70), QString("Shift+Ctrl+Alt+F1"));
        QCOMPARE(text(AltBit | 0x2E), QString("Alt+Del"));
        QCOMPARE(text(0), QString());
        QCOMPARE(fromQt(QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_D)), 49220);
        QCOMPARE(toQt(49220), QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_D));
        QCOMPARE(keysymsOf(49220),
                 QList<unsigned>{0x64}); // the lower-case letter the key carries first
        QCOMPARE(keysymsOf(CtrlBit | 0x75), QList<unsigned>{0xffc3});           // F6
        QCOMPARE(keysymsOf(CtrlBit | 0x0D), (QList<unsigned>{0xff0d, 0xff8d})); // both Enter keys
        QCOMPARE(fromQt(QKeyCombination(Qt::ControlModifier, Qt::Key_Exclam)), 0);
        QCOMPARE(toQt(CtrlBit | 0xD2).key(), Qt::Key_unknown);
        QCOMPARE(keysymsOf(CtrlBit | 0xD2), QList<unsigned>{});
        // Keys named by the keysyms their key codes carry: the digit under
        // "!", the semicolon under ":", a letter either way, keypad Enter.
        QCOMPARE(fromKeysym(0x31, Qt::ShiftModifier | Qt::ControlModifier), 0x2000 | 0x4000 | 0x31);
        QCOMPARE(fromKeysym(0x3b, Qt::ShiftModifier), 0x2000 | 0xBA);
        QCOMPARE(fromKeysym(0x41, Qt::AltModifier), fromKeysym(0x61, Qt::AltModifier));
        QCOMPARE(fromKeysym(0xff8d, Qt::ControlModifier), 0x4000 | 0x0D);
        QCOMPARE(fromKeysym(0x21, Qt::ShiftModifier), 0); // "!" is no key of its own
    }

    // The entry runs exactly this executable: the path is quoted and escaped
    // by the desktop-entry rules, the folder is made when missing, and the
    // file is replaced whole.
    void autoStartEntryIsEscaped()
    {
        QDir(QFileInfo(autoStartEntry()).absolutePath()).removeRecursively();
        Desktop::setAutoStart(desktopId(), "/opt/Quillmere/quillmere", true);
        QCOMPARE(execLine(autoStartEntry()), QString("Exec=\"/opt/Quillmere/quillmere\""));
        QVERIFY(Desktop::isAutoStart(desktopId(), "/opt/Quillmere/quillmere"));

        const QString odd = "/tmp/a \"b\" \\c $d `e` 50";
        Desktop::setAutoStart(desktopId(), odd, true);
        QCOMPARE(execLine(autoStartEntry()),
                 QString("Exec=\"/tmp/a \\\\\"b\\\\\" \\\\\\\\c \\\\$d \\\\`e\\\\` 50\""));
        QVERIFY(Desktop::isAutoStart(desktopId(), odd));
        QVERIFY(!Desktop::isAutoStart(desktopId(), "/opt/Quillmere/quillmere"));
        QCOMPARE(QDir(QFileInfo(autoStartEntry()).absolutePath()).entryList(QDir::Files),
                 QStringList{desktopId() + ".desktop"});

        Desktop::setAutoStart(desktopId(), odd, false);
        QVERIFY(!QFile::exists(autoStartEntry()));
        QVERIFY(!Desktop::isAutoStart(desktopId(), odd));

        // An entry that would start nothing is never written, and no entry
        // is the entry of a program whose path is unknown.
        QVERIFY(!Desktop::setAutoStart(desktopId(), QString(), true));
        QVERIFY(!QFile::exists(autoStartEntry()));
        QVERIFY(!Desktop::isAutoStart(desktopId(), QString()));
        QCOMPARE(Desktop::executablePath(), QApplication::applicationFilePath());
    }

    // What the desktop's session reads the entry with (GLib) accepts it and
    // starts exactly the program, whatever its path holds: quotes, '$', '`',
    // backslashes, '%', a line break.
    void autoStartEntryAsGLibReadsIt_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("shell signs") << "a \"b\" \\c $d `e`";
        QTest::newRow("percent") << "50% off";
        QTest::newRow("line break") << "line\nbreak";
    }
    void autoStartEntryAsGLibReadsIt()
    {
        QFETCH(QString, folder);
        QTemporaryDir scratch;
        QVERIFY(QDir().mkpath(scratch.filePath(folder)));
        const QString exe = scratch.filePath(folder + "/quillmere");
        QVERIFY(TestUtil::writeFile(exe, "#!/bin/sh\nexec touch \"$0.ran\"\n"));
        QVERIFY(QFile::setPermissions(exe, QFile::permissions(exe) | QFile::ExeOwner));
        QVERIFY(Desktop::setAutoStart(desktopId(), exe, true));
        auto removeEntry = qScopeGuard([] { QFile::remove(autoStartEntry()); });
        QVERIFY(Desktop::isAutoStart(desktopId(), exe));
        // One line per key: a line break in the path is escaped.
        QCOMPARE(TestUtil::readFile(autoStartEntry()).count('\n'), 5);

        GDesktopAppInfo* entry =
            g_desktop_app_info_new_from_filename(QFile::encodeName(autoStartEntry()).constData());
        QVERIFY2(entry, "GLib refuses the entry");
        auto unref = qScopeGuard([entry] { g_object_unref(entry); });
        GError* error = nullptr;
        const bool launched = g_app_info_launch(G_APP_INFO(entry), nullptr, nullptr, &error);
        QVERIFY2(launched, error ? error->message : "");
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(exe + ".ran"), 20000);
    }

    // Another copy's path, another letter case and arguments count as no
    // entry; an unquoted path counts; two characters or fewer keep their
    // quotation marks.
    void autoStartComparison()
    {
        const QString exe = "/opt/a/quillmere";
        writeEntry("\"/opt/b/quillmere\"");
        QVERIFY(!Desktop::isAutoStart(desktopId(), exe));
        writeEntry("\"/OPT/a/quillmere\"");
        QVERIFY(!Desktop::isAutoStart(desktopId(), exe));
        writeEntry("\"/opt/a/quillmere\" --hidden");
        QVERIFY(!Desktop::isAutoStart(desktopId(), exe));
        writeEntry("/opt/a/quillmere");
        QVERIFY(Desktop::isAutoStart(desktopId(), exe));
        writeEntry("\"x");
        QVERIFY(Desktop::isAutoStart(desktopId(), "\"x"));
        QVERIFY(!Desktop::isAutoStart(desktopId(), "x"));
        writeEntry("\"x\"");
        QVERIFY(Desktop::isAutoStart(desktopId(), "x"));
        // Only the entry's own group counts.
        QVERIFY(TestUtil::writeFile(autoStartEntry(), "[Desktop Entry]\nExec=\"/opt/a/quillmere\"\n"
                                                      "[Desktop Action x]\nExec=/usr/bin/other\n"));
        QVERIFY(Desktop::isAutoStart(desktopId(), exe));
    }

    // Blanks, line breaks and the characters that would end a field or the
    // link are percent-encoded; the link always ends in "&body=".
    void mailLinkEncoding()
    {
        QCOMPARE(Desktop::mailLink("support@velmarch.example", "R&D #1 of 2", ""),
                 QString("mailto:support@velmarch.example?subject=R%26D%20%231%20of%202&body="));
        QCOMPARE(Desktop::mailLink("a@b.example", "Quillmere", "x\r\ny?=50%"),
                 QString("mailto:a@b.example?subject=Quillmere&body=x%0D%0Ay?%3D50%25"));
    }

    // Cancel changes nothing in the window but writes the settings.
    void cancelWritesSettingsOnly()
    {
        auto w = start();
        CategoryView* view = w->findChild<CategoryView*>();
        QVERIFY(!QFile::exists(settingsFile()));
        const int widths[] = {view->columnWidth(1), view->columnWidth(2), view->columnWidth(3),
                              view->columnWidth(4)};
        options(
            *w,
            [](OptionsDialog& d) {
                toggleField(d, 4);
                typeLines(d.findChild<QLineEdit*>("edAdTitle"), {});
                QTest::keyClicks(d.findChild<QLineEdit*>("edAdTitle"), "Other");
                tick(d.findChild<QCheckBox*>("cbDelNonActual"));
            },
            false);
        QVERIFY(QFile::exists(settingsFile()));
        for (int c = 1; c <= 4; ++c)
            QCOMPARE(view->columnWidth(c), widths[c - 1]);
        QCOMPARE(view->listModel().adTitle(), QString("Additional"));
        QVERIFY(!w->findChild<QAction*>("acRemoveOnAbsent")->isChecked());
        QCOMPARE(QSettings(settingsFile(), QSettings::IniFormat).value("AdTitle").toString(),
                 QString("Additional"));
    }

    // Unticking hides one column; a column ticked again comes back at its
    // own width; a visible one keeps its width; the name stays ticked.
    void columnRules()
    {
        auto w = start();
        CategoryView* view = w->findChild<CategoryView*>();
        view->setColumnWidth(1, 101);
        options(
            *w,
            [](OptionsDialog& d) {
                toggleField(d, 0);
                QCOMPARE(d.findChild<QListWidget*>("AvailableList")->item(0)->checkState(),
                         Qt::Checked);
                toggleField(d, 4);
                toggleField(d, 3);
            },
            true);
        QCOMPARE(view->columnWidth(4), 0);
        QCOMPARE(view->columnWidth(3), 0);
        QVERIFY(view->columnWidth(2) > 0);
        QCOMPARE(view->columnWidth(1), 101);
        options(
            *w,
            [](OptionsDialog& d) {
                auto* list = d.findChild<QListWidget*>("AvailableList");
                QCOMPARE(list->item(3)->checkState(), Qt::Unchecked);
                QCOMPARE(list->item(1)->checkState(), Qt::Checked);
                toggleField(d, 4);
                toggleField(d, 3);
            },
            true);
        QCOMPARE(view->columnWidth(4), 50);
        QCOMPARE(view->columnWidth(3), 190);
        QCOMPARE(view->columnWidth(1), 101);
        QCOMPARE(QSettings(settingsFile(), QSettings::IniFormat).value("Width3").toInt(), 190);
    }

    // The values: the first '&' of a line goes, blank lines are blank
    // entries (not shown the next time), the final line break adds none. A
    // cleared title leaves the old one.
    void additionalField()
    {
        auto w = start();
        auto* menu = w->findChild<QMenu*>("AdMenu");
        options(
            *w,
            [](OptionsDialog& d) {
                auto* title = d.findChild<QLineEdit*>("edAdTitle");
                typeLines(title, {});
                QTest::keyClicks(title, "Status");
                typeLines(d.findChild<QPlainTextEdit*>("mmAdValues"), {"R&D", "A&&B", "", "Last"});
                tick(d.findChild<QCheckBox*>("cbRecursChanging"));
            },
            true);
        QStringList shown, values;
        for (QAction* a : menu->actions()) {
            shown << a->text();
            values << a->data().toString();
        }
        QCOMPARE(values, (QStringList{"RD", "A&B", "", "Last"}));
        QCOMPARE(shown, (QStringList{"RD", "A&&B", "", "Last"})); // "A&B" as the menu shows it
        QCOMPARE(menu->title(), QString("Status"));
        QCOMPARE(w->findChild<CategoryView*>()->listModel().adTitle(), QString("Status"));
        QSettings stored(settingsFile(), QSettings::IniFormat);
        QVERIFY(stored.value("RecursChanging").toBool());

        options(
            *w,
            [](OptionsDialog& d) {
                QCOMPARE(d.findChild<QPlainTextEdit*>("mmAdValues")->toPlainText(),
                         QString("RD\nA&B\nLast"));
                QVERIFY(d.findChild<QCheckBox*>("cbRecursChanging")->isChecked());
                typeLines(d.findChild<QLineEdit*>("edAdTitle"), {});
            },
            true);
        QCOMPARE(menu->title(), QString("Status"));
        QCOMPARE(menu->actions().size(), 3);
    }

    // The hot key field takes a combination with a modifier; the chosen one
    // is shown beside "Show" and stored; choosing the one in force does
    // nothing. Without an X server nothing is grabbed and nothing is said.
    void hotKeyChoice()
    {
        AnsweredMessages messages;
        auto w = start();
        auto* show = w->findChild<QAction*>("Show1");
        QCOMPARE(show->text(), QString("Show\tCtrl+Alt+D"));
        QSignalSpy changes(w->findChild<HotKeyControl*>(), &HotKeyControl::hotKeyChanged);
        options(
            *w,
            [](OptionsDialog& d) {
                auto* edit = d.findChild<HotKeyEdit*>("edHotKey");
                QCOMPARE(edit->hotKey(), 49220);
                QTest::keyClick(edit, Qt::Key_K); // a key alone is no hot key
                QCOMPARE(edit->hotKey(), 49220);
            },
            true);
        QCOMPARE(changes.count(), 0);
        options(
            *w,
            [](OptionsDialog& d) {
                QTest::keyClick(d.findChild<HotKeyEdit*>("edHotKey"), Qt::Key_K,
                                Qt::ControlModifier | Qt::ShiftModifier);
            },
            true);
        QCOMPARE(show->text(), QString("Show\tShift+Ctrl+K"));
        QCOMPARE(changes.count(), 1);
        QCOMPARE(QSettings(settingsFile(), QSettings::IniFormat).value("HotKey").toInt(),
                 0x2000 | 0x4000 | 'K');
        QVERIFY(messages.texts.isEmpty());

        // The field names a combination as the tray menu does; F24 and the
        // keypad's Enter can be chosen.
        const auto typed = [&](Qt::Key key, Qt::KeyboardModifiers modifiers) {
            std::pair<int, QString> got;
            options(
                *w,
                [&](OptionsDialog& d) {
                    auto* edit = d.findChild<HotKeyEdit*>("edHotKey");
                    QTest::keyClick(edit, key, modifiers);
                    got = {edit->hotKey(), edit->findChild<QLineEdit*>()->text()};
                },
                true);
            return got;
        };
        QCOMPARE(typed(Qt::Key_F24, Qt::ControlModifier),
                 std::make_pair(0x4000 | 0x87, QString("Ctrl+F24")));
        QCOMPARE(show->text(), QString("Show\tCtrl+F24"));
        QCOMPARE(typed(Qt::Key_Enter, Qt::ControlModifier | Qt::AltModifier | Qt::KeypadModifier),
                 std::make_pair(0x4000 | 0x8000 | 0x0D, QString("Ctrl+Alt+Enter")));
        QCOMPARE(show->text(), QString("Show\tCtrl+Alt+Enter"));
        QCOMPARE(typed(Qt::Key_1, Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier),
                 std::make_pair(0x2000 | 0x4000 | 0x8000 | '1', QString("Shift+Ctrl+Alt+1")));
        QCOMPARE(show->text(), QString("Show\tShift+Ctrl+Alt+1"));
        QVERIFY(messages.texts.isEmpty());
    }

    // "Start at login": read at start-up, each click writes or removes the
    // entry; the options box does the same when changed, nothing otherwise.
    void startAtLogin()
    {
        const QString exe = QApplication::applicationFilePath();
        Desktop::setAutoStart(desktopId(), exe, true);
        auto w = start();
        auto* action = w->findChild<QAction*>("acAutoStart");
        QVERIFY(action->isEnabled());
        QVERIFY(action->isChecked());
        action->trigger();
        QVERIFY(!action->isChecked());
        QVERIFY(!QFile::exists(autoStartEntry()));
        action->trigger();
        QVERIFY(action->isChecked());
        QVERIFY(Desktop::isAutoStart(desktopId(), exe));

        options(
            *w,
            [](OptionsDialog& d) {
                QVERIFY(d.findChild<QCheckBox*>("cbAutoStart")->isChecked());
                tick(d.findChild<QCheckBox*>("cbAutoStart"));
                tick(d.findChild<QCheckBox*>("cbDelNonActual"));
            },
            true);
        QVERIFY(!action->isChecked());
        QVERIFY(!QFile::exists(autoStartEntry()));
        QVERIFY(w->findChild<QAction*>("acRemoveOnAbsent")->isChecked());

        // Another copy's entry stays as it is while the box is left alone.
        writeEntry("\"/opt/other/quillmere\"");
        options(
            *w, [](OptionsDialog&) {}, true);
        QCOMPARE(execLine(autoStartEntry()), QString("Exec=\"/opt/other/quillmere\""));
    }

    // Run from a folder whose name is not UTF-8 (no desktop entry can name
    // it): "Start at login" is not ticked for an entry that is not there,
    // and ticking it says why instead of writing an entry that starts
    // nothing. A copy of this suite runs the check from such a folder.
    void startAtLoginFromAFolderThatIsNotUtf8()
    {
        if (qEnvironmentVariableIsSet("QUILLMERE_TEST_COPY")) {
            QVERIFY(Desktop::executablePath().isEmpty());
            QFile::remove(autoStartEntry());
            AnsweredMessages messages;
            auto w = start();
            auto* action = w->findChild<QAction*>("acAutoStart");
            QVERIFY(!action->isChecked());
            action->trigger();
            QVERIFY(!action->isChecked());
            QVERIFY(!QFile::exists(autoStartEntry()));
            QCOMPARE(messages.texts.size(), 1);
            QVERIFY(messages.texts.first().startsWith("Cannot start the program at login"));
            return;
        }
        QTemporaryDir scratch;
        const QByteArray folder = QFile::encodeName(scratch.path()) + "/bad\xff\xfe";
        QCOMPARE(::mkdir(folder.constData(), 0700), 0);
        const QByteArray copy = folder + "/tst_servicecommands";
        // Named by their bytes, which the temporary folder's clearing up cannot do.
        auto removeCopy = qScopeGuard([&] {
            ::unlink(copy.constData());
            ::rmdir(folder.constData());
        });
        {
            QFile self(QApplication::applicationFilePath());
            QVERIFY(self.open(QIODevice::ReadOnly));
            const int fd = ::open(copy.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0700);
            QVERIFY(fd >= 0);
            QFile out;
            QVERIFY(out.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle));
            QCOMPARE(out.write(self.readAll()), self.size());
        }
        const QString link = scratch.filePath("copy");
        QCOMPARE(::symlink(copy.constData(), QFile::encodeName(link).constData()), 0);
        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QUILLMERE_TEST_COPY", "1");
        env.insert("XDG_CONFIG_HOME", scratch.filePath("config"));
        run.setProcessEnvironment(env);
        run.setProcessChannelMode(QProcess::MergedChannels);
        run.start(link, {"startAtLoginFromAFolderThatIsNotUtf8"});
        QVERIFY(run.waitForFinished(120000));
        const QByteArray output = run.readAll();
        QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0,
                 output.constData());
    }

    // Help, FAQ, support and the about box's links go to the desktop; what
    // it cannot open is reported with the program's texts.
    void helpFaqSupportAndAbout()
    {
        AnsweredMessages messages;
        auto w = start();
        const QString help = QDir(QApplication::applicationDirPath()).filePath("help.html");
        QFile::remove(help);
        {
            RecordedOpens opens;
            w->findChild<QAction*>("Help1")->trigger();
            QCOMPARE(messages.texts,
                     QStringList{"Cannot open help file.\nPlease search it in Quillmere folder."});
            QVERIFY(opens.targets.isEmpty());

            QVERIFY(TestUtil::writeFile(help, "<html></html>"));
            auto removeHelp = qScopeGuard([&] { QFile::remove(help); });
            w->findChild<QAction*>("Help1")->trigger();
            w->findChild<QAction*>("FAQ1")->trigger();
            w->findChild<QAction*>("Support1")->trigger();
            QCOMPARE(opens.targets,
                     (QStringList{help, QString::fromUtf16(ProductFaqURL),
                                  "mailto:support@velmarch.example?subject=Quillmere&body="}));
            QCOMPARE(messages.texts.size(), 1);

            opens.targets.clear();
            QTimer::singleShot(0, w.get(), [] {
                auto* box = qobject_cast<AboutDialog*>(QApplication::activeModalWidget());
                if (!box)
                    return;
                QTest::mouseClick(box->lbURL, Qt::LeftButton);
                QTest::mouseClick(box->lbEmail, Qt::LeftButton);
                box->okButton->click();
            });
            w->findChild<QAction*>("About1")->trigger();
            QCOMPARE(opens.targets,
                     (QStringList{QString::fromUtf16(MakerHomeURL),
                                  "mailto:support@velmarch.example?subject=Quillmere&body="}));
        }
        RecordedOpens refused(false);
        w->findChild<QAction*>("Support1")->trigger();
        QCOMPARE(messages.texts.last(), QString("Cannot run default Email Client!"));
        // The page is there but nothing opens web pages: the message says so
        // and where the page is.
        QVERIFY(TestUtil::writeFile(help, "<html></html>"));
        auto removeHelp = qScopeGuard([&] { QFile::remove(help); });
        w->findChild<QAction*>("Help1")->trigger();
        QCOMPARE(refused.targets.last(), help);
        QCOMPARE(messages.texts.last(),
                 QString("Cannot open help file: no application for web pages is set up on this "
                         "desktop.\nThe help is the file \"%1\".")
                     .arg(help));
    }
};

QTEST_MAIN(TestServiceCommands)
#include "tst_servicecommands.moc"
