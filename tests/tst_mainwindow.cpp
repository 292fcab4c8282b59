// The main window's start-up, end of the run, backup and restore, with the
// catalogue in a temporary folder.
#include "catalogue/Catalogue.h"
#include "components/HSDialogs.h"
#include "forms/Application.h"
#include "forms/frmMain.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>
#include <sys/stat.h>

#include "testutil/TestUtil.h"

namespace
{

QStringList rootTexts(TCatalogue& cat)
{
    QStringList out;
    for (int i = 0; i < cat.Nodes().RootCount(); ++i)
        out << cat.Nodes().RootItem(i)->Text();
    return out;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QTemporaryDir m_config; // each test starts from no settings at all
    QByteArray m_sample;
    int m_quits = 0; // the run's end, counted instead of ending the test

    std::unique_ptr<TMainF> start()
    {
        auto w = std::make_unique<TMainF>();
        w->QuitHook = [this] { ++m_quits; };
        w->Catalogue.SetDataFolder(m_dir.path());
        w->FormCreate(nullptr);
        return w;
    }

    QString dat() const { return m_dir.filePath("quillmere.dat"); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
    }

    void init()
    {
        QVERIFY(m_dir.isValid());
        QDir(m_config.path()).removeRecursively();
        QDir().mkpath(m_config.path());
        for (const QFileInfo& f :
             QDir(m_dir.path())
                 .entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
            if (f.isDir() && !f.isSymLink())
                QDir(f.filePath()).removeRecursively();
            else
                QFile::remove(f.filePath());
        }
        m_sample = TestUtil::CatalogueLine("Work", 0, {}, "1", "mine") +
                   TestUtil::CatalogueLine("Notes", 1, m_dir.filePath("notes.txt"), "2") +
                   TestUtil::CatalogueLine("Site", 1, "https://example.org/", "4") +
                   TestUtil::CatalogueLine("Home", 0, {}, "1");
        HSDialogs::SetHandler([](QMessageBox::Icon, const QString&) { return QMessageBox::Ok; });
        m_quits = 0;
    }

    void exitSavesOnceAndEndsTheRun()
    {
        QVERIFY(TestUtil::WriteFile(dat(), m_sample));
        auto w = start();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QFile::remove(dat());
        w->ExitMenu->trigger();
        QCOMPARE(m_quits, 1);
        QCOMPARE(TestUtil::ReadFile(dat()), m_sample);
        // The window no longer hides itself when Qt closes it on the way out.
        QVERIFY(w->close());
        // A later request (the tray menu's Exit, a signal) neither saves nor quits twice.
        QFile::remove(dat());
        w->Exit1->trigger();
        w->EndRun();
        QCOMPARE(m_quits, 1);
        QVERIFY(!QFile::exists(dat()));
    }

    void failedFinalSaveIsReportedOnce()
    {
        QVERIFY(TestUtil::WriteFile(dat(), m_sample));
        auto w = start();
        // Something that is no file took the catalogue's place.
        QFile::remove(dat());
        QVERIFY(QDir(m_dir.path()).mkdir("quillmere.dat"));
        QStringList shown;
        HSDialogs::SetHandler([&](QMessageBox::Icon, const QString& text) {
            shown << text;
            // More termination signals while the report is up add no box.
            w->EndRun();
            w->EndRun();
            return QMessageBox::Ok;
        });
        w->QueryEndSession(); // the desktop's logoff query comes first
        w->EndRun();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].contains("it is not a regular file"), qPrintable(shown[0]));
        QCOMPARE(m_quits, 1);
        w->FormDestroy(); // the application's aboutToQuit
        w.reset();
        QCOMPARE(shown.size(), 1);
        QVERIFY(QFileInfo(dat()).isDir());
    }

    void malformedLegacyFileIsImportedUpToTheBadLine()
    {
        const QByteArray legacy =
            "Work~~my work\r\n\tSite~https://example.org/~c\r\n\t\t\tDeep~~x\r\nAfter~~y\r\n";
        QVERIFY(TestUtil::WriteFile(m_dir.filePath("MyDocs.qmre"), legacy));
        auto w = start();
        QVERIFY2(w->StartupError.contains("Invalid level (3) for item \"Deep~~x\""),
                 qPrintable(w->StartupError));
        const QString aside = m_dir.filePath("MyDocs.qmre.damaged");
        QVERIFY2(w->StartupError.contains(aside), qPrintable(w->StartupError));
        QCOMPARE(TestUtil::ReadFile(aside), legacy);
        // Proper records for what was read, and the built-in category as usual.
        QCOMPARE(rootTexts(w->Catalogue), (QStringList{"Velmarch", "Work"}));
        QCOMPARE(w->Catalogue.TopCategory->Text(), QString("Work"));
        QCOMPARE(w->Catalogue.TopCategory->Data()->Comments, QString("my work"));
        QCOMPARE(w->Catalogue.TopCategory->Item(0)->Data()->Kind, nkURL);
        QCOMPARE(w->Catalogue.MakerCategory->Count(), 3);
        w->FormDestroy();
        QCOMPARE(TestUtil::ReadFile(dat()),
                 TestUtil::CatalogueLine("Work", 0, {}, "1", "my work") +
                     TestUtil::CatalogueLine("Site", 1, "https://example.org/", "4", "c"));
        QCOMPARE(TestUtil::ReadFile(m_dir.filePath("MyDocs.qmre")), legacy);
    }

    void unopenableCatalogueLeavesACategory()
    {
        QVERIFY(QDir(m_dir.path()).mkdir("quillmere.dat"));
        auto w = start();
        QVERIFY(w->StartupError.contains("It is not a regular file."));
        QCOMPARE(rootTexts(w->Catalogue), (QStringList{"Velmarch", "No category"}));
        TTreeNode* first = w->Catalogue.Nodes().RootItem(1);
        QVERIFY(first->Data());
        QCOMPARE(first->Data()->Kind, nkCategory);
        QCOMPARE(first->ImageIndex(), int(imgCategory));
        w->acBackupData->trigger();
        QCOMPARE(TestUtil::ReadFile(m_dir.filePath("quillmere.bak")),
                 TestUtil::CatalogueLine("No category", 0, {}, "1"));
    }

    void failedRestoreKeepsTheCatalogue()
    {
        QVERIFY(TestUtil::WriteFile(dat(), m_sample));
        QVERIFY(TestUtil::WriteFile(m_dir.filePath("quillmere.bak"),
                                    TestUtil::CatalogueLine("Old", 0, {}, "1") +
                                        TestUtil::CatalogueLine("Bad", 2, {}, "1")));
        auto w = start();
        QString shown;
        HSDialogs::SetHandler([&](QMessageBox::Icon, const QString& text) {
            shown = text;
            return QMessageBox::Ok;
        });
        w->acRestoreBackup->trigger();
        QVERIFY2(shown.contains("Nothing was restored"), qPrintable(shown));
        QCOMPARE(rootTexts(w->Catalogue), (QStringList{"Velmarch", "Work", "Home"}));
        w->ExitMenu->trigger();
        QCOMPARE(TestUtil::ReadFile(dat()), m_sample);
    }

    void startupPutsBuiltInCategoryFirst()
    {
        QVERIFY(TestUtil::WriteFile(m_dir.filePath("quillmere.dat"), m_sample));
        auto w = start();
        QVERIFY2(w->StartupError.isEmpty(), qPrintable(w->StartupError));
        QCOMPARE(rootTexts(w->Catalogue), (QStringList{"Velmarch", "Work", "Home"}));
        TTreeNode* maker = w->Catalogue.MakerCategory;
        QCOMPARE(maker->Count(), 3);
        QCOMPARE(maker->Item(0)->Text(), QString("Velmarch at the Web"));
        QVERIFY(maker->Item(2)->Data()->FullName.contains("velmarch.example"));
        QCOMPARE(w->Catalogue.TopCategory->Text(), QString("Work"));
        QCOMPARE(w->ListedNode, w->Catalogue.TopCategory);
        QCOMPARE(w->SelectedTreeNode(), maker);
    }

    void endOfRunWritesTheCatalogueOnce()
    {
        QVERIFY(TestUtil::WriteFile(m_dir.filePath("quillmere.dat"), m_sample));
        auto w = start();
        QFile::remove(m_dir.filePath("quillmere.dat"));
        w->FormDestroy();
        QCOMPARE(TestUtil::ReadFile(m_dir.filePath("quillmere.dat")),
                 m_sample); // built-in category left out
        QFile::remove(m_dir.filePath("quillmere.dat"));
        w.reset(); // destroying the window must not write a second time
        QVERIFY(!QFile::exists(m_dir.filePath("quillmere.dat")));
    }

    void malformedCatalogueIsKeptAside()
    {
        const QByteArray bad = m_sample + TestUtil::CatalogueLine("Deep", 3, {}, "1") +
                               TestUtil::CatalogueLine("Lost", 0, {}, "1");
        QVERIFY(TestUtil::WriteFile(m_dir.filePath("quillmere.dat"), bad));
        auto w = start();
        QVERIFY(w->StartupError.contains("Invalid level (3) for item \"Deep\""));
        const QString aside = m_dir.filePath("quillmere.dat.damaged");
        QVERIFY(w->StartupError.contains(aside));
        QCOMPARE(TestUtil::ReadFile(aside), bad);
        // What loaded stays usable, with the built-in category in front.
        QCOMPARE(rootTexts(w->Catalogue), (QStringList{"Velmarch", "Work", "Home"}));
        w->FormDestroy();
        QCOMPARE(TestUtil::ReadFile(aside), bad);
    }

    void legacyImportWhenThereIsNoCatalogue()
    {
        QVERIFY(TestUtil::WriteFile(m_dir.filePath("notes.txt"), "x"));
        TestUtil::WriteFile(m_dir.filePath("MyDocs.qmre"),
                            ("Papers~~old stuff\r\n\tNotes~" + m_dir.filePath("notes.txt") +
                             "~c\r\n\tWeb~https://example.org/\r\n")
                                .toUtf8());
        auto w = start();
        QVERIFY(w->StartupError.isEmpty());
        QCOMPARE(rootTexts(w->Catalogue), (QStringList{"Velmarch", "Papers"}));
        TTreeNode* papers = w->Catalogue.TopCategory;
        QCOMPARE(papers->Text(), QString("Papers"));
        QCOMPARE(papers->Item(0)->Data()->Kind, nkDoc);
        QCOMPARE(papers->Item(1)->Data()->Kind, nkURL);
        QVERIFY(QFile::exists(m_dir.filePath("MyDocs.~qmre")));
        w->FormDestroy();
        QVERIFY(TestUtil::ReadFile(m_dir.filePath("quillmere.dat"))
                    .startsWith(QByteArray("Papers\0"
                                           "0\0\0old stuff\0"
                                           "1\0\r\n",
                                           23)));
    }

    void catalogueBesideAReadOnlyProgramMovesIn()
    {
        QTemporaryDir exe, user;
        QVERIFY(TestUtil::WriteFile(exe.filePath("quillmere.dat"), m_sample));
        QVERIFY(TestUtil::WriteFile(exe.filePath("quillmere.bak"), "backup"));
        const QString folder = user.filePath("Quillmere");
        QString notice;
        QCOMPARE(TApplication::MoveInDataFolder(exe.path(), folder, &notice), folder);
        QCOMPARE(TestUtil::ReadFile(folder + "/quillmere.dat"), m_sample);
        QCOMPARE(TestUtil::ReadFile(folder + "/quillmere.bak"), QByteArray("backup"));
        QVERIFY(notice.contains(exe.path()));
        QVERIFY(notice.contains(folder));

        // The window starts from the copy.
        auto w = std::make_unique<TMainF>();
        w->Catalogue.SetDataFolder(folder);
        w->FormCreate(nullptr);
        QCOMPARE(rootTexts(w->Catalogue), (QStringList{"Velmarch", "Work", "Home"}));
        w.reset();

        // Once there, the catalogue of the data folder is the one: no copy, nothing to say.
        QVERIFY(TestUtil::WriteFile(folder + "/quillmere.dat", "mine"));
        notice.clear();
        TApplication::MoveInDataFolder(exe.path(), folder, &notice);
        QCOMPARE(TestUtil::ReadFile(folder + "/quillmere.dat"), QByteArray("mine"));
        QVERIFY(notice.isEmpty());
    }

    void onlyRegularFilesMoveIn()
    {
        QTemporaryDir exe, user, elsewhere;
        // A name that leads to a device or a pipe is no catalogue: copying
        // it would never end or never start.
        QVERIFY(QFile::link("/dev/zero", exe.filePath("quillmere.dat")));
        QCOMPARE(::mkfifo(QFile::encodeName(exe.filePath("quillmere.bak")).constData(), 0600), 0);
        QString notice;
        const QString folder = user.filePath("Quillmere");
        TApplication::MoveInDataFolder(exe.path(), folder, &notice);
        QVERIFY(notice.isEmpty());
        QVERIFY(QDir(folder)
                    .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
                    .isEmpty());

        // A link to a regular file is a catalogue; the pipe beside it stays behind.
        QFile::remove(exe.filePath("quillmere.dat"));
        QVERIFY(TestUtil::WriteFile(elsewhere.filePath("real.dat"), m_sample));
        QVERIFY(QFile::link(elsewhere.filePath("real.dat"), exe.filePath("quillmere.dat")));
        TApplication::MoveInDataFolder(exe.path(), folder, &notice);
        QCOMPARE(TestUtil::ReadFile(folder + "/quillmere.dat"), m_sample);
        QVERIFY(!QFileInfo(folder + "/quillmere.dat").isSymLink());
        QVERIFY(!QFileInfo::exists(folder + "/quillmere.bak"));
        QVERIFY(!notice.isEmpty());
    }

    void emptyStartMakesNoCategory()
    {
        auto w = start();
        QCOMPARE(rootTexts(w->Catalogue), (QStringList{"Velmarch", "No category"}));
        QCOMPARE(w->Catalogue.TopCategory->Data()->Kind, nkCategory);
    }

    void backupAndRestore()
    {
        QVERIFY(TestUtil::WriteFile(m_dir.filePath("quillmere.dat"), m_sample));
        auto w = start();
        w->findChild<QAction*>("acBackupData")->trigger();
        QCOMPARE(TestUtil::ReadFile(m_dir.filePath("quillmere.bak")), m_sample);
        QVERIFY(!w->Catalogue.DataSaved); // the final save must still happen
        QCOMPARE(rootTexts(w->Catalogue).first(), QString("Velmarch"));
        QCOMPARE(w->Catalogue.MakerCategory->Count(), 3);
        QVERIFY(w->statusBar()->currentMessage().contains("Data successfully saved."));

        w->Catalogue.AddCategoryNode(nullptr, "Later");
        QCOMPARE(rootTexts(w->Catalogue).last(), QString("Later"));
        w->acRestoreBackup->trigger();
        QCOMPARE(rootTexts(w->Catalogue), (QStringList{"Velmarch", "Work", "Home"}));
        QVERIFY(w->statusBar()->currentMessage().contains("Data successfully restored"));
        w->FormDestroy();
        QCOMPARE(TestUtil::ReadFile(m_dir.filePath("quillmere.dat")), m_sample);
    }

    void restoreWithoutBackupDoesNothing()
    {
        QVERIFY(TestUtil::WriteFile(m_dir.filePath("quillmere.dat"), m_sample));
        auto w = start();
        w->Catalogue.AddCategoryNode(nullptr, "Later");
        w->acRestoreBackup->trigger();
        QCOMPARE(rootTexts(w->Catalogue).last(), QString("Later"));
    }

    void cancelledLogoffKeepsLaterChanges()
    {
        QVERIFY(TestUtil::WriteFile(m_dir.filePath("quillmere.dat"), m_sample));
        auto w = start();
        w->QueryEndSession();
        QCOMPARE(TestUtil::ReadFile(m_dir.filePath("quillmere.dat")), m_sample);
        QVERIFY(!w->Catalogue.DataSaved);
        QCOMPARE(rootTexts(w->Catalogue).first(), QString("Velmarch"));
        w->Catalogue.AddCategoryNode(nullptr, "After logoff");
        w->FormDestroy();
        QVERIFY(TestUtil::ReadFile(m_dir.filePath("quillmere.dat")).contains("After logoff"));
    }

    void terminationWaitsForALoadInProgress()
    {
        // A restore of many lines runs a nested event loop; a logoff query or
        // a termination arriving meanwhile must not save the half-built tree.
        QByteArray big;
        for (int i = 0; i < 20000; ++i)
            big += TestUtil::CatalogueLine(QString("Category %1").arg(i), 0, {}, "1");
        QVERIFY(TestUtil::WriteFile(m_dir.filePath("quillmere.dat"), m_sample));
        QVERIFY(TestUtil::WriteFile(m_dir.filePath("quillmere.bak"), big));
        auto w = start();
        bool sawLoading = false;
        QTimer::singleShot(0, w.get(), [&] {
            sawLoading = w->Catalogue.Loading();
            w->QueryEndSession();
            w->EndRun();
        });
        QSignalSpy quit(qApp, &QCoreApplication::aboutToQuit);
        w->acRestoreBackup->trigger();
        QVERIFY(sawLoading);
        QTRY_COMPARE(TestUtil::ReadFile(m_dir.filePath("quillmere.dat")), big);
    }

    void failedSaveIsReported()
    {
        QVERIFY(TestUtil::WriteFile(m_dir.filePath("quillmere.dat"), m_sample));
        QString shown; // outlives the window, whose final save fails too
        auto w = start();
        w->Catalogue.SetDataFolder(m_dir.filePath("no/such/folder"));
        HSDialogs::SetHandler([&](QMessageBox::Icon, const QString& text) {
            shown = text;
            return QMessageBox::Ok;
        });
        w->acBackupData->trigger();
        QVERIFY(shown.contains("quillmere.bak"));
        QVERIFY(!w->Catalogue.DataSaved);
        QCOMPARE(rootTexts(w->Catalogue).first(), QString("Velmarch"));
    }

    void closingOnlyHides()
    {
        auto w = start();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->close();
        QVERIFY(!w->isVisible());
        QVERIFY(!w->Catalogue.DataSaved);
        w->Show1->trigger();
        QVERIFY(w->isVisible());
    }

    void commandsCarryTheirShortcuts_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QKeySequence>("shortcut");
        QTest::newRow("add file") << "Add file..." << QKeySequence(Qt::Key_Insert);
        QTest::newRow("add category") << "Add category" << QKeySequence("Ctrl+N");
        QTest::newRow("remove") << "Remove from program" << QKeySequence("Ctrl+Del");
        QTest::newRow("find") << "Find by name..." << QKeySequence("Ctrl+F");
        QTest::newRow("find comments") << "Find in comments..." << QKeySequence("Ctrl+Alt+F");
        QTest::newRow("again") << "Continue search" << QKeySequence(Qt::Key_F3);
        QTest::newRow("options") << "Options..." << QKeySequence(Qt::Key_F12);
        QTest::newRow("backup") << "Backup data" << QKeySequence("Ctrl+S");
        QTest::newRow("restore") << "Restore data" << QKeySequence("Ctrl+O");
        QTest::newRow("exit") << "&Exit" << QKeySequence("Ctrl+Q");
        QTest::newRow("help") << "Help content..." << QKeySequence(Qt::Key_F1);
    }

    void commandsCarryTheirShortcuts()
    {
        QFETCH(QString, caption);
        QFETCH(QKeySequence, shortcut);
        auto w = start();
        QAction* found = nullptr;
        for (QAction* a : w->actions())
            if (a->text() == caption)
                found = a;
        QVERIFY2(found, qPrintable(caption));
        QCOMPARE(found->shortcut(), shortcut);
    }

    void commandsStillToComeAreDisabled()
    {
        auto w = start();
        QStringList enabled, names;
        for (QAction* a : w->findChildren<QAction*>()) {
            if (a->objectName().isEmpty())
                continue; // Qt's own, such as a menu's
            names << a->objectName();
            if (a->isEnabled())
                enabled << a->objectName();
        }
        QCOMPARE(names.size(),
                 QSet<QString>(names.begin(), names.end()).size()); // each found by its name
        enabled.sort();
        QCOMPARE(enabled, (QStringList{"About1", "Detailes1", "Detailes2", "Exit1", "ExitMenu",
                                       "Hide1", "LargeIcons1", "LargeIcons2", "List1", "List2",
                                       "Show1", "SmallIcons1", "SmallIcons2", "acBackupData",
                                       "acCollapseAll", "acExpandAll", "acFindObject",
                                       "acRemoveOnAbsent", "acRestoreBackup"}));
        QVERIFY(!w->btnSearch->isEnabled());
    }

    void viewButtonSpellsDetailes()
    {
        auto w = start();
        QCOMPARE(w->ViewMenu->actions().last()->text(), QString("Detailes"));
        QCOMPARE(w->ViewMainMenu->actions().last()->text(), QString("Details"));
        QVERIFY(w->Detailes1->isChecked());
        w->btnViewClick(); // cycles on to the first style
        QVERIFY(w->LargeIcons1->isChecked());
        QVERIFY(w->LargeIcons2->isChecked());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
