// Moved and renamed files found again in the window: "Check all links" over
// a generated tree (moved, renamed, moved together, a folder that vanished),
// the assistant from the not-found message, and one relink teaching the rest.
#include "catalogue/Catalogue.h"
#include "catalogue/SeenTargets.h"
#include "components/MessageDialogs.h"
#include "forms/CheckLinksDialog.h"
#include "forms/LocateDialog.h"
#include "forms/MainWindow.h"
#include "forms/PropertiesDialog.h"
#include "forms/main/CategoryView.h"
#include "forms/main/Properties.h"
#include "forms/main/Relinking.h"
#include "utils/Desktop.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>

#include "testutil/TestUtil.h"

namespace
{

TreeNode* nodeNamed(MainWindow& w, const QString& name)
{
    for (TreeNode* n = w.catalogue().nodes().getFirstNode(); n; n = n->getNext())
        if (n->text() == name)
            return n;
    return nullptr;
}

QString locationOf(MainWindow& w, const QString& name)
{
    TreeNode* n = nodeNamed(w, name);
    return n && n->data() ? n->data()->fullName : QStringLiteral("<no entry>");
}

void click(QWidget* widget)
{
    QVERIFY(widget && widget->isEnabled());
    QTest::mouseClick(widget, Qt::LeftButton);
}

// Runs Act on the dialog once its work is through.
template <class Dialog> void whenDone(Dialog& dialog, bool done, std::function<void()> act)
{
    if (done)
        act();
    else
        QObject::connect(&dialog, &Dialog::searchFinished, &dialog, std::move(act));
}

} // namespace

class TestRelinking : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QStringList m_asked;
    QMessageBox::StandardButton m_answer = QMessageBox::Yes;

    QString home(const QString& rest) const { return m_dir.filePath("home/" + rest); }
    QString store() const { return SeenTargets::storeFile(m_dir.path()); }

    std::unique_ptr<MainWindow> start()
    {
        auto w = std::make_unique<MainWindow>();
        w->catalogue().setDataFolder(m_dir.path());
        w->start(nullptr);
        return w;
    }

    // A first run that learns the files, then the changes made while the
    // program was not running.
    void learnThenMove()
    {
        QVERIFY(TestUtil::writeFile(
            m_dir.filePath("quillmere.dat"),
            TestUtil::catalogueLine("Files", 0, {}, "1") +
                TestUtil::catalogueLine("Beach", 1, home("Old/Photos/beach.jpg"), "2", "sunny",
                                        "summer") +
                TestUtil::catalogueLine("Hills", 1, home("Old/Photos/hills.jpg"), "2") +
                TestUtil::catalogueLine("Dunes", 1, home("Old/Photos/dunes.jpg"), "2") +
                TestUtil::catalogueLine("Report", 1, home("Docs/report.txt"), "2") +
                TestUtil::catalogueLine("Project", 1, home("Project"), "3") +
                TestUtil::catalogueLine("Stays", 1, home("Docs/stays.txt"), "2")));
        {
            auto w = start();
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(store()), 20000);
        }
        QVERIFY(QDir().mkpath(home("New")));
        QVERIFY(QDir().rename(home("Old/Photos"), home("New/Photos")));
        QVERIFY(QFile::rename(home("Docs/report.txt"), home("Docs/report (final).txt")));
        QVERIFY(QDir(home("Project")).removeRecursively());
    }

    // Selects the entry in the focused tree, as the target of a command.
    static void target(MainWindow& w, TreeNode* node)
    {
        auto* tree = w.findChild<QTreeView*>("DocsTree");
        tree->setFocus();
        tree->setCurrentIndex(w.catalogue().nodes().indexOf(node));
    }

    // Answers the assistant with its best place once its search is through.
    static TestUtil::ScopedOverride<Relinking::DialogHook> takeTheBest(QStringList* offered,
                                                                       bool cancel = false)
    {
        return {Relinking::dialogHook(), [offered, cancel](QDialog& d) {
                    auto& dialog = static_cast<LocateDialog&>(d);
                    whenDone(dialog, dialog.searchDone(), [&dialog, offered, cancel] {
                        auto* list = dialog.findChild<QTreeWidget*>("Candidates");
                        for (int i = 0; i < list->topLevelItemCount(); ++i)
                            *offered << list->topLevelItem(i)->text(0);
                        click(dialog.findChild<QPushButton*>(cancel ? "btnCancel" : "btnRelink"));
                    });
                }};
    }

private Q_SLOTS:
    void cleanupTestCase() { Desktop::setOpener(nullptr); }

    void init()
    {
        QVERIFY(m_dir.isValid());
        QDir(m_dir.filePath("home")).removeRecursively();
        QFile::remove(store());
        // Every test starts with the options as they come (the window writes
        // them at its end).
        QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/Velmarch")
            .removeRecursively();
        for (const char* name :
             {"Old/Photos/beach.jpg", "Old/Photos/hills.jpg", "Old/Photos/dunes.jpg",
              "Docs/report.txt", "Docs/stays.txt", "Project/plan.txt"}) {
            QDir().mkpath(QFileInfo(home(name)).absolutePath());
            QVERIFY(TestUtil::writeFile(home(name), QByteArray(name)));
        }
        m_asked.clear();
        m_answer = QMessageBox::Yes;
        MessageDialogs::setHandler([this](QMessageBox::Icon, const QString& text) {
            m_asked << text;
            return m_answer;
        });
    }

    void cleanup() { MessageDialogs::setHandler(nullptr); }

    void checkAllLinksRelinksAndRemovesInBulk()
    {
        learnThenMove();
        auto w = start();
        TestUtil::ScopedOverride roots(Relinking::searchRootsOverride(),
                                       QStringList{m_dir.filePath("home")});
        QStringList listed, candidates, afterRelink;
        bool ran = false;
        TestUtil::ScopedOverride hook(Relinking::dialogHook(), [&](QDialog& d) {
            auto& dialog = static_cast<CheckLinksDialog&>(d);
            whenDone(dialog, dialog.isFinished(), [&] {
                auto* list = dialog.findChild<QTreeWidget*>("MissingLinks");
                for (int i = 0; i < list->topLevelItemCount(); ++i) {
                    listed << list->topLevelItem(i)->text(0);
                    candidates << list->topLevelItem(i)->text(2);
                }
                // Tick all, relink those with a place, remove what is left.
                click(dialog.findChild<QCheckBox*>("SelectAll"));
                click(dialog.findChild<QPushButton*>("btnRelink"));
                QCOMPARE(dialog.findChild<QLabel*>("Status")->text(),
                         QString("4 entries were relinked. 1 still points at a missing file or "
                                 "folder."));
                for (int i = 0; i < list->topLevelItemCount(); ++i)
                    afterRelink << list->topLevelItem(i)->text(0);
                click(dialog.findChild<QPushButton*>("btnRemove"));
                QCOMPARE(list->topLevelItemCount(), 0);
                QCOMPARE(dialog.findChild<QLabel*>("Status")->text(),
                         QString("1 entry was removed. No entry points at a missing file or "
                                 "folder any more."));
                ran = true;
                click(dialog.findChild<QPushButton*>("btnClose"));
            });
        });
        w->findChild<QAction*>("acCheckLinks")->trigger();
        QVERIFY(ran);
        QCOMPARE(listed, QStringList({"Beach", "Hills", "Dunes", "Report", "Project"}));
        QCOMPARE(candidates,
                 QStringList({home("New/Photos/beach.jpg"), home("New/Photos/hills.jpg"),
                              home("New/Photos/dunes.jpg"), home("Docs/report (final).txt"),
                              "none found"}));
        QCOMPARE(afterRelink, QStringList{"Project"});
        QVERIFY(m_asked.last().contains("Remove the ticked entry from the catalogue?"));

        QCOMPARE(locationOf(*w, "Beach"), home("New/Photos/beach.jpg"));
        QCOMPARE(locationOf(*w, "Hills"), home("New/Photos/hills.jpg"));
        QCOMPARE(locationOf(*w, "Report"), home("Docs/report (final).txt"));
        QCOMPARE(locationOf(*w, "Stays"), home("Docs/stays.txt"));
        QVERIFY(!nodeNamed(*w, "Project"));
        // The relinked entry keeps its comment and additional value, and
        // shows its file's icon again.
        TreeNode* beach = nodeNamed(*w, "Beach");
        QCOMPARE(beach->data()->comments, QString("sunny"));
        QCOMPARE(beach->data()->sAdditional, QString("summer"));
        QVERIFY(beach->imageIndex() != int(imgMissing));
    }

    // The repairs of "Check all links" are steps of their own: undo puts the
    // removed entry back, then the old locations (tree, list and saved file
    // as before); redo makes both again.
    void checkAllLinksRepairsGoBackAndForth()
    {
        learnThenMove();
        auto w = start();
        Catalogue& cat = w->catalogue();
        TestUtil::ScopedOverride roots(Relinking::searchRootsOverride(),
                                       QStringList{m_dir.filePath("home")});
        const QByteArray before = TestUtil::saveAndRead(cat);
        TestUtil::ScopedOverride hook(Relinking::dialogHook(), [&](QDialog& d) {
            auto& dialog = static_cast<CheckLinksDialog&>(d);
            whenDone(dialog, dialog.isFinished(), [&] {
                click(dialog.findChild<QCheckBox*>("SelectAll"));
                click(dialog.findChild<QPushButton*>("btnRelink"));
                click(dialog.findChild<QPushButton*>("btnRemove"));
                click(dialog.findChild<QPushButton*>("btnClose"));
            });
        });
        w->findChild<QAction*>("acCheckLinks")->trigger();
        QVERIFY(!nodeNamed(*w, "Project"));
        QCOMPARE(locationOf(*w, "Beach"), home("New/Photos/beach.jpg"));
        const QByteArray repaired = TestUtil::saveAndRead(cat);
        TreeNode* files = nodeNamed(*w, "Files");
        w->findChild<CategoryView*>()->listCategory(files);
        const QStringList listedRepaired = TestUtil::listedTexts(*w);
        QAction* undo = w->findChild<QAction*>("acUndo");
        QAction* redo = w->findChild<QAction*>("acRedo");

        QCOMPARE(undo->text(), QString("Undo Remove 1 entry"));
        undo->trigger();
        QCOMPARE(locationOf(*w, "Project"), home("Project"));
        QCOMPARE(locationOf(*w, "Beach"), home("New/Photos/beach.jpg"));
        QCOMPARE(undo->text(), QString("Undo Relink 4 entries"));
        undo->trigger();
        QCOMPARE(locationOf(*w, "Beach"), home("Old/Photos/beach.jpg"));
        QCOMPARE(locationOf(*w, "Report"), home("Docs/report.txt"));
        QVERIFY(!undo->isEnabled());
        QCOMPARE(TestUtil::listedTexts(*w), TestUtil::childTexts(files));
        QCOMPARE(TestUtil::saveAndRead(cat), before);

        redo->trigger();
        redo->trigger();
        QVERIFY(!redo->isEnabled());
        QVERIFY(!nodeNamed(*w, "Project"));
        QCOMPARE(locationOf(*w, "Report"), home("Docs/report (final).txt"));
        QCOMPARE(TestUtil::listedTexts(*w), listedRepaired);
        QCOMPARE(TestUtil::saveAndRead(cat), repaired);
    }

    // A relink through the assistant, with the others that moved the same
    // way, is one step to undo and redo.
    void relinkWithTheOthersGoesBackAndForth()
    {
        learnThenMove();
        auto w = start();
        Catalogue& cat = w->catalogue();
        TestUtil::ScopedOverride roots(Relinking::searchRootsOverride(),
                                       QStringList{m_dir.filePath("home")});
        Desktop::setOpener([](const QString&) { return true; });
        MessageDialogs::setHandler([](QMessageBox::Icon, const QString& text) {
            return text.contains("not found") ? QMessageBox::Open : QMessageBox::Yes;
        });
        const QByteArray before = TestUtil::saveAndRead(cat);
        QStringList offered;
        auto hook = takeTheBest(&offered);
        TreeNode* files = nodeNamed(*w, "Files");
        w->findChild<CategoryView*>()->listCategory(files);
        target(*w, nodeNamed(*w, "Beach"));
        QTest::keyClick(w->findChild<QTreeView*>("DocsTree"), Qt::Key_Return);
        QCOMPARE(locationOf(*w, "Dunes"), home("New/Photos/dunes.jpg"));
        const QByteArray relinked = TestUtil::saveAndRead(cat);
        QAction* undo = w->findChild<QAction*>("acUndo");

        QCOMPARE(undo->text(), QString("Undo Relink \"Beach\""));
        undo->trigger();
        for (const char* name : {"Beach", "Hills", "Dunes"})
            QCOMPARE(locationOf(*w, name), home("Old/Photos/" + QString(name).toLower() + ".jpg"));
        QVERIFY(!undo->isEnabled());
        QCOMPARE(TestUtil::listedTexts(*w), TestUtil::childTexts(files));
        QCOMPARE(TestUtil::saveAndRead(cat), before);

        w->findChild<QAction*>("acRedo")->trigger();
        for (const char* name : {"Beach", "Hills", "Dunes"})
            QCOMPARE(locationOf(*w, name), home("New/Photos/" + QString(name).toLower() + ".jpg"));
        QCOMPARE(TestUtil::listedTexts(*w), TestUtil::childTexts(files));
        QCOMPARE(TestUtil::saveAndRead(cat), relinked);
    }

    void checkAllLinksWithNothingMissing()
    {
        QVERIFY(TestUtil::writeFile(
            m_dir.filePath("quillmere.dat"),
            TestUtil::catalogueLine("Files", 0, {}, "1") +
                TestUtil::catalogueLine("Stays", 1, home("Docs/stays.txt"), "2")));
        auto w = start();
        TestUtil::ScopedOverride roots(Relinking::searchRootsOverride(),
                                       QStringList{m_dir.filePath("home")});
        QString status;
        TestUtil::ScopedOverride hook(Relinking::dialogHook(), [&](QDialog& d) {
            auto& dialog = static_cast<CheckLinksDialog&>(d);
            whenDone(dialog, dialog.isFinished(), [&] {
                status = dialog.findChild<QLabel*>("Status")->text();
                QVERIFY(!dialog.findChild<QPushButton*>("btnRelink")->isEnabled());
                QVERIFY(!dialog.findChild<QPushButton*>("btnRemove")->isEnabled());
                dialog.reject();
            });
        });
        w->findChild<QAction*>("acCheckLinks")->trigger();
        QVERIFY(status.contains("Every link points at a file or folder that is there"));
    }

    void assistantListsBestFirstAndRelinksTheChoice()
    {
        // Same name and size in one place, same name only in another, and a
        // renamed copy where the file was.
        QVERIFY(QDir().mkpath(home("Other")) && QDir().mkpath(home("Archive")));
        QVERIFY(TestUtil::writeFile(home("Other/report.txt"), "other size"));
        QVERIFY(QFile::copy(home("Docs/report.txt"), home("Archive/report.txt")));
        const QFileInfo original(home("Docs/report.txt"));
        const FileUtils::LostTarget lost{home("Docs/report.txt"), FileUtils::TargetKind::File,
                                         original.size(),
                                         original.lastModified().toSecsSinceEpoch()};
        QVERIFY(QFile::rename(home("Docs/report.txt"), home("Docs/renamed.txt")));
        const LocateDialog::Request request{"Report", lost, {m_dir.filePath("home")}, {}};

        QStringList rows;
        LocateDialog dialog(request, nullptr);
        QTimer::singleShot(0, &dialog, [&] {
            whenDone(dialog, dialog.searchDone(), [&] {
                auto* list = dialog.findChild<QTreeWidget*>("Candidates");
                for (int i = 0; i < list->topLevelItemCount(); ++i)
                    rows << list->topLevelItem(i)->text(0);
                // The best is selected; the user takes the second instead.
                QCOMPARE(list->currentItem(), list->topLevelItem(0));
                list->setCurrentItem(list->topLevelItem(1));
                click(dialog.findChild<QPushButton*>("btnRelink"));
            });
        });
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        QCOMPARE(rows, QStringList({home("Archive/report.txt"), home("Docs/renamed.txt"),
                                    home("Other/report.txt")}));
        QCOMPARE(dialog.chosenPath(), home("Docs/renamed.txt"));

        // Browse... picks by hand; Cancel chooses nothing.
        TestUtil::ScopedOverride pick(
            LocateDialog::pickPathHook(), [&](const QString& title, const QString& folder, bool) {
                return title.contains("Report") && folder == home("Docs") ? home("Other/report.txt")
                                                                          : QString();
            });
        LocateDialog browsing(request, nullptr);
        QTimer::singleShot(0, &browsing,
                           [&] { click(browsing.findChild<QPushButton*>("btnBrowse")); });
        QCOMPARE(browsing.exec(), int(QDialog::Accepted));
        QCOMPARE(browsing.chosenPath(), home("Other/report.txt"));
        LocateDialog cancelled(request, nullptr);
        QTimer::singleShot(0, &cancelled,
                           [&] { click(cancelled.findChild<QPushButton*>("btnCancel")); });
        QCOMPARE(cancelled.exec(), int(QDialog::Rejected));
        QVERIFY(cancelled.chosenPath().isEmpty());
    }

    // Opening a moved photo: "Locate..." beside OK, the assistant, the
    // photo opens, and its neighbour that moved with it follows in one step.
    void openingOffersLocateAndTeachesTheRest()
    {
        learnThenMove();
        auto w = start();
        TestUtil::ScopedOverride roots(Relinking::searchRootsOverride(),
                                       QStringList{m_dir.filePath("home")});
        QStringList opened;
        Desktop::setOpener([&opened](const QString& t) {
            opened << t;
            return true;
        });
        m_answer = QMessageBox::Open; // "Locate...", then Yes to the offer
        MessageDialogs::setHandler([this](QMessageBox::Icon, const QString& text) {
            m_asked << text;
            return text.contains("not found") ? QMessageBox::Open : QMessageBox::Yes;
        });
        QStringList offered;
        auto hook = takeTheBest(&offered);
        target(*w, nodeNamed(*w, "Beach"));
        QTest::keyClick(w->findChild<QTreeView*>("DocsTree"), Qt::Key_Return);

        QCOMPARE(m_asked.value(0), "File \"" + home("Old/Photos/beach.jpg") +
                                       "\" not found.\rMay be it was replaced or removed.");
        QCOMPARE(offered.value(0), home("New/Photos/beach.jpg"));
        QCOMPARE(m_asked.value(1), QString("2 more entries moved the same way. Relink them all?"));
        QCOMPARE(locationOf(*w, "Beach"), home("New/Photos/beach.jpg"));
        QCOMPARE(locationOf(*w, "Hills"), home("New/Photos/hills.jpg"));
        QCOMPARE(locationOf(*w, "Dunes"), home("New/Photos/dunes.jpg"));
        QCOMPARE(opened, QStringList{home("New/Photos/beach.jpg")});
        // Unrelated entries stay as they were.
        QCOMPARE(locationOf(*w, "Report"), home("Docs/report.txt"));

        // OK alone leaves the entry as it is.
        m_asked.clear();
        MessageDialogs::setHandler([this](QMessageBox::Icon, const QString& text) {
            m_asked << text;
            return QMessageBox::Ok;
        });
        target(*w, nodeNamed(*w, "Project"));
        QTest::keyClick(w->findChild<QTreeView*>("DocsTree"), Qt::Key_Return);
        QCOMPARE(m_asked.size(), 1);
        QCOMPARE(locationOf(*w, "Project"), home("Project"));
    }

    // With "Delete non-actual links" on, the relink question offers the
    // assistant too; giving up the search keeps the entry.
    void relinkQuestionOffersLocate()
    {
        learnThenMove();
        // Only the report is missing this time.
        QVERIFY(QDir().rename(home("New/Photos"), home("Old/Photos")));
        QVERIFY(QDir().mkpath(home("Project")));
        auto w = start();
        TestUtil::ScopedOverride roots(Relinking::searchRootsOverride(),
                                       QStringList{m_dir.filePath("home")});
        QAction* option = w->findChild<QAction*>("acRemoveOnAbsent");
        if (!option->isChecked())
            option->trigger();
        m_answer = QMessageBox::Open;
        QStringList offered;
        {
            auto hook = takeTheBest(&offered, true); // the user gives up the search
            target(*w, nodeNamed(*w, "Report"));
            QTest::keyClick(w->findChild<QTreeView*>("DocsTree"), Qt::Key_Return);
        }
        QVERIFY(!m_asked.isEmpty());
        for (const QString& asked : m_asked)
            QVERIFY(asked.startsWith("The document\r" + home("Docs/report.txt")));
        QCOMPARE(offered.value(0), home("Docs/report (final).txt"));
        QCOMPARE(locationOf(*w, "Report"), home("Docs/report.txt"));
        QCOMPARE(nodeNamed(*w, "Report")->imageIndex(), int(imgMissing));

        m_asked.clear();
        offered.clear();
        auto hook = takeTheBest(&offered);
        target(*w, nodeNamed(*w, "Report"));
        QTest::keyClick(w->findChild<QTreeView*>("DocsTree"), Qt::Key_Return);
        QCOMPARE(locationOf(*w, "Report"), home("Docs/report (final).txt"));
    }

    // Properties of a missing entry: "Locate..." beside OK, and a new
    // location relinks without moving anything; an existing entry's dialog
    // is as it was.
    void propertiesRelinkAMissingTarget()
    {
        learnThenMove();
        auto w = start();
        TestUtil::ScopedOverride roots(Relinking::searchRootsOverride(),
                                       QStringList{m_dir.filePath("home")});
        QStringList offered;
        auto assistant = takeTheBest(&offered);
        QString note, located, refused;
        bool shown = false;
        {
            TestUtil::ScopedOverride hook(Properties::dialogHook(), [&](PropertiesDialog& d) {
                shown = true;
                note = d.findChild<QLabel*>("Label6")->text();
                auto* location = d.findChild<QLineEdit*>("edLocation");
                // Nothing there either: the dialog stays.
                location->setText(home("Nowhere/report.txt"));
                click(d.findChild<QPushButton*>("btnOK"));
                QVERIFY(d.isVisible());
                refused = m_asked.value(m_asked.size() - 1);
                click(d.findChild<QPushButton*>("btnLocate"));
                located = location->text();
                click(d.findChild<QPushButton*>("btnOK"));
            });
            target(*w, nodeNamed(*w, "Report"));
            w->findChild<QAction*>("acProperties")->trigger();
        }
        QVERIFY(shown);
        QVERIFY(note.contains("nothing is moved"));
        QCOMPARE(refused,
                 "There is no file or folder at \"" + home("Nowhere/report.txt") + "\" either.");
        QCOMPARE(located, home("Docs/report (final).txt"));
        QCOMPARE(locationOf(*w, "Report"), home("Docs/report (final).txt"));
        QVERIFY(QFile::exists(home("Docs/report (final).txt"))); // not moved
        QVERIFY(!QFile::exists(home("Docs/report.txt")));

        // A photo given by hand: its neighbours are offered; declined, they
        // stay, and the next relink offers only the one still left behind.
        m_asked.clear();
        m_answer = QMessageBox::No;
        {
            TestUtil::ScopedOverride hook(Properties::dialogHook(), [&](PropertiesDialog& d) {
                d.findChild<QLineEdit*>("edLocation")->setText(home("New/Photos/dunes.jpg"));
                click(d.findChild<QPushButton*>("btnOK"));
            });
            target(*w, nodeNamed(*w, "Dunes"));
            w->findChild<QAction*>("acProperties")->trigger();
        }
        QCOMPARE(m_asked, QStringList{"2 more entries moved the same way. Relink them all?"});
        QCOMPARE(locationOf(*w, "Dunes"), home("New/Photos/dunes.jpg"));
        QCOMPARE(locationOf(*w, "Hills"), home("Old/Photos/hills.jpg"));
        m_asked.clear();
        m_answer = QMessageBox::Yes;
        {
            TestUtil::ScopedOverride hook(Properties::dialogHook(), [&](PropertiesDialog& d) {
                d.findChild<QLineEdit*>("edLocation")->setText(home("New/Photos/hills.jpg"));
                click(d.findChild<QPushButton*>("btnOK"));
            });
            target(*w, nodeNamed(*w, "Hills"));
            w->findChild<QAction*>("acProperties")->trigger();
        }
        QCOMPARE(m_asked, QStringList{"1 more entry moved the same way. Relink it too?"});
        QCOMPARE(locationOf(*w, "Beach"), home("New/Photos/beach.jpg"));

        bool locateShown = true;
        {
            TestUtil::ScopedOverride hook(Properties::dialogHook(), [&](PropertiesDialog& d) {
                locateShown = d.findChild<QPushButton*>("btnLocate") != nullptr;
                d.reject();
            });
            target(*w, nodeNamed(*w, "Stays"));
            w->findChild<QAction*>("acProperties")->trigger();
        }
        QVERIFY(!locateShown);
    }

    void closingWhileItSearchesEndsAtOnce()
    {
        learnThenMove();
        auto w = start();
        // A large folder: a search that runs a while.
        TestUtil::ScopedOverride roots(Relinking::searchRootsOverride(), QStringList{"/usr"});
        bool closed = false;
        TestUtil::ScopedOverride hook(Relinking::dialogHook(), [&](QDialog& d) {
            click(d.findChild<QPushButton*>("btnClose"));
            closed = true;
        });
        w->findChild<QAction*>("acCheckLinks")->trigger();
        QVERIFY(closed);
        QCOMPARE(locationOf(*w, "Beach"), home("Old/Photos/beach.jpg"));
    }
};

QTEST_MAIN(TestRelinking)
#include "tst_relinking.moc"
