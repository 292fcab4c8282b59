// Saves while the user works: when they come, what holds them, what they
// write (the same bytes and the same defences as the save at the end), and
// how a failing one is told.
#include "catalogue/AutoSave.h"
#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueSave.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "testutil/TestUtil.h"

using TestUtil::catalogueLine;
using TestUtil::readFile;
using TestUtil::writeFile;

namespace
{

// Long enough for any save of the small trees here on a busy machine.
constexpr int SaveWaitMs = 20000;

struct Env {
    QTemporaryDir dir;
    Catalogue cat;
    AutoSave autoSave{cat};
    Env()
    {
        cat.setDataFolder(dir.path());
        cat.setTopCategory(cat.addCategoryNode(nullptr, "Work"));
        cat.createMakerCategory();
        cat.saveData(false);
        cat.setDataSaved(false);
        autoSave.start();
    }
    QString dat() const { return cat.dataFile(false); }
    // What the save at the end of the run would write now.
    QByteArray expected()
    {
        QByteArray out;
        int level = 0;
        encodeCatalogueLines(cat.nodes().getFirstNode(), level, cat.makerCategory(), out,
                             std::numeric_limits<qsizetype>::max());
        return out;
    }
    bool waitSaved()
    {
        QSignalSpy saved(&autoSave, &AutoSave::saved);
        return !autoSave.pending() || saved.wait(SaveWaitMs);
    }
};

// Restores an environment variable when the test ends.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const QByteArray& value) : m_name(name), m_old(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~ScopedEnv() { qputenv(m_name, m_old); }

private:
    const char* m_name;
    QByteArray m_old;
};

} // namespace

class TestAutoSave : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void aChangeReachesTheDiskAfterAQuietMoment()
    {
        Env env;
        QSignalSpy saved(&env.autoSave, &AutoSave::saved);
        TreeNode* a = env.cat.addCategoryNode(env.cat.topCategory(), "A");
        env.cat.nodes().setText(a, "Renamed");
        env.cat.nodes().editRecord(a, [](NodeInfo& info) { info.comments = "note"; });
        QVERIFY(env.autoSave.pending());
        QVERIFY(saved.wait(SaveWaitMs));
        QCOMPARE(saved.size(), 1); // three changes, one save
        QVERIFY(!env.autoSave.pending());
        QCOMPARE(readFile(env.dat()), env.expected());
        QVERIFY(readFile(env.dat()).contains("Renamed"));
        QVERIFY(!env.cat.dataSaved()); // the end of the run still saves

        // A new picture is no change of the file; a move and a removal are.
        env.cat.nodes().setImage(a, imgMissing);
        QVERIFY(!env.autoSave.pending());
        env.cat.nodes().moveTo(a, nullptr, 0);
        QVERIFY(env.waitSaved());
        env.cat.nodes().deleteNode(a);
        QVERIFY(env.waitSaved());
        QCOMPARE(readFile(env.dat()), catalogueLine("Work", 0, {}, "1"));
    }

    void aHeldSaveWaitsForTheAnswer()
    {
        Env env;
        bool questionOpen = true;
        int looks = 0;
        env.autoSave.holdHook = [&] {
            ++looks;
            return questionOpen;
        };
        const QByteArray before = readFile(env.dat());
        env.cat.addCategoryNode(env.cat.topCategory(), "Asked about");
        // The save looked more than once and was held each time.
        QTRY_VERIFY_WITH_TIMEOUT(looks >= 3, SaveWaitMs);
        QCOMPARE(readFile(env.dat()), before);
        QVERIFY(env.autoSave.pending());
        questionOpen = false;
        QVERIFY(env.waitSaved());
        QVERIFY(readFile(env.dat()).contains("Asked about"));
    }

    void changesDuringTheEncodingStartItAgain()
    {
        // Large enough that the encoding takes several turns of the event
        // loop; nodes go between the turns (from the moment the save first
        // looks whether it may go), and the file still ends as the tree.
        Env env;
        for (int i = 0; i < 100000; ++i)
            env.cat.addCategoryNode(env.cat.topCategory(), QString("Entry %1 ").arg(i).repeated(8));
        int removals = 0;
        QTimer remover;
        QObject::connect(&remover, &QTimer::timeout, [&] {
            env.cat.nodes().deleteNode(env.cat.topCategory()->getLastChild());
            if (++removals == 20)
                remover.stop();
        });
        env.autoSave.holdHook = [&] {
            if (removals == 0 && !remover.isActive())
                remover.start(1);
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(removals == 20, SaveWaitMs);
        QVERIFY(env.waitSaved());
        env.cat.waitForWrite();
        QCOMPARE(env.cat.topCategory()->count(), 100000 - 20);
        QCOMPARE(readFile(env.dat()), env.expected());
        // The saves given up leave no half-written file behind.
        QTRY_COMPARE_WITH_TIMEOUT(QDir(env.dir.path()).entryList(QDir::Files | QDir::Hidden),
                                  QStringList{"quillmere.dat"}, SaveWaitMs);
    }

    void aFailureIsToldOnceAndTriedAgainAtTheNextChange()
    {
        Env env;
        // The folder cannot be made again (a file stands in its way), nor the
        // fallback in the user's data folder.
        const QString blocker = env.dir.filePath("blocker");
        QVERIFY(writeFile(blocker, "x"));
        env.cat.setDataFolder(blocker + "/catalogue");
        ScopedEnv data("XDG_DATA_HOME", QFile::encodeName(blocker + "/data"));
        QSignalSpy failed(&env.autoSave, &AutoSave::failed);
        QSignalSpy saved(&env.autoSave, &AutoSave::saved);
        QSignalSpy done(&env.cat, &Catalogue::backgroundWriteDone);
        env.cat.addCategoryNode(env.cat.topCategory(), "First");
        QVERIFY(failed.wait(SaveWaitMs));
        QVERIFY2(failed[0][0].toString().contains("cannot be made again"),
                 qPrintable(failed[0][0].toString()));
        // The next change tries again, and says nothing new.
        env.cat.addCategoryNode(env.cat.topCategory(), "Second");
        QVERIFY(done.wait(SaveWaitMs));
        QCOMPARE(done.size(), 2);
        QVERIFY(!done[1][0].toString().isEmpty());
        QCOMPARE(failed.size(), 1);
        QCOMPARE(saved.size(), 0);

        // Room again: the next change saves them all.
        QVERIFY(QFile::remove(blocker));
        env.cat.addCategoryNode(env.cat.topCategory(), "Third");
        QVERIFY(saved.wait(SaveWaitMs));
        QCOMPARE(readFile(blocker + "/catalogue/quillmere.dat"), env.expected());
        QCOMPARE(failed.size(), 1);
    }

    void otherProgramsVersionIsKeptAsAtTheEnd()
    {
        Env env;
        QSignalSpy notices(&env.cat, &Catalogue::saveNotice);
        const QByteArray theirs = catalogueLine("Theirs", 0, {}, "1");
        QVERIFY(writeFile(env.dat() + ".new", theirs));
        QVERIFY(QFile::remove(env.dat()));
        QVERIFY(QFile::rename(env.dat() + ".new", env.dat()));
        env.cat.addCategoryNode(env.cat.topCategory(), "Mine");
        QVERIFY(env.waitSaved());
        QCOMPARE(readFile(env.dat() + ".conflict"), theirs);
        QCOMPARE(readFile(env.dat()), env.expected());
        QCOMPARE(notices.size(), 1);
    }

    void flushSavesNowAndTheEndOfTheRunMakesItClean()
    {
        Env env;
        env.cat.addCategoryNode(env.cat.topCategory(), "Now");
        env.autoSave.flush();
        QVERIFY(!env.autoSave.pending());
        QVERIFY(!env.cat.writing());
        QVERIFY(readFile(env.dat()).contains("Now"));

        // A flush while a question is open leaves the change waiting.
        env.autoSave.holdHook = [] { return true; };
        env.cat.addCategoryNode(env.cat.topCategory(), "Held");
        env.autoSave.flush();
        QVERIFY(env.autoSave.pending());
        QVERIFY(!readFile(env.dat()).contains("Held"));
        // The end of the run's save takes everything; nothing is left to do.
        env.cat.saveData(false);
        QVERIFY(!env.autoSave.pending());
        QVERIFY(readFile(env.dat()).contains("Held"));
    }

    void aProtectedFileIsNeverWritten()
    {
        // A catalogue that could not be read nor kept aside stays as it is.
        QTemporaryDir dir;
        Catalogue cat;
        cat.setDataFolder(dir.path());
        QVERIFY(QDir(dir.path()).mkdir("quillmere.dat"));
        cat.nodes().addChild(nullptr, "No category");
        TestUtil::loadError(cat);
        QVERIFY(cat.catalogueFileProtected());
        AutoSave autoSave(cat);
        autoSave.start();
        cat.addCategoryNode(nullptr, "Later");
        autoSave.flush();
        QVERIFY(QFileInfo(cat.dataFile(false)).isDir());
        QVERIFY(!cat.writing());
    }
};

QTEST_MAIN(TestAutoSave)
#include "tst_autosave.moc"
