// The list beside the tree: what a selection lists, the on-disk check of a
// fill (also when the relink question removes nodes), sorting and the tree
// order it leaves, view styles, pop-up menus, expand and collapse.
#include "catalogue/ListModel.h"
#include "components/HSDialogs.h"
#include "forms/frmMain.h"

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

TTreeNode* child(TTreeNode* parent, const QString& text)
{
    for (int i = 0; i < parent->Count(); ++i)
        if (parent->Item(i)->Text() == text)
            return parent->Item(i);
    return nullptr;
}

QStringList childTexts(const TTreeNode* parent)
{
    QStringList out;
    for (int i = 0; i < parent->Count(); ++i)
        out << parent->Item(i)->Text();
    return out;
}

} // namespace

class TestCategoryView : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<TMainF> w;

    QString file(const QString& name) const { return m_dir.filePath("files/" + name); }

    QStringList column(int c) const
    {
        QStringList out;
        for (int r = 0; r < w->ListModel->rowCount(); ++r)
            out << w->ListModel->index(r, c).data().toString();
        return out;
    }

    TTreeNode* root(const QString& text) const
    {
        for (int i = 0; i < w->Catalogue.Nodes().RootCount(); ++i)
            if (w->Catalogue.Nodes().RootItem(i)->Text() == text)
                return w->Catalogue.Nodes().RootItem(i);
        return nullptr;
    }

    void select(TTreeNode* node)
    {
        w->DocsTree->setCurrentIndex(w->Catalogue.Nodes().IndexOf(node));
    }

    // Every row must refer to a node that is still in the tree.
    bool rowsAreLive() const
    {
        for (TTreeNode* row : w->ListModel->Rows()) {
            bool found = false;
            for (TTreeNode* n = w->Catalogue.Nodes().GetFirstNode(); n && !found; n = n->GetNext())
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
            QVERIFY(TestUtil::WriteFile(file(name), "x"));
        QByteArray data =
            TestUtil::CatalogueLine("Work", 0, {}, "1", "mine", "W") +
            TestUtil::CatalogueLine("Notes", 1, file("notes.txt"), "2", "about notes", "urgent") +
            TestUtil::CatalogueLine("Site", 1, "https://example.org/", "4", "", "") +
            TestUtil::CatalogueLine("Sub", 1, {}, "1", "below") +
            TestUtil::CatalogueLine("Deep", 2, file("deep.txt"), "2") +
            TestUtil::CatalogueLine("Stuff", 1, file("folder"), "3", "a folder") +
            TestUtil::CatalogueLine("Fruit", 0, {}, "1") +
            TestUtil::CatalogueLine("banana", 1, file("banana.txt"), "2", "b") +
            TestUtil::CatalogueLine("Apple", 1, file("Apple.txt"), "2", "a") +
            TestUtil::CatalogueLine("cherry", 1, "https://c.example/", "4", "c") +
            TestUtil::CatalogueLine("Loose", 0, file("notes.txt"), "2", "root entry");
        QVERIFY(TestUtil::WriteFile(m_dir.filePath("quillmere.dat"), data));
        HSDialogs::SetHandler([](QMessageBox::Icon, const QString&) { return QMessageBox::Ok; });
        w = std::make_unique<TMainF>();
        w->Catalogue.SetDataFolder(m_dir.path());
        w->FormCreate(nullptr);
        QVERIFY2(w->StartupError.isEmpty(), qPrintable(w->StartupError));
    }

    void cleanup() { w.reset(); }

    void selectingCategoryListsItsDirectChildren()
    {
        TTreeNode* work = root("Work");
        select(work);
        QCOMPARE(w->ListedNode, work);
        QCOMPARE(w->windowTitle(), QString("Quillmere 3.3 - Work"));
        QCOMPARE(w->findChild<QLabel*>("CommentLabel")->text(), QString("Comment: mine"));
        QCOMPARE(column(0), (QStringList{"Notes", "Site", "Sub", "Stuff"})); // not "Deep"
        QCOMPARE(column(1), (QStringList{"Document", "Hyperlink", "Category", "Folder"}));
        QCOMPARE(column(2),
                 (QStringList{file("notes.txt"), "https://example.org/", "", file("folder")}));
        QCOMPARE(column(3), (QStringList{"about notes", "", "below", "a folder"}));
        QCOMPARE(column(4), (QStringList{"urgent", "", "", ""}));
        QCOMPARE(w->ListModel->Node(0), child(work, "Notes"));
        QCOMPARE(w->ListModel->rowCount(), 4);
    }

    void selectingEntryListsItsCategory()
    {
        TTreeNode* work = root("Work");
        select(child(work, "Notes"));
        QCOMPARE(w->ListedNode, work);
        QCOMPARE(w->ListModel->rowCount(), 4);
        QVERIFY(!w->ListSelectedNode());
        QCOMPARE(w->findChild<QLabel*>("CommentLabel")->text(), QString("Comment: about notes"));
        select(child(work, "Site")); // empty comment empties the status line
        QCOMPARE(w->statusBar()->currentMessage(), QString());
        select(child(child(work, "Sub"), "Deep"));
        QCOMPARE(w->ListedNode, child(work, "Sub"));
        QCOMPARE(column(0), QStringList{"Deep"});
    }

    void topLevelEntryAndTheListedNodeRule()
    {
        TTreeNode* work = root("Work");
        select(work);
        TTreeNode* loose = root("Loose");
        select(loose); // no parent: the list stays as it was
        QCOMPARE(w->ListedNode, work);
        QCOMPARE(w->ListModel->rowCount(), 4);
        QCOMPARE(w->findChild<QLabel*>("CommentLabel")->text(), QString("Comment: root entry"));
        w->ListCategory(loose);
        QCOMPARE(column(0), QStringList{"Loose"});
        QCOMPARE(w->windowTitle(), QString("Quillmere 3.3 - Loose"));
        w->ListCategory(loose); // listed already: the list is left empty
        QCOMPARE(w->ListModel->rowCount(), 0);
        QCOMPARE(w->ListedNode, loose);
        w->ListCategory(nullptr); // nothing happens
        QCOMPARE(w->ListedNode, loose);
    }

    void missingTargetsAreMarkedAndComeBack()
    {
        TTreeNode* work = root("Work");
        TTreeNode* notes = child(work, "Notes");
        TTreeNode* stuff = child(work, "Stuff");
        select(work);
        const int realIcon = notes->ImageIndex();
        QVERIFY(realIcon != imgMissing);
        QVERIFY(QFile::rename(file("notes.txt"), file("gone.txt")));
        QVERIFY(QDir().rmdir(file("folder")));
        bool asked = false;
        w->Catalogue.AskNewLocationHook = [&](const QString&, const QString&, TTreeNode*,
                                              const QString&) {
            asked = true;
            return true;
        };
        w->ListCategory(work); // option off: marked, listed, nothing asked
        QVERIFY(!asked);
        QCOMPARE(notes->ImageIndex(), int(imgMissing));
        QCOMPARE(stuff->ImageIndex(), int(imgMissing));
        QCOMPARE(w->ListModel->rowCount(), 4);
        QCOMPARE(w->ListModel->index(0, 0).data(Qt::DecorationRole).value<QIcon>().cacheKey(),
                 w->Catalogue.Images().Small.Icon(imgMissing).cacheKey());

        QVERIFY(QFile::rename(file("gone.txt"), file("notes.txt")));
        w->ListCategory(work);
        QVERIFY(notes->ImageIndex() != imgMissing);
        QCOMPARE(stuff->ImageIndex(), int(imgMissing));
    }

    void relinkQuestionThatRemovesNodesDuringAFill()
    {
        TTreeNode* work = root("Work");
        select(work);
        QVERIFY(QFile::remove(file("notes.txt")));
        QVERIFY(QDir().rmdir(file("folder")));
        w->acRemoveOnAbsent->setChecked(true);
        QStringList asked;
        // Declining removes the node and refills its category, as the
        // opening commands do: a refill from inside the running fill.
        w->Catalogue.AskNewLocationHook = [&](const QString& name, const QString& path,
                                              TTreeNode* node, const QString& comments) {
            asked << name + "|" + path + "|" + comments;
            TTreeNode* parent = node->Parent();
            w->Catalogue.Nodes().Delete(node);
            w->ListCategory(parent);
            return false;
        };
        w->ListCategory(work);
        QCOMPARE(asked, (QStringList{"Notes|" + file("notes.txt") + "|about notes",
                                     "Stuff|" + file("folder") + "|a folder"}));
        QCOMPARE(column(0), (QStringList{"Site", "Sub"}));
        QCOMPARE(childTexts(work), (QStringList{"Site", "Sub"}));
        QVERIFY(rowsAreLive());
        QCOMPARE(w->ListedNode, work);

        // A top-level entry listed alone whose question removes it.
        TTreeNode* loose = root("Loose");
        w->ListCategory(loose);
        QVERIFY(!root("Loose"));
        QCOMPARE(w->ListModel->rowCount(), 0);
        QVERIFY(!w->ListedNode);
    }

    void realRelinkQuestionDuringAFill()
    {
        TTreeNode* work = root("Work");
        select(work);
        QVERIFY(QFile::remove(file("notes.txt")));
        QVERIFY(QDir().rmdir(file("folder")));
        w->acRemoveOnAbsent->setChecked(true);
        // The first question is answered "Yes" with a file to relink to, the
        // second "No", which removes the folder's link.
        QList<QMessageBox::StandardButton> answers{QMessageBox::Yes, QMessageBox::No};
        HSDialogs::SetHandler([&](QMessageBox::Icon, const QString&) {
            return answers.isEmpty() ? QMessageBox::Ok : answers.takeFirst();
        });
        w->PickFileHook = [&](const QString&, const QString&) { return file("Apple.txt"); };
        w->ListCategory(work);
        QVERIFY(answers.isEmpty());
        QCOMPARE(column(0), (QStringList{"Notes", "Site", "Sub"}));
        QCOMPARE(column(2).first(), file("Apple.txt"));
        QCOMPARE(childTexts(work), (QStringList{"Notes", "Site", "Sub"}));
        QVERIFY(rowsAreLive());
        QCOMPARE(w->ListedNode, work);
    }

    void listModelSurvivesAnyRemovalDuringAFill()
    {
        // Hooks that remove other nodes than the one asked about, add one
        // in front, or remove the category itself.
        TCatalogue& cat = w->Catalogue;
        TTreeNode* fruit = root("Fruit");
        TListModel& model = *w->ListModel;
        int calls = 0;
        model.FillChildren(fruit, [&](TTreeNode* n) {
            ++calls;
            if (n->Text() == "Apple")
                cat.Nodes().Delete(fruit->Item(0)); // the row before it
        });
        QCOMPARE(calls, 3);
        QCOMPARE(model.Count(), 2);
        QCOMPARE(model.Node(0)->Text(), QString("Apple"));
        QCOMPARE(model.Node(1)->Text(), QString("cherry"));

        calls = 0;
        model.FillChildren(fruit, [&](TTreeNode* n) {
            ++calls;
            if (n->Text() == "Apple")
                cat.Nodes().Insert(fruit->Item(0), "Early");
        });
        QCOMPARE(calls, 2); // Early is listed, not checked, and nothing twice
        QCOMPARE(model.Count(), 3);
        QCOMPARE(model.Node(0)->Text(), QString("Early"));
        QCOMPARE(model.Node(2)->Text(), QString("cherry"));

        model.FillChildren(fruit, [&](TTreeNode* n) {
            if (n->Text() == "Apple")
                cat.Nodes().Delete(fruit);
        });
        QCOMPARE(model.Count(), 0);
        QVERIFY(!model.Source());

        // Outside a fill a deleted node takes its row along.
        TTreeNode* work = root("Work");
        w->ListCategory(work);
        cat.Nodes().Delete(child(work, "Sub"));
        QCOMPARE(column(0), (QStringList{"Notes", "Site", "Stuff"}));
        QVERIFY(rowsAreLive());
    }

    void sortingByColumnsReordersTheCategory()
    {
        TTreeNode* fruit = root("Fruit");
        select(fruit);
        QCOMPARE(column(0), (QStringList{"banana", "Apple", "cherry"}));
        QHeaderView* header = w->ListDetails->header();
        auto mark = [&](int c) { return w->ListModel->SortMark(c); };

        Q_EMIT header->sectionClicked(0);
        QCOMPARE(column(0), (QStringList{"Apple", "banana", "cherry"})); // case ignored
        QCOMPARE(mark(0), int(imgSortUp));
        QCOMPARE(childTexts(fruit), (QStringList{"Apple", "banana", "cherry"}));
        QVERIFY(!w->ListModel->headerData(0, Qt::Horizontal, Qt::DecorationRole).isNull());

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
        for (int c = 0; c < TListModel::ColumnCount; ++c)
            QCOMPARE(mark(c), -1);
        Q_EMIT header->sectionClicked(3);
        QCOMPARE(mark(3), int(imgSortDown));
        QCOMPARE(column(3), (QStringList{"below", "about notes", "a folder", ""}));
        QCOMPARE(w->SortDirection(3), -1);
        QCOMPARE(w->SortDirection(0), -1);

        // The saved catalogue keeps the sorted order.
        w->FormDestroy();
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
        w->ListModel->SetCollator(collator);
        TTreeNode* top = w->Catalogue.AddCategoryNode(nullptr, "Paths");
        const QStringList paths{"/data/Beta/x", "/DATA/alpha/y", "/data/alpha/Y", "/data/Alpha/a",
                                "/data/beta/X"};
        for (const QString& p : paths) {
            TTreeNode* n = w->Catalogue.Nodes().AddChild(top, "n" + QString::number(top->Count()));
            auto info = std::make_unique<TNodeInfo>();
            info->Kind = nkURL; // not probed on disk
            info->FullName = p;
            w->Catalogue.Nodes().SetData(n, std::move(info));
        }
        w->ListCategory(top);
        w->ListViewColumnClick(2);
        // Equal up to case: the earlier row stays first.
        QCOMPARE(column(2), (QStringList{"/data/Alpha/a", "/DATA/alpha/y", "/data/alpha/Y",
                                         "/data/Beta/x", "/data/beta/X"}));
        QCOMPARE(w->CompareListItems(1, 2, 3), 0);
        QVERIFY(w->CompareListItems(0, 3, 3) < 0);
        QVERIFY(w->CompareListItems(0, 3, -3) > 0);
        // The sort agrees with the comparison for every neighbour pair.
        w->ListViewColumnClick(2);
        for (int r = 0; r + 1 < w->ListModel->rowCount(); ++r)
            QVERIFY(w->CompareListItems(r, r + 1, -3) <= 0);
        QCOMPARE(column(2).first(), QString("/data/Beta/x"));
    }

    void viewStylesCycle()
    {
        QCOMPARE(w->ViewStyle(), 3);
        QCOMPARE(w->ListView->currentWidget(), static_cast<QWidget*>(w->ListDetails));
        w->btnViewClick();
        QCOMPARE(w->ViewStyle(), 0); // details -> large icons
        QVERIFY(w->LargeIcons2->isChecked());
        QVERIFY(!w->Detailes2->isChecked());
        QCOMPARE(w->ListView->currentWidget(), static_cast<QWidget*>(w->ListIcons));
        QCOMPARE(w->ListIcons->viewMode(), QListView::IconMode);
        QVERIFY(w->ListModel->LargeIcons());
        w->btnViewClick();
        QCOMPARE(w->ViewStyle(), 1);
        QCOMPARE(w->ListIcons->viewMode(), QListView::ListMode);
        QCOMPARE(w->ListIcons->flow(), QListView::LeftToRight);
        QVERIFY(!w->ListModel->LargeIcons());
        w->btnViewClick();
        QCOMPARE(w->ViewStyle(), 2);
        QCOMPARE(w->ListIcons->flow(), QListView::TopToBottom);
        w->btnViewClick();
        QCOMPARE(w->ViewStyle(), 3);
        QVERIFY(w->Detailes2->isChecked());

        w->SmallIcons1->trigger(); // the main menu's entry moves the button's mark too
        QVERIFY(w->SmallIcons2->isChecked());
        QCOMPARE(w->ViewStyle(), 1);
        w->Detailes2->actionGroup()->setExclusionPolicy(
            QActionGroup::ExclusionPolicy::ExclusiveOptional);
        for (QAction* a : w->ViewMenu->actions())
            a->setChecked(false);
        w->btnViewClick(); // nothing marked: nothing happens
        QCOMPARE(w->ViewStyle(), 1);
    }

    void rightClickChoosesNodeAndMenu()
    {
        w->resize(800, 500);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        TTreeNode* work = root("Work");
        const QRect r = w->DocsTree->visualRect(w->Catalogue.Nodes().IndexOf(work));
        w->DocsTreeMouseDown(Qt::RightButton, r.center());
        QCOMPARE(w->SelectedTreeNode(), work);
        w->DocsTreeContextPopup(w->mapToGlobal(QPoint(10, 10)));
        QVERIFY(w->ItemMenu->isVisible());
        w->ItemMenu->hide();

        QTest::mousePress(w->DocsTree->viewport(), Qt::RightButton, {},
                          QPoint(5, w->DocsTree->viewport()->height() - 3));
        QVERIFY(!w->SelectedTreeNode());
        w->DocsTreeContextPopup(w->mapToGlobal(QPoint(10, 10)));
        QVERIFY(w->PopupMenu->isVisible());
        w->PopupMenu->hide();

        select(work);
        w->ListViewContextPopup(w->mapToGlobal(QPoint(10, 10))); // no row selected
        QVERIFY(w->PopupMenu->isVisible());
        w->PopupMenu->hide();
        w->ListDetails->setCurrentIndex(w->ListModel->index(1, 0));
        QCOMPARE(w->ListSelectedNode(), child(work, "Site"));
        w->ListViewContextPopup(w->mapToGlobal(QPoint(10, 10)));
        QVERIFY(w->ItemMenu->isVisible());
        w->ItemMenu->hide();

        // The item menu's "Additional" sub-menu starts with one blank entry.
        QCOMPARE(w->AdMenu->actions().size(), 1);
        QCOMPARE(w->AdMenu->title(), QString("Additional"));
    }

    void expandAndCollapseAllKeepSelectionAndList()
    {
        TTreeNode* work = root("Work");
        TTreeNode* deep = child(child(work, "Sub"), "Deep");
        select(deep);
        TTreeNode* listed = w->ListedNode;
        w->acExpandAll->trigger();
        QVERIFY(w->DocsTree->isExpanded(w->Catalogue.Nodes().IndexOf(child(work, "Sub"))));
        QVERIFY(w->DocsTree->isExpanded(w->Catalogue.Nodes().IndexOf(root("Fruit"))));
        w->acCollapseAll->trigger();
        QVERIFY(!w->DocsTree->isExpanded(w->Catalogue.Nodes().IndexOf(work)));
        QCOMPARE(w->SelectedTreeNode(), deep);
        QCOMPARE(w->ListedNode, listed);
    }

    void commentStaysWhileMenuTipsComeAndGo()
    {
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        select(root("Work"));
        auto* label = w->findChild<QLabel*>("CommentLabel");
        // What a menu entry sends while the pointer passes over it.
        for (const QString& tip : {QString("Some tip"), QString()}) {
            QStatusTipEvent event(tip);
            QApplication::sendEvent(w.get(), &event);
        }
        QCOMPARE(label->text(), QString("Comment: mine"));
        QVERIFY(label->isVisible());
        select(root("Fruit")); // no comment: nothing left of the old one
        QCOMPARE(label->text(), QString());
    }

    void rightClickOnEmptyListSpaceShowsTheGeneralMenu()
    {
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        select(root("Work"));
        w->ListDetails->setCurrentIndex(w->ListModel->index(0, 0));
        QVERIFY(w->ListSelectedNode());
        QWidget* viewport = w->ListDetails->viewport();
        const QPoint empty(10, viewport->height() - 5);
        QVERIFY(!w->ListDetails->indexAt(empty).isValid());
        QContextMenuEvent event(QContextMenuEvent::Mouse, empty, viewport->mapToGlobal(empty));
        QApplication::sendEvent(viewport, &event);
        QTRY_VERIFY(w->PopupMenu->isVisible());
        QVERIFY(!w->ItemMenu->isVisible());
        QVERIFY(!w->ListSelectedNode());
        w->PopupMenu->close();
    }

    void listCellsStayReadable()
    {
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QHeaderView* header = w->ListDetails->header();
        header->resizeSection(TListModel::colName, 20);
        QCOMPARE(header->sectionSize(TListModel::colName), 50);

        // A location too long for its column: cut in the middle, whole in the tooltip.
        select(root("Work"));
        header->resizeSection(TListModel::colLocation, 60);
        const QModelIndex cell = w->ListModel->index(0, TListModel::colLocation);
        const QRect rect = w->ListDetails->visualRect(cell);
        QHelpEvent help(QEvent::ToolTip, rect.center(),
                        w->ListDetails->viewport()->mapToGlobal(rect.center()));
        QApplication::sendEvent(w->ListDetails->viewport(), &help);
        QTRY_COMPARE(QToolTip::text(), file("notes.txt"));
        QToolTip::hideText();
        QTRY_VERIFY(!QToolTip::isVisible());
        // A cell that fits has no tooltip.
        const QModelIndex type = w->ListModel->index(0, TListModel::colType);
        const QRect typeRect = w->ListDetails->visualRect(type);
        QHelpEvent fits(QEvent::ToolTip, typeRect.center(),
                        w->ListDetails->viewport()->mapToGlobal(typeRect.center()));
        QApplication::sendEvent(w->ListDetails->viewport(), &fits);
        QVERIFY(!QToolTip::isVisible());

        // Volume paths keep their case.
        auto* drives = w->findChild<QComboBox*>();
        QVERIFY(drives);
        for (int i = 0; i < drives->count(); ++i)
            QCOMPARE(drives->itemText(i), drives->itemData(i).toString());
    }

    void controlsHaveAccessibleNames()
    {
        for (QWidget* widget :
             {static_cast<QWidget*>(w->DocsTree), static_cast<QWidget*>(w->ListIcons),
              static_cast<QWidget*>(w->ListDetails), static_cast<QWidget*>(w->TargetWin),
              static_cast<QWidget*>(w->btnSearch), static_cast<QWidget*>(w->btnView),
              static_cast<QWidget*>(w->DirListBox), static_cast<QWidget*>(w->cbDrive)}) {
            QVERIFY2(!widget->accessibleName().isEmpty(), widget->metaObject()->className());
            QVERIFY2(!widget->accessibleDescription().isEmpty(), widget->metaObject()->className());
        }
    }

    void expandAllOnTheDeepestTreeAFileMayHold()
    {
        // The views lay a tree out recursively; the deepest tree the reader
        // accepts must expand, draw and collapse.
        w.reset(); // the window of init() saves its own catalogue as it goes
        QByteArray data;
        for (int level = 0; level <= MaxCatalogueDepth; ++level)
            data += TestUtil::CatalogueLine("n", level, {}, "1");
        QVERIFY(TestUtil::WriteFile(m_dir.filePath("quillmere.dat"), data));
        w = std::make_unique<TMainF>();
        w->Catalogue.SetDataFolder(m_dir.path());
        w->FormCreate(nullptr);
        QVERIFY2(w->StartupError.isEmpty(), qPrintable(w->StartupError));
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->acExpandAll->trigger();
        TTreeNode* deepest = w->Catalogue.TopCategory;
        while (deepest->HasChildren())
            deepest = deepest->GetFirstChild();
        QCOMPARE(deepest->Level(), MaxCatalogueDepth);
        QVERIFY(w->DocsTree->isExpanded(w->Catalogue.Nodes().IndexOf(deepest->Parent())));
        select(deepest);
        w->DocsTree->scrollTo(w->Catalogue.Nodes().IndexOf(deepest));
        w->DocsTree->viewport()->repaint();
        w->acCollapseAll->trigger();
        QCOMPARE(w->SelectedTreeNode(), deepest);
    }
};

QTEST_MAIN(TestCategoryView)
#include "tst_categoryview.moc"
