// The catalogue file: writer and reader agreeing byte for byte, the reader's
// rules for levels, line ends and encodings, the damaged-file copy, the
// atomic save, the built-in category and the legacy import.
#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueFile.h"
#include "utils/TextUtils.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <csignal>
#include <sys/resource.h>

#include "testutil/TestUtil.h"

namespace
{

using TestUtil::FileSizeLimit;
using TestUtil::loadError;
using TestUtil::raw;

// One catalogue line as the writer makes it.
QByteArray line(const QByteArray& name, const QByteArray& level, const QByteArray& path = {},
                const QByteArray& comments = {}, const QByteArray& kind = "1",
                const QByteArray& additional = {})
{
    QByteArray out = name;
    for (const QByteArray* field : {&level, &path, &comments, &kind, &additional}) {
        out += '\0';
        out += *field;
    }
    return out + "\r\n";
}

void put(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray slurp(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return "<cannot open>";
    return f.readAll();
}

struct Env {
    QTemporaryDir dir;
    Catalogue cat;
    Env() { cat.setDataFolder(dir.path()); }
    QString path(const QString& name) const { return dir.filePath(name); }
    QString dat() const { return cat.dataFile(false); }
    QStringList files() const
    {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }
};

// The user's tree, one "level|text|path|comment|kind|additional" per node in
// full order, without the built-in category.
QStringList dump(Catalogue& cat)
{
    QStringList out;
    for (TreeNode* n = cat.nodes().getFirstNode(); n; n = n->getNext()) {
        if (cat.makerCategory() && n->isUnder(cat.makerCategory()))
            continue;
        const NodeInfo* i = n->data();
        if (!i) {
            out << QStringLiteral("%1|%2|<no record>").arg(n->level()).arg(n->text());
            continue;
        }
        out << QString::number(n->level()) + u'|' + n->text() + u'|' + i->fullName + u'|' +
                   i->comments + u'|' + i->getsKind() + u'|' + i->sAdditional;
    }
    return out;
}

// Level and text only.
QStringList outline(Catalogue& cat)
{
    QStringList out;
    for (const QString& row : dump(cat))
        out << row.section(u'|', 0, 0) + u' ' + row.section(u'|', 1, 1);
    return out;
}

void checkMakerCategoryFirst(Catalogue& cat)
{
    QVERIFY(cat.makerCategory());
    QCOMPARE(cat.nodes().getFirstNode(), cat.makerCategory());
    QCOMPARE(cat.makerCategory()->text(), QStringLiteral("Velmarch"));
    QCOMPARE(cat.makerCategory()->count(), 3);
    QCOMPARE(cat.makerCategory()->item(0)->text(), QStringLiteral("Velmarch at the Web"));
    QCOMPARE(cat.makerCategory()->item(1)->text(), QStringLiteral("Quillmere at the Web"));
    QCOMPARE(cat.makerCategory()->item(2)->text(), QStringLiteral("FAQ at the Web"));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(cat.makerCategory()->item(i)->data()->kind, NodeKind::Url);
}

} // namespace

class TestCatalogueFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // ---- writer and reader together ----

    void roundTripKeepsEverything()
    {
        Env env;
        Catalogue& cat = env.cat;
        QVERIFY(QDir(env.dir.path()).mkpath(QStringLiteral("docs/Sub folder")));
        const QString report = env.path(QStringLiteral("docs/Bericht über 日本.txt"));
        const QString plain = env.path(QStringLiteral("docs/plain.txt"));
        const QString folder = env.path(QStringLiteral("docs/Sub folder"));
        const QString gone = env.path(QStringLiteral("docs/gone.odt"));
        put(report, "r");
        put(plain, "p");

        TreeNode* work = cat.addCategoryNode(nullptr, QStringLiteral("Work"));
        work->data()->comments = QStringLiteral("mine");
        work->data()->sAdditional = QStringLiteral("A-1");
        TreeNode* sub = cat.addCategoryNode(work, QStringLiteral("Ünter Kategorie ✓"));
        TreeNode* nameless = cat.addCategoryNode(sub, QString());
        TreeNode* doc = cat.addLinkNode(report, nameless, QString(), false);
        doc->data()->comments = QStringLiteral("Комментарий");
        doc->data()->sAdditional = QStringLiteral("€ 12,50");
        TreeNode* dir = cat.addLinkNode(folder, nameless, QString(), false);
        dir->data()->sAdditional = QStringLiteral("x");
        cat.addLinkNode(gone, sub, QString(), false)->data()->comments = QStringLiteral("lost");
        cat.addLinkNode(QStringLiteral("https://example.org/ä?q=1&r=2"), sub,
                        QStringLiteral("Exämple"), true);
        cat.addLinkNode(QStringLiteral("mailto:someone@example.org"), work, QString(), true);
        TreeNode* home = cat.addCategoryNode(nullptr, QStringLiteral("Home"));
        cat.addLinkNode(plain, home, QString(), false);
        cat.addCategoryNode(home, QStringLiteral("Empty category"));
        cat.setTopCategory(work);
        cat.createMakerCategory();

        QStringList expected = dump(cat);
        // A hyperlink without a name comes back named by its address.
        const int mailRow =
            int(expected.indexOf(QStringLiteral("1||mailto:someone@example.org||4|")));
        QVERIFY(mailRow >= 0);
        expected[mailRow] =
            QStringLiteral("1|mailto:someone@example.org|mailto:someone@example.org||4|");
        QCOMPARE(expected.size(), 11);

        QVERIFY(!cat.dataSaved());
        cat.saveData(false);
        QVERIFY(cat.dataSaved());
        checkMakerCategoryFirst(cat); // left out of the file, kept in the tree
        const QByteArray bytes = slurp(env.dat());
        QVERIFY(!bytes.contains("Velmarch"));
        QVERIFY(!bytes.contains("velmarch.example"));
        QCOMPARE(bytes.count("\r\n"), 11);

        Env other;
        other.cat.setDataFolder(env.dir.path());
        QVERIFY(other.cat.loadData(false));
        QCOMPARE(dump(other.cat), expected);
        checkMakerCategoryFirst(other.cat);
        QVERIFY(other.cat.topCategory());
        QCOMPARE(other.cat.topCategory()->text(), QStringLiteral("Work"));
        QCOMPARE(other.cat.nodes().rootItem(1), other.cat.topCategory());
        QCOMPARE(other.cat.nodes().rootCount(), 3);

        // Images: one shell icon per type of existing document or folder, in
        // both lists (the two text files share theirs).
        int fileTypeIcons = 0;
        for (TreeNode* n = other.cat.nodes().getFirstNode(); n; n = n->getNext()) {
            switch (n->data()->kind) {
            case NodeKind::Category:
                QCOMPARE(n->imageIndex(), int(imgCategory));
                break;
            case NodeKind::Url:
                QCOMPARE(n->imageIndex(), int(imgHyperlink));
                break;
            default:
                if (n->data()->fullName == gone) {
                    QCOMPARE(n->imageIndex(), int(imgMissing));
                } else {
                    QVERIFY(n->imageIndex() >= FixedImageCount);
                    ++fileTypeIcons;
                }
            }
            QCOMPARE(n->selectedIndex(), n->imageIndex());
        }
        QCOMPARE(fileTypeIcons, 3);
        QCOMPARE(other.cat.images().small.count(), FixedImageCount + 2);
        QCOMPARE(other.cat.images().large.count(), FixedImageCount + 2);

        // Saving what was loaded gives the same bytes again, but for the name
        // the nameless hyperlink took from its address.
        QByteArray again = bytes;
        again.replace(raw("\r\n\0"
                          "1\0"
                          "mailto:"),
                      raw("\r\n"
                          "mailto:someone@example.org\0"
                          "1\0"
                          "mailto:"));
        other.cat.saveData(false);
        QCOMPARE(slurp(env.dat()), again);
    }

    void writesExactBytes()
    {
        Env env;
        Catalogue& cat = env.cat;
        TreeNode* work = cat.addCategoryNode(nullptr, QStringLiteral("Work"));
        work->data()->comments = QStringLiteral("mine");
        cat.createMakerCategory();
        cat.saveData(false);
        QCOMPARE(slurp(env.dat()), raw("Work\0"
                                       "0\0"
                                       "\0"
                                       "mine\0"
                                       "1\0"
                                       "\r\n"));

        TreeNode* links = cat.addCategoryNode(work, QStringLiteral("Café"));
        TreeNode* site = cat.addLinkNode(QStringLiteral("https://example.org/"), links,
                                         QStringLiteral("Site"), true);
        site->data()->comments = QStringLiteral("note");
        site->data()->sAdditional = QStringLiteral("x");
        cat.addLinkNode(QStringLiteral("/nonexistent/a b.txt"), work, QString(), false);
        cat.nodes().addChild(nullptr, QStringLiteral("Bare")); // a node without a record
        cat.saveData(true);
        QCOMPARE(slurp(cat.dataFile(true)), raw("Work\0"
                                                "0\0"
                                                "\0"
                                                "mine\0"
                                                "1\0"
                                                "\r\n"
                                                "Caf\xc3\xa9\0"
                                                "1\0"
                                                "\0"
                                                "\0"
                                                "1\0"
                                                "\r\n"
                                                "Site\0"
                                                "2\0"
                                                "https://example.org/\0"
                                                "note\0"
                                                "4\0"
                                                "x\r\n"
                                                "a b.txt\0"
                                                "1\0"
                                                "/nonexistent/a b.txt\0"
                                                "\0"
                                                "2\0"
                                                "\r\n"
                                                "Bare\0"
                                                "0\0"
                                                "\0"
                                                "\0"
                                                "0\0"
                                                "\r\n"));
    }

    void builtInCategoryIsNeverSaved()
    {
        Env env;
        Catalogue& cat = env.cat;
        TreeNode* work = cat.addCategoryNode(nullptr, QStringLiteral("Work"));
        cat.setTopCategory(work);
        cat.createMakerCategory();
        // Whatever ends up inside the built-in category goes with it.
        cat.nodes().addChild(cat.makerCategory(), QStringLiteral("Sneaked in"));
        cat.addLinkNode(QStringLiteral("https://www.velmarch.example/more"), cat.makerCategory(),
                        QStringLiteral("More"), true);
        QCOMPARE(cat.makerCategory()->count(), 5);

        cat.saveData(true);
        QVERIFY(cat.dataSaved());
        QVERIFY(!QFile::exists(env.dat()));
        const QByteArray backup = slurp(cat.dataFile(true));
        QCOMPARE(backup, raw("Work\0"
                             "0\0"
                             "\0"
                             "\0"
                             "1\0"
                             "\r\n"));
        // The run goes on with the built-in category as it was.
        QCOMPARE(cat.makerCategory()->count(), 5);
        QCOMPARE(cat.nodes().getFirstNode(), cat.makerCategory());
        QCOMPARE(cat.nodes().rootCount(), 2);
        QCOMPARE(cat.topCategory(), work);

        // The backup reads back into the same tree.
        cat.setDataSaved(false);
        QVERIFY(cat.loadData(true));
        QCOMPARE(outline(cat), QStringList{"0 Work"});
        checkMakerCategoryFirst(cat);
        QCOMPARE(cat.topCategory(), cat.nodes().rootItem(1));

        // The final save leaves it out too, wherever it stands.
        cat.nodes().moveTo(cat.makerCategory(), cat.topCategory(), 0);
        cat.saveData(false);
        QCOMPARE(slurp(env.dat()), backup);
    }

    void lineBreaksNeverReachTheFile()
    {
        Env env;
        Catalogue& cat = env.cat;
        TreeNode* a = cat.addCategoryNode(nullptr, QStringLiteral("two\nlines"));
        a->data()->comments = QStringLiteral("first\r\n\r\nsecond");
        a->data()->sAdditional = QStringLiteral("x") + QChar(0) + QStringLiteral("y\r");
        TreeNode* u =
            cat.addLinkNode(QStringLiteral("https://example.org/"), a, QStringLiteral("U"), true);
        u->data()->fullName = QStringLiteral("https://example.org/\npath"); // set behind the checks
        cat.nodes().setText(u, QStringLiteral("U") + QChar(0) + QStringLiteral("V"));
        cat.saveData(false);

        const QByteArray bytes = slurp(env.dat());
        QCOMPARE(bytes.count("\r\n"), 2);
        QCOMPARE(bytes.count('\r'), 2);
        QCOMPARE(bytes.count('\n'), 2);
        QCOMPARE(bytes.count('\0'), 10);

        Env other;
        other.cat.setDataFolder(env.dir.path());
        QVERIFY(other.cat.loadData(false));
        QCOMPARE(dump(other.cat), (QStringList{"0|two lines||first second|1|xy ",
                                               "1|UV|https://example.org/ path||4|"}));
    }

    // ---- reader rules ----

    void levels_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("tree"); // level and text of what is read
        QTest::addColumn<QString>("error");    // empty: the file reads to its end

        QTest::newRow("nesting") << line("A", "0") + line("B", "1") + line("C", "1") +
                                        line("D", "2") + line("E", "0")
                                 << QStringList{"0 A", "1 B", "1 C", "2 D", "0 E"} << QString();
        QTest::newRow("drop by several steps")
            << line("A", "0") + line("B", "1") + line("C", "2") + line("D", "3") + line("E", "1") +
                   line("F", "2") + line("G", "3") + line("H", "0")
            << QStringList{"0 A", "1 B", "2 C", "3 D", "1 E", "2 F", "3 G", "0 H"} << QString();
        QTest::newRow("first line at level 3") << line("A", "3") + line("B", "1") + line("C", "0")
                                               << QStringList{"0 A", "1 B", "0 C"} << QString();
        QTest::newRow("first line at level 3, next at 3")
            << line("A", "3") + line("B", "3") << QStringList{"0 A"}
            << QStringLiteral("Invalid level (3) for item \"B\"");
        QTest::newRow("jump of two")
            << line("A", "0") + line("B", "1") + line("C", "3") + line("D", "0")
            << QStringList{"0 A", "1 B"} << QStringLiteral("Invalid level (3) for item \"C\"");
        QTest::newRow("jump at the second line")
            << line("A", "0") + line("Zwölf", "2") << QStringList{"0 A"}
            << QStringLiteral("Invalid level (2) for item \"Zwölf\"");
        QTest::newRow("negative level") << line("A", "0") + line("B", "-1") << QStringList{"0 A"}
                                        << QStringLiteral("Invalid level (-1) for item \"B\"");
        QTest::newRow("negative first level")
            << line("A", "-2") + line("B", "0") << QStringList{}
            << QStringLiteral("Invalid level (-2) for item \"A\"");
        QTest::newRow("level is no integer") << line("A", "0") + line("B", "1x") + line("C", "0")
                                             << QStringList{"0 A"} << QStringLiteral("1x");
        QTest::newRow("level out of range") << line("A", "0") + line("B", "4294967296")
                                            << QStringList{"0 A"} << QStringLiteral("4294967296");
        QTest::newRow("empty level")
            << line("A", "0") + line("B", "") << QStringList{"0 A"} << QStringLiteral("''");
        QTest::newRow("blank line") << line("A", "0") + "\r\n" + line("B", "0")
                                    << QStringList{"0 A"} << QStringLiteral("''");
        QTest::newRow("no separators") << line("A", "0") + "just text\r\n"
                                       << QStringList{"0 A"} << QStringLiteral("just text");
    }
    void levels()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, tree);
        QFETCH(QString, error);
        Env env;
        put(env.dat(), file);
        env.cat.nodes().addChild(nullptr, QStringLiteral("No category"));
        const QString text = loadError(env.cat);
        QCOMPARE(outline(env.cat), tree);
        checkMakerCategoryFirst(env.cat);
        const QString aside = env.dat() + QStringLiteral(".damaged");
        if (error.isEmpty()) {
            QCOMPARE(text, QString());
            QCOMPARE(env.cat.topCategory(), env.cat.nodes().rootItem(1));
            QVERIFY(!QFile::exists(aside));
            return;
        }
        QVERIFY2(text.contains(error), qPrintable(text));
        // The unreadable file is kept whole, and the message says where.
        QVERIFY2(text.contains(aside), qPrintable(text));
        QCOMPARE(slurp(aside), file);
        QCOMPARE(slurp(env.dat()), file);
    }

    void damagedCopiesNeverOverwriteEachOther()
    {
        Env env;
        const QString aside = env.dat() + QStringLiteral(".damaged");
        const QByteArray first = line("A", "0") + line("B", "2");
        const QByteArray second = line("X", "0") + line("Y", "z");
        const QByteArray third = line("Q", "-1");
        put(env.dat(), first);
        QVERIFY(loadError(env.cat).contains(aside));
        put(env.dat(), second);
        QString text = loadError(env.cat);
        QVERIFY2(text.contains(aside + QStringLiteral(".1")), qPrintable(text));
        put(env.dat(), third);
        text = loadError(env.cat);
        QVERIFY2(text.contains(aside + QStringLiteral(".2")), qPrintable(text));
        QCOMPARE(slurp(aside), first);
        QCOMPARE(slurp(aside + QStringLiteral(".1")), second);
        QCOMPARE(slurp(aside + QStringLiteral(".2")), third);
        checkMakerCategoryFirst(env.cat);
        QCOMPARE(env.cat.nodes().rootCount(), 1);
    }

    void emptyFile_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("zero bytes") << QByteArray();
        QTest::newRow("end-of-file mark") << QByteArray("\x1a");
        QTest::newRow("end-of-file mark before lines") << QByteArray("\x1a") + line("A", "0");
    }
    void emptyFile()
    {
        QFETCH(QByteArray, file);
        Env env;
        put(env.dat(), file);
        env.cat.nodes().addChild(nullptr, QStringLiteral("No category"));
        QVERIFY(env.cat.loadData(false));
        QCOMPARE(env.cat.nodes().rootCount(), 1);
        checkMakerCategoryFirst(env.cat);
        QCOMPARE(env.cat.topCategory(), nullptr);
    }

    void missingFileLeavesTreeAlone()
    {
        Env env;
        TreeNode* n = env.cat.nodes().addChild(nullptr, QStringLiteral("No category"));
        QVERIFY(!env.cat.loadData(false));
        QVERIFY(!env.cat.loadData(true));
        QCOMPARE(env.cat.nodes().count(), 1);
        QCOMPARE(env.cat.nodes().getFirstNode(), n);
        QCOMPARE(env.cat.makerCategory(), nullptr);
    }

    void lineEnds_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("tree"); // dump() rows
        const QByteArray a = line("A", "0");
        QTest::newRow("last line without line end") << a + raw("B\0"
                                                               "0\0"
                                                               "\0"
                                                               "c\0"
                                                               "1\0"
                                                               "add")
                                                    << QStringList{"0|A|||1|", "0|B||c|1|add"};
        QTest::newRow("last line ends in CR only") << a + raw("B\0"
                                                              "0\0"
                                                              "\0"
                                                              "\0"
                                                              "1\0"
                                                              "\r")
                                                   << QStringList{"0|A|||1|", "0|B|||1|"};
        QTest::newRow("end-of-file mark between lines")
            << a + "\x1a" + line("B", "0") << QStringList{"0|A|||1|"};
        QTest::newRow("end-of-file mark inside a line") << a +
                                                               raw("B\0"
                                                                   "0\0"
                                                                   "\0"
                                                                   "\0"
                                                                   "1\0"
                                                                   "ad\x1a"
                                                                   "junk\r\n") +
                                                               line("C", "0")
                                                        << QStringList{"0|A|||1|", "0|B|||1|ad"};
        QTest::newRow("lone CR ends a line") << raw("A\0"
                                                    "0\0"
                                                    "\0"
                                                    "\0"
                                                    "1\0"
                                                    "\r"
                                                    "B\0"
                                                    "1\0"
                                                    "\0"
                                                    "\0"
                                                    "1\0"
                                                    "\r")
                                             << QStringList{"0|A|||1|", "1|B|||1|"};
        // Files edited on Linux often end their lines in LF alone.
        QTest::newRow("LF-only line ends") << raw("A\0"
                                                  "0\0"
                                                  "\0"
                                                  "\0"
                                                  "1\0"
                                                  "\n"
                                                  "B\0"
                                                  "1\0"
                                                  "\0"
                                                  "c\0"
                                                  "1\0"
                                                  "x\n")
                                           << QStringList{"0|A|||1|", "1|B||c|1|x"};
        QTest::newRow("CR LF, LF and CR mixed")
            << a + raw("B\0"
                       "0\0"
                       "\0"
                       "\0"
                       "1\0"
                       "\n"
                       "C\0"
                       "0\0"
                       "\0"
                       "\0"
                       "1\0"
                       "\r"
                       "D\0"
                       "0\0"
                       "\0"
                       "\0"
                       "1\0")
            << QStringList{"0|A|||1|", "0|B|||1|", "0|C|||1|", "0|D|||1|"};
        QTest::newRow("fewer than six fields")
            << raw("Cat\0"
                   "0\0"
                   "\0"
                   "c\0"
                   "1\r\n") +
                   raw("Odd\0"
                       "0\0"
                       "noseparator\r\n")
            << QStringList{"0|Cat||c|1|1", "0|Odd|noseparator|noseparator|2|noseparator"};
        QTest::newRow("more than six fields") << raw("A\0"
                                                     "0\0"
                                                     "\0"
                                                     "\0"
                                                     "1\0"
                                                     "add\0"
                                                     "more\0"
                                                     "\r\n")
                                              << QStringList{"0|A|||1|add"};
    }
    void lineEnds()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, tree);
        Env env;
        put(env.dat(), file);
        QCOMPARE(loadError(env.cat), QString());
        QCOMPARE(dump(env.cat), tree);
        checkMakerCategoryFirst(env.cat);
    }

    void kindCodes_data()
    {
        QTest::addColumn<QByteArray>("code");
        QTest::addColumn<QString>("target"); // file, folder, gone, link, dangling, or an address
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("image"); // -1: a shell icon
        QTest::newRow("2 for a folder")
            << QByteArray("2") << "folder" << int(NodeKind::Folder) << -1;
        QTest::newRow("3 for a file") << QByteArray("3") << "file" << int(NodeKind::Doc) << -1;
        QTest::newRow("3 for a gone folder")
            << QByteArray("3") << "gone" << int(NodeKind::Doc) << int(imgMissing);
        QTest::newRow("2 for a gone file")
            << QByteArray("2") << "gone" << int(NodeKind::Doc) << int(imgMissing);
        QTest::newRow("0 for a file") << QByteArray("0") << "file" << int(NodeKind::Doc) << -1;
        QTest::newRow("0 for a folder")
            << QByteArray("0") << "folder" << int(NodeKind::Folder) << -1;
        QTest::newRow("x for a folder")
            << QByteArray("x") << "folder" << int(NodeKind::Folder) << -1;
        QTest::newRow("empty code") << QByteArray("") << "file" << int(NodeKind::Doc) << -1;
        QTest::newRow("11") << QByteArray("11") << "file" << int(NodeKind::Doc) << -1;
        QTest::newRow("4 with a blank") << QByteArray("4 ") << "file" << int(NodeKind::Doc) << -1;
        QTest::newRow("link to a file") << QByteArray("2") << "link" << int(NodeKind::Doc) << -1;
        QTest::newRow("dangling link")
            << QByteArray("2") << "dangling" << int(NodeKind::Doc) << int(imgMissing);
        QTest::newRow("1 ignores the path")
            << QByteArray("1") << "file" << int(NodeKind::Category) << int(imgCategory);
        QTest::newRow("4 keeps a path as address")
            << QByteArray("4") << "file" << int(NodeKind::Url) << int(imgHyperlink);
    }
    void kindCodes()
    {
        QFETCH(QByteArray, code);
        QFETCH(QString, target);
        QFETCH(int, kind);
        QFETCH(int, image);
        Env env;
        QVERIFY(QDir(env.dir.path()).mkdir(QStringLiteral("folder")));
        put(env.path(QStringLiteral("file")), "f");
        QVERIFY(QFile::link(env.path(QStringLiteral("file")), env.path(QStringLiteral("link"))));
        QVERIFY(
            QFile::link(env.path(QStringLiteral("nothing")), env.path(QStringLiteral("dangling"))));
        const QString path = env.path(target);
        put(env.dat(), line("Top", "0") + line("Entry", "1", path.toUtf8(), "c", code, "a"));
        QVERIFY(env.cat.loadData(false));
        TreeNode* node = env.cat.topCategory()->item(0);
        QCOMPARE(node->text(), QStringLiteral("Entry"));
        QCOMPARE(int(node->data()->kind), kind);
        QCOMPARE(node->data()->fullName, kind == int(NodeKind::Category) ? QString() : path);
        QCOMPARE(node->data()->comments, QStringLiteral("c"));
        QCOMPARE(node->data()->sAdditional, QStringLiteral("a"));
        if (image < 0) {
            QCOMPARE(node->imageIndex(), int(FixedImageCount));
            QCOMPARE(env.cat.images().large.count(), FixedImageCount + 1);
        } else {
            QCOMPARE(node->imageIndex(), image);
            QCOMPARE(env.cat.images().large.count(), int(FixedImageCount));
        }
    }

    void hyperlinkWithoutNameShowsAddress()
    {
        Env env;
        put(env.dat(),
            line("", "0", "https://example.org/x", "", "4") + line("", "0", "", "", "1"));
        QVERIFY(env.cat.loadData(false));
        QCOMPARE(dump(env.cat),
                 (QStringList{"0|https://example.org/x|https://example.org/x||4|", "0||||1|"}));
    }

    void singleByteLinesDecodePerLine()
    {
        Env env;
        put(env.dat(), raw("Caf\xe9\0"
                           "0\0"
                           "\0"
                           "5 \x80 \x93q\x94\0"
                           "1\0"
                           "\xe4\r\n" // Windows-1252
                           "Caf\xc3\xa9\0"
                           "1\0"
                           "\0"
                           "\xe2\x82\xac\0"
                           "1\0"
                           "\r\n" // UTF-8
                           "\xc3\xa9 and \xe9\0"
                           "1\0"
                           "\0"
                           "\0"
                           "1\0"
                           "\r\n" // mixed: not UTF-8
                           "\xc3\0"
                           "1\0"
                           "\0"
                           "\0"
                           "1\0"
                           "\r\n" // cut sequence
                           "\xed\xa0\x80\0"
                           "1\0"
                           "\0"
                           "\0"
                           "1\0"
                           "\r\n" // encoded surrogate
                           "\xc0\xaf\0"
                           "1\0"
                           "\0"
                           "\0"
                           "1\0"
                           "\r\n" // overlong
                           "A long plain ASCII prefix, then \xe9\0"
                           "1\0"
                           "\0"
                           "\0"
                           "1\0"
                           "\r\n"
                           "A long plain ASCII prefix, then \xc3\xa9\0"
                           "1\0"
                           "\0"
                           "\0"
                           "1\0"
                           "\r\n"
                           "Cut\0"
                           "1\0"
                           "\0"
                           "\0"
                           "1\0"
                           "a long plain ASCII value, cut \xe2\x82")); // at the end
        QVERIFY(env.cat.loadData(false));
        QCOMPARE(dump(env.cat),
                 (QStringList{QStringLiteral("0|Café||5 € “q”|1|ä"), QStringLiteral("1|Café||€|1|"),
                              QStringLiteral("1|Ã© and é|||1|"), QStringLiteral("1|Ã|||1|"),
                              QStringLiteral("1|í\u00a0\u20ac|||1|"), QStringLiteral("1|À¯|||1|"),
                              QStringLiteral("1|A long plain ASCII prefix, then é|||1|"),
                              QStringLiteral("1|A long plain ASCII prefix, then é|||1|"),
                              QStringLiteral("1|Cut|||1|a long plain ASCII value, cut â‚")}));
    }

    // A line's texts share one block of memory, yet each behaves as a
    // string of its own: it ends in a NUL, and changing or growing one (the
    // last holder of the block included) leaves the others as they were.
    void textsOfALineShareOneBlock()
    {
        QString name, path, comment, extra;
        decodeFields({QByteArrayView("\xEF\xBB\xBFName"), QByteArrayView("/p/\xe9"),
                      QByteArrayView(), QByteArrayView("x")},
                     {&name, &path, &comment, &extra});
        QCOMPARE(name, QStringLiteral("\uFEFFName"));
        QCOMPARE(path, QStringLiteral("/p/é")); // Windows-1252 beside UTF-8
        QVERIFY(comment.isNull());
        QCOMPARE(extra, QStringLiteral("x"));
        QCOMPARE(name.utf16()[name.size()], u'\0');
        QCOMPARE(path.utf16()[path.size()], u'\0');
        name.append(QStringLiteral("!!!!!!!!!!"));
        path[0] = u'X';
        QCOMPARE(path, QStringLiteral("Xp/é"));
        QCOMPARE(extra, QStringLiteral("x"));
        const QString copy = extra;
        name = QString();
        path = QString();
        extra += QStringLiteral("grown well past the block's end");
        QCOMPARE(copy, QStringLiteral("x"));
        QCOMPARE(extra, QStringLiteral("xgrown well past the block's end"));
    }

    // A line in a script of several bytes a character (Cyrillic, Chinese)
    // reads right and keeps a block the size of its text, not of its bytes.
    void textsBeyondLatinKeepABlockOfTheirSize()
    {
        const QByteArray name = QStringLiteral("Отчёт 報告書 за год").toUtf8();
        const QByteArray path = QStringLiteral("/дом/文件/отчёт.odt").toUtf8();
        QString n, p, c, a;
        decodeFields(
            {QByteArrayView(name), QByteArrayView(path), QByteArrayView(), QByteArrayView("é")},
            {&n, &p, &c, &a});
        QCOMPARE(n, QString::fromUtf8(name));
        QCOMPARE(p, QString::fromUtf8(path));
        QVERIFY(c.isNull());
        QCOMPARE(a, QStringLiteral("é"));
        QCOMPARE(p.utf16()[p.size()], u'\0');
        const qsizetype units = n.size() + p.size() + a.size() + 3; // with their NULs
        QVERIFY2(n.capacity() <= units + 8, qPrintable(QString::number(n.capacity())));
        p[0] = u'X'; // still a string of its own
        QCOMPARE(n, QString::fromUtf8(name));
    }

    // The reader takes the file in chunks (a power of two up to 4 MiB, so 4 MiB
    // and 8 MiB are chunk ends): a CR LF or a character cut by a chunk's end
    // must read as if it were whole.
    void largeFileAcrossReadChunks()
    {
        constexpr qint64 chunk = qint64(4) << 20;
        QByteArray file;
        file.reserve(int(2 * chunk + (1 << 20)));
        QStringList names;
        int serial = 0;
        const QByteArray filler(150, 'f');
        auto add = [&](const QByteArray& name, int level) {
            file += line(name, QByteArray::number(level));
            names << QString::number(level) + u' ' + QString::fromUtf8(name);
        };
        // Ordinary lines up to near Offset, then one whose name ends so that
        // byte Offset is the line's CR (Tail is the end of its name).
        auto padTo = [&](qint64 offset, const QByteArray& tail) {
            while (file.size() + 1000 < offset) {
                ++serial;
                add("Entry " + QByteArray::number(serial) + ' ' + filler, serial % 3 == 0 ? 1 : 0);
            }
            const qint64 nameLength = offset - file.size() - 7; // NUL 0 NUL NUL NUL 1 NUL
            add(QByteArray(nameLength - tail.size(), 'p') + tail, 0);
            QCOMPARE(file.at(offset), '\r');
        };
        padTo(chunk - 1, "end of the first chunk"); // CR last of chunk 1, LF first of chunk 2
        add("after the split CR LF", 1);
        const QByteArray e = "é";          // two bytes: cut them at the end of chunk 2
        padTo(2 * chunk + 12, e + "tail"); // the name ends 7 bytes before the CR
        QCOMPARE(file.at(2 * chunk - 1), e.at(0));
        QCOMPARE(file.at(2 * chunk), e.at(1));
        add("after the cut character", 1);
        for (int i = 0; i < 1000; ++i)
            add("Late " + QByteArray::number(i), i % 2);
        file.chop(2); // and the last line without its line end
        QVERIFY(file.size() > 2 * chunk);

        Env env;
        put(env.dat(), file);
        std::atomic<int> last{-1};
        std::atomic<bool> backwards{false};
        QObject::connect(
            &env.cat, &Catalogue::loadProgress, &env.cat,
            [&](int p) {
                if (p < last.load() || p > 1000)
                    backwards = true;
                last = p;
            },
            Qt::DirectConnection);
        QVERIFY(env.cat.loadData(false));
        QCOMPARE(outline(env.cat), names);
        QVERIFY(!backwards);
        QVERIFY(last > 950); // line ends are not counted
    }

    // ---- atomic save ----

    void veryDeepNestingSavesAndLoads()
    {
        // The views lay the tree out recursively, so the reader takes 1000
        // levels and no more; a deeper line is malformed and the file is kept.
        Env env;
        QByteArray bytes;
        for (int i = 0; i <= MaxCatalogueDepth; ++i)
            bytes += QByteArray("n\0", 2) + QByteArray::number(i) +
                     QByteArray("\0\0\0"
                                "1\0\r\n",
                                7);
        put(env.dat(), bytes);
        QCOMPARE(loadError(env.cat), QString());
        QCOMPARE(env.cat.nodes().count(), MaxCatalogueDepth + 1 + 4);
        env.cat.saveData(false);
        QCOMPARE(slurp(env.dat()), bytes);

        const QByteArray deeper = bytes + QByteArray("m\0", 2) +
                                  QByteArray::number(MaxCatalogueDepth + 1) +
                                  QByteArray("\0\0\0"
                                             "1\0\r\n",
                                             7);
        Env env2;
        put(env2.dat(), deeper);
        const QString text = loadError(env2.cat);
        QVERIFY2(text.contains(QStringLiteral("Invalid level (1001) for item \"m\"")),
                 qPrintable(text));
        QCOMPARE(slurp(env2.dat() + ".damaged"), deeper);

        // A tree built deeper than that in memory still saves and frees
        // without exhausting the stack.
        env.cat.nodes().clear();
        TreeNode* parent = nullptr;
        constexpr int depth = 300000;
        for (int i = 0; i < depth; ++i)
            parent = env.cat.addCategoryNode(parent, QStringLiteral("n"));
        env.cat.saveData(false);
        QCOMPARE(env.cat.nodes().count(), depth);
        env.cat.nodes().clear();
        QCOMPARE(env.cat.nodes().count(), 0);
    }

    void failedSaveKeepsOldFile()
    {
        Env env;
        Catalogue& cat = env.cat;
        int settingsWritten = 0;
        QObject::connect(&cat, &Catalogue::settingsWriteRequested, [&] { ++settingsWritten; });
        TreeNode* top = cat.addCategoryNode(nullptr, QStringLiteral("Top"));
        cat.saveData(false);
        QCOMPARE(settingsWritten, 1);
        const QByteArray old = slurp(env.dat());
        QCOMPARE(old, line("Top", "0"));
        cat.setDataSaved(false);

        const QByteArray name(200, 'n');
        for (int i = 0; i < 2000; ++i)
            cat.addCategoryNode(top, QString::fromLatin1(name) + QString::number(i));
        {
            // Root may write anywhere, but not past the process's file size limit.
            FileSizeLimit limit(64 * 1024);
            QVERIFY_THROWS_EXCEPTION(CatalogueError, cat.saveData(false));
        }
        QVERIFY(!cat.dataSaved());
        QCOMPARE(settingsWritten, 1); // settings go only with a complete catalogue
        QCOMPARE(slurp(env.dat()), old);
        QCOMPARE(env.files(), QStringList{"quillmere.dat"}); // no half-written file beside it
        QCOMPARE(cat.nodes().count(), 2001);

        // With room again the same save succeeds.
        cat.saveData(false);
        QVERIFY(cat.dataSaved());
        QCOMPARE(settingsWritten, 2);
        QVERIFY(slurp(env.dat()).size() > 64 * 1024);
    }

    void failedBackupKeepsBuiltInCategory()
    {
        Env env;
        Catalogue& cat = env.cat;
        cat.setTopCategory(cat.addCategoryNode(nullptr, QStringLiteral("Top")));
        cat.createMakerCategory();
        QVERIFY(QDir(env.dir.path())
                    .mkdir(QStringLiteral("quillmere.bak"))); // cannot be replaced by a file
        QVERIFY_THROWS_EXCEPTION(CatalogueError, cat.saveData(true));
        QVERIFY(!cat.dataSaved());
        QVERIFY(QFileInfo(cat.dataFile(true)).isDir());
        checkMakerCategoryFirst(cat);
        QCOMPARE(cat.nodes().rootCount(), 2);
    }

    void unwritableFolderFailsSave()
    {
        Env env;
        env.cat.setDataFolder(
            QStringLiteral("/proc")); // no file can be made there, not even by root
        env.cat.addCategoryNode(nullptr, QStringLiteral("Top"));
        QVERIFY_THROWS_EXCEPTION(CatalogueError, env.cat.saveData(false));
        QVERIFY(!env.cat.dataSaved());
        try {
            env.cat.saveData(false);
        } catch (const CatalogueError& e) {
            QVERIFY2(e.text().contains(env.cat.dataFile(false)), qPrintable(e.text()));
        }
    }

    void somethingElseThanAFileIsLeftAlone()
    {
        // A folder (or FIFO, or device behind a link) where the catalogue
        // should be: nothing is read from it, nothing replaces it at the end.
        Env env;
        QVERIFY(QDir(env.dir.path()).mkdir(QStringLiteral("quillmere.dat")));
        TreeNode* n = env.cat.nodes().addChild(nullptr, QStringLiteral("No category"));
        const QString text = loadError(env.cat);
        QVERIFY2(text.contains(QStringLiteral("It is not a regular file.")), qPrintable(text));
        QVERIFY(env.cat.catalogueFileProtected());
        QCOMPARE(env.cat.nodes().rootItem(1),
                 n); // the tree stays, with the built-in category in front
        checkMakerCategoryFirst(env.cat);
        env.cat.saveData(false);
        QVERIFY(QFileInfo(env.dat()).isDir());
    }

    // A file that opens but cannot be read (a failing disk) leaves an empty
    // tree, which the save at the end of the run would write over it.
    void readErrorKeepsFile()
    {
        Env env;
        // Reading at offset 0 of the process's own memory fails with EIO, even for root.
        QVERIFY(QFile::link(QStringLiteral("/proc/self/mem"), env.dat()));
        env.cat.nodes().addChild(nullptr, QStringLiteral("No category"));
        const QString text = loadError(env.cat);
        QVERIFY2(!text.isEmpty(), "a read error must end the load with an error");
        checkMakerCategoryFirst(env.cat);
        const QString aside = env.dat() + QStringLiteral(".damaged");
        QVERIFY2(text.contains(aside), qPrintable(text));
        QVERIFY(!QFileInfo(env.dat()).isSymLink() && QFileInfo(aside).isSymLink());
    }

    // ---- legacy import ----

    void legacyImport()
    {
        Env env;
        const QString real = env.path(QStringLiteral("real file.txt"));
        const QString folder = env.path(QStringLiteral("folder"));
        const QString gone = env.path(QStringLiteral("gone.txt"));
        put(real, "r");
        QVERIFY(QDir(env.dir.path()).mkdir(QStringLiteral("folder")));
        const QByteArray legacy = "Root~~top note\r\n"
                                  "\tReal~" +
                                  real.toUtf8() +
                                  "~c1\r\n"
                                  " Folder~" +
                                  folder.toUtf8() +
                                  "\n"
                                  "\t\tGone~" +
                                  gone.toUtf8() +
                                  "~c2\r"
                                  "\t \tOld~C:\\Docs\\a.txt~old\r\n"
                                  " Web~https://example.org/x~w\r\n"
                                  "  Net~\\\\server\\share~n\n"
                                  "Plain\r\n"
                                  "Caf\xe9~~\xe0 voir\r\n"
                                  "Tail~ftp://files.example/pub";
        put(env.cat.legacyFile(), legacy);
        env.cat.nodes().addChild(nullptr, QStringLiteral("No category"));
        QSignalSpy status(&env.cat, &Catalogue::statusMessage);
        env.cat.importLegacyData();

        QCOMPARE(dump(env.cat), (QStringList{
                                    "0|Root||top note|1|",
                                    "1|Real|" + real + "|c1|2|",
                                    "1|Folder|" + folder + "||3|",
                                    "2|Gone|" + gone + "|c2|2|",
                                    "3|Old|C:\\Docs\\a.txt|old|2|",
                                    "1|Web|https://example.org/x|w|4|",
                                    "2|Net||n|1|",
                                    "0|Plain|||1|",
                                    "0|Café||à voir|1|",
                                    "0|Tail|ftp://files.example/pub||4|",
                                }));
        TreeNode* root = env.cat.nodes().getFirstNode();
        QVERIFY(root->item(0)->imageIndex() >= FixedImageCount);
        QVERIFY(root->item(1)->imageIndex() >= FixedImageCount);
        QCOMPARE(root->item(1)->item(0)->imageIndex(), int(imgMissing));
        QCOMPARE(root->item(1)->item(0)->item(0)->imageIndex(), int(imgMissing));
        QCOMPARE(root->item(2)->imageIndex(), int(imgHyperlink));
        QCOMPARE(root->imageIndex(), int(imgCategory));
        QCOMPARE(env.cat.images().small.count(), FixedImageCount + 2);

        // The legacy file stays; a copy is kept beside it.
        QCOMPARE(slurp(env.cat.legacyFile()), legacy);
        QCOMPARE(slurp(env.path(QStringLiteral("MyDocs.~qmre"))), legacy);
        QVERIFY(!status.isEmpty());
        QCOMPARE(status.first().at(0).toString(), QStringLiteral("Data loading..."));
        QCOMPARE(status.last().at(0).toString(), QString());
    }

    void legacyMissingDocumentAsksForNewLocation()
    {
        Env env;
        put(env.cat.legacyFile(), "Top\n\tLost~/nonexistent/dir/lost.txt~why\n");
        env.cat.nodes().addChild(nullptr, QStringLiteral("No category"));
        QStringList asked;
        env.cat.setNewLocationQuestion(
            [&](const QString& name, const QString& path, TreeNode* node, const QString& comments) {
                asked << name << path << node->text() << comments;
                env.cat.fillDocNode(node, name, path, comments, QString(), true);
                return true;
            });
        env.cat.importLegacyData();
        QCOMPARE(asked, (QStringList{"Lost", "/nonexistent/dir/lost.txt",
                                     "Lost~/nonexistent/dir/lost.txt~why", "why"}));
        QCOMPARE(dump(env.cat),
                 (QStringList{"0|Top|||1|", "1|Lost|/nonexistent/dir/lost.txt|why|2|"}));
    }

    void legacyRelinkMayRemoveTheNode()
    {
        // The relink question can remove the entry (and what hangs below it):
        // the import goes on with the entry after it.
        Env env;
        put(env.cat.legacyFile(),
            "Top\n\tLost~/nonexistent/lost.txt~\n\t\tUnder~~\n\tNext~https://example.org/~\n");
        env.cat.nodes().addChild(nullptr, QStringLiteral("No category"));
        env.cat.setNewLocationQuestion(
            [&](const QString&, const QString&, TreeNode* node, const QString&) {
                env.cat.nodes().deleteNode(node);
                return false;
            });
        env.cat.importLegacyData();
        QCOMPARE(dump(env.cat), (QStringList{"0|Top|||1|", "1|Next|https://example.org/||4|"}));
    }

    void legacyRelinkMayRemoveOtherNodes()
    {
        // While the question is open other nodes may go too: the import goes
        // on from what is left, and never reads a node that went.
        Env env;
        put(env.cat.legacyFile(), "Top\n\tLost~/nonexistent/lost.txt~\n\tGone~https://a.org/~\n"
                                  "\tNext~https://b.org/~\n");
        env.cat.nodes().addChild(nullptr, QStringLiteral("No category"));
        env.cat.setNewLocationQuestion(
            [&](const QString& name, const QString& path, TreeNode* node, const QString&) {
                env.cat.nodes().deleteNode(node->getNextSibling());
                env.cat.fillDocNode(node, name, path, QString(), QString(), true);
                return true;
            });
        env.cat.importLegacyData();
        QCOMPARE(dump(env.cat), (QStringList{"0|Top|||1|", "1|Lost|/nonexistent/lost.txt||2|",
                                             "1|Next|https://b.org/||4|"}));
    }

    void legacyLevels_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("tree");
        QTest::addColumn<QString>("error");
        QTest::newRow("tabs and spaces count alike")
            << QByteArray("A\n\tB\n \tC\n  D\n\t E\nF\n")
            << QStringList{"0 A", "1 B", "2 C", "2 D", "2 E", "0 F"} << QString();
        QTest::newRow("drop by several steps")
            << QByteArray("A\n B\n  C\n   D\n B2\nF")
            << QStringList{"0 A", "1 B", "2 C", "3 D", "1 B2", "0 F"} << QString();
        QTest::newRow("first line indented")
            << QByteArray("\t\tA\r\n\tB\r\nC") << QStringList{"0 A", "1 B", "0 C"} << QString();
        QTest::newRow("CR line ends")
            << QByteArray("A\r\tB\rC\r") << QStringList{"0 A", "1 B", "0 C"} << QString();
        QTest::newRow("jump of two")
            << QByteArray("A\n\tB\n\t\t\tC\nD\n") << QStringList{"0 A", "1 B"}
            << QStringLiteral("Invalid level (3) for item \"C\"");
        QTest::newRow("existing copy is replaced")
            << QByteArray("A") << QStringList{"0 A"} << QString();
    }
    void legacyLevels()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, tree);
        QFETCH(QString, error);
        Env env;
        put(env.cat.legacyFile(), file);
        put(env.path(QStringLiteral("MyDocs.~qmre")), "an older copy");
        env.cat.nodes().addChild(nullptr, QStringLiteral("No category"));
        QString text;
        try {
            env.cat.importLegacyData();
        } catch (const CatalogueError& e) {
            text = e.text();
        }
        if (error.isEmpty()) {
            QCOMPARE(text, QString());
            QCOMPARE(outline(env.cat), tree);
            QCOMPARE(slurp(env.path(QStringLiteral("MyDocs.~qmre"))), file);
        } else {
            QVERIFY2(text.contains(error), qPrintable(text));
            QCOMPARE(outline(env.cat).mid(0, tree.size()), tree);
            QCOMPARE(slurp(env.path(QStringLiteral("MyDocs.~qmre"))), QByteArray("an older copy"));
        }
        QCOMPARE(slurp(env.cat.legacyFile()), file);
        QVERIFY(!env.cat.nodes().updating());
    }

    void legacyCopyIsRestored_data()
    {
        QTest::addColumn<bool>("emptyLegacyFile"); // else there is none
        QTest::newRow("legacy file missing") << false;
        QTest::newRow("legacy file empty") << true;
    }
    void legacyCopyIsRestored()
    {
        QFETCH(bool, emptyLegacyFile);
        Env env;
        const QByteArray saved = "Old\r\n\tLink~https://example.org/~c\r\n";
        put(env.path(QStringLiteral("MyDocs.~qmre")), saved);
        if (emptyLegacyFile)
            put(env.cat.legacyFile(), QByteArray());
        env.cat.nodes().addChild(nullptr, QStringLiteral("No category"));
        QSignalSpy status(&env.cat, &Catalogue::statusMessage);
        env.cat.importLegacyData();
        QCOMPARE(dump(env.cat), (QStringList{"0|Old|||1|", "1|Link|https://example.org/|c|4|"}));
        QCOMPARE(slurp(env.cat.legacyFile()), saved);
        QCOMPARE(slurp(env.path(QStringLiteral("MyDocs.~qmre"))), saved);
        QVERIFY(!status.isEmpty());
        QCOMPARE(status.last().at(0).toString(), QStringLiteral("Old data are restored!"));
    }

    void nothingToImportKeepsFirstNode_data()
    {
        QTest::addColumn<bool>("emptyLegacyFile");
        QTest::newRow("no legacy file") << false;
        QTest::newRow("empty legacy file") << true;
    }
    void nothingToImportKeepsFirstNode()
    {
        QFETCH(bool, emptyLegacyFile);
        Env env;
        if (emptyLegacyFile)
            put(env.cat.legacyFile(), QByteArray());
        TreeNode* first = env.cat.nodes().addChild(nullptr, QStringLiteral("No category"));
        env.cat.nodes().setImage(first, imgCategory);
        QSignalSpy status(&env.cat, &Catalogue::statusMessage);
        env.cat.importLegacyData();
        QCOMPARE(env.cat.nodes().count(), 1);
        QCOMPARE(env.cat.nodes().getFirstNode(), first);
        QCOMPARE(dump(env.cat), QStringList{"0|No category|||1|"});
        QCOMPARE(first->imageIndex(), int(imgCategory));
        QVERIFY(!QFile::exists(env.cat.legacyFile()));
        for (const auto& args : status)
            QVERIFY(args.at(0).toString() != QStringLiteral("Old data are restored!"));
    }

    // ---- text helpers the file relies on ----

    void takeField_data()
    {
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("cut");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("rest");
        const QString nul(QChar(0));
        QTest::newRow("cut at NUL") << nul << "a" + nul + "b" + nul + "c" << true << "a"
                                    << "b" + nul + "c";
        QTest::newRow("no cut") << nul << "a" + nul + "b" << false << "a"
                                << "a" + nul + "b";
        QTest::newRow("no separator: all, nothing cut") << nul << "abc" << true << "abc"
                                                        << "abc";
        QTest::newRow("separator first") << nul << nul + "x" << true << ""
                                         << "x";
        QTest::newRow("separator last") << nul << "x" + nul << true << "x"
                                        << "";
        QTest::newRow("empty text") << nul << "" << true << ""
                                    << "";
        QTest::newRow("longer separator") << "::"
                                          << "a:b::c::d" << true << "a:b"
                                          << "c::d";
        QTest::newRow("empty separator") << ""
                                         << "abc" << true << "abc"
                                         << "abc";
    }
    void takeField()
    {
        QFETCH(QString, separator);
        QFETCH(QString, text);
        QFETCH(bool, cut);
        QFETCH(QString, field);
        QFETCH(QString, rest);
        QCOMPARE(TextUtils::takeField(separator, text, cut), field);
        QCOMPARE(text, rest);
    }

    void splitToArray_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("separators");
        QTest::addColumn<QStringList>("pieces");
        QTest::newRow("three pieces") << "Name~/path~note"
                                      << "~" << QStringList{"Name", "/path", "note"};
        QTest::newRow("trailing separator") << "a~b~"
                                            << "~" << QStringList{"a", "b", ""};
        QTest::newRow("only a separator") << "~"
                                          << "~" << QStringList{"", ""};
        QTest::newRow("empty pieces") << "a~~b"
                                      << "~" << QStringList{"a", "", "b"};
        QTest::newRow("no separator") << "abc"
                                      << "~" << QStringList{"abc"};
        QTest::newRow("empty text") << ""
                                    << "~" << QStringList{};
        QTest::newRow("several separators") << "a;b,c"
                                            << ";," << QStringList{"a", "b", "c"};
    }
    void splitToArray()
    {
        QFETCH(QString, text);
        QFETCH(QString, separators);
        QFETCH(QStringList, pieces);
        QCOMPARE(TextUtils::splitToArray(text, separators), pieces);
    }

    void singleLine()
    {
        using TextUtils::singleLine;
        QCOMPARE(singleLine(QStringLiteral("plain")), QStringLiteral("plain"));
        QCOMPARE(singleLine(QStringLiteral("a\r\n\r\nb\nc\rd")), QStringLiteral("a b c d"));
        QCOMPARE(singleLine(QStringLiteral("a") + QChar(0) + QStringLiteral("b")),
                 QStringLiteral("ab"));
        QCOMPARE(singleLine(QStringLiteral("\nx\n")), QStringLiteral(" x "));
        QVERIFY(!TextUtils::hasLineBreakOrNul(QStringLiteral("a\tb")));
    }

    void bidiControls()
    {
        // Embeddings and overrides U+202A..202E, isolates U+2066..2069; the
        // characters beside those ranges and the right-to-left mark are ordinary text.
        QString all;
        for (char16_t c : {0x202A, 0x202B, 0x202C, 0x202D, 0x202E, 0x2066, 0x2067, 0x2068, 0x2069})
            all += QChar(c);
        const QString shown = "\\u202A\\u202B\\u202C\\u202D\\u202E\\u2066\\u2067\\u2068\\u2069";
        const QString kept =
            QString(QChar(0x2029)) + QChar(0x202F) + QChar(0x2065) + QChar(0x206A) + QChar(0x200F);
        QCOMPARE(TextUtils::withoutBidiControls("a" + all + kept), "a" + kept);
        QCOMPARE(TextUtils::showBidiControls(all + kept), shown + kept);
        QCOMPARE(TextUtils::unshowBidiControls(shown + kept), all + kept);
        // Only the escapes it writes turn back.
        for (const char* text : {"\\u202e", "\\u0041", "\\u202", "\\x202E", "\\u202F"})
            QCOMPARE(TextUtils::unshowBidiControls(text), QString(text));
    }
};

QTEST_MAIN(TestCatalogueFile)
#include "tst_cataloguefile.moc"
