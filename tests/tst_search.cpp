// Finding entries in the composed main window: the find dialog driven
// through its widgets, its commands, F3, the not-found question at the
// Search button, and the instant filter on the tool bar.
#include "catalogue/ListModel.h"
#include "catalogue/Settings.h"
#include "components/FileOperationDialogs.h"
#include "components/FlatButton.h"
#include "components/MessageDialogs.h"
#include "forms/FindDialog.h"
#include "forms/MainWindow.h"
#include "forms/main/CategoryView.h"
#include "forms/main/Search.h"
#include "utils/FileOperations.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

#include "testutil/TestUtil.h"

using TestUtil::child;

class TestSearch : public QObject, TestUtil::CatalogueFixture
{
    Q_OBJECT
    QStringList m_asked;                          // questions, as the hook saw them
    QList<QMessageBox::StandardButton> m_answers; // the next answers, Yes when none
    int m_startHeight = 0;                        // the window's height after the start

    FindDialog* dialog() const { return m_w->findChild<FindDialog*>("FindDlg"); }
    QLineEdit* findText() const { return dialog()->findChild<QLineEdit*>("FindText"); }
    QCheckBox* matchCase() const { return dialog()->findChild<QCheckBox*>("MatchCase"); }
    QLineEdit* filter() const { return m_w->findChild<QLineEdit*>("FilterEdit"); }
    int findPos() const { return m_w->findChild<Search*>()->search().findPos(); }

    TreeNode* current() const { return NodeTree::nodeOf(docsTree()->currentIndex()); }
    void select(TreeNode* node) { docsTree()->setCurrentIndex(cat().nodes().indexOf(node)); }
    bool expanded(TreeNode* node) const
    {
        return docsTree()->isExpanded(cat().nodes().indexOf(node));
    }

    void clickFindNext()
    {
        QTest::mouseClick(dialog()->findChild<QPushButton*>("FindNext"), Qt::LeftButton);
    }
    void clickMatchCase()
    {
        QTest::mouseClick(matchCase(), Qt::LeftButton, {}, QPoint(6, matchCase()->height() / 2));
    }
    void typeFindText(const QString& text)
    {
        findText()->selectAll();
        QTest::keyClicks(findText(), text);
    }
    QStringList names() const
    {
        QStringList out;
        for (TreeNode* n : model().rows())
            out << n->text();
        return out;
    }
    QString status() const { return m_w->statusBar()->currentMessage(); }
    void clickTreeRow(TreeNode* node)
    {
        const QRect row = docsTree()->visualRect(cat().nodes().indexOf(node));
        QTest::mouseClick(docsTree()->viewport(), Qt::LeftButton, {}, row.center());
    }
    QString question(const QString& subject, const QString& text) const
    {
        return subject + " \"" + text + "\", not found.\rContinue search from begin?";
    }

private Q_SLOTS:
    void init()
    {
        makeFolder("search");
        QDir().mkpath(path("files"));
        const QString annual = path("files/annual.pdf");
        const QString card = path("files/card.odt");
        QVERIFY(TestUtil::writeFile(annual, "x"));
        QVERIFY(TestUtil::writeFile(card, "x"));
        // In full order after the built-in category (0) and its three links:
        // 4 Work, 5 Annual Report, 6 Old, 7 report card, 8 Reports, 9 Résumé, 10 Notes.
        const QByteArray data =
            TestUtil::catalogueLine("Work", 0, {}, "1", "office things") +
            TestUtil::catalogueLine("Annual Report", 1, annual, "2", "", "Done") +
            TestUtil::catalogueLine("Old", 1, {}, "1") +
            TestUtil::catalogueLine("report card", 2, card, "2", "from school") +
            TestUtil::catalogueLine("Reports", 0, {}, "1") +
            TestUtil::catalogueLine("Résumé", 1, "https://cv.example/", "4", "Zürich office") +
            TestUtil::catalogueLine("Notes", 0, "https://example.org/notes", "4", "", "Open");
        QVERIFY(TestUtil::writeFile(catalogueFile(), data));
        QFile::remove(SettingsStore::defaultFileName());
        m_asked.clear();
        m_answers.clear();
        MessageDialogs::setHandler([this](QMessageBox::Icon, const QString& text) {
            m_asked << text;
            return m_answers.isEmpty() ? QMessageBox::Yes : m_answers.takeFirst();
        });
        openWindow(Show::Hidden);
        m_startHeight = m_w->height();
        m_w->resize(800, 500);
        m_w->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_w.get()));
        docsTree()->collapseAll();
    }

    void cleanup()
    {
        m_w.reset();
        MessageDialogs::setHandler({});
    }

    void commandsAndSearchButton()
    {
        for (const char* name :
             {"acSearchInNames", "acSearchInComments", "acSearchInAdd", "acSearchAgain"})
            QVERIFY2(action(name)->isEnabled(), name);
        auto* button = m_w->findChild<QToolButton*>("btnSearch");
        QVERIFY(button->isEnabled());
        QMenu* menu = button->menu();
        QCOMPARE(menu->actions().size(), 4);
        QCOMPARE(menu->defaultAction(), action("acSearchInNames"));
        QVERIFY(!dialog()->isVisible());
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(4, button->height() / 2));
        QVERIFY(dialog()->isVisible());
        QVERIFY(!dialog()->isModal());
        QCOMPARE(findText()->maxLength(), 255);
        QVERIFY(!matchCase()->isChecked());
        QVERIFY(!dialog()->findChild<QPushButton*>("FindNext")->isEnabled());
        // It opens first 300 pixels from the screen's left and half the
        // window's height from its top.
        const QPoint screen = m_w->screen()->geometry().topLeft();
        QCOMPARE(dialog()->pos(), screen + QPoint(300, m_startHeight / 2));
    }

    // Hits one after another in full order; a hit in a collapsed category
    // expands it and lists it, with no row selected; then the question, and
    // Yes starts again from the first node.
    void findNextWalksTheTreeAndWrapsAround()
    {
        TreeNode* work = root("Work");
        TreeNode* old = child(work, "Old");
        action("acSearchInNames")->trigger();
        typeFindText("REPORT");
        clickFindNext();
        QCOMPARE(current(), child(work, "Annual Report"));
        QCOMPARE(view()->listedNode(), work);
        QCOMPARE(names(), (QStringList{"Annual Report", "Old"}));
        QVERIFY(!view()->listSelectedNode());
        QCOMPARE(QApplication::focusWidget(), docsTree());
        QCOMPARE(findPos(), 6);

        QVERIFY(!expanded(old));
        clickFindNext();
        QCOMPARE(current(), child(old, "report card"));
        QVERIFY(expanded(old));
        QCOMPARE(view()->listedNode(), old);
        QCOMPARE(names(), QStringList{"report card"});

        clickFindNext(); // a top-level category is a hit like any other
        QCOMPARE(current(), root("Reports"));
        QCOMPARE(view()->listedNode(), root("Reports"));
        QVERIFY(m_asked.isEmpty());

        clickFindNext();
        QCOMPARE(m_asked, QStringList{question("Document containing in the name", "REPORT")});
        QVERIFY(dialog()->isVisible());
        QCOMPARE(current(), root("Reports")); // Yes does not search again at once
        QCOMPARE(findPos(), 0);
        clickFindNext();
        QCOMPARE(current(), child(work, "Annual Report"));
    }

    // The box decides the case; No closes the dialog, and F3 afterwards
    // starts from the top with the last text and the box as they were.
    void matchCaseAndAnswerNo()
    {
        TreeNode* annual = child(root("Work"), "Annual Report");
        action("acSearchInNames")->trigger();
        typeFindText("Report");
        clickMatchCase();
        QVERIFY(matchCase()->isChecked());
        clickFindNext();
        QCOMPARE(current(), annual);
        clickFindNext(); // not "report card"
        QCOMPARE(current(), root("Reports"));
        m_answers << QMessageBox::No;
        clickFindNext();
        QCOMPARE(m_asked.size(), 1);
        QVERIFY(!dialog()->isVisible());
        QCOMPARE(findPos(), 0);

        action("acSearchAgain")->trigger(); // F3 without the dialog
        QCOMPARE(current(), annual);
        QCOMPARE(m_asked.size(), 1);

        action("acSearchInNames")->trigger();
        QCOMPARE(findText()->text(), QString("Report"));
        QVERIFY(matchCase()->isChecked());
        typeFindText("REPORT");
        clickFindNext();
        QCOMPARE(m_asked.size(), 2); // answered Yes
        clickMatchCase();
        clickFindNext();
        QCOMPARE(current(), annual);
        clickFindNext();
        QCOMPARE(current(), child(child(root("Work"), "Old"), "report card"));
    }

    void continueSearchWithoutTextDoesNothing()
    {
        select(root("Notes"));
        QTest::keyClick(docsTree(), Qt::Key_F3);
        action("acSearchAgain")->trigger();
        QVERIFY(m_asked.isEmpty());
        QCOMPARE(current(), root("Notes"));
        QVERIFY(!dialog()->isVisible());
    }

    // A switch of field while the dialog is open keeps the position: the
    // comment before the last name hit is not found again.
    void switchingFieldContinuesFromTheLastHit()
    {
        action("acSearchInNames")->trigger();
        typeFindText("Annual");
        clickFindNext();
        QCOMPARE(current(), child(root("Work"), "Annual Report"));
        action("acSearchInComments")->trigger();
        QVERIFY(dialog()->isVisible());
        QCOMPARE(findText()->text(), QString("Annual"));
        typeFindText("office");
        clickFindNext(); // "office things" of Work (4) lies behind
        QCOMPARE(current(), child(root("Reports"), "Résumé"));
        clickFindNext();
        QCOMPARE(m_asked, QStringList{question("Document containing in the comment", "office")});

        m_answers << QMessageBox::No;
        action("acSearchInAdd")->trigger();
        typeFindText("o");
        clickFindNext(); // Done, Open; an empty value never matches
        QCOMPARE(current(), child(root("Work"), "Annual Report"));
        clickFindNext();
        QCOMPARE(current(), root("Notes"));
        clickFindNext();
        QCOMPARE(m_asked.last(), question("Document containing in the additional field", "o"));
        QVERIFY(!dialog()->isVisible());
    }

    // The position is an index: after removals it may lie past the end,
    // which counts as no hit.
    void positionPastTheEndAfterRemovals()
    {
        action("acSearchInNames")->trigger();
        typeFindText("Notes");
        clickFindNext();
        QCOMPARE(current(), root("Notes"));
        QCOMPARE(findPos(), 11);
        cat().nodes().deleteNode(root("Work"));
        QCOMPARE(cat().nodes().count(), 7);
        action("acSearchAgain")->trigger();
        QCOMPARE(m_asked.size(), 1);
        action("acSearchAgain")->trigger();
        QCOMPARE(current(), root("Notes"));
    }

    // Closing keeps text, box and place; the next opening starts at the top.
    void dialogKeepsTextBoxAndPlace()
    {
        action("acSearchInNames")->trigger();
        typeFindText("report");
        clickMatchCase();
        clickFindNext();
        QVERIFY(findPos() > 0);
        dialog()->move(dialog()->pos() + QPoint(40, 30));
        const QPoint place = dialog()->pos();
        QTest::mouseClick(dialog()->findChild<QPushButton*>("Cancel"), Qt::LeftButton);
        QVERIFY(!dialog()->isVisible());
        QCOMPARE(findPos(), 0);
        action("acSearchInComments")->trigger();
        QCOMPARE(dialog()->pos(), place);
        QCOMPARE(findText()->text(), QString("report"));
        QVERIFY(matchCase()->isChecked());
        QTest::keyClick(dialog(), Qt::Key_Escape);
        QVERIFY(!dialog()->isVisible());
    }

    // Once the links have followed a deleted file, F3 goes on in the
    // locations, and its not-found question names that field.
    void notFoundInLocationsAfterADeletion()
    {
        FileOperations::installDialogs(m_w.get());
        auto quiet = qScopeGuard([] { FileUtils::setFileOpUi(nullptr); });
        action("acSearchInNames")->trigger();
        typeFindText("nowhere");
        QTest::mouseClick(dialog()->findChild<QPushButton*>("Cancel"), Qt::LeftButton);
        docsTree()->setFocus();
        select(child(root("Work"), "Annual Report"));
        action("acDeleteFromDisk")->trigger();
        QVERIFY(!child(root("Work"), "Annual Report"));
        QCOMPARE(m_w->findChild<Search*>()->search().field(), SearchField::fullName);
        m_asked.clear();
        action("acSearchAgain")->trigger();
        QCOMPARE(m_asked, QStringList{question("Document containing in the location", "nowhere")});
    }

    // The real question, with its tail at the Search button, answered No.
    void questionSitsAtTheSearchButton()
    {
        MessageDialogs::setHandler({});
        // At the screen's top, where a window manager may not have put it.
        m_w->move(m_w->screen()->availableGeometry().topLeft());
        QTRY_COMPARE(m_w->frameGeometry().top(), m_w->screen()->availableGeometry().top());
        auto* button = m_w->findChild<QToolButton*>("btnSearch");
        action("acSearchInNames")->trigger();
        typeFindText("nowhere at all");
        QRect balloon;
        QString text;
        QTimer::singleShot(0, this, [&] {
            auto* box =
                qobject_cast<MessageDialogs::BalloonDialog*>(QApplication::activeModalWidget());
            QVERIFY(box);
            balloon = box->frameGeometry();
            text = box->message->text();
            QTest::mouseClick(box->button(QMessageBox::No), Qt::LeftButton);
        });
        clickFindNext();
        QCOMPARE(text, QString("Document containing in the name \"nowhere at all\", not "
                               "found.\nContinue search from begin?"));
        const QPoint corner = button->mapToGlobal(QPoint(0, 0));
        QCOMPARE(balloon.left(), corner.x() + MessageDialogs::DefaultHorzOffset - 40);
        QVERIFY(balloon.top() > corner.y()); // below the button: no room above it
        QVERIFY(!dialog()->isVisible());
    }

    // Every word, in any of the four fields, ignoring case and accents; the
    // Location column's tooltip names the category; Escape goes back.
    void filterWordsAndBack()
    {
        TreeNode* work = root("Work");
        select(work);
        QAction* focus = action("acFilter");
        QCOMPARE(focus->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_K));
        focus->trigger();
        QCOMPARE(QApplication::focusWidget(), filter());
        QCOMPARE(filter()->placeholderText(), QString("Filter"));

        QTest::keyClick(filter(), Qt::Key_Down); // nothing found to go down to
        QCOMPARE(QApplication::focusWidget(), filter());
        QTest::keyClicks(filter(), "REPORT");
        QCOMPARE(names(), (QStringList{"Annual Report", "report card", "Reports"}));
        QVERIFY(view()->listingNodes());
        QCOMPARE(view()->listSelectedNode(), child(work, "Annual Report"));
        QTest::keyClick(filter(), Qt::Key_Down); // the found rows take the keys
        QCOMPARE(QApplication::focusWidget(), details());
        filter()->setFocus();
        QTest::keyClicks(filter(), " card");
        QCOMPARE(names(), QStringList{"report card"});
        QCOMPARE(model().index(0, ListModel::colLocation).data(Qt::ToolTipRole).toString(),
                 path("files/card.odt") + "\nIn: Work / Old");
        filter()->clear();
        QTest::keyClicks(filter(), "resume zurich"); // name and comment, accents away
        QCOMPARE(names(), QStringList{"Résumé"});
        filter()->clear();
        QTest::keyClicks(filter(), "annual done"); // the additional value
        QCOMPARE(names(), QStringList{"Annual Report"});
        filter()->clear();
        QTest::keyClicks(filter(), "cv.example"); // the location
        QCOMPARE(names(), QStringList{"Résumé"});
        QTest::keyClicks(filter(), " nothing");
        QCOMPARE(model().rowCount(), 0);

        QTest::keyClick(filter(), Qt::Key_Escape);
        QCOMPARE(filter()->text(), QString());
        QVERIFY(!view()->listingNodes());
        QCOMPARE(view()->listedNode(), work);
        QCOMPARE(names(), (QStringList{"Annual Report", "Old"}));
        QCOMPARE(model().index(0, ListModel::colLocation).data(Qt::ToolTipRole), QVariant());
    }

    // Sorting the found rows leaves the tree's order alone; the rows follow
    // the catalogue's changes; choosing a node in the tree ends the filter.
    void filterLeavesTheTreeAndFollowsIt()
    {
        TreeNode* work = root("Work");
        select(root("Reports"));
        QTest::keyClicks(filter(), "o");
        const int found = model().rowCount();
        QVERIFY(found > 4);
        QHeaderView* header = details()->header();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(0) + 5, 5));
        QCOMPARE(names().first(), QString("Annual Report"));
        QCOMPARE(child(work, "Annual Report")->index(), 0);
        QCOMPARE(work->item(1)->text(), QString("Old"));
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(0) + 5, 5));
        QCOMPARE(names().last(), QString("Annual Report"));
        QCOMPARE(child(work, "Annual Report")->index(), 0);

        // A node deleted takes its row, and the rows of the entries below
        // it wherever sorting put them.
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(0) + 5, 5));
        QCOMPARE(names().last(), QString("Work"));
        cat().nodes().deleteNode(work);
        QCOMPARE(names(), (QStringList{"Notes", "Reports", "Résumé"}));
        // One added is listed when it matches.
        TreeNode* added =
            cat().addLinkNode("https://new.example/", root("Reports"), "Shopping", true);
        QVERIFY(view()->listingNodes());
        QVERIFY(names().contains("Shopping"));
        QCOMPARE(filter()->text(), QString("o"));

        select(added);
        QCOMPARE(filter()->text(), QString());
        QVERIFY(!view()->listingNodes());
        QCOMPARE(view()->listedNode(), root("Reports"));
    }

    // Every way the filter ends leaves the status line and the caption as a
    // selection change does: a click on a category (the tree's current one
    // too), a found category opened with Enter, a find's hit, Escape.
    void filterEndsLikeASelectionChange()
    {
        TreeNode* work = root("Work");
        auto* comment = m_w->findChild<QLabel*>("CommentLabel");
        select(root("Reports"));
        QCOMPARE(m_w->windowTitle(), QString("Quillmere 3.3 - Reports"));
        const auto endedAt = [&](TreeNode* listed, const QString& shownComment) {
            QCOMPARE(filter()->text(), QString());
            QVERIFY(!view()->listingNodes());
            QCOMPARE(status(), QString());
            QCOMPARE(comment->text(), shownComment);
            QVERIFY(comment->isVisible());
            QCOMPARE(view()->listedNode(), listed);
            QCOMPARE(m_w->windowTitle(), "Quillmere 3.3 - " + listed->text());
        };

        QTest::keyClicks(filter(), "report");
        QCOMPARE(status(), QString("3 entries found"));
        QVERIFY(!comment->isVisible());
        QCOMPARE(m_w->windowTitle(), QString("Quillmere 3.3 - Found: \"report\""));
        clickTreeRow(work);
        endedAt(work, "Comment: office things");

        QTest::keyClicks(filter(), "done");
        QCOMPARE(names(), QStringList{"Annual Report"});
        clickTreeRow(work); // already the current node
        endedAt(work, "Comment: office things");

        filter()->setFocus();
        QTest::keyClicks(filter(), "old");
        QTest::keyClick(filter(), Qt::Key_Return);
        endedAt(child(work, "Old"), QString());

        QTest::keyClicks(filter(), "notes");
        action("acSearchInNames")->trigger();
        typeFindText("sum");
        clickFindNext();
        QCOMPARE(current(), child(root("Reports"), "Résumé"));
        endedAt(root("Reports"), "Comment: Zürich office");

        QTest::keyClicks(filter(), "zurich");
        QCOMPARE(m_w->windowTitle(), QString("Quillmere 3.3 - Found: \"zurich\""));
        QTest::keyClick(filter(), Qt::Key_Escape);
        endedAt(root("Reports"), "Comment: Zürich office");
    }

    // Removing a found row takes that row alone: the filter, its text, its
    // caption and the other rows stay, and the count follows.
    void removingAFoundRowKeepsTheFilter()
    {
        select(root("Notes"));
        QTest::keyClicks(filter(), "report");
        QCOMPARE(names(), (QStringList{"Annual Report", "report card", "Reports"}));
        QTest::mouseClick(details()->viewport(), Qt::LeftButton, {},
                          details()->visualRect(model().index(1, 0)).center());
        QCOMPARE(view()->listSelectedNode()->text(), QString("report card"));
        action("acRemoveItem")->trigger();
        QCOMPARE(m_asked, QStringList{"Remove \"report card\" ?"});
        QVERIFY(!child(child(root("Work"), "Old"), "report card"));
        QCOMPARE(filter()->text(), QString("report"));
        QVERIFY(view()->listingNodes());
        QCOMPARE(names(), (QStringList{"Annual Report", "Reports"}));
        QCOMPARE(status(), QString("2 entries found"));
        QCOMPARE(m_w->windowTitle(), QString("Quillmere 3.3 - Found: \"report\""));
        QTest::keyClicks(filter(), "s");
        QCOMPARE(names(), QStringList{"Reports"});
    }

    // Invisible characters (as pasted with right-to-left text or from a web
    // page) and other forms of a letter count for nothing in the filter, nor
    // in Find without "Match case"; accents count in Find.
    void invisibleCharactersAndOtherForms()
    {
        cat().addLinkNode("https://aero.example/", root("Reports"),
                          u"\u00C6r\u00F8sk\u00F8bing Stra\u00DFe"_qs, true);
        select(root("Notes"));
        filter()->insert(u"\u200Bre\u00ADport\u200F"_qs); // as pasted
        QCOMPARE(names(), (QStringList{"Annual Report", "report card", "Reports"}));
        filter()->clear();
        filter()->insert("AEROSKOBING strasse");
        QCOMPARE(names(), QStringList{u"\u00C6r\u00F8sk\u00F8bing Stra\u00DFe"_qs});
        filter()->clear();
        filter()->insert(u"\uFF52\uFF45\uFF53\uFF55\uFF4D\uFF45"_qs); // full-width letters
        QCOMPARE(names(), QStringList{"Résumé"});
        QTest::keyClick(filter(), Qt::Key_Escape);

        action("acSearchInNames")->trigger();
        findText()->clear();
        findText()->insert(u"\u200Faeroskobing"_qs);
        clickFindNext();
        QCOMPARE(current()->text(), u"\u00C6r\u00F8sk\u00F8bing Stra\u00DFe"_qs);
        findText()->clear();
        findText()->insert(u"re\u00ADport"_qs);
        clickFindNext(); // from the top again after the question
        QCOMPARE(m_asked.size(), 1);
        clickFindNext();
        QCOMPARE(current(), child(root("Work"), "Annual Report"));
        findText()->clear();
        findText()->insert("resume"); // the accents count here
        clickFindNext();
        QCOMPARE(m_asked.size(), 2);
        clickMatchCase();
        findText()->clear();
        findText()->insert(u"Re\u00ADport"_qs); // with the case, everything counts
        clickFindNext();
        QCOMPARE(m_asked.size(), 3);
    }

    // An entry listed alone comes back alone, not as an empty list.
    void backToAnEntryListedAlone()
    {
        view()->listCategory(root("Notes"));
        QCOMPARE(names(), QStringList{"Notes"});
        QTest::keyClicks(filter(), "annual");
        QCOMPARE(names(), QStringList{"Annual Report"});
        QTest::keyClick(filter(), Qt::Key_Escape);
        QCOMPARE(view()->listedNode(), root("Notes"));
        QCOMPARE(names(), QStringList{"Notes"});
    }

    // Enter in the filter opens the selected row as the list does: a
    // category is entered, which ends the filter.
    void enterOpensTheSelectedRow()
    {
        select(root("Notes"));
        filter()->setFocus();
        QTest::keyClicks(filter(), "old");
        QCOMPARE(names(), QStringList{"Old"});
        QTest::keyClick(filter(), Qt::Key_Return);
        QCOMPARE(current(), child(root("Work"), "Old"));
        QCOMPARE(view()->listedNode(), child(root("Work"), "Old"));
        QCOMPARE(names(), QStringList{"report card"});
        QCOMPARE(filter()->text(), QString());
    }
};

QTEST_MAIN(TestSearch)
#include "tst_search.moc"
