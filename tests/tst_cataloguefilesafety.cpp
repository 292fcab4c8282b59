// The catalogue file against what a run meets outside the program: a broken
// backup, files changed by other programs, links to things that are no files,
// FIFOs and devices, failures on the reading thread, hostile lines. Whatever
// happens, nothing the user had is lost or overwritten.
#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "testutil/TestUtil.h"

using TestUtil::CatalogueLine;
using TestUtil::FileSizeLimit;
using TestUtil::LoadError;
using TestUtil::Raw;
using TestUtil::ReadFile;
using TestUtil::WriteFile;

namespace
{

struct Env {
    QTemporaryDir dir;
    TCatalogue cat;
    Env() { cat.SetDataFolder(dir.path()); }
    QString path(const QString& Name) const { return dir.filePath(Name); }
    QString dat() const { return cat.DataFile(false); }
    QString bak() const { return cat.DataFile(true); }
    QStringList files() const
    {
        return QDir(dir.path())
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    }
};

QString saveError(TCatalogue& Cat, bool Backup = false)
{
    try {
        Cat.SaveData(Backup);
    } catch (const ECatalogueError& e) {
        return e.Text();
    }
    return {};
}

// Names of the user's nodes in full order, the built-in category left out.
QStringList names(TCatalogue& Cat)
{
    QStringList out;
    for (TTreeNode* n = Cat.Nodes().GetFirstNode(); n; n = n->GetNext())
        if (!Cat.MakerCategory || !n->IsUnder(Cat.MakerCategory))
            out << QString(n->Level(), u' ') + n->Text();
    return out;
}

QByteArray sample()
{
    return CatalogueLine("Work", 0, {}, "1", "mine") +
           CatalogueLine("Site", 1, "https://example.org/", "4") +
           CatalogueLine("Home", 0, {}, "1");
}

bool isFifo(const QString& Path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(Path).constData(), &st) == 0 && S_ISFIFO(st.st_mode);
}

} // namespace

class TestCatalogueFileSafety : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void failedRestoreKeepsTheCatalogue_data()
    {
        QTest::addColumn<QByteArray>("backup");
        QTest::addColumn<QString>("error");
        QTest::newRow("level jump")
            << CatalogueLine("A", 0, {}, "1") + CatalogueLine("B", 2, {}, "1")
            << "Invalid level (2) for item \"B\"";
        QTest::newRow("no level") << CatalogueLine("A", 0, {}, "1") + Raw("B\0x\0\0\0"
                                                                          "1\0\r\n")
                                  << "'x' is not a valid integer value";
        QTest::newRow("not a file") << QByteArray() << "It is not a regular file.";
    }
    void failedRestoreKeepsTheCatalogue()
    {
        QFETCH(QByteArray, backup);
        QFETCH(QString, error);
        Env env;
        QVERIFY(WriteFile(env.dat(), sample()));
        QVERIFY(env.cat.LoadData(false));
        const QStringList before = names(env.cat);
        TTreeNode* top = env.cat.TopCategory;
        if (backup.isEmpty())
            QVERIFY(QDir(env.dir.path()).mkdir("quillmere.bak"));
        else
            QVERIFY(WriteFile(env.bak(), backup));

        const QString text = LoadError(env.cat, true);
        QVERIFY2(text.contains(error), qPrintable(text));
        QVERIFY2(text.contains("Nothing was restored"), qPrintable(text));
        QCOMPARE(names(env.cat), before);
        QCOMPARE(env.cat.TopCategory, top);
        QCOMPARE(env.cat.Nodes().GetFirstNode(), env.cat.MakerCategory);
        QCOMPARE(env.cat.Nodes().RootCount(), 3);
        QVERIFY(!env.cat.Nodes().Updating());
        // The end of the run writes the whole catalogue back, and the backup is
        // left as it was.
        env.cat.SaveData(false);
        QCOMPARE(ReadFile(env.dat()), sample());
        if (!backup.isEmpty())
            QCOMPARE(ReadFile(env.bak()), backup);
    }

    void restoreReplacesTheWholeTree()
    {
        Env env;
        QVERIFY(WriteFile(env.dat(), sample()));
        QVERIFY(env.cat.LoadData(false));
        QVERIFY(WriteFile(env.bak(),
                          CatalogueLine("Old", 0, {}, "1") + CatalogueLine("Kept", 1, {}, "1")));
        QVERIFY(env.cat.LoadData(true));
        QCOMPARE(names(env.cat), (QStringList{"Old", " Kept"}));
        QCOMPARE(env.cat.TopCategory->Text(), QString("Old"));
        QCOMPARE(env.cat.Nodes().GetFirstNode(), env.cat.MakerCategory);
        QCOMPARE(env.cat.Nodes().Count(), 2 + 4);
    }

    void damagedFileThatCannotBeKeptIsNeverOverwritten()
    {
        Env env;
        // Larger than the file size limit below, so its copy cannot be written.
        QByteArray bad = CatalogueLine("Work", 0, {}, "1");
        for (int i = 0; i < 2000; ++i)
            bad += CatalogueLine(QString(40, u'x'), 1, {}, "1");
        bad += CatalogueLine("Deep", 3, {}, "1");
        QVERIFY(WriteFile(env.dat(), bad));
        QString text;
        {
            FileSizeLimit limit(16 * 1024);
            text = LoadError(env.cat);
        }
        QVERIFY2(text.contains("Invalid level (3) for item \"Deep\""), qPrintable(text));
        QVERIFY2(text.contains("will not write over it"), qPrintable(text));
        QVERIFY(env.cat.CatalogueFileProtected());
        QCOMPARE(env.files(), QStringList{"quillmere.dat"}); // no half copy left behind
        env.cat.SaveData(false);
        QCOMPARE(ReadFile(env.dat()), bad);
        // A backup is still possible, so the run's work can be kept.
        env.cat.SaveData(true);
        QVERIFY(ReadFile(env.bak()).startsWith(CatalogueLine("Work", 0, {}, "1")));
    }

    void changesByAnotherProgramAreKeptAside()
    {
        Env env;
        QVERIFY(WriteFile(env.dat(), sample()));
        QVERIFY(env.cat.LoadData(false));
        QSignalSpy notices(&env.cat, &TCatalogue::saveNotice);

        // A sync tool replaces the file while the program runs.
        const QByteArray theirs =
            CatalogueLine("Theirs", 0, {}, "1") + CatalogueLine("Many", 1, {}, "1");
        const QString replacement = env.path("incoming");
        QVERIFY(WriteFile(replacement, theirs));
        QVERIFY(QFile::remove(env.dat()));
        QVERIFY(QFile::rename(replacement, env.dat()));

        env.cat.SaveData(false);
        QCOMPARE(ReadFile(env.dat()), sample());
        QCOMPARE(ReadFile(env.dat() + ".conflict"), theirs);
        QCOMPARE(notices.size(), 1);
        QVERIFY2(notices[0][0].toString().contains(env.dat() + ".conflict"),
                 qPrintable(notices[0][0].toString()));

        // The program's own write is no conflict; a second outside change gets
        // a name of its own.
        env.cat.CreateMakerCategory();
        env.cat.SaveData(false);
        QCOMPARE(notices.size(), 1);
        QVERIFY(WriteFile(env.dat(), theirs + theirs));
        env.cat.CreateMakerCategory();
        env.cat.SaveData(false);
        QCOMPARE(notices.size(), 2);
        QCOMPARE(ReadFile(env.dat() + ".conflict"), theirs);
        QCOMPARE(ReadFile(env.dat() + ".conflict.1"), theirs + theirs);
        QCOMPARE(ReadFile(env.dat()), sample());
    }

    void aCatalogueThatAppearedDuringTheRunIsKept()
    {
        Env env;
        QVERIFY(!env.cat.LoadData(false)); // nothing there at the start
        env.cat.TopCategory = env.cat.AddCategoryNode(nullptr, "Mine");
        QVERIFY(WriteFile(env.dat(), sample()));
        QSignalSpy notices(&env.cat, &TCatalogue::saveNotice);
        env.cat.SaveData(false);
        QCOMPARE(notices.size(), 1);
        QCOMPARE(ReadFile(env.dat() + ".conflict"), sample());
        QCOMPARE(ReadFile(env.dat()), CatalogueLine("Mine", 0, {}, "1"));
    }

    void savesFollowLinksToFilesOnly()
    {
        Env env;
        // A link to a regular file (a catalogue kept in a synced folder) is
        // written through and stays a link.
        const QString synced = env.path("synced.dat");
        QVERIFY(WriteFile(synced, sample()));
        QVERIFY(QFile::link(synced, env.dat()));
        QVERIFY(env.cat.LoadData(false));
        env.cat.SaveData(false);
        QVERIFY(QFileInfo(env.dat()).isSymLink());
        QCOMPARE(ReadFile(synced), sample());

        // A link to a FIFO (as to a device) is an error, and the FIFO stays.
        const QString fifo = env.path("fifo");
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        for (const QString& name : {env.dat(), env.bak()}) {
            QFile::remove(name);
            QVERIFY(QFile::link(fifo, name));
        }
        env.cat.CreateMakerCategory();
        env.cat.DataSaved = false;
        QString text = saveError(env.cat);
        QVERIFY2(text.contains("it is not a regular file"), qPrintable(text));
        QVERIFY(!env.cat.DataSaved);
        text = saveError(env.cat, true);
        QVERIFY2(text.contains("it is not a regular file"), qPrintable(text));
        QVERIFY(isFifo(fifo));
        QVERIFY(QFileInfo(env.dat()).isSymLink() && QFileInfo(env.bak()).isSymLink());
        QVERIFY(env.cat.MakerCategory); // a failed backup keeps the built-in category
    }

    void damagedCopiesNeverWriteThroughALink()
    {
        Env env;
        const QByteArray bad = CatalogueLine("A", 0, {}, "1") + CatalogueLine("B", 2, {}, "1");
        QVERIFY(WriteFile(env.dat(), bad));
        const QString victim = env.path("victim");
        QVERIFY(WriteFile(victim, "precious"));
        QVERIFY(QFile::link(victim, env.dat() + ".damaged"));                // a link to a file
        QVERIFY(QFile::link(env.path("nowhere"), env.dat() + ".damaged.1")); // a dangling one
        const QString text = LoadError(env.cat);
        QVERIFY2(text.contains(env.dat() + ".damaged.2"), qPrintable(text));
        QCOMPARE(ReadFile(env.dat() + ".damaged.2"), bad);
        QCOMPARE(ReadFile(victim), QByteArray("precious"));
        QVERIFY(!QFileInfo::exists(env.path("nowhere")));
    }

    void startUpNeverHangs_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO") << "fifo";
        QTest::newRow("link to /dev/zero") << "zero";
        QTest::newRow("link to a FIFO") << "fifolink";
    }
    void startUpNeverHangs()
    {
        // Each of these used to block or fill the memory for ever.
        QFETCH(QString, kind);
        Env env;
        if (kind == "fifo") {
            QVERIFY(::mkfifo(QFile::encodeName(env.dat()).constData(), 0600) == 0);
        } else if (kind == "zero") {
            QVERIFY(QFile::link("/dev/zero", env.dat()));
        } else {
            QVERIFY(::mkfifo(QFile::encodeName(env.path("f")).constData(), 0600) == 0);
            QVERIFY(QFile::link(env.path("f"), env.dat()));
        }
        env.cat.TopCategory = env.cat.AddCategoryNode(nullptr, "No category");
        const QString text = LoadError(env.cat);
        QVERIFY2(text.contains("It is not a regular file."), qPrintable(text));
        QVERIFY(env.cat.CatalogueFileProtected());
        QCOMPARE(names(env.cat), QStringList{"No category"});
        env.cat.SaveData(false); // leaves it alone, says nothing more
        QVERIFY(!QFileInfo(env.dat()).isFile());
    }

    void failureOnTheReadingThreadReachesTheUser()
    {
        Env env;
        QVERIFY(WriteFile(env.dat(), sample()));
        // The worker runs out of memory while reporting progress.
        env.cat.ProgressHook = [](int) { throw std::bad_alloc(); };
        const QString text = LoadError(env.cat);
        QVERIFY2(text.contains("Not enough memory to read file"), qPrintable(text));
        QVERIFY(!env.cat.Loading());
        QVERIFY(!env.cat.Nodes().Updating());
        QVERIFY(env.cat.MakerCategory);
        QCOMPARE(ReadFile(env.dat() + ".damaged"), sample()); // the whole file is kept
    }

    void hostileLines()
    {
        Env env;
        // A level field of a megabyte: the message quotes its start only.
        const QByteArray huge(1 << 20, 'x');
        QVERIFY(WriteFile(env.dat(), CatalogueLine("A", 0, {}, "1") + "B" + QByteArray(1, '\0') +
                                         huge +
                                         Raw("\0\0\0"
                                             "1\0\r\n")));
        const QString text = LoadError(env.cat);
        QVERIFY2(text.startsWith("'" + QString(80, u'x') + "...' is not a valid integer value"),
                 qPrintable(text.left(200)));
        QVERIFY(text.size() < 600);

        // One stray byte in a comment leaves the UTF-8 name beside it alone.
        Env env2;
        QVERIFY(WriteFile(env2.dat(), Raw("Caf\xc3\xa9 \xc3\x9c"
                                          "ber\0"
                                          "0\0\0"
                                          "5 \x80\0"
                                          "1\0\r\n")));
        QVERIFY(env2.cat.LoadData(false));
        QCOMPARE(names(env2.cat), QStringList{QString::fromUtf8("Café Über")});
        QCOMPARE(env2.cat.TopCategory->Data()->Comments, QString::fromUtf8("5 €"));
        env2.cat.SaveData(false);
        QCOMPARE(ReadFile(env2.dat()), Raw("Caf\xc3\xa9 \xc3\x9c"
                                           "ber\0"
                                           "0\0\0"
                                           "5 \xe2\x82\xac\0"
                                           "1\0\r\n"));
    }

    void charactersTheFileCannotHoldNeverReachIt()
    {
        // U+001A ends the file for its readers and NUL separates fields: a
        // name holding one (a Linux file name may) is saved without it, so
        // the next load reads every line. A leading U+FEFF is text and stays.
        Env env;
        env.cat.TopCategory =
            env.cat.AddCategoryNode(nullptr, QString("Cut\x1a") + QChar(0) + "short");
        TTreeNode* after = env.cat.AddCategoryNode(nullptr, "After");
        env.cat.FillCategoryNode(after, QString(2, QChar(0xFEFF)) + "After",
                                 QChar(0xFEFF) + QString("marked"), {});
        env.cat.SaveData(false);
        Env again;
        QVERIFY(QFile::copy(env.dat(), again.dat()));
        QCOMPARE(LoadError(again.cat), QString());
        QCOMPARE(names(again.cat), (QStringList{"Cutshort", QString(2, QChar(0xFEFF)) + "After"}));
        QCOMPARE(again.cat.Nodes().RootItem(2)->Data()->Comments,
                 QChar(0xFEFF) + QString("marked"));

        // The same from the old tree file: what cannot be stored is dropped at
        // the import, so the entry does not change at its next load.
        Env legacy;
        QVERIFY(WriteFile(legacy.cat.LegacyFile(), Raw("Web\0~https://example.org/\x1a~c\r\n")));
        legacy.cat.Nodes().AddChild(nullptr, "No category");
        legacy.cat.ImportLegacyData();
        TTreeNode* web = legacy.cat.Nodes().GetFirstNode();
        QCOMPARE(web->Text(), QString("Web"));
        QCOMPARE(web->Data()->FullName, QString("https://example.org/"));
    }

    void longLineWithoutEndIsRefused()
    {
        // No line end for longer than any catalogue line can be: refused
        // without holding the whole file in memory.
        Env env;
        QFile f(env.dat());
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.resize(MaxCatalogueLineBytes + (1 << 20))); // sparse: costs no disk
        f.close();
        const QString text = LoadError(env.cat);
        QVERIFY2(text.contains("is longer than 256 MB"), qPrintable(text));
    }
};

QTEST_MAIN(TestCatalogueFileSafety)
#include "tst_cataloguefilesafety.moc"
