// The catalogue file: writer and reader agreeing byte for byte, the reader's
// rules for levels, line ends and encodings, the damaged-file copy, the
// atomic save, the built-in category and the legacy import.
#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueFile.h"
#include "utils/MyTextUtils.h"

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
using TestUtil::LoadError;
using TestUtil::Raw;

// One catalogue line as the writer makes it.
QByteArray line(const QByteArray& Name, const QByteArray& Level, const QByteArray& Path = {},
                const QByteArray& Comments = {}, const QByteArray& Kind = "1",
                const QByteArray& Additional = {})
{
    QByteArray out = Name;
    for (const QByteArray* field : {&Level, &Path, &Comments, &Kind, &Additional}) {
        out += '\0';
        out += *field;
    }
    return out + "\r\n";
}

void put(const QString& Path, const QByteArray& Bytes)
{
    QFile f(Path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(Path));
    QCOMPARE(f.write(Bytes), Bytes.size());
}

QByteArray slurp(const QString& Path)
{
    QFile f(Path);
    if (!f.open(QIODevice::ReadOnly))
        return "<cannot open>";
    return f.readAll();
}

struct Env {
    QTemporaryDir dir;
    TCatalogue cat;
    Env() { cat.SetDataFolder(dir.path()); }
    QString path(const QString& Name) const { return dir.filePath(Name); }
    QString dat() const { return cat.DataFile(false); }
    QStringList files() const
    {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }
};

// The user's tree, one "level|text|path|comment|kind|additional" per node in
// full order, without the built-in category.
QStringList dump(TCatalogue& Cat)
{
    QStringList out;
    for (TTreeNode* n = Cat.Nodes().GetFirstNode(); n; n = n->GetNext()) {
        if (Cat.MakerCategory && n->IsUnder(Cat.MakerCategory))
            continue;
        const TNodeInfo* i = n->Data();
        if (!i) {
            out << QStringLiteral("%1|%2|<no record>").arg(n->Level()).arg(n->Text());
            continue;
        }
        out << QString::number(n->Level()) + u'|' + n->Text() + u'|' + i->FullName + u'|' +
                   i->Comments + u'|' + i->GetsKind() + u'|' + i->sAdditional;
    }
    return out;
}

// Level and text only.
QStringList outline(TCatalogue& Cat)
{
    QStringList out;
    for (const QString& row : dump(Cat))
        out << row.section(u'|', 0, 0) + u' ' + row.section(u'|', 1, 1);
    return out;
}

void checkMakerCategoryFirst(TCatalogue& Cat)
{
    QVERIFY(Cat.MakerCategory);
    QCOMPARE(Cat.Nodes().GetFirstNode(), Cat.MakerCategory);
    QCOMPARE(Cat.MakerCategory->Text(), QStringLiteral("Velmarch"));
    QCOMPARE(Cat.MakerCategory->Count(), 3);
    QCOMPARE(Cat.MakerCategory->Item(0)->Text(), QStringLiteral("Velmarch at the Web"));
    QCOMPARE(Cat.MakerCategory->Item(1)->Text(), QStringLiteral("Quillmere at the Web"));
    QCOMPARE(Cat.MakerCategory->Item(2)->Text(), QStringLiteral("FAQ at the Web"));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(Cat.MakerCategory->Item(i)->Data()->Kind, nkURL);
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
        TCatalogue& cat = env.cat;
        QVERIFY(QDir(env.dir.path()).mkpath(QStringLiteral("docs/Sub folder")));
        const QString report = env.path(QStringLiteral("docs/Bericht über 日本.txt"));
        const QString plain = env.path(QStringLiteral("docs/plain.txt"));
        const QString folder = env.path(QStringLiteral("docs/Sub folder"));
        const QString gone = env.path(QStringLiteral("docs/gone.odt"));
        put(report, "r");
        put(plain, "p");

        TTreeNode* work = cat.AddCategoryNode(nullptr, QStringLiteral("Work"));
        work->Data()->Comments = QStringLiteral("mine");
        work->Data()->sAdditional = QStringLiteral("A-1");
        TTreeNode* sub = cat.AddCategoryNode(work, QStringLiteral("Ünter Kategorie ✓"));
        TTreeNode* nameless = cat.AddCategoryNode(sub, QString());
        TTreeNode* doc = cat.AddLinkNode(report, nameless, QString(), false);
        doc->Data()->Comments = QStringLiteral("Комментарий");
        doc->Data()->sAdditional = QStringLiteral("€ 12,50");
        TTreeNode* dir = cat.AddLinkNode(folder, nameless, QString(), false);
        dir->Data()->sAdditional = QStringLiteral("x");
        cat.AddLinkNode(gone, sub, QString(), false)->Data()->Comments = QStringLiteral("lost");
        cat.AddLinkNode(QStringLiteral("https://example.org/ä?q=1&r=2"), sub,
                        QStringLiteral("Exämple"), true);
        cat.AddLinkNode(QStringLiteral("mailto:someone@example.org"), work, QString(), true);
        TTreeNode* home = cat.AddCategoryNode(nullptr, QStringLiteral("Home"));
        cat.AddLinkNode(plain, home, QString(), false);
        cat.AddCategoryNode(home, QStringLiteral("Empty category"));
        cat.TopCategory = work;
        cat.CreateMakerCategory();

        QStringList expected = dump(cat);
        // A hyperlink without a name comes back named by its address.
        const int mailRow =
            int(expected.indexOf(QStringLiteral("1||mailto:someone@example.org||4|")));
        QVERIFY(mailRow >= 0);
        expected[mailRow] =
            QStringLiteral("1|mailto:someone@example.org|mailto:someone@example.org||4|");
        QCOMPARE(expected.size(), 11);

        QVERIFY(!cat.DataSaved);
        cat.SaveData(false);
        QVERIFY(cat.DataSaved);
        QCOMPARE(cat.MakerCategory, nullptr);
        const QByteArray bytes = slurp(env.dat());
        QVERIFY(!bytes.contains("Velmarch"));
        QVERIFY(!bytes.contains("velmarch.example"));
        QCOMPARE(bytes.count("\r\n"), 11);

        Env other;
        other.cat.SetDataFolder(env.dir.path());
        QVERIFY(other.cat.LoadData(false));
        QCOMPARE(dump(other.cat), expected);
        checkMakerCategoryFirst(other.cat);
        QVERIFY(other.cat.TopCategory);
        QCOMPARE(other.cat.TopCategory->Text(), QStringLiteral("Work"));
        QCOMPARE(other.cat.Nodes().RootItem(1), other.cat.TopCategory);
        QCOMPARE(other.cat.Nodes().RootCount(), 3);

        // Images: one shell icon per existing document or folder, in both lists.
        int shellIcons = 0;
        for (TTreeNode* n = other.cat.Nodes().GetFirstNode(); n; n = n->GetNext()) {
            switch (n->Data()->Kind) {
            case nkCategory:
                QCOMPARE(n->ImageIndex(), int(imgCategory));
                break;
            case nkURL:
                QCOMPARE(n->ImageIndex(), int(imgHyperlink));
                break;
            default:
                if (n->Data()->FullName == gone) {
                    QCOMPARE(n->ImageIndex(), int(imgMissing));
                } else {
                    QVERIFY(n->ImageIndex() >= FixedImageCount);
                    ++shellIcons;
                }
            }
            QCOMPARE(n->SelectedIndex(), n->ImageIndex());
        }
        QCOMPARE(shellIcons, 3);
        QCOMPARE(other.cat.Images().Small.Count(), FixedImageCount + 3);
        QCOMPARE(other.cat.Images().Large.Count(), FixedImageCount + 3);

        // Saving what was loaded gives the same bytes again, but for the name
        // the nameless hyperlink took from its address.
        QByteArray again = bytes;
        again.replace(Raw("\r\n\0"
                          "1\0"
                          "mailto:"),
                      Raw("\r\n"
                          "mailto:someone@example.org\0"
                          "1\0"
                          "mailto:"));
        other.cat.SaveData(false);
        QCOMPARE(slurp(env.dat()), again);
    }

    void writesExactBytes()
    {
        Env env;
        TCatalogue& cat = env.cat;
        TTreeNode* work = cat.AddCategoryNode(nullptr, QStringLiteral("Work"));
        work->Data()->Comments = QStringLiteral("mine");
        cat.CreateMakerCategory();
        cat.SaveData(false);
        QCOMPARE(slurp(env.dat()), Raw("Work\0"
                                       "0\0"
                                       "\0"
                                       "mine\0"
                                       "1\0"
                                       "\r\n"));

        TTreeNode* links = cat.AddCategoryNode(work, QStringLiteral("Café"));
        TTreeNode* site = cat.AddLinkNode(QStringLiteral("https://example.org/"), links,
                                          QStringLiteral("Site"), true);
        site->Data()->Comments = QStringLiteral("note");
        site->Data()->sAdditional = QStringLiteral("x");
        cat.AddLinkNode(QStringLiteral("/nonexistent/a b.txt"), work, QString(), false);
        cat.Nodes().AddChild(nullptr, QStringLiteral("Bare")); // a node without a record
        cat.SaveData(true);
        QCOMPARE(slurp(cat.DataFile(true)), Raw("Work\0"
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
        TCatalogue& cat = env.cat;
        TTreeNode* work = cat.AddCategoryNode(nullptr, QStringLiteral("Work"));
        cat.TopCategory = work;
        cat.CreateMakerCategory();
        // Whatever ends up inside the built-in category goes with it.
        cat.Nodes().AddChild(cat.MakerCategory, QStringLiteral("Sneaked in"));
        cat.AddLinkNode(QStringLiteral("https://www.velmarch.example/more"), cat.MakerCategory,
                        QStringLiteral("More"), true);
        QCOMPARE(cat.MakerCategory->Count(), 5);

        cat.SaveData(true);
        QVERIFY(cat.DataSaved);
        QVERIFY(!QFile::exists(env.dat()));
        const QByteArray backup = slurp(cat.DataFile(true));
        QCOMPARE(backup, Raw("Work\0"
                             "0\0"
                             "\0"
                             "\0"
                             "1\0"
                             "\r\n"));
        // After a backup the run goes on: the built-in category is back, first, as new.
        checkMakerCategoryFirst(cat);
        QCOMPARE(cat.Nodes().RootCount(), 2);
        QCOMPARE(cat.TopCategory, work);

        // The backup reads back into the same tree.
        cat.DataSaved = false;
        QVERIFY(cat.LoadData(true));
        QCOMPARE(outline(cat), QStringList{"0 Work"});
        checkMakerCategoryFirst(cat);
        QCOMPARE(cat.TopCategory, cat.Nodes().RootItem(1));

        // The final save leaves it out and does not rebuild it.
        cat.SaveData(false);
        QCOMPARE(cat.MakerCategory, nullptr);
        QCOMPARE(cat.Nodes().RootCount(), 1);
        QCOMPARE(slurp(env.dat()), backup);
    }

    void lineBreaksNeverReachTheFile()
    {
        Env env;
        TCatalogue& cat = env.cat;
        TTreeNode* a = cat.AddCategoryNode(nullptr, QStringLiteral("two\nlines"));
        a->Data()->Comments = QStringLiteral("first\r\n\r\nsecond");
        a->Data()->sAdditional = QStringLiteral("x") + QChar(0) + QStringLiteral("y\r");
        TTreeNode* u =
            cat.AddLinkNode(QStringLiteral("https://example.org/"), a, QStringLiteral("U"), true);
        u->Data()->FullName = QStringLiteral("https://example.org/\npath"); // set behind the checks
        cat.Nodes().SetText(u, QStringLiteral("U") + QChar(0) + QStringLiteral("V"));
        cat.SaveData(false);

        const QByteArray bytes = slurp(env.dat());
        QCOMPARE(bytes.count("\r\n"), 2);
        QCOMPARE(bytes.count('\r'), 2);
        QCOMPARE(bytes.count('\n'), 2);
        QCOMPARE(bytes.count('\0'), 10);

        Env other;
        other.cat.SetDataFolder(env.dir.path());
        QVERIFY(other.cat.LoadData(false));
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
        env.cat.Nodes().AddChild(nullptr, QStringLiteral("No category"));
        const QString text = LoadError(env.cat);
        QCOMPARE(outline(env.cat), tree);
        checkMakerCategoryFirst(env.cat);
        const QString aside = env.dat() + QStringLiteral(".damaged");
        if (error.isEmpty()) {
            QCOMPARE(text, QString());
            QCOMPARE(env.cat.TopCategory, env.cat.Nodes().RootItem(1));
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
        QVERIFY(LoadError(env.cat).contains(aside));
        put(env.dat(), second);
        QString text = LoadError(env.cat);
        QVERIFY2(text.contains(aside + QStringLiteral(".1")), qPrintable(text));
        put(env.dat(), third);
        text = LoadError(env.cat);
        QVERIFY2(text.contains(aside + QStringLiteral(".2")), qPrintable(text));
        QCOMPARE(slurp(aside), first);
        QCOMPARE(slurp(aside + QStringLiteral(".1")), second);
        QCOMPARE(slurp(aside + QStringLiteral(".2")), third);
        checkMakerCategoryFirst(env.cat);
        QCOMPARE(env.cat.Nodes().RootCount(), 1);
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
        env.cat.Nodes().AddChild(nullptr, QStringLiteral("No category"));
        QVERIFY(env.cat.LoadData(false));
        QCOMPARE(env.cat.Nodes().RootCount(), 1);
        checkMakerCategoryFirst(env.cat);
        QCOMPARE(env.cat.TopCategory, nullptr);
    }

    void missingFileLeavesTreeAlone()
    {
        Env env;
        TTreeNode* n = env.cat.Nodes().AddChild(nullptr, QStringLiteral("No category"));
        QVERIFY(!env.cat.LoadData(false));
        QVERIFY(!env.cat.LoadData(true));
        QCOMPARE(env.cat.Nodes().Count(), 1);
        QCOMPARE(env.cat.Nodes().GetFirstNode(), n);
        QCOMPARE(env.cat.MakerCategory, nullptr);
    }

    void lineEnds_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("tree"); // dump() rows
        const QByteArray a = line("A", "0");
        QTest::newRow("last line without line end") << a + Raw("B\0"
                                                               "0\0"
                                                               "\0"
                                                               "c\0"
                                                               "1\0"
                                                               "add")
                                                    << QStringList{"0|A|||1|", "0|B||c|1|add"};
        QTest::newRow("last line ends in CR only") << a + Raw("B\0"
                                                              "0\0"
                                                              "\0"
                                                              "\0"
                                                              "1\0"
                                                              "\r")
                                                   << QStringList{"0|A|||1|", "0|B|||1|"};
        QTest::newRow("end-of-file mark between lines")
            << a + "\x1a" + line("B", "0") << QStringList{"0|A|||1|"};
        QTest::newRow("end-of-file mark inside a line") << a +
                                                               Raw("B\0"
                                                                   "0\0"
                                                                   "\0"
                                                                   "\0"
                                                                   "1\0"
                                                                   "ad\x1a"
                                                                   "junk\r\n") +
                                                               line("C", "0")
                                                        << QStringList{"0|A|||1|", "0|B|||1|ad"};
        QTest::newRow("lone CR ends a line") << Raw("A\0"
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
        QTest::newRow("LF-only line ends") << Raw("A\0"
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
            << a + Raw("B\0"
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
            << Raw("Cat\0"
                   "0\0"
                   "\0"
                   "c\0"
                   "1\r\n") +
                   Raw("Odd\0"
                       "0\0"
                       "noseparator\r\n")
            << QStringList{"0|Cat||c|1|1", "0|Odd|noseparator|noseparator|2|noseparator"};
        QTest::newRow("more than six fields") << Raw("A\0"
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
        QCOMPARE(LoadError(env.cat), QString());
        QCOMPARE(dump(env.cat), tree);
        checkMakerCategoryFirst(env.cat);
    }

    void kindCodes_data()
    {
        QTest::addColumn<QByteArray>("code");
        QTest::addColumn<QString>("target"); // file, folder, gone, link, dangling, or an address
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("image"); // -1: a shell icon
        QTest::newRow("2 for a folder") << QByteArray("2") << "folder" << int(nkFolder) << -1;
        QTest::newRow("3 for a file") << QByteArray("3") << "file" << int(nkDoc) << -1;
        QTest::newRow("3 for a gone folder")
            << QByteArray("3") << "gone" << int(nkDoc) << int(imgMissing);
        QTest::newRow("2 for a gone file")
            << QByteArray("2") << "gone" << int(nkDoc) << int(imgMissing);
        QTest::newRow("0 for a file") << QByteArray("0") << "file" << int(nkDoc) << -1;
        QTest::newRow("0 for a folder") << QByteArray("0") << "folder" << int(nkFolder) << -1;
        QTest::newRow("x for a folder") << QByteArray("x") << "folder" << int(nkFolder) << -1;
        QTest::newRow("empty code") << QByteArray("") << "file" << int(nkDoc) << -1;
        QTest::newRow("11") << QByteArray("11") << "file" << int(nkDoc) << -1;
        QTest::newRow("4 with a blank") << QByteArray("4 ") << "file" << int(nkDoc) << -1;
        QTest::newRow("link to a file") << QByteArray("2") << "link" << int(nkDoc) << -1;
        QTest::newRow("dangling link")
            << QByteArray("2") << "dangling" << int(nkDoc) << int(imgMissing);
        QTest::newRow("1 ignores the path")
            << QByteArray("1") << "file" << int(nkCategory) << int(imgCategory);
        QTest::newRow("4 keeps a path as address")
            << QByteArray("4") << "file" << int(nkURL) << int(imgHyperlink);
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
        QVERIFY(env.cat.LoadData(false));
        TTreeNode* node = env.cat.TopCategory->Item(0);
        QCOMPARE(node->Text(), QStringLiteral("Entry"));
        QCOMPARE(int(node->Data()->Kind), kind);
        QCOMPARE(node->Data()->FullName, kind == nkCategory ? QString() : path);
        QCOMPARE(node->Data()->Comments, QStringLiteral("c"));
        QCOMPARE(node->Data()->sAdditional, QStringLiteral("a"));
        if (image < 0) {
            QCOMPARE(node->ImageIndex(), int(FixedImageCount));
            QCOMPARE(env.cat.Images().Large.Count(), FixedImageCount + 1);
        } else {
            QCOMPARE(node->ImageIndex(), image);
            QCOMPARE(env.cat.Images().Large.Count(), int(FixedImageCount));
        }
    }

    void hyperlinkWithoutNameShowsAddress()
    {
        Env env;
        put(env.dat(),
            line("", "0", "https://example.org/x", "", "4") + line("", "0", "", "", "1"));
        QVERIFY(env.cat.LoadData(false));
        QCOMPARE(dump(env.cat),
                 (QStringList{"0|https://example.org/x|https://example.org/x||4|", "0||||1|"}));
    }

    void singleByteLinesDecodePerLine()
    {
        Env env;
        put(env.dat(), Raw("Caf\xe9\0"
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
        QVERIFY(env.cat.LoadData(false));
        QCOMPARE(dump(env.cat),
                 (QStringList{QStringLiteral("0|Café||5 € “q”|1|ä"), QStringLiteral("1|Café||€|1|"),
                              QStringLiteral("1|Ã© and é|||1|"), QStringLiteral("1|Ã|||1|"),
                              QStringLiteral("1|í\u00a0\u20ac|||1|"), QStringLiteral("1|À¯|||1|"),
                              QStringLiteral("1|A long plain ASCII prefix, then é|||1|"),
                              QStringLiteral("1|A long plain ASCII prefix, then é|||1|"),
                              QStringLiteral("1|Cut|||1|a long plain ASCII value, cut â‚")}));
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
        env.cat.ProgressHook = [&](int p) {
            if (p < last.load() || p > 1000)
                backwards = true;
            last = p;
        };
        QVERIFY(env.cat.LoadData(false));
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
        QCOMPARE(LoadError(env.cat), QString());
        QCOMPARE(env.cat.Nodes().Count(), MaxCatalogueDepth + 1 + 4);
        env.cat.SaveData(false);
        QCOMPARE(slurp(env.dat()), bytes);

        const QByteArray deeper = bytes + QByteArray("m\0", 2) +
                                  QByteArray::number(MaxCatalogueDepth + 1) +
                                  QByteArray("\0\0\0"
                                             "1\0\r\n",
                                             7);
        Env env2;
        put(env2.dat(), deeper);
        const QString text = LoadError(env2.cat);
        QVERIFY2(text.contains(QStringLiteral("Invalid level (1001) for item \"m\"")),
                 qPrintable(text));
        QCOMPARE(slurp(env2.dat() + ".damaged"), deeper);

        // A tree built deeper than that in memory still saves and frees
        // without exhausting the stack.
        env.cat.Nodes().Clear();
        TTreeNode* parent = nullptr;
        constexpr int Depth = 300000;
        for (int i = 0; i < Depth; ++i)
            parent = env.cat.AddCategoryNode(parent, QStringLiteral("n"));
        env.cat.SaveData(false);
        QCOMPARE(env.cat.Nodes().Count(), Depth);
        env.cat.Nodes().Clear();
        QCOMPARE(env.cat.Nodes().Count(), 0);
    }

    void failedSaveKeepsOldFile()
    {
        Env env;
        TCatalogue& cat = env.cat;
        int settingsWritten = 0;
        cat.WriteSettingsHook = [&] { ++settingsWritten; };
        TTreeNode* top = cat.AddCategoryNode(nullptr, QStringLiteral("Top"));
        cat.SaveData(false);
        QCOMPARE(settingsWritten, 1);
        const QByteArray old = slurp(env.dat());
        QCOMPARE(old, line("Top", "0"));
        cat.DataSaved = false;

        const QByteArray name(200, 'n');
        for (int i = 0; i < 2000; ++i)
            cat.AddCategoryNode(top, QString::fromLatin1(name) + QString::number(i));
        {
            // Root may write anywhere, but not past the process's file size limit.
            FileSizeLimit limit(64 * 1024);
            QVERIFY_THROWS_EXCEPTION(ECatalogueError, cat.SaveData(false));
        }
        QVERIFY(!cat.DataSaved);
        QCOMPARE(settingsWritten, 1); // settings go only with a complete catalogue
        QCOMPARE(slurp(env.dat()), old);
        QCOMPARE(env.files(), QStringList{"quillmere.dat"}); // no half-written file beside it
        QCOMPARE(cat.Nodes().Count(), 2001);

        // With room again the same save succeeds.
        cat.SaveData(false);
        QVERIFY(cat.DataSaved);
        QCOMPARE(settingsWritten, 2);
        QVERIFY(slurp(env.dat()).size() > 64 * 1024);
    }

    void failedBackupKeepsBuiltInCategory()
    {
        Env env;
        TCatalogue& cat = env.cat;
        cat.TopCategory = cat.AddCategoryNode(nullptr, QStringLiteral("Top"));
        cat.CreateMakerCategory();
        QVERIFY(QDir(env.dir.path())
                    .mkdir(QStringLiteral("quillmere.bak"))); // cannot be replaced by a file
        QVERIFY_THROWS_EXCEPTION(ECatalogueError, cat.SaveData(true));
        QVERIFY(!cat.DataSaved);
        QVERIFY(QFileInfo(cat.DataFile(true)).isDir());
        checkMakerCategoryFirst(cat);
        QCOMPARE(cat.Nodes().RootCount(), 2);
    }

    void unwritableFolderFailsSave()
    {
        Env env;
        env.cat.SetDataFolder(
            QStringLiteral("/proc")); // no file can be made there, not even by root
        env.cat.AddCategoryNode(nullptr, QStringLiteral("Top"));
        QVERIFY_THROWS_EXCEPTION(ECatalogueError, env.cat.SaveData(false));
        QVERIFY(!env.cat.DataSaved);
        try {
            env.cat.SaveData(false);
        } catch (const ECatalogueError& e) {
            QVERIFY2(e.Text().contains(env.cat.DataFile(false)), qPrintable(e.Text()));
        }
    }

    void somethingElseThanAFileIsLeftAlone()
    {
        // A folder (or FIFO, or device behind a link) where the catalogue
        // should be: nothing is read from it, nothing replaces it at the end.
        Env env;
        QVERIFY(QDir(env.dir.path()).mkdir(QStringLiteral("quillmere.dat")));
        TTreeNode* n = env.cat.Nodes().AddChild(nullptr, QStringLiteral("No category"));
        const QString text = LoadError(env.cat);
        QVERIFY2(text.contains(QStringLiteral("It is not a regular file.")), qPrintable(text));
        QVERIFY(env.cat.CatalogueFileProtected());
        QCOMPARE(env.cat.Nodes().RootItem(1),
                 n); // the tree stays, with the built-in category in front
        checkMakerCategoryFirst(env.cat);
        env.cat.SaveData(false);
        QVERIFY(QFileInfo(env.dat()).isDir());
    }

    // A file that opens but cannot be read (a failing disk) leaves an empty
    // tree, which the save at the end of the run would write over it.
    void readErrorKeepsFile()
    {
        Env env;
        // Reading at offset 0 of the process's own memory fails with EIO, even for root.
        QVERIFY(QFile::link(QStringLiteral("/proc/self/mem"), env.dat()));
        env.cat.Nodes().AddChild(nullptr, QStringLiteral("No category"));
        const QString text = LoadError(env.cat);
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
        put(env.cat.LegacyFile(), legacy);
        env.cat.Nodes().AddChild(nullptr, QStringLiteral("No category"));
        QSignalSpy status(&env.cat, &TCatalogue::statusMessage);
        env.cat.ImportLegacyData();

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
        TTreeNode* root = env.cat.Nodes().GetFirstNode();
        QVERIFY(root->Item(0)->ImageIndex() >= FixedImageCount);
        QVERIFY(root->Item(1)->ImageIndex() >= FixedImageCount);
        QCOMPARE(root->Item(1)->Item(0)->ImageIndex(), int(imgMissing));
        QCOMPARE(root->Item(1)->Item(0)->Item(0)->ImageIndex(), int(imgMissing));
        QCOMPARE(root->Item(2)->ImageIndex(), int(imgHyperlink));
        QCOMPARE(root->ImageIndex(), int(imgCategory));
        QCOMPARE(env.cat.Images().Small.Count(), FixedImageCount + 2);

        // The legacy file stays; a copy is kept beside it.
        QCOMPARE(slurp(env.cat.LegacyFile()), legacy);
        QCOMPARE(slurp(env.path(QStringLiteral("MyDocs.~qmre"))), legacy);
        QVERIFY(!status.isEmpty());
        QCOMPARE(status.first().at(0).toString(), QStringLiteral("Data loading..."));
        QCOMPARE(status.last().at(0).toString(), QString());
    }

    void legacyMissingDocumentAsksForNewLocation()
    {
        Env env;
        put(env.cat.LegacyFile(), "Top\n\tLost~/nonexistent/dir/lost.txt~why\n");
        env.cat.Nodes().AddChild(nullptr, QStringLiteral("No category"));
        QStringList asked;
        env.cat.AskNewLocationHook = [&](const QString& Name, const QString& Path, TTreeNode* Node,
                                         const QString& Comments) {
            asked << Name << Path << Node->Text() << Comments;
            env.cat.FillDocNode(Node, Name, Path, Comments, QString(), true);
            return true;
        };
        env.cat.ImportLegacyData();
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
        put(env.cat.LegacyFile(),
            "Top\n\tLost~/nonexistent/lost.txt~\n\t\tUnder~~\n\tNext~https://example.org/~\n");
        env.cat.Nodes().AddChild(nullptr, QStringLiteral("No category"));
        env.cat.AskNewLocationHook = [&](const QString&, const QString&, TTreeNode* Node,
                                         const QString&) {
            env.cat.Nodes().Delete(Node);
            return false;
        };
        env.cat.ImportLegacyData();
        QCOMPARE(dump(env.cat), (QStringList{"0|Top|||1|", "1|Next|https://example.org/||4|"}));
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
        put(env.cat.LegacyFile(), file);
        put(env.path(QStringLiteral("MyDocs.~qmre")), "an older copy");
        env.cat.Nodes().AddChild(nullptr, QStringLiteral("No category"));
        QString text;
        try {
            env.cat.ImportLegacyData();
        } catch (const ECatalogueError& e) {
            text = e.Text();
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
        QCOMPARE(slurp(env.cat.LegacyFile()), file);
        QVERIFY(!env.cat.Nodes().Updating());
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
            put(env.cat.LegacyFile(), QByteArray());
        env.cat.Nodes().AddChild(nullptr, QStringLiteral("No category"));
        QSignalSpy status(&env.cat, &TCatalogue::statusMessage);
        env.cat.ImportLegacyData();
        QCOMPARE(dump(env.cat), (QStringList{"0|Old|||1|", "1|Link|https://example.org/|c|4|"}));
        QCOMPARE(slurp(env.cat.LegacyFile()), saved);
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
            put(env.cat.LegacyFile(), QByteArray());
        TTreeNode* first = env.cat.Nodes().AddChild(nullptr, QStringLiteral("No category"));
        env.cat.Nodes().SetImage(first, imgCategory);
        QSignalSpy status(&env.cat, &TCatalogue::statusMessage);
        env.cat.ImportLegacyData();
        QCOMPARE(env.cat.Nodes().Count(), 1);
        QCOMPARE(env.cat.Nodes().GetFirstNode(), first);
        QCOMPARE(dump(env.cat), QStringList{"0|No category|||1|"});
        QCOMPARE(first->ImageIndex(), int(imgCategory));
        QVERIFY(!QFile::exists(env.cat.LegacyFile()));
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
        QCOMPARE(MyTextUtils::TakeField(separator, text, cut), field);
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
        QCOMPARE(MyTextUtils::SplitToArray(text, separators), pieces);
    }

    void singleLine()
    {
        using MyTextUtils::SingleLine;
        QCOMPARE(SingleLine(QStringLiteral("plain")), QStringLiteral("plain"));
        QCOMPARE(SingleLine(QStringLiteral("a\r\n\r\nb\nc\rd")), QStringLiteral("a b c d"));
        QCOMPARE(SingleLine(QStringLiteral("a") + QChar(0) + QStringLiteral("b")),
                 QStringLiteral("ab"));
        QCOMPARE(SingleLine(QStringLiteral("\nx\n")), QStringLiteral(" x "));
        QVERIFY(!MyTextUtils::HasLineBreakOrNul(QStringLiteral("a\tb")));
    }
};

QTEST_MAIN(TestCatalogueFile)
#include "tst_cataloguefile.moc"
