// The main window's start-up, end of the run, backup and restore, with the
// catalogue in a temporary folder.
#include "catalogue/AutoSave.h"
#include "catalogue/Catalogue.h"
#include "components/MessageDialogs.h"
#include "forms/Application.h"
#include "forms/MainWindow.h"
#include "forms/main/CategoryView.h"
#include "forms/main/Commands.h"
#include "utils/FileOperations.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QInputDialog>
#include <QMenu>
#include <QProcess>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>
#include <csignal>
#include <sys/stat.h>

#include "testutil/TestUtil.h"

namespace
{

// A command of the window, by its action's name.
QAction* action(MainWindow& w, const char* name)
{
    auto* found = w.findChild<QAction*>(QString::fromLatin1(name));
    if (!found)
        qFatal("no action %s", name);
    return found;
}

// "Restore data", waited for to its end.
void restore(MainWindow& w)
{
    QSignalSpy loaded(&w.catalogue(), &Catalogue::loaded);
    action(w, "acRestoreBackup")->trigger();
    QVERIFY(loaded.wait(20000));
}

QStringList rootTexts(Catalogue& cat)
{
    QStringList out;
    for (int i = 0; i < cat.nodes().rootCount(); ++i)
        out << cat.nodes().rootItem(i)->text();
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

    std::unique_ptr<MainWindow> start()
    {
        auto w = std::make_unique<MainWindow>();
        w->setQuitHook([this] { ++m_quits; });
        w->catalogue().setDataFolder(m_dir.path());
        w->start(nullptr);
        return w;
    }

    QString dat() const { return m_dir.filePath("quillmere.dat"); }

    static QByteArray manyCategories(int count)
    {
        QByteArray out;
        for (int i = 0; i < count; ++i)
            out += TestUtil::catalogueLine(QString("Category %1").arg(i), 0, {}, "1");
        return out;
    }

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
        m_sample = TestUtil::catalogueLine("Work", 0, {}, "1", "mine") +
                   TestUtil::catalogueLine("Notes", 1, m_dir.filePath("notes.txt"), "2") +
                   TestUtil::catalogueLine("Site", 1, "https://example.org/", "4") +
                   TestUtil::catalogueLine("Home", 0, {}, "1");
        MessageDialogs::setHandler(
            [](QMessageBox::Icon, const QString&) { return QMessageBox::Ok; });
        m_quits = 0;
    }

    void exitSavesOnceAndEndsTheRun()
    {
        QVERIFY(TestUtil::writeFile(dat(), m_sample));
        auto w = start();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QFile::remove(dat());
        action(*w, "ExitMenu")->trigger();
        QCOMPARE(m_quits, 1);
        QCOMPARE(TestUtil::readFile(dat()), m_sample);
        // The window no longer hides itself when Qt closes it on the way out.
        QVERIFY(w->close());
        // A later request (the tray menu's Exit, a signal) neither saves nor quits twice.
        QFile::remove(dat());
        action(*w, "Exit1")->trigger();
        w->endRun();
        QCOMPARE(m_quits, 1);
        QVERIFY(!QFile::exists(dat()));
    }

    void failedFinalSaveIsReportedOnce()
    {
        QVERIFY(TestUtil::writeFile(dat(), m_sample));
        auto w = start();
        // Something that is no file took the catalogue's place.
        QFile::remove(dat());
        QVERIFY(QDir(m_dir.path()).mkdir("quillmere.dat"));
        QStringList shown;
        MessageDialogs::setHandler([&](QMessageBox::Icon, const QString& text) {
            shown << text;
            // More termination signals while the report is up add no box.
            w->endRun();
            w->endRun();
            return QMessageBox::Ok;
        });
        w->queryEndSession(); // the desktop's logoff query comes first
        w->endRun();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].contains("it is not a regular file"), qPrintable(shown[0]));
        QCOMPARE(m_quits, 1);
        w->finish(); // the application's aboutToQuit
        w.reset();
        QCOMPARE(shown.size(), 1);
        QVERIFY(QFileInfo(dat()).isDir());
    }

    void malformedLegacyFileIsImportedUpToTheBadLine()
    {
        const QByteArray legacy =
            "Work~~my work\r\n\tSite~https://example.org/~c\r\n\t\t\tDeep~~x\r\nAfter~~y\r\n";
        QVERIFY(TestUtil::writeFile(m_dir.filePath("MyDocs.qmre"), legacy));
        auto w = start();
        QVERIFY2(w->startupError().contains("Invalid level (3) for item \"Deep~~x\""),
                 qPrintable(w->startupError()));
        const QString aside = m_dir.filePath("MyDocs.qmre.damaged");
        QVERIFY2(w->startupError().contains(aside), qPrintable(w->startupError()));
        QCOMPARE(TestUtil::readFile(aside), legacy);
        // Proper records for what was read, and the built-in category as usual.
        QCOMPARE(rootTexts(w->catalogue()), (QStringList{"Velmarch", "Work"}));
        QCOMPARE(w->catalogue().topCategory()->text(), QString("Work"));
        QCOMPARE(w->catalogue().topCategory()->data()->comments, QString("my work"));
        QCOMPARE(w->catalogue().topCategory()->item(0)->data()->kind, NodeKind::Url);
        QCOMPARE(w->catalogue().makerCategory()->count(), 3);
        w->finish();
        QCOMPARE(TestUtil::readFile(dat()),
                 TestUtil::catalogueLine("Work", 0, {}, "1", "my work") +
                     TestUtil::catalogueLine("Site", 1, "https://example.org/", "4", "c"));
        QCOMPARE(TestUtil::readFile(m_dir.filePath("MyDocs.qmre")), legacy);
    }

    void unopenableCatalogueLeavesACategory()
    {
        QVERIFY(QDir(m_dir.path()).mkdir("quillmere.dat"));
        auto w = start();
        QVERIFY(w->startupError().contains("It is not a regular file."));
        QCOMPARE(rootTexts(w->catalogue()), (QStringList{"Velmarch", "No category"}));
        TreeNode* first = w->catalogue().nodes().rootItem(1);
        QVERIFY(first->data());
        QCOMPARE(first->data()->kind, NodeKind::Category);
        QCOMPARE(first->imageIndex(), int(imgCategory));
        action(*w, "acBackupData")->trigger();
        QCOMPARE(TestUtil::readFile(m_dir.filePath("quillmere.bak")),
                 TestUtil::catalogueLine("No category", 0, {}, "1"));
    }

    void failedRestoreKeepsTheCatalogue()
    {
        QVERIFY(TestUtil::writeFile(dat(), m_sample));
        // The bad line comes after many good ones, which the tree takes in
        // several turns of the event loop before the fault is found.
        QVERIFY(TestUtil::writeFile(m_dir.filePath("quillmere.bak"),
                                    manyCategories(20000) +
                                        TestUtil::catalogueLine("Bad", 2, {}, "1")));
        auto w = start();
        action(*w, "acNewCateg")->trigger(); // an undo step before the restore
        const QString undoText = action(*w, "acUndo")->text();
        const QStringList before = rootTexts(w->catalogue());
        QString shown;
        MessageDialogs::setHandler([&](QMessageBox::Icon, const QString& text) {
            shown = text;
            return QMessageBox::Ok;
        });
        restore(*w);
        QVERIFY2(shown.contains("Nothing was restored"), qPrintable(shown));
        QCOMPARE(rootTexts(w->catalogue()), before);
        QCOMPARE(action(*w, "acUndo")->text(), undoText); // the restore is no step
        QVERIFY(!w->catalogue().loading());
        action(*w, "acUndo")->trigger();
        action(*w, "ExitMenu")->trigger();
        QCOMPARE(TestUtil::readFile(dat()), m_sample);
    }

    // A copy (or a move to another file system) killed half-way leaves its
    // hidden staging folder in the destination; the next start removes it.
    // The copy runs in a child process that kills itself at its first
    // progress report.
    void stagingLeftByAKilledRunGoesAtTheNextStart()
    {
        // The child works in this run's folder.
        if (const QString folder = qEnvironmentVariable("QUILLMERE_TEST_KILLED_COPY");
            !folder.isEmpty()) {
            struct KilledUi : FileUtils::FileOpUi {
                bool askOverwrite(const QString&, bool) override { return true; }
                bool askCreateFolder(const QString&) override { return true; }
                bool confirmDelete(const QString&, bool, bool) override { return true; }
                void error(const QString&) override {}
                bool progress(qint64, const QString&) override
                {
                    ::raise(SIGKILL);
                    return true;
                }
            } ui;
            MainWindow w;
            w.catalogue().setDataFolder(folder);
            w.start(nullptr);
            FileUtils::copyOrMove(ui, folder + "/big.bin", folder + "/to", false, false);
            QFAIL("the copy ran to its end");
        }
        const QString destination = m_dir.filePath("to");
        QVERIFY(TestUtil::writeFile(m_dir.filePath("big.bin"), QByteArray(4 << 20, 'x')));
        QVERIFY(QDir().mkpath(destination));
        QProcess killed;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QUILLMERE_TEST_KILLED_COPY", m_dir.path());
        killed.setProcessEnvironment(env);
        killed.start(QApplication::applicationFilePath(),
                     {"stagingLeftByAKilledRunGoesAtTheNextStart"});
        QVERIFY(killed.waitForFinished(60000));
        QCOMPARE(killed.exitStatus(), QProcess::CrashExit);
        const auto left = [&] {
            return QDir(destination)
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        };
        QCOMPARE(left().size(), 1);
        QVERIFY(left().first().startsWith(".quillmere-"));
        QVERIFY(QFile::exists(m_dir.filePath("quillmere.staging")));

        auto w = start();
        QCOMPARE(left(), QStringList());
        QVERIFY(!QFile::exists(m_dir.filePath("quillmere.staging")));
        QVERIFY(QFile::exists(m_dir.filePath("big.bin")));
    }

    void startupPutsBuiltInCategoryFirst()
    {
        QVERIFY(TestUtil::writeFile(m_dir.filePath("quillmere.dat"), m_sample));
        auto w = start();
        QVERIFY2(w->startupError().isEmpty(), qPrintable(w->startupError()));
        QCOMPARE(rootTexts(w->catalogue()), (QStringList{"Velmarch", "Work", "Home"}));
        TreeNode* maker = w->catalogue().makerCategory();
        QCOMPARE(maker->count(), 3);
        QCOMPARE(maker->item(0)->text(), QString("Velmarch at the Web"));
        QVERIFY(maker->item(2)->data()->fullName.contains("velmarch.example"));
        QCOMPARE(w->catalogue().topCategory()->text(), QString("Work"));
        auto* view = w->findChild<CategoryView*>();
        QVERIFY(view);
        QCOMPARE(view->listedNode(), w->catalogue().topCategory());
        QCOMPARE(view->currentNode(), maker);
    }

    void endOfRunWritesTheCatalogueOnce()
    {
        QVERIFY(TestUtil::writeFile(m_dir.filePath("quillmere.dat"), m_sample));
        auto w = start();
        QFile::remove(m_dir.filePath("quillmere.dat"));
        w->finish();
        QCOMPARE(TestUtil::readFile(m_dir.filePath("quillmere.dat")),
                 m_sample); // built-in category left out
        QFile::remove(m_dir.filePath("quillmere.dat"));
        w.reset(); // destroying the window must not write a second time
        QVERIFY(!QFile::exists(m_dir.filePath("quillmere.dat")));
    }

    void malformedCatalogueIsKeptAside()
    {
        const QByteArray bad = m_sample + TestUtil::catalogueLine("Deep", 3, {}, "1") +
                               TestUtil::catalogueLine("Lost", 0, {}, "1");
        QVERIFY(TestUtil::writeFile(m_dir.filePath("quillmere.dat"), bad));
        auto w = start();
        QVERIFY(w->startupError().contains("Invalid level (3) for item \"Deep\""));
        const QString aside = m_dir.filePath("quillmere.dat.damaged");
        QVERIFY(w->startupError().contains(aside));
        QCOMPARE(TestUtil::readFile(aside), bad);
        // What loaded stays usable, with the built-in category in front.
        QCOMPARE(rootTexts(w->catalogue()), (QStringList{"Velmarch", "Work", "Home"}));
        w->finish();
        QCOMPARE(TestUtil::readFile(aside), bad);
    }

    void legacyImportWhenThereIsNoCatalogue()
    {
        QVERIFY(TestUtil::writeFile(m_dir.filePath("notes.txt"), "x"));
        TestUtil::writeFile(m_dir.filePath("MyDocs.qmre"),
                            ("Papers~~old stuff\r\n\tNotes~" + m_dir.filePath("notes.txt") +
                             "~c\r\n\tWeb~https://example.org/\r\n")
                                .toUtf8());
        auto w = start();
        QVERIFY(w->startupError().isEmpty());
        QCOMPARE(rootTexts(w->catalogue()), (QStringList{"Velmarch", "Papers"}));
        TreeNode* papers = w->catalogue().topCategory();
        QCOMPARE(papers->text(), QString("Papers"));
        QCOMPARE(papers->item(0)->data()->kind, NodeKind::Doc);
        QCOMPARE(papers->item(1)->data()->kind, NodeKind::Url);
        QVERIFY(QFile::exists(m_dir.filePath("MyDocs.~qmre")));
        w->finish();
        QVERIFY(TestUtil::readFile(m_dir.filePath("quillmere.dat"))
                    .startsWith(QByteArray("Papers\0"
                                           "0\0\0old stuff\0"
                                           "1\0\r\n",
                                           23)));
    }

    void catalogueBesideAReadOnlyProgramMovesIn()
    {
        QTemporaryDir exe, user;
        QVERIFY(TestUtil::writeFile(exe.filePath("quillmere.dat"), m_sample));
        QVERIFY(TestUtil::writeFile(exe.filePath("quillmere.bak"), "backup"));
        const QString folder = user.filePath("Quillmere");
        QString notice;
        QCOMPARE(Application::moveInDataFolder(exe.path(), folder, &notice), folder);
        QCOMPARE(TestUtil::readFile(folder + "/quillmere.dat"), m_sample);
        QCOMPARE(TestUtil::readFile(folder + "/quillmere.bak"), QByteArray("backup"));
        QVERIFY(notice.contains(exe.path()));
        QVERIFY(notice.contains(folder));

        // The window starts from the copy.
        auto w = std::make_unique<MainWindow>();
        w->catalogue().setDataFolder(folder);
        w->start(nullptr);
        QCOMPARE(rootTexts(w->catalogue()), (QStringList{"Velmarch", "Work", "Home"}));
        w.reset();

        // Once there, the catalogue of the data folder is the one: no copy, nothing to say.
        QVERIFY(TestUtil::writeFile(folder + "/quillmere.dat", "mine"));
        notice.clear();
        Application::moveInDataFolder(exe.path(), folder, &notice);
        QCOMPARE(TestUtil::readFile(folder + "/quillmere.dat"), QByteArray("mine"));
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
        Application::moveInDataFolder(exe.path(), folder, &notice);
        QVERIFY(notice.isEmpty());
        QVERIFY(QDir(folder)
                    .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
                    .isEmpty());

        // A link to a regular file is a catalogue; the pipe beside it stays behind.
        QFile::remove(exe.filePath("quillmere.dat"));
        QVERIFY(TestUtil::writeFile(elsewhere.filePath("real.dat"), m_sample));
        QVERIFY(QFile::link(elsewhere.filePath("real.dat"), exe.filePath("quillmere.dat")));
        Application::moveInDataFolder(exe.path(), folder, &notice);
        QCOMPARE(TestUtil::readFile(folder + "/quillmere.dat"), m_sample);
        QVERIFY(!QFileInfo(folder + "/quillmere.dat").isSymLink());
        QVERIFY(!QFileInfo::exists(folder + "/quillmere.bak"));
        QVERIFY(!notice.isEmpty());
    }

    void emptyStartMakesNoCategory()
    {
        auto w = start();
        QCOMPARE(rootTexts(w->catalogue()), (QStringList{"Velmarch", "No category"}));
        QCOMPARE(w->catalogue().topCategory()->data()->kind, NodeKind::Category);
    }

    void backupAndRestore()
    {
        QVERIFY(TestUtil::writeFile(m_dir.filePath("quillmere.dat"), m_sample));
        auto w = start();
        w->findChild<QAction*>("acBackupData")->trigger();
        QCOMPARE(TestUtil::readFile(m_dir.filePath("quillmere.bak")), m_sample);
        QVERIFY(!w->catalogue().dataSaved()); // the final save must still happen
        QCOMPARE(rootTexts(w->catalogue()).first(), QString("Velmarch"));
        QCOMPARE(w->catalogue().makerCategory()->count(), 3);
        QVERIFY(w->statusBar()->currentMessage().contains("Data successfully saved."));

        w->catalogue().addCategoryNode(nullptr, "Later");
        QCOMPARE(rootTexts(w->catalogue()).last(), QString("Later"));
        restore(*w);
        QCOMPARE(rootTexts(w->catalogue()), (QStringList{"Velmarch", "Work", "Home"}));
        QVERIFY(w->statusBar()->currentMessage().contains("Data successfully restored"));
        w->finish();
        QCOMPARE(TestUtil::readFile(m_dir.filePath("quillmere.dat")), m_sample);
    }

    void restoreWithoutBackupDoesNothing()
    {
        QVERIFY(TestUtil::writeFile(m_dir.filePath("quillmere.dat"), m_sample));
        auto w = start();
        w->catalogue().addCategoryNode(nullptr, "Later");
        restore(*w);
        QCOMPARE(rootTexts(w->catalogue()).last(), QString("Later"));
    }

    void cancelledLogoffKeepsLaterChanges()
    {
        QVERIFY(TestUtil::writeFile(m_dir.filePath("quillmere.dat"), m_sample));
        auto w = start();
        w->queryEndSession();
        QCOMPARE(TestUtil::readFile(m_dir.filePath("quillmere.dat")), m_sample);
        QVERIFY(!w->catalogue().dataSaved());
        QCOMPARE(rootTexts(w->catalogue()).first(), QString("Velmarch"));
        w->catalogue().addCategoryNode(nullptr, "After logoff");
        w->finish();
        QVERIFY(TestUtil::readFile(m_dir.filePath("quillmere.dat")).contains("After logoff"));
    }

    void terminationWaitsForALoadInProgress()
    {
        // A restore of many lines is built while the event loop runs; a logoff
        // query or a termination arriving meanwhile must not save the
        // half-built tree, and takes effect once the load is through.
        const QByteArray big = manyCategories(20000);
        QVERIFY(TestUtil::writeFile(m_dir.filePath("quillmere.dat"), m_sample));
        QVERIFY(TestUtil::writeFile(m_dir.filePath("quillmere.bak"), big));
        auto w = start();
        action(*w, "acRestoreBackup")->trigger();
        QVERIFY(w->catalogue().loading());
        w->queryEndSession();
        w->endRun();
        w->endRun(); // asked twice, ends once
        QCOMPARE(m_quits, 0);
        QCOMPARE(TestUtil::readFile(m_dir.filePath("quillmere.dat")), m_sample);
        QTRY_COMPARE_WITH_TIMEOUT(m_quits, 1, 20000);
        QVERIFY(!w->catalogue().loading());
        QCOMPARE(TestUtil::readFile(m_dir.filePath("quillmere.dat")), big);
    }

    void duringALoadInputWaitsAndFilingFollows()
    {
        // While the tree is built the window takes no input, and items handed
        // over by another start are filed into the loaded tree.
        const QByteArray big = manyCategories(20000);
        QVERIFY(TestUtil::writeFile(dat(), m_sample));
        QVERIFY(TestUtil::writeFile(m_dir.filePath("quillmere.bak"), big));
        const QString item = m_dir.filePath("handed.txt");
        QVERIFY(TestUtil::writeFile(item, "x"));
        auto w = start();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        auto* tree = w->findChild<QTreeView*>("DocsTree");
        QVERIFY(tree);
        QSignalSpy loaded(&w->catalogue(), &Catalogue::loaded);
        action(*w, "acRestoreBackup")->trigger();
        QVERIFY(w->catalogue().loading());
        w->fileItems({item}, QString());
        // Insert would add a category to the tree being built.
        QTest::keyClick(tree, Qt::Key_Insert);
        QVERIFY(loaded.wait(20000));
        // The backup and the built-in category; no category came from the key.
        QCOMPARE(w->catalogue().nodes().rootCount(), 20001);
        const auto filed = [&] {
            for (TreeNode* n = w->catalogue().nodes().getFirstNode(); n; n = n->getNext())
                if (n->data() && n->data()->fullName == item)
                    return true;
            return false;
        };
        QVERIFY(!filed()); // not before the load's own outcome was taken
        QTRY_VERIFY(filed());
        QCOMPARE(w->catalogue().nodes().rootCount(), 20001);
    }

    void asynchronousStartWaitsForTheLoad()
    {
        // The program's own start: the window is whole once runStarted came;
        // an end asked for before that waits for it, and saves the whole tree.
        const QByteArray big = manyCategories(20000);
        QVERIFY(TestUtil::writeFile(dat(), big));
        auto w = std::make_unique<MainWindow>();
        w->setQuitHook([this] { ++m_quits; });
        w->catalogue().setDataFolder(m_dir.path());
        QSignalSpy started(w.get(), &MainWindow::runStarted);
        w->startRun(nullptr);
        QVERIFY(w->catalogue().loading());
        QVERIFY(!w->started());
        w->endRun();
        QVERIFY(started.wait(20000));
        QVERIFY(w->started());
        QCOMPARE(rootTexts(w->catalogue()).first(), QString("Velmarch"));
        QTRY_COMPARE(m_quits, 1);
        QCOMPARE(TestUtil::readFile(dat()), big);
    }

    void windowClosedDuringALoadLeavesTheFile()
    {
        // The window goes while the reader still reads (and reports its
        // progress): nothing it left behind may be reached, and the
        // incomplete tree is never written over the file.
        const QByteArray big = manyCategories(200000);
        QVERIFY(TestUtil::writeFile(dat(), big));
        for (int round = 0; round < 3; ++round) {
            auto w = std::make_unique<MainWindow>();
            w->setQuitHook([this] { ++m_quits; });
            w->catalogue().setDataFolder(m_dir.path());
            w->startRun(nullptr);
            QVERIFY(w->catalogue().loading());
            // Some of the tree is built, the reader is still at work.
            QTRY_VERIFY_WITH_TIMEOUT(w->catalogue().nodes().rootCount() > 0, 20000);
            QVERIFY(w->catalogue().loading());
            w.reset();
            QCOMPARE(TestUtil::readFile(dat()), big);
        }
        QCOMPARE(m_quits, 0);
        // A restore under way when the window goes takes its wait cursor along.
        QVERIFY(TestUtil::writeFile(m_dir.filePath("quillmere.bak"), big));
        auto w = start();
        QVERIFY(!QApplication::overrideCursor());
        action(*w, "acRestoreBackup")->trigger();
        QVERIFY(w->catalogue().loading());
        QVERIFY(QApplication::overrideCursor());
        w.reset();
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(TestUtil::readFile(dat()), big);
    }

    void failedSaveIsReported()
    {
        QVERIFY(TestUtil::writeFile(m_dir.filePath("quillmere.dat"), m_sample));
        QString shown; // outlives the window
        auto w = start();
        QVERIFY(QDir(m_dir.path()).mkdir("quillmere.bak")); // cannot be replaced by a file
        MessageDialogs::setHandler([&](QMessageBox::Icon, const QString& text) {
            shown = text;
            return QMessageBox::Ok;
        });
        action(*w, "acBackupData")->trigger();
        QVERIFY(shown.contains("quillmere.bak"));
        QVERIFY(!w->catalogue().dataSaved());
        QCOMPARE(rootTexts(w->catalogue()).first(), QString("Velmarch"));
    }

    // ---- saves while the user works ----

    void editsReachTheDiskWhileTheUserWorks()
    {
        QVERIFY(TestUtil::writeFile(dat(), m_sample));
        auto w = start();
        auto* autoSave = w->findChild<AutoSave*>("AutoSave");
        QVERIFY(autoSave);
        QVERIFY(!autoSave->pending()); // the start-up's load is no change
        QSignalSpy saved(autoSave, &AutoSave::saved);
        action(*w, "acNewCateg")->trigger();
        QVERIFY(saved.wait(20000));
        QVERIFY(TestUtil::readFile(dat()).contains("New category"));
        QVERIFY(!w->catalogue().dataSaved()); // the end of the run saves all the same
        // A backup changes nothing in the tree, so nothing is saved after it.
        action(*w, "acBackupData")->trigger();
        QVERIFY(!autoSave->pending());
    }

    void anOpenQuestionHoldsTheSave()
    {
        QVERIFY(TestUtil::writeFile(dat(), m_sample));
        auto w = start();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        auto* autoSave = w->findChild<AutoSave*>("AutoSave");
        int looks = 0;
        const auto decide = autoSave->holdHook;
        autoSave->holdHook = [&] {
            ++looks;
            return decide && decide();
        };
        action(*w, "acNewCateg")->trigger();
        // The comment of the new category is asked for at once.
        auto* tree = w->findChild<QTreeView*>("DocsTree");
        tree->setFocus();
        tree->setCurrentIndex(w->catalogue().nodes().indexOf(w->catalogue().nodes().rootItem(3)));
        QCOMPARE(w->catalogue().nodes().rootItem(3)->text(), QString("New category"));
        bool heldWhileOpen = false;
        QTimer::singleShot(0, w.get(), [&] {
            auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            // The save looked several times while the question was open, and waited.
            const auto saved = [&] { return TestUtil::readFile(dat()).contains("New category"); };
            const bool settled = QTest::qWaitFor([&] { return looks >= 3 || saved(); }, 20000);
            heldWhileOpen = settled && looks >= 3 && !saved();
            dialog->setTextValue("answered");
            dialog->accept();
        });
        action(*w, "acAddComments")->trigger();
        QVERIFY(heldWhileOpen);
        QTRY_VERIFY_WITH_TIMEOUT(TestUtil::readFile(dat()).contains("answered"), 20000);
        QVERIFY(TestUtil::readFile(dat()).contains("New category"));
    }

    void anotherStartAndARestoreWaitForThePendingSave()
    {
        QVERIFY(TestUtil::writeFile(dat(), m_sample));
        QVERIFY(TestUtil::writeFile(m_dir.filePath("quillmere.bak"), m_sample));
        auto w = start();
        // Another start of the program asks the window to come back: its last
        // edit is on the disk before the other start goes on.
        action(*w, "acNewCateg")->trigger();
        QVERIFY(!TestUtil::readFile(dat()).contains("New category"));
        w->restoreFromTray();
        QVERIFY(TestUtil::readFile(dat()).contains("New category"));

        // The edit before a restore reaches the file; then the restored tree does.
        TreeNode* node = w->catalogue().nodes().rootItem(1);
        w->catalogue().nodes().setText(node, "Before the restore");
        action(*w, "acRestoreBackup")->trigger();
        QVERIFY(TestUtil::readFile(dat()).contains("Before the restore"));
        QTRY_COMPARE_WITH_TIMEOUT(TestUtil::readFile(dat()), m_sample, 20000);
    }

    void aFailingSaveIsToldOnce()
    {
        QVERIFY(TestUtil::writeFile(dat(), m_sample));
        auto w = start();
        // Neither the folder nor the user's data folder can be made.
        const QString blocker = m_dir.filePath("blocker");
        QVERIFY(TestUtil::writeFile(blocker, "x"));
        w->catalogue().setDataFolder(blocker + "/catalogue");
        const QByteArray oldData = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(blocker + "/data"));
        auto restoreData = qScopeGuard([&] { qputenv("XDG_DATA_HOME", oldData); });
        QStringList shown;
        MessageDialogs::setHandler([&](QMessageBox::Icon, const QString& text) {
            shown << text;
            return QMessageBox::Ok;
        });
        QSignalSpy done(&w->catalogue(), &Catalogue::backgroundWriteDone);
        action(*w, "acNewCateg")->trigger();
        QVERIFY(done.wait(20000));
        action(*w, "acNewCateg")->trigger();
        QVERIFY(done.wait(20000));
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].contains("cannot be made again") &&
                     shown[0].contains("saved again at the next change"),
                 qPrintable(shown[0]));
        // The end of the run tries once more, with room again.
        QVERIFY(QFile::remove(blocker));
        w->finish();
        QCOMPARE(TestUtil::readFile(blocker + "/catalogue/quillmere.dat").count("New category"), 2);
    }

    void closingOnlyHides()
    {
        auto w = start();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->close();
        QVERIFY(!w->isVisible());
        QVERIFY(!w->catalogue().dataSaved());
        action(*w, "Show1")->trigger();
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

    void everyCommandIsBuiltAndEnabled()
    {
        auto w = start();
        QStringList names, disabled;
        for (QAction* a : w->findChildren<QAction*>()) {
            if (a->objectName().isEmpty() || a->objectName().startsWith(u"_q_"))
                continue; // Qt's own, such as a menu's or a line edit's clear button
            names << a->objectName();
            // Undo and Redo are greyed while there is nothing to take back.
            if (!a->isEnabled() && a->objectName() != u"acUndo" && a->objectName() != u"acRedo")
                disabled << a->objectName();
        }
        QCOMPARE(names.size(),
                 QSet<QString>(names.begin(), names.end()).size()); // each found by its name
        QVERIFY(names.size() >= int(Commands::Id::Count));          // every row of the table
        QCOMPARE(disabled, QStringList());
        auto* search = w->findChild<QToolButton*>("btnSearch");
        QVERIFY(search);
        QVERIFY(search->isEnabled());
    }

    void viewButtonSpellsDetailes()
    {
        auto w = start();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        auto* viewMenu = w->findChild<QMenu*>("ViewMenu");
        auto* viewMainMenu = w->findChild<QMenu*>("ViewMainMenu");
        auto* button = w->findChild<QToolButton*>("btnView");
        QVERIFY(viewMenu && viewMainMenu && button);
        QCOMPARE(viewMenu->actions().last()->text(), QString("Detailes"));
        QCOMPARE(viewMainMenu->actions().last()->text(), QString("Details"));
        QVERIFY(action(*w, "Detailes1")->isChecked());
        // A click on the button itself, left of its arrow, cycles on to the first style.
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(4, button->height() / 2));
        QVERIFY(action(*w, "LargeIcons1")->isChecked());
        QVERIFY(action(*w, "LargeIcons2")->isChecked());
        QCOMPARE(w->findChild<CategoryView*>()->viewStyle(), CategoryView::LargeIcons);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
