// The properties dialog through the real command: what it shows, name and
// comment changes, a location change that moves the real file (and the
// questions on the way), and the additional field's submenu.
#include "catalogue/Catalogue.h"
#include "components/FileOperationDialogs.h"
#include "components/MessageDialogs.h"
#include "forms/MainWindow.h"
#include "forms/PropertiesDialog.h"
#include "forms/main/AdditionalMenu.h"
#include "forms/main/Properties.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include "testutil/TestUtil.h"

using TestUtil::catalogueLine;

class TestProperties : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<MainWindow> m_w;
    QStringList m_asked;
    // Answers by the start of the question; anything else is answered No.
    QMap<QString, QMessageBox::StandardButton> m_answers;
    // Called with each question or message before it is answered.
    std::function<void(const QString&)> m_onAsked;

    QString path(const QString& name) const { return m_dir.filePath(name); }
    QAction* action(const char* name) const { return m_w->findChild<QAction*>(name); }
    QTreeView* tree() const { return m_w->findChild<QTreeView*>("DocsTree"); }

    TreeNode* node(const QString& text) const
    {
        for (TreeNode* n = m_w->catalogue().nodes().getFirstNode(); n; n = n->getNext())
            if (n->text() == text)
                return n;
        return nullptr;
    }

    // The node as the target of the next command: selected in the focused tree.
    void target(TreeNode* n)
    {
        tree()->setFocus();
        tree()->setCurrentIndex(m_w->catalogue().nodes().indexOf(n));
    }

    static QLineEdit* field(PropertiesDialog& d, const char* name)
    {
        return d.findChild<QLineEdit*>(name);
    }
    static void clickOk(PropertiesDialog& d)
    {
        QTest::mouseClick(d.findChild<QPushButton*>("btnOK"), Qt::LeftButton);
    }

    // Runs "Properties..." on n; Act plays the user in the dialog.
    void properties(TreeNode* n, std::function<void(PropertiesDialog&)> act)
    {
        target(n);
        bool shown = false;
        Properties::ScopedDialogHook hook([&](PropertiesDialog& d) {
            shown = true;
            act(d);
            if (d.isVisible()) // the user gives up
                d.reject();
        });
        action("acProperties")->trigger();
        QVERIFY(shown);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        MessageDialogs::setHandler([this](QMessageBox::Icon, const QString& text) {
            m_asked << text;
            if (m_onAsked)
                m_onAsked(text);
            for (auto [start, answer] : m_answers.asKeyValueRange())
                if (text.startsWith(start))
                    return answer;
            return QMessageBox::No;
        });
    }
    void cleanupTestCase() { MessageDialogs::setHandler(nullptr); }

    void init()
    {
        QDir(path("docs")).removeRecursively();
        QDir(path("moved")).removeRecursively();
        // Each test is a first run: no values in the settings yet.
        QFile::remove(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                      "/Velmarch/Quillmere.conf");
        QDir().mkpath(path("docs"));
        QDir().mkpath(path("moved"));
        QVERIFY(TestUtil::writeFile(path("docs/report.txt"), "figures"));
        QVERIFY(TestUtil::writeFile(
            path("quillmere.dat"),
            catalogueLine("Work", 0, {}, "1", "job") +
                catalogueLine("Report", 1, path("docs/report.txt"), "2", "yearly", "old") +
                catalogueLine("Site", 1, "https://example.org/", "4") +
                catalogueLine("Inner", 1, {}, "1") +
                catalogueLine("Deep", 2, path("docs/report.txt"), "2") +
                catalogueLine("Deeper", 2, {}, "1") + catalogueLine("Bottom", 3, {}, "4")));
        m_w = std::make_unique<MainWindow>();
        m_w->catalogue().setDataFolder(m_dir.path());
        m_w->start(nullptr);
        FileOperations::installDialogs(m_w.get());
        m_w->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_w.get()));
        m_asked.clear();
        m_answers.clear();
    }
    void cleanup()
    {
        m_onAsked = nullptr;
        FileUtils::setFileOpUi(nullptr);
        m_w.reset();
    }

    void showsTheEntry()
    {
        QVERIFY(action("acProperties")->isEnabled());
        properties(node("Work"), [](PropertiesDialog& d) {
            QCOMPARE(field(d, "edCategory")->text(), QString("None"));
            QCOMPARE(field(d, "edType")->text(), QString("Category"));
            QVERIFY(!d.findChild<QLabel*>("DocImg")->pixmap().isNull());
        });
        properties(node("Deep"), [this](PropertiesDialog& d) {
            QCOMPARE(field(d, "edName")->text(), QString("Deep"));
            QCOMPARE(field(d, "edCategory")->text(), QString("Inner"));
            QCOMPARE(field(d, "edType")->text(), QString("Document"));
            QCOMPARE(field(d, "edLocation")->text(), path("docs/report.txt"));
            // An empty location cannot be confirmed.
            auto* ok = d.findChild<QPushButton*>("btnOK");
            field(d, "edLocation")->clear();
            QVERIFY(!ok->isEnabled());
            QTest::keyClicks(field(d, "edLocation"), "/x");
            QVERIFY(ok->isEnabled());
        });
        QVERIFY(m_asked.isEmpty());
        QCOMPARE(node("Deep")->data()->fullName, path("docs/report.txt"));
    }

    void bidiControlsShowInTheLocation()
    {
        // "report<RLO>txt.exe" would read "reportexe.txt".
        const QString spoof = path(QString("docs/report%1txt.exe").arg(QChar(0x202E)));
        QVERIFY(TestUtil::writeFile(spoof, "figures"));
        TreeNode* n = m_w->catalogue().addLinkNode(spoof, node("Work"), QString(), false);
        const QString shown = path("docs/report\\u202Etxt.exe");
        properties(n, [&](PropertiesDialog& d) {
            QCOMPARE(field(d, "edLocation")->text(), shown);
            clickOk(d); // unchanged: nothing to move
        });
        QVERIFY(m_asked.isEmpty());
        QCOMPARE(n->data()->fullName, spoof);
        // Edited around the shown control, it is still the control.
        m_answers.insert(PropertiesDialog::moveQuestion(), QMessageBox::Yes);
        const QString to = path(QString("moved/report%1txt.exe").arg(QChar(0x202E)));
        properties(n, [&](PropertiesDialog& d) {
            field(d, "edLocation")->setText(path("moved/report\\u202Etxt.exe"));
            clickOk(d);
        });
        QCOMPARE(n->data()->fullName, to);
        QVERIFY(QFile::exists(to));
    }

    void nameAndCommentOnly()
    {
        properties(node("Report"), [](PropertiesDialog& d) {
            field(d, "edName")->setText("Annual");
            field(d, "edComment")->setText("all figures");
            clickOk(d);
        });
        TreeNode* n = node("Annual");
        QVERIFY(n);
        QCOMPARE(n->data()->comments, QString("all figures"));
        QCOMPARE(n->data()->fullName, path("docs/report.txt"));
        QVERIFY(m_asked.isEmpty());
        QVERIFY(QFile::exists(path("docs/report.txt")));
        // Cancel changes nothing.
        properties(n, [](PropertiesDialog& d) { field(d, "edName")->setText("Other"); });
        QCOMPARE(n->text(), QString("Annual"));
    }

    void moveAnsweredNoThenYes_data()
    {
        QTest::addColumn<bool>("changeLinks");
        QTest::newRow("other link re-pointed") << true;
        QTest::newRow("other link kept") << false;
    }
    void moveAnsweredNoThenYes()
    {
        QFETCH(bool, changeLinks);
        const QString to = path("moved/report.txt");
        m_answers.insert("There are yet links", changeLinks ? QMessageBox::Yes : QMessageBox::No);
        properties(node("Report"), [&](PropertiesDialog& d) {
            field(d, "edLocation")->setText(to);
            field(d, "edName")->setText("Moved report");
            clickOk(d); // No to the move question: the dialog stays
            QVERIFY(d.isVisible());
            QCOMPARE(m_asked.size(), 1);
            QCOMPARE(m_asked.first(), PropertiesDialog::moveQuestion());
            QVERIFY(m_asked.first().startsWith(QString::fromUtf8("Путь к файлу")));
            QCOMPARE(field(d, "edLocation")->text(), to);
            m_answers.insert(PropertiesDialog::moveQuestion(), QMessageBox::Yes);
            clickOk(d);
            QVERIFY(!d.isVisible());
        });
        QVERIFY(!QFile::exists(path("docs/report.txt")));
        QCOMPARE(TestUtil::readFile(to), QByteArray("figures"));
        QCOMPARE(node("Moved report")->data()->fullName, to);
        QCOMPARE(m_asked.size(), 3);
        QVERIFY(m_asked.last().startsWith("There are yet links"));
        QCOMPARE(node("Deep")->data()->fullName, changeLinks ? to : path("docs/report.txt"));
    }

    void moveIntoNewFolderAsks()
    {
        m_answers.insert(PropertiesDialog::moveQuestion(), QMessageBox::Yes);
        const QString to = path("moved/new/report.txt");
        properties(node("Report"), [&](PropertiesDialog& d) {
            field(d, "edLocation")->setText(to);
            clickOk(d);
        });
        // The folder question was answered No: nothing moved.
        QCOMPARE(node("Report")->data()->fullName, path("docs/report.txt"));
        QVERIFY(QFile::exists(path("docs/report.txt")));
        m_asked.clear();
        m_answers.insert("", QMessageBox::Yes);
        properties(node("Report"), [&](PropertiesDialog& d) {
            field(d, "edLocation")->setText(to);
            clickOk(d);
        });
        QCOMPARE(node("Report")->data()->fullName, to);
        QVERIFY(QFile::exists(to));
    }

    // A location naming an existing folder: the file goes into it, and the
    // entry follows it there, not to the folder.
    void moveIntoExistingFolder()
    {
        m_answers.insert(PropertiesDialog::moveQuestion(), QMessageBox::Yes);
        properties(node("Report"), [&](PropertiesDialog& d) {
            field(d, "edLocation")->setText(path("moved"));
            clickOk(d);
        });
        QVERIFY(QFile::exists(path("moved/report.txt")));
        QCOMPARE(node("Report")->data()->fullName, path("moved/report.txt"));
    }

    // A folder moved where one of its name stands is never put inside it:
    // the user is asked, Cancel first; "Keep both" takes the next free name,
    // and the entry and the links inside record where it went.
    void folderMovedWhereItsNameIsTaken_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("cancel") << int(QMessageBox::Cancel);
        QTest::newRow("keep both") << int(QMessageBox::Yes);
    }
    void folderMovedWhereItsNameIsTaken()
    {
        QFETCH(int, answer);
        Catalogue& cat = m_w->catalogue();
        QVERIFY(QDir().mkpath(path("docs/dirs")) && QDir().mkpath(path("moved/dirs")));
        QVERIFY(TestUtil::writeFile(path("docs/dirs/a.txt"), "a"));
        TreeNode* dirs = cat.addLinkNode(path("docs/dirs"), node("Work"), {}, false);
        TreeNode* inside = cat.addLinkNode(path("docs/dirs/a.txt"), node("Inner"), {}, false);
        const QString question = "A folder named \"dirs\" already exists in \"moved\".";
        m_answers.insert(PropertiesDialog::moveQuestion(), QMessageBox::Yes);
        m_answers.insert(question, QMessageBox::StandardButton(answer));
        m_answers.insert("There are yet links", QMessageBox::Yes);
        properties(dirs, [&](PropertiesDialog& d) {
            field(d, "edLocation")->setText(path("moved"));
            clickOk(d);
        });
        QVERIFY(m_asked.contains(question));
        QVERIFY(QDir(path("moved/dirs")).isEmpty()); // never inside it
        if (answer == QMessageBox::Cancel) {
            QVERIFY(QFile::exists(path("docs/dirs/a.txt")));
            QCOMPARE(dirs->data()->fullName, path("docs/dirs"));
            QCOMPARE(inside->data()->fullName, path("docs/dirs/a.txt"));
            return;
        }
        QVERIFY(QFile::exists(path("moved/dirs (2)/a.txt")));
        QCOMPARE(dirs->data()->fullName, path("moved/dirs (2)"));
        QCOMPARE(inside->data()->fullName, path("moved/dirs (2)/a.txt"));
        // A file goes where a folder of its name stands only under another name too.
        QVERIFY(QDir().mkpath(path("moved/report.txt")));
        m_answers.insert("A folder named \"report.txt\"", QMessageBox::Yes);
        properties(node("Report"), [&](PropertiesDialog& d) {
            field(d, "edLocation")->setText(path("moved/"));
            clickOk(d);
        });
        QCOMPARE(node("Report")->data()->fullName, path("moved/report (2).txt"));
        QCOMPARE(TestUtil::readFile(path("moved/report (2).txt")), QByteArray("figures"));
    }

    // The folders the program keeps the catalogue and its settings in are
    // never moved away, nor a folder holding one of them.
    void programFoldersAreNotMoved()
    {
        Catalogue& cat = m_w->catalogue();
        const QString data = path("data");
        QVERIFY(QDir().mkpath(data));
        cat.setDataFolder(data);
        const QString settings =
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/Velmarch";
        QVERIFY(QDir().mkpath(settings));
        m_answers.insert(PropertiesDialog::moveQuestion(), QMessageBox::Yes);
        for (const QString& folder : {data, m_dir.path(), settings}) {
            TreeNode* entry = cat.addLinkNode(folder, node("Work"), {}, false);
            m_asked.clear();
            properties(entry, [&](PropertiesDialog& d) {
                field(d, "edLocation")->setText(path("moved/away"));
                clickOk(d);
            });
            QCOMPARE(m_asked.size(), 2);
            QVERIFY2(m_asked[1].contains("cannot be moved: the program keeps"),
                     qPrintable(m_asked[1]));
            QVERIFY(QDir(folder).exists());
            QCOMPARE(entry->data()->fullName, folder);
        }
        QVERIFY(!QFile::exists(path("moved/away")));
        cat.setDataFolder(m_dir.path());
    }

    void sameFileOtherSpelling_data()
    {
        QTest::addColumn<QString>("spelling");
        QTest::newRow("trailing slash") << "docs/report.txt/";
        QTest::newRow("dot") << "docs/./report.txt";
        QTest::newRow("dot dot") << "moved/../docs/report.txt";
    }
    void sameFileOtherSpelling()
    {
        QFETCH(QString, spelling);
        m_answers.insert("", QMessageBox::Yes);
        properties(node("Report"), [&](PropertiesDialog& d) {
            field(d, "edLocation")->setText(path(spelling));
            clickOk(d);
        });
        QCOMPARE(TestUtil::readFile(path("docs/report.txt")), QByteArray("figures"));
        QCOMPARE(node("Report")->data()->fullName, path("docs/report.txt"));
        QCOMPARE(node("Deep")->data()->fullName, path("docs/report.txt"));
    }

    // A hyperlink's address is no path: even where it names a folder under
    // the working folder, nothing moves and nothing is said after the move
    // question.
    void hyperlinkAddressStays()
    {
        const QString before = QDir::currentPath();
        auto back = qScopeGuard([&] { QDir::setCurrent(before); });
        QVERIFY(QDir::setCurrent(m_dir.path()));
        QVERIFY(QDir().mkpath("https:/example.org"));
        m_answers.insert("", QMessageBox::Yes);
        properties(node("Site"), [](PropertiesDialog& d) {
            field(d, "edLocation")->setText("https://example.com/");
            field(d, "edComment")->setText("kept");
            clickOk(d);
        });
        QCOMPARE(node("Site")->data()->fullName, QString("https://example.org/"));
        QCOMPARE(node("Site")->data()->comments, QString("kept"));
        QCOMPARE(m_asked, QStringList{PropertiesDialog::moveQuestion()});
        QVERIFY(QFileInfo(path("https:/example.org")).isDir());
        QVERIFY(!QFileInfo::exists(path("https:/example.com")));
    }

    // A location the catalogue cannot keep, or one that is not absolute, is
    // refused with a message before anything moves.
    void refusedLocations_data()
    {
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("message");
        const QString breaks = "The new location holds a line break";
        QTest::newRow("line feed") << path("moved/a\nb.txt") << breaks;
        QTest::newRow("carriage return") << path("moved/a\rb.txt") << breaks;
        QTest::newRow("NUL") << path("moved/a") + QChar(0) + "b.txt" << breaks;
        QTest::newRow("relative") << "moved.txt"
                                  << "The new location \"moved.txt\" is not an absolute path.";
        QTest::newRow("another user's home")
            << "~nobody/report.txt"
            << "The new location \"~nobody/report.txt\" is not an absolute path.";
    }
    void refusedLocations()
    {
        QFETCH(QString, location);
        QFETCH(QString, message);
        m_answers.insert("", QMessageBox::Yes);
        properties(node("Report"), [&](PropertiesDialog& d) {
            field(d, "edLocation")->setText(location);
            clickOk(d);
        });
        QCOMPARE(m_asked.size(), 2);
        QVERIFY2(m_asked.last().startsWith(message), qPrintable(m_asked.last()));
        QCOMPARE(node("Report")->data()->fullName, path("docs/report.txt"));
        QCOMPARE(TestUtil::readFile(path("docs/report.txt")), QByteArray("figures"));
        QCOMPARE(QDir(path("moved")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList());
    }

    // A leading "~" is the home folder, and the entry keeps the whole path.
    void homeFolderExpanded()
    {
        const QByteArray home = qgetenv("HOME");
        auto back = qScopeGuard([&] { qputenv("HOME", home); });
        qputenv("HOME", QFile::encodeName(m_dir.path()));
        m_answers.insert("", QMessageBox::Yes);
        properties(node("Report"), [&](PropertiesDialog& d) {
            field(d, "edLocation")->setText("~/moved/annual.txt");
            clickOk(d);
        });
        QCOMPARE(TestUtil::readFile(path("moved/annual.txt")), QByteArray("figures"));
        QCOMPARE(node("Report")->data()->fullName, path("moved/annual.txt"));
        QVERIFY(!QFileInfo::exists(QDir::currentPath() + "/~"));
    }

    // A move to another file system copies first; a copy that fails half-way
    // (the disk is full) must leave the file and the entry as they were,
    // while the new name stands.
    void failedMoveAcrossVolumes()
    {
        QTemporaryDir shm(QStringLiteral("/dev/shm/quillmere-XXXXXX"));
        if (!shm.isValid() ||
            QStorageInfo(shm.path()).device() == QStorageInfo(path("moved")).device())
            QSKIP("needs two file systems (/dev/shm and the temporary folder)");
        const QString from = shm.filePath("big.bin");
        const QByteArray bytes(256 * 1024, 'x');
        QVERIFY(TestUtil::writeFile(from, bytes));
        m_w->catalogue().nodes().editRecord(node("Report"),
                                            [&](NodeInfo& info) { info.fullName = from; });
        m_answers.insert("", QMessageBox::Yes);
        {
            TestUtil::FileSizeLimit limit(64 * 1024);
            properties(node("Report"), [&](PropertiesDialog& d) {
                field(d, "edLocation")->setText(path("moved/big.bin"));
                field(d, "edName")->setText("Renamed");
                clickOk(d);
            });
        }
        QCOMPARE(TestUtil::readFile(from), bytes);
        QVERIFY(!QFile::exists(path("moved/big.bin")));
        QCOMPARE(node("Renamed")->data()->fullName, from);
        QVERIFY(QDir(path("moved"))
                    .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                    .isEmpty());
    }

    // The entry may go while the command waits for the user (the run ends
    // while the dialog is open, and its save may take the built-in category
    // out; another command removes it while a box of the move is open): the
    // command must not touch it afterwards.
    void entryGoneWhileTheMoveAsks_data()
    {
        QTest::addColumn<bool>("builtIn");
        QTest::newRow("built-in link, the run ends in the dialog") << true;
        QTest::newRow("document, removed meanwhile") << false;
    }
    void entryGoneWhileTheMoveAsks()
    {
        QFETCH(bool, builtIn);
        Catalogue& cat = m_w->catalogue();
        TreeNode* entry = builtIn ? cat.makerCategory->item(0) : node("Report");
        QVERIFY(entry);
        m_answers.insert(PropertiesDialog::moveQuestion(), QMessageBox::Yes);
        bool moveAsked = false, gone = false;
        m_onAsked = [&](const QString& text) {
            if (text == PropertiesDialog::moveQuestion()) {
                moveAsked = true;
            } else if (moveAsked && !gone && !builtIn) {
                gone = true;
                cat.nodes().deleteNode(entry);
            }
        };
        // From the list, as the user chose it there.
        target(entry->parent());
        auto* list = m_w->findChild<QTreeView*>("ListDetails");
        auto* model = list->model();
        QModelIndex row;
        for (int r = 0; r < model->rowCount(); ++r)
            if (model->index(r, 0).data().toString() == entry->text())
                row = model->index(r, 0);
        QVERIFY(row.isValid());
        list->setFocus();
        list->setCurrentIndex(row);
        bool shown = false;
        Properties::ScopedDialogHook hook([&](PropertiesDialog& d) {
            shown = true;
            if (builtIn) {
                gone = true;
                m_w->finish();
            }
            field(d, "edLocation")->setText(builtIn ? "x/y" : path("docs/new/report.txt"));
            field(d, "edName")->setText("Renamed");
            clickOk(d);
        });
        action("acProperties")->trigger();
        QVERIFY(shown);
        QVERIFY(gone);
        // Whether the run's end keeps the built-in category is the save's
        // business; here it only must not be touched once freed.
        if (!builtIn) {
            QVERIFY(!node("Renamed"));
            QVERIFY(QFile::exists(path("docs/report.txt")));
            QCOMPARE(node("Deep")->data()->fullName, path("docs/report.txt"));
        }
    }

    void additionalValue_data()
    {
        QTest::addColumn<bool>("recursive");
        QTest::newRow("for the category alone") << false;
        QTest::newRow("for everything inside") << true;
    }
    void additionalValue()
    {
        QFETCH(bool, recursive);
        auto* additional = m_w->findChild<AdditionalMenu*>();
        QMenu* menu = m_w->findChild<QMenu*>("AdMenu");
        // The first run's one blank entry empties the value.
        QCOMPARE(menu->actions().size(), 1);
        target(node("Report"));
        menu->actions().first()->trigger();
        QCOMPARE(node("Report")->data()->sAdditional, QString());

        additional->setAdTitle("Dept");
        additional->setAdValues({"Sales", "R&D"});
        additional->setRecursChanging(recursive);
        QCOMPARE(menu->title(), QString("Dept"));
        QAction* rd = menu->actions().at(1);
        QCOMPARE(rd->text(), QString("R&&D")); // shown as R&D, not with an accelerator
        target(node("Inner"));
        rd->trigger();
        QCOMPARE(node("Inner")->data()->sAdditional, QString("R&D"));
        for (const char* inside : {"Deep", "Deeper", "Bottom"})
            QCOMPARE(node(inside)->data()->sAdditional, recursive ? QString("R&D") : QString());
        QCOMPARE(node("Report")->data()->sAdditional, QString());
        QCOMPARE(node("Work")->data()->sAdditional, QString());

        // Opened, the submenu ticks the target's value: one entry at most,
        // none for a value it does not offer.
        const auto ticked = [&] {
            menu->popup(m_w->mapToGlobal(QPoint(20, 20)));
            QStringList values;
            for (const QAction* entry : menu->actions())
                if (entry->isChecked())
                    values << entry->data().toString();
            menu->hide();
            return values;
        };
        QCOMPARE(ticked(), QStringList{"R&D"});
        target(node("Report"));
        QCOMPARE(ticked(), QStringList{});
        menu->actions().at(0)->trigger();
        QCOMPARE(ticked(), QStringList{"Sales"});
        target(node("Inner"));
        QCOMPARE(ticked(), QStringList{"R&D"});
        QVERIFY(menu->actions().at(0)->isCheckable());
    }
};

QTEST_MAIN(TestProperties)
#include "tst_properties.moc"
