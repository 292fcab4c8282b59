#pragma once
#include "Rng.h"
#include "TreeImage.h"
#include "catalogue/CatalogueFile.h"
#include "forms/main/Commands.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

class Answers;
class Catalogue;
class CategoryView;
class ListModel;
class MainWindow;
class QAbstractItemModelTester;
class QAbstractItemView;
class QAction;
class QTreeView;
class TreeNode;
class World;

// The driver: runs random steps against the composed main window, one turn
// of the event loop each, and after every step checks the invariants. A
// fault stops the run with the steps that led there; a sanitizer's report
// or a crash prints them too. Steps and invariants live in tables
// (Steps.cpp, Invariants.cpp): a new kind is one row and one function.
class Monkey : public QObject
{
    Q_OBJECT
public:
    struct Options {
        quint64 seed = 1;
        qint64 steps = 1000;
        int seconds = 0;     // the whole run within this long, its end included (0: no limit)
        int nodes = 3000;    // entries of the generated catalogue
        int tail = 40;       // steps shown with a fault
        int testerEvery = 3; // the tree model's tester watches every n-th step (0: never)
        int hangSeconds = 180;
        bool verbose = false; // every step as it runs
        QString logPath;      // every step, written as it runs
        QSet<qint64> skip;    // steps left out (to narrow a finding down)
        QStringList noTo;     // questions holding one of these texts are answered No
    };

    Monkey(const Options& options, World& world);
    ~Monkey() override;

    // Starts the window and runs the steps in the event loop; the exit code.
    int run();

    // What steps and invariants work with.
    World& world() { return m_world; }
    Rng& rng() { return m_rng; }
    const Options& options() const { return m_options; }
    qint64 stepIndex() const { return m_index; }
    MainWindow& window() const { return *m_window; }
    Catalogue& catalogue() const;
    CategoryView& view() const;
    ListModel& listModel() const;
    QTreeView* tree() const;
    // The list view on show (icons or details).
    QAbstractItemView* shownList() const;
    QAction* action(Commands::Id id) const;
    // Every node in the tree's full order.
    std::vector<TreeNode*> nodes() const;
    std::unordered_set<const TreeNode*> liveNodes() const;

    // A detail of the current step for the log ("? Remove ...? -> Yes").
    void note(const QString& text);
    // A fault found in the middle of a step (a hook saw it): the run stops
    // after the step.
    void fault(const QString& text);
    // The run ended (Exit, a signal, the logoff's end): the window is made
    // anew from the saved catalogue after this step.
    bool ending() const { return m_ending; }
    // What a step must know: the answers, the last tree saved at the end.
    Answers& answers() { return *m_answers; }
    // Called by the window's quit hook: the catalogue was just saved.
    void runEnded();
    // The catalogue file against the tree right after a save (When says
    // which); a difference is a fault.
    void checkSavedCatalogue(const QString& when);
    // The catalogue as a save writes it (the built-in category never is).
    QByteArray catalogueBytes() const;

private:
    void startWindow();
    void stopWindow();
    void restart();
    void nextStep();
    void settle(int turns);
    void afterStep();
    void checkInvariants();
    void finish(int code);
    void report(const QString& what);
    void watchSaves();
    // The catalogue file or its backup, when this step wrote it, against the tree.
    void compareSaved(bool backup, const QString& when);
    // Undoes every step of the history; true when that must give back the
    // catalogue of the history's start (m_undoBase) and the comparison ran.
    bool undoEverything(const QString& when);
    // Makes the undone steps again up to Index, where the history stood.
    void redoEverything(const QByteArray& expected, int index);
    void noteHistoryStart();
    void followHistory();

    Options m_options;
    World& m_world;
    Rng m_rng;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<Answers> m_answers;
    std::unique_ptr<QAbstractItemModelTester> m_listTester;
    std::unique_ptr<QAbstractItemModelTester> m_treeTester;
    qint64 m_index = -1;
    QString m_stepName;
    QStringList m_faults;
    bool m_ending = false;
    bool m_restoreAsked = false; // "Restore data" was triggered; its load is awaited
    TreeImage m_savedAtEnd;      // the catalogue as the end of the run saved it
    FileStamp m_datStamp;        // the catalogue file and its backup as the step found them
    FileStamp m_bakStamp;
    QElapsedTimer m_clock;
    qint64 m_restarts = 0;
    // The catalogue where the current history begins (taken before a step
    // when the history is empty); lost when the history is cleared in the
    // middle of a step, until it is empty again before one.
    QByteArray m_undoBase;
    bool m_undoBaseKnown = false;
    qint64 m_undoChecks = 0;
    int m_historyCount = 0; // the history as last seen
    int m_historyIndex = 0;
    int m_exitCode = 0;
};

// The log of a run: each step's line and its details, kept for the report
// of a fault, a sanitizer's death or a crash.
namespace MonkeyLog
{
void open(const QString& path, bool echo);
void add(const std::string& line);
// The last Count lines, to standard error.
void printTail(int count);
// Where the watchdog looks: when the current step began (ms since the epoch).
std::atomic<qint64>& stepStarted();
void setReplay(const std::string& text);
void installCrashReport(int tail);
// A step that runs longer than HangSeconds is a hang, and a run still going
// RunSeconds after it began (0: no limit) ran past its time, in a step or
// in its closing work: either way the run stops with its log.
void startWatchdog(int hangSeconds, int runSeconds);
} // namespace MonkeyLog
