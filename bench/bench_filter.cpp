// Times the instant filter as the user types into it over a large
// catalogue: each keystroke matches the whole catalogue (or, while the text
// only grows, a result found before), fills the list and paints the details
// view. A word is typed letter by letter, then partly taken back with
// Backspace, then a second word is typed.
//
//   bench_filter [--entries 200000] [--runs 3]
//
// With --program it times the real program instead, under the X server of
// DISPLAY (xvfb-run): it writes a catalogue of hyperlinks, starts the
// program on it, waits until it is idle, and sends each key through the
// XTest extension; a keystroke's time runs from sending the key to the first
// repaint of the list that the Damage extension reports. The same keys in a
// catalogue of a hundred entries give the floor (the X server, Qt, and the
// painting). Last, a letter typed a thousand times over.
//
//   xvfb-run -a -s "-screen 0 1280x1024x24" bench_filter --program
//       [--entries 200000] [--runs 3] [--repeat 1000] [--exe build/quillmere]
#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueFilter.h"
#include "catalogue/FoldedIndex.h"
#include "catalogue/ListModel.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QThread>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <random>
#include <vector>

#include "BenchUtil.h"

#ifdef QUILLMERE_X11_BENCH
#include <poll.h>
#include <xcb/damage.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>
#endif

namespace
{

using BenchUtil::timeMs;
using BenchUtil::WordCount;
using BenchUtil::Words;

using BenchUtil::randomWords;

// Categories of about five hundred entries each, with paths, a comment on
// every third entry and an additional value on every fifth.
void build(NodeTree& nodes, int count)
{
    std::mt19937 rng(7);
    nodes.beginUpdate();
    TreeNode* category = nullptr;
    for (int i = 0; i < count; ++i) {
        auto info = std::make_unique<NodeInfo>();
        TreeNode* n;
        if (i % 500 == 0) {
            n = nodes.addChild(nullptr, randomWords(rng, 5, 20));
            info->kind = NodeKind::Category;
            category = n;
        } else {
            const QString name = randomWords(rng, 8, 40);
            n = nodes.addChild(category, name);
            info->kind = NodeKind::Doc;
            info->fullName = QStringLiteral("/home/user/Documents/%1/%2.pdf")
                                 .arg(randomWords(rng, 5, 20, u'-'), name);
            if (i % 3 == 0)
                info->comments = randomWords(rng, 10, 60);
            if (i % 5 == 0)
                info->sAdditional = QString::fromUtf8(Words[i % WordCount]);
        }
        nodes.setNodeData(n, std::move(info));
    }
    nodes.endUpdate();
}

} // namespace

#ifdef QUILLMERE_X11_BENCH

// ---------------------------------------------------------------- the real program

namespace
{

constexpr xcb_keysym_t KeyBackSpace = 0xff08, KeyEscape = 0xff1b, KeyControl = 0xffe3;
// A repaint at least this tall is the list's (the field, the cursor and the
// status line are lower).
constexpr int ListMinHeight = 100;
constexpr int PaintTimeoutMs = 5000;
constexpr int SettleMs = 40;

// Count hyperlinks (nothing to look for on disk when they are loaded or
// listed) in categories of about five hundred, saved where the program
// reads its catalogue.
bool writeCatalogue(const QString& folder, int count)
{
    Catalogue catalogue;
    NodeTree& nodes = catalogue.nodes();
    std::mt19937 rng(7);
    nodes.beginUpdate();
    TreeNode* category = nullptr;
    for (int i = 0; i < count; ++i) {
        if (i % 500 == 0) {
            category = nodes.addChild(nullptr, QString());
            catalogue.fillCategoryNode(category, randomWords(rng, 5, 20), QString(), QString());
            continue;
        }
        const QString name = randomWords(rng, 8, 40);
        catalogue.fillUrlNode(nodes.addChild(category, QString()), name,
                              QStringLiteral("https://files.example/Documents/%1/%2.pdf")
                                  .arg(randomWords(rng, 5, 20, u'-'), name),
                              i % 3 == 0 ? randomWords(rng, 10, 60) : QString(),
                              i % 5 == 0 ? QString::fromUtf8(Words[i % WordCount]) : QString());
    }
    nodes.endUpdate();
    catalogue.setDataFolder(folder);
    catalogue.saveData(false);
    return QFile::exists(catalogue.dataFile(false));
}

// CPU time the process has used, in clock ticks.
qint64 cpuTicks(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return fields.value(11).toLongLong() + fields.value(12).toLongLong(); // utime, stime
}

// Until the process has used no CPU for a second: the load and the keys
// made in the background are through.
void waitIdle(qint64 pid)
{
    qint64 last = -2;
    for (int still = 0; still < 5;) {
        QThread::msleep(200);
        const qint64 now = cpuTicks(pid);
        still = now == last ? still + 1 : 0;
        last = now;
    }
}

QString run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(120000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// Keys in through XTest, repaints out through Damage, on one window.
class XDriver
{
public:
    ~XDriver()
    {
        if (m_syms)
            xcb_key_symbols_free(m_syms);
        if (m_c)
            xcb_disconnect(m_c);
    }

    bool open(xcb_window_t window)
    {
        m_c = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(m_c))
            return false;
        const xcb_query_extension_reply_t* damage = xcb_get_extension_data(m_c, &xcb_damage_id);
        const xcb_query_extension_reply_t* test = xcb_get_extension_data(m_c, &xcb_test_id);
        if (!damage || !damage->present || !test || !test->present)
            return false;
        m_damageEvent = quint8(damage->first_event + XCB_DAMAGE_NOTIFY);
        free(xcb_damage_query_version_reply(m_c, xcb_damage_query_version(m_c, 1, 1), nullptr));
        xcb_damage_create(m_c, xcb_generate_id(m_c), window,
                          XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
        m_syms = xcb_key_symbols_alloc(m_c);
        // Without a window manager nobody gives the window the focus, and
        // Qt takes a window without it for inactive: its shortcuts (Ctrl+K)
        // would not fire and the letters would reach the tree.
        xcb_set_input_focus(m_c, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
        xcb_flush(m_c);
        settle();
        return true;
    }

    // Sends a key and waits for the list's repaint: the milliseconds in
    // between, or -1 when none came.
    double stroke(xcb_keysym_t sym, bool control = false, int minHeight = ListMinHeight)
    {
        while (xcb_generic_event_t* e = xcb_poll_for_event(m_c))
            free(e);
        const auto t0 = BenchUtil::Clock::now();
        if (control)
            key(KeyControl, true);
        key(sym, true);
        key(sym, false);
        if (control)
            key(KeyControl, false);
        xcb_flush(m_c);
        const auto elapsed = [&] {
            return std::chrono::duration<double, std::milli>(BenchUtil::Clock::now() - t0).count();
        };
        pollfd fd{xcb_get_file_descriptor(m_c), POLLIN, 0};
        while (elapsed() < PaintTimeoutMs) {
            while (xcb_generic_event_t* e = xcb_poll_for_event(m_c)) {
                const bool painted =
                    (e->response_type & 0x7f) == m_damageEvent &&
                    reinterpret_cast<xcb_damage_notify_event_t*>(e)->area.height >= minHeight;
                free(e);
                if (painted) {
                    const double ms = elapsed();
                    settle();
                    return ms;
                }
            }
            poll(&fd, 1, 50);
        }
        return -1;
    }

private:
    // Until the window was not painted for a while: the rest of one
    // keystroke's painting is not taken for the next one's.
    void settle()
    {
        pollfd fd{xcb_get_file_descriptor(m_c), POLLIN, 0};
        for (;;) {
            xcb_flush(m_c);
            if (xcb_generic_event_t* e = xcb_poll_for_event(m_c)) {
                free(e);
                continue;
            }
            if (poll(&fd, 1, SettleMs) == 0)
                return;
        }
    }

    void key(xcb_keysym_t sym, bool down)
    {
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(m_syms, sym);
        if (!codes)
            return;
        xcb_test_fake_input(m_c, down ? XCB_KEY_PRESS : XCB_KEY_RELEASE, codes[0], XCB_CURRENT_TIME,
                            XCB_NONE, 0, 0, 0);
        free(codes);
    }

    xcb_connection_t* m_c = nullptr;
    xcb_key_symbols_t* m_syms = nullptr;
    quint8 m_damageEvent = 0;
};

struct Stroke {
    QString label;
    xcb_keysym_t key;
};

// A first word letter by letter, three letters taken back and typed again,
// a blank and a second word.
std::vector<Stroke> strokes(const QString& first, const QString& second)
{
    std::vector<Stroke> out;
    QString text;
    const auto type = [&](QChar c) {
        text += c;
        out.push_back({text, xcb_keysym_t(c.unicode())});
    };
    for (const QChar c : first)
        type(c);
    for (int i = 0; i < 3; ++i) {
        text.chop(1);
        out.push_back({text + u'<', KeyBackSpace});
    }
    for (const QChar c : first.right(3))
        type(c);
    type(u' ');
    for (const QChar c : second)
        type(c);
    return out;
}

struct ProgramRun {
    double firstStroke = -1;
    std::vector<std::vector<double>> runs;
    std::vector<double> repeated;
};

// Starts the program on Count entries and types; null on failure.
std::optional<ProgramRun> timeProgram(const QString& exe, int count, int runs, int repeat,
                                      bool verbose)
{
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("quillmere"));
    if (!QFile::copy(exe, copy) || !writeCatalogue(dir.path(), count)) {
        std::printf("cannot prepare %s\n", qPrintable(dir.path()));
        return std::nullopt;
    }
    QFile::setPermissions(copy, QFile::permissions(copy) | QFile::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    for (const char* var : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR", "HOME"}) {
        const QString path = dir.filePath(QString::fromLatin1(var));
        QDir().mkpath(path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env.insert(QString::fromLatin1(var), path);
    }
    QProcess program;
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(copy, {});
    if (!program.waitForStarted(10000))
        return std::nullopt;
    auto end = qScopeGuard([&] {
        program.terminate();
        if (!program.waitForFinished(60000))
            program.kill();
    });
    // Looked for again once the load is through: the splash screen shown
    // during a long load bears the same name.
    const auto findWindow = [&] {
        return run(QStringLiteral("xdotool"),
                   {QStringLiteral("search"), QStringLiteral("--sync"),
                    QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                    QString::number(program.processId()), QStringLiteral("--name"),
                    QStringLiteral("^Quillmere 3\\.3")})
            .split(u'\n')
            .value(0);
    };
    if (findWindow().isEmpty())
        return std::nullopt;
    waitIdle(program.processId());
    const QString window = findWindow();
    run(QStringLiteral("xdotool"),
        {QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
    XDriver x;
    if (!x.open(xcb_window_t(window.toULong()))) {
        std::printf("the X server lacks XTest or Damage\n");
        return std::nullopt;
    }
    // Ctrl+K puts the focus in the field.
    x.stroke(xcb_keysym_t('k'), true);
    ProgramRun result;
    const QString pairs[][2] = {{QStringLiteral("meeting"), QStringLiteral("minutes")},
                                {QStringLiteral("project"), QStringLiteral("review")},
                                {QStringLiteral("budget"), QStringLiteral("annual")}};
    for (int r = 0; r < runs; ++r) {
        const auto& pair = pairs[r % std::size(pairs)];
        std::vector<double> ms;
        if (verbose)
            std::printf("  run %d:", r + 1);
        for (const Stroke& s : strokes(pair[0], pair[1])) {
            ms.push_back(x.stroke(s.key));
            if (verbose)
                std::printf(" %s:%.1f", qPrintable(QString(s.label).replace(u' ', u'_')),
                            ms.back());
            if (r == 0 && result.firstStroke < 0)
                result.firstStroke = ms.back();
        }
        if (verbose)
            std::printf("\n");
        result.runs.push_back(ms);
        x.stroke(KeyEscape); // the field empties, the category comes back
        waitIdle(program.processId());
    }
    // Soon nothing is found and the list stays empty: the field's repaint
    // with the new letter ends these.
    for (int i = 0; i < repeat; ++i)
        result.repeated.push_back(x.stroke(xcb_keysym_t('e'), false, 1));
    x.stroke(KeyEscape);
    return result;
}

double slowest(const std::vector<double>& v)
{
    return v.empty() ? 0 : *std::max_element(v.begin(), v.end());
}

int timeRealProgram(const QString& exe, int count, int runs, int repeat)
{
    std::printf("the real program, %d entries against 100 (the floor)\n", count);
    const std::optional<ProgramRun> floor = timeProgram(exe, 100, runs, 0, false);
    const std::optional<ProgramRun> big = timeProgram(exe, count, runs, repeat, true);
    if (!floor || !big)
        return 1;
    std::printf("first keystroke (keys made while idle): %.1f ms\n", big->firstStroke);
    std::printf("keystroke to painted list, ms:     median  slowest   floor median  ratio\n");
    for (size_t r = 0; r < big->runs.size(); ++r) {
        const double m = BenchUtil::median(big->runs[r]);
        const double f = BenchUtil::median(floor->runs[r]);
        std::printf("  run %zu                        %8.1f %8.1f   %8.1f   %6.2f\n", r + 1, m,
                    slowest(big->runs[r]), f, m / f);
    }
    // A key that brought no repaint within the time allowed counts as -1:
    // the figures above are then wrong, and say so.
    size_t missed = size_t(std::count(big->repeated.begin(), big->repeated.end(), -1.0));
    for (const auto& ms : big->runs)
        missed += size_t(std::count(ms.begin(), ms.end(), -1.0));
    if (missed)
        std::printf("%zu keystrokes brought no repaint (-1 above): the keys went astray\n", missed);
    if (!big->repeated.empty())
        std::printf("\"e\" typed %zu times: median %.1f ms, slowest %.1f ms\n",
                    big->repeated.size(), BenchUtil::median(big->repeated), slowest(big->repeated));
    return 0;
}

} // namespace

#endif

int main(int argc, char** argv)
{
    // The program's own window is the only one on the X server.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QApplication app(argc, argv);
    int count = 200000, runs = 3, repeat = 1000;
    QString exe = QCoreApplication::applicationDirPath() + QStringLiteral("/../quillmere");
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == u"--entries")
            count = args[i + 1].toInt();
        else if (args[i] == u"--runs")
            runs = args[i + 1].toInt();
        else if (args[i] == u"--repeat")
            repeat = args[i + 1].toInt();
        else if (args[i] == u"--exe")
            exe = args[i + 1];
    }
    if (args.contains(QStringLiteral("--program"))) {
#ifdef QUILLMERE_X11_BENCH
        return timeRealProgram(exe, count, runs, repeat);
#else
        std::printf("built without the XCB Damage and XTest headers\n");
        return 1;
#endif
    }

    Catalogue catalogue;
    build(catalogue.nodes(), count);
    FoldedIndex index(catalogue.nodes());
    auto filter = std::make_unique<CatalogueFilter>(index);
    ListModel model(catalogue);
    QTreeView view;
    view.setRootIsDecorated(false);
    view.setUniformRowHeights(true);
    view.setModel(&model);
    view.resize(800, 600);
    view.show();
    std::printf("catalogue: %d entries\n", catalogue.nodes().count());

    // Twenty keystrokes: "meeting" letter by letter, three taken back and
    // typed again, then " minutes".
    QStringList texts;
    const QString first = QStringLiteral("meeting");
    for (int i = 1; i <= first.size(); ++i)
        texts << first.left(i);
    for (int i = 1; i <= 3; ++i)
        texts << first.left(first.size() - i);
    for (int i = first.size() - 2; i <= first.size(); ++i)
        texts << first.left(i);
    const QString second = QStringLiteral(" minutes");
    for (int i = 2; i <= second.size(); ++i)
        texts << first + second.left(i);

    const double keys = timeMs([&] { filter->match(u"x"); });
    std::printf("first keystroke (makes the keys): %.1f ms, keys %.1f MB\n", keys,
                index.bytes() / 1e6);
    std::printf("%lld keystrokes per run\n", qlonglong(texts.size()));
    std::vector<double> medians;
    for (int r = 0; r < runs; ++r) {
        std::vector<double> ms;
        std::printf("run %d:", r + 1);
        for (const QString& text : texts) {
            size_t found = 0;
            ms.push_back(timeMs([&] {
                std::vector<TreeNode*> rows = filter->match(text);
                found = rows.size();
                model.fillNodes(std::move(rows));
                view.repaint();
            }));
            std::printf(" %s=%zu:%.1f", qPrintable(QString(text).replace(u' ', u'_')), found,
                        ms.back());
        }
        const double median = BenchUtil::median(ms);
        medians.push_back(median);
        std::printf("\n  median %.1f ms, slowest %.1f ms per keystroke\n", median,
                    *std::max_element(ms.begin(), ms.end()));
        // The next run starts from an empty field, with nothing found before.
        filter = std::make_unique<CatalogueFilter>(index);
    }
    std::printf("medians of the runs:");
    for (double m : medians)
        std::printf(" %.1f", m);
    std::printf(" ms\n");
    return 0;
}
