// The list beside the tree: what a selection lists, the on-disk check of a
// fill (also when the relink question removes nodes), sorting and the tree
// order it leaves, view styles, pop-up menus, expand and collapse.
#include "catalogue/ListModel.h"
#include "components/MessageDialogs.h"
#include "forms/MainWindow.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
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

namespace
{

TreeNode* child(TreeNode* parent, const QString& text)
{
    for (int i = 0; i < parent->count(); ++i)
        if (parent->item(i)->text() == text)
            return parent->item(i);
    return nullptr;
}

QStringList childTexts(const TreeNode* parent)
{
    QStringList out;
    for (int i = 0; i < parent->count(); ++i)
        out << parent->item(i)->text();
    return out;
}

} // namespace

class TestCategoryView : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<MainWindow> m_w;

    QString file(const QString& name) const { return m_dir.filePath("files/" + name); }

    QStringList column(int c) const
    {
        QStringList out;
        for (int r = 0; r < m_w->listModel->rowCount(); ++r)
            out << m_w->listModel->index(r, c).data().toString();
        return out;
    }

    TreeNode* root(const QString& text) const
    {
        for (int i = 0; i < m_w->catalogue.nodes().rootCount(); ++i)
            if (m_w->catalogue.nodes().rootItem(i)->text() == text)
                return m_w->catalogue.nodes().rootItem(i);
        return nullptr;
    }

    void select(TreeNode* node)
    {
        m_w->docsTree->setCurrentIndex(m_w->catalogue.nodes().indexOf(node));
    }

    // Every row must refer to a node that is still in the tree.
    bool rowsAreLive() const
    {
        for (TreeNode* row : m_w->listModel->rows()) {
            bool found = false;
            for (TreeNode* n = m_w->catalogue.nodes().getFirstNode(); n && !found; n = n->getNext())
                found = n == row;
            if (!found)
                return false;
        }
        return true;
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QDir(m_dir.path()).removeRecursively();
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
        QVERIFY(TestUtil::writeFile(m_dir.filePath("quillmere.dat"), data));
        MessageDialogs::setHandler(
            [](QMessageBox::Icon, const QString&) { return QMessageBox::Ok; });
        m_w = std::make_unique<MainWindow>();
        m_w->catalogue.setDataFolder(m_dir.path());
        m_w->formCreate(nullptr);
        QVERIFY2(m_w->startupError.isEmpty(), qPrintable(m_w->startupError));
    }

    void cleanup() { m_w.reset(); }

    void selectingCategoryListsItsDirectChildren()
    {
        TreeNode* work = root("Work");
        select(work);
        QCOMPARE(m_w->listedNode, work);
        QCOMPARE(m_w->windowTitle(), QString("Quillmere 3.3 - Work"));
        QCOMPARE(m_w->findChild<QLabel*>("CommentLabel")->text(), QString("Comment: mine"));
        QCOMPARE(column(0), (QStringList{"Notes", "Site", "Sub", "Stuff"})); // not "Deep"
        QCOMPARE(column(1), (QStringList{"Document", "Hyperlink", "Category", "Folder"}));
        QCOMPARE(column(2),
                 (QStringList{file("notes.txt"), "https://example.org/", "", file("folder")}));
        QCOMPARE(column(3), (QStringList{"about notes", "", "below", "a folder"}));
        QCOMPARE(column(4), (QStringList{"urgent", "", "", ""}));
        QCOMPARE(m_w->listModel->node(0), child(work, "Notes"));
        QCOMPARE(m_w->listModel->rowCount(), 4);
    }

    void selectingEntryListsItsCategory()
    {
        TreeNode* work = root("Work");
        select(child(work, "Notes"));
        QCOMPARE(m_w->listedNode, work);
        QCOMPARE(m_w->listModel->rowCount(), 4);
        QVERIFY(!m_w->listSelectedNode());
        QCOMPARE(m_w->findChild<QLabel*>("CommentLabel")->text(), QString("Comment: about notes"));
        select(child(work, "Site")); // empty comment empties the status line
        QCOMPARE(m_w->statusBar()->currentMessage(), QString());
        select(child(child(work, "Sub"), "Deep"));
        QCOMPARE(m_w->listedNode, child(work, "Sub"));
        QCOMPARE(column(0), QStringList{"Deep"});
    }

    void topLevelEntryAndTheListedNodeRule()
    {
        TreeNode* work = root("Work");
        select(work);
        TreeNode* loose = root("Loose");
        select(loose); // no parent: the list stays as it was
        QCOMPARE(m_w->listedNode, work);
        QCOMPARE(m_w->listModel->rowCount(), 4);
        QCOMPARE(m_w->findChild<QLabel*>("CommentLabel")->text(), QString("Comment: root entry"));
        m_w->listCategory(loose);
        QCOMPARE(column(0), QStringList{"Loose"});
        QCOMPARE(m_w->windowTitle(), QString("Quillmere 3.3 - Loose"));
        m_w->listCategory(loose); // listed already: the list is left empty
        QCOMPARE(m_w->listModel->rowCount(), 0);
        QCOMPARE(m_w->listedNode, loose);
        m_w->listCategory(nullptr); // nothing happens
        QCOMPARE(m_w->listedNode, loose);
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
        m_w->catalogue.askNewLocationHook = [&](const QString&, const QString&, TreeNode*,
                                                const QString&) {
            asked = true;
            return true;
        };
        m_w->listCategory(work); // option off: marked, listed, nothing asked
        QVERIFY(!asked);
        QCOMPARE(notes->imageIndex(), int(imgMissing));
        QCOMPARE(stuff->imageIndex(), int(imgMissing));
        QCOMPARE(m_w->listModel->rowCount(), 4);
        QCOMPARE(m_w->listModel->index(0, 0).data(Qt::DecorationRole).value<QIcon>().cacheKey(),
                 m_w->catalogue.images().small.icon(imgMissing).cacheKey());

        QVERIFY(QFile::rename(file("gone.txt"), file("notes.txt")));
        m_w->listCategory(work);
        QVERIFY(notes->imageIndex() != imgMissing);
        QCOMPARE(stuff->imageIndex(), int(imgMissing));
    }

    void relinkQuestionThatRemovesNodesDuringAFill()
    {
        TreeNode* work = root("Work");
        select(work);
        QVERIFY(QFile::remove(file("notes.txt")));
        QVERIFY(QDir().rmdir(file("folder")));
        m_w->acRemoveOnAbsent->setChecked(true);
        QStringList asked;
        // Declining removes the node and refills its category, as the
        // opening commands do: a refill from inside the running fill.
        m_w->catalogue.askNewLocationHook = [&](const QString& name, const QString& path,
                                                TreeNode* node, const QString& comments) {
            asked << name + "|" + path + "|" + comments;
            TreeNode* parent = node->parent();
            m_w->catalogue.nodes().deleteNode(node);
            m_w->listCategory(parent);
            return false;
        };
        m_w->listCategory(work);
        QCOMPARE(asked, (QStringList{"Notes|" + file("notes.txt") + "|about notes",
                                     "Stuff|" + file("folder") + "|a folder"}));
        QCOMPARE(column(0), (QStringList{"Site", "Sub"}));
        QCOMPARE(childTexts(work), (QStringList{"Site", "Sub"}));
        QVERIFY(rowsAreLive());
        QCOMPARE(m_w->listedNode, work);

        // A top-level entry listed alone whose question removes it.
        TreeNode* loose = root("Loose");
        m_w->listCategory(loose);
        QVERIFY(!root("Loose"));
        QCOMPARE(m_w->listModel->rowCount(), 0);
        QVERIFY(!m_w->listedNode);
    }

    void realRelinkQuestionDuringAFill()
    {
        TreeNode* work = root("Work");
        select(work);
        QVERIFY(QFile::remove(file("notes.txt")));
        QVERIFY(QDir().rmdir(file("folder")));
        m_w->acRemoveOnAbsent->setChecked(true);
        // The first question is answered "Yes" with a file to relink to, the
        // second "No", which removes the folder's link.
        QList<QMessageBox::StandardButton> answers{QMessageBox::Yes, QMessageBox::No};
        MessageDialogs::setHandler([&](QMessageBox::Icon, const QString&) {
            return answers.isEmpty() ? QMessageBox::Ok : answers.takeFirst();
        });
        m_w->pickFileHook = [&](const QString&, const QString&) { return file("Apple.txt"); };
        m_w->listCategory(work);
        QVERIFY(answers.isEmpty());
        QCOMPARE(column(0), (QStringList{"Notes", "Site", "Sub"}));
        QCOMPARE(column(2).first(), file("Apple.txt"));
        QCOMPARE(childTexts(work), (QStringList{"Notes", "Site", "Sub"}));
        QVERIFY(rowsAreLive());
        QCOMPARE(m_w->listedNode, work);
    }

    void listModelSurvivesAnyRemovalDuringAFill()
    {
        // Hooks that remove other nodes than the one asked about, add one
        // in front, or remove the category itself.
        Catalogue& cat = m_w->catalogue;
        TreeNode* fruit = root("Fruit");
        ListModel& model = *m_w->listModel;
        int calls = 0;
        model.fillChildren(fruit, [&](TreeNode* n) {
            ++calls;
            if (n->text() == "Apple")
                cat.nodes().deleteNode(fruit->item(0)); // the row before it
        });
        QCOMPARE(calls, 3);
        QCOMPARE(model.count(), 2);
        QCOMPARE(model.node(0)->text(), QString("Apple"));
        QCOMPARE(model.node(1)->text(), QString("cherry"));

        calls = 0;
        model.fillChildren(fruit, [&](TreeNode* n) {
            ++calls;
            if (n->text() == "Apple")
                cat.nodes().insertNode(fruit->item(0), "Early");
        });
        QCOMPARE(calls, 2); // Early is listed, not checked, and nothing twice
        QCOMPARE(model.count(), 3);
        QCOMPARE(model.node(0)->text(), QString("Early"));
        QCOMPARE(model.node(2)->text(), QString("cherry"));

        model.fillChildren(fruit, [&](TreeNode* n) {
            if (n->text() == "Apple")
                cat.nodes().deleteNode(fruit);
        });
        QCOMPARE(model.count(), 0);
        QVERIFY(!model.source());

        // Outside a fill a deleted node takes its row along.
        TreeNode* work = root("Work");
        m_w->listCategory(work);
        cat.nodes().deleteNode(child(work, "Sub"));
        QCOMPARE(column(0), (QStringList{"Notes", "Site", "Stuff"}));
        QVERIFY(rowsAreLive());
    }

    void sortingByColumnsReordersTheCategory()
    {
        TreeNode* fruit = root("Fruit");
        select(fruit);
        QCOMPARE(column(0), (QStringList{"banana", "Apple", "cherry"}));
        QHeaderView* header = m_w->listDetails->header();
        auto mark = [&](int c) { return m_w->listModel->sortMark(c); };

        Q_EMIT header->sectionClicked(0);
        QCOMPARE(column(0), (QStringList{"Apple", "banana", "cherry"})); // case ignored
        QCOMPARE(mark(0), int(imgSortUp));
        QCOMPARE(childTexts(fruit), (QStringList{"Apple", "banana", "cherry"}));
        QVERIFY(!m_w->listModel->headerData(0, Qt::Horizontal, Qt::DecorationRole).isNull());

        Q_EMIT header->sectionClicked(0);
        QCOMPARE(column(0), (QStringList{"cherry", "banana", "Apple"}));
        QCOMPARE(mark(0), int(imgSortDown));
        QCOMPARE(childTexts(fruit), (QStringList{"cherry", "banana", "Apple"}));

        Q_EMIT header->sectionClicked(3); // by comment: a, b, c
        QCOMPARE(column(0), (QStringList{"Apple", "banana", "cherry"}));
        QCOMPARE(mark(3), int(imgSortUp));
        QCOMPARE(mark(0), -1);

        // Another category: marks go, directions stay for the run.
        select(root("Work"));
        for (int c = 0; c < ListModel::ColumnCount; ++c)
            QCOMPARE(mark(c), -1);
        Q_EMIT header->sectionClicked(3);
        QCOMPARE(mark(3), int(imgSortDown));
        QCOMPARE(column(3), (QStringList{"below", "about notes", "a folder", ""}));
        QCOMPARE(m_w->sortDirection(3), -1);
        QCOMPARE(m_w->sortDirection(0), -1);

        // The saved catalogue keeps the sorted order.
        m_w->formDestroy();
        QFile f(m_dir.filePath("quillmere.dat"));
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
        QCollator collator(locale);
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        m_w->listModel->setCollator(collator);
        TreeNode* top = m_w->catalogue.addCategoryNode(nullptr, "Paths");
        const QStringList paths{"/data/Beta/x", "/DATA/alpha/y", "/data/alpha/Y", "/data/Alpha/a",
                                "/data/beta/X"};
        for (const QString& p : paths) {
            TreeNode* n = m_w->catalogue.nodes().addChild(top, "n" + QString::number(top->count()));
            auto info = std::make_unique<NodeInfo>();
            info->kind = nkURL; // not probed on disk
            info->fullName = p;
            m_w->catalogue.nodes().setNodeData(n, std::move(info));
        }
        m_w->listCategory(top);
        m_w->listViewColumnClick(2);
        // Equal up to case: the earlier row stays first.
        QCOMPARE(column(2), (QStringList{"/data/Alpha/a", "/DATA/alpha/y", "/data/alpha/Y",
                                         "/data/Beta/x", "/data/beta/X"}));
        QCOMPARE(m_w->compareListItems(1, 2, 3), 0);
        QVERIFY(m_w->compareListItems(0, 3, 3) < 0);
        QVERIFY(m_w->compareListItems(0, 3, -3) > 0);
        // The sort agrees with the comparison for every neighbour pair.
        m_w->listViewColumnClick(2);
        for (int r = 0; r + 1 < m_w->listModel->rowCount(); ++r)
            QVERIFY(m_w->compareListItems(r, r + 1, -3) <= 0);
        QCOMPARE(column(2).first(), QString("/data/Beta/x"));
    }

    void viewStylesCycle()
    {
        QCOMPARE(m_w->viewStyle(), 3);
        QCOMPARE(m_w->listView->currentWidget(), static_cast<QWidget*>(m_w->listDetails));
        m_w->btnViewClick();
        QCOMPARE(m_w->viewStyle(), 0); // details -> large icons
        QVERIFY(m_w->largeIcons2->isChecked());
        QVERIFY(!m_w->detailes2->isChecked());
        QCOMPARE(m_w->listView->currentWidget(), static_cast<QWidget*>(m_w->listIcons));
        QCOMPARE(m_w->listIcons->viewMode(), QListView::IconMode);
        QVERIFY(m_w->listModel->largeIcons());
        m_w->btnViewClick();
        QCOMPARE(m_w->viewStyle(), 1);
        QCOMPARE(m_w->listIcons->viewMode(), QListView::ListMode);
        QCOMPARE(m_w->listIcons->flow(), QListView::LeftToRight);
        QVERIFY(!m_w->listModel->largeIcons());
        m_w->btnViewClick();
        QCOMPARE(m_w->viewStyle(), 2);
        QCOMPARE(m_w->listIcons->flow(), QListView::TopToBottom);
        m_w->btnViewClick();
        QCOMPARE(m_w->viewStyle(), 3);
        QVERIFY(m_w->detailes2->isChecked());

        m_w->smallIcons1->trigger(); // the main menu's entry moves the button's mark too
        QVERIFY(m_w->smallIcons2->isChecked());
        QCOMPARE(m_w->viewStyle(), 1);
        m_w->detailes2->actionGroup()->setExclusionPolicy(
            QActionGroup::ExclusionPolicy::ExclusiveOptional);
        for (QAction* a : m_w->viewMenu->actions())
            a->setChecked(false);
        m_w->btnViewClick(); // nothing marked: nothing happens
        QCOMPARE(m_w->viewStyle(), 1);
    }

    void rightClickChoosesNodeAndMenu()
    {
        m_w->resize(800, 500);
        m_w->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_w.get()));
        TreeNode* work = root("Work");
        const QRect r = m_w->docsTree->visualRect(m_w->catalogue.nodes().indexOf(work));
        m_w->docsTreeMouseDown(Qt::RightButton, r.center());
        QCOMPARE(m_w->selectedTreeNode(), work);
        m_w->docsTreeContextPopup(m_w->mapToGlobal(QPoint(10, 10)));
        QVERIFY(m_w->itemMenu->isVisible());
        m_w->itemMenu->hide();

        QTest::mousePress(m_w->docsTree->viewport(), Qt::RightButton, {},
                          QPoint(5, m_w->docsTree->viewport()->height() - 3));
        QVERIFY(!m_w->selectedTreeNode());
        m_w->docsTreeContextPopup(m_w->mapToGlobal(QPoint(10, 10)));
        QVERIFY(m_w->popupMenu->isVisible());
        m_w->popupMenu->hide();

        select(work);
        m_w->listViewContextPopup(m_w->mapToGlobal(QPoint(10, 10))); // no row selected
        QVERIFY(m_w->popupMenu->isVisible());
        m_w->popupMenu->hide();
        m_w->listDetails->setCurrentIndex(m_w->listModel->index(1, 0));
        QCOMPARE(m_w->listSelectedNode(), child(work, "Site"));
        m_w->listViewContextPopup(m_w->mapToGlobal(QPoint(10, 10)));
        QVERIFY(m_w->itemMenu->isVisible());
        m_w->itemMenu->hide();

        // The item menu's "Additional" sub-menu starts with one blank entry.
        QCOMPARE(m_w->adMenu->actions().size(), 1);
        QCOMPARE(m_w->adMenu->title(), QString("Additional"));
    }

    void expandAndCollapseAllKeepSelectionAndList()
    {
        TreeNode* work = root("Work");
        TreeNode* deep = child(child(work, "Sub"), "Deep");
        select(deep);
        TreeNode* listed = m_w->listedNode;
        m_w->acExpandAll->trigger();
        QVERIFY(m_w->docsTree->isExpanded(m_w->catalogue.nodes().indexOf(child(work, "Sub"))));
        QVERIFY(m_w->docsTree->isExpanded(m_w->catalogue.nodes().indexOf(root("Fruit"))));
        m_w->acCollapseAll->trigger();
        QVERIFY(!m_w->docsTree->isExpanded(m_w->catalogue.nodes().indexOf(work)));
        QCOMPARE(m_w->selectedTreeNode(), deep);
        QCOMPARE(m_w->listedNode, listed);
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
        m_w->listDetails->setCurrentIndex(m_w->listModel->index(0, 0));
        QVERIFY(m_w->listSelectedNode());
        QWidget* viewport = m_w->listDetails->viewport();
        const QPoint empty(10, viewport->height() - 5);
        QVERIFY(!m_w->listDetails->indexAt(empty).isValid());
        QContextMenuEvent event(QContextMenuEvent::Mouse, empty, viewport->mapToGlobal(empty));
        QApplication::sendEvent(viewport, &event);
        QTRY_VERIFY(m_w->popupMenu->isVisible());
        QVERIFY(!m_w->itemMenu->isVisible());
        QVERIFY(!m_w->listSelectedNode());
        m_w->popupMenu->close();
    }

    void listCellsStayReadable()
    {
        m_w->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_w.get()));
        QHeaderView* header = m_w->listDetails->header();
        header->resizeSection(ListModel::colName, 20);
        QCOMPARE(header->sectionSize(ListModel::colName), 50);

        // A location too long for its column: cut in the middle, whole in the tooltip.
        select(root("Work"));
        header->resizeSection(ListModel::colLocation, 60);
        const QModelIndex cell = m_w->listModel->index(0, ListModel::colLocation);
        const QRect rect = m_w->listDetails->visualRect(cell);
        QHelpEvent help(QEvent::ToolTip, rect.center(),
                        m_w->listDetails->viewport()->mapToGlobal(rect.center()));
        QApplication::sendEvent(m_w->listDetails->viewport(), &help);
        QTRY_COMPARE(QToolTip::text(), file("notes.txt"));
        QToolTip::hideText();
        QTRY_VERIFY(!QToolTip::isVisible());
        // A cell that fits has no tooltip.
        const QModelIndex type = m_w->listModel->index(0, ListModel::colType);
        const QRect typeRect = m_w->listDetails->visualRect(type);
        QHelpEvent fits(QEvent::ToolTip, typeRect.center(),
                        m_w->listDetails->viewport()->mapToGlobal(typeRect.center()));
        QApplication::sendEvent(m_w->listDetails->viewport(), &fits);
        QVERIFY(!QToolTip::isVisible());

        // Volume paths keep their case.
        auto* drives = m_w->findChild<QComboBox*>();
        QVERIFY(drives);
        for (int i = 0; i < drives->count(); ++i)
            QCOMPARE(drives->itemText(i), drives->itemData(i).toString());
    }

    void controlsHaveAccessibleNames()
    {
        for (QWidget* widget :
             {static_cast<QWidget*>(m_w->docsTree), static_cast<QWidget*>(m_w->listIcons),
              static_cast<QWidget*>(m_w->listDetails), static_cast<QWidget*>(m_w->targetWin),
              static_cast<QWidget*>(m_w->btnSearch), static_cast<QWidget*>(m_w->btnView),
              static_cast<QWidget*>(m_w->dirListBox), static_cast<QWidget*>(m_w->cbDrive)}) {
            QVERIFY2(!widget->accessibleName().isEmpty(), widget->metaObject()->className());
            QVERIFY2(!widget->accessibleDescription().isEmpty(), widget->metaObject()->className());
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
        QVERIFY(TestUtil::writeFile(m_dir.filePath("quillmere.dat"), data));
        m_w = std::make_unique<MainWindow>();
        m_w->catalogue.setDataFolder(m_dir.path());
        m_w->formCreate(nullptr);
        QVERIFY2(m_w->startupError.isEmpty(), qPrintable(m_w->startupError));
        m_w->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_w.get()));
        m_w->acExpandAll->trigger();
        TreeNode* deepest = m_w->catalogue.topCategory;
        while (deepest->hasChildren())
            deepest = deepest->getFirstChild();
        QCOMPARE(deepest->level(), MaxCatalogueDepth);
        QVERIFY(m_w->docsTree->isExpanded(m_w->catalogue.nodes().indexOf(deepest->parent())));
        select(deepest);
        m_w->docsTree->scrollTo(m_w->catalogue.nodes().indexOf(deepest));
        m_w->docsTree->viewport()->repaint();
        m_w->acCollapseAll->trigger();
        QCOMPARE(m_w->selectedTreeNode(), deepest);
    }
};

QTEST_MAIN(TestCategoryView)
#include "tst_categoryview.moc"
