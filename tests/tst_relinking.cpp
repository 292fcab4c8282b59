// Moved and renamed files found again in the window: "Check all links" over
// a generated tree (moved, renamed, moved together, a folder that vanished),
// the assistant from the not-found message, and one relink teaching the rest.
#include "catalogue/Catalogue.h"
#include "catalogue/SeenTargets.h"
#include "components/MessageDialogs.h"
#include "forms/CheckLinksDialog.h"
#include "forms/LocateDialog.h"
#include "forms/MainWindow.h"
#include "forms/main/Relinking.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include "testutil/TestUtil.h"

namespace
{

TreeNode* nodeNamed(MainWindow& w, const QString& name)
{
    for (TreeNode* n = w.catalogue().nodes().getFirstNode(); n; n = n->getNext())
        if (n->text() == name)
            return n;
    return nullptr;
}

QString locationOf(MainWindow& w, const QString& name)
{
    TreeNode* n = nodeNamed(w, name);
    return n && n->data() ? n->data()->fullName : QStringLiteral("<no entry>");
}

void click(QWidget* widget)
{
    QVERIFY(widget && widget->isEnabled());
    QTest::mouseClick(widget, Qt::LeftButton);
}

// Runs Act on the dialog once its work is through.
template <class Dialog> void whenDone(Dialog& dialog, bool done, std::function<void()> act)
{
    if (done)
        act();
    else
        QObject::connect(&dialog, &Dialog::searchFinished, &dialog, std::move(act));
}

} // namespace

class TestRelinking : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QStringList m_asked;
    QMessageBox::StandardButton m_answer = QMessageBox::Yes;

    QString home(const QString& rest) const { return m_dir.filePath("home/" + rest); }
    QString store() const { return SeenTargets::storeFile(m_dir.path()); }

    std::unique_ptr<MainWindow> start()
    {
        auto w = std::make_unique<MainWindow>();
        w->catalogue().setDataFolder(m_dir.path());
        w->formCreate(nullptr);
        return w;
    }

    // A first run that learns the files, then the changes made while the
    // program was not running.
    void learnThenMove()
    {
        QVERIFY(TestUtil::writeFile(
            m_dir.filePath("quillmere.dat"),
            TestUtil::catalogueLine("Files", 0, {}, "1") +
                TestUtil::catalogueLine("Beach", 1, home("Old/Photos/beach.jpg"), "2", "sunny",
                                        "summer") +
                TestUtil::catalogueLine("Hills", 1, home("Old/Photos/hills.jpg"), "2") +
                TestUtil::catalogueLine("Report", 1, home("Docs/report.txt"), "2") +
                TestUtil::catalogueLine("Project", 1, home("Project"), "3") +
                TestUtil::catalogueLine("Stays", 1, home("Docs/stays.txt"), "2")));
        {
            auto w = start();
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(store()), 20000);
        }
        QVERIFY(QDir().mkpath(home("New")));
        QVERIFY(QDir().rename(home("Old/Photos"), home("New/Photos")));
        QVERIFY(QFile::rename(home("Docs/report.txt"), home("Docs/report (final).txt")));
        QVERIFY(QDir(home("Project")).removeRecursively());
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QDir(m_dir.filePath("home")).removeRecursively();
        QFile::remove(store());
        for (const char* name : {"Old/Photos/beach.jpg", "Old/Photos/hills.jpg", "Docs/report.txt",
                                 "Docs/stays.txt", "Project/plan.txt"}) {
            QDir().mkpath(QFileInfo(home(name)).absolutePath());
            QVERIFY(TestUtil::writeFile(home(name), QByteArray(name)));
        }
        m_asked.clear();
        m_answer = QMessageBox::Yes;
        MessageDialogs::setHandler([this](QMessageBox::Icon, const QString& text) {
            m_asked << text;
            return m_answer;
        });
    }

    void cleanup() { MessageDialogs::setHandler(nullptr); }

    void checkAllLinksRelinksAndRemovesInBulk()
    {
        learnThenMove();
        auto w = start();
        Relinking::ScopedSearchRoots roots({m_dir.filePath("home")});
        QStringList listed, candidates, afterRelink;
        bool ran = false;
        Relinking::ScopedDialogHook hook([&](QDialog& d) {
            auto& dialog = static_cast<CheckLinksDialog&>(d);
            whenDone(dialog, dialog.done(), [&] {
                auto* list = dialog.findChild<QTreeWidget*>("MissingLinks");
                for (int i = 0; i < list->topLevelItemCount(); ++i) {
                    listed << list->topLevelItem(i)->text(0);
                    candidates << list->topLevelItem(i)->text(2);
                }
                // Tick all, relink those with a place, remove what is left.
                click(dialog.findChild<QCheckBox*>("SelectAll"));
                click(dialog.findChild<QPushButton*>("btnRelink"));
                for (int i = 0; i < list->topLevelItemCount(); ++i)
                    afterRelink << list->topLevelItem(i)->text(0);
                click(dialog.findChild<QPushButton*>("btnRemove"));
                QCOMPARE(list->topLevelItemCount(), 0);
                ran = true;
                click(dialog.findChild<QPushButton*>("btnClose"));
            });
        });
        w->findChild<QAction*>("acCheckLinks")->trigger();
        QVERIFY(ran);
        QCOMPARE(listed, QStringList({"Beach", "Hills", "Report", "Project"}));
        QCOMPARE(candidates,
                 QStringList({home("New/Photos/beach.jpg"), home("New/Photos/hills.jpg"),
                              home("Docs/report (final).txt"), "none found"}));
        QCOMPARE(afterRelink, QStringList{"Project"});
        QVERIFY(m_asked.last().contains("Remove the ticked entry from the catalogue?"));

        QCOMPARE(locationOf(*w, "Beach"), home("New/Photos/beach.jpg"));
        QCOMPARE(locationOf(*w, "Hills"), home("New/Photos/hills.jpg"));
        QCOMPARE(locationOf(*w, "Report"), home("Docs/report (final).txt"));
        QCOMPARE(locationOf(*w, "Stays"), home("Docs/stays.txt"));
        QVERIFY(!nodeNamed(*w, "Project"));
        // The relinked entry keeps its comment and additional value, and
        // shows its file's icon again.
        TreeNode* beach = nodeNamed(*w, "Beach");
        QCOMPARE(beach->data()->comments, QString("sunny"));
        QCOMPARE(beach->data()->sAdditional, QString("summer"));
        QVERIFY(beach->imageIndex() != int(imgMissing));
    }

    void checkAllLinksWithNothingMissing()
    {
        QVERIFY(TestUtil::writeFile(
            m_dir.filePath("quillmere.dat"),
            TestUtil::catalogueLine("Files", 0, {}, "1") +
                TestUtil::catalogueLine("Stays", 1, home("Docs/stays.txt"), "2")));
        auto w = start();
        Relinking::ScopedSearchRoots roots({m_dir.filePath("home")});
        QString status;
        Relinking::ScopedDialogHook hook([&](QDialog& d) {
            auto& dialog = static_cast<CheckLinksDialog&>(d);
            whenDone(dialog, dialog.done(), [&] {
                status = dialog.findChild<QLabel*>("Status")->text();
                QVERIFY(!dialog.findChild<QPushButton*>("btnRelink")->isEnabled());
                QVERIFY(!dialog.findChild<QPushButton*>("btnRemove")->isEnabled());
                dialog.reject();
            });
        });
        w->findChild<QAction*>("acCheckLinks")->trigger();
        QVERIFY(status.contains("Every link points at a file or folder that is there"));
    }

    void assistantListsBestFirstAndRelinksTheChoice()
    {
        // Same name and size in one place, same name only in another, and a
        // renamed copy where the file was.
        QVERIFY(QDir().mkpath(home("Other")) && QDir().mkpath(home("Archive")));
        QVERIFY(TestUtil::writeFile(home("Other/report.txt"), "other size"));
        QVERIFY(QFile::copy(home("Docs/report.txt"), home("Archive/report.txt")));
        const QFileInfo original(home("Docs/report.txt"));
        const FileUtils::LostTarget lost{home("Docs/report.txt"), FileUtils::TargetKind::File,
                                         original.size(),
                                         original.lastModified().toSecsSinceEpoch()};
        QVERIFY(QFile::rename(home("Docs/report.txt"), home("Docs/renamed.txt")));
        const LocateDialog::Request request{"Report", lost, {m_dir.filePath("home")}, {}};

        QStringList rows;
        LocateDialog dialog(request, nullptr);
        QTimer::singleShot(0, &dialog, [&] {
            whenDone(dialog, dialog.searchDone(), [&] {
                auto* list = dialog.findChild<QTreeWidget*>("Candidates");
                for (int i = 0; i < list->topLevelItemCount(); ++i)
                    rows << list->topLevelItem(i)->text(0);
                // The best is selected; the user takes the second instead.
                QCOMPARE(list->currentItem(), list->topLevelItem(0));
                list->setCurrentItem(list->topLevelItem(1));
                click(dialog.findChild<QPushButton*>("btnRelink"));
            });
        });
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        QCOMPARE(rows, QStringList({home("Archive/report.txt"), home("Docs/renamed.txt"),
                                    home("Other/report.txt")}));
        QCOMPARE(dialog.chosenPath(), home("Docs/renamed.txt"));

        // Browse... picks by hand; Cancel chooses nothing.
        LocateDialog::ScopedPickPath pick([&](const QString& title, const QString& folder, bool) {
            return title.contains("Report") && folder == home("Docs") ? home("Other/report.txt")
                                                                      : QString();
        });
        LocateDialog browsing(request, nullptr);
        QTimer::singleShot(0, &browsing,
                           [&] { click(browsing.findChild<QPushButton*>("btnBrowse")); });
        QCOMPARE(browsing.exec(), int(QDialog::Accepted));
        QCOMPARE(browsing.chosenPath(), home("Other/report.txt"));
        LocateDialog cancelled(request, nullptr);
        QTimer::singleShot(0, &cancelled,
                           [&] { click(cancelled.findChild<QPushButton*>("btnCancel")); });
        QCOMPARE(cancelled.exec(), int(QDialog::Rejected));
        QVERIFY(cancelled.chosenPath().isEmpty());
    }

    void closingWhileItSearchesEndsAtOnce()
    {
        learnThenMove();
        auto w = start();
        // A large folder: a search that runs a while.
        Relinking::ScopedSearchRoots roots({"/usr"});
        bool closed = false;
        Relinking::ScopedDialogHook hook([&](QDialog& d) {
            click(d.findChild<QPushButton*>("btnClose"));
            closed = true;
        });
        w->findChild<QAction*>("acCheckLinks")->trigger();
        QVERIFY(closed);
        QCOMPARE(locationOf(*w, "Beach"), home("Old/Photos/beach.jpg"));
    }
};

QTEST_MAIN(TestRelinking)
#include "tst_relinking.moc"
