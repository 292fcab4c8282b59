// The list beside the tree: what a selection lists, the on-disk check of a
// fill (also when the relink question removes nodes), sorting and the tree
// order it leaves, view styles, pop-up menus, expand and collapse.
#include "catalogue/ListModel.h"
#include "catalogue/Settings.h"
#include "components/MessageDialogs.h"
#include "forms/MainWindow.h"
#include "forms/main/CategoryView.h"
#include "forms/main/Opening.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTemporaryDir>
#include <QToolButton>
#include <QToolTip>
#include <QTreeView>
#include <QtTest>

#include "testutil/TestUtil.h"

using TestUtil::child;
using TestUtil::childTexts;

class TestCategoryView : public QObject, TestUtil::CatalogueFixture
{
    Q_OBJECT

    QListView* icons() const { return m_w->findChild<QListView*>("ListIcons"); }
    QMenu* menu(const char* name) const { return m_w->findChild<QMenu*>(name); }

    void showWindow()
    {
        m_w->resize(800, 500);
        m_w->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_w.get()));
    }

    // A click on a column's header, as the user sorts.
    void clickHeader(int c)
    {
        QHeaderView* header = details()->header();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(c) + 5, 5));
    }

    // A right click on a view's viewport: the press, then the menu request.
    void rightClick(QAbstractItemView* v, const QPoint& pos)
    {
        QTest::mousePress(v->viewport(), Qt::RightButton, {}, pos);
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, v->viewport()->mapToGlobal(pos));
        QApplication::sendEvent(v->viewport(), &event);
        QTest::mouseRelease(v->viewport(), Qt::RightButton, {}, pos);
    }

    // A click on the View tool button itself, not on its arrow.
    void clickViewButton()
    {
        auto* button = m_w->findChild<QToolButton*>("btnView");
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(3, button->height() / 2));
    }

    QStringList column(int c) const
    {
        QStringList out;
        for (int r = 0; r < model().rowCount(); ++r)
            out << model().index(r, c).data().toString();
        return out;
    }

    void select(TreeNode* node) { docsTree()->setCurrentIndex(cat().nodes().indexOf(node)); }

    // Every row must refer to a node that is still in the tree.
    bool rowsAreLive() const
    {
        for (TreeNode* row : model().rows()) {
            bool found = false;
            for (TreeNode* n = cat().nodes().getFirstNode(); n && !found; n = n->getNext())
                found = n == row;
            if (!found)
                return false;
        }
        return true;
    }

private Q_SLOTS:
    void init()
    {
        makeFolder("view");
        QDir().mkpath(file("folder"));
        for (const char* name : {"notes.txt", "Apple.txt", "banana.txt", "deep.txt"})
            QVERIFY(TestUtil::writeFile(file(name), "x"));
        QByteArray data =
            TestUtil::catalogueLine("Work", 0, {}, "1", "mine", "W") +
            TestUtil::catalogueLine("Notes", 1, file("notes.txt"), "2", "about notes", "urgent") +
            TestUtil::catalogueLine("Site", 1, "https://example.org/", "4", "", "") +
            TestUtil::catalogueLine("Sub", 1, {}, "1", "below") +
            TestUtil::catalogueLine("Deep", 2, file("deep.txt"), "2") +
            TestUtil::catalogueLine("Stuff", 1, file("folder"), "3", "a folder") +
            TestUtil::catalogueLine("Fruit", 0, {}, "1") +
            TestUtil::catalogueLine("banana", 1, file("banana.txt"), "2", "b") +
            TestUtil::catalogueLine("Apple", 1, file("Apple.txt"), "2", "a") +
            TestUtil::catalogueLine("cherry", 1, "https://c.example/", "4", "c") +
            TestUtil::catalogueLine("Loose", 0, file("notes.txt"), "2", "root entry");
        QVERIFY(TestUtil::writeFile(catalogueFile(), data));
        // Each test starts from the default settings, not from what the
        // window of the one before saved (the option ticks among them).
        QFile::remove(SettingsStore::defaultFileName());
        MessageDialogs::setHandler(
            [](QMessageBox::Icon, const QString&) { return QMessageBox::Ok; });
        openWindow(Show::Hidden);
    }

    void cleanup() { m_w.reset(); }

    void selectingCategoryListsItsDirectChildren()
    {
        TreeNode* work = root("Work");
        select(work);
        QCOMPARE(view()->listedNode(), work);
        QCOMPARE(m_w->windowTitle(), QString("Quillmere 3.3 - Work"));
        QCOMPARE(m_w->findChild<QLabel*>("CommentLabel")->text(), QString("Comment: mine"));
        QCOMPARE(column(0), (QStringList{"Notes", "Site", "Sub", "Stuff"})); // not "Deep"
        QCOMPARE(column(1), (QStringList{"Document", "Hyperlink", "Category", "Folder"}));
        QCOMPARE(column(2),
                 (QStringList{file("notes.txt"), "https://example.org/", "", file("folder")}));
        QCOMPARE(column(3), (QStringList{"about notes", "", "below", "a folder"}));
        QCOMPARE(column(4), (QStringList{"urgent", "", "", ""}));
        QCOMPARE(model().node(0), child(work, "Notes"));
        QCOMPARE(model().rowCount(), 4);
    }

    void selectingEntryListsItsCategory()
    {
        TreeNode* work = root("Work");
        select(child(work, "Notes"));
        QCOMPARE(view()->listedNode(), work);
        QCOMPARE(model().rowCount(), 4);
        QVERIFY(!view()->listSelectedNode());
        QCOMPARE(m_w->findChild<QLabel*>("CommentLabel")->text(), QString("Comment: about notes"));
        select(child(work, "Site")); // empty comment empties the status line
        QCOMPARE(m_w->statusBar()->currentMessage(), QString());
        select(child(child(work, "Sub"), "Deep"));
        QCOMPARE(view()->listedNode(), child(work, "Sub"));
        QCOMPARE(column(0), QStringList{"Deep"});
    }

    void topLevelEntryAndTheListedNodeRule()
    {
        TreeNode* work = root("Work");
        select(work);
        TreeNode* loose = root("Loose");
        select(loose); // no parent: the list stays as it was
        QCOMPARE(view()->listedNode(), work);
        QCOMPARE(model().rowCount(), 4);
        QCOMPARE(m_w->findChild<QLabel*>("CommentLabel")->text(), QString("Comment: root entry"));
        view()->listCategory(loose);
        QCOMPARE(column(0), QStringList{"Loose"});
        QCOMPARE(m_w->windowTitle(), QString("Quillmere 3.3 - Loose"));
        view()->listCategory(loose); // listed already: the list is left empty
        QCOMPARE(model().rowCount(), 0);
        QCOMPARE(view()->listedNode(), loose);
        view()->listCategory(nullptr); // nothing happens
        QCOMPARE(view()->listedNode(), loose);
    }

    void missingTargetsAreMarkedAndComeBack()
    {
        TreeNode* work = root("Work");
        TreeNode* notes = child(work, "Notes");
        TreeNode* stuff = child(work, "Stuff");
        select(work);
        const int realIcon = notes->imageIndex();
        QVERIFY(realIcon != imgMissing);
        QVERIFY(QFile::rename(file("notes.txt"), file("gone.txt")));
        QVERIFY(QDir().rmdir(file("folder")));
        bool asked = false;
        cat().setNewLocationQuestion(
            [&](const QString&, const QString&, TreeNode*, const QString&) {
                asked = true;
                return true;
            });
        view()->listCategory(work); // option off: marked, listed, nothing asked
        QVERIFY(!asked);
        QCOMPARE(notes->imageIndex(), int(imgMissing));
        QCOMPARE(stuff->imageIndex(), int(imgMissing));
        QCOMPARE(model().rowCount(), 4);
        QCOMPARE(model().index(0, 0).data(Qt::DecorationRole).value<QIcon>().cacheKey(),
                 cat().images().small.icon(imgMissing).cacheKey());

        QVERIFY(QFile::rename(file("gone.txt"), file("notes.txt")));
        view()->listCategory(work);
        QVERIFY(notes->imageIndex() != imgMissing);
        QCOMPARE(stuff->imageIndex(), int(imgMissing));
    }

    void relinkQuestionThatRemovesNodesDuringAFill()
    {
        TreeNode* work = root("Work");
        select(work);
        QVERIFY(QFile::remove(file("notes.txt")));
        QVERIFY(QDir().rmdir(file("folder")));
        action("acRemoveOnAbsent")->trigger();
        QVERIFY(action("acRemoveOnAbsent")->isChecked());
        QStringList asked;
        // Declining removes the node and refills its category, as the
        // opening commands do: a refill from inside the running fill.
        cat().setNewLocationQuestion(
            [&](const QString& name, const QString& path, TreeNode* node, const QString& comments) {
                asked << name + "|" + path + "|" + comments;
                TreeNode* parent = node->parent();
                cat().nodes().deleteNode(node);
                view()->listCategory(parent);
                return false;
            });
        view()->listCategory(work);
        // The rows are in at once, marked; the questions come as a step of their own.
        QVERIFY(asked.isEmpty());
        QCOMPARE(child(work, "Notes")->imageIndex(), int(imgMissing));
        QTRY_COMPARE(asked, (QStringList{"Notes|" + file("notes.txt") + "|about notes",
                                         "Stuff|" + file("folder") + "|a folder"}));
        QCOMPARE(column(0), (QStringList{"Site", "Sub"}));
        QCOMPARE(childTexts(work), (QStringList{"Site", "Sub"}));
        QVERIFY(rowsAreLive());
        QCOMPARE(view()->listedNode(), work);

        // A top-level entry listed alone whose question removes it.
        TreeNode* loose = root("Loose");
        view()->listCategory(loose);
        QTRY_VERIFY(!root("Loose"));
        QCOMPARE(model().rowCount(), 0);
        QVERIFY(!view()->listedNode());
    }

    void realRelinkQuestionDuringAFill()
    {
        TreeNode* work = root("Work");
        select(work);
        QVERIFY(QFile::remove(file("notes.txt")));
        QVERIFY(QDir().rmdir(file("folder")));
        action("acRemoveOnAbsent")->trigger();
        QVERIFY(action("acRemoveOnAbsent")->isChecked());
        // The first question is answered "Yes" with a file to relink to, the
        // second "No", which removes the folder's link.
        QList<QMessageBox::StandardButton> answers{QMessageBox::Yes, QMessageBox::No};
        MessageDialogs::setHandler([&](QMessageBox::Icon, const QString&) {
            return answers.isEmpty() ? QMessageBox::Ok : answers.takeFirst();
        });
        TestUtil::ScopedOverride pick(Opening::pickFileHook(), [&](const QString&, const QString&) {
            return file("Apple.txt");
        });
        view()->listCategory(work);
        QTRY_VERIFY(answers.isEmpty());
        QCOMPARE(column(0), (QStringList{"Notes", "Site", "Sub"}));
        QCOMPARE(column(2).first(), file("Apple.txt"));
        QCOMPARE(childTexts(work), (QStringList{"Notes", "Site", "Sub"}));
        QVERIFY(rowsAreLive());
        QCOMPARE(view()->listedNode(), work);
    }

    // The rows follow every change of the tree: nodes added, removed and
    // moved in and out of the listed category, its own removal, and for
    // found rows from all over the tree, removals in any row order.
    void listFollowsTheTree()
    {
        NodeTree& nodes = cat().nodes();
        TreeNode* fruit = root("Fruit");
        TreeNode* work = root("Work");
        select(fruit);
        QCOMPARE(column(0), (QStringList{"banana", "Apple", "cherry"}));
        // Kept rows keep their selection through the changes.
        details()->setCurrentIndex(model().index(model().rowOf(child(fruit, "cherry")), 0));
        nodes.deleteNode(child(fruit, "banana"));
        nodes.insertNode(child(fruit, "Apple"), "Early");
        nodes.moveTo(child(work, "Notes"), fruit, 1);
        nodes.moveTo(child(fruit, "Apple"), work, 0);
        nodes.moveTo(child(fruit, "cherry"), fruit, 0);
        QCOMPARE(column(0), (QStringList{"cherry", "Early", "Notes"}));
        QCOMPARE(column(0), childTexts(fruit));
        QCOMPARE(view()->listSelectedNode(), child(fruit, "cherry"));
        // A changed record or name shows at once.
        nodes.editRecord(child(fruit, "Notes"), [](NodeInfo& info) { info.comments = "moved"; });
        nodes.setText(child(fruit, "Early"), "Later");
        QCOMPARE(column(3).at(2), QString("moved"));
        QCOMPARE(column(0).at(1), QString("Later"));
        QVERIFY(rowsAreLive());
        // The category itself goes (the tree's current node elsewhere):
        // nothing is listed.
        select(work);
        model().fillChildren(fruit);
        nodes.deleteNode(fruit);
        QCOMPARE(model().rowCount(), 0);
        QVERIFY(!model().source());

        // Found rows, sorted so that the tree's order is not the rows'.
        std::vector<TreeNode*> found;
        for (TreeNode* n = nodes.getFirstNode(); n; n = n->getNext())
            if (n->data() && !n->isCategory())
                found.push_back(n);
        view()->listNodes(found);
        showWindow();
        clickHeader(ListModel::colComment);
        const int before = model().rowCount();
        TreeNode* sub = child(work, "Sub");
        nodes.deleteNode(child(work, "Site"));
        nodes.deleteNode(sub); // "Deep" goes with it
        QCOMPARE(model().rowCount(), before - 2);
        QVERIFY(rowsAreLive());
        QVERIFY(model().rowOf(child(work, "Stuff")) >= 0);
        QCOMPARE(model().node(model().rowOf(child(work, "Stuff"))), child(work, "Stuff"));
        // What is left can still be sorted, and a record change reaches its row.
        clickHeader(ListModel::colName);
        nodes.editRecord(root("Loose"), [](NodeInfo& info) { info.comments = "changed"; });
        QCOMPARE(column(3).at(model().rowOf(root("Loose"))), QString("changed"));
        nodes.deleteNode(root("Loose"));
        QVERIFY(rowsAreLive());
        QCOMPARE(model().rowCount(), before - 3);
    }

    // The caption follows renames of the listed node, and the status line
    // the comment of the tree's current node, however they change.
    void captionAndStatusLineFollowTheListedNode()
    {
        showWindow();
        TreeNode* work = root("Work");
        auto* tree = docsTree();
        tree->setFocus();
        select(work);
        QCOMPARE(m_w->windowTitle(), QString("Quillmere 3.3 - Work"));
        action("acNewCateg")->trigger(); // a new category, its name open for editing
        QCOMPARE(m_w->windowTitle(), QString("Quillmere 3.3 - New category"));
        auto* editor = tree->viewport()->findChild<QLineEdit*>();
        QVERIFY(editor && editor->isVisible());
        editor->selectAll();
        QTest::keyClicks(editor, "Home");
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(m_w->windowTitle(), QString("Quillmere 3.3 - Home"));
        // Renamed in the list or the tree while listed: the caption follows.
        cat().nodes().setText(view()->listedNode(), "Home sweet home");
        QCOMPARE(m_w->windowTitle(), QString("Quillmere 3.3 - Home sweet home"));
        auto* label = m_w->findChild<QLabel*>("CommentLabel");
        cat().nodes().editRecord(view()->currentNode(),
                                 [](NodeInfo& info) { info.comments = "new place"; });
        QCOMPARE(label->text(), QString("Comment: new place"));
        // A rename of another node leaves the caption alone.
        cat().nodes().setText(root("Fruit"), "Fruits");
        QCOMPARE(m_w->windowTitle(), QString("Quillmere 3.3 - Home sweet home"));
    }

    void sortingByColumnsReordersTheCategory()
    {
        showWindow();
        TreeNode* fruit = root("Fruit");
        select(fruit);
        QCOMPARE(column(0), (QStringList{"banana", "Apple", "cherry"}));
        auto mark = [&](int c) { return model().sortMark(c); };

        clickHeader(0);
        QCOMPARE(column(0), (QStringList{"Apple", "banana", "cherry"})); // case ignored
        QCOMPARE(mark(0), int(imgSortUp));
        QCOMPARE(childTexts(fruit), (QStringList{"Apple", "banana", "cherry"}));
        QVERIFY(!model().headerData(0, Qt::Horizontal, Qt::DecorationRole).isNull());

        clickHeader(0);
        QCOMPARE(column(0), (QStringList{"cherry", "banana", "Apple"}));
        QCOMPARE(mark(0), int(imgSortDown));
        QCOMPARE(childTexts(fruit), (QStringList{"cherry", "banana", "Apple"}));

        clickHeader(3); // by comment: a, b, c
        QCOMPARE(column(0), (QStringList{"Apple", "banana", "cherry"}));
        QCOMPARE(mark(3), int(imgSortUp));
        QCOMPARE(mark(0), -1);

        // Another category: marks go, directions stay for the run (the
        // comment column, sorted up before, now sorts down).
        select(root("Work"));
        for (int c = 0; c < ListModel::ColumnCount; ++c)
            QCOMPARE(mark(c), -1);
        clickHeader(3);
        QCOMPARE(mark(3), int(imgSortDown));
        QCOMPARE(column(3), (QStringList{"below", "about notes", "a folder", ""}));

        // The saved catalogue keeps the sorted order.
        m_w->finish();
        QFile f(catalogueFile());
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray saved = f.readAll();
        QVERIFY(saved.indexOf("Sub\0", 0) < saved.indexOf("Notes\0"));
        QVERIFY(saved.indexOf("Notes\0") < saved.indexOf("Stuff\0"));
        QVERIFY(saved.indexOf("Stuff\0") < saved.indexOf("Site\0"));
        QVERIFY(saved.indexOf("Apple\0") < saved.indexOf("banana\0"));
    }

    void locationSortIgnoresCaseAndKeepsTies_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("C") << QLocale::c(); // compares code points
        QTest::newRow("en_US") << QLocale(QLocale::English,
                                          QLocale::UnitedStates); // the locale's rules
    }

    void locationSortIgnoresCaseAndKeepsTies()
    {
        QFETCH(QLocale, locale);
        showWindow();
        QCollator collator(locale);
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        model().setCollator(collator);
        TreeNode* top = cat().addCategoryNode(nullptr, "Paths");
        const QStringList paths{"/data/Beta/x", "/DATA/alpha/y", "/data/alpha/Y", "/data/Alpha/a",
                                "/data/beta/X"};
        for (const QString& p : paths) {
            TreeNode* n = cat().nodes().addChild(top, "n" + QString::number(top->count()));
            auto info = std::make_unique<NodeInfo>();
            info->kind = NodeKind::Url; // not probed on disk
            info->fullName = p;
            cat().nodes().setNodeData(n, std::move(info));
        }
        view()->listCategory(top);
        // The list's comparison of two rows' locations.
        const auto compareRows = [&](int a, int b) {
            return model().compare(ListModel::cellText(model().node(a), ListModel::colLocation),
                                   ListModel::cellText(model().node(b), ListModel::colLocation));
        };
        clickHeader(ListModel::colLocation);
        // Equal up to case: the earlier row stays first.
        QCOMPARE(column(2), (QStringList{"/data/Alpha/a", "/DATA/alpha/y", "/data/alpha/Y",
                                         "/data/Beta/x", "/data/beta/X"}));
        QCOMPARE(compareRows(1, 2), 0);
        QVERIFY(compareRows(0, 3) < 0);
        QVERIFY(compareRows(3, 0) > 0);
        // The sort agrees with the comparison for every neighbour pair.
        clickHeader(ListModel::colLocation);
        for (int r = 0; r + 1 < model().rowCount(); ++r)
            QVERIFY(compareRows(r, r + 1) >= 0);
        QCOMPARE(column(2).first(), QString("/data/Beta/x"));
    }

    void viewStylesCycle()
    {
        showWindow();
        auto* stack = m_w->findChild<QStackedWidget*>("ListView");
        QCOMPARE(view()->viewStyle(), CategoryView::Details);
        QCOMPARE(stack->currentWidget(), static_cast<QWidget*>(details()));
        clickViewButton();
        QCOMPARE(view()->viewStyle(), CategoryView::LargeIcons); // details -> large icons
        QVERIFY(action("LargeIcons2")->isChecked());
        QVERIFY(!action("Detailes2")->isChecked());
        QCOMPARE(stack->currentWidget(), static_cast<QWidget*>(icons()));
        QCOMPARE(icons()->viewMode(), QListView::IconMode);
        QVERIFY(model().largeIcons());
        clickViewButton();
        QCOMPARE(view()->viewStyle(), CategoryView::SmallIcons);
        QCOMPARE(icons()->viewMode(), QListView::ListMode);
        QCOMPARE(icons()->flow(), QListView::LeftToRight);
        QVERIFY(!model().largeIcons());
        clickViewButton();
        QCOMPARE(view()->viewStyle(), CategoryView::ListStyle);
        QCOMPARE(icons()->flow(), QListView::TopToBottom);
        clickViewButton();
        QCOMPARE(view()->viewStyle(), CategoryView::Details);
        QVERIFY(action("Detailes2")->isChecked());

        action("SmallIcons1")->trigger(); // the main menu's entry moves the button's mark too
        QVERIFY(action("SmallIcons2")->isChecked());
        QCOMPARE(view()->viewStyle(), CategoryView::SmallIcons);
        action("Detailes2")
            ->actionGroup()
            ->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
        for (QAction* a : menu("ViewMenu")->actions())
            a->setChecked(false);
        clickViewButton(); // nothing marked: nothing happens
        QCOMPARE(view()->viewStyle(), CategoryView::SmallIcons);
    }

    void rightClickChoosesNodeAndMenu()
    {
        showWindow();
        TreeNode* work = root("Work");
        select(root("Fruit")); // the press must move the selection
        const QRect r = docsTree()->visualRect(cat().nodes().indexOf(work));
        rightClick(docsTree(), r.center());
        QCOMPARE(view()->currentNode(), work);
        QTRY_VERIFY(menu("ItemMenu")->isVisible());
        menu("ItemMenu")->hide();

        rightClick(docsTree(), QPoint(5, docsTree()->viewport()->height() - 3));
        QVERIFY(!view()->currentNode());
        QTRY_VERIFY(menu("PopupMenu")->isVisible());
        menu("PopupMenu")->hide();

        select(work);
        QVERIFY(!view()->listSelectedNode());
        rightClick(details(), QPoint(10, details()->viewport()->height() - 5)); // on no row
        QTRY_VERIFY(menu("PopupMenu")->isVisible());
        menu("PopupMenu")->hide();
        details()->setCurrentIndex(model().index(1, 0));
        QCOMPARE(view()->listSelectedNode(), child(work, "Site"));
        rightClick(details(), details()->visualRect(model().index(1, 0)).center());
        QTRY_VERIFY(menu("ItemMenu")->isVisible());
        menu("ItemMenu")->hide();

        // The item menu's "Additional" sub-menu starts with one blank entry.
        QCOMPARE(menu("AdMenu")->actions().size(), 1);
        QCOMPARE(menu("AdMenu")->title(), QString("Additional"));
    }

    void expandAndCollapseAllKeepSelectionAndList()
    {
        TreeNode* work = root("Work");
        TreeNode* deep = child(child(work, "Sub"), "Deep");
        select(deep);
        TreeNode* listed = view()->listedNode();
        action("acExpandAll")->trigger();
        QVERIFY(docsTree()->isExpanded(cat().nodes().indexOf(child(work, "Sub"))));
        QVERIFY(docsTree()->isExpanded(cat().nodes().indexOf(root("Fruit"))));
        action("acCollapseAll")->trigger();
        QVERIFY(!docsTree()->isExpanded(cat().nodes().indexOf(work)));
        QCOMPARE(view()->currentNode(), deep);
        QCOMPARE(view()->listedNode(), listed);
    }

    void commentStaysWhileMenuTipsComeAndGo()
    {
        m_w->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_w.get()));
        select(root("Work"));
        auto* label = m_w->findChild<QLabel*>("CommentLabel");
        // What a menu entry sends while the pointer passes over it.
        for (const QString& tip : {QString("Some tip"), QString()}) {
            QStatusTipEvent event(tip);
            QApplication::sendEvent(m_w.get(), &event);
        }
        QCOMPARE(label->text(), QString("Comment: mine"));
        QVERIFY(label->isVisible());
        select(root("Fruit")); // no comment: nothing left of the old one
        QCOMPARE(label->text(), QString());
    }

    void rightClickOnEmptyListSpaceShowsTheGeneralMenu()
    {
        m_w->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_w.get()));
        select(root("Work"));
        details()->setCurrentIndex(model().index(0, 0));
        QVERIFY(view()->listSelectedNode());
        QWidget* viewport = details()->viewport();
        const QPoint empty(10, viewport->height() - 5);
        QVERIFY(!details()->indexAt(empty).isValid());
        QContextMenuEvent event(QContextMenuEvent::Mouse, empty, viewport->mapToGlobal(empty));
        QApplication::sendEvent(viewport, &event);
        QTRY_VERIFY(menu("PopupMenu")->isVisible());
        QVERIFY(!menu("ItemMenu")->isVisible());
        QVERIFY(!view()->listSelectedNode());
        menu("PopupMenu")->close();
    }

    void listCellsStayReadable()
    {
        m_w->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_w.get()));
        QHeaderView* header = details()->header();
        header->resizeSection(ListModel::colName, 20);
        QCOMPARE(header->sectionSize(ListModel::colName), 50);

        // A location too long for its column: cut in the middle, whole in the tooltip.
        select(root("Work"));
        header->resizeSection(ListModel::colLocation, 60);
        const QModelIndex cell = model().index(0, ListModel::colLocation);
        const QRect rect = details()->visualRect(cell);
        QHelpEvent help(QEvent::ToolTip, rect.center(),
                        details()->viewport()->mapToGlobal(rect.center()));
        QApplication::sendEvent(details()->viewport(), &help);
        QTRY_COMPARE(QToolTip::text(), file("notes.txt"));
        QToolTip::hideText();
        QTRY_VERIFY(!QToolTip::isVisible());
        // A cell that fits has no tooltip.
        const QModelIndex type = model().index(0, ListModel::colType);
        const QRect typeRect = details()->visualRect(type);
        QHelpEvent fits(QEvent::ToolTip, typeRect.center(),
                        details()->viewport()->mapToGlobal(typeRect.center()));
        QApplication::sendEvent(details()->viewport(), &fits);
        QVERIFY(!QToolTip::isVisible());

        // Volume paths keep their case.
        auto* drives = m_w->findChild<QComboBox*>();
        QVERIFY(drives);
        for (int i = 0; i < drives->count(); ++i)
            QCOMPARE(drives->itemText(i), drives->itemData(i).toString());
    }

    void bidiControlsShowInCells()
    {
        m_w->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_w.get()));
        // A location with a right-to-left override shows the control as the
        // text of its escape, in the cell and in the tooltip.
        TreeNode* work = root("Work");
        const QString escaped = "https://example.org/\\u202Efdp.exe";
        TreeNode* spoof = cat().addLinkNode(
            QString("https://example.org/%1fdp.exe").arg(QChar(0x202E)), work, "Spoof", true);
        TreeNode* plain = cat().addLinkNode(escaped, work, "Plain", true);
        select(work);
        details()->header()->resizeSection(ListModel::colLocation, 400);
        const auto cell = [&](TreeNode* n) {
            const QModelIndex index = model().index(model().rowOf(n), ListModel::colLocation);
            return details()->viewport()->grab(details()->visualRect(index)).toImage();
        };
        QCOMPARE(cell(spoof), cell(plain));
        details()->header()->resizeSection(ListModel::colLocation, 60);
        const QRect rect =
            details()->visualRect(model().index(model().rowOf(spoof), ListModel::colLocation));
        QHelpEvent help(QEvent::ToolTip, rect.center(),
                        details()->viewport()->mapToGlobal(rect.center()));
        QApplication::sendEvent(details()->viewport(), &help);
        QTRY_COMPARE(QToolTip::text(), escaped);
        QToolTip::hideText();
    }

    void controlsHaveAccessibleNames()
    {
        for (const char* name : {"DocsTree", "ListIcons", "ListDetails", "TargetWin", "btnSearch",
                                 "btnView", "DirListBox", "cbDrive"}) {
            auto* widget = m_w->findChild<QWidget*>(name);
            QVERIFY2(widget, name);
            QVERIFY2(!widget->accessibleName().isEmpty(), name);
            QVERIFY2(!widget->accessibleDescription().isEmpty(), name);
        }
    }

    void expandAllOnTheDeepestTreeAFileMayHold()
    {
        // The views lay a tree out recursively; the deepest tree the reader
        // accepts must expand, draw and collapse.
        m_w.reset(); // the window of init() saves its own catalogue as it goes
        QByteArray data;
        for (int level = 0; level <= MaxCatalogueDepth; ++level)
            data += TestUtil::catalogueLine("n", level, {}, "1");
        QVERIFY(TestUtil::writeFile(catalogueFile(), data));
        openWindow(Show::Hidden);
        m_w->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_w.get()));
        action("acExpandAll")->trigger();
        TreeNode* deepest = cat().topCategory();
        while (deepest->hasChildren())
            deepest = deepest->getFirstChild();
        QCOMPARE(deepest->level(), MaxCatalogueDepth);
        QVERIFY(docsTree()->isExpanded(cat().nodes().indexOf(deepest->parent())));
        select(deepest);
        docsTree()->scrollTo(cat().nodes().indexOf(deepest));
        docsTree()->viewport()->repaint();
        action("acCollapseAll")->trigger();
        QCOMPARE(view()->currentNode(), deepest);
    }
};

QTEST_MAIN(TestCategoryView)
#include "tst_categoryview.moc"
