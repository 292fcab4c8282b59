// The commands that change entries, driven through the composed main window:
// adding categories, comments, the two remove questions and where they stand,
// deleting to the real trash with the other links following, in-place renames
// with the Remove key's change, and the keys of the tree and the list.
#include "catalogue/CatalogueSearch.h"
#include "catalogue/ListModel.h"
#include "catalogue/Settings.h"
#include "components/FileOperationDialogs.h"
#include "components/MessageDialogs.h"
#include "forms/MainWindow.h"
#include "forms/PropertiesDialog.h"
#include "forms/main/CategoryView.h"
#include "forms/main/Properties.h"
#include "utils/Desktop.h"
#include "utils/Trash.h"

#include <QAction>
#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>
#include <deque>

#include "testutil/TestUtil.h"

using MessageDialogs::BalloonDialog;

using TestUtil::child;
using TestUtil::childTexts;

class TestItemCommands : public QObject, TestUtil::CatalogueFixture
{
    Q_OBJECT
    // The catalogue's folder lies inside the data folder, so that the home
    // trash (on the same file system) takes the deleted files.
    std::optional<TestUtil::MessageAnswers> m_messages; // Yes when no answer is queued
    static inline QStringList s_opened;                 // what the desktop was asked to open

    QString trash() const { return FileUtils::homeTrashFolder(); }
    QLineEdit* editor(QAbstractItemView* v) const
    {
        auto* e = v->viewport()->findChild<QLineEdit*>();
        return e && e->isVisible() ? e : nullptr;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QFile::remove(SettingsStore::defaultFileName());
        Desktop::setOpener([](const QString& target) { return s_opened << target, true; });
    }

    void init()
    {
        makeFolder("items");
        QDir(trash()).removeRecursively();
        QDir().mkpath(file("doc/inner"));
        writeFiles({"notes.txt", "banana.txt", "doc/inner.txt", "doc2/x.txt"}, "x");
        writeCatalogue(TestUtil::catalogueLine("Work", 0, {}, "1", "mine") +
                       TestUtil::catalogueLine("Notes", 1, file("notes.txt"), "2", "about notes") +
                       TestUtil::catalogueLine("Notes again", 1, file("notes.txt"), "2") +
                       TestUtil::catalogueLine("Sub", 1, {}, "1") +
                       TestUtil::catalogueLine("Folder", 2, file("doc"), "3") +
                       TestUtil::catalogueLine("Inner", 2, file("doc/inner.txt"), "2") +
                       TestUtil::catalogueLine("Sibling", 2, file("doc2/x.txt"), "2") +
                       TestUtil::catalogueLine("Site", 1, "https://example.org/", "4") +
                       TestUtil::catalogueLine("Fruit", 0, {}, "1") +
                       TestUtil::catalogueLine("banana", 1, file("banana.txt"), "2", "yellow") +
                       TestUtil::catalogueLine("Empty", 0, {}, "1") +
                       TestUtil::catalogueLine("Far", 0, {}, "1") +
                       TestUtil::catalogueLine("Notes elsewhere", 1, file("notes.txt"), "2"));
        m_messages.emplace();
        s_opened.clear();
        openWindow(Show::Active, true);
    }

    void cleanup()
    {
        reset();
        m_messages.reset();
    }

    void addCategoryChoosesItsParent()
    {
        TreeNode* work = root("Work");
        TreeNode* sub = child(work, "Sub");
        TreeNode* fruit = root("Fruit");
        QAction* add = action("acNewCateg");
        QVERIFY(add->isEnabled());

        treeSelect(sub); // a category: a new one beside it
        add->trigger();
        QCOMPARE(childTexts(work).last(), QString("New category"));
        // Open for editing at once, and the list shows the new category.
        QVERIFY(editor(docsTree()));
        QCOMPARE(view()->currentNode(), work->getLastChild());
        QCOMPARE(view()->listedNode(), work->getLastChild());
        QTest::keyClick(editor(docsTree()), Qt::Key_Escape);

        treeSelect(fruit); // Ctrl+N with Shift held: inside it
        QTest::keyClick(m_w.get(), Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(childTexts(fruit), (QStringList{"banana", "New category"}));
        QTest::keyClick(editor(docsTree()), Qt::Key_Escape);

        treeSelect(child(fruit, "banana")); // a document: into its category
        QTest::keyClick(m_w.get(), Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(childTexts(fruit), (QStringList{"banana", "New category", "New category"}));
        QTest::keyClick(editor(docsTree()), Qt::Key_Escape);

        const int roots = cat().nodes().rootCount();
        treeSelect(work); // the main category: top level
        QTest::keyClick(m_w.get(), Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(cat().nodes().rootCount(), roots + 1);
        QCOMPARE(cat().nodes().rootItem(roots)->text(), QString("New category"));
        QTest::keyClick(editor(docsTree()), Qt::Key_Escape);

        // The built-in category takes none: the new one goes to the main one.
        treeSelect(cat().makerCategory());
        QTest::keyClick(m_w.get(), Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(childTexts(work).last(), QString("New category"));
        QCOMPARE(childTexts(work).count("New category"), 2);
    }

    void renameChangesTheRemoveKey()
    {
        QAction* remove = action("acRemoveItem");
        QCOMPARE(remove->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Delete));
        // The first node keeps its name: F2 opens nothing, the key stays.
        treeSelect(cat().nodes().getFirstNode());
        QTest::keyClick(docsTree(), Qt::Key_F2);
        QVERIFY(!editor(docsTree()));
        QCOMPARE(remove->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Delete));

        TreeNode* fruit = root("Fruit");
        treeSelect(fruit);
        QTest::keyClick(docsTree(), Qt::Key_F2);
        QLineEdit* edit = editor(docsTree());
        QVERIFY(edit);
        QVERIFY(remove->shortcut().isEmpty()); // Delete belongs to the editor
        edit->selectAll();
        QTest::keyClicks(edit, "Fruits");
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClick(edit, Qt::Key_Return);
        QTRY_COMPARE(fruit->text(), QString("Fruits"));
        QVERIFY(inTree(fruit));
        QCOMPARE(remove->shortcut(), QKeySequence(Qt::Key_Delete));

        // An empty name is taken as it is; a list rename names the tree node.
        treeSelect(fruit);
        QTest::keyClick(docsTree(), Qt::Key_F2);
        editor(docsTree())->clear();
        QTest::keyClick(editor(docsTree()), Qt::Key_Return);
        QTRY_COMPARE(fruit->text(), QString());
        TreeNode* banana = child(fruit, "banana");
        treeSelect(banana);
        QTest::keyClick(docsTree(), Qt::Key_F2);
        editor(docsTree())->setText("Banana tree");
        QTest::keyClick(editor(docsTree()), Qt::Key_Enter, Qt::KeypadModifier);
        QTRY_COMPARE(banana->text(), QString("Banana tree"));
        treeSelect(fruit);
        listSelect(banana);
        QTest::keyClick(details(), Qt::Key_F2);
        QVERIFY(editor(details()));
        QVERIFY(remove->shortcut().isEmpty());
        editor(details())->setText("Banana");
        QTest::keyClick(editor(details()), Qt::Key_Return);
        QTRY_COMPARE(banana->text(), QString("Banana"));
        QCOMPARE(banana->data()->fullName, file("banana.txt")); // the file keeps its name
        QVERIFY(QFile::exists(file("banana.txt")));
        QCOMPARE(remove->shortcut(), QKeySequence(Qt::Key_Delete));
        QVERIFY(s_opened.isEmpty()); // the Enter that accepted the name opened nothing
        // The key now removes what has the keyboard.
        m_messages->answers = {QMessageBox::Yes};
        listSelect(banana);
        QTest::keyClick(details(), Qt::Key_Delete);
        QCOMPARE(m_messages->asked, QStringList{"Remove \"Banana\" ?"});
        QVERIFY(!inTree(banana));
    }

    void listKeysRestAndReturnAroundTheEditor()
    {
        TreeNode* work = root("Work");
        TreeNode* sub = child(work, "Sub");
        treeSelect(work);
        listSelect(sub);
        QTest::keyClick(details(), Qt::Key_F2);
        QLineEdit* edit = editor(details());
        QVERIFY(edit);
        // Keys go to the editor, not to the list's own handling.
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClick(edit, Qt::Key_F6);
        QCOMPARE(view()->currentNode(), work);
        QTest::keyClick(edit, Qt::Key_Escape);
        QCOMPARE(sub->text(), QString("Sub"));
        QVERIFY(!editor(details()));
        QCOMPARE(action("acRemoveItem")->shortcut(), QKeySequence(Qt::Key_Delete));
        // Enter on the row again acts: a category row is entered.
        QTest::keyClick(details(), Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(view()->currentNode(), sub);
        QCOMPARE(view()->listedNode(), sub);
    }

    void editKeyRenamesTheNameWhicheverCellIsCurrent()
    {
        TreeNode* work = root("Work");
        TreeNode* sub = child(work, "Sub");
        treeSelect(work);
        listSelect(sub);
        // A click on the Type cell leaves that cell current; F2 still edits the name.
        details()->setCurrentIndex(model().index(model().rowOf(sub), 1));
        QTest::keyClick(details(), Qt::Key_F2);
        QLineEdit* edit = editor(details());
        QVERIFY(edit);
        QCOMPARE(edit->text(), QString("Sub"));
        // While it is open the views' keys are the editor's: F6 and Alt+Enter
        // act on neither view.
        QSignalSpy asked(action("acProperties"), &QAction::triggered);
        QTest::keyClick(edit, Qt::Key_F6);
        QCOMPARE(m_w->focusWidget(), edit);
        edit->setText("Subs");
        QTest::keyClick(edit, Qt::Key_Return, Qt::AltModifier); // accepts the name
        QTRY_COMPARE(sub->text(), QString("Subs"));
        QCOMPARE(asked.size(), 0);
        QVERIFY(s_opened.isEmpty());
        // Closed, the keys are the views' again.
        QCOMPARE(m_w->focusWidget(), details());
        QTest::keyClick(details(), Qt::Key_F6);
        QCOMPARE(m_w->focusWidget(), docsTree());
    }

    void treeAndListKeys()
    {
        TreeNode* empty = root("Empty");
        treeSelect(empty);
        QCOMPARE(model().rowCount(), 0);
        QTest::keyClick(docsTree(), Qt::Key_F6); // into an empty list: the focus only
        QCOMPARE(m_w->focusWidget(), details());
        QVERIFY(!view()->selectedListRow().isValid());
        QTest::keyClick(details(), Qt::Key_F6);
        QCOMPARE(m_w->focusWidget(), docsTree());

        TreeNode* work = root("Work");
        treeSelect(work);
        QTest::keyClick(docsTree(), Qt::Key_F6); // the first row is selected
        QCOMPARE(m_w->focusWidget(), details());
        QCOMPARE(view()->listSelectedNode(), work->getFirstChild());
        QTest::keyClick(details(), Qt::Key_Backspace); // at the top level: nothing
        QCOMPARE(view()->currentNode(), work);
        QCOMPARE(view()->listedNode(), work);

        TreeNode* sub = child(work, "Sub");
        treeSelect(sub);
        details()->setFocus();
        auto* goUp = details()->findChild<QAction*>("ListDetailsGoUp");
        QVERIFY(goUp);
        QSignalSpy wentUp(goUp, &QAction::triggered);
        QTest::keyClick(details(), Qt::Key_Backspace); // up one level
        QCOMPARE(wentUp.size(), 1);
        QCOMPARE(view()->currentNode(), work);
        QCOMPARE(view()->listedNode(), work);
        QCOMPARE(m_w->focusWidget(), details());

        // Alt+Enter asks for the properties in both views and opens nothing;
        // Enter with Ctrl opens.
        QAction* properties = action("acProperties");
        QVERIFY(properties->isEnabled());
        QSignalSpy asked(properties, &QAction::triggered);
        TestUtil::ScopedOverride cancel(Properties::dialogHook(),
                                        [](PropertiesDialog& dialog) { dialog.reject(); });
        listSelect(child(work, "Notes"));
        QTest::keyClick(details(), Qt::Key_Return, Qt::AltModifier);
        treeSelect(child(work, "Notes"));
        QTest::keyClick(docsTree(), Qt::Key_Enter, Qt::AltModifier | Qt::KeypadModifier);
        QCOMPARE(asked.size(), 2);
        QVERIFY(s_opened.isEmpty());
        QTest::keyClick(docsTree(), Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(s_opened, QStringList{file("notes.txt")});
    }

    void commentIsAskedAndStored()
    {
        TreeNode* work = root("Work");
        TreeNode* notes = child(work, "Notes");
        TreeNode* sub = child(work, "Sub");
        treeSelect(sub);
        QCOMPARE(view()->listedNode(), sub);
        treeSelect(work);
        listSelect(notes);
        QString title, label, shown;
        const auto answer = [&](const QString& text, bool ok) {
            QTimer::singleShot(0, this, [&, text, ok] {
                auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
                QVERIFY(box);
                title = box->windowTitle();
                label = box->labelText();
                shown = box->textValue();
                box->setTextValue(text);
                ok ? box->accept() : box->reject();
            });
        };
        answer("changed", false); // Cancel keeps the comment
        action("acAddComments")->trigger();
        QCOMPARE(view()->currentNode(), work);
        QCOMPARE(title, QString("Comment"));
        QCOMPARE(label, QString("Type or change the comment"));
        QCOMPARE(shown, QString("about notes"));
        QCOMPARE(notes->data()->comments, QString("about notes"));

        answer("new words", true);
        action("acAddComments")->trigger();
        QCOMPARE(notes->data()->comments, QString("new words"));
        QCOMPARE(view()->currentNode(), work); // the parent is selected

        // From the tree, on a category inside another: the parent is listed.
        treeSelect(sub);
        answer("below work", true);
        action("acAddComments")->trigger();
        QCOMPARE(sub->data()->comments, QString("below work"));
        QCOMPARE(view()->currentNode(), work);
        QCOMPARE(view()->listedNode(), work);
        // A search in comments finds the new text.
        QVERIFY(cat().search().scan(u"below", Qt::CaseInsensitive, SearchField::comments, 0).node ==
                sub);
    }

    void removeQuestionsAndWhatIsListedNext()
    {
        TreeNode* work = root("Work");
        // The main category is never removed, and nothing is asked.
        treeSelect(work);
        action("acRemoveItem")->trigger();
        action("acDeleteFromDisk")->trigger();
        QVERIFY(m_messages->asked.isEmpty());
        QVERIFY(inTree(work));

        TreeNode* sub = child(work, "Sub");
        treeSelect(sub);
        m_messages->answers = {QMessageBox::No};
        action("acRemoveItem")->trigger();
        QCOMPARE(m_messages->asked, QStringList{"Remove \"Sub\" from the program?"});
        QVERIFY(inTree(sub));
        action("acRemoveItem")->trigger(); // Yes: with everything in it
        QVERIFY(!inTree(sub));
        QCOMPARE(childTexts(work), (QStringList{"Notes", "Notes again", "Site"}));
        QCOMPARE(view()->listedNode(), work);
        QCOMPARE(listed(), childTexts(work));

        // A top-level category without parent: its next sibling is listed.
        TreeNode* fruit = root("Fruit");
        treeSelect(fruit);
        action("acRemoveItem")->trigger();
        QVERIFY(!inTree(fruit));
        QCOMPARE(view()->listedNode(), root("Empty"));

        // From the list: the list's question; a category row lists the tree's selection.
        m_messages->asked.clear();
        TreeNode* far = root("Far");
        treeSelect(work);
        listSelect(child(work, "Site"));
        action("acRemoveItem")->trigger();
        QCOMPARE(m_messages->asked, QStringList{"Remove \"Site\" ?"});
        QCOMPARE(listed(), (QStringList{"Notes", "Notes again"}));
        treeSelect(far);
        listSelect(far->getFirstChild());
        action("acRemoveItem")->trigger();
        QCOMPARE(far->count(), 0);
        QCOMPARE(view()->listedNode(), far);
        QVERIFY(listed().isEmpty());
        // Without a focused view nothing happens.
        m_messages->asked.clear();
        treeSelect(work);
        m_w->findChild<QToolButton*>("btnView")->setFocus();
        action("acRemoveItem")->trigger();
        QVERIFY(m_messages->asked.isEmpty());
    }

    void removeQuestionStandsAtTheRemoveButton()
    {
        MessageDialogs::setHandler({}); // the real dialog this time
        TreeNode* fruit = root("Fruit");
        treeSelect(fruit);
        auto* button = m_w->findChild<QToolBar*>()->widgetForAction(action("acRemoveItem"));
        QVERIFY(button);
        QPoint at;
        QString text;
        MessageDialogs::TailPosition tail = MessageDialogs::tpNone;
        QTimer::singleShot(0, this, [&] {
            auto* box = qobject_cast<BalloonDialog*>(QApplication::activeModalWidget());
            QVERIFY(box);
            at = box->pos();
            tail = box->tail();
            text = box->message->text();
            static_cast<QDialog*>(box)->reject(); // No
        });
        action("acRemoveItem")->trigger();
        QCOMPARE(text, QString("Remove \"Fruit\" from the program?"));
        QVERIFY(tail != MessageDialogs::tpNone);
        QCOMPARE(at.x(), button->mapToGlobal(QPoint(0, 0)).x() + 20 - 40);
        QVERIFY(inTree(fruit));
    }

    void deleteFromDiskGoesToTheTrashAndTakesTheLinks()
    {
        TreeNode* work = root("Work");
        TreeNode* notes = child(work, "Notes");
        TreeNode* again = child(work, "Notes again");
        TreeNode* elsewhere = root("Far")->getFirstChild();
        // No: only the selected link goes.
        treeSelect(notes);
        m_messages->answers = {QMessageBox::Yes, QMessageBox::No};
        action("acDeleteFromDisk")->trigger();
        QCOMPARE(m_messages->asked.size(), 2);
        QVERIFY(m_messages->asked[0].contains(file("notes.txt")));
        QCOMPARE(m_messages->asked[1],
                 QString("There are yet links to deleted file from the program.\n"
                         "Remove all links to this file?"));
        QVERIFY(!inTree(notes));
        QVERIFY(inTree(again) && inTree(elsewhere));
        QVERIFY(!QFile::exists(file("notes.txt")));
        QVERIFY(QFile::exists(trash() + "/files/notes.txt"));
        const QByteArray info = TestUtil::readFile(trash() + "/info/notes.txt.trashinfo");
        QVERIFY(info.contains("Path=" + QUrl::toPercentEncoding(file("notes.txt"), "/")));
        QCOMPARE(view()->listedNode(), work);
        QCOMPARE(listed(), childTexts(work));

        // The target is gone now: the command does nothing and asks nothing.
        m_messages->asked.clear();
        treeSelect(again);
        action("acDeleteFromDisk")->trigger();
        QVERIFY(m_messages->asked.isEmpty());
        QVERIFY(inTree(again));
        // Categories and hyperlinks are not deleted from disk.
        treeSelect(child(work, "Site"));
        action("acDeleteFromDisk")->trigger();
        treeSelect(child(work, "Sub"));
        action("acDeleteFromDisk")->trigger();
        QVERIFY(m_messages->asked.isEmpty());
        QVERIFY(inTree(child(work, "Site")) && inTree(child(work, "Sub")));

        // Two adjacent links to one file: Yes removes both, and the one elsewhere.
        QVERIFY(TestUtil::writeFile(file("notes.txt"), "y"));
        TreeNode* first = cat().nodes().insertNode(again, "Notes first");
        cat().fillDocNode(first, "Notes first", file("notes.txt"), {}, {}, false);
        view()->listCategory(work);
        listSelect(first);
        action("acDeleteFromDisk")->trigger();
        QVERIFY(!inTree(first) && !inTree(again) && !inTree(elsewhere));
        QVERIFY(QFile::exists(trash() + "/files/notes (2).txt"));
        QCOMPARE(listed(), (QStringList{"Sub", "Site"}));
        // After the walk a find-next goes on after the last link, in locations.
        QCOMPARE(cat().search().field(), SearchField::fullName);
        QCOMPARE(cat().search().findPos(), root("Far")->absoluteIndex() + 2);
    }

    void deletingAFolderTakesTheLinksInsideIt()
    {
        TreeNode* sub = child(root("Work"), "Sub");
        TreeNode* folder = child(sub, "Folder");
        TreeNode* sibling = child(sub, "Sibling");
        treeSelect(sub);
        listSelect(folder);
        action("acDeleteFromDisk")->trigger(); // Yes, Yes
        QCOMPARE(m_messages->asked.size(), 2);
        QVERIFY(m_messages->asked[0].contains("the folder"));
        QCOMPARE(childTexts(sub), QStringList{"Sibling"}); // doc2 is not inside doc
        QVERIFY(inTree(sibling));
        QVERIFY(QFileInfo(trash() + "/files/doc/inner.txt").isFile());
        QCOMPARE(listed(), QStringList{"Sibling"});
    }

    // Every link to the deleted file goes, whichever of them is the tree's
    // current node and wherever it stands in tree order: the list never
    // keeps a row whose node was freed.
    void deleteFromDiskWhateverLinkIsCurrent_data()
    {
        QTest::addColumn<QString>("selected");
        QTest::addColumn<bool>("fromList");
        for (const char* name : {"Notes", "Notes again", "Notes elsewhere"}) {
            QTest::addRow("%s in the tree", name) << QString(name) << false;
            QTest::addRow("%s in the list", name) << QString(name) << true;
        }
    }
    void deleteFromDiskWhateverLinkIsCurrent()
    {
        QFETCH(QString, selected);
        QFETCH(bool, fromList);
        TreeNode* link = nullptr;
        for (TreeNode* n = cat().nodes().getFirstNode(); n && !link; n = n->getNext())
            if (n->text() == selected)
                link = n;
        QVERIFY(link);
        treeSelect(link);
        if (fromList)
            listSelect(link);
        action("acDeleteFromDisk")->trigger(); // Yes to the trash, Yes to the links
        QCOMPARE(m_messages->asked.size(), 2);
        QVERIFY(QFile::exists(trash() + "/files/notes.txt"));
        for (const char* name : {"Notes", "Notes again", "Notes elsewhere"})
            for (TreeNode* n = cat().nodes().getFirstNode(); n; n = n->getNext())
                QVERIFY2(n->text() != name, name);
        QVERIFY(rowsAreLive());
        QVERIFY(view()->listedNode() && inTree(view()->listedNode()));
        QVERIFY(!view()->currentNode() || inTree(view()->currentNode()));
        // What the list shows is what the tree holds for the listed category.
        QCOMPARE(listed(), childTexts(view()->listedNode()));
    }

    // A folder deleted from the list while an entry inside it is the tree's
    // current node: the links inside go with the folder's, before or after it.
    void deleteFolderHoldingTheCurrentEntry_data()
    {
        QTest::addColumn<bool>("insideFirst");
        QTest::newRow("inside link after the folder's") << false;
        QTest::newRow("inside link before the folder's") << true;
    }
    void deleteFolderHoldingTheCurrentEntry()
    {
        QFETCH(bool, insideFirst);
        TreeNode* work = root("Work");
        TreeNode* sub = child(work, "Sub");
        TreeNode* inner = child(sub, "Inner");
        if (insideFirst)
            cat().nodes().moveTo(inner, sub, 0);
        treeSelect(inner); // the tree's current node is the entry inside
        QCOMPARE(view()->listedNode(), sub);
        listSelect(child(sub, "Folder"));
        action("acDeleteFromDisk")->trigger();
        QCOMPARE(m_messages->asked.size(), 2);
        QVERIFY(!child(sub, "Folder") && !child(sub, "Inner"));
        QVERIFY(inTree(work));
        QVERIFY(child(sub, "Sibling"));
        QVERIFY(rowsAreLive());
        QVERIFY(view()->listedNode() && inTree(view()->listedNode()));
        QCOMPARE(listed(), childTexts(view()->listedNode()));
    }

    // The folder the catalogue is saved in, one holding it, and the
    // settings folder are never deleted: the run could save nothing then.
    void programFoldersAreNotDeleted()
    {
        const QString settings =
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/Velmarch";
        QVERIFY(QDir().mkpath(settings));
        const QString dataParent = QFileInfo(path()).path();
        for (const QString& folder : {path(), dataParent, settings}) {
            TreeNode* entry = cat().addLinkNode(folder, root("Empty"), {}, false);
            QCOMPARE(entry->data()->kind, NodeKind::Folder);
            treeSelect(entry);
            m_messages->asked.clear();
            action("acDeleteFromDisk")->trigger();
            QCOMPARE(m_messages->asked.size(), 1);
            QVERIFY2(m_messages->asked[0].startsWith("\"" + folder +
                                                     "\" cannot be deleted: the program "
                                                     "keeps"),
                     qPrintable(m_messages->asked[0]));
            QVERIFY(QDir(folder).exists());
            QVERIFY(inTree(entry));
        }
        QVERIFY(QFile::exists(catalogueFile()));
        // Beside them, a folder may go.
        QVERIFY(QDir().mkpath(file("other")));
        treeSelect(cat().addLinkNode(file("other"), root("Empty"), {}, false));
        action("acDeleteFromDisk")->trigger();
        QVERIFY(!QDir(file("other")).exists());
    }

    void refusedByTheTrashKeepsFileAndLink()
    {
        // The home trash cannot be made: a plain file stands in its place.
        QVERIFY(TestUtil::writeFile(trash(), "not a folder"));
        TreeNode* banana = root("Fruit")->getFirstChild();
        treeSelect(banana);
        action("acDeleteFromDisk")->trigger();
        QCOMPARE(m_messages->asked.size(), 2); // the confirmation, then why it failed
        QVERIFY2(m_messages->asked[1].contains("trash"), qPrintable(m_messages->asked[1]));
        QVERIFY(QFile::exists(file("banana.txt")));
        QVERIFY(inTree(banana));
        QFile::remove(trash());
    }
};

QTEST_MAIN(TestItemCommands)
#include "tst_itemcommands.moc"
