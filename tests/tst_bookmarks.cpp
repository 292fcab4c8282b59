// Browser bookmarks in and out: the exports of both browser families as they
// write them, entities, malformed and deep files, filing into the catalogue,
// the export, the round trip, and the two commands in the window.
#include "catalogue/BookmarkExport.h"
#include "catalogue/BookmarkImport.h"
#include "catalogue/Catalogue.h"
#include "components/MessageDialogs.h"
#include "forms/MainWindow.h"
#include "forms/main/BrowserBookmarks.h"
#include "forms/main/CategoryView.h"

#include <QAction>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>
#include <sys/stat.h>

#include "testutil/TestUtil.h"

namespace
{

// Exports as the two browser families write them, by hand: the Firefox one
// with separators, smart bookmarks, a bookmarklet, icons, keywords, tags and
// descriptions; the Chromium one with nested and empty folders.
QByteArray sample(const char* name)
{
    return TestUtil::readFile(QFINDTESTDATA(QString("data/") + name));
}

// Every node below Top as "name|kind|location|comment", indented by depth.
QStringList dump(const TreeNode* top)
{
    QStringList out;
    std::vector<std::pair<const TreeNode*, int>> pending;
    for (int i = top->count() - 1; i >= 0; --i)
        pending.push_back({top->item(i), 0});
    while (!pending.empty()) {
        auto [n, depth] = pending.back();
        pending.pop_back();
        const NodeInfo* info = n->data();
        out << QString(depth * 2, u' ') + n->text() + u'|' + QString::number(int(info->kind)) +
                   u'|' + info->fullName + u'|' + info->comments;
        for (int i = n->count() - 1; i >= 0; --i)
            pending.push_back({n->item(i), depth + 1});
    }
    return out;
}

QStringList titles(const BookmarkList& list)
{
    QStringList out;
    for (const BookmarkEntry& e : list.entries)
        out << QString(e.depth * 2, u' ') + (e.kind == BookmarkEntry::Folder ? "+" : "") + e.title;
    return out;
}

const BookmarkEntry* entryTitled(const BookmarkList& list, const QString& title)
{
    for (const BookmarkEntry& e : list.entries)
        if (e.title == title)
            return &e;
    return nullptr;
}

} // namespace

class TestBookmarks : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }

    std::unique_ptr<MainWindow> start(const QByteArray& catalogue)
    {
        TestUtil::writeFile(path("quillmere.dat"), catalogue);
        auto w = std::make_unique<MainWindow>();
        w->catalogue().setDataFolder(m_dir.path());
        w->start(nullptr);
        return w;
    }

    static TreeNode* rootNamed(Catalogue& cat, const QString& name)
    {
        for (int i = 0; i < cat.nodes().rootCount(); ++i)
            if (cat.nodes().rootItem(i)->text() == name)
                return cat.nodes().rootItem(i);
        return nullptr;
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void readsWhatFirefoxWrites()
    {
        const BookmarkList list = parseBookmarks(sample("firefox-bookmarks.html"));
        QVERIFY(list.recognised);
        QCOMPARE(list.title, QString("Bookmarks"));
        QCOMPARE(titles(list),
                 QStringList({"+Mozilla Firefox", "  Get Help", "  Customize Firefox",
                              "+Bookmarks Toolbar", "  Fish & Chips <3", "  Write to the editor",
                              "+Other Bookmarks", "  Мир — Übersicht"}));
        QCOMPARE(list.browserOnly, 2); // the smart bookmark and the bookmarklet
        QCOMPARE(list.malformed, 0);
        QCOMPARE(entryTitled(list, "Bookmarks Toolbar")->description,
                 QString("Add bookmarks to this folder to see them displayed on the Bookmarks "
                         "Toolbar"));
        const BookmarkEntry* fish = entryTitled(list, "Fish & Chips <3");
        QCOMPARE(fish->address, QString("https://www.example.org/menu?a=1&b=2"));
        QCOMPARE(fish->description, QString("A page about \"food\" & drink"));
        QCOMPARE(entryTitled(list, "Get Help")->description, QString());
    }

    void readsWhatChromiumWrites()
    {
        const BookmarkList list = parseBookmarks(sample("chromium-bookmarks.html"));
        QVERIFY(list.recognised);
        QCOMPARE(titles(list),
                 QStringList({"+Bookmarks bar", "  Example Domain", "  +Work", "    Tom's page",
                              "  +Empty", "+Other bookmarks", "  Café ☃ ☃"}));
        QCOMPARE(entryTitled(list, "Tom's page")->address,
                 QString("https://intranet.example.com/wiki?page=Tom%27s&rev=2"));
        QCOMPARE(list.browserOnly + list.malformed, 0);
    }

    void entitiesAndEncodings_data()
    {
        QTest::addColumn<QByteArray>("title");
        QTest::addColumn<QString>("expected");
        QTest::newRow("named") << QByteArray("a &amp; b &lt;c&gt; &quot;d&quot; &apos;e&apos;")
                               << "a & b <c> \"d\" 'e'";
        QTest::newRow("numeric") << QByteArray("&#65;&#x42;&#X43;&#x1F600;") << "ABC😀";
        QTest::newRow("no such character")
            << QByteArray("&#0;&#xD800;&#x110000;&#xZZ;") << "\uFFFD\uFFFD\uFFFD\uFFFD";
        QTest::newRow("not entities")
            << QByteArray("AT&T &unknown; & ;&;") << "AT&T &unknown; & ;&;";
        QTest::newRow("no break space") << QByteArray("a&nbsp;b") << "a\u00A0b";
        QTest::newRow("utf-8") << QByteArray("Zürich 東京") << "Zürich 東京";
        QTest::newRow("windows-1252") << QByteArray("Caf\xe9 \x80") << "Café €";
        QTest::newRow("line breaks") << QByteArray("two\r\nlines&#10;three") << "two lines three";
        QTest::newRow("bidirectional controls")
            << QByteArray("invoice\u202Efdp.exe&#x2066;x") << "invoicefdp.exex";
        QTest::newRow("too long") << QByteArray(40000, 'a') << QString(32767, u'a');
    }

    void entitiesAndEncodings()
    {
        QFETCH(QByteArray, title);
        QFETCH(QString, expected);
        const BookmarkList list = parseBookmarks(
            "<DL><p><DT><A HREF=\"https://e.org/?x=1&amp;y=2\">" + title + "</A>\n</DL>");
        QCOMPARE(list.entries.size(), size_t(1));
        QCOMPARE(list.entries[0].title, expected);
        QCOMPARE(list.entries[0].address, QString("https://e.org/?x=1&y=2"));
    }

    // What a hand-edited or cut-off file gives: every entry that can be read
    // is, each one that cannot is counted, and later entries are not lost.
    void malformedFilesGiveWhatTheyCan()
    {
        const QByteArray html = "<dl><p>\n"
                                "<dt><a href=https://unquoted.example/>Unquoted</a>\n"
                                "<DT><A HREF=\"https://open.example/>Quote left open</A>\n"
                                "<DT><A ADD_DATE=\"1\">No address</A>\n"
                                "<DT><A HREF=\"\">Empty address</A>\n"
                                "<DT><A HREF=\"file:///a%0Ab\">Break in a path</A>\n"
                                "<DT><A HREF=\"data:," +
                                QByteArray(40000, 'x') +
                                "\">Huge</A>\n"
                                "<DT><A HREF='https://single.example/'>Single quotes\n"
                                "<DT><H3>Folder without list</H3>\n"
                                "<DT><A HREF=\"https://after.example/\">After the folder</A>\n"
                                "</DL></DL></DL>\n"
                                "<DT><A HREF=\"https://top.example/\">After extra closings</A>\n"
                                "<DL><p><DT><H3>Never closed</H3><DL><p>\n"
                                "<DT><A HREF=\"https://inner.example/\">Inner</A>\n"
                                "<DT><A HREF=\"https://cut.example/\" ADD_DATE=\"1";
        const BookmarkList list = parseBookmarks(html);
        QVERIFY(list.recognised);
        QCOMPARE(titles(list), QStringList({"Unquoted", "Single quotes", "+Folder without list",
                                            "After the folder", "After extra closings",
                                            "+Never closed", "  Inner"}));
        QCOMPARE(list.entries[0].address, QString("https://unquoted.example/"));
        QCOMPARE(list.malformed, 6); // open quote, no address, empty, break, too long, cut off
    }

    void aTitleCutOffByTheEndIsNotTaken()
    {
        const BookmarkList list = parseBookmarks("<DL><DT><A HREF=\"https://e.org/\">Half a ti");
        QCOMPARE(list.entries.size(), size_t(0));
        QCOMPARE(list.malformed, 1);
    }

    void deepNesting()
    {
        // Fifty levels as a browser writes them, and far more than the
        // catalogue holds: the deepest entries stay, one level up.
        for (int levels : {50, MaxCatalogueDepth + 20}) {
            QByteArray html = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n";
            for (int i = 0; i < levels; ++i)
                html += "<DT><H3>Level " + QByteArray::number(i) + "</H3>\n<DL><p>\n";
            html += "<DT><A HREF=\"https://deep.example/\">Bottom</A>\n";
            for (int i = 0; i < levels; ++i)
                html += "</DL><p>\n";
            html += "<DT><A HREF=\"https://top.example/\">Top again</A>\n</DL>\n";
            const BookmarkList list = parseBookmarks(html);
            const int folders = std::min(levels, maxBookmarkFolderDepth());
            QCOMPARE(list.folderCount(), folders);
            QCOMPARE(entryTitled(list, "Bottom")->depth, folders);
            QCOMPARE(entryTitled(list, "Top again")->depth, 0);

            Catalogue cat;
            TreeNode* top = fileBookmarks(cat, list, "Deep");
            const TreeNode* n = top;
            int level = 0;
            while (n->hasChildren() && n->getFirstChild()->isCategory()) {
                n = n->getFirstChild();
                ++level;
            }
            QCOMPARE(level, folders);
            QCOMPARE(n->getFirstChild()->text(), QString("Bottom"));
            QVERIFY(n->getFirstChild()->level() <= MaxCatalogueDepth);
            QCOMPARE(top->getLastChild()->text(), QString("Top again"));
        }
    }

    void notABookmarkFileFilesNothing()
    {
        Catalogue cat;
        cat.createMakerCategory();
        const int before = cat.nodes().count();
        const QString page = path("page.html");
        QVERIFY(TestUtil::writeFile(page,
                                    "<html><body><p>Hello <a href=\"x\">x</a></p></body></html>"));
        const QString folder = path("a folder.html");
        QDir().mkpath(folder);
        const QString fifo = path("pipe.html");
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        for (const QString& bad : {page, folder, fifo, path("missing.html")}) {
            try {
                fileBookmarks(cat, readBookmarkFile(bad), "X");
                QFAIL(qPrintable("read: " + bad));
            } catch (const CatalogueError& e) {
                QVERIFY2(e.text().contains(bad), qPrintable(e.text()));
            }
        }
        QCOMPARE(cat.nodes().count(), before);
    }

    void filesLinksOfEveryKind()
    {
        const QString doc = path("files/notes & plans.txt"), dir = path("files/folder #2");
        QDir().mkpath(dir);
        QVERIFY(TestUtil::writeFile(doc, "x"));
        const QByteArray html =
            "<DL><p><DT><H3>Mixed</H3><DD>The folder's note<DL><p>\n"
            "<DT><A HREF=\"" +
            QUrl::fromLocalFile(doc).toEncoded() +
            "\">Plans</A>\n<DD>doc\n"
            "<DT><A HREF=\"" +
            QUrl::fromLocalFile(dir).toEncoded() +
            "/\"></A>\n"
            "<DT><A HREF=\"file:///nowhere/gone.pdf\">Gone</A>\n"
            "<DT><A HREF=\"file:s://cut.example/\">Relative</A>\n"
            "<DT><A HREF=\"MAILTO:someone@example.org\">Mail</A>\n"
            "<DT><A HREF=\"mailto:a@example.org,b@example.org?subject=Hi/there\">Two</A>\n"
            "<DT><A HREF=\"https://example.org/\"></A>\n"
            "<DT><A HREF=\"ftp://files.example.org/pub\">FTP</A>\n"
            "</DL><p></DL>";
        Catalogue cat;
        TreeNode* top = fileBookmarks(cat, parseBookmarks(html), "Kinds");
        QVERIFY(!top->parent());
        QCOMPARE(top->data()->kind, NodeKind::Category);
        QCOMPARE(
            dump(top),
            QStringList({"Mixed|1||The folder's note", "  Plans|2|" + doc + "|doc",
                         "  folder #2|3|" + dir + "|", "  Gone|2|/nowhere/gone.pdf|",
                         "  Relative|4|file:s://cut.example/|", "  Mail|4|someone@example.org|",
                         "  Two|4|mailto:a@example.org,b@example.org?subject=Hi/there|",
                         "  https://example.org/|4|https://example.org/|",
                         "  FTP|4|ftp://files.example.org/pub|"}));
        QCOMPARE(top->getFirstChild()->item(2)->imageIndex(), int(imgMissing));
    }

    // A large import reaches the model's watchers as one new row, and goes
    // and comes back through the history as one: a signal per entry costs a
    // walk of the views' and searches' state each, quadratic in the end.
    void filingIsOneInsertionHoweverLarge()
    {
        QByteArray html = "<DL><p>\n";
        for (int f = 0; f < 20; ++f) {
            html += "<DT><H3>Folder " + QByteArray::number(f) + "</H3>\n<DL><p>\n";
            html += "<DT><H3>Inner</H3>\n<DL><p>\n<DT><A HREF=\"file:///nowhere/x.pdf\"></A>\n"
                    "</DL><p>\n";
            for (int i = 0; i < 50; ++i)
                html += "<DT><A HREF=\"https://example.org/" + QByteArray::number(i) +
                        "\">Link</A>\n<DD>note\n";
            html += "</DL><p>\n";
        }
        html += "</DL>";
        Catalogue cat;
        cat.addCategoryNode(nullptr, "Mine");
        NodeTree& nodes = cat.nodes();
        const int before = nodes.count();
        QSignalSpy inserted(&nodes, &QAbstractItemModel::rowsInserted);
        QSignalSpy changed(&nodes, &QAbstractItemModel::dataChanged);
        QSignalSpy records(&nodes, &NodeTree::recordChanged);
        TreeNode* top = nullptr;
        {
            const EditHistory::Step step(cat.history(), "Import");
            top = fileBookmarks(cat, parseBookmarks(html), "Many");
        }
        QCOMPARE(nodes.count(), before + 1 + 20 * (1 + 1 + 1 + 50));
        QCOMPARE(inserted.size(), 1);
        QVERIFY(!inserted[0][0].value<QModelIndex>().isValid());
        QCOMPARE(inserted[0][1].toInt(), top->index());
        QCOMPARE(changed.size(), 0);
        QCOMPARE(records.size(), 0);
        QCOMPARE(top->item(3)->item(0)->getFirstChild()->text(), QString("x.pdf"));
        QCOMPARE(top->item(3)->item(0)->getFirstChild()->imageIndex(), int(imgMissing));

        QSignalSpy removed(&nodes, &QAbstractItemModel::rowsRemoved);
        cat.history().stack().undo();
        QCOMPARE(nodes.count(), before);
        QCOMPARE(removed.size(), 1);
        inserted.clear();
        cat.history().stack().redo();
        QCOMPARE(nodes.count(), before + 1 + 20 * 53);
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(changed.size(), 0);
    }

    void exportWritesTheFormat()
    {
        Catalogue cat;
        cat.createMakerCategory();
        TreeNode* work = cat.addCategoryNode(nullptr, "Work & <Play>");
        cat.nodes().editRecord(work, [](NodeInfo& i) { i.comments = "quoted \"comment\""; });
        cat.addLinkNode("https://example.org/?a=1&b='2'", work, "Site", true);
        cat.addLinkNode("someone@example.org", work, "Mail", true);
        cat.addLinkNode("/srv/My papers/a#1.txt", work, "", false);
        BookmarkExportCount count;
        const QByteArray html =
            bookmarkHtml(cat.nodes(), nullptr, cat.makerCategory(), "All", &count);
        QCOMPARE(count.folders, 1);
        QCOMPARE(count.links, 3);
        QVERIFY(html.startsWith("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"));
        QVERIFY(html.contains("<TITLE>All</TITLE>"));
        QVERIFY(
            html.contains("    <DT><H3>Work &amp; &lt;Play&gt;</H3>\n"
                          "    <DD>quoted &quot;comment&quot;\n"
                          "    <DL><p>\n"
                          "        <DT><A HREF=\"https://example.org/?a=1&amp;b=&#39;2&#39;\">"
                          "Site</A>\n"
                          "        <DT><A HREF=\"mailto:someone@example.org\">Mail</A>\n"
                          "        <DT><A HREF=\"file:///srv/My%20papers/a%231.txt\">a#1.txt</A>\n"
                          "    </DL><p>\n"));
        QVERIFY(!html.contains("Velmarch")); // the built-in category stays out
        QVERIFY(html.endsWith("</DL><p>\n"));
    }

    // Import, export, import again gives the same tree; so does exporting a
    // catalogue and reading it back.
    void roundTrip()
    {
        for (const QByteArray& source :
             {sample("firefox-bookmarks.html"), sample("chromium-bookmarks.html")}) {
            Catalogue cat;
            TreeNode* first = fileBookmarks(cat, parseBookmarks(source), "First");
            const BookmarkList again =
                parseBookmarks(bookmarkHtml(cat.nodes(), first, nullptr, "Again"));
            QCOMPARE(again.title, QString("Again"));
            TreeNode* second = fileBookmarks(cat, again, "Second");
            QCOMPARE(dump(second), dump(first));
        }

        const QString doc = path("round/report.txt"), dir = path("round/sub dir");
        QDir().mkpath(dir);
        QVERIFY(TestUtil::writeFile(doc, "x"));
        Catalogue cat;
        TreeNode* top = cat.addCategoryNode(nullptr, "Top");
        TreeNode* inner = cat.addCategoryNode(top, "Inner");
        cat.nodes().editRecord(inner, [](NodeInfo& i) { i.comments = "inner note"; });
        cat.addLinkNode(doc, inner, "", false);
        cat.addLinkNode(dir, inner, "", false);
        cat.addLinkNode("someone@example.org", top, "Mail", true);
        cat.addLinkNode("https://example.org/a b?c=<d>&e", top, "Odd address", true);
        cat.addCategoryNode(top, "");
        // An untitled link to a file whose name starts with blanks is named
        // as its title would come back.
        const QString spaced = path("round/  spaced.txt");
        QVERIFY(TestUtil::writeFile(spaced, "x"));
        TreeNode* untitled = fileBookmarks(cat,
                                           parseBookmarks("<DL><p><DT><A HREF=\"" +
                                                          QUrl::fromLocalFile(spaced).toEncoded() +
                                                          "\"></A></DL><p>"),
                                           "Untitled");
        QCOMPARE(untitled->getFirstChild()->text(), QString("spaced.txt"));
        TreeNode* untitledBack = fileBookmarks(
            cat, parseBookmarks(bookmarkHtml(cat.nodes(), untitled, nullptr, "Untitled")), "B");
        QCOMPARE(dump(untitledBack), dump(untitled));
        TreeNode* back = fileBookmarks(
            cat, parseBookmarks(bookmarkHtml(cat.nodes(), top, nullptr, "Top")), "Back");
        QCOMPARE(dump(back), dump(top));
    }

    void importCommandFilesANewCategory()
    {
        auto w = start(TestUtil::catalogueLine("Mine", 0, {}, "1"));
        Catalogue& cat = w->catalogue();
        const QString file = path("ff.html");
        QVERIFY(TestUtil::writeFile(file, sample("firefox-bookmarks.html")));
        TestUtil::MessageAnswers answers(QMessageBox::Ok);
        TestUtil::ScopedOverride pick(
            BrowserBookmarks::pickPathHook(),
            [&](bool save, const QString&, const QString&) { return save ? QString() : file; });
        const int roots = cat.nodes().rootCount();
        w->findChild<QAction*>("acImportBookmarks")->trigger();
        QCOMPARE(cat.nodes().rootCount(), roots + 1);
        TreeNode* top = cat.nodes().rootItem(roots);
        QCOMPARE(top->text(), QString("Bookmarks"));
        QCOMPARE(top->count(), 3);
        QCOMPARE(w->findChild<CategoryView*>()->currentNode(), top);
        QVERIFY(w->findChild<QTreeView*>("DocsTree")->isExpanded(cat.nodes().indexOf(top)));
        QCOMPARE(answers.asked.size(), 1);
        QVERIFY2(answers.asked[0].contains("5 bookmarks in 3 folders") &&
                     answers.asked[0].contains("2 place: and javascript: addresses"),
                 qPrintable(answers.asked[0]));

        // A file that is no bookmark file: an error, and nothing filed.
        QVERIFY(TestUtil::writeFile(file, "just text"));
        answers.asked.clear();
        w->findChild<QAction*>("acImportBookmarks")->trigger();
        QCOMPARE(cat.nodes().rootCount(), roots + 1);
        QCOMPARE(answers.asked.size(), 1);
        QVERIFY(answers.asked[0].contains("is not a bookmark file"));
    }

    // The import is one step: undo takes the filed category away again
    // (tree, list and saved file as before it), redo files it once more.
    void importGoesBackAndForthAsOneStep()
    {
        auto w = start(TestUtil::catalogueLine("Mine", 0, {}, "1") +
                       TestUtil::catalogueLine("Site", 1, "https://example.org/", "4"));
        Catalogue& cat = w->catalogue();
        auto* view = w->findChild<CategoryView*>();
        const QByteArray before = TestUtil::saveAndRead(cat);
        const QString file = path("undo.html");
        QVERIFY(TestUtil::writeFile(file, sample("firefox-bookmarks.html")));
        TestUtil::MessageAnswers answers(QMessageBox::Ok);
        TestUtil::ScopedOverride pick(
            BrowserBookmarks::pickPathHook(),
            [&](bool save, const QString&, const QString&) { return save ? QString() : file; });
        QAction* undo = w->findChild<QAction*>("acUndo");
        QAction* redo = w->findChild<QAction*>("acRedo");
        w->findChild<QAction*>("acImportBookmarks")->trigger();
        TreeNode* top = rootNamed(cat, "Bookmarks");
        QVERIFY(top);
        const QStringList filed = dump(top);
        const QByteArray imported = TestUtil::saveAndRead(cat);
        QCOMPARE(undo->text(), QString("Undo Import bookmarks \"Bookmarks\""));

        undo->trigger();
        QVERIFY(!rootNamed(cat, "Bookmarks"));
        QVERIFY(!undo->isEnabled());
        if (TreeNode* listed = view->listedNode())
            QCOMPARE(TestUtil::listedTexts(*w), TestUtil::childTexts(listed));
        QCOMPARE(TestUtil::saveAndRead(cat), before);

        redo->trigger();
        top = rootNamed(cat, "Bookmarks");
        QVERIFY(top);
        QCOMPARE(dump(top), filed);
        view->listCategory(top);
        QCOMPARE(TestUtil::listedTexts(*w), TestUtil::childTexts(top));
        QCOMPARE(TestUtil::saveAndRead(cat), imported);
        QCOMPARE(undo->text(), QString("Undo Import bookmarks \"Bookmarks\""));
    }

    void exportCommandAsksWhatToWrite()
    {
        auto w = start(TestUtil::catalogueLine("Mine", 0, {}, "1") +
                       TestUtil::catalogueLine("Site", 1, "https://example.org/", "4") +
                       TestUtil::catalogueLine("Other", 0, {}, "1") +
                       TestUtil::catalogueLine("Elsewhere", 1, "https://example.net/", "4"));
        Catalogue& cat = w->catalogue();
        auto* tree = w->findChild<QTreeView*>("DocsTree");
        tree->setFocus();
        TreeNode* site = rootNamed(cat, "Mine")->getFirstChild();
        tree->setCurrentIndex(cat.nodes().indexOf(site));
        QString suggested;
        QString chosen = path("out/mine"); // no suffix: ".html" is added
        QDir().mkpath(path("out"));
        TestUtil::ScopedOverride pick(BrowserBookmarks::pickPathHook(),
                                      [&](bool save, const QString&, const QString& s) {
                                          suggested = s;
                                          return save ? chosen : QString();
                                      });
        QAction* exportAction = w->findChild<QAction*>("acExportBookmarks");

        TestUtil::MessageAnswers answers(QMessageBox::Yes); // only the entry's category
        exportAction->trigger();
        QVERIFY(answers.asked.value(0).contains("Export only the category \"Mine\"?"));
        QVERIFY(suggested.endsWith("/Mine.html"));
        QByteArray html = TestUtil::readFile(chosen + ".html");
        QVERIFY(html.contains("<TITLE>Mine</TITLE>") && html.contains("example.org"));
        QVERIFY(!html.contains("example.net"));

        answers.fallback = QMessageBox::No; // the whole catalogue, without the built-in category
        chosen = path("out/all.htm");
        exportAction->trigger();
        html = TestUtil::readFile(chosen);
        QVERIFY(html.contains("<DT><H3>Mine</H3>") && html.contains("<DT><H3>Other</H3>"));
        QVERIFY(!html.contains("Velmarch"));

        answers.fallback = QMessageBox::Cancel;
        chosen = path("out/never.html");
        exportAction->trigger();
        QVERIFY(!QFile::exists(chosen));
    }
};

QTEST_MAIN(TestBookmarks)
#include "tst_bookmarks.moc"
