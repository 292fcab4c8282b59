// Opening entries from the tree and the list, "Find object", the not-found
// warning and the relink question for moved documents, and the desktop
// opener itself.
#include "catalogue/Catalogue.h"
#include "catalogue/ImageLists.h"
#include "catalogue/ListModel.h"
#include "components/FileOperationDialogs.h"
#include "components/MessageDialogs.h"
#include "components/TrayIcon.h"
#include "forms/MainWindow.h"
#include "forms/main/CategoryView.h"
#include "forms/main/Opening.h"
#include "utils/Desktop.h"
#include "utils/FileOperations.h"

#include <QAction>
#include <QFile>
#include <QListView>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "testutil/TestUtil.h"

namespace
{

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TreeNode* nodeNamed(MainWindow& w, const QString& name)
{
    for (TreeNode* n = w.catalogue().nodes().getFirstNode(); n; n = n->getNext())
        if (n->text() == name)
            return n;
    return nullptr;
}

// The window lets its views forget the nodes before it frees the tree.
using Window = std::unique_ptr<MainWindow>;

CategoryView* view(MainWindow& w)
{
    return w.findChild<CategoryView*>();
}
QTreeView* docsTree(MainWindow& w)
{
    return w.findChild<QTreeView*>("DocsTree");
}
QTreeView* listDetails(MainWindow& w)
{
    return w.findChild<QTreeView*>("ListDetails");
}
QAction* action(MainWindow& w, const char* name)
{
    return w.findChild<QAction*>(name);
}
// Ticks an option as the user does; false when it was on already or stays off.
bool switchOn(QAction* option)
{
    if (!option || option->isChecked())
        return false;
    option->trigger();
    return option->isChecked();
}
QModelIndex treeIndex(MainWindow& w, TreeNode* node)
{
    return w.catalogue().nodes().indexOf(node);
}

struct Asked {
    QMessageBox::Icon icon;
    QString text;
};

} // namespace

class TestOpening : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QTemporaryDir m_xdg; // the desktop's applications and defaults for this run
    QStringList m_opened;
    bool m_desktopAccepts = true;
    QList<Asked> m_asked;
    QMessageBox::StandardButton m_answer = QMessageBox::Ok;

    QString path(const QString& name) const { return m_dir.filePath(name); }

    Window start(const QByteArray& extra = {})
    {
        TestUtil::writeFile(
            path("quillmere.dat"),
            TestUtil::catalogueLine("Work", 0, {}, "1") +
                TestUtil::catalogueLine("Report", 1, path("docs/report.txt"), "2", "yearly",
                                        "urgent") +
                TestUtil::catalogueLine("Docs", 1, path("docs/sub"), "3") +
                TestUtil::catalogueLine("Site", 1, "https://example.org/", "4") +
                TestUtil::catalogueLine("Mail", 1, "someone@example.org", "4") +
                TestUtil::catalogueLine("Mailto", 1, "mailto:someone@example.org", "4") +
                TestUtil::catalogueLine("Login", 1, "https://user@example.org/x", "4") +
                TestUtil::catalogueLine("Inner", 1, {}, "1") +
                TestUtil::catalogueLine("Deep", 2, path("docs/report.txt"), "2") + extra);
        Window w(new MainWindow);
        w->catalogue().setDataFolder(m_dir.path());
        w->start(nullptr);
        return w;
    }

    // The window on the screen, so that its views can be clicked.
    static bool show(MainWindow& w)
    {
        w.show();
        return QTest::qWaitForWindowExposed(&w);
    }

    // Double-clicks a node in the tree as the user would.
    void treeDoubleClick(MainWindow& w, TreeNode* node)
    {
        doubleClick(docsTree(w), treeIndex(w, node));
    }

    void doubleClick(QAbstractItemView* view, const QModelIndex& index)
    {
        view->setCurrentIndex(index);
        view->scrollTo(index);
        const QRect rect = view->visualRect(index);
        QVERIFY(rect.isValid());
        // What the window system delivers: press, release, press, double click, release.
        QWidget* viewport = view->viewport();
        const QPointF at = rect.center(), global = viewport->mapToGlobal(at);
        const QEvent::Type sequence[] = {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                         QEvent::MouseButtonPress, QEvent::MouseButtonDblClick,
                                         QEvent::MouseButtonRelease};
        QApplication::processEvents();
        for (QEvent::Type type : sequence) {
            const bool down = type != QEvent::MouseButtonRelease;
            QMouseEvent event(type, at, global, Qt::LeftButton,
                              down ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(viewport, &event);
            QApplication::processEvents(); // the tree lays itself out between the clicks
        }
    }

    QModelIndex listRowOf(MainWindow& w, TreeNode* node)
    {
        auto* model = qobject_cast<ListModel*>(listDetails(w)->model());
        return model ? model->index(model->rowOf(node), 0) : QModelIndex();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(m_xdg.isValid());
        // A handler for text files and one for mail links, known only to this
        // run, each writing what it was given into a file of its own.
        qputenv("XDG_DATA_HOME", m_xdg.filePath("data").toUtf8());
        qputenv("XDG_CONFIG_HOME", m_xdg.filePath("config").toUtf8());
        QDir().mkpath(m_xdg.filePath("data/applications"));
        QDir().mkpath(m_xdg.filePath("config"));
        for (const char* kind : {"open", "mail"}) {
            const QString script = m_xdg.filePath(QString("%1.sh").arg(kind));
            TestUtil::writeFile(
                script, QString("#!/bin/sh\nprintf '%s' \"$1\" > '%1.part' && mv '%1.part' '%1'\n")
                            .arg(m_xdg.filePath(QString("%1.out").arg(kind)))
                            .toUtf8());
            QFile::setPermissions(script, QFile::permissions(script) | QFile::ExeOwner);
            TestUtil::writeFile(
                m_xdg.filePath(QString("data/applications/quillmere-test-%1.desktop").arg(kind)),
                QString(
                    "[Desktop Entry]\nType=Application\nName=Test %1\nExec=%2 %3\nMimeType=%4;\n")
                    .arg(kind, script, QString(kind) == "open" ? "%f" : "%u",
                         QString(kind) == "open" ? "text/plain" : "x-scheme-handler/mailto")
                    .toUtf8());
        }
        TestUtil::writeFile(m_xdg.filePath("config/mimeapps.list"),
                            "[Default Applications]\ntext/plain=quillmere-test-open.desktop\n"
                            "x-scheme-handler/mailto=quillmere-test-mail.desktop\n");
        useRecordingOpener();
    }

    void useRecordingOpener()
    {
        Desktop::setOpener([this](const QString& target) {
            m_opened << target;
            return m_desktopAccepts;
        });
    }

    void cleanupTestCase() { Desktop::setOpener(nullptr); }

    void init()
    {
        QDir(path("docs")).removeRecursively();
        QDir().mkpath(path("docs/sub"));
        QDir().mkpath(path("moved"));
        QVERIFY(TestUtil::writeFile(path("docs/report.txt"), "figures"));
        QVERIFY(TestUtil::writeFile(path("moved/report.txt"), "figures"));
        QFile::remove(path("quillmere.dat"));
        QDir(m_xdg.filePath("config/Velmarch"))
            .removeRecursively(); // each test starts with the design layout
        m_opened.clear();
        m_asked.clear();
        m_desktopAccepts = true;
        m_answer = QMessageBox::Ok;
        MessageDialogs::setHandler([this](QMessageBox::Icon icon, const QString& text) {
            m_asked << Asked{icon, text};
            return m_answer;
        });
    }

    void cleanup() { MessageDialogs::setHandler(nullptr); }

    void targetsBecomeDesktopAddresses()
    {
        QCOMPARE(Desktop::targetUri("/srv/My papers/a#1.txt"),
                 QString("file:///srv/My%20papers/a%231.txt"));
        QCOMPARE(Desktop::targetUri("/"), QString("file:///"));
        QCOMPARE(Desktop::targetUri("www.example.org/page"),
                 QString("http://www.example.org/page"));
        QCOMPARE(Desktop::targetUri("https://example.org/a b"),
                 QString("https://example.org/a%20b"));
        QCOMPARE(Desktop::targetUri("mailto:someone@example.org"),
                 QString("mailto:someone@example.org"));
    }

    void desktopOpensForRealAndRefuses()
    {
        Desktop::setOpener(nullptr);
        auto restore = qScopeGuard([this] { useRecordingOpener(); });
        const QString file = path("docs/My report #1.txt");
        QVERIFY(TestUtil::writeFile(file, "figures\n"));
        QVERIFY(Desktop::openUrl(file));
        QTRY_COMPARE_WITH_TIMEOUT(QString::fromUtf8(readAll(m_xdg.filePath("open.out"))), file,
                                  20000);

        QVERIFY(Desktop::hasMailClient());
        QVERIFY(Desktop::openUrl("mailto:someone@example.org"));
        QTRY_COMPARE_WITH_TIMEOUT(QString::fromUtf8(readAll(m_xdg.filePath("mail.out"))),
                                  QString("mailto:someone@example.org"), 20000);

        // Nothing handles this scheme: a refusal, not a success.
        QVERIFY(!Desktop::openUrl("quillmere-nowhere:thing"));
        QVERIFY(!Desktop::openUrl(QString()));
        // And through the opener of the window: a refusal is an error.
        QVERIFY_THROWS_EXCEPTION(CatalogueError, Opening::openTarget("quillmere-nowhere:thing"));
    }

    // A file whose name is not UTF-8, filed as a file manager's drop gives
    // it (decoded with replacement characters): it is no missing file, the
    // desktop is handed its very bytes, and "Delete from hard disk" puts it
    // into the trash.
    void nameThatIsNotUtf8()
    {
        const QByteArray bytes = QFile::encodeName(path("docs")) + "/bad\xff\xfe.txt";
        {
            const int fd = ::open(bytes.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
            QVERIFY(fd >= 0);
            QCOMPARE(::write(fd, "figures\n", 8), ssize_t(8));
            ::close(fd);
        }
        const QString decoded = QFile::decodeName(bytes);
        QVERIFY(decoded.contains(QChar::ReplacementCharacter));
        auto w = start(TestUtil::catalogueLine("Odd", 1, decoded, "2"));
        QVERIFY(show(*w));
        FileOperations::installDialogs(w.get());
        auto quiet = qScopeGuard([] { FileUtils::setFileOpUi(nullptr); });
        TreeNode* odd = nodeNamed(*w, "Odd");
        QVERIFY(odd);
        QVERIFY(odd->imageIndex() != imgMissing);
        treeDoubleClick(*w, odd);
        QCOMPARE(m_opened, QStringList{decoded});
        QVERIFY(m_asked.isEmpty());
        QCOMPARE(Desktop::targetUri(decoded).toLatin1(), "file://" + bytes.toPercentEncoding("/"));
        {
            Desktop::setOpener(nullptr);
            auto restore = qScopeGuard([this] { useRecordingOpener(); });
            QFile::remove(m_xdg.filePath("open.out"));
            QVERIFY(Desktop::openUrl(decoded));
            QTRY_COMPARE_WITH_TIMEOUT(readAll(m_xdg.filePath("open.out")), bytes, 20000);
        }

        m_answer = QMessageBox::Yes;
        docsTree(*w)->setFocus();
        docsTree(*w)->setCurrentIndex(treeIndex(*w, odd));
        action(*w, "acDeleteFromDisk")->trigger();
        struct stat st;
        QVERIFY(::lstat(bytes.constData(), &st) != 0);
        const QByteArray trashed =
            QFile::encodeName(m_xdg.filePath("data/Trash/files")) + "/bad\xff\xfe.txt";
        QVERIFY(::lstat(trashed.constData(), &st) == 0);
        // Out of the trash again by its bytes, which the folder's clearing up cannot name.
        ::unlink(trashed.constData());
        ::unlink(
            (QFile::encodeName(m_xdg.filePath("data/Trash/info")) + "/bad\xff\xfe.txt.trashinfo")
                .constData());
        QVERIFY(!nodeNamed(*w, "Odd"));
    }

    void opensEachKind_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("target");
        QTest::newRow("document") << "Report" << path("docs/report.txt");
        QTest::newRow("folder") << "Docs" << path("docs/sub");
        QTest::newRow("web address") << "Site"
                                     << "https://example.org/";
        QTest::newRow("e-mail address") << "Mail"
                                        << "mailto:someone@example.org";
        QTest::newRow("mail link keeps one prefix") << "Mailto"
                                                    << "mailto:someone@example.org";
        QTest::newRow("web address with a user") << "Login"
                                                 << "https://user@example.org/x";
    }

    void opensEachKind()
    {
        QFETCH(QString, name);
        QFETCH(QString, target);
        auto w = start();
        QVERIFY(show(*w));
        treeDoubleClick(*w, nodeNamed(*w, name));
        QCOMPARE(m_opened, QStringList{target});
        QVERIFY(m_asked.isEmpty());
    }

    void enterOpensAndCategoriesDoNot()
    {
        auto w = start();
        QVERIFY(show(*w));
        TreeNode* work = nodeNamed(*w, "Work");
        treeDoubleClick(*w, work); // folds or unfolds only
        QVERIFY(m_opened.isEmpty());

        docsTree(*w)->setCurrentIndex(treeIndex(*w, nodeNamed(*w, "Site")));
        QTest::keyClick(docsTree(*w), Qt::Key_Return);
        QCOMPARE(m_opened, QStringList{"https://example.org/"});

        // Enter on a list row.
        view(*w)->listCategory(work);
        const QModelIndex row = listRowOf(*w, nodeNamed(*w, "Report"));
        QVERIFY(row.isValid());
        listDetails(*w)->setCurrentIndex(row);
        QCOMPARE(w->findChild<QStackedWidget*>("ListView")->currentWidget(), listDetails(*w));
        listDetails(*w)->setFocus(); // the keys are the focused view's
        QTest::keyClick(listDetails(*w), Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(m_opened.last(), path("docs/report.txt"));
        QCOMPARE(m_opened.size(), 2);
    }

    void desktopRefusalIsReportedAsAnError()
    {
        auto w = start();
        QVERIFY(show(*w));
        m_desktopAccepts = false;
        treeDoubleClick(*w, nodeNamed(*w, "Site"));
        QCOMPARE(m_asked.size(), 1);
        QCOMPARE(m_asked[0].text,
                 QString("Cannot open it: the desktop has no application for this kind of item."));
        QCOMPARE(m_asked[0].icon, QMessageBox::Critical);
    }

    void missingDocumentWarnsAndComesBack()
    {
        auto w = start();
        QVERIFY(show(*w));
        TreeNode* report = nodeNamed(*w, "Report");
        docsTree(*w)->setCurrentIndex(treeIndex(*w, report));
        QFile::remove(path("docs/report.txt"));
        treeDoubleClick(*w, report);
        QVERIFY(m_opened.isEmpty());
        QCOMPARE(m_asked.size(), 1);
        QCOMPARE(m_asked[0].icon, QMessageBox::Warning);
        QCOMPARE(m_asked[0].text, "File \"" + path("docs/report.txt") +
                                      "\" not found.\rMay be it was replaced or removed.");
        QCOMPARE(report->imageIndex(), int(imgMissing));
        QCOMPARE(report->data()->sAdditional, QString("urgent"));

        // Back in place: it opens at once and has its own icon again.
        QVERIFY(TestUtil::writeFile(path("docs/report.txt"), "figures"));
        treeDoubleClick(*w, report);
        QCOMPARE(m_opened, QStringList{path("docs/report.txt")});
        QVERIFY(report->imageIndex() != int(imgMissing));
        QCOMPARE(m_asked.size(), 1);
    }

    void relinkToAPickedFile()
    {
        auto w = start();
        QVERIFY(show(*w));
        QVERIFY(switchOn(action(*w, "acRemoveOnAbsent")));
        QString titleAsked, folderOffered;
        TestUtil::ScopedOverride pick(Opening::pickFileHook(),
                                      [&](const QString& title, const QString& folder) {
                                          titleAsked = title;
                                          folderOffered = folder;
                                          return path("moved/report.txt");
                                      });
        TreeNode* report = nodeNamed(*w, "Report");
        docsTree(*w)->setCurrentIndex(treeIndex(*w, report));
        QFile::remove(path("docs/report.txt"));
        m_answer = QMessageBox::Yes;
        treeDoubleClick(*w, report);

        QCOMPARE(m_asked.size(), 1);
        QCOMPARE(m_asked[0].icon, QMessageBox::Question);
        QCOMPARE(m_asked[0].text,
                 "The document\r" + path("docs/report.txt") +
                     "\rwas replaced or removed.\rTo define its new location, click \"Yes\"\r"
                     "Othewise the link will be removed from the list.");
        QCOMPARE(titleAsked, QString("Define new document location"));
        QCOMPARE(folderOffered, path("docs")); // where the document was
        QCOMPARE(nodeNamed(*w, "Report"), report);
        QCOMPARE(report->data()->fullName, path("moved/report.txt"));
        QCOMPARE(report->data()->comments, QString("yearly"));
        QCOMPARE(report->data()->sAdditional,
                 QString("urgent")); // the user's value survives the move
        QCOMPARE(report->data()->kind, NodeKind::Doc);
        QVERIFY(report->imageIndex() != int(imgMissing));
        QVERIFY(m_opened.isEmpty()); // the question was the answer to this double click
        // The other link to the old path is left alone.
        QCOMPARE(nodeNamed(*w, "Deep")->data()->fullName, path("docs/report.txt"));

        treeDoubleClick(*w, report);
        QCOMPARE(m_opened, QStringList{path("moved/report.txt")});
    }

    void refusedRelinkRemovesTheLink_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("picked");
        QTest::newRow("no") << int(QMessageBox::No) << QString();
        QTest::newRow("file dialog cancelled") << int(QMessageBox::Yes) << QString();
        QTest::newRow("picked file does not exist")
            << int(QMessageBox::Yes) << path("moved/gone.txt");
    }

    void refusedRelinkRemovesTheLink()
    {
        QFETCH(int, answer);
        QFETCH(QString, picked);
        auto w = start();
        QVERIFY(show(*w));
        QVERIFY(switchOn(action(*w, "acRemoveOnAbsent")));
        TestUtil::ScopedOverride pick(Opening::pickFileHook(),
                                      [&](const QString&, const QString&) { return picked; });
        TreeNode* work = nodeNamed(*w, "Work");
        const int before = work->count();
        TreeNode* report = nodeNamed(*w, "Report");
        docsTree(*w)->setCurrentIndex(treeIndex(*w, report));
        QFile::remove(path("docs/report.txt"));
        m_answer = QMessageBox::StandardButton(answer);
        treeDoubleClick(*w, report);

        QCOMPARE(work->count(), before - 1);
        QVERIFY(!nodeNamed(*w, "Report"));
        QCOMPARE(view(*w)->listedNode(), work);
        QVERIFY(m_opened.isEmpty());
        QCOMPARE(m_asked.size(), 1); // no not-found warning after the question
        const TrayIcon::Balloon balloon = w->findChild<TrayIcon*>("CoolTrayIcon")->lastBalloon();
        QCOMPARE(balloon.title, QString("File not found!"));
        QCOMPARE(balloon.text, QString("The link is removed"));
        QCOMPARE(balloon.icon, TrayIcon::bitWarning);
        QCOMPARE(balloon.milliseconds, 10000);
        // No tray here: the status line carries it.
        QVERIFY(w->statusBar()->currentMessage().contains("The link is removed"));
    }

    void nodesRemovedDuringAListFillLeaveTheListWhole()
    {
        auto w = start(TestUtil::catalogueLine("Old notes", 0, path("docs/old.txt"), "2") +
                       TestUtil::catalogueLine("Kept", 0, {}, "1"));
        TreeNode* work = nodeNamed(*w, "Work");
        // Two more missing documents in the middle of the category.
        w->catalogue().nodes().moveTo(nodeNamed(*w, "Old notes"), work, 2);
        QFile::remove(path("docs/report.txt"));
        QVERIFY(switchOn(action(*w, "acRemoveOnAbsent")));
        m_answer = QMessageBox::No;
        view(*w)->listCategory(work);

        // The questions come once the listing is through.
        QTRY_COMPARE(m_asked.size(), 2);
        QVERIFY(!nodeNamed(*w, "Report"));
        QVERIFY(!nodeNamed(*w, "Old notes"));
        QCOMPARE(view(*w)->listedNode(), work);
        auto* model = qobject_cast<ListModel*>(listDetails(*w)->model());
        QVERIFY(model);
        QCOMPARE(model->rowCount(), work->count());
        for (int i = 0; i < model->rowCount(); ++i) {
            TreeNode* n = view(*w)->listNodeAt(model->index(i, 0));
            QCOMPARE(n, work->item(i));
            QVERIFY(!model->index(i, 0).data().toString().isEmpty());
        }
        // The one in the subcategory has not been listed, so not asked about.
        QVERIFY(nodeNamed(*w, "Deep"));
    }

    void openingAMissingDocumentWhoseListLosesOthersToo_data()
    {
        QTest::addColumn<bool>("fromTree");
        QTest::newRow("list") << false;
        QTest::newRow("tree") << true;
    }
    void openingAMissingDocumentWhoseListLosesOthersToo()
    {
        // Two missing documents listed while "Delete non-actual links" was off;
        // with it on, opening the first refills the list, which asks about
        // both: the opened node is gone and must not be touched again.
        QFETCH(bool, fromTree);
        auto w = start(TestUtil::catalogueLine("Old notes", 0, path("docs/old.txt"), "2"));
        QVERIFY(show(*w));
        TreeNode* work = nodeNamed(*w, "Work");
        w->catalogue().nodes().moveTo(nodeNamed(*w, "Old notes"), work, 1);
        QFile::remove(path("docs/report.txt"));
        // Selecting lists the category; the double click comes later.
        docsTree(*w)->setCurrentIndex(treeIndex(*w, nodeNamed(*w, "Report")));
        QCOMPARE(view(*w)->listedNode(), work);
        QCOMPARE(nodeNamed(*w, "Report")->imageIndex(), int(imgMissing));
        QVERIFY(m_asked.isEmpty());
        action(*w, "acRemoveOnAbsent")->trigger();
        QVERIFY(action(*w, "acRemoveOnAbsent")->isChecked());
        m_answer = QMessageBox::No;
        if (fromTree)
            treeDoubleClick(*w, nodeNamed(*w, "Report"));
        else
            doubleClick(listDetails(*w), listRowOf(*w, nodeNamed(*w, "Report")));

        QVERIFY(!nodeNamed(*w, "Report"));
        QVERIFY(!nodeNamed(*w, "Old notes"));
        QCOMPARE(m_asked.size(), 2);
        QVERIFY(m_opened.isEmpty());
        QCOMPARE(view(*w)->listedNode(), work);
    }

    void relinkStartsNearTheMissingFile()
    {
        // The document's folder is gone too: the dialog opens in the nearest
        // folder above it that still exists.
        auto w =
            start(TestUtil::catalogueLine("Lost", 1, path("docs/sub/gone/deeper/lost.txt"), "2"));
        QVERIFY(show(*w));
        QString folderOffered;
        TestUtil::ScopedOverride pick(Opening::pickFileHook(),
                                      [&](const QString&, const QString& folder) {
                                          folderOffered = folder;
                                          return QString();
                                      });
        // Selected while the option is off, so the double click asks.
        TreeNode* lost = nodeNamed(*w, "Lost");
        docsTree(*w)->setCurrentIndex(treeIndex(*w, lost));
        QVERIFY(m_asked.isEmpty());
        QVERIFY(switchOn(action(*w, "acRemoveOnAbsent")));
        m_answer = QMessageBox::Yes;
        treeDoubleClick(*w, lost);
        QCOMPARE(m_asked.size(), 1);
        QCOMPARE(folderOffered, path("docs/sub"));
    }

    void movingOntoAMissingDocumentWhoseRelinkIsRefused()
    {
        // Moving onto the document makes it current, the list of its category
        // asks about it, and the answer removes it: after the view is done
        // with the move, not under it, and the run still ends with a save.
        auto w = start(TestUtil::catalogueLine("Lost", 1, path("docs/lost.txt"), "2"));
        QVERIFY(show(*w));
        QVERIFY(switchOn(action(*w, "acRemoveOnAbsent")));
        TestUtil::ScopedOverride pick(Opening::pickFileHook(),
                                      [](const QString&, const QString&) { return QString(); });
        m_answer = QMessageBox::Yes;
        // Down from the category above it, with the keyboard.
        const QModelIndex inner = treeIndex(*w, nodeNamed(*w, "Inner"));
        docsTree(*w)->collapse(inner);
        docsTree(*w)->setCurrentIndex(inner);
        docsTree(*w)->setFocus();
        QTest::keyClick(docsTree(*w), Qt::Key_Down);
        QTRY_VERIFY(!nodeNamed(*w, "Lost"));
        QCOMPARE(m_asked.size(), 1);
        QFile::remove(path("quillmere.dat"));
        w->finish();
        const QByteArray saved = readAll(path("quillmere.dat"));
        QVERIFY(saved.startsWith(TestUtil::catalogueLine("Work", 0, {}, "1")));
        QVERIFY(!saved.contains("Lost"));
    }

    void missingDocumentKeptWhenTheOptionIsOff()
    {
        auto w = start();
        TreeNode* report = nodeNamed(*w, "Report");
        QVERIFY(w->findChild<Opening*>()->askNewLocation("Report", path("docs/report.txt"), report,
                                                         "yearly"));
        QVERIFY(m_asked.isEmpty());
        QCOMPARE(report->imageIndex(), int(imgMissing));
        QCOMPARE(report->data()->fullName, path("docs/report.txt"));
        QCOMPARE(report->data()->sAdditional, QString("urgent"));
    }

    void listEntersCategories()
    {
        auto w = start();
        QVERIFY(show(*w));
        TreeNode* work = nodeNamed(*w, "Work");
        TreeNode* inner = nodeNamed(*w, "Inner");
        view(*w)->listCategory(work);
        doubleClick(listDetails(*w), listRowOf(*w, inner));
        QVERIFY(m_opened.isEmpty());
        QCOMPARE(view(*w)->currentNode(), inner);
        QCOMPARE(view(*w)->listedNode(), inner);
        QVERIFY(docsTree(*w)->isExpanded(treeIndex(*w, inner)));
        QCOMPARE(view(*w)->listModel().rowCount(), 1);
    }

    void findObjectOpensTheHoldingFolder_data()
    {
        QTest::addColumn<QString>("fullName");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("folder");
        QTest::newRow("document") << "/srv/papers/2023/report.txt"
                                  << "2"
                                  << "/srv/papers/2023";
        QTest::newRow("folder item") << "/srv/papers/2023"
                                     << "3"
                                     << "/srv/papers";
        QTest::newRow("file under the root") << "/report.txt"
                                             << "2"
                                             << "/";
        QTest::newRow("folder under the root") << "/srv"
                                               << "3"
                                               << "/";
    }

    void findObjectOpensTheHoldingFolder()
    {
        QFETCH(QString, fullName);
        QFETCH(QString, kind);
        QFETCH(QString, folder);
        auto w = start(TestUtil::catalogueLine("Target", 0, fullName, kind.toLatin1().constData()));
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        TreeNode* target = nodeNamed(*w, "Target");
        docsTree(*w)->setCurrentIndex(treeIndex(*w, target));
        docsTree(*w)->setFocus();
        action(*w, "acFindObject")->trigger();
        QCOMPARE(m_opened, QStringList{folder});
        QVERIFY(m_asked.isEmpty());
    }

    void findObjectFollowsTheFocus()
    {
        auto w = start();
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        TreeNode* work = nodeNamed(*w, "Work");
        docsTree(*w)->setCurrentIndex(treeIndex(*w, work));
        docsTree(*w)->setFocus();
        action(*w, "acFindObject")->trigger();
        QCOMPARE(m_asked.size(), 1);
        QCOMPARE(m_asked[0].text, QString("Could not do it with categories and hyperlinks."));
        QCOMPARE(m_asked[0].icon, QMessageBox::Critical);

        // The list has the focus: its selected row counts, not the tree's node.
        view(*w)->listCategory(work);
        QCOMPARE(w->findChild<QStackedWidget*>("ListView")->currentWidget(), listDetails(*w));
        listDetails(*w)->setCurrentIndex(listRowOf(*w, nodeNamed(*w, "Report")));
        listDetails(*w)->setFocus();
        action(*w, "acFindObject")->trigger();
        QCOMPARE(m_opened, QStringList{path("docs")});

        listDetails(*w)->setCurrentIndex(listRowOf(*w, nodeNamed(*w, "Site")));
        action(*w, "acFindObject")->trigger();
        QCOMPARE(m_asked.size(), 2);
        QCOMPARE(m_opened.size(), 1);
    }
};

QTEST_MAIN(TestOpening)
#include "tst_opening.moc"
