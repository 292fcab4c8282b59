// Opening entries from the tree and the list, "Find object", the not-found
// warning and the relink question for moved documents, and the desktop
// opener itself.
#include "catalogue/Catalogue.h"
#include "catalogue/ListModel.h"
#include "components/CoolTrayIcon.h"
#include "components/HSDialogs.h"
#include "forms/frmMain.h"
#include "utils/MySysUtils.h"

#include <QAction>
#include <QFile>
#include <QListView>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include "testutil/TestUtil.h"

namespace
{

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TTreeNode* nodeNamed(TMainF& w, const QString& name)
{
    for (TTreeNode* n = w.Catalogue.Nodes().GetFirstNode(); n; n = n->GetNext())
        if (n->Text() == name)
            return n;
    return nullptr;
}

// The window frees its tree before its views, which may still lay out the
// list once more while they go; an emptied list keeps them off the freed nodes.
struct TCloseWindow {
    void operator()(TMainF* w) const
    {
        if (auto* model = qobject_cast<TListModel*>(w->ListDetails->model()))
            model->Clear();
        delete w;
    }
};
using TWindow = std::unique_ptr<TMainF, TCloseWindow>;

struct TAsked {
    QMessageBox::Icon Icon;
    QString Text;
};

} // namespace

class TestOpening : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QTemporaryDir m_xdg; // the desktop's applications and defaults for this run
    QStringList m_opened;
    bool m_desktopAccepts = true;
    QList<TAsked> m_asked;
    QMessageBox::StandardButton m_answer = QMessageBox::Ok;

    QString path(const QString& name) const { return m_dir.filePath(name); }

    TWindow start(const QByteArray& extra = {})
    {
        TestUtil::WriteFile(
            path("quillmere.dat"),
            TestUtil::CatalogueLine("Work", 0, {}, "1") +
                TestUtil::CatalogueLine("Report", 1, path("docs/report.txt"), "2", "yearly",
                                        "urgent") +
                TestUtil::CatalogueLine("Docs", 1, path("docs/sub"), "3") +
                TestUtil::CatalogueLine("Site", 1, "https://example.org/", "4") +
                TestUtil::CatalogueLine("Mail", 1, "someone@example.org", "4") +
                TestUtil::CatalogueLine("Mailto", 1, "mailto:someone@example.org", "4") +
                TestUtil::CatalogueLine("Login", 1, "https://user@example.org/x", "4") +
                TestUtil::CatalogueLine("Inner", 1, {}, "1") +
                TestUtil::CatalogueLine("Deep", 2, path("docs/report.txt"), "2") + extra);
        TWindow w(new TMainF);
        w->Catalogue.SetDataFolder(m_dir.path());
        w->FormCreate(nullptr);
        return w;
    }

    // Double-clicks a node in the tree as the user would.
    void treeDoubleClick(TMainF& w, TTreeNode* node)
    {
        doubleClick(w.DocsTree, w.Catalogue.Nodes().IndexOf(node));
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

    QModelIndex listRowOf(TMainF& w, TTreeNode* node)
    {
        auto* model = qobject_cast<TListModel*>(w.ListDetails->model());
        return model ? model->index(model->RowOf(node), 0) : QModelIndex();
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
            TestUtil::WriteFile(
                script, QString("#!/bin/sh\nprintf '%s' \"$1\" > '%1.part' && mv '%1.part' '%1'\n")
                            .arg(m_xdg.filePath(QString("%1.out").arg(kind)))
                            .toUtf8());
            QFile::setPermissions(script, QFile::permissions(script) | QFile::ExeOwner);
            TestUtil::WriteFile(
                m_xdg.filePath(QString("data/applications/quillmere-test-%1.desktop").arg(kind)),
                QString(
                    "[Desktop Entry]\nType=Application\nName=Test %1\nExec=%2 %3\nMimeType=%4;\n")
                    .arg(kind, script, QString(kind) == "open" ? "%f" : "%u",
                         QString(kind) == "open" ? "text/plain" : "x-scheme-handler/mailto")
                    .toUtf8());
        }
        TestUtil::WriteFile(m_xdg.filePath("config/mimeapps.list"),
                            "[Default Applications]\ntext/plain=quillmere-test-open.desktop\n"
                            "x-scheme-handler/mailto=quillmere-test-mail.desktop\n");
        useRecordingOpener();
    }

    void useRecordingOpener()
    {
        MySysUtils::SetOpener([this](const QString& target) {
            m_opened << target;
            return m_desktopAccepts;
        });
    }

    void cleanupTestCase() { MySysUtils::SetOpener(nullptr); }

    void init()
    {
        QDir(path("docs")).removeRecursively();
        QDir().mkpath(path("docs/sub"));
        QDir().mkpath(path("moved"));
        QVERIFY(TestUtil::WriteFile(path("docs/report.txt"), "figures"));
        QVERIFY(TestUtil::WriteFile(path("moved/report.txt"), "figures"));
        QFile::remove(path("quillmere.dat"));
        QDir(m_xdg.filePath("config/Velmarch"))
            .removeRecursively(); // each test starts with the design layout
        m_opened.clear();
        m_asked.clear();
        m_desktopAccepts = true;
        m_answer = QMessageBox::Ok;
        HSDialogs::SetHandler([this](QMessageBox::Icon icon, const QString& text) {
            m_asked << TAsked{icon, text};
            return m_answer;
        });
    }

    void cleanup() { HSDialogs::SetHandler(nullptr); }

    void targetsBecomeDesktopAddresses()
    {
        QCOMPARE(MySysUtils::TargetUri("/srv/My papers/a#1.txt"),
                 QString("file:///srv/My%20papers/a%231.txt"));
        QCOMPARE(MySysUtils::TargetUri("/"), QString("file:///"));
        QCOMPARE(MySysUtils::TargetUri("www.example.org/page"),
                 QString("http://www.example.org/page"));
        QCOMPARE(MySysUtils::TargetUri("https://example.org/a b"),
                 QString("https://example.org/a%20b"));
        QCOMPARE(MySysUtils::TargetUri("mailto:someone@example.org"),
                 QString("mailto:someone@example.org"));
    }

    void desktopOpensForRealAndRefuses()
    {
        MySysUtils::SetOpener(nullptr);
        auto restore = qScopeGuard([this] { useRecordingOpener(); });
        const QString file = path("docs/My report #1.txt");
        QVERIFY(TestUtil::WriteFile(file, "figures\n"));
        QVERIFY(MySysUtils::OpenURL(file));
        QTRY_COMPARE_WITH_TIMEOUT(QString::fromUtf8(readAll(m_xdg.filePath("open.out"))), file,
                                  20000);

        QVERIFY(MySysUtils::HasMailClient());
        QVERIFY(MySysUtils::OpenURL("mailto:someone@example.org"));
        QTRY_COMPARE_WITH_TIMEOUT(QString::fromUtf8(readAll(m_xdg.filePath("mail.out"))),
                                  QString("mailto:someone@example.org"), 20000);

        // Nothing handles this scheme: a refusal, not a success.
        QVERIFY(!MySysUtils::OpenURL("quillmere-nowhere:thing"));
        QVERIFY(!MySysUtils::OpenURL(QString()));
        // And through the window: the error reaches the user.
        auto w = start();
        // QVERIFY_THROWS_EXCEPTION(ECatalogueError, w->OpenTarget("quillmere-nowhere:thing"));
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
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        treeDoubleClick(*w, nodeNamed(*w, name));
        for (auto& a : m_asked)
            qDebug() << a.Text;
        QCOMPARE(m_opened, QStringList{target});
        QVERIFY(m_asked.isEmpty());
    }

    void enterOpensAndCategoriesDoNot()
    {
        auto w = start();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        TTreeNode* work = nodeNamed(*w, "Work");
        treeDoubleClick(*w, work); // folds or unfolds only
        QVERIFY(m_opened.isEmpty());

        w->DocsTree->setCurrentIndex(w->Catalogue.Nodes().IndexOf(nodeNamed(*w, "Site")));
        QTest::keyClick(w->DocsTree, Qt::Key_Return);
        QCOMPARE(m_opened, QStringList{"https://example.org/"});

        // Enter on a list row.
        w->ListCategory(work);
        const QModelIndex row = listRowOf(*w, nodeNamed(*w, "Report"));
        QVERIFY(row.isValid());
        w->ListDetails->setCurrentIndex(row);
        w->ListView->setCurrentWidget(w->ListDetails);
        QTest::keyClick(w->ListDetails, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(m_opened.last(), path("docs/report.txt"));
        QCOMPARE(m_opened.size(), 2);
    }

    void desktopRefusalIsReportedAsAnError()
    {
        auto w = start();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        m_desktopAccepts = false;
        treeDoubleClick(*w, nodeNamed(*w, "Site"));
        QCOMPARE(m_asked.size(), 1);
        QCOMPARE(m_asked[0].Text, QString("Cannot execute ShellExecute function!"));
        QCOMPARE(m_asked[0].Icon, QMessageBox::Critical);
    }

    void missingDocumentWarnsAndComesBack()
    {
        auto w = start();
        TTreeNode* report = nodeNamed(*w, "Report");
        w->DocsTree->setCurrentIndex(w->Catalogue.Nodes().IndexOf(report));
        QFile::remove(path("docs/report.txt"));
        w->DocsTreeDblClick();
        QVERIFY(m_opened.isEmpty());
        QCOMPARE(m_asked.size(), 1);
        QCOMPARE(m_asked[0].Icon, QMessageBox::Warning);
        QCOMPARE(m_asked[0].Text, "File \"" + path("docs/report.txt") +
                                      "\" not found.\rMay be it was replaced or removed.");
        QCOMPARE(report->ImageIndex(), int(imgMissing));
        QCOMPARE(report->Data()->sAdditional, QString("urgent"));

        // Back in place: it opens at once and has its own icon again.
        QVERIFY(TestUtil::WriteFile(path("docs/report.txt"), "figures"));
        w->DocsTreeDblClick();
        QCOMPARE(m_opened, QStringList{path("docs/report.txt")});
        QVERIFY(report->ImageIndex() != int(imgMissing));
        QCOMPARE(m_asked.size(), 1);
    }

    void relinkToAPickedFile()
    {
        auto w = start();
        w->acRemoveOnAbsent->setChecked(true);
        QString titleAsked, folderOffered;
        w->PickFileHook = [&](const QString& title, const QString& folder) {
            titleAsked = title;
            folderOffered = folder;
            return path("moved/report.txt");
        };
        TTreeNode* report = nodeNamed(*w, "Report");
        w->DocsTree->setCurrentIndex(w->Catalogue.Nodes().IndexOf(report));
        QFile::remove(path("docs/report.txt"));
        m_answer = QMessageBox::Yes;
        w->DocsTreeDblClick();

        QCOMPARE(m_asked.size(), 1);
        QCOMPARE(m_asked[0].Icon, QMessageBox::Question);
        QCOMPARE(m_asked[0].Text,
                 "The document\r" + path("docs/report.txt") +
                     "\rwas replaced or removed.\rTo define its new location, click \"Yes\"\r"
                     "Othewise the link will be removed from the list.");
        QCOMPARE(titleAsked, QString("Define new document location"));
        QCOMPARE(folderOffered, path("docs")); // where the document was
        QCOMPARE(nodeNamed(*w, "Report"), report);
        QCOMPARE(report->Data()->FullName, path("moved/report.txt"));
        QCOMPARE(report->Data()->Comments, QString("yearly"));
        QCOMPARE(report->Data()->sAdditional,
                 QString("urgent")); // the user's value survives the move
        QCOMPARE(report->Data()->Kind, nkDoc);
        QVERIFY(report->ImageIndex() != int(imgMissing));
        QVERIFY(m_opened.isEmpty()); // the question was the answer to this double click
        // The other link to the old path is left alone.
        QCOMPARE(nodeNamed(*w, "Deep")->Data()->FullName, path("docs/report.txt"));

        w->DocsTreeDblClick();
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
        w->acRemoveOnAbsent->setChecked(true);
        w->PickFileHook = [&](const QString&, const QString&) { return picked; };
        TTreeNode* work = nodeNamed(*w, "Work");
        const int before = work->Count();
        w->DocsTree->setCurrentIndex(w->Catalogue.Nodes().IndexOf(nodeNamed(*w, "Report")));
        QFile::remove(path("docs/report.txt"));
        m_answer = QMessageBox::StandardButton(answer);
        w->DocsTreeDblClick();

        QCOMPARE(work->Count(), before - 1);
        QVERIFY(!nodeNamed(*w, "Report"));
        QCOMPARE(w->ListedNode, work);
        QVERIFY(m_opened.isEmpty());
        QCOMPARE(m_asked.size(), 1); // no not-found warning after the question
        const TCoolTrayIcon::TBalloon balloon = w->CoolTrayIcon->LastBalloon();
        QCOMPARE(balloon.Title, QString("File not found!"));
        QCOMPARE(balloon.Text, QString("The link is removed"));
        QCOMPARE(balloon.Icon, TCoolTrayIcon::bitWarning);
        QCOMPARE(balloon.Milliseconds, 10000);
        // No tray here: the status line carries it.
        QVERIFY(w->statusBar()->currentMessage().contains("The link is removed"));
    }

    void nodesRemovedDuringAListFillLeaveTheListWhole()
    {
        auto w = start(TestUtil::CatalogueLine("Old notes", 0, path("docs/old.txt"), "2") +
                       TestUtil::CatalogueLine("Kept", 0, {}, "1"));
        TTreeNode* work = nodeNamed(*w, "Work");
        // Two more missing documents in the middle of the category.
        w->Catalogue.Nodes().MoveTo(nodeNamed(*w, "Old notes"), work, 2);
        QFile::remove(path("docs/report.txt"));
        w->acRemoveOnAbsent->setChecked(true);
        m_answer = QMessageBox::No;
        w->ListCategory(work);

        QCOMPARE(m_asked.size(), 2);
        QVERIFY(!nodeNamed(*w, "Report"));
        QVERIFY(!nodeNamed(*w, "Old notes"));
        QCOMPARE(w->ListedNode, work);
        auto* model = qobject_cast<TListModel*>(w->ListDetails->model());
        QVERIFY(model);
        QCOMPARE(model->rowCount(), work->Count());
        for (int i = 0; i < model->rowCount(); ++i) {
            TTreeNode* n = w->ListNodeAt(model->index(i, 0));
            QCOMPARE(n, work->Item(i));
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
        auto w = start(TestUtil::CatalogueLine("Old notes", 0, path("docs/old.txt"), "2"));
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        TTreeNode* work = nodeNamed(*w, "Work");
        w->Catalogue.Nodes().MoveTo(nodeNamed(*w, "Old notes"), work, 1);
        QFile::remove(path("docs/report.txt"));
        // Selecting lists the category; the double click comes later.
        w->DocsTree->setCurrentIndex(w->Catalogue.Nodes().IndexOf(nodeNamed(*w, "Report")));
        QCOMPARE(w->ListedNode, work);
        QCOMPARE(nodeNamed(*w, "Report")->ImageIndex(), int(imgMissing));
        QVERIFY(m_asked.isEmpty());
        w->acRemoveOnAbsent->trigger();
        QVERIFY(w->acRemoveOnAbsent->isChecked());
        m_answer = QMessageBox::No;
        if (fromTree)
            treeDoubleClick(*w, nodeNamed(*w, "Report"));
        else
            doubleClick(w->ListDetails, listRowOf(*w, nodeNamed(*w, "Report")));

        QVERIFY(!nodeNamed(*w, "Report"));
        QVERIFY(!nodeNamed(*w, "Old notes"));
        QCOMPARE(m_asked.size(), 2);
        QVERIFY(m_opened.isEmpty());
        QCOMPARE(w->ListedNode, work);
    }

    void relinkStartsNearTheMissingFile()
    {
        // The document's folder is gone too: the dialog opens in the nearest
        // folder above it that still exists.
        auto w =
            start(TestUtil::CatalogueLine("Lost", 1, path("docs/sub/gone/deeper/lost.txt"), "2"));
        w->acRemoveOnAbsent->setChecked(true);
        QString folderOffered;
        w->PickFileHook = [&](const QString&, const QString& folder) {
            folderOffered = folder;
            return QString();
        };
        m_answer = QMessageBox::Yes;
        w->DocsTree->setCurrentIndex(w->Catalogue.Nodes().IndexOf(nodeNamed(*w, "Lost")));
        w->DocsTreeDblClick();
        QCOMPARE(folderOffered, path("docs/sub"));
    }

    void movingOntoAMissingDocumentWhoseRelinkIsRefused()
    {
        // Moving onto the document makes it current, the list of its category
        // asks about it, and the answer removes it: after the view is done
        // with the move, not under it, and the run still ends with a save.
        auto w = start(TestUtil::CatalogueLine("Lost", 1, path("docs/lost.txt"), "2"));
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->acRemoveOnAbsent->setChecked(true);
        w->PickFileHook = [](const QString&, const QString&) { return QString(); };
        m_answer = QMessageBox::Yes;
        // Down from the category above it, with the keyboard.
        const QModelIndex inner = w->Catalogue.Nodes().IndexOf(nodeNamed(*w, "Inner"));
        w->DocsTree->collapse(inner);
        w->DocsTree->setCurrentIndex(inner);
        w->DocsTree->setFocus();
        QTest::keyClick(w->DocsTree, Qt::Key_Down);
        QTRY_VERIFY(!nodeNamed(*w, "Lost"));
        QCOMPARE(m_asked.size(), 1);
        QFile::remove(path("quillmere.dat"));
        w->FormDestroy();
        const QByteArray saved = readAll(path("quillmere.dat"));
        QVERIFY(saved.startsWith(TestUtil::CatalogueLine("Work", 0, {}, "1")));
        QVERIFY(!saved.contains("Lost"));
    }

    void missingDocumentKeptWhenTheOptionIsOff()
    {
        auto w = start();
        TTreeNode* report = nodeNamed(*w, "Report");
        QVERIFY(w->AskNewLocation("Report", path("docs/report.txt"), report, "yearly"));
        QVERIFY(m_asked.isEmpty());
        QCOMPARE(report->ImageIndex(), int(imgMissing));
        QCOMPARE(report->Data()->FullName, path("docs/report.txt"));
        QCOMPARE(report->Data()->sAdditional, QString("urgent"));
    }

    void listEntersCategories()
    {
        auto w = start();
        TTreeNode* work = nodeNamed(*w, "Work");
        TTreeNode* inner = nodeNamed(*w, "Inner");
        w->ListCategory(work);
        w->ListDetails->setCurrentIndex(listRowOf(*w, inner));
        w->ListViewDblClick();
        QVERIFY(m_opened.isEmpty());
        QCOMPARE(w->SelectedTreeNode(), inner);
        QCOMPARE(w->ListedNode, inner);
        QVERIFY(w->DocsTree->isExpanded(w->Catalogue.Nodes().IndexOf(inner)));
        QCOMPARE(w->ListModel->rowCount(), 1);
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
        auto w = start(TestUtil::CatalogueLine("Target", 0, fullName, kind.toLatin1().constData()));
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        TTreeNode* target = nodeNamed(*w, "Target");
        w->DocsTree->setCurrentIndex(w->Catalogue.Nodes().IndexOf(target));
        w->DocsTree->setFocus();
        w->acFindObject->trigger();
        QCOMPARE(m_opened, QStringList{folder});
        QVERIFY(m_asked.isEmpty());
    }

    void findObjectFollowsTheFocus()
    {
        auto w = start();
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        TTreeNode* work = nodeNamed(*w, "Work");
        w->DocsTree->setCurrentIndex(w->Catalogue.Nodes().IndexOf(work));
        w->DocsTree->setFocus();
        w->acFindObject->trigger();
        QCOMPARE(m_asked.size(), 1);
        QCOMPARE(m_asked[0].Text, QString("Could not do it with categories and hyperlinks."));
        QCOMPARE(m_asked[0].Icon, QMessageBox::Critical);

        // The list has the focus: its selected row counts, not the tree's node.
        w->ListCategory(work);
        w->ListView->setCurrentWidget(w->ListDetails);
        w->ListDetails->setCurrentIndex(listRowOf(*w, nodeNamed(*w, "Report")));
        w->ListDetails->setFocus();
        w->acFindObject->trigger();
        QCOMPARE(m_opened, QStringList{path("docs")});

        w->ListDetails->setCurrentIndex(listRowOf(*w, nodeNamed(*w, "Site")));
        w->acFindObject->trigger();
        QCOMPARE(m_asked.size(), 2);
        QCOMPARE(m_opened.size(), 1);
    }
};

QTEST_MAIN(TestOpening)
#include "tst_opening.moc"
