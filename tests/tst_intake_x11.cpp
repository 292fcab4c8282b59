// Real drags between processes: a drag source of its own process offers
// files as a file manager does and links as a browser does; xdotool moves
// the pointer from it onto the tree, the list and the hyperlink strip.
#include "catalogue/Settings.h"
#include "components/MessageDialogs.h"
#include "forms/MainWindow.h"
#include "forms/main/CategoryView.h"
#include "forms/main/Intake.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

#include "testutil/TestUtil.h"

namespace
{

QStringList childTexts(const TreeNode* parent)
{
    QStringList out;
    for (int i = 0; parent && i < parent->count(); ++i)
        out << parent->item(i)->text();
    return out;
}

TreeNode* child(TreeNode* parent, const QString& text)
{
    for (int i = 0; parent && i < parent->count(); ++i)
        if (parent->item(i)->text() == text)
            return parent->item(i);
    return nullptr;
}

// Answers the folder menu each time it opens with the next answer: an
// action's object name, or "Escape".
class FolderMenuAnswers : public QObject
{
public:
    explicit FolderMenuAnswers(QStringList answers) : m_answers(std::move(answers))
    {
        qApp->installEventFilter(this);
    }
    ~FolderMenuAnswers() override { qApp->removeEventFilter(this); }
    int left() const { return int(m_answers.size()); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* menu = qobject_cast<QMenu*>(watched);
        if (event->type() == QEvent::Show && menu &&
            menu->objectName() == QLatin1String("DragFolderMenu") && !m_answers.isEmpty()) {
            const QString answer = m_answers.takeFirst();
            QTimer::singleShot(0, menu, [menu, answer] {
                if (answer == QLatin1String("Escape")) {
                    QTest::keyClick(menu, Qt::Key_Escape);
                    return;
                }
                for (QAction* a : menu->actions())
                    if (a->objectName() == answer)
                        QTest::mouseClick(menu, Qt::LeftButton, {},
                                          menu->actionGeometry(a).center());
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QStringList m_answers;
};

} // namespace

class TestIntakeX11 : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<MainWindow> m_w;
    QStringList m_messages;
    QString m_source;

    QString file(const QString& name) const { return m_dir.filePath("files/" + name); }
    Catalogue& cat() const { return m_w->catalogue(); }
    Intake* intake() const { return m_w->findChild<Intake*>(); }
    QTreeView* tree() const { return m_w->findChild<QTreeView*>("DocsTree"); }
    QWidget* strip() const { return m_w->findChild<QWidget*>("TargetWin"); }
    QLabel* marker() const { return m_w->findChild<QLabel*>("TargetMarker"); }

    TreeNode* root(const QString& text) const
    {
        for (int i = 0; i < cat().nodes().rootCount(); ++i)
            if (cat().nodes().rootItem(i)->text() == text)
                return cat().nodes().rootItem(i);
        return nullptr;
    }

    // A node's tree row on the screen; on the strip, level with the row.
    QPoint rowOnScreen(TreeNode* node) const
    {
        const QRect r = tree()->visualRect(cat().nodes().indexOf(node));
        return tree()->viewport()->mapToGlobal(r.center());
    }
    QPoint stripOnScreen(TreeNode* levelWith) const
    {
        const int y =
            levelWith ? strip()->mapFromGlobal(rowOnScreen(levelWith)).y() : strip()->height() - 10;
        return strip()->mapToGlobal(QPoint(16, y));
    }
    QPoint belowRows() const
    {
        return tree()->viewport()->mapToGlobal(QPoint(30, tree()->viewport()->height() - 10));
    }

    static QByteArray readLine(QProcess& p)
    {
        while (!p.canReadLine())
            if (!p.waitForReadyRead(10000))
                return {};
        return p.readLine().trimmed();
    }

    // Drags what the source offers (Args) onto Target on the screen and
    // drops it there; returns the drop action the source saw. With Hover,
    // checks before the drop that the marker stands at MarkerTop.
    // Without filing, waits for Status on the status line before the drop
    // when one is given (the window refused the drag and said why).
    int realDrag(const QStringList& args, const QPoint& target, int markerTop = -1,
                 bool expectFiling = true, const QString& status = {})
    {
        QProcess source;
        source.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        source.start(m_source, args);
        const QList<QByteArray> ready = readLine(source).split(' ');
        if (ready.value(0) != "ready") {
            qWarning("drag source did not come up");
            return -1;
        }
        const QPoint from(ready[1].toInt() + 60, ready[2].toInt() + 60);
        TestUtil::run("xdotool", {"mousemove", QString::number(from.x()), QString::number(from.y()),
                                  "mousedown", "1"});
        if (readLine(source) != "started") {
            qWarning("drag did not start");
            return -1;
        }
        const QPoint near = target + QPoint(3, 3);
        TestUtil::run("xdotool",
                      {"mousemove", QString::number(near.x()), QString::number(near.y()),
                       "mousemove", QString::number(target.x()), QString::number(target.y())});
        // The window answers the source's position messages; the marker
        // shows that it did (a pixel or three off the row's middle at most,
        // as the pointer's position travels through the source).
        bool placed = true;
        if (expectFiling) {
            placed = QTest::qWaitFor(
                [&] {
                    return marker()->isVisible() &&
                           (markerTop < 0 || std::abs(marker()->y() - markerTop) <= 4);
                },
                10000);
            if (!placed)
                qWarning("marker at %d (visible %d), expected %d", marker()->y(),
                         int(marker()->isVisible()), markerTop);
        } else if (!status.isEmpty()) {
            placed = QTest::qWaitFor([&] { return m_w->statusBar()->currentMessage() == status; },
                                     10000);
            if (!placed)
                qWarning("the status line says \"%s\"",
                         qPrintable(m_w->statusBar()->currentMessage()));
        }
        QCoreApplication::processEvents();
        QSignalSpy done(intake(), &Intake::intakeDone);
        TestUtil::run("xdotool", {"mouseup", "1"});
        if (expectFiling && !done.wait(10000))
            qWarning("nothing was filed");
        const QByteArray result = readLine(source);
        source.closeWriteChannel();
        source.waitForFinished(10000);
        if (!placed)
            return -2;
        return result.startsWith("done ") ? result.mid(5).toInt() : -1;
    }
    int markerTopFor(const QPoint& onScreen, int lift) const
    {
        return strip()->mapFromGlobal(onScreen).y() - lift;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X server");
        if (QStandardPaths::findExecutable("xdotool").isEmpty())
            QSKIP("needs xdotool");
        m_source = QCoreApplication::applicationDirPath() + "/quillmere_dragsource";
        QVERIFY2(QFileInfo(m_source).isExecutable(), qPrintable(m_source));
    }

    void init()
    {
        QVERIFY(m_dir.isValid());
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(file("folder/Sub"));
        QDir().mkpath(file("other"));
        QDir().mkpath(file("skipped"));
        for (const char* name : {"Apple.txt", "a.txt", "B.txt", "c.txt", "other/x.txt",
                                 "folder/One.txt", "folder/Sub/Two.TXT"})
            QVERIFY(TestUtil::writeFile(file(name), "x"));
        QFile::remove(SettingsStore::defaultFileName());
        m_messages.clear();
        MessageDialogs::setHandler([this](QMessageBox::Icon, const QString& text) {
            m_messages << text;
            return QMessageBox::Ok;
        });
        QVERIFY(
            TestUtil::writeFile(m_dir.filePath("quillmere.dat"),
                                TestUtil::catalogueLine("Work", 0, {}, "1") +
                                    TestUtil::catalogueLine("Sub", 1, {}, "1") +
                                    TestUtil::catalogueLine("Fruit", 0, {}, "1") +
                                    TestUtil::catalogueLine("Apple", 1, file("Apple.txt"), "2")));
        m_w = std::make_unique<MainWindow>();
        cat().setDataFolder(m_dir.path());
        m_w->start(nullptr);
        m_w->setGeometry(300, 60, 760, 480);
        m_w->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_w.get()));
        tree()->expandAll();
    }

    void cleanup()
    {
        m_w.reset();
        MessageDialogs::setHandler(nullptr);
    }

    void filesFromAFileManager()
    {
        TreeNode* work = root("Work");
        TreeNode* fruit = root("Fruit");
        // Three files on a category, linked (not copied or moved).
        QPoint at = rowOnScreen(fruit);
        QCOMPARE(realDrag({"files", file("c.txt"), file("a.txt"), file("B.txt")}, at,
                          markerTopFor(at, 6)),
                 int(Qt::LinkAction));
        QCOMPARE(childTexts(fruit), (QStringList{"Apple", "c.txt", "a.txt", "B.txt"}));
        QVERIFY(!marker()->isVisible());
        // One on a document: just before it.
        QCOMPARE(realDrag({"files", file("other/x.txt")}, rowOnScreen(child(fruit, "Apple"))),
                 int(Qt::LinkAction));
        QCOMPARE(childTexts(fruit), (QStringList{"x.txt", "Apple", "c.txt", "a.txt", "B.txt"}));
        // One over the list: the main category.
        auto* list = m_w->findChild<CategoryView*>()->listViews().last();
        QCOMPARE(realDrag({"files", file("a.txt")}, list->mapToGlobal(QPoint(80, 80))),
                 int(Qt::LinkAction));
        QCOMPARE(childTexts(work), (QStringList{"Sub", "a.txt"}));
    }

    void foldersFromAFileManager()
    {
        TreeNode* fruit = root("Fruit");
        FolderMenuAnswers answers({"AsSingleFolder1", "AsSepDocs1", "Escape"});
        QCOMPARE(realDrag({"files", file("other"), file("folder"), file("skipped"), file("c.txt")},
                          rowOnScreen(fruit)),
                 int(Qt::LinkAction));
        QCOMPARE(answers.left(), 0);
        QCOMPARE(childTexts(fruit), (QStringList{"Apple", "other", "One.txt", "Two.TXT", "c.txt"}));
        QCOMPARE(child(fruit, "other")->data()->kind, NodeKind::Folder);
    }

    void linksFromABrowser()
    {
        TreeNode* work = root("Work");
        TreeNode* fruit = root("Fruit");
        const QPoint at = stripOnScreen(fruit);
        QCOMPARE(
            realDrag({"link", "https://example.org/page", "The page"}, at, markerTopFor(at, 8)),
            int(Qt::LinkAction));
        QVERIFY(child(fruit, "The page"));
        QCOMPARE(child(fruit, "The page")->data()->fullName, QString("https://example.org/page"));
        QCOMPARE(realDrag({"link", "https://example.org/low", "Low"}, stripOnScreen(nullptr), 0),
                 int(Qt::LinkAction));
        QCOMPARE(childTexts(work).last(), QString("Low"));
        QVERIFY(m_messages.isEmpty());
        // A mail link has no '/': the strip's message, nothing filed.
        QCOMPARE(realDrag({"link", "mailto:someone@example.org", "Mail"}, stripOnScreen(fruit)),
                 int(Qt::LinkAction));
        QCOMPARE(m_messages,
                 QStringList{"Onto this panel it is allowed to drag and drop hyperlinks only!"});
        // A link file from the file manager gives its address.
        QVERIFY(TestUtil::writeFile(file("Docs.desktop"),
                                    "[Desktop Entry]\nType=Link\nURL=https://docs.example/\n"));
        QCOMPARE(realDrag({"files", file("Docs.desktop")}, stripOnScreen(fruit)),
                 int(Qt::LinkAction));
        QVERIFY(child(fruit, "Docs"));
        QCOMPARE(child(fruit, "Docs")->data()->fullName, QString("https://docs.example/"));
        QCOMPARE(m_messages.size(), 1);
        // On a tree row, as on the strip level with it.
        const QPoint row = rowOnScreen(child(fruit, "Apple"));
        QCOMPARE(
            realDrag({"link", "https://example.org/row", "On the row"}, row, markerTopFor(row, 6)),
            int(Qt::LinkAction));
        QCOMPARE(childTexts(fruit).first(), QString("On the row"));
        // Over the list: refused while there, with the way to do it.
        auto* list = m_w->findChild<CategoryView*>()->listViews().last();
        const int before = cat().nodes().count();
        QCOMPARE(realDrag({"link", "https://example.org/list", "List"},
                          list->mapToGlobal(QPoint(80, 80)), -1, false,
                          "Drop web links on the green strip"),
                 int(Qt::IgnoreAction));
        QCOMPARE(cat().nodes().count(), before);
        QTRY_COMPARE(m_w->statusBar()->currentMessage(), QString());
    }

    void ownDragsAreNotTaken()
    {
        const int before = cat().nodes().count();
        QCOMPARE(realDrag({"nodes"}, rowOnScreen(root("Fruit")), -1, false), int(Qt::IgnoreAction));
        QCOMPARE(cat().nodes().count(), before);
        QVERIFY(!marker()->isVisible());
    }
};

QTEST_MAIN(TestIntakeX11)
#include "tst_intake_x11.moc"
