// The folders panel: shown and hidden by "Show folders", moved by its
// caption strip, its folder lines, and its place and state kept between runs.
#include "catalogue/Catalogue.h"
#include "forms/MainWindow.h"
#include "forms/main/FoldersPanel.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QScrollBar>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QtTest>

#include "testutil/TestUtil.h"

class TestFoldersPanel : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    std::unique_ptr<MainWindow> start()
    {
        auto w = std::make_unique<MainWindow>();
        w->catalogue().setDataFolder(m_dir.path());
        w->start(nullptr);
        w->show();
        if (!QTest::qWaitForWindowExposed(w.get()))
            return nullptr;
        return w;
    }
    static QWidget* panel(MainWindow& w) { return w.findChild<QWidget*>("ExplorerPanel"); }
    static QAction* explore(MainWindow& w) { return w.findChild<QAction*>("acExplore"); }
    static FoldersPanel* folders(MainWindow& w) { return w.findChild<FoldersPanel*>(); }
    static QStringList lines(MainWindow& w)
    {
        QStringList out;
        const FoldersPanel* f = folders(w);
        for (int i = 0; i < f->dirList()->count(); ++i)
            out << f->folderOfLine(i);
        return out;
    }

private Q_SLOTS:
    void init()
    {
        // Each test starts as a first run.
        QFile::remove(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                      "/Velmarch/Quillmere.conf");
    }

    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir().mkpath(m_dir.filePath("a/b/c")));
        QVERIFY(QDir().mkpath(m_dir.filePath("a/b/d")));
        QVERIFY(QDir().mkpath(m_dir.filePath("a/b/.hidden")));
    }

    void showHideAndMove()
    {
        auto w = start();
        QVERIFY(w);
        QVERIFY(explore(*w)->isEnabled());
        QVERIFY(panel(*w)->isHidden());
        explore(*w)->trigger();
        QVERIFY(explore(*w)->isChecked());
        QVERIFY(panel(*w)->isVisible());
        // The caption strip moves the panel with the mouse.
        auto* caption = panel(*w)->findChild<QLabel*>("FoldersCaption");
        QCOMPARE(caption->text(), QString("Folders"));
        QTest::mousePress(caption, Qt::LeftButton, {}, QPoint(10, 5));
        QMouseEvent move(QEvent::MouseMove, QPointF(40, 25), caption->mapToGlobal(QPointF(40, 25)),
                         Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(caption, &move);
        QTest::mouseRelease(caption, Qt::LeftButton, {}, QPoint(40, 25));
        QCOMPARE(panel(*w)->pos(), QPoint(263, 228));
        // Chosen again (as from the folder list's own menu), it hides the panel.
        explore(*w)->trigger();
        QVERIFY(!explore(*w)->isChecked());
        QVERIFY(panel(*w)->isHidden());
    }

    void folderLines()
    {
        auto w = start();
        QVERIFY(w);
        explore(*w)->trigger();
        FoldersPanel* f = folders(*w);
        const QString b = QDir::cleanPath(m_dir.filePath("a/b"));
        f->setCurrentFolder(b);
        const QString root = QStorageInfo(b).rootPath();
        const QStringList got = lines(*w);
        QCOMPARE(got.first(), root);
        QVERIFY(got.contains(QDir::cleanPath(m_dir.filePath("a"))));
        // The current folder, then its subfolders (hidden ones left out).
        QCOMPARE(got.mid(got.size() - 3), QStringList({b, b + "/c", b + "/d"}));
        QCOMPARE(f->dirList()->currentRow(), got.size() - 3);
        // Deeper lines are indented further.
        const auto indent = [&](int row) {
            const QString t = f->dirList()->item(row)->text();
            return t.size() - QStringView(t).trimmed().size();
        };
        QVERIFY(indent(got.size() - 1) > indent(got.size() - 3));
        QCOMPARE(indent(0), 0);
        // A double-click opens a line.
        QListWidget* list = f->dirList();
        const QRect r = list->visualItemRect(list->item(got.size() - 1));
        // What the window system delivers for a double click.
        for (QEvent::Type type :
             {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonPress,
              QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
            const bool down = type != QEvent::MouseButtonRelease;
            QMouseEvent event(type, r.center(), list->viewport()->mapToGlobal(r.center()),
                              Qt::LeftButton, down ? Qt::LeftButton : Qt::NoButton, {});
            QApplication::sendEvent(list->viewport(), &event);
        }
        QCOMPARE(f->currentFolder(), b + "/d");
        // The volume box holds the mounted volumes and shows the current one.
        auto* drives = panel(*w)->findChild<QComboBox*>("cbDrive");
        QVERIFY(drives->count() > 0);
        QCOMPARE(drives->currentText(), root);
        // Joined at the root, one slash.
        QCOMPARE(FoldersPanel::joinPath("/", "x.txt"), QString("/x.txt"));
        QCOMPARE(FoldersPanel::joinPath("/a", "x.txt"), QString("/a/x.txt"));
    }

    // Every line the list shows is whole, at the top and scrolled to the end.
    void onlyWholeLines()
    {
        const QString many = m_dir.filePath("many");
        for (int i = 0; i < 40; ++i)
            QVERIFY(QDir().mkpath(QString("%1/folder %2").arg(many).arg(i, 2, 10, QChar('0'))));
        auto w = start();
        QVERIFY(w);
        explore(*w)->trigger();
        FoldersPanel* f = folders(*w);
        f->setCurrentFolder(many);
        QListWidget* list = f->dirList();
        const auto cutLines = [list] {
            QStringList cut;
            const QRect shown = list->viewport()->rect();
            for (int row = 0; row < list->count(); ++row) {
                const QRect line = list->visualItemRect(list->item(row));
                if (line.intersects(shown) && !shown.contains(line))
                    cut << list->item(row)->text().trimmed();
            }
            return cut;
        };
        // Laid out on the next turn of the event loop.
        QTRY_VERIFY(list->verticalScrollBar()->maximum() > 0);
        QCOMPARE(cutLines(), QStringList());
        list->scrollToBottom();
        QCOMPARE(cutLines(), QStringList());
        list->setCurrentRow(list->count() - 1);
        QCOMPARE(list->visualItemRect(list->currentItem()).bottom(),
                 list->viewport()->height() - 1);
    }

    void stateKeptBetweenRuns()
    {
        {
            auto w = start();
            QVERIFY(w);
            w->resize(900, 700);
            explore(*w)->trigger();
            folders(*w)->moveWithin(300, 150);
            w->finish();
        }
        auto w = start();
        QVERIFY(w);
        QVERIFY(explore(*w)->isChecked());
        QVERIFY(panel(*w)->isVisible());
        QCOMPARE(panel(*w)->pos(), QPoint(300, 150));
    }
};

QTEST_MAIN(TestFoldersPanel)
#include "tst_folderspanel.moc"
