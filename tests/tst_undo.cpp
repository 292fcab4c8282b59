// Undo and Redo through the composed main window: the Edit menu and its
// captions, every kind of step taken back and made again through the
// actions and the keys (tree, list and saved catalogue checked each way),
// and the real files that follow: the trash gives a deleted file back, a
// moved file goes back after a question.
#include "catalogue/CatalogueFile.h"
#include "catalogue/CatalogueSearch.h"
#include "catalogue/ListModel.h"
#include "catalogue/Settings.h"
#include "components/FileOperationDialogs.h"
#include "components/MessageDialogs.h"
#include "forms/MainWindow.h"
#include "forms/PropertiesDialog.h"
#include "forms/main/AdditionalMenu.h"
#include "forms/main/CategoryView.h"
#include "forms/main/Properties.h"
#include "utils/Trash.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>
#include <deque>

#include "testutil/TestUtil.h"

using TestUtil::child;
using TestUtil::childTexts;

class TestUndo : public QObject, TestUtil::CatalogueFixture
{
    Q_OBJECT
    std::optional<TestUtil::MessageAnswers> m_messages; // Yes when no answer is queued

    QString trash() const { return FileUtils::homeTrashFolder(); }
    QLineEdit* editor(QAbstractItemView* v) const
    {
        auto* e = v->viewport()->findChild<QLineEdit*>();
        return e && e->isVisible() ? e : nullptr;
    }

    // The list shows what it lists, live and in the tree's order.
    void checkList() const
    {
        if (TreeNode* listedNode = view()->listedNode(); listedNode && !view()->listingNodes())
            QCOMPARE(listed(), childTexts(listedNode));
    }

    // Keys go to the active window, which a closed dialog may have left.
    void activate()
    {
        m_w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_w.get()));
    }
    void undo(bool keys)
    {
        if (keys)
            activate();
        if (keys)
            QTest::keyClick(m_w.get(), Qt::Key_Z, Qt::ControlModifier);
        else
            action("acUndo")->trigger();
    }
    void redo(bool keys, bool y = false)
    {
        if (keys)
            activate();
        if (!keys)
            action("acRedo")->trigger();
        else if (y)
            QTest::keyClick(m_w.get(), Qt::Key_Y, Qt::ControlModifier);
        else
            QTest::keyClick(m_w.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    }

    // Answers the next comment box with Text.
    void answerComment(const QString& text)
    {
        QTimer::singleShot(0, this, [text] {
            auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            QVERIFY(box);
            box->setTextValue(text);
            box->accept();
        });
    }

private Q_SLOTS:
    void initTestCase() { QFile::remove(SettingsStore::defaultFileName()); }

    void init()
    {
        makeFolder("undo");
        QDir(trash()).removeRecursively();
        QDir().mkpath(file("elsewhere"));
        writeFiles({"notes.txt", "banana.txt", "doc/inner.txt", "plan.odt"});
        writeCatalogue(TestUtil::catalogueLine("Work", 0, {}, "1", "mine") +
                       TestUtil::catalogueLine("Notes", 1, file("notes.txt"), "2", "about notes") +
                       TestUtil::catalogueLine("Reports", 1, {}, "1", "yearly", "Sales") +
                       TestUtil::catalogueLine("plan.odt", 2, file("plan.odt"), "2", "the plan") +
                       TestUtil::catalogueLine("Folder", 2, file("doc"), "3") +
                       TestUtil::catalogueLine("Inner", 2, file("doc/inner.txt"), "2") +
                       TestUtil::catalogueLine("Site", 1, "https://example.org/", "4") +
                       TestUtil::catalogueLine("Fruit", 0, {}, "1") +
                       TestUtil::catalogueLine("banana", 1, file("banana.txt"), "2", "yellow") +
                       TestUtil::catalogueLine("apple", 1, file("banana.txt"), "2") +
                       TestUtil::catalogueLine("Far", 0, {}, "1") +
                       TestUtil::catalogueLine("Notes elsewhere", 1, file("notes.txt"), "2"));
        m_messages.emplace();
        openWindow(Show::Active, true);
    }

    void cleanup()
    {
        reset();
        m_messages.reset();
    }

    // The Edit menu stands between File and View; its entries name the
    // step and are greyed with nothing to take back; the context menus
    // carry the same two actions.
    void editMenuNamesTheStep()
    {
        QStringList bar;
        for (QAction* a : m_w->menuBar()->actions())
            bar << a->text();
        QCOMPARE(bar.mid(0, 3), (QStringList{"&File", "&Edit", "&View"}));
        auto* edit = m_w->findChild<QMenu*>("EditMenu");
        QVERIFY(edit);
        QAction* undoAction = action("acUndo");
        QAction* redoAction = action("acRedo");
        QCOMPARE(edit->actions(), (QList<QAction*>{undoAction, redoAction}));
        for (const char* menu : {"ItemMenu", "PopupMenu"}) {
            const QList<QAction*> entries = m_w->findChild<QMenu*>(menu)->actions();
            QVERIFY(entries.contains(undoAction) && entries.contains(redoAction));
        }
        QCOMPARE(undoAction->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
        QCOMPARE(redoAction->shortcuts(),
                 (QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
                                      QKeySequence(Qt::CTRL | Qt::Key_Y)}));
        QVERIFY(!undoAction->isEnabled() && !redoAction->isEnabled());
        QCOMPARE(undoAction->text(), QString("Undo"));

        const QByteArray start = saved();
        TreeNode* fruit = root("Fruit");
        treeSelect(fruit);
        action("acRemoveItem")->trigger();
        QVERIFY(!root("Fruit"));
        QVERIFY(undoAction->isEnabled() && !redoAction->isEnabled());
        QCOMPARE(undoAction->text(), QString("Undo Remove \"Fruit\""));
        undo(true);
        QCOMPARE(saved(), start);
        QCOMPARE(root("Fruit"), fruit);
        QCOMPARE(childTexts(fruit), (QStringList{"banana", "apple"}));
        // Found again by the searches, which keep folded copies of the texts.
        QCOMPARE(cat().search().scan(u"yellow", Qt::CaseInsensitive, SearchField::comments, 0).node,
                 child(fruit, "banana"));
        QCOMPARE(redoAction->text(), QString("Redo Remove \"Fruit\""));
        QCOMPARE(undoAction->text(), QString("Undo"));
        QVERIFY(!undoAction->isEnabled());
        redo(true, true); // Ctrl+Y
        QVERIFY(!root("Fruit"));
        QVERIFY(
            !cat().search().scan(u"yellow", Qt::CaseInsensitive, SearchField::comments, 0).node);
        undo(false);
        redo(true); // Ctrl+Shift+Z
        QVERIFY(!root("Fruit"));
        checkList();
        // Nothing to take back: the key does nothing.
        redo(true);
        QVERIFY(!root("Fruit"));
    }

    // Each kind of step, one after the other; then back through all of them
    // and forward again, the tree, the list and the catalogue as they were
    // at every point; the file a save writes at the end is the tree.
    void everyKindOfStepGoesBackAndForth()
    {
        std::vector<QByteArray> states{saved()};
        QStringList captions;
        const auto stepped = [&](const QString& caption) {
            QCOMPARE(action("acUndo")->text(), "Undo " + caption);
            captions << caption;
            states.push_back(saved());
        };
        TreeNode* work = root("Work");
        TreeNode* reports = child(work, "Reports");

        // A new category and its first name: one step.
        treeSelect(child(work, "Notes"));
        action("acNewCateg")->trigger();
        QLineEdit* name = editor(docsTree());
        QVERIFY(name);
        name->setText("Plans");
        QTest::keyClick(name, Qt::Key_Return);
        QTRY_VERIFY(child(work, "Plans"));
        stepped("Add category \"Plans\"");

        // A rename in place in the list.
        view()->listCategory(work);
        listSelect(child(work, "Site"));
        QTest::keyClick(details(), Qt::Key_F2);
        QVERIFY(editor(details()));
        editor(details())->setText("Web site");
        QTest::keyClick(editor(details()), Qt::Key_Return);
        QTRY_VERIFY(child(work, "Web site"));
        stepped("Rename \"Web site\"");

        // A comment.
        listSelect(child(work, "Notes"));
        answerComment("new words");
        action("acAddComments")->trigger();
        QCOMPARE(child(work, "Notes")->data()->comments, QString("new words"));
        stepped("Comment \"Notes\"");

        // Name and comment in Properties.
        treeSelect(reports);
        {
            TestUtil::ScopedOverride hook(Properties::dialogHook(), [](PropertiesDialog& d) {
                d.findChild<QLineEdit*>("edName")->setText("Annual");
                d.findChild<QLineEdit*>("edComment")->setText("every year");
                QTest::mouseClick(d.findChild<QPushButton*>("btnOK"), Qt::LeftButton);
            });
            action("acProperties")->trigger();
        }
        QCOMPARE(reports->text(), QString("Annual"));
        stepped("Rename \"Annual\"");

        // The additional value of a category and everything in it: one step.
        auto* additional = m_w->findChild<AdditionalMenu*>();
        additional->setAdTitle("Dept");
        additional->setAdValues({"Sales", "R&D"});
        additional->setRecursChanging(true);
        treeSelect(reports);
        m_w->findChild<QMenu*>("AdMenu")->actions().at(1)->trigger();
        QCOMPARE(child(reports, "Inner")->data()->sAdditional, QString("R&D"));
        stepped("Set \"R&D\" of \"Annual\"");

        // A sort by name that reorders the category.
        treeSelect(reports);
        view()->listCategory(reports);
        QHeaderView* header = details()->header();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(0) + 5, 5));
        QCOMPARE(childTexts(reports), (QStringList{"Folder", "Inner", "plan.odt"}));
        stepped("Sort \"Annual\"");

        // Removing a category with all in it.
        treeSelect(root("Fruit"));
        action("acRemoveItem")->trigger();
        QVERIFY(!root("Fruit"));
        stepped("Remove \"Fruit\"");

        // A restore that reads nothing is no step.
        QVERIFY(QDir().mkpath(path("quillmere.bak")));
        QSignalSpy loaded(&cat(), &Catalogue::loaded);
        action("acRestoreBackup")->trigger();
        QVERIFY(loaded.wait());
        QVERIFY(root("Work"));
        QCOMPARE(action("acUndo")->text(), QString("Undo Remove \"Fruit\""));
        QVERIFY(QDir(path("quillmere.bak")).removeRecursively());
        // Restore data: the catalogue of the backup, as one step.
        QVERIFY(TestUtil::writeFile(path("quillmere.bak"),
                                    TestUtil::catalogueLine("Restored", 0, {}, "1") +
                                        TestUtil::catalogueLine("only", 1, file("plan.odt"), "2")));
        action("acRestoreBackup")->trigger();
        QVERIFY(loaded.wait());
        QVERIFY(root("Restored") && !root("Work"));
        stepped("Restore data");

        QCOMPARE(int(states.size()), 9);
        for (int i = int(states.size()) - 1; i > 0; --i) {
            QCOMPARE(action("acUndo")->text(), "Undo " + captions[i - 1]);
            undo(i % 2 == 0);
            QCOMPARE(saved(), states[size_t(i - 1)]);
            checkList();
        }
        QVERIFY(!action("acUndo")->isEnabled());
        QVERIFY(root("Work") && root("Fruit"));
        for (size_t i = 1; i < states.size(); ++i) {
            redo(i % 2 == 0);
            QCOMPARE(saved(), states[i]);
            checkList();
        }
        // Back to the start once more, then the real save writes that.
        while (action("acUndo")->isEnabled())
            undo(false);
        QCOMPARE(saved(), states.front());
        cat().saveData(false);
        QCOMPARE(TestUtil::readFile(catalogueFile()), states.front());
    }

    // Undo and redo of a restore put a whole other tree in place: the window
    // then lists one of its categories, current in the tree and named in the
    // title, as after the restore itself, not an empty list under the title
    // of a category that went.
    void undoneRestoreListsACategory()
    {
        QVERIFY(TestUtil::writeFile(path("quillmere.bak"),
                                    TestUtil::catalogueLine("Restored", 0, {}, "1") +
                                        TestUtil::catalogueLine("only", 1, file("plan.odt"), "2")));
        treeSelect(child(root("Work"), "Reports"));
        QSignalSpy loaded(&cat(), &Catalogue::loaded);
        action("acRestoreBackup")->trigger();
        QVERIFY(loaded.wait());
        QVERIFY(root("Restored"));
        const auto listsACategory = [this] {
            TreeNode* shown = view()->listedNode();
            QVERIFY(shown && shown->isCategory() && inTree(shown));
            QCOMPARE(view()->currentNode(), shown);
            QCOMPARE(listed(), childTexts(shown));
            QCOMPARE(m_w->windowTitle(), "Quillmere 3.3 - " + shown->text());
        };
        listsACategory();
        undo(true);
        QVERIFY(root("Work") && !root("Restored"));
        listsACategory();
        redo(true, true);
        QVERIFY(root("Restored") && !root("Work"));
        listsACategory();
    }

    // Undo of "Delete from hard disk" takes the file out of the trash, to
    // where its info file says, and then its links; redo trashes it again.
    void deleteFromDiskComesBackFromTheTrash()
    {
        const QByteArray start = saved();
        TreeNode* notes = child(root("Work"), "Notes");
        treeSelect(notes);
        m_messages->answers = {QMessageBox::Yes, QMessageBox::Yes}; // delete, and all links
        action("acDeleteFromDisk")->trigger();
        QVERIFY(!QFile::exists(file("notes.txt")));
        QVERIFY(root("Far")->count() == 0); // the other link went too
        QCOMPARE(action("acUndo")->text(), QString("Undo Delete \"Notes\""));
        const QString trashed = trash() + "/files/notes.txt";
        QVERIFY(QFile::exists(trashed));

        undo(true);
        QCOMPARE(TestUtil::readFile(file("notes.txt")), QByteArray("notes.txt"));
        QVERIFY(!QFile::exists(trashed));
        QVERIFY(!QFile::exists(trash() + "/info/notes.txt.trashinfo"));
        QCOMPARE(saved(), start);
        QCOMPARE(root("Far")->count(), 1);

        redo(true);
        QVERIFY(!QFile::exists(file("notes.txt")));
        QVERIFY(QFile::exists(trashed));
        QVERIFY(!child(root("Work"), "Notes"));

        // Something took the file's place meanwhile: it stays in the trash,
        // the links stay away, the user is told, and older steps still go.
        QVERIFY(TestUtil::writeFile(file("notes.txt"), "another"));
        m_messages->asked.clear();
        undo(false);
        QCOMPARE(m_messages->asked.size(), 1);
        QVERIFY(m_messages->asked.first().contains("exists already"));
        QCOMPARE(TestUtil::readFile(file("notes.txt")), QByteArray("another"));
        QVERIFY(QFile::exists(trashed));
        QVERIFY(!child(root("Work"), "Notes"));
        QVERIFY(!action("acUndo")->isEnabled());
    }

    // Undo of a real move asks first, then moves the file back and its
    // link with it; No leaves both where they are.
    void realMoveGoesBackAfterTheQuestion()
    {
        TreeNode* plan = child(child(root("Work"), "Reports"), "plan.odt");
        const QByteArray start = saved();
        treeSelect(plan);
        {
            TestUtil::ScopedOverride hook(Properties::dialogHook(), [this](PropertiesDialog& d) {
                d.findChild<QLineEdit*>("edLocation")->setText(file("elsewhere/"));
                QTest::mouseClick(d.findChild<QPushButton*>("btnOK"), Qt::LeftButton);
            });
            action("acProperties")->trigger();
        }
        QVERIFY(QFile::exists(file("elsewhere/plan.odt")));
        QCOMPARE(plan->data()->fullName, file("elsewhere/plan.odt"));
        QCOMPARE(action("acUndo")->text(), QString("Undo Move \"plan.odt\""));
        const QByteArray moved = saved();

        m_messages->asked.clear();
        m_messages->answers = {QMessageBox::No};
        undo(true);
        QCOMPARE(m_messages->asked,
                 (QStringList{QString("Move \"plan.odt\" back to \"%1\"?").arg(path("files"))}));
        QVERIFY(QFile::exists(file("elsewhere/plan.odt")));
        QCOMPARE(saved(), moved);

        // Asked again on the next try (No dropped that step): redo the move
        // by hand and take it back with Yes.
        QVERIFY(!action("acUndo")->isEnabled());
        treeSelect(plan);
        {
            TestUtil::ScopedOverride hook(Properties::dialogHook(), [this](PropertiesDialog& d) {
                d.findChild<QLineEdit*>("edLocation")->setText(file("plan.odt"));
                QTest::mouseClick(d.findChild<QPushButton*>("btnOK"), Qt::LeftButton);
            });
            action("acProperties")->trigger();
        }
        QCOMPARE(saved(), start);
        m_messages->answers = {QMessageBox::Yes};
        undo(false);
        QCOMPARE(saved(), moved);
        QVERIFY(QFile::exists(file("elsewhere/plan.odt")) && !QFile::exists(file("plan.odt")));
        redo(false);
        QCOMPARE(saved(), start);
        QVERIFY(QFile::exists(file("plan.odt")) && !QFile::exists(file("elsewhere/plan.odt")));
    }
};

QTEST_MAIN(TestUndo)
#include "tst_undo.moc"
