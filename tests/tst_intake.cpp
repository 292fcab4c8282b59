// Entries from outside: files dropped on the window and where they land,
// the folder question, hyperlinks dropped on the strip, the drop marker,
// "Add URL..." with its dialog, and "Add file..." with its placement click.
#include "catalogue/ListModel.h"
#include "catalogue/Settings.h"
#include "components/CellDelegate.h"
#include "components/DropFormats.h"
#include "components/MessageDialogs.h"
#include "forms/MainWindow.h"
#include "forms/PasteUrlDialog.h"
#include "forms/main/CategoryView.h"
#include "forms/main/Intake.h"
#include "utils/TextUtils.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

#include "testutil/TestUtil.h"

using TestUtil::child;
using TestUtil::childTexts;
using TestUtil::FolderMenuAnswers;

class TestIntake : public QObject, TestUtil::CatalogueFixture
{
    Q_OBJECT
    QStringList m_messages;

    Intake* intake() const { return m_w->findChild<Intake*>(); }
    QTreeView* tree() const { return m_w->findChild<QTreeView*>("DocsTree"); }
    QWidget* strip() const { return m_w->findChild<QWidget*>("TargetWin"); }
    QLabel* marker() const { return m_w->findChild<QLabel*>("TargetMarker"); }

    void start(const QByteArray& data)
    {
        writeCatalogue(data);
        openWindow();
        tree()->expandAll();
    }

    // The middle of a node's tree row, in the window's coordinates.
    QPoint rowPoint(TreeNode* node) const
    {
        const QRect r = tree()->visualRect(cat().nodes().indexOf(node));
        return tree()->viewport()->mapTo(m_w.get(), r.center());
    }
    QPoint belowLastRow() const
    {
        return tree()->viewport()->mapTo(m_w.get(), QPoint(30, tree()->viewport()->height() - 5));
    }

    static QMimeData* files(const QStringList& paths)
    {
        auto* data = new QMimeData;
        QList<QUrl> urls;
        for (const QString& p : paths)
            urls << QUrl::fromLocalFile(p);
        data->setUrls(urls);
        return data;
    }
    static QMimeData* link(const QString& url, const QString& title)
    {
        auto* data = new QMimeData;
        data->setData("_NETSCAPE_URL", (url + "\n" + title).toUtf8());
        return data;
    }
    QPoint onTree(TreeNode* levelWith) const
    {
        return tree()->viewport()->mapFrom(m_w.get(),
                                           levelWith ? rowPoint(levelWith) : belowLastRow());
    }
    QStatusBar* statusBar() const { return m_w->statusBar(); }

    // A drag from another program onto Receiver at At (its coordinates),
    // dropped when Drop; true when the receiver took it. Waits for the
    // filing that a drop starts.
    bool drag(QWidget* receiver, QMimeData* rawData, QPoint at, bool drop = true,
              Qt::DropActions allowed = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction)
    {
        std::unique_ptr<QMimeData> data(rawData);
        QDragEnterEvent enter(at, allowed, data.get(), Qt::LeftButton, {});
        QApplication::sendEvent(receiver, &enter);
        if (!enter.isAccepted())
            return false;
        QDragMoveEvent move(at, allowed, data.get(), Qt::LeftButton, {});
        QApplication::sendEvent(receiver, &move);
        if (!drop)
            return move.isAccepted();
        QSignalSpy done(intake(), &Intake::intakeDone);
        QDropEvent dropEvent(at, allowed, data.get(), Qt::LeftButton, {});
        QApplication::sendEvent(receiver, &dropEvent);
        return dropEvent.isAccepted() && dropEvent.dropAction() == Qt::LinkAction &&
               (done.count() > 0 || done.wait(5000));
    }
    bool dropFiles(const QStringList& paths, QPoint windowPoint)
    {
        return drag(m_w.get(), files(paths), windowPoint);
    }
    bool dropOnStrip(QMimeData* data, TreeNode* levelWith)
    {
        const QPoint p = levelWith ? strip()->mapFrom(m_w.get(), rowPoint(levelWith))
                                   : QPoint(10, strip()->height() - 5);
        return drag(strip(), data, QPoint(10, p.y()));
    }

private Q_SLOTS:
    void init()
    {
        makeFolder("intake");
        QDir().mkpath(file("folder/Sub/Deeper"));
        QDir().mkpath(file("empty"));
        for (const char* name : {"notes.txt", "Apple.txt", "a.txt", "B.txt", "c.txt",
                                 "folder/One.txt", "folder/Sub/Two.TXT", "folder/Sub/Deeper/three"})
            QVERIFY(TestUtil::writeFile(file(name), "x"));
        QFile::remove(SettingsStore::defaultFileName());
        m_messages.clear();
        MessageDialogs::setHandler([this](QMessageBox::Icon, const QString& text) {
            m_messages << text;
            return QMessageBox::Ok;
        });
        start(TestUtil::catalogueLine("Work", 0, {}, "1") +
              TestUtil::catalogueLine("Notes", 1, file("notes.txt"), "2") +
              TestUtil::catalogueLine("Sub", 1, {}, "1") +
              TestUtil::catalogueLine("Fruit", 0, {}, "1") +
              TestUtil::catalogueLine("Apple", 1, file("Apple.txt"), "2"));
    }

    void cleanup()
    {
        m_w.reset();
        MessageDialogs::setHandler(nullptr);
    }

    void filesLandWhereTheyAreDropped()
    {
        TreeNode* work = root("Work");
        TreeNode* fruit = root("Fruit");
        QCOMPARE(cat().topCategory(), work);
        // On a category: its last children, in the source's order; the list
        // shows them, filled once for the whole drop.
        QSignalSpy fills(&view()->listModel(), &QAbstractItemModel::modelReset);
        QVERIFY(dropFiles({file("c.txt"), file("a.txt"), file("B.txt")}, rowPoint(fruit)));
        QCOMPARE(fills.count(), 1);
        QCOMPARE(childTexts(fruit), (QStringList{"Apple", "c.txt", "a.txt", "B.txt"}));
        QCOMPARE(view()->listedNode(), fruit);
        QCOMPARE(view()->listModel().rowCount(), 4);
        QCOMPARE(child(fruit, "a.txt")->data()->kind, NodeKind::Doc);
        QCOMPARE(child(fruit, "a.txt")->data()->fullName, file("a.txt"));
        // The drop is one step however many it filed.
        QAction* undo = m_w->findChild<QAction*>("acUndo");
        QCOMPARE(undo->text(), QString("Undo Add 3 entries"));
        undo->trigger();
        QCOMPARE(childTexts(fruit), QStringList{"Apple"});
        QCOMPARE(view()->listModel().rowCount(), 1);
        m_w->findChild<QAction*>("acRedo")->trigger();
        QCOMPARE(childTexts(fruit), (QStringList{"Apple", "c.txt", "a.txt", "B.txt"}));
        QCOMPARE(view()->listModel().rowCount(), 4);
        // On an entry: just before it.
        QVERIFY(dropFiles({file("notes.txt")}, rowPoint(child(fruit, "Apple"))));
        QCOMPARE(childTexts(fruit).mid(0, 2), (QStringList{"notes.txt", "Apple"}));
        // Over the list, on empty tree space, on the built-in category and on
        // an entry in it: the main category.
        const QPoint overList = view()->listViews().last()->mapTo(m_w.get(), QPoint(50, 50));
        QVERIFY(dropFiles({file("a.txt")}, overList));
        QVERIFY(dropFiles({file("B.txt")}, belowLastRow()));
        QVERIFY(dropFiles({file("c.txt")}, rowPoint(cat().makerCategory())));
        QVERIFY(dropFiles({file("Apple.txt")}, rowPoint(cat().makerCategory()->item(0))));
        QCOMPARE(childTexts(work),
                 (QStringList{"Notes", "Sub", "a.txt", "B.txt", "c.txt", "Apple.txt"}));
        QCOMPARE(cat().makerCategory()->count(), 3);
        // A folder as a single entry is a folder entry.
        FolderMenuAnswers answers({"AsSingleFolder1"});
        QVERIFY(dropFiles({file("folder")}, rowPoint(child(work, "Sub"))));
        QCOMPARE(child(child(work, "Sub"), "folder")->data()->kind, NodeKind::Folder);
    }

    void markerFollowsTheRow()
    {
        QVERIFY(!marker()->isVisible());
        TreeNode* fruit = root("Fruit");
        QVERIFY(drag(m_w.get(), files({file("a.txt")}), rowPoint(fruit), false));
        QVERIFY(marker()->isVisible());
        QCOMPARE(marker()->size(), QSize(16, 16));
        QCOMPARE(marker()->y(), strip()->mapFrom(m_w.get(), rowPoint(fruit)).y() - 6);
        QCOMPARE(marker()->x(), 14);
        QDragLeaveEvent leave;
        QApplication::sendEvent(m_w.get(), &leave);
        QVERIFY(!marker()->isVisible());
        // Below the rows the marker waits at the strip's top; a drop hides it.
        QVERIFY(drag(m_w.get(), files({file("a.txt")}), belowLastRow(), false));
        QCOMPARE(marker()->y(), 0);
        QVERIFY(dropFiles({file("a.txt")}, belowLastRow()));
        QVERIFY(!marker()->isVisible());
        // A link dragged over the strip: level with the pointer, 8 above it.
        QVERIFY(drag(strip(), link("https://x.example/", "X"),
                     QPoint(10, strip()->mapFrom(m_w.get(), rowPoint(fruit)).y()), false));
        QCOMPARE(marker()->y(), strip()->mapFrom(m_w.get(), rowPoint(fruit)).y() - 8);
        QDragLeaveEvent leaveStrip;
        QApplication::sendEvent(strip(), &leaveStrip);
        QVERIFY(!marker()->isVisible());
        // A source that allows no link is refused and shows no marker.
        QVERIFY(!drag(m_w.get(), files({file("a.txt")}), rowPoint(fruit), false,
                      Qt::CopyAction | Qt::MoveAction));
        QVERIFY(!drag(strip(), link("https://x.example/", "X"), {10, 10}, false, Qt::CopyAction));
        QVERIFY(!marker()->isVisible());
        // The program's own drags belong to someone else: not taken here.
        auto* own = files({file("a.txt")});
        own->setData(DropFormats::PrivateNodesMime, "1");
        QVERIFY(!drag(m_w.get(), own, rowPoint(fruit), false));
        QVERIFY(!marker()->isVisible());
    }

    void badNamesAreRefusedAndTheRestFiled()
    {
        TreeNode* fruit = root("Fruit");
        auto* data = new QMimeData;
        data->setUrls({QUrl::fromLocalFile(file("a.txt")), QUrl("file:///tmp/line%0Abreak"),
                       QUrl("file:///tmp/cr%0Dname"), QUrl::fromLocalFile(file("B.txt"))});
        QVERIFY(drag(m_w.get(), data, rowPoint(fruit)));
        QCOMPARE(childTexts(fruit), (QStringList{"Apple", "a.txt", "B.txt"}));
        QCOMPARE(m_messages.size(), 1);
        QVERIFY2(m_messages.first().contains("line break"), qPrintable(m_messages.first()));
        QVERIFY(m_messages.first().contains("1 more"));
    }

    void foldersAskEachTime()
    {
        TreeNode* fruit = root("Fruit");
        // Cancel for the first, single for the second: only the second; the
        // menu opens at the drop point each time.
        {
            FolderMenuAnswers answers({"NoDragDrop1", "AsSingleFolder1"});
            QVERIFY(dropFiles({file("folder"), file("empty")}, rowPoint(fruit)));
            QCOMPARE(answers.left(), 0);
            QCOMPARE(childTexts(fruit), (QStringList{"Apple", "empty"}));
            // Each time the menu names the folder it asks about, above its choices.
            QCOMPARE(answers.firstLines, (QStringList{"Folder \"folder\":", "Folder \"empty\":"}));
            QCOMPARE(answers.entries,
                     (QStringList{"", "AsSingleFolder1", "AsSepDocs1", "-", "NoDragDrop1"}));
            const QPoint at = m_w->mapToGlobal(rowPoint(fruit));
            for (const QPoint& p : answers.shownAt)
                QVERIFY2(
                    (p - at).manhattanLength() < 40,
                    qPrintable(
                        QString("%1,%2 vs %3,%4").arg(p.x()).arg(p.y()).arg(at.x()).arg(at.y())));
        }
        // Content: every file of the subtree, flat, names as they are;
        // Escape skips a folder and the next name is still filed.
        {
            FolderMenuAnswers answers({"AsSepDocs1", "Escape", "AsSepDocs1"});
            QVERIFY(dropFiles({file("folder"), file("folder"), file("c.txt"), file("empty")},
                              rowPoint(fruit)));
            QCOMPARE(answers.left(), 0);
            QCOMPARE(childTexts(fruit),
                     (QStringList{"Apple", "empty", "One.txt", "Two.TXT", "three", "c.txt"}));
        }
    }

    void folderHoldingItselfEnds()
    {
        QVERIFY(QFile::link(file("folder"), file("folder/Sub/loop")));
        TreeNode* fruit = root("Fruit");
        FolderMenuAnswers answers({"AsSepDocs1"});
        QVERIFY(dropFiles({file("folder")}, rowPoint(fruit)));
        QCOMPARE(childTexts(fruit), (QStringList{"Apple", "One.txt", "Two.TXT", "three"}));
    }

    void dropWithoutMainCategoryMakesOne()
    {
        m_w.reset();
        start(QByteArray());
        QVERIFY(!cat().topCategory());
        QVERIFY(dropFiles({file("a.txt")}, belowLastRow()));
        TreeNode* main = root("Main");
        QVERIFY(main);
        QCOMPARE(main->data()->kind, NodeKind::Category);
        QCOMPARE(cat().topCategory(), main);
        QCOMPARE(childTexts(main), QStringList{"a.txt"});
        QVERIFY(dropOnStrip(link("https://x.example/", "X"), cat().makerCategory()));
        QCOMPARE(childTexts(main), (QStringList{"a.txt", "X"}));
        // The main category made for the drop goes with its undo.
        QAction* undo = m_w->findChild<QAction*>("acUndo");
        QCOMPARE(undo->text(), QString("Undo Add \"X\""));
        undo->trigger();
        QCOMPARE(undo->text(), QString("Undo Add \"a.txt\""));
        undo->trigger();
        QVERIFY(!root("Main"));
        m_w->findChild<QAction*>("acRedo")->trigger();
        QCOMPARE(childTexts(root("Main")), QStringList{"a.txt"});
    }

    // (Links on a row, below the rows, mail links and link files: tst_intake_x11.)
    void stripRefusals()
    {
        TreeNode* fruit = root("Fruit");
        // A file that is no shortcut gives no address.
        QVERIFY(dropOnStrip(files({file("a.txt")}), fruit));
        QCOMPARE(m_messages,
                 QStringList{"Onto this panel it is allowed to drag and drop hyperlinks only!"});
        // An address with a line break is refused with the catalogue's reason.
        QVERIFY(dropOnStrip(link("https://x.example/a\rb", "Bad"), fruit));
        QCOMPARE(m_messages.size(), 2);
        QVERIFY(m_messages.last().contains("line break"));
        QCOMPARE(childTexts(fruit), QStringList{"Apple"});
    }

    void linksOnTheTree()
    {
        TreeNode* work = root("Work");
        TreeNode* fruit = root("Fruit");
        // Over a row the marker shows the row, as on the strip.
        QVERIFY(drag(m_w.get(), link("https://example.org/a", "Page A"), rowPoint(fruit), false));
        QVERIFY(marker()->isVisible());
        QCOMPARE(marker()->y(), strip()->mapFrom(m_w.get(), rowPoint(fruit)).y() - 6);
        // (A fresh event each time: Qt delivers a leave event once.)
        const auto leave = [this] {
            QDragLeaveEvent e;
            QApplication::sendEvent(m_w.get(), &e);
        };
        leave();
        QVERIFY(!marker()->isVisible());
        // On a category: its last child; on an entry: before it; below the
        // rows: the main category.
        QVERIFY(drag(m_w.get(), link("https://example.org/a", "Page A"), rowPoint(fruit)));
        QCOMPARE(childTexts(fruit), (QStringList{"Apple", "Page A"}));
        QCOMPARE(child(fruit, "Page A")->data()->kind, NodeKind::Url);
        QCOMPARE(child(fruit, "Page A")->data()->fullName, QString("https://example.org/a"));
        QVERIFY(
            drag(m_w.get(), link("https://example.org/b", "B"), rowPoint(child(fruit, "Apple"))));
        QCOMPARE(childTexts(fruit), (QStringList{"B", "Apple", "Page A"}));
        QVERIFY(drag(m_w.get(), link("https://example.org/c", "C"), belowLastRow()));
        QCOMPARE(childTexts(work).last(), QString("C"));
        QVERIFY(m_messages.isEmpty());
        // Over the list: refused while dragging, and the status line says where.
        const QPoint overList = view()->listViews().last()->mapTo(m_w.get(), QPoint(50, 50));
        QVERIFY(!drag(m_w.get(), link("https://example.org/d", "D"), overList, false));
        QCOMPARE(statusBar()->currentMessage(), QString("Drop web links on the green strip"));
        QVERIFY(!marker()->isVisible());
        leave();
        QCOMPARE(statusBar()->currentMessage(), QString());
        // A mail link (no web address) is refused on the rows too.
        QVERIFY(
            !drag(m_w.get(), link("mailto:someone@example.org", "Mail"), rowPoint(fruit), false));
        QVERIFY(statusBar()->currentMessage().contains("Add URL..."));
        leave();
        QCOMPARE(fruit->count(), 3);
        QVERIFY(m_messages.isEmpty());
    }

    void builtInCategoryKeepsNothing()
    {
        TreeNode* maker = cat().makerCategory();
        TreeNode* work = root("Work");
        const QStringList builtIn = childTexts(maker);
        // Even an address on the maker's own site: the built-in category is
        // never saved, what the user files there would be lost.
        const QString own = "https://www.velmarch.example/mine";
        QVERIFY(dropOnStrip(link(own, "From the strip"), maker->item(0)));
        QVERIFY(drag(m_w.get(), link(own, "On its row"), rowPoint(maker->item(0))));
        QVERIFY(drag(m_w.get(), link(own, "On the category"), rowPoint(maker)));
        QTimer::singleShot(0, this, [own] {
            auto* d = qobject_cast<PasteUrlDialog*>(QApplication::activeModalWidget());
            QVERIFY(d);
            d->edURL->setText(own);
            d->edTitle->setText("Chosen");
            d->cbCategory->setCurrentIndex(0); // the built-in category
            QTest::mouseClick(d->btnOk, Qt::LeftButton);
        });
        action("acPasteURL")->trigger();
        QCOMPARE(childTexts(maker), builtIn);
        QCOMPARE(childTexts(work), (QStringList{"Notes", "Sub", "From the strip", "On its row",
                                                "On the category", "Chosen"}));
    }

    void overlongTextsAreRefused()
    {
        TreeNode* fruit = root("Fruit");
        const QString overlong = "https://x.example/" + QString(TextUtils::MaxFieldLength, 'a');
        QVERIFY(dropOnStrip(link(overlong, "Long address"), fruit));
        QVERIFY(drag(m_w.get(), link(overlong, "Long address"), rowPoint(fruit)));
        const QString longTitle(TextUtils::MaxFieldLength + 1, 't');
        QVERIFY(dropOnStrip(link("https://x.example/t", longTitle), fruit));
        QCOMPARE(m_messages.size(), 3);
        for (const QString& m : m_messages)
            QVERIFY2(m.contains("32767") && m.size() < 1000, qPrintable(m.left(200)));
        // At the limit it is taken.
        QVERIFY(dropOnStrip(link("https://x.example/edge", QString(TextUtils::MaxFieldLength, 'e')),
                            fruit));
        QCOMPARE(fruit->count(), 2);
        // A dropped name that long is no file: refused, the others filed.
        m_messages.clear();
        QVERIFY(dropFiles({file("a.txt"), "/tmp/" + QString(TextUtils::MaxFieldLength, 'n')},
                          rowPoint(fruit)));
        QCOMPARE(childTexts(fruit).last(), QString("a.txt"));
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages.first().contains("32767"));
    }

    void hugeTextsCostNoMoreThanTheirStart()
    {
        // A catalogue from before the limit: a cell measures only what it shows.
        TreeNode* fruit = root("Fruit");
        const QString huge(200000, u'h');
        const QString start = huge.left(CellDelegate::MaxShownChars);
        TreeNode* big = cat().addLinkNode("https://h.example/" + huge, fruit, huge, true);
        TreeNode* small = cat().addLinkNode("https://h.example/" + start, fruit, start, true);
        view()->listCategory(fruit);
        QCOMPARE(tree()->sizeHintForIndex(cat().nodes().indexOf(big)),
                 tree()->sizeHintForIndex(cat().nodes().indexOf(small)));
        const ListModel& model = view()->listModel();
        for (QAbstractItemView* list : view()->listViews())
            for (int column : {int(ListModel::colName), int(ListModel::colLocation)})
                QCOMPARE(list->sizeHintForIndex(model.index(model.rowOf(big), column)),
                         list->sizeHintForIndex(model.index(model.rowOf(small), column)));
    }

    void bidiControlsLeaveNames()
    {
        TreeNode* fruit = root("Fruit");
        const QChar rlo(0x202E), isolate(0x2067), pop(0x2069);
        // "Invoice <RLO>fdp.exe" would read "Invoice exe.pdf".
        QVERIFY(
            dropOnStrip(link("https://x.example/i", QString("Invoice %1fdp.exe").arg(rlo)), fruit));
        QCOMPARE(childTexts(fruit).last(), QString("Invoice fdp.exe"));
        const QString spoof = file(QString("report%1txt.exe").arg(rlo));
        QVERIFY(TestUtil::writeFile(spoof, "x"));
        QVERIFY(dropFiles({spoof}, rowPoint(fruit)));
        QCOMPARE(childTexts(fruit).last(), QString("reporttxt.exe"));
        QCOMPARE(child(fruit, "reporttxt.exe")->data()->fullName, spoof); // the file as it is
        QTimer::singleShot(0, this, [&] {
            auto* d = qobject_cast<PasteUrlDialog*>(QApplication::activeModalWidget());
            QVERIFY(d);
            d->edURL->setText("https://x.example/p");
            d->edTitle->setText(QString("Typed %1isolated%2").arg(isolate).arg(pop));
            d->cbCategory->setCurrentIndex(d->cbCategory->findText("Fruit"));
            QTest::mouseClick(d->btnOk, Qt::LeftButton);
        });
        action("acPasteURL")->trigger();
        QCOMPARE(childTexts(fruit).last(), QString("Typed isolated"));
    }

    void pasteHyperlinkDialog()
    {
        TreeNode* work = root("Work");
        // Two categories of one name: the chosen position decides.
        TreeNode* dup1 = cat().addCategoryNode(child(work, "Sub"), "Dup");
        TreeNode* dup2 = cat().addCategoryNode(nullptr, "Dup");
        QApplication::clipboard()->setText("example.org/pasted");
        QStringList entries, focusOrder;
        QString firstError;
        bool stayedOpen = false;
        QTimer::singleShot(0, this, [&] {
            auto* d = qobject_cast<PasteUrlDialog*>(QApplication::activeModalWidget());
            QVERIFY(d);
            QCOMPARE(d->windowTitle(), QString("Paste hyperlink"));
            QCOMPARE(d->size(), QSize(329, 283));
            QVERIFY(d->windowFlags() & Qt::WindowStaysOnTopHint);
            for (int i = 0; i < d->cbCategory->count(); ++i)
                entries << d->cbCategory->itemText(i);
            QCOMPARE(d->cbCategory->currentIndex(), -1);
            for (QWidget* w = d->edURL; focusOrder.size() < 6; w = w->nextInFocusChain())
                if (w->focusPolicy() & Qt::TabFocus)
                    focusOrder << w->objectName();
            // Paste at the caret, over the selection.
            d->edURL->setText("https://XX");
            d->edURL->setSelection(8, 2);
            QTest::mouseClick(d->btnPaste, Qt::LeftButton);
            QCOMPARE(d->edURL->text(), QString("https://example.org/pasted"));
            d->edURL->setText("not an address");
            QTest::mouseClick(d->btnOk, Qt::LeftButton);
            firstError = m_messages.value(0);
            stayedOpen = d->isVisible();
            d->edURL->setText("https://dup.example/");
            d->edTitle->setText("In the second Dup");
            d->cbCategory->setCurrentIndex(int(entries.lastIndexOf("Dup")));
            QTest::mouseClick(d->btnOk, Qt::LeftButton);
        });
        action("acPasteURL")->trigger();
        QCOMPARE(entries, (QStringList{cat().makerCategory()->text(), "Work", "    Sub",
                                       "        Dup", "Fruit", "Dup"}));
        QCOMPARE(focusOrder,
                 (QStringList{"edURL", "edTitle", "cbCategory", "btnPaste", "btnOk", "btnCancel"}));
        QCOMPARE(firstError, QString("Invalid URL!"));
        QVERIFY(stayedOpen);
        QCOMPARE(childTexts(dup2), QStringList{"In the second Dup"});
        QVERIFY(childTexts(dup1).isEmpty());

        // An e-mail address, no title, no category: the address as name, in
        // the list's second entry; Cancel files nothing.
        QTimer::singleShot(0, this, [] {
            auto* d = qobject_cast<PasteUrlDialog*>(QApplication::activeModalWidget());
            QVERIFY(d);
            d->edURL->setText("someone@example.org");
            QTest::keyClick(d->edURL, Qt::Key_Return);
        });
        action("acPasteURL")->trigger();
        QCOMPARE(childTexts(work).last(), QString("someone@example.org"));
        QCOMPARE(child(work, "someone@example.org")->data()->kind, NodeKind::Url);
        const int before = cat().nodes().count();
        QTimer::singleShot(0, this, [] {
            auto* d = qobject_cast<PasteUrlDialog*>(QApplication::activeModalWidget());
            QVERIFY(d);
            d->edURL->setText("https://cancelled.example/");
            QTest::mouseClick(d->btnCancel, Qt::LeftButton);
        });
        action("acPasteURL")->trigger();
        QCOMPARE(cat().nodes().count(), before);
    }

    void pasteRefusesLineBreaks()
    {
        TreeNode* fruit = root("Fruit");
        QApplication::clipboard()->setText("https://x.example/a\nb");
        bool stayedOpen = false;
        QString titleKept, categoryKept;
        QTimer::singleShot(0, this, [&] {
            auto* d = qobject_cast<PasteUrlDialog*>(QApplication::activeModalWidget());
            QVERIFY(d);
            d->edTitle->setText("Typed title");
            d->cbCategory->setCurrentIndex(d->cbCategory->findText("Fruit"));
            QTest::mouseClick(d->btnPaste, Qt::LeftButton);
            QTest::mouseClick(d->btnOk, Qt::LeftButton);
            stayedOpen = d->isVisible();
            titleKept = d->edTitle->text();
            categoryKept = d->cbCategory->currentText();
            d->edURL->setText("https://x.example/ab");
            QTest::mouseClick(d->btnOk, Qt::LeftButton);
        });
        action("acPasteURL")->trigger();
        QVERIFY(stayedOpen);
        QCOMPARE(titleKept, QString("Typed title"));
        QCOMPARE(categoryKept, QString("Fruit"));
        QCOMPARE(m_messages.size(), 1);
        QVERIFY2(m_messages.first().contains("line break"), qPrintable(m_messages.first()));
        QCOMPARE(childTexts(fruit), (QStringList{"Apple", "Typed title"}));
    }

    void addFilePlacement()
    {
        TreeNode* fruit = root("Fruit");
        TreeNode* work = root("Work");
        const QStringList three{file("a.txt"), file("B.txt"), file("c.txt")};
        TestUtil::ScopedOverride pick(Intake::pickFilesHook(),
                                      [&](const QString& title, const QString&) {
                                          return title == "Add file" ? three : QStringList();
                                      });
        QVERIFY(action("acNewDoc")->isEnabled());
        action("acNewDoc")->trigger();
        QVERIFY(intake()->placementMode());
        QCOMPARE(tree()->toolTip(), QString("Click where the file must be added"));
        QCOMPARE(m_w->statusBar()->currentMessage(), QString("Click where the file must be added"));
        QVERIFY(marker()->isVisible());
        // The marker follows the pointer over the tree.
        QWidget* port = tree()->viewport();
        const QPoint apple = port->mapFrom(m_w.get(), rowPoint(child(fruit, "Apple")));
        QTest::mouseMove(port, apple);
        QCOMPARE(marker()->y(), strip()->mapFrom(m_w.get(), port->mapTo(m_w.get(), apple)).y() - 6);
        // A press elsewhere does not end it.
        QTest::mouseClick(view()->listViews().last()->viewport(), Qt::LeftButton, {}, {20, 20});
        QVERIFY(intake()->placementMode());
        // A click on a document inside Fruit files them into Fruit, before it.
        QSignalSpy done(intake(), &Intake::intakeDone);
        QTest::mouseClick(port, Qt::LeftButton, {}, apple);
        QVERIFY(done.count() > 0 || done.wait(5000));
        QCOMPARE(childTexts(fruit), (QStringList{"a.txt", "B.txt", "c.txt", "Apple"}));
        QVERIFY(!intake()->placementMode());
        QCOMPARE(tree()->toolTip(), QString());
        QCOMPARE(m_w->statusBar()->currentMessage(), QString());
        QVERIFY(!marker()->isVisible());
        // Another click files nothing more.
        QTest::mouseClick(port, Qt::LeftButton, {}, apple);
        QCoreApplication::processEvents();
        QCOMPARE(fruit->count(), 4);

        // Empty space below the rows: the main category. A second "Add
        // file..." replaces the waiting files; any button completes.
        action("acNewDoc")->trigger();
        TestUtil::ScopedOverride one(Intake::pickFilesHook(), [&](const QString&, const QString&) {
            return QStringList{file("notes.txt")};
        });
        action("acNewDoc")->trigger();
        QTest::mouseClick(port, Qt::RightButton, {}, QPoint(30, port->height() - 5));
        QVERIFY(done.count() > 1 || done.wait(5000));
        QCOMPARE(childTexts(work), (QStringList{"Notes", "Sub", "notes.txt"}));
        // Cancelling the file dialog starts nothing.
        TestUtil::ScopedOverride none(Intake::pickFilesHook(),
                                      [](const QString&, const QString&) { return QStringList(); });
        action("acNewDoc")->trigger();
        QVERIFY(!intake()->placementMode());
        QVERIFY(!marker()->isVisible());
    }

    void addFileStartsWhereItLastTook()
    {
        QStringList startedIn;
        const auto pickFrom = [&](const QString& picked) {
            return [&startedIn, picked](const QString&, const QString& folder) {
                startedIn << folder;
                return picked.isEmpty() ? QStringList() : QStringList{picked};
            };
        };
        {
            TestUtil::ScopedOverride pick(Intake::pickFilesHook(),
                                          pickFrom(file("folder/One.txt")));
            action("acNewDoc")->trigger();
            action("acNewDoc")->trigger();
        }
        {
            // A cancel changes nothing.
            TestUtil::ScopedOverride cancel(Intake::pickFilesHook(), pickFrom(QString()));
            action("acNewDoc")->trigger();
        }
        QCOMPARE(startedIn, (QStringList{QDir::homePath(), file("folder"), file("folder")}));
        // The next run starts there too; once the folder is gone, at home.
        const QByteArray data = TestUtil::readFile(catalogueFile());
        m_w.reset();
        start(data);
        TestUtil::ScopedOverride cancel(Intake::pickFilesHook(), pickFrom(QString()));
        action("acNewDoc")->trigger();
        QVERIFY(QDir(file("folder")).removeRecursively());
        action("acNewDoc")->trigger();
        QCOMPARE(startedIn.mid(3), (QStringList{file("folder"), QDir::homePath()}));
    }

    void treeScrollsNearItsEdge()
    {
        TreeNode* fruit = root("Fruit");
        QStringList many;
        for (int i = 0; i < 60; ++i)
            many << file(QString("many%1").arg(i));
        intake()->fileBatch(many, fruit);
        tree()->expandAll();
        QScrollBar* bar = tree()->verticalScrollBar();
        QTRY_VERIFY(bar->isVisible()); // once the tree is laid out again
        QCOMPARE(bar->value(), 0);
        QWidget* port = tree()->viewport();
        const QPoint nearBottom = port->mapTo(m_w.get(), QPoint(30, port->height() - 3));
        QVERIFY(drag(m_w.get(), files({file("a.txt")}), nearBottom, false));
        QTRY_VERIFY(bar->value() > 0);
        QDragLeaveEvent leave;
        QApplication::sendEvent(m_w.get(), &leave);
        const int stopped = bar->value();
        QVERIFY(!marker()->isVisible());
        QCoreApplication::processEvents();
        QCOMPARE(bar->value(), stopped);
    }

    // Whatever an addition lists, the tree's current node is that category
    // (or an entry in it), and the caption names it.
    void treeFollowsWhatAnAdditionLists()
    {
        TreeNode* work = root("Work");
        TreeNode* fruit = root("Fruit");
        tree()->setCurrentIndex(cat().nodes().indexOf(work));
        QVERIFY(dropFiles({file("a.txt")}, rowPoint(fruit)));
        QCOMPARE(view()->listedNode(), fruit);
        QCOMPARE(view()->currentNode(), fruit);
        QCOMPARE(m_w->windowTitle(), QString("Quillmere 3.3 - Fruit"));

        // "Add URL..." into a category below another.
        TreeNode* projects = cat().addCategoryNode(child(work, "Sub"), "Projects");
        tree()->setCurrentIndex(cat().nodes().indexOf(work));
        QTimer::singleShot(0, this, [] {
            auto* d = qobject_cast<PasteUrlDialog*>(QApplication::activeModalWidget());
            QVERIFY(d);
            d->edURL->setText("https://projects.example/");
            d->cbCategory->setCurrentIndex(d->cbCategory->findText("        Projects"));
            QTest::mouseClick(d->btnOk, Qt::LeftButton);
        });
        action("acPasteURL")->trigger();
        QCOMPARE(childTexts(projects), QStringList{"https://projects.example/"});
        QCOMPARE(view()->listedNode(), projects);
        QCOMPARE(view()->currentNode(), projects);
        QCOMPARE(m_w->windowTitle(), QString("Quillmere 3.3 - Projects"));
        // A drop on an entry of the listed category leaves that entry current.
        TreeNode* apple = child(fruit, "Apple");
        tree()->setCurrentIndex(cat().nodes().indexOf(apple));
        QVERIFY(dropFiles({file("B.txt")}, rowPoint(apple)));
        QCOMPARE(view()->listedNode(), fruit);
        QCOMPARE(view()->currentNode(), apple);
    }
};

QTEST_MAIN(TestIntake)
#include "tst_intake.moc"
