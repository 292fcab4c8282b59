// The settings that survive a restart: round trip through a second window,
// the design state when the store or a value is missing, a value of the
// wrong type, names in any case, and the numbering of the additional values.
#include "catalogue/ListModel.h"
#include "catalogue/Settings.h"
#include "components/MessageDialogs.h"
#include "forms/MainWindow.h"
#include "forms/main/AdditionalMenu.h"
#include "forms/main/CategoryView.h"
#include "forms/main/WindowSettings.h"
#include "utils/TextUtils.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>
#include <limits>
#include <sys/stat.h>

#include "testutil/TestUtil.h"

namespace
{

QSettings* rawStore()
{
    static QSettings s(QSettings::NativeFormat, QSettings::UserScope, "Velmarch", "Quillmere");
    return &s;
}

QAction* action(MainWindow& w, const char* name)
{
    return w.findChild<QAction*>(name);
}
CategoryView* view(MainWindow& w)
{
    return w.findChild<CategoryView*>();
}
AdditionalMenu* additional(MainWindow& w)
{
    return w.findChild<AdditionalMenu*>();
}
WindowSettings* settings(MainWindow& w)
{
    return w.findChild<WindowSettings*>();
}
QSplitter* splitter(MainWindow& w)
{
    return w.findChild<QSplitter*>("Splitter1");
}
QMenu* adMenu(MainWindow& w)
{
    return w.findChild<QMenu*>("AdMenu");
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT
    QTemporaryDir m_data;
    QList<int> m_hotKeys;
    int m_exploreRuns = 0;

    // Sync is false when the test wrote the file itself: the raw store must
    // not read it first (QSettings shares one parse of a file per process,
    // and reports a parse error to the object that read it).
    std::unique_ptr<MainWindow> start(bool sync = true)
    {
        if (sync)
            rawStore()->sync();
        auto w = std::make_unique<MainWindow>();
        w->catalogue().setDataFolder(m_data.path());
        connect(settings(*w), &WindowSettings::hotKeyRead, this,
                [this](int key) { m_hotKeys << key; });
        // "Show folders" is still disabled; what counts here is that the
        // setting runs it.
        QAction* explore = action(*w, "acExplore");
        explore->setEnabled(true);
        connect(explore, &QAction::triggered, this, [this] { ++m_exploreRuns; });
        w->start(nullptr);
        return w;
    }

    void put(const QString& name, const QVariant& value) { rawStore()->setValue(name, value); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_data.isValid());
        QVERIFY(rawStore()->fileName().startsWith(qEnvironmentVariable("XDG_CONFIG_HOME")));
        QVERIFY(rawStore()->fileName().endsWith("/Velmarch/Quillmere.conf"));
        MessageDialogs::setHandler(
            [](QMessageBox::Icon, const QString&) { return QMessageBox::Ok; });
    }

    void init()
    {
        rawStore()->clear();
        rawStore()->sync();
        QFile::remove(rawStore()->fileName());
        m_hotKeys.clear();
        m_exploreRuns = 0;
    }

    void roundTripThroughASecondWindow()
    {
        // The window takes the hot key from the store and writes it back.
        put("HotKey", 0x4000 | 0x2000 | 0x4B); // Ctrl+Shift+K
        auto a = start();
        a->move(61, 22);
        a->resize(601, 533);
        a->show();
        QVERIFY(QTest::qWaitForWindowExposed(a.get()));
        splitter(*a)->setSizes({250, 400});
        action(*a, "List1")->trigger();
        action(*a, "acRemoveOnAbsent")->trigger();
        QVERIFY(action(*a, "acRemoveOnAbsent")->isChecked());
        view(*a)->setColumnWidth(1, 0);
        view(*a)->setColumnWidth(2, 200);
        view(*a)->setColumnWidth(3, 90);
        additional(*a)->setAdTitle("Priority");
        additional(*a)->setAdValues({"High", "", "R&D", "Low"});
        additional(*a)->setRecursChanging(true);
        const QPoint at = a->pos();
        const int tree = splitter(*a)->sizes().value(0);
        settings(*a)->writeSettings();

        rawStore()->sync();
        QCOMPARE(rawStore()->value("ListStyle").toInt(), 1); // list
        QCOMPARE(rawStore()->value("Width1").toInt(), 0);
        QCOMPARE(rawStore()->value("RemoveOnAbsent").toString(), QString("1"));
        rawStore()->beginGroup("AdValues");
        QCOMPARE(rawStore()->childKeys(), (QStringList{"Val0", "Val2", "Val3"}));
        QCOMPARE(rawStore()->value("Val2").toString(), QString("R&D"));
        rawStore()->endGroup();
        a.reset();

        auto b = start();
        QVERIFY2(b->startupError().isEmpty(), qPrintable(b->startupError()));
        QCOMPARE(b->pos(), at);
        QCOMPARE(b->size(), QSize(601, 533));
        b->show();
        QVERIFY(QTest::qWaitForWindowExposed(b.get()));
        QCOMPARE(b->size(), QSize(601, 533)); // a size that fits is kept to the pixel
        QCOMPARE(splitter(*b)->sizes().value(0), tree);
        QCOMPARE(view(*b)->viewStyle(), CategoryView::ListStyle);
        QVERIFY(action(*b, "List2")->isChecked());
        QVERIFY(action(*b, "acRemoveOnAbsent")->isChecked());
        QCOMPARE(view(*b)->columnWidth(1), 0);
        QVERIFY(b->findChild<QTreeView*>("ListDetails")->header()->isSectionHidden(1));
        QCOMPARE(view(*b)->columnWidth(2), 200);
        QCOMPARE(view(*b)->columnWidth(3), 90);
        QCOMPARE(additional(*b)->adTitle(), QString("Priority"));
        QCOMPARE(view(*b)->listModel().headerData(4, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QString("Priority"));
        QCOMPARE(adMenu(*b)->title(), QString("Priority"));
        QCOMPARE(additional(*b)->adValues(), (QStringList{"High", "R&D", "Low"}));
        QCOMPARE(adMenu(*b)->actions().at(1)->text(), QString("R&&D")); // shown as typed
        QVERIFY(additional(*b)->recursChanging());
        QCOMPARE(settings(*b)->hotKey(), 0x4000 | 0x2000 | 0x4B);
        QCOMPARE(m_hotKeys.last(), 0x4000 | 0x2000 | 0x4B);
        QCOMPARE(m_exploreRuns, 0); // the folders panel was hidden
    }

    void noStoreGivesTheDesignState()
    {
        auto w = start();
        QVERIFY(!QFile::exists(rawStore()->fileName()));
        QVERIFY(w->startupError().isEmpty());
        QCOMPARE(view(*w)->viewStyle(), CategoryView::Details);
        QVERIFY(action(*w, "Detailes2")->isChecked());
        QCOMPARE(m_hotKeys, QList<int>{49220});
        QCOMPARE(w->size(), QSize(855, 534));
        QCOMPARE(view(*w)->columnWidth(1), 80);
        QCOMPARE(view(*w)->columnWidth(2), 120);
        QCOMPARE(view(*w)->columnWidth(3), 121);
        QCOMPARE(additional(*w)->adTitle(), QString("Additional"));
        QCOMPARE(adMenu(*w)->actions().size(), 1); // the one blank entry
        QVERIFY(!action(*w, "acRemoveOnAbsent")->isChecked());
        QCOMPARE(m_exploreRuns, 0);
        // Saved by a window that was never shown: the design tree width, not
        // the width of a splitter nobody laid out.
        settings(*w)->writeSettings();
        rawStore()->sync();
        QCOMPARE(rawStore()->value("TreeWidth").toInt(), 216);
    }

    void partialOrUnknownValuesKeepTheDesign()
    {
        put("FormLeft", 10);
        put("FormTop", 20);
        put("FormWidth", 600); // FormHeight missing
        put("ListStyle", 7);
        put("ShowFolders", 1);
        put("FoldersLeft", 40);
        auto w = start();
        QVERIFY(w->startupError().isEmpty());
        QCOMPARE(w->size(), QSize(855, 534));
        QVERIFY(w->pos() != QPoint(10, 20));
        QCOMPARE(view(*w)->viewStyle(), CategoryView::Details);
        QCOMPARE(m_exploreRuns, 1); // "Show folders" runs once
        QCOMPARE(w->findChild<QFrame*>("ExplorerPanel")->pos(), QPoint(40, 208));
    }

    void listStyleCodes()
    {
        const std::pair<int, int> codes[] = {{0, 0}, {1, 2}, {2, 3}, {3, 1}}; // stored code, style
        for (const auto& [code, style] : codes) {
            put("ListStyle", code);
            auto w = start();
            QCOMPARE(int(view(*w)->viewStyle()), style);
            settings(*w)->writeSettings();
            rawStore()->sync();
            QCOMPARE(rawStore()->value("ListStyle").toInt(), code);
        }
    }

    void wrongTypeStopsTheReading()
    {
        put("FormLeft", 30);
        put("FormTop", 40);
        put("FormWidth", 640);
        put("FormHeight", 480);
        put("TreeWidth", "wide");
        put("RemoveOnAbsent", 1);
        put("HotKey", 1234);
        put("ListStyle", 0);
        auto w = start();
        QCOMPARE(w->startupError(), QString("Invalid data type for 'TreeWidth'"));
        QCOMPARE(w->size(), QSize(640, 480));                   // applied before it
        QVERIFY(!action(*w, "acRemoveOnAbsent")->isChecked());  // after it: not applied
        QCOMPARE(view(*w)->viewStyle(), CategoryView::Details); // the style read comes after it
        QCOMPARE(m_hotKeys, QList<int>{49220});                 // the hot key still works
    }

    void namesInAnyCase()
    {
        put("hotkey", 1234);
        put("LISTSTYLE", 1);
        put("adTitle", "Mood");
        put("removeonabsent", 7); // any non-zero number is true
        put("RecursChanging", 0);
        rawStore()->beginGroup("advalues");
        rawStore()->setValue("val1", "b");
        rawStore()->setValue("VAL0", "a");
        rawStore()->endGroup();
        auto w = start();
        QVERIFY(w->startupError().isEmpty());
        QCOMPARE(settings(*w)->hotKey(), 1234);
        QCOMPARE(view(*w)->viewStyle(), CategoryView::ListStyle);
        QCOMPARE(additional(*w)->adTitle(), QString("Mood"));
        QVERIFY(action(*w, "acRemoveOnAbsent")->isChecked());
        QCOMPARE(additional(*w)->adValues(), (QStringList{"a", "b"}));

        // Writing leaves one spelling of each name.
        settings(*w)->writeSettings();
        rawStore()->sync();
        const QStringList keys = rawStore()->childKeys();
        QCOMPARE(keys.count("HotKey"), 1);
        QVERIFY(!keys.contains("hotkey"));
        QVERIFY(!keys.contains("LISTSTYLE"));
        QCOMPARE(rawStore()->childGroups(), QStringList{"AdValues"});
    }

    void additionalValuesKeepTheirOrderPastTen()
    {
        QStringList values;
        for (int i = 0; i < 12; ++i)
            values << QString("v%1").arg(i);
        auto a = start();
        additional(*a)->setAdValues(values);
        settings(*a)->writeSettings();
        a.reset();
        auto b = start();
        QCOMPARE(additional(*b)->adValues(), values); // Val10 after Val9, not after Val1

        // Values written with gaps read back without the blanks, and a
        // second write renumbers and drops what was removed.
        additional(*b)->setAdValues({"x", "", "y"});
        settings(*b)->writeSettings();
        rawStore()->sync();
        rawStore()->beginGroup("AdValues");
        QCOMPARE(rawStore()->childKeys(), (QStringList{"Val0", "Val2"}));
        rawStore()->endGroup();
    }

    void hostileNumbersAreHeldToScreenAndControls()
    {
        const int big = std::numeric_limits<int>::max(), small = std::numeric_limits<int>::min();
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        const auto onScreen = [&](const QWidget* w) {
            return area.contains(QRect(w->pos(), w->frameGeometry().size()));
        };
        const auto written = [](const char* name) {
            rawStore()->sync();
            return rawStore()->value(name).toLongLong();
        };
        for (const int treeWidth : {big, small}) {
            init();
            put("FormLeft", -1994);
            put("FormTop", -2215);
            put("FormWidth", 32767);
            put("FormHeight", 32767);
            put("TreeWidth", treeWidth);
            put("FoldersLeft", big);
            put("FoldersTop", small);
            put("Width2", big);
            put("Width3", small);
            put("HotKey", big);
            auto w = start();
            QVERIFY2(w->startupError().isEmpty(), qPrintable(w->startupError()));
            w->show();
            QVERIFY(QTest::qWaitForWindowExposed(w.get()));
            QVERIFY(onScreen(w.get()));
            // Tree and list both show.
            const QList<int> sizes = splitter(*w)->sizes();
            QVERIFY(sizes.value(0) >=
                    w->findChild<QTreeView*>("DocsTree")->minimumSizeHint().width());
            QVERIFY(sizes.value(1) >=
                    w->findChild<QStackedWidget*>("ListView")->minimumSizeHint().width());
            QVERIFY(w->rect().contains(w->findChild<QFrame*>("ExplorerPanel")->pos()));
            QVERIFY(view(*w)->columnWidth(2) <= area.width());
            QCOMPARE(view(*w)->columnWidth(3), 0);
            QCOMPARE(settings(*w)->hotKey(), 49220);
            // What is saved is what was shown.
            settings(*w)->writeSettings();
            QCOMPARE(written("TreeWidth"), sizes.value(0));
            QCOMPARE(written("FormWidth"), w->width());
            QCOMPARE(written("FormLeft"), w->x());
            QVERIFY(written("FoldersLeft") <= w->width());
        }

        // A window partly off the screen (another resolution or scale) moves
        // back onto it and keeps its size.
        init();
        put("FormLeft", area.right() - 100);
        put("FormTop", area.bottom() - 50);
        put("FormWidth", 400);
        put("FormHeight", 300);
        auto w = start();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QCOMPARE(w->size(), QSize(400, 300));
        QVERIFY(onScreen(w.get()));
    }

    void damagedFileIsKeptAsideAndWrittenAfresh_data()
    {
        QTest::addColumn<QByteArray>("damaged");
        QTest::newRow("unclosed group") << QByteArray("[General\nFormLeft=1\n");
        QTest::newRow("line without value")
            << QByteArray("[General]\nTreeWidth=300\nnot a setting\n");
        QTest::newRow("binary") << QByteArray("\x01\x02\xff\xfe\n[\x80", 8);
        // A value in serialized form, which the program never writes: decoding
        // one can ask for gigabytes.
        QTest::newRow("serialized value")
            << QByteArray("[General]\nAdTitle=@Variant(\\0\\0\\0\\n\\xff\\xff\\xff\\0)\n");
    }

    void damagedFileIsKeptAsideAndWrittenAfresh()
    {
        QFETCH(QByteArray, damaged);
        const QString file = rawStore()->fileName();
        QVERIFY(QDir().mkpath(QFileInfo(file).path()));
        for (const QString& old : {file + ".damaged", file + ".damaged.1"})
            QFile::remove(old);
        for (const QString& aside : {file + ".damaged", file + ".damaged.1"}) {
            // The raw store's deferred sync must not be the one to read the
            // damaged file: the parse error goes to the first reader only.
            QCoreApplication::sendPostedEvents(rawStore(), QEvent::UpdateRequest);
            QVERIFY(TestUtil::writeFile(file, damaged));
            auto w = start(false);
            // Said once, with both names, and the design state applies.
            QCOMPARE(w->startupError().count("is damaged"), 1);
            QVERIFY(w->startupError().contains(file));
            QVERIFY(w->startupError().contains(aside));
            QCOMPARE(TestUtil::readFile(aside), damaged);
            QCOMPARE(w->size(), QSize(855, 534));
            settings(*w)->writeSettings();
            QSettings fresh(file, QSettings::IniFormat);
            QCOMPARE(fresh.status(), QSettings::NoError);
            QCOMPARE(fresh.value("HotKey").toInt(), 49220);
        }
        QCOMPARE(TestUtil::readFile(file + ".damaged"), damaged); // the older copy stays
    }

    void settingsFileThatIsNoFileIsLeftAlone()
    {
        // A link to a FIFO where the settings file should be: reading it would
        // block the start, writing it would replace the FIFO with a file.
        const QString file = rawStore()->fileName();
        QVERIFY(QDir().mkpath(QFileInfo(file).path()));
        // The raw store's deferred sync must be done before the FIFO comes:
        // that QSettings would block on it as the program used to.
        QCoreApplication::sendPostedEvents(rawStore(), QEvent::UpdateRequest);
        const QString fifo = m_data.filePath("settings-fifo");
        QFile::remove(fifo);
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        QVERIFY(QFile::link(fifo, file));
        auto w = start(false);
        QCOMPARE(w->startupError().count("is not a regular file"), 1);
        QCOMPARE(w->size(), QSize(855, 534)); // the design state
        settings(*w)->writeSettings();
        w.reset();
        QVERIFY(QFileInfo(file).isSymLink());
        struct stat st;
        QVERIFY(::stat(QFile::encodeName(fifo).constData(), &st) == 0 && S_ISFIFO(st.st_mode));
        QFile::remove(file);
        QFile::remove(fifo);
    }

    void saveWritesOnlyTheProgramsOwnKeys()
    {
        // Keys from elsewhere that the INI writer cannot write back readably
        // ("Other/=" comes back as "Other\=") would make the next start find
        // a damaged file: the save leaves them out.
        const QString file = rawStore()->fileName();
        QVERIFY(QDir().mkpath(QFileInfo(file).path()));
        QCoreApplication::sendPostedEvents(rawStore(), QEvent::UpdateRequest);
        QVERIFY(TestUtil::writeFile(file,
                                    "[General]\nFormLeft=10\nFormTop=20\nFormWidth="
                                    "700\nFormHeight=500\n\n[Stray]\nOther/=last\nkey=value\n"));
        auto w = start(false);
        QVERIFY2(w->startupError().isEmpty(), qPrintable(w->startupError()));
        settings(*w)->writeSettings();
        w.reset();
        const QByteArray saved = TestUtil::readFile(file);
        QVERIFY2(!saved.contains("Stray") && !saved.contains("Other"), saved.constData());
        QSettings again(file, QSettings::IniFormat);
        again.allKeys();
        QCOMPARE(again.status(), QSettings::NoError);
        QCOMPARE(again.value("FormWidth").toInt(), 700);
    }

    void textsLoseWhatAFieldCannotHold()
    {
        // Additional values become catalogue fields, which hold no NUL and no
        // line break.
        const QString file = rawStore()->fileName();
        QVERIFY(QDir().mkpath(QFileInfo(file).path()));
        QCoreApplication::sendPostedEvents(rawStore(), QEvent::UpdateRequest);
        QVERIFY(TestUtil::writeFile(
            file, "[General]\nAdTitle=Pri\\0ority\\nlevel\n[AdValues]\nVal0=Hi\\0gh\n"));
        auto w = start(false);
        QCOMPARE(additional(*w)->adTitle(), QString("Priority level"));
        QCOMPARE(additional(*w)->adValues(), QStringList{"High"});
    }

    void additionalFieldHasLimits()
    {
        QStringList values;
        for (int i = 0; i < 1500; ++i)
            values << QString("v%1").arg(i);
        values[3] = QString(300, 'x');
        rawStore()->beginGroup("AdValues");
        for (int i = 0; i < values.size(); ++i)
            rawStore()->setValue(QString("Val%1").arg(i), values[i]);
        rawStore()->endGroup();
        // 254 letters and a character outside the basic plane: cut before it, not through it.
        const QString title =
            QString(254, 'a') + QString::fromUtf8("\xF0\x9F\x98\x80") + QString(10000, 'b');
        put("AdTitle", title);
        auto w = start();
        QCOMPARE(additional(*w)->adTitle(), QString(254, 'a'));
        QCOMPARE(adMenu(*w)->title(), QString(254, 'a'));
        const QStringList kept = additional(*w)->adValues();
        QCOMPARE(kept.size(), 1000);
        QCOMPARE(kept[3], QString(255, 'x'));
        QCOMPARE(kept.last(), QString("v999"));
        // Each cut is named, all in the one start-up message.
        QVERIFY(w->startupError().contains("1500 values"));
        QVERIFY(w->startupError().contains(QString::number(title.size())));
        QVERIFY(w->startupError().contains(
            "1 values of the additional field in the settings were longer"));
        settings(*w)->writeSettings();
        rawStore()->sync();
        rawStore()->beginGroup("AdValues");
        QCOMPARE(rawStore()->childKeys().size(), 1000);
        rawStore()->endGroup();
        QCOMPARE(rawStore()->value("AdTitle").toString(), QString(254, 'a'));
    }

    void storeValueTypes()
    {
        SettingsStore store;
        QVERIFY(!store.exists());
        QVERIFY(!store.readInteger("Nothing"));
        store.writeInteger("Number", -5);
        store.writeBool("Flag", true);
        store.writeString("Text", "a, b");
        QVERIFY(store.flush());
        QVERIFY(store.exists());
        QCOMPARE(*store.readInteger("number"), -5);
        QCOMPARE(*store.readBool("FLAG"), true);
        QCOMPARE(*store.readString("text"), QString("a, b"));
        QCOMPARE(*store.readString("Number"), QString("-5")); // a number is text too
        QVERIFY_THROWS_EXCEPTION(SettingsError, store.readInteger("Text"));
        QVERIFY_THROWS_EXCEPTION(SettingsError, store.readBool("Text"));
        store.writeString("Big", "99999999999");
        QVERIFY_THROWS_EXCEPTION(SettingsError, store.readInteger("Big"));
        QVERIFY(!store.readAdValues());
    }

    void cutFirst()
    {
        using TextUtils::cutFirst;
        QCOMPARE(cutFirst("R&&D", "&"), QString("R&D"));
        QCOMPARE(cutFirst("&File", "&"), QString("File"));
        QCOMPARE(cutFirst("plain", "&"), QString("plain"));
        QCOMPARE(cutFirst("/home/a/home/b", "/home"), QString("/a/home/b"));
        QCOMPARE(cutFirst("text", ""), QString("text"));
        QCOMPARE(cutFirst("", "&"), QString());
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
