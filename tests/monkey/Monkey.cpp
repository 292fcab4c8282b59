#include "Monkey.h"
#include "Answers.h"
#include "Gestures.h"
#include "Invariants.h"
#include "Steps.h"
#include "World.h"
#include "catalogue/Catalogue.h"
#include "catalogue/ListModel.h"
#include "components/FileOperationDialogs.h"
#include "forms/MainWindow.h"
#include "forms/main/CategoryView.h"
#include "forms/main/CommandActions.h"
#include "utils/TextUtils.h"

#include <QScopeGuard>
#include <QUndoStack>

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QStatusBar>
#include <QThread>
#include <QTimer>
#include <QTreeView>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <deque>
#include <execinfo.h>
#include <mutex>
#include <pthread.h>
#include <thread>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MONKEY_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define MONKEY_ASAN 1
#endif
#ifdef MONKEY_ASAN
#include <sanitizer/common_interface_defs.h>
#endif

// ---------------------------------------------------------------- the log

namespace
{

// The least time a timed run keeps for its end's work.
constexpr qint64 MinClosingMs = 10000;

} // namespace

namespace MonkeyLog
{
namespace
{

std::mutex g_lock;
std::deque<std::string> g_lines; // the last lines, for a report
constexpr size_t KeptLines = 4000;
FILE* g_file = nullptr;
bool g_echo = false;
std::string g_replay;
int g_tail = 40;

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

void printTailUnlocked(int count)
{
    const size_t from = g_lines.size() > size_t(count) ? g_lines.size() - size_t(count) : 0;
    std::fprintf(stderr, "monkey: the last steps:\n");
    for (size_t i = from; i < g_lines.size(); ++i)
        std::fprintf(stderr, "%s\n", g_lines[i].c_str());
    if (!g_replay.empty())
        std::fprintf(stderr, "monkey: %s\n", g_replay.c_str());
    std::fflush(stderr);
}

// After a sanitizer's report or a crash: the steps that led there.
void onDeath()
{
    if (g_lock.try_lock()) {
        printTailUnlocked(g_tail);
        g_lock.unlock();
    }
}

#ifndef MONKEY_ASAN
void onSignal(int signal)
{
    std::fprintf(stderr, "monkey: signal %d\n", signal);
    void* frames[64];
    ::backtrace_symbols_fd(frames, ::backtrace(frames, 64), 2);
    onDeath();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}
#endif

} // namespace

std::atomic<qint64>& stepStarted()
{
    static std::atomic<qint64> started{0};
    return started;
}

void open(const QString& path, bool echo)
{
    g_echo = echo;
    if (!path.isEmpty())
        g_file = std::fopen(QFile::encodeName(path).constData(), "w");
}

void add(const std::string& line)
{
    std::lock_guard<std::mutex> hold(g_lock);
    g_lines.push_back(line);
    if (g_lines.size() > KeptLines)
        g_lines.pop_front();
    if (g_file) {
        std::fprintf(g_file, "%s\n", line.c_str());
        std::fflush(g_file);
    }
    if (g_echo)
        std::fprintf(stdout, "%s\n", line.c_str());
}

void printTail(int count)
{
    std::lock_guard<std::mutex> hold(g_lock);
    printTailUnlocked(count);
}

void setReplay(const std::string& text)
{
    std::lock_guard<std::mutex> hold(g_lock);
    g_replay = text;
}

void installCrashReport(int tail)
{
    g_tail = tail;
#ifdef MONKEY_ASAN
    __sanitizer_set_death_callback(onDeath);
#else
    for (int s : {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL})
        std::signal(s, onSignal);
#endif
}

void startWatchdog(int hangSeconds, int runSeconds)
{
    const pthread_t main = ::pthread_self();
    const qint64 runEnds = runSeconds > 0 ? nowMs() + qint64(runSeconds) * 1000 : 0;
    std::thread([hangSeconds, runSeconds, runEnds, main] {
        for (;;) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
            const qint64 started = stepStarted().load();
            const bool hung = started && nowMs() - started > qint64(hangSeconds) * 1000;
            const bool late = runEnds && nowMs() > runEnds;
            if (!hung && !late)
                continue;
            if (hung)
                std::fprintf(stderr,
                             "monkey: FAULT: a step has run for over %d s (a hang); "
                             "where the program is:\n",
                             hangSeconds);
            else
                std::fprintf(stderr,
                             "monkey: FAULT: the run is past its %d s (a step or the closing "
                             "work far too slow, or hung); where the program is:\n",
                             runSeconds);
            // The abort in the program's own thread shows its stack (the
            // sanitizer's report, or the crash report), then the steps.
            ::pthread_kill(main, SIGABRT);
            std::this_thread::sleep_for(std::chrono::seconds(10));
            onDeath();
            std::abort();
        }
    }).detach();
}

} // namespace MonkeyLog

// ---------------------------------------------------------------- the run

Monkey::Monkey(const Options& options, World& world) : m_options(options), m_world(world) {}

Monkey::~Monkey()
{
    stopWindow();
}

Catalogue& Monkey::catalogue() const
{
    return m_window->catalogue();
}

CategoryView& Monkey::view() const
{
    return *m_window->findChild<CategoryView*>();
}

ListModel& Monkey::listModel() const
{
    return view().listModel();
}

QTreeView* Monkey::tree() const
{
    return view().tree();
}

QAbstractItemView* Monkey::shownList() const
{
    for (QAbstractItemView* list : view().listViews())
        if (list->isVisibleTo(m_window.get()))
            return list;
    return view().listViews().constLast();
}

QAction* Monkey::action(Commands::Id id) const
{
    return m_window->findChild<QAction*>(QLatin1String(Commands::entry(id).objectName));
}

std::vector<TreeNode*> Monkey::nodes() const
{
    std::vector<TreeNode*> out;
    const NodeTree& tree = catalogue().nodes();
    out.reserve(size_t(tree.count()));
    for (TreeNode* n = tree.getFirstNode(); n; n = n->getNext())
        out.push_back(n);
    return out;
}

std::unordered_set<const TreeNode*> Monkey::liveNodes() const
{
    std::unordered_set<const TreeNode*> out;
    const NodeTree& tree = catalogue().nodes();
    std::vector<const TreeNode*> pending;
    for (int i = 0; i < tree.rootCount(); ++i)
        pending.push_back(tree.rootItem(i));
    while (!pending.empty()) {
        const TreeNode* n = pending.back();
        pending.pop_back();
        out.insert(n);
        for (int i = 0; i < n->count(); ++i)
            pending.push_back(n->item(i));
    }
    return out;
}

void Monkey::note(const QString& text)
{
    QString line = text;
    line.replace(m_world.root(), QStringLiteral("<scratch>"));
    MonkeyLog::add("    " + line.toStdString());
}

void Monkey::fault(const QString& text)
{
    m_faults << text;
    note(QStringLiteral("FAULT: ") + text);
}

int Monkey::run()
{
    m_clock.start();
    MonkeyLog::installCrashReport(m_options.tail);
    MonkeyLog::startWatchdog(m_options.hangSeconds, m_options.seconds);
    m_answers = std::make_unique<Answers>(*this);
    startWindow();
    std::fprintf(stdout, "monkey: seed %llu, %lld steps, %d nodes, scratch folder %s%s\n",
                 static_cast<unsigned long long>(m_options.seed), m_options.steps,
                 catalogue().nodes().count(), qPrintable(m_world.realRoot()),
                 m_world.guarded() ? ", writes outside it blocked" : "");
    std::fflush(stdout);
    QTimer::singleShot(0, this, &Monkey::nextStep);
    QApplication::exec();
    stopWindow();
    m_answers.reset();
    return m_exitCode;
}

void Monkey::startWindow()
{
    m_ending = false;
    m_window = std::make_unique<MainWindow>();
    m_window->catalogue().setDataFolder(m_world.catalogueFolder());
    m_window->setQuitHook([this] { runEnded(); });
    m_window->start(nullptr);
    if (!m_window->startupError().isEmpty())
        note(QStringLiteral("start-up message: ") +
             TextUtils::excerpt(TextUtils::singleLine(m_window->startupError()), 200));
    FileOperations::installDialogs(m_window.get());
    m_window->resize(800, 560);
    m_window->show();
    m_window->activateWindow();
    watchSaves();
    // A history emptied by anything but the end of the run (a change no
    // step recorded) starts again from the tree as it then is.
    m_undoBaseKnown = false;
    m_historyCount = m_historyIndex = 0;
    connect(&m_window->catalogue().history().stack(), &QUndoStack::indexChanged, this,
            &Monkey::followHistory);
    m_listTester = std::make_unique<QAbstractItemModelTester>(
        &listModel(), QAbstractItemModelTester::FailureReportingMode::Warning);
}

void Monkey::stopWindow()
{
    // A drop refused over the window leaves Qt's drag manager pointing at
    // the window that took the drag's enter (the program's window lives for
    // the whole run, so only a restart here makes that pointer dangle).
    if (QDragManager* drags = QDragManager::self();
        drags && drags->currentTarget() && m_window &&
        (drags->currentTarget() == m_window.get() ||
         m_window->isAncestorOf(qobject_cast<QWidget*>(drags->currentTarget()))))
        drags->setCurrentTarget(nullptr);
    m_treeTester.reset();
    m_listTester.reset();
    m_window.reset();
}

void Monkey::watchSaves()
{
    // Right after the command, in the same trigger: nothing else ran between.
    connect(action(Commands::Id::Backup), &QAction::triggered, this,
            [this] { compareSaved(true, QStringLiteral("the backup")); });
    // A restore is compared once its load is through.
    connect(action(Commands::Id::Restore), &QAction::triggered, this,
            [this] { m_restoreAsked = true; });
    connect(&catalogue(), &Catalogue::loaded, this, [this] {
        if (!std::exchange(m_restoreAsked, false))
            return;
        for (const QString& text : m_answers->messages())
            if (text.contains(QStringLiteral("Nothing was restored")) ||
                text.contains(QStringLiteral("Cannot")))
                return;
        if (!m_window->statusBar()->currentMessage().contains(
                QStringLiteral("successfully restored")))
            return;
        TreeImage backup;
        QString error;
        if (!TreeImage::read(catalogue().dataFile(true), &backup, &error))
            return fault(QStringLiteral("the restored backup cannot be read: ") + error);
        const QString difference = TreeImage::difference(
            backup, TreeImage::of(catalogue().nodes(), catalogue().makerCategory()), true);
        if (!difference.isEmpty())
            fault(QStringLiteral("the tree after a restore is not the backup: ") + difference);
    });
}

void Monkey::compareSaved(bool backup, const QString& when)
{
    const QString path = catalogue().dataFile(backup);
    const FileStamp now = FileStamp::of(path);
    FileStamp& before = backup ? m_bakStamp : m_datStamp;
    if (now == before) {
        note(when + QStringLiteral(": nothing written"));
        return;
    }
    before = now;
    TreeImage written;
    QString error;
    if (!TreeImage::read(path, &written, &error))
        return fault(when + QStringLiteral(" cannot be read: ") + error);
    const QString difference = TreeImage::difference(
        TreeImage::of(catalogue().nodes(), catalogue().makerCategory()), written, false);
    if (!difference.isEmpty())
        fault(when + QStringLiteral(" is not the tree: ") + difference);
    if (!backup)
        m_savedAtEnd = std::move(written);
}

void Monkey::checkSavedCatalogue(const QString& when)
{
    compareSaved(false, when);
}

void Monkey::runEnded()
{
    m_ending = true;
    m_savedAtEnd = {};
    note(QStringLiteral("the run ends"));
    if (!catalogue().catalogueFileProtected())
        compareSaved(false, QStringLiteral("the catalogue saved at the end"));
}

void Monkey::restart()
{
    const TreeImage saved = std::move(m_savedAtEnd);
    m_savedAtEnd = {};
    stopWindow();
    ++m_restarts;
    note(QStringLiteral("the program starts again"));
    startWindow();
    if (saved.empty())
        return;
    const QString difference = TreeImage::difference(
        saved, TreeImage::of(catalogue().nodes(), catalogue().makerCategory()), true);
    if (!difference.isEmpty())
        fault(QStringLiteral("the catalogue saved at the end loads back otherwise: ") + difference);
}

void Monkey::nextStep()
{
    ++m_index;
    const qint64 elapsed = m_clock.elapsed();
    // A timed run keeps a share of its time for the end's work (undoing
    // every step, the save, the new start and the comparisons), which must
    // be through within the time as well.
    const qint64 stepsEnd = qint64(m_options.seconds) * 1000 -
                            std::max<qint64>(MinClosingMs, qint64(m_options.seconds) * 1000 / 4);
    if (m_index >= m_options.steps || (m_options.seconds > 0 && elapsed > stepsEnd)) {
        // The run ends as the user ends it: saved, started again, compared.
        MonkeyLog::add(QStringLiteral("#%1 the end: Exit").arg(m_index).toStdString());
        const bool undone = !m_ending && undoEverything(QStringLiteral("at the end of the run"));
        const QString dataFile = catalogue().dataFile(false);
        const FileStamp before = FileStamp::of(dataFile);
        if (!m_ending)
            action(Commands::Id::QuitFromFileMenu)->trigger();
        // The end's save of the undone catalogue is the file of the start.
        if (undone && m_faults.isEmpty() && FileStamp::of(dataFile) != before) {
            QFile file(dataFile);
            if (!file.open(QIODevice::ReadOnly) || file.readAll() != m_undoBase)
                fault(QStringLiteral("the catalogue saved after undoing every step is not the one "
                                     "the history began with"));
        }
        restart();
        if (m_faults.isEmpty())
            checkInvariants();
        if (!m_faults.isEmpty()) {
            report(m_faults.join(QStringLiteral("\n  ")));
            return finish(1);
        }
        return finish(0);
    }
    MonkeyLog::setReplay(
        QStringLiteral("replay: scripts/monkey.sh %1 %2 (the scratch folder is kept)")
            .arg(m_options.seed)
            .arg(m_index + 1)
            .toStdString());
    m_rng = Rng::forStep(m_options.seed, quint64(m_index));
    if (m_options.skip.contains(m_index)) {
        MonkeyLog::add(QStringLiteral("#%1 (left out)").arg(m_index).toStdString());
        QTimer::singleShot(0, this, &Monkey::nextStep);
        return;
    }
    m_answers->messages().clear();
    noteHistoryStart();
    m_datStamp = FileStamp::of(catalogue().dataFile(false));
    m_bakStamp = FileStamp::of(catalogue().dataFile(true));
    const auto kinds = stepKinds();
    const StepKind* kind = &kinds[0];
    if (!m_window->isVisible()) {
        // Hidden in the tray: only the tray's menu is at hand.
        m_stepName = QStringLiteral("tray");
        MonkeyLog::add(QStringLiteral("#%1 tray").arg(m_index).toStdString());
        const Commands::Id tray[] = {Commands::Id::Show,    Commands::Id::Show,
                                     Commands::Id::Show,    Commands::Id::AddFile,
                                     Commands::Id::Options, Commands::Id::Quit};
        const Commands::Id id = m_rng.pick(tray);
        note(QStringLiteral("tray menu %1").arg(QLatin1String(Commands::entry(id).objectName)));
        MonkeyLog::stepStarted() = QDateTime::currentMSecsSinceEpoch();
        action(id)->trigger();
    } else {
        int total = 0;
        for (const StepKind& k : kinds)
            total += k.weight;
        int roll = m_rng.below(total);
        for (const StepKind& k : kinds) {
            if (roll < k.weight) {
                kind = &k;
                break;
            }
            roll -= k.weight;
        }
        m_stepName = QLatin1String(kind->name);
        MonkeyLog::add(QStringLiteral("#%1 %2").arg(m_index).arg(m_stepName).toStdString());
        if (m_options.testerEvery > 0 && m_index % m_options.testerEvery == 0)
            m_treeTester = std::make_unique<QAbstractItemModelTester>(
                &catalogue().nodes(), QAbstractItemModelTester::FailureReportingMode::Warning);
        MonkeyLog::stepStarted() = QDateTime::currentMSecsSinceEpoch();
        kind->run(*this);
    }
    settle(3);
}

void Monkey::settle(int turns)
{
    // What the step left for later (a drop's filing, a deferred question)
    // runs first, as in the program's own loop; a dialog or menu it opened
    // (the loop inside a loop) is answered and gone first, and a load
    // (a restore) is through.
    if (QThread::currentThread()->loopLevel() > 1 || catalogue().loading()) {
        QTimer::singleShot(0, this, [this, turns] { settle(turns); });
        return;
    }
    if (turns > 0)
        QTimer::singleShot(0, this, [this, turns] { settle(turns - 1); });
    else
        afterStep();
}

void Monkey::afterStep()
{
    MonkeyLog::stepStarted() = 0;
    m_treeTester.reset();
    if (m_window)
        followHistory();
    if (m_ending)
        restart();
    if (m_faults.isEmpty())
        checkInvariants();
    // Now and then the whole history is taken back and made again.
    if (m_faults.isEmpty() && !m_ending && m_rng.chance(1)) {
        const QByteArray now = catalogueBytes();
        const int index = catalogue().history().stack().index();
        if (undoEverything(QStringLiteral("in the middle of the run")))
            redoEverything(now, index);
    }
    // What the step left, in short: two runs of a seed that part ways show
    // it here first.
    size_t digest = 0;
    for (const TreeNode* n = catalogue().nodes().getFirstNode(); n; n = n->getNext())
        digest = digest * 31 + qHash(n->text()) + size_t(n->imageIndex());
    note(QStringLiteral("= %1 nodes, %2 rows, tree %3")
             .arg(catalogue().nodes().count())
             .arg(listModel().rowCount())
             .arg(digest % 1000000));
    if (!m_faults.isEmpty()) {
        report(m_faults.join(QStringLiteral("\n  ")));
        return finish(1);
    }
    QTimer::singleShot(0, this, &Monkey::nextStep);
}

void Monkey::checkInvariants()
{
    for (const Invariant& invariant : invariants()) {
        const QString broken = invariant.check(*this);
        if (!broken.isEmpty()) {
            fault(QStringLiteral("%1: %2").arg(QLatin1String(invariant.name), broken));
            return;
        }
    }
}

QByteArray Monkey::catalogueBytes() const
{
    QByteArray out;
    static const NodeInfo none;
    const TreeNode* maker = catalogue().makerCategory();
    for (const TreeNode* n = catalogue().nodes().getFirstNode(); n; n = n->getNext()) {
        if (maker && n->isUnder(maker))
            continue;
        const NodeInfo* i = n->data() ? n->data() : &none;
        appendCatalogueLine(out, n->text(), n->level(), i->fullName, i->comments, i->getsKind(),
                            i->sAdditional);
    }
    return out;
}

void Monkey::followHistory()
{
    // Fewer steps than before, other than a new step that dropped the undone
    // ones: the history was cleared, or a step left it as its real file
    // could not follow (a "Move ... back?" answered No, the file gone).
    // Undoing the rest cannot reach the start then, by design.
    const QUndoStack& stack = catalogue().history().stack();
    const int count = stack.count();
    const int index = stack.index();
    const bool pushed = index == count && count == m_historyIndex + 1;
    if (count == 0 || (count < m_historyCount && !pushed))
        m_undoBaseKnown = false;
    m_historyCount = count;
    m_historyIndex = index;
}

void Monkey::noteHistoryStart()
{
    if (catalogue().history().stack().count() != 0)
        return;
    m_undoBase = catalogueBytes();
    m_undoBaseKnown = true;
}

namespace
{

// The first line where two catalogues part, for the report.
QString firstDifference(const QByteArray& got, const QByteArray& expected)
{
    const QList<QByteArray> a = got.split('\n');
    const QList<QByteArray> b = expected.split('\n');
    for (qsizetype i = 0; i < std::max(a.size(), b.size()); ++i)
        if (a.value(i) != b.value(i)) {
            auto shown = [](QByteArray line) {
                return QString::fromUtf8(line.replace('\0', '|').replace('\r', ""));
            };
            return QStringLiteral("line %1 is \"%2\", not \"%3\" (%4 lines, not %5)")
                .arg(i + 1)
                .arg(TextUtils::excerpt(shown(a.value(i)), 200),
                     TextUtils::excerpt(shown(b.value(i)), 200))
                .arg(a.size() - 1)
                .arg(b.size() - 1);
        }
    return {};
}

} // namespace

bool Monkey::undoEverything(const QString& when)
{
    QUndoStack& stack = catalogue().history().stack();
    QAction* undo = action(Commands::Id::Undo);
    if (!m_undoBaseKnown || !undo->isEnabled())
        return false;
    note(QStringLiteral("every step undone %1 (%2 steps)").arg(when).arg(stack.index()));
    m_answers->setAgreeing(true);
    auto agreeing = qScopeGuard([this] { m_answers->setAgreeing(false); });
    // Each undo takes one step back; a step whose real file cannot go back
    // leaves the history (and the rest stands as it is).
    for (int left = stack.count(); undo->isEnabled() && left > 0 && !m_ending; --left) {
        const int count = stack.count();
        undo->trigger();
        if (stack.count() < count) {
            note(QStringLiteral("a step could not be undone: the catalogue stays as it is"));
            return false;
        }
    }
    if (m_ending || !m_undoBaseKnown)
        return false;
    if (undo->isEnabled())
        fault(QStringLiteral("Undo stays enabled after every step was undone"));
    else if (const QString d = firstDifference(catalogueBytes(), m_undoBase); !d.isEmpty())
        fault(QStringLiteral("undoing every step %1 does not give back the catalogue the "
                             "history began with: %2")
                  .arg(when, d));
    ++m_undoChecks;
    return m_faults.isEmpty();
}

void Monkey::redoEverything(const QByteArray& expected, int index)
{
    QUndoStack& stack = catalogue().history().stack();
    QAction* redo = action(Commands::Id::Redo);
    m_answers->setAgreeing(true);
    auto agreeing = qScopeGuard([this] { m_answers->setAgreeing(false); });
    // Up to where the history stood: the steps undone before stay undone.
    for (int left = stack.count(); stack.index() < index && left > 0 && !m_ending; --left) {
        if (!redo->isEnabled())
            return fault(QStringLiteral("Redo is greyed before every undone step was made again"));
        const int count = stack.count();
        redo->trigger();
        if (stack.count() < count || !m_undoBaseKnown)
            return note(QStringLiteral("a step could not be made again"));
    }
    if (m_ending)
        return;
    if (const QString d = firstDifference(catalogueBytes(), expected); !d.isEmpty())
        fault(QStringLiteral("redoing every step does not give back the catalogue before the "
                             "undo: %1")
                  .arg(d));
}

void Monkey::report(const QString& what)
{
    m_world.keep();
    std::fprintf(stderr, "monkey: FAULT in step %lld (%s) of seed %llu:\n  %s\n", m_index,
                 qPrintable(m_stepName), static_cast<unsigned long long>(m_options.seed),
                 qPrintable(what));
    MonkeyLog::printTail(m_options.tail);
    std::fprintf(stderr, "monkey: the scratch folder is kept: %s (the run saw it as %s)\n",
                 qPrintable(m_world.realRoot()), qPrintable(m_world.root()));
}

void Monkey::finish(int code)
{
    m_exitCode = code;
    if (code == 0)
        std::fprintf(stdout,
                     "monkey: seed %llu: %lld steps in %.1f s, %lld restarts, %lld answers, "
                     "%lld undo-everything checks, every invariant held\n",
                     static_cast<unsigned long long>(m_options.seed), m_index,
                     double(m_clock.elapsed()) / 1000, m_restarts, m_answers->count(),
                     m_undoChecks);
    std::fflush(stdout);
    QCoreApplication::exit(code);
}
