// Drags inside the window with the real pointer (xdotool under an X server):
// entries and categories moved and copied onto tree rows, and real files
// moved and copied onto a line of the folders panel.
#include "catalogue/Catalogue.h"
#include "catalogue/ListModel.h"
#include "components/FileOperationDialogs.h"
#include "components/MessageDialogs.h"
#include "forms/MainWindow.h"
#include "forms/main/FoldersPanel.h"
#include "forms/main/Intake.h"
#include "forms/main/WindowDragDrop.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QProcess>
#include <QScopeGuard>
#include <QScrollBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include "testutil/FolderMenuAnswers.h"
#include "testutil/ScopedOverride.h"
#include "testutil/TestUtil.h"

using TestUtil::catalogueLine;

const QString NotIntoMaker = "Entries cannot be filed into the Velmarch category";

// A drag that failed ends the test function: the ones after it would only
// fail in its wake (a failed test waits for nothing more).
#define DRAG(call)                                                                                 \
    do {                                                                                           \
        call;                                                                                      \
        if (QTest::currentTestFailed())                                                            \
            return;                                                                                \
    } while (false)

// Calls a function with each event a widget receives, while it lives.
class EventWatch : public QObject
{
public:
    EventWatch(QWidget* widget, std::function<void(QEvent*)> seen) : m_seen(std::move(seen))
    {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        m_seen(event);
        return false;
    }

private:
    std::function<void(QEvent*)> m_seen;
};

class TestWindowDragDrop : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<MainWindow> m_w;
    QStringList m_asked;
    QMessageBox::StandardButton m_sameName = QMessageBox::Yes; // "Keep both"
    QString m_during;
    QStringList m_statusSeen;            // what the status line said during the drag
    bool m_rowShownWhileRefused = false; // a drop row outlined where a drop is refused
    bool m_approachSent = false;
    int m_drags = 0;

    QString path(const QString& name) const { return m_dir.filePath(name); }
    NodeTree& nodes() const { return m_w->catalogue().nodes(); }
    QTreeView* tree() const { return m_w->findChild<QTreeView*>("DocsTree"); }
    QTreeView* list() const { return m_w->findChild<QTreeView*>("ListDetails"); }
    WindowDragDrop* dragDrop() const { return m_w->findChild<WindowDragDrop*>(); }
    FoldersPanel* folders() const { return m_w->findChild<FoldersPanel*>(); }
    Intake* intake() const { return m_w->findChild<Intake*>(); }

    TreeNode* node(const QString& text) const
    {
        for (TreeNode* n = nodes().getFirstNode(); n; n = n->getNext())
            if (n->text() == text)
                return n;
        return nullptr;
    }
    QStringList childrenOf(TreeNode* parent) const
    {
        QStringList out;
        const int count = parent ? parent->count() : nodes().rootCount();
        for (int i = 0; i < count; ++i)
            out << (parent ? parent->item(i) : nodes().rootItem(i))->text();
        return out;
    }
    int countNamed(const QString& text) const
    {
        int n = 0;
        for (TreeNode* t = nodes().getFirstNode(); t; t = t->getNext())
            n += t->text() == text;
        return n;
    }

    // A point on a tree row, where its text is.
    QPoint treeRow(TreeNode* n) const
    {
        const QRect r = tree()->visualRect(nodes().indexOf(n));
        return QPoint(r.left() + 12, r.center().y());
    }

    // Presses on From, drags to To with the real pointer and lets go, with
    // Ctrl held at the drop when asked; returns once the drag is over.
    // One drag in two starts slowly (a move too short to drag comes on its
    // own first), the next in one sweep, as a hand's drags do.
    void drag(QWidget* fromViewport, QPoint from, QWidget* toViewport, QPoint to, bool ctrl)
    {
        const bool slowStart = m_drags++ % 2 == 0;
        const QPoint a = fromViewport->mapToGlobal(from), b = toViewport->mapToGlobal(to);
        const auto at = [](QPoint p) {
            return QStringList{"mousemove", QString::number(p.x()), QString::number(p.y())};
        };
        // Four steps, each sent once the window has taken the one before,
        // so that a busy machine cannot let the release overtake the drag:
        // the press (and the short move); the move that starts the drag; the
        // moves to the target once it started; the release once the target
        // has seen the drag over it.
        QStringList press = at(a) + QStringList{"mousedown", "1"};
        const QPoint nudge = from + QPoint(3, 0);
        if (slowStart)
            press += at(a + QPoint(3, 0));
        const QStringList start = at(a + QPoint(16, 2));
        QStringList approach;
        for (int step = 1; step <= 4; ++step)
            approach += at(a + (b - a) * step / 4);
        approach += at(b + QPoint(1, 0)) + at(b);
        QStringList release;
        if (ctrl)
            release += QStringList{"keydown", "ctrl"} + at(b + QPoint(1, 0)) + at(b);
        release += QStringList{"mouseup", "1"};
        // Seen from inside the drag: what the status line says meanwhile.
        m_during.clear();
        m_statusSeen.clear();
        m_rowShownWhileRefused = false;
        // A target that refuses the drag sees its entry and nothing more.
        bool overTarget = false, entered = false, released = false, taken = false;
        // The window has taken the press (and the short move).
        EventWatch watchSource(fromViewport, [&](QEvent* e) {
            const auto type = e->type();
            if ((type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick ||
                 type == QEvent::MouseMove) &&
                static_cast<QMouseEvent*>(e)->position().toPoint() == (slowStart ? nudge : from))
                taken = true;
        });
        EventWatch watchTarget(toViewport, [&](QEvent* e) {
            if (e->type() == QEvent::DragEnter)
                entered = true;
            if (e->type() == QEvent::DragMove &&
                static_cast<QDragMoveEvent*>(e)->position().toPoint() == to)
                overTarget = true;
        });
        QProcess first, starting, second, third;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (!dragDrop()->dragSource())
                return;
            m_during = m_w->findChild<QLabel*>("CommentLabel")->text();
            const QString status = m_w->statusBar()->currentMessage();
            if (!status.isEmpty() && !m_statusSeen.contains(status))
                m_statusSeen << status;
            if (status == NotIntoMaker && m_w->findChild<QFrame*>("DropRow")->isVisible())
                m_rowShownWhileRefused = true;
            if (second.processId() == 0 && second.state() == QProcess::NotRunning &&
                !m_approachSent) {
                m_approachSent = true;
                second.start("xdotool", approach);
            }
            const bool arrived =
                second.processId() == 0 && m_approachSent && second.state() == QProcess::NotRunning;
            if ((overTarget || (entered && arrived)) && !released) {
                released = true;
                third.start("xdotool", release);
            }
        });
        // A drag that failed leaves the pointer and the keys free for what follows.
        const auto letGo = qScopeGuard([] {
            if (QTest::currentTestFailed())
                TestUtil::run("xdotool", {"keyup", "ctrl", "mouseup", "1"});
        });
        m_approachSent = false;
        watch.start(0);
        first.start("xdotool", press);
        QVERIFY(first.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(first.state() == QProcess::NotRunning, 10000);
        QCOMPARE(first.exitCode(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(taken, 10000);
        starting.start("xdotool", start);
        if (!QTest::qWaitFor([this] { return m_approachSent; }, 10000))
            QFAIL("the drag did not start");
        QTRY_VERIFY_WITH_TIMEOUT(!dragDrop()->dragSource(), 10000);
        // Every step's xdotool ends by itself before the next drag.
        for (QProcess* step : {&starting, &second, &third})
            QTRY_VERIFY_WITH_TIMEOUT(step->state() == QProcess::NotRunning, 10000);
        QCOMPARE(m_during, QString("To copy keep the \"Ctrl\" key down"));
        if (ctrl)
            QVERIFY(TestUtil::run("xdotool", {"keyup", "ctrl"}));
    }
    void dragInTree(const QString& what, const QString& onto, bool ctrl)
    {
        drag(tree()->viewport(), treeRow(node(what)), tree()->viewport(), treeRow(node(onto)),
             ctrl);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X server");
        if (QStandardPaths::findExecutable("xdotool").isEmpty())
            QSKIP("needs xdotool");
        QVERIFY(m_dir.isValid());
        MessageDialogs::setHandler([this](QMessageBox::Icon, const QString& text) {
            m_asked << text;
            return text.startsWith("A folder named") ? m_sameName : QMessageBox::Yes;
        });
    }
    void cleanupTestCase() { MessageDialogs::setHandler(nullptr); }

    void init()
    {
        QDir(path("docs")).removeRecursively();
        QDir(path("moved")).removeRecursively();
        QVERIFY(QDir().mkpath(path("docs")));
        QVERIFY(QDir().mkpath(path("moved")));
        // Each test starts as a first run: the panel hidden, the window as designed.
        QFile::remove(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                      "/Velmarch/Quillmere.conf");
        QVERIFY(TestUtil::writeFile(path("docs/report.txt"), "figures"));
        QVERIFY(TestUtil::writeFile(
            path("quillmere.dat"),
            catalogueLine("Work", 0, {}, "1") +
                catalogueLine("Report", 1, path("docs/report.txt"), "2", "yearly", "old") +
                catalogueLine("Site", 1, "https://example.org/", "4") +
                catalogueLine("Sub", 1, {}, "1") + catalogueLine("Inner", 2, {}, "1") +
                catalogueLine("Leaf", 2, "https://example.com/", "4") +
                catalogueLine("Home", 0, {}, "1") +
                catalogueLine("Copy of report", 1, path("docs/report.txt"), "2")));
        m_w = std::make_unique<MainWindow>();
        m_w->catalogue().setDataFolder(m_dir.path());
        m_w->start(nullptr);
        FileOperations::installDialogs(m_w.get());
        m_w->resize(900, 600);
        m_w->move(0, 0);
        m_w->show();
        QVERIFY(QTest::qWaitForWindowActive(m_w.get()));
        tree()->expandAll();
        m_asked.clear();
    }
    void cleanup()
    {
        FileUtils::setFileOpUi(nullptr);
        m_w.reset();
    }

    void treeMoves()
    {
        TreeNode* first = nodes().getFirstNode();
        const QStringList startWork = childrenOf(node("Work")),
                          startHome = childrenOf(node("Home"));
        const int startRoots = nodes().rootCount();
        // Onto a category: its first child.
        DRAG(dragInTree("Site", "Home", false));
        QCOMPARE(childrenOf(node("Home")), QStringList({"Site", "Copy of report"}));
        // Onto an entry: just before it.
        DRAG(dragInTree("Report", "Copy of report", false));
        QCOMPARE(childrenOf(node("Home")), QStringList({"Site", "Report", "Copy of report"}));
        // Onto the first node: the last top-level node.
        DRAG(dragInTree("Sub", first->text(), false));
        QCOMPARE(nodes().rootItem(nodes().rootCount() - 1), node("Sub"));
        QCOMPARE(childrenOf(node("Sub")), QStringList({"Inner", "Leaf"}));
        // Never into its own subtree.
        DRAG(dragInTree("Sub", "Inner", false));
        QCOMPARE(nodes().rootItem(nodes().rootCount() - 1), node("Sub"));
        QCOMPARE(node("Inner")->parent(), node("Sub"));
        QCOMPARE(countNamed("Sub"), 1);
        // Nothing goes into the built-in category, which is never saved:
        // refused while over its rows, and the status line says why.
        const QStringList builtIn = childrenOf(first);
        QVERIFY(!builtIn.isEmpty());
        DRAG(dragInTree("Report", builtIn.first(), false));
        QVERIFY2(m_statusSeen.contains(NotIntoMaker), qPrintable(m_statusSeen.join('|')));
        QVERIFY(!m_rowShownWhileRefused);
        QCOMPARE(m_w->statusBar()->currentMessage(), QString());
        DRAG(dragInTree("Report", builtIn.first(), true));
        QVERIFY(m_statusSeen.contains(NotIntoMaker));
        QCOMPARE(childrenOf(first), builtIn);
        QCOMPARE(countNamed("Report"), 1);
        QCOMPARE(node("Report")->parent(), node("Home"));

        // Each move is a step: back to the start, and forward again.
        QAction* undo = m_w->findChild<QAction*>("acUndo");
        QCOMPARE(undo->text(), QString("Undo Move \"Sub\""));
        for (int i = 0; i < 3; ++i)
            undo->trigger();
        QVERIFY(!undo->isEnabled());
        QCOMPARE(childrenOf(node("Work")), startWork);
        QCOMPARE(childrenOf(node("Home")), startHome);
        QCOMPARE(nodes().rootCount(), startRoots);
        for (int i = 0; i < 3; ++i)
            m_w->findChild<QAction*>("acRedo")->trigger();
        QCOMPARE(childrenOf(node("Home")), QStringList({"Site", "Report", "Copy of report"}));
        QCOMPARE(nodes().rootItem(nodes().rootCount() - 1), node("Sub"));
    }

    // The built-in category stays the first node, where the program keeps
    // it: the model refuses to move it anywhere, and the view refuses such
    // a drag while it is over a row, saying why. A copy of it is an
    // ordinary category of the user's.
    void builtInCategoryStaysFirst()
    {
        TreeNode* maker = m_w->catalogue().makerCategory();
        QVERIFY(maker);
        QCOMPARE(nodes().getFirstNode(), maker);
        const QStringList roots = childrenOf(nullptr), work = childrenOf(node("Work")),
                          home = childrenOf(node("Home"));
        const std::unique_ptr<QMimeData> data(nodes().mimeData({nodes().indexOf(maker)}));
        const QModelIndex homeRow = nodes().indexOf(node("Home"));
        QVERIFY(!nodes().canDropMimeData(data.get(), Qt::MoveAction, -1, -1, homeRow));
        QVERIFY(!nodes().dropMimeData(data.get(), Qt::MoveAction, -1, -1, homeRow));
        QVERIFY(!nodes().dropMimeData(data.get(), Qt::MoveAction, -1, -1,
                                      nodes().indexOf(node("Site"))));
        QCOMPARE(childrenOf(nullptr), roots);
        QCOMPARE(childrenOf(node("Work")), work);
        QVERIFY(nodes().canDropMimeData(data.get(), Qt::CopyAction, -1, -1, homeRow));

        DRAG(dragInTree(maker->text(), "Home", false));
        QVERIFY2(m_statusSeen.contains("The Velmarch category stays at the top of the tree"),
                 qPrintable(m_statusSeen.join('|')));
        QCOMPARE(m_w->statusBar()->currentMessage(), QString());
        QCOMPARE(nodes().getFirstNode(), maker);
        QCOMPARE(childrenOf(nullptr), roots);
        QCOMPARE(childrenOf(node("Home")), home);
    }

    // The press that places the files of "Add file..." selects its row, and
    // a drag of that row may start before the folder question comes up (the
    // press and the first moves are taken together on a busy machine). The
    // question waits for the drag's end: inside the drag's own loop it would
    // get no input. The press and the moves are sent in one go, as Qt then
    // takes them, so that the drag starts first every time.
    void folderQuestionWaitsForTheDrag()
    {
        QVERIFY(QDir().mkpath(path("docs/Letters")));
        TestUtil::ScopedOverride pick(
            Intake::pickFilesHook(),
            [this](const QString&, const QString&) { return QStringList{path("docs/Letters")}; });
        m_w->findChild<QAction*>("acNewDoc")->trigger();
        QVERIFY(intake()->placementMode());
        TestUtil::FolderMenuAnswers answers({"AsSingleFolder1"});
        QSignalSpy done(intake(), &Intake::intakeDone);
        QWidget* port = tree()->viewport();
        const QPoint from = treeRow(node("Site")), to = treeRow(node("Home"));
        bool dragRan = false, askedDuringDrag = false;
        QTimer inDrag;
        inDrag.setSingleShot(true);
        connect(&inDrag, &QTimer::timeout, this, [&] {
            dragRan = true;
            if (QWidget* menu = QApplication::activePopupWidget()) {
                askedDuringDrag = true;
                menu->close(); // or the drag would never end
            }
            QTest::mouseMove(port, to + QPoint(3, 2));
            QTest::mouseMove(port, to);
            QTest::mouseRelease(port, Qt::LeftButton, {}, to);
        });
        QCursor::setPos(port->mapToGlobal(from));
        QTest::mousePress(port, Qt::LeftButton, {}, from);
        inDrag.start(0);
        const int distance = QApplication::startDragDistance() + 4;
        QTest::mouseMove(port, from + QPoint(distance, 0));
        QTest::mouseMove(port, from + QPoint(distance, distance));
        inDrag.stop();
        QVERIFY(dragRan);
        QVERIFY(!askedDuringDrag);
        QVERIFY(!intake()->placementMode());
        // The drag moved the row; the folder goes where the press placed it:
        // before that row, wherever it is now.
        QVERIFY(done.count() > 0 || done.wait(5000));
        QCOMPARE(answers.left(), 0);
        QCOMPARE(childrenOf(node("Home")), QStringList({"Letters", "Site", "Copy of report"}));
        QCOMPARE(node("Letters")->data()->fullName, path("docs/Letters"));
    }

    void treeCopies()
    {
        TreeNode* first = nodes().getFirstNode();
        // A copied category arrives empty, as the category's first child.
        DRAG(dragInTree("Sub", "Home", true));
        QCOMPARE(childrenOf(node("Home")).first(), QString("Sub"));
        TreeNode* copy = node("Home")->item(0);
        QCOMPARE(copy->count(), 0);
        QCOMPARE(childrenOf(node("Work")), QStringList({"Report", "Site", "Sub"}));
        // A document copied onto a document: just before it, record and icon alike.
        DRAG(dragInTree("Report", "Copy of report", true));
        QCOMPARE(childrenOf(node("Home")), QStringList({"Sub", "Report", "Copy of report"}));
        TreeNode* doc = node("Home")->item(1);
        QCOMPARE(doc->data()->fullName, path("docs/report.txt"));
        QCOMPARE(doc->data()->comments, QString("yearly"));
        QCOMPARE(doc->data()->sAdditional, QString("old"));
        QCOMPARE(doc->imageIndex(), node("Work")->item(0)->imageIndex());
        QCOMPARE(tree()->currentIndex(), nodes().indexOf(doc));
        // Onto the first node: the last top-level node; into its own subtree is allowed.
        DRAG(dragInTree("Site", first->text(), true));
        QCOMPARE(nodes().rootItem(nodes().rootCount() - 1)->text(), QString("Site"));
        DRAG(dragInTree("Sub", "Inner", true));
        QCOMPARE(childrenOf(node("Inner")), QStringList({"Sub"}));
    }

    void fromTheList()
    {
        tree()->setCurrentIndex(nodes().indexOf(node("Work")));
        auto* model = qobject_cast<ListModel*>(list()->model());
        const QRect r = list()->visualRect(model->index(model->rowOf(node("Report")), 0));
        DRAG(drag(list()->viewport(), QPoint(r.left() + 12, r.center().y()), tree()->viewport(),
                  treeRow(node("Home")), false));
        QCOMPARE(childrenOf(node("Home")).first(), QString("Report"));
        // The list shows the category it went to, and the tree the entry.
        QCOMPARE(model->rowOf(node("Report")), 0);
        QVERIFY(model->rowOf(node("Copy of report")) >= 0);
        QCOMPARE(tree()->currentIndex(), nodes().indexOf(node("Report")));
        QCOMPARE(m_w->windowTitle(), QString("Quillmere 3.3 - Home"));
    }

    // Presses on a tree row and starts its drag; once it runs, Then (sent
    // from inside the drag) ends it. Returns once the drag is over and the
    // button is up again.
    void dragThen(TreeNode* from, const std::function<QStringList()>& then)
    {
        const QPoint a = tree()->viewport()->mapToGlobal(treeRow(from));
        const auto at = [](QPoint p) {
            return QStringList{"mousemove", QString::number(p.x()), QString::number(p.y())};
        };
        QVERIFY(TestUtil::run("xdotool", at(a) + QStringList{"mousedown", "1"}));
        QTRY_COMPARE(tree()->currentIndex(), nodes().indexOf(from));
        QProcess start, rest;
        QTimer watch;
        bool started = false;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (!dragDrop()->dragSource() || rest.state() != QProcess::NotRunning)
                return;
            started = true;
            const QStringList args = then();
            if (!args.isEmpty())
                rest.start("xdotool", args);
        });
        watch.start(20);
        start.start("xdotool", at(a + QPoint(16, 2)));
        // The drag runs in the event loop that the wait turns.
        QTRY_VERIFY_WITH_TIMEOUT(started && !dragDrop()->dragSource(), 20000);
        watch.stop();
        QVERIFY(TestUtil::run("xdotool", {"mouseup", "1"}));
        for (QProcess* step : {&start, &rest})
            QTRY_VERIFY_WITH_TIMEOUT(step->state() == QProcess::NotRunning, 10000);
    }

    // Escape gives a drag up: nothing moves, no step is made, and nothing of
    // the drag stays on the window.
    void escapeGivesUp()
    {
        const QStringList work = childrenOf(node("Work")), home = childrenOf(node("Home"));
        const QPoint over = tree()->viewport()->mapToGlobal(treeRow(node("Home")));
        bool sent = false;
        dragThen(node("Report"), [&] {
            if (std::exchange(sent, true))
                return QStringList();
            return QStringList{"mousemove",
                               QString::number(over.x()),
                               QString::number(over.y()),
                               "sleep",
                               "0.3",
                               "key",
                               "Escape"};
        });
        QVERIFY(sent);
        QCOMPARE(childrenOf(node("Work")), work);
        QCOMPARE(childrenOf(node("Home")), home);
        QVERIFY(!m_w->findChild<QAction*>("acUndo")->isEnabled());
        QVERIFY(!m_w->findChild<QFrame*>("DropRow")->isVisible());
        QCOMPARE(m_w->findChild<QLabel*>("CommentLabel")->text(), QString("Comment: yearly"));
    }

    // A drag resting at the tree's lower edge scrolls it (the view's own
    // auto-scroll).
    void scrollsNearTheEdge()
    {
        for (int i = 0; i < 80; ++i)
            m_w->catalogue().addCategoryNode(node("Home"), QString("Filler %1").arg(i));
        tree()->expandAll();
        tree()->scrollToTop();
        QScrollBar* bar = tree()->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        const QPoint edge =
            tree()->viewport()->mapToGlobal(QPoint(40, tree()->viewport()->height() - 4));
        int phase = 0;
        dragThen(node("Report"), [&] {
            if (phase == 0) {
                phase = 1;
                return QStringList{"mousemove", QString::number(edge.x()),
                                   QString::number(edge.y())};
            }
            if (phase == 1 && bar->value() > 0) {
                phase = 2;
                return QStringList{"key", "Escape"};
            }
            return QStringList();
        });
        QCOMPARE(phase, 2);
        QVERIFY(bar->value() > 0);
        QCOMPARE(node("Report")->parent(), node("Work"));
    }

    void ontoTheFoldersPanel_data()
    {
        QTest::addColumn<bool>("ctrl");
        QTest::newRow("move") << false;
        QTest::newRow("copy") << true;
    }
    void ontoTheFoldersPanel()
    {
        QFETCH(bool, ctrl);
        m_w->findChild<QAction*>("acExplore")->trigger();
        folders()->moveWithin(500, 200);
        folders()->setCurrentFolder(m_dir.path());
        QListWidget* lines = folders()->dirList();
        const auto lineOf = [&](const QString& folder) {
            for (int i = 0; i < lines->count(); ++i)
                if (folders()->folderOfLine(i) == folder)
                    return lines->visualItemRect(lines->item(i)).center();
            return QPoint(-1, -1);
        };
        const QPoint line = lineOf(path("moved"));
        QVERIFY(line.x() >= 0);
        // Onto the folder it is in: nothing to do, nothing asked.
        DRAG(drag(tree()->viewport(), treeRow(node("Report")), lines->viewport(),
                  lineOf(path("docs")), ctrl));
        folders()->setCurrentFolder(m_dir.path());
        QCOMPARE(m_asked, QStringList());
        QCOMPARE(countNamed("Report"), 1);
        QCOMPARE(TestUtil::readFile(path("docs/report.txt")), QByteArray("figures"));
        // Categories and hyperlinks are refused.
        DRAG(drag(tree()->viewport(), treeRow(node("Site")), lines->viewport(), line, false));
        QCOMPARE(node("Site")->parent(), node("Work"));
        QCOMPARE(node("Site")->data()->fullName, QString("https://example.org/"));

        DRAG(drag(tree()->viewport(), treeRow(node("Report")), lines->viewport(), line, ctrl));
        const QString to = path("moved/report.txt"), from = path("docs/report.txt");
        QCOMPARE(TestUtil::readFile(to), QByteArray("figures"));
        QCOMPARE(QFile::exists(from), ctrl);
        QCOMPARE(folders()->currentFolder(), path("moved"));
        // The dragged entry points at the new place.
        QCOMPARE(node("Work")->item(ctrl ? 1 : 0)->data()->fullName, to);
        if (ctrl) {
            // A new entry just before it stands for the file left behind.
            TreeNode* original = node("Work")->item(0);
            QCOMPARE(original->text(), QString("Report"));
            QCOMPARE(original->data()->fullName, from);
            QCOMPARE(node("Copy of report")->data()->fullName, from);
            QVERIFY(m_asked.isEmpty());
        } else {
            // The other link to the file was offered and re-pointed.
            QCOMPARE(m_asked.size(), 1);
            QCOMPARE(node("Copy of report")->data()->fullName, to);
        }

        // Undo: a moved file goes back after the question, the links with
        // it; a copy goes to the trash after the question; the entries are
        // as before. Redo makes the move or the copy again.
        m_asked.clear();
        m_w->findChild<QAction*>("acUndo")->trigger();
        QCOMPARE(m_asked.size(), 1);
        QCOMPARE(node("Work")->item(0)->text(), QString("Report"));
        QCOMPARE(node("Work")->item(1)->text(), QString("Site"));
        QCOMPARE(node("Work")->item(0)->data()->fullName, from);
        QCOMPARE(node("Copy of report")->data()->fullName, from);
        QCOMPARE(TestUtil::readFile(from), QByteArray("figures"));
        QVERIFY(!QFile::exists(to));
        m_w->findChild<QAction*>("acRedo")->trigger();
        QCOMPARE(TestUtil::readFile(to), QByteArray("figures"));
        QCOMPARE(QFile::exists(from), ctrl);
        QCOMPARE(node("Work")->item(ctrl ? 1 : 0)->data()->fullName, to);
    }

    // A folder dropped on a line whose folder holds one of its name: asked
    // as a file manager asks, never put inside the other; "Keep both" moves
    // it under the next free name, which the entry and the links inside it
    // record.
    void folderOntoALineHoldingItsName()
    {
        QVERIFY(QDir().mkpath(path("docs/dirs")) && QDir().mkpath(path("moved/dirs")));
        QVERIFY(TestUtil::writeFile(path("docs/dirs/a.txt"), "a"));
        Catalogue& cat = m_w->catalogue();
        TreeNode* dirs = cat.addLinkNode(path("docs/dirs"), node("Home"), {}, false);
        TreeNode* inside = cat.addLinkNode(path("docs/dirs/a.txt"), node("Work"), {}, false);
        tree()->expandAll();
        m_w->findChild<QAction*>("acExplore")->trigger();
        folders()->moveWithin(500, 200);
        folders()->setCurrentFolder(m_dir.path());
        QListWidget* lines = folders()->dirList();
        QPoint line(-1, -1);
        for (int i = 0; i < lines->count(); ++i)
            if (folders()->folderOfLine(i) == path("moved"))
                line = lines->visualItemRect(lines->item(i)).center();
        QVERIFY(line.x() >= 0);
        const QString question = "A folder named \"dirs\" already exists in \"moved\".";
        m_sameName = QMessageBox::Cancel;
        DRAG(drag(tree()->viewport(), treeRow(dirs), lines->viewport(), line, false));
        QCOMPARE(m_asked, QStringList{question});
        QVERIFY(QFile::exists(path("docs/dirs/a.txt")));
        QCOMPARE(dirs->data()->fullName, path("docs/dirs"));

        m_asked.clear();
        m_sameName = QMessageBox::Yes;
        folders()->setCurrentFolder(m_dir.path());
        DRAG(drag(tree()->viewport(), treeRow(dirs), lines->viewport(), line, false));
        QCOMPARE(m_asked.first(), question);
        QVERIFY(QDir(path("moved/dirs")).isEmpty());
        QVERIFY(QFile::exists(path("moved/dirs (2)/a.txt")));
        QCOMPARE(dirs->data()->fullName, path("moved/dirs (2)"));
        QCOMPARE(inside->data()->fullName, path("moved/dirs (2)/a.txt"));

        // Undo takes the folder from its new name back to where it was (the
        // folder of its name that was there stays); redo moves it again.
        m_asked.clear();
        m_w->findChild<QAction*>("acUndo")->trigger();
        QCOMPARE(m_asked, QStringList{QString("Move \"dirs\" back to \"%1\"?").arg(path("docs"))});
        QCOMPARE(TestUtil::readFile(path("docs/dirs/a.txt")), QByteArray("a"));
        QVERIFY(!QFile::exists(path("moved/dirs (2)")));
        QVERIFY(QDir(path("moved/dirs")).exists() && QDir(path("moved/dirs")).isEmpty());
        QCOMPARE(dirs->data()->fullName, path("docs/dirs"));
        QCOMPARE(inside->data()->fullName, path("docs/dirs/a.txt"));
        m_w->findChild<QAction*>("acRedo")->trigger();
        QVERIFY(QFile::exists(path("moved/dirs (2)/a.txt")));
        QVERIFY(!QFile::exists(path("docs/dirs")));
        QCOMPARE(dirs->data()->fullName, path("moved/dirs (2)"));
        QCOMPARE(inside->data()->fullName, path("moved/dirs (2)/a.txt"));
        m_sameName = QMessageBox::Yes;
    }
};

QTEST_MAIN(TestWindowDragDrop)
#include "tst_windowdragdrop_x11.moc"
