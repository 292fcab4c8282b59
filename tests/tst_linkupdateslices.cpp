// A link update that outlasts its command (one piece of work per turn of the
// event loop here): Delete from hard disk of a folder linked by many entries
// in the composed window. The update is one undo step that gives the
// catalogue back byte for byte; the window refuses input meanwhile and says
// why, its question excepted; the autosave writes no half-updated tree; the end of the run while it
// goes on saves the whole of it.
#include "catalogue/AutoSave.h"
#include "catalogue/Catalogue.h"
#include "catalogue/LinkUpdates.h"
#include "components/MessageDialogs.h"
#include "forms/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QStatusBar>
#include <QTreeView>
#include <QtTest>

#include "testutil/TestUtil.h"

using TestUtil::child;

class TestLinkUpdateSlices : public QObject, TestUtil::CatalogueFixture
{
    Q_OBJECT
    static constexpr int Categories = 3;
    static constexpr int PerCategory = 200; // every other one inside the folder

    std::optional<TestUtil::MessageAnswers> m_messages;

    // Links to Folder's files (or files beside it) in the tree.
    int linksInto(const QString& folder) const
    {
        int links = 0;
        for (TreeNode* n = cat().nodes().getFirstNode(); n; n = n->getNext())
            links += isFileLink(n) && pathCovers(folder, n->data()->fullName);
        return links;
    }

    // Starts the command on the folder's entry; true once it outlasted it.
    bool startDelete()
    {
        TreeNode* category = root("C0");
        treeSelect(category);
        listSelect(child(category, "Big folder"));
        action("acDeleteFromDisk")->trigger();
        return cat().linksUpdating();
    }

    // Waits for the update's end, as the window does.
    static bool waitForEnd(QSignalSpy& running)
    {
        while (running.isEmpty() || running.last().at(0).toBool())
            if (!running.wait())
                return false;
        return true;
    }

private Q_SLOTS:
    void init()
    {
        makeFolder("slices");
        QByteArray lines;
        QStringList files;
        for (int c = 0; c < Categories; ++c) {
            lines += TestUtil::catalogueLine(QStringLiteral("C%1").arg(c), 0, {}, "1");
            if (c == 0)
                lines += TestUtil::catalogueLine("Big folder", 1, file("big"), "3");
            for (int i = 0; i < PerCategory; ++i) {
                const QString name =
                    QStringLiteral("%1/f%2-%3.txt").arg(i % 2 ? "big" : "kept").arg(c).arg(i);
                files << name;
                lines += TestUtil::catalogueLine(name, 1, file(name), "2");
            }
        }
        writeFiles(files, "x");
        writeCatalogue(lines);
        m_messages.emplace();
        openWindow(TestUtil::CatalogueFixture::Show::Active, true);
    }

    void cleanup()
    {
        reset();
        m_messages.reset();
    }

    void undoAndRedoGiveTheCatalogueBackByteForByte()
    {
        const TestUtil::ScopedOverride slices(LinkUpdate::sliceBudget(), qint64(0));
        const QByteArray before = saved();
        const int steps = cat().history().stack().count();
        QSignalSpy running(&cat(), &Catalogue::linkUpdateRunning);
        QVERIFY(startDelete());
        QVERIFY(waitForEnd(running));
        QCOMPARE(linksInto(file("big")), 0);
        QCOMPARE(linksInto(file("kept")), Categories * PerCategory / 2);
        QVERIFY(rowsAreLive());
        // The trash, the links and the entry itself: one step.
        QCOMPARE(cat().history().stack().count(), steps + 1);
        const QByteArray after = saved();
        QVERIFY(after != before);

        action("acUndo")->trigger();
        QVERIFY(QFileInfo(file("big")).isDir());
        QCOMPARE(saved(), before);
        action("acRedo")->trigger();
        QVERIFY(!QFileInfo::exists(file("big")));
        QCOMPARE(saved(), after);
        QVERIFY(rowsAreLive());
    }

    void inputIsRefusedAndNothingHalfDoneIsSaved()
    {
        const TestUtil::ScopedOverride slices(LinkUpdate::sliceBudget(), qint64(0));
        const QByteArray file0 = TestUtil::readFile(catalogueFile());
        QSignalSpy running(&cat(), &Catalogue::linkUpdateRunning);
        QVERIFY(startDelete());
        // A rename and a new category asked for by keys go nowhere.
        QTreeView* tree = docsTree();
        const int nodes = cat().nodes().count();
        QTest::keyClick(tree, Qt::Key_N, Qt::ControlModifier);
        QTest::keyClick(tree, Qt::Key_F2);
        QVERIFY(cat().linksUpdating());
        QVERIFY(m_w->statusBar()->currentMessage().contains("links are being updated"));
        // A save asked for now waits: the file keeps what it held.
        m_w->findChild<AutoSave*>()->flush();
        QCOMPARE(TestUtil::readFile(catalogueFile()), file0);
        QVERIFY(cat().nodes().count() <= nodes); // only the update took nodes away
        QVERIFY(waitForEnd(running));
        QCOMPARE(root("C0")->count(), PerCategory / 2); // no new category, the entry gone
        QVERIFY(m_w->statusBar()->currentMessage().isEmpty());
        // Input is taken again.
        QTest::keyClick(tree, Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(cat().nodes().rootCount(), Categories + 2); // the new one, the built-in one
    }

    // The question comes once the links are found, the window already
    // locked: its own dialog still takes the keys (Escape: No).
    void theQuestionIsAnsweredWhileTheWindowIsLocked()
    {
        const TestUtil::ScopedOverride slices(LinkUpdate::sliceBudget(), qint64(0));
        m_messages.reset();
        MessageDialogs::setHandler({});
        MessageDialogs::setNextAnswer(QMessageBox::Yes); // the trash's question
        bool locked = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                watch.stop();
                locked = cat().linksUpdating();
                QTest::keyClick(box, Qt::Key_Escape);
            }
        });
        watch.start(10);
        QSignalSpy running(&cat(), &Catalogue::linkUpdateRunning);
        QVERIFY(startDelete());
        QVERIFY(waitForEnd(running));
        QVERIFY(locked);
        QVERIFY(MessageDialogs::lastMessage().contains("Remove all links"));
        QCOMPARE(linksInto(file("big")), Categories * PerCategory / 2); // all but the entry
    }

    void endingTheRunDuringTheUpdateSavesAllOfIt()
    {
        const TestUtil::ScopedOverride slices(LinkUpdate::sliceBudget(), qint64(0));
        QVERIFY(startDelete());
        const QString big = file("big"), kept = file("kept");
        closeWindow(); // the end of the run's save follows the rest of the update
        openWindow(TestUtil::CatalogueFixture::Show::Hidden);
        QCOMPARE(linksInto(big), 0);
        QCOMPARE(linksInto(kept), Categories * PerCategory / 2);
        QVERIFY(!child(root("C0"), "Big folder"));
    }
};

QTEST_MAIN(TestLinkUpdateSlices)
#include "tst_linkupdateslices.moc"
