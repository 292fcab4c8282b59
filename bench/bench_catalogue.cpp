// Times loading and saving the catalogue file against what the machine needs
// at least for the same work (read the file and stat its paths; write the
// file once), measures the resident memory a load costs per entry, and the
// longest the event loop waits while a load runs.
//
//   bench_catalogue [--sizes 10000,200000] [--reps N] [--save-only]
//
// --save-only times the saves and their floors alone (one load for the tree).
//
// With --program it times the real program instead, under the X server of
// DISPLAY (no window manager): exec to the main window mapped, minus the same
// for an empty catalogue, against floor (a); and its VmRSS beyond the file.
//
//   xvfb-run -a -s "-screen 0 1280x1024x24" bench_catalogue --program
//       [--sizes 100000,200000] [--reps 3] [--exe build/quillmere]
//
// Catalogues, the files half of their documents point at, and the folders
// are made in a temporary folder under /tmp that is removed at the end
// (kept when QUILLMERE_BENCH_KEEP is set, to profile a load on it again).
// Memory is measured in a fresh child process per load (this program run
// again with --mem), so earlier loads in this process cannot hide it.
// QSaveFile::commit() calls fdatasync before its rename, so besides the plain
// write the save is also compared with temp file + fdatasync + rename.
#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueSave.h"
#include "catalogue/NodeTree.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QSaveFile>
#include <QSignalSpy>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

#include "BenchUtil.h"

#ifdef QUILLMERE_X11_BENCH
#include <poll.h>
#include <xcb/xcb.h>
#endif

namespace
{

using BenchUtil::Clock;
using BenchUtil::timeMs;

struct Samples {
    std::vector<double> v;
    void add(double x) { v.push_back(x); }
    double median() const
    {
        std::vector<double> s = v;
        std::sort(s.begin(), s.end());
        if (s.empty())
            return 0;
        return s.size() % 2 ? s[s.size() / 2] : (s[s.size() / 2 - 1] + s[s.size() / 2]) / 2;
    }
    double min() const { return v.empty() ? 0 : *std::min_element(v.begin(), v.end()); }
    double max() const { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }
};

// ---------------------------------------------------------------- data

using BenchUtil::AsciiWordCount;
using BenchUtil::WordCount;
using BenchUtil::Words;

const char* const Extensions[] = {".txt",  ".pdf",  ".png", ".odt", ".c",    ".html", ".jpg",
                                  ".docx", ".xlsx", ".ods", ".md",  ".cpp",  ".h",    ".py",
                                  ".zip",  ".mp3",  ".svg", ".csv", ".json", ".epub"};
constexpr int ExtensionCount = int(sizeof(Extensions) / sizeof(Extensions[0]));
constexpr int FilesPerFolder = 100;

int uniform(std::mt19937& rng, int lo, int hi)
{
    return std::uniform_int_distribution<int>(lo, hi)(rng);
}

bool chance(std::mt19937& rng, double p)
{
    return std::uniform_real_distribution<double>(0, 1)(rng) < p;
}

// Words joined until the text is between Min and Max characters long.
QString words(std::mt19937& rng, int min, int max, bool ascii, char16_t joint = u' ')
{
    const int target = uniform(rng, min, max);
    QString s;
    while (s.size() < target) {
        if (!s.isEmpty())
            s += joint;
        s += QString::fromUtf8(Words[uniform(rng, 0, (ascii ? AsciiWordCount : WordCount) - 1)]);
    }
    if (s.size() > max)
        s.truncate(max);
    return s.trimmed();
}

// Real files on disk, made on demand and shared by every catalogue.
class FilePool
{
public:
    explicit FilePool(QString root) : m_root(std::move(root)) {}

    // The path of existing file I (made when first asked for).
    QString file(int i)
    {
        while (int(m_files.size()) <= i)
            makeNext();
        return m_files[size_t(i)];
    }
    int folderCount() const { return int(m_folders.size()); }
    QString folder(int i) const { return m_folders[size_t(i)]; }
    int fileCount() const { return int(m_files.size()); }

private:
    void makeNext()
    {
        const int i = int(m_files.size());
        std::mt19937 rng(quint32(i) * 7919u + 17u);
        if (i % FilesPerFolder == 0) {
            std::mt19937 drng(quint32(i / FilesPerFolder) * 104729u + 3u);
            const QString dir = QStringLiteral("%1/files/g%2/d%3-%4")
                                    .arg(m_root)
                                    .arg(i / FilesPerFolder / 50, 2, 10, QChar(u'0'))
                                    .arg(i / FilesPerFolder, 4, 10, QChar(u'0'))
                                    .arg(words(drng, 3, 22, true, u'-'));
            if (!QDir().mkpath(dir)) {
                std::fprintf(stderr, "cannot make %s\n", qPrintable(dir));
                std::exit(2);
            }
            m_folders.push_back(dir);
        }
        const QString path = QStringLiteral("%1/%2-%3%4")
                                 .arg(m_folders.back(), words(rng, 4, 24, true, u'_'))
                                 .arg(i)
                                 .arg(QLatin1String(Extensions[i % ExtensionCount]));
        const int fd =
            ::open(QFile::encodeName(path).constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        if (fd < 0) {
            std::perror("open");
            std::exit(2);
        }
        ::close(fd);
        m_files.push_back(path);
    }

    QString m_root;
    std::vector<QString> m_files;
    std::vector<QString> m_folders;
};

struct CatalogueStats {
    qint64 lines = 0, categories = 0, docs = 0, docsOnDisk = 0, folders = 0, links = 0,
           comments = 0;
    qint64 nameChars = 0, pathChars = 0, paths = 0, localPaths = 0;
    int maxLevel = 0, roots = 0;
};

void appendLine(QByteArray& out, const QString& name, int level, const QString& path,
                const QString& comment, char kind, const QString& additional)
{
    out += name.toUtf8();
    out += '\0';
    out += QByteArray::number(level);
    out += '\0';
    out += path.toUtf8();
    out += '\0';
    out += comment.toUtf8();
    out += '\0';
    out += kind;
    out += '\0';
    out += additional.toUtf8();
    out += "\r\n";
}

// A catalogue of Entries lines in depth-first order: categories nested up to
// six deep holding documents (half of them on disk), folders and hyperlinks.
QByteArray makeCatalogue(FilePool& pool, const QString& root, qint64 entries, quint32 seed,
                         CatalogueStats& st, int* nextFile)
{
    std::mt19937 rng(seed);
    QByteArray out;
    out.reserve(entries * 130);
    int open = 0; // categories open above the next line
    static const char* const extras[] = {"2023", "draft", "ISBN 978-3-16-148410-0", "to read",
                                         "★★★"};
    auto comment = [&] { return chance(rng, 0.3) ? words(rng, 10, 70, false) : QString(); };
    auto extra = [&] {
        return chance(rng, 0.1) ? QString::fromUtf8(extras[uniform(rng, 0, 4)]) : QString();
    };
    auto emitLine = [&](const QString& name, const QString& path, char kind,
                        const QString& remark) {
        const int level = open;
        appendLine(out, name, level, path, remark, kind, extra());
        ++st.lines;
        st.nameChars += name.size();
        if (!path.isEmpty()) {
            st.pathChars += path.size();
            ++st.paths;
            st.localPaths += path.startsWith(u'/');
        }
        st.comments += !remark.isEmpty();
        st.maxLevel = std::max(st.maxLevel, level);
        st.roots += level == 0;
    };
    while (st.lines < entries) {
        const double r = std::uniform_real_distribution<double>(0, 1)(rng);
        if (open == 0 || (r < 0.09 && open < 6)) {
            emitLine(words(rng, 10, 30, false), QString(), '1', comment());
            ++st.categories;
            ++open;
            continue;
        }
        if (r < 0.175) {
            --open;
            continue;
        }
        const double k = std::uniform_real_distribution<double>(0, 1)(rng);
        if (k < 0.75) {
            QString path;
            if (chance(rng, 0.5)) {
                path = pool.file((*nextFile)++);
                ++st.docsOnDisk;
            } else {
                path = QStringLiteral("%1/archive/%2/%3%4")
                           .arg(root, words(rng, 4, 18, true, u'-'), words(rng, 6, 28, true, u'_'),
                                QLatin1String(Extensions[uniform(rng, 0, ExtensionCount - 1)]));
            }
            const QString name =
                chance(rng, 0.2) ? words(rng, 10, 30, false) : path.mid(path.lastIndexOf(u'/') + 1);
            emitLine(name, path, '2', comment());
            ++st.docs;
        } else if (k < 0.82 && pool.folderCount() > 0) {
            const QString path = pool.folder(uniform(rng, 0, pool.folderCount() - 1));
            emitLine(path.mid(path.lastIndexOf(u'/') + 1), path, '3', comment());
            ++st.folders;
        } else {
            const QString address =
                QStringLiteral("https://www.%1.example/%2.html")
                    .arg(words(rng, 3, 12, true, u'-'), words(rng, 18, 65, true, u'/'));
            emitLine(words(rng, 10, 30, false), address, '4', comment());
            ++st.links;
        }
    }
    return out;
}

bool writeWhole(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size() &&
           f.flush();
}

// ---------------------------------------------------------------- floors

// CPU time of the whole process so far, every thread's.
double cpuMs()
{
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Floor of a load: the file read whole, then one stat per local path it holds
// (field 3 of each line), as the loader must probe each of them.
qint64 readAndStat(const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray bytes = f.readAll();
    const char* p = bytes.constData();
    const char* end = p + bytes.size();
    qint64 found = 0;
    char path[4096];
    while (p < end) {
        const char* eol = static_cast<const char*>(std::memchr(p, '\r', size_t(end - p)));
        if (!eol)
            eol = end;
        const char* a = static_cast<const char*>(std::memchr(p, '\0', size_t(eol - p)));
        const char* b =
            a ? static_cast<const char*>(std::memchr(a + 1, '\0', size_t(eol - a - 1))) : nullptr;
        const char* c =
            b ? static_cast<const char*>(std::memchr(b + 1, '\0', size_t(eol - b - 1))) : nullptr;
        if (c && c - b - 1 > 0 && b[1] == '/' && size_t(c - b - 1) < sizeof(path)) {
            std::memcpy(path, b + 1, size_t(c - b - 1));
            path[c - b - 1] = '\0';
            struct stat st;
            if (::stat(path, &st) == 0)
                ++found;
        }
        p = eol + 2;
    }
    return found;
}

// Floor of a save: the same bytes written once to a new file.
void writeOnce(const QString& file, const QByteArray& bytes, bool sync)
{
    const QByteArray name = QFile::encodeName(file);
    const int fd = ::open(name.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd < 0) {
        std::perror("open");
        std::exit(2);
    }
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0) {
            std::perror("write");
            std::exit(2);
        }
        done += n;
    }
    if (sync)
        ::fdatasync(fd);
    ::close(fd);
}

// ---------------------------------------------------------------- memory

long statusKb(const char* key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray all = f.readAll();
    const qsizetype at = all.indexOf(key);
    if (at < 0)
        return -1;
    return std::strtol(all.constData() + at + std::strlen(key), nullptr, 10);
}

bool resetPeak()
{
    const int fd = ::open("/proc/self/clear_refs", O_WRONLY);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, "5", 1) == 1;
    ::close(fd);
    return ok;
}

// Does writing 5 to clear_refs really reset VmHWM here? Touch 64 MiB, give
// it back, reset, and see the peak fall.
int hwmCheck()
{
    constexpr size_t size = 64u << 20;
    {
        // volatile, so the compiler cannot drop the block altogether
        std::unique_ptr<char[]> block(new char[size]);
        volatile char* touch = block.get();
        for (size_t i = 0; i < size; i += 4096)
            touch[i] = 1;
    }
    const long before = statusKb("VmHWM:");
    const bool wrote = resetPeak();
    const long after = statusKb("VmHWM:");
    const long rss = statusKb("VmRSS:");
    std::printf("HWM wrote=%d before=%ld after=%ld rss=%ld ok=%d\n", wrote, before, after, rss,
                wrote && after < before - 32 * 1024 && after <= rss + 1024);
    return 0;
}

// Child: a warm-up load of a tiny catalogue (so the type database, icon cache
// and loader thread exist), then the measured load from a reset peak.
int memChild(const QString& folder, const QString& warmFolder, bool shell)
{
    {
        Catalogue warm;
        warm.setDataFolder(warmFolder);
        warm.setFileTypeIcons(shell);
        warm.loadData(false);
    }
    Catalogue cat;
    cat.setDataFolder(folder);
    cat.setFileTypeIcons(shell);
    const long rssBefore = statusKb("VmRSS:");
    const bool reset = resetPeak();
    const long hwmBefore = statusKb("VmHWM:");
    // Cross-check: RSS sampled every millisecond during the load. (ru_maxrss
    // is no use here: Linux carries the forking parent's peak over exec.)
    std::atomic<bool> stop{false};
    std::atomic<long> sampled{0};
    std::thread sampler([&] {
        const long page = ::sysconf(_SC_PAGESIZE) / 1024;
        const int fd = ::open("/proc/self/statm", O_RDONLY);
        char buf[128];
        while (!stop) {
            const ssize_t n = ::pread(fd, buf, sizeof(buf) - 1, 0);
            if (n > 0) {
                buf[n] = '\0';
                const char* sp = std::strchr(buf, ' ');
                const long kb = sp ? std::strtol(sp + 1, nullptr, 10) * page : 0;
                if (kb > sampled)
                    sampled = kb;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ::close(fd);
    });
    bool ok = false;
    const double ms = timeMs([&] { ok = cat.loadData(false); });
    stop = true;
    sampler.join();
    const long hwmAfter = statusKb("VmHWM:");
    const long rssAfter = statusKb("VmRSS:");
    std::printf("MEM ok=%d nodes=%d reset=%d rss_before=%ld hwm_before=%ld hwm_after=%ld "
                "rss_after=%ld sampled=%ld "
                "load_ms=%.3f\n",
                ok, cat.nodes().count(), reset, rssBefore, hwmBefore, hwmAfter, rssAfter,
                sampled.load(), ms);
    std::fflush(stdout);
    return ok ? 0 : 1;
}

std::map<QString, double> runChild(const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QCoreApplication::applicationFilePath(), args);
    p.waitForFinished(-1);
    std::map<QString, double> out;
    const QList<QByteArray> lines = p.readAllStandardOutput().split('\n');
    for (const QByteArray& line : lines) {
        if (!line.startsWith("MEM ") && !line.startsWith("HWM "))
            continue;
        for (const QByteArray& kv : line.split(' ')) {
            const qsizetype eq = kv.indexOf('=');
            if (eq > 0)
                out[QString::fromLatin1(kv.left(eq))] = kv.mid(eq + 1).toDouble();
        }
    }
    out[QStringLiteral("exit")] = p.exitCode();
    return out;
}

// ---------------------------------------------------------------- the real program

#ifdef QUILLMERE_X11_BENCH

// The real program started on a catalogue, as a user starts it: from exec
// until its main window is mapped on the X server of DISPLAY, and its
// resident memory then and once it has gone idle (the search's folded keys
// are made in idle time after the load).
struct ProgramStart {
    double ms = -1;
    long rssShownKb = -1, rssIdleKb = -1;
};

long processStatusKb(qint64 pid, const char* key)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray all = f.readAll();
    const qsizetype at = all.indexOf(key);
    return at < 0 ? -1 : std::strtol(all.constData() + at + std::strlen(key), nullptr, 10);
}

qint64 processCpuTicks(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return fields.value(11).toLongLong() + fields.value(12).toLongLong();
}

// The main window's title (the splash is titled otherwise).
constexpr char MainTitle[] = "Quillmere 3.3";

bool isMainWindow(xcb_connection_t* c, xcb_window_t w)
{
    const xcb_get_property_reply_t* r = xcb_get_property_reply(
        c, xcb_get_property(c, 0, w, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 64), nullptr);
    if (!r)
        return false;
    const QByteArray name(static_cast<const char*>(xcb_get_property_value(r)),
                          xcb_get_property_value_length(r));
    free(const_cast<xcb_get_property_reply_t*>(r));
    return name.startsWith(MainTitle);
}

// Starts Exe (a copy beside the catalogue, so that it reads that one) and
// times it until its main window maps; the program is killed afterwards, so
// nothing it would write at its end changes the catalogue.
ProgramStart startProgram(const QString& exe, const QString& home)
{
    ProgramStart out;
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return out;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    for (const char* var : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR", "HOME"}) {
        const QString path = home + u'/' + QString::fromLatin1(var);
        QDir().mkpath(path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env.insert(QString::fromLatin1(var), path);
    }
    QProcess program;
    program.setProcessEnvironment(env);
    program.setStandardOutputFile(QProcess::nullDevice());
    program.setStandardErrorFile(QProcess::nullDevice());
    const auto t0 = Clock::now();
    program.start(exe, {});
    if (program.waitForStarted(10000)) {
        pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
        bool shown = false;
        while (!shown && std::chrono::duration<double>(Clock::now() - t0).count() < 300) {
            while (xcb_generic_event_t* e = xcb_poll_for_event(c)) {
                if ((e->response_type & 0x7f) == XCB_MAP_NOTIFY &&
                    isMainWindow(c, reinterpret_cast<xcb_map_notify_event_t*>(e)->window)) {
                    out.ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
                    shown = true;
                }
                free(e);
            }
            if (!shown)
                ::poll(&fd, 1, 20);
        }
        const qint64 pid = program.processId();
        out.rssShownKb = processStatusKb(pid, "VmRSS:");
        // Idle: no CPU used for a second.
        qint64 last = -2;
        for (int still = 0; still < 5;) {
            QThread::msleep(200);
            const qint64 now = processCpuTicks(pid);
            still = now == last ? still + 1 : 0;
            last = now;
        }
        out.rssIdleKb = processStatusKb(pid, "VmRSS:");
        program.kill();
        program.waitForFinished(10000);
    }
    xcb_disconnect(c);
    return out;
}

// Rounds of: the floor, the program on an empty catalogue, the program on
// the catalogue in Dir. The start's cost is the difference of the two starts.
int timeProgram(const QString& exe, const QString& dir, const QString& file, qint64 entries,
                qint64 fileBytes, int reps)
{
    const QString empty = dir + QStringLiteral("/empty");
    QDir().mkpath(empty);
    writeWhole(empty + QStringLiteral("/quillmere.dat"), QByteArray());
    QString copies[2];
    for (int k = 0; k < 2; ++k) {
        copies[k] = (k == 0 ? empty : dir) + QStringLiteral("/quillmere");
        QFile::remove(copies[k]);
        if (!QFile::copy(exe, copies[k])) {
            std::fprintf(stderr, "cannot copy %s\n", qPrintable(exe));
            return 2;
        }
        QFile::setPermissions(copies[k], QFile::permissions(copies[k]) | QFile::ExeOwner);
    }
    std::printf("  the real program, exec to main window mapped (ms), and VmRSS (MiB):\n"
                "  round    floor(a)   empty    full  full-empty  ratio   RSS empty/full shown  "
                "B/entry shown   RSS empty/full idle  B/entry idle\n");
    Samples ratios, perShown, perIdle;
    for (int r = 0; r < reps; ++r) {
        const double floorMs = timeMs([&] { readAndStat(file); });
        const ProgramStart e = startProgram(copies[0], empty + QStringLiteral("/home"));
        const ProgramStart f = startProgram(copies[1], dir + QStringLiteral("/home"));
        if (e.ms < 0 || f.ms < 0) {
            std::printf("  the program's window did not show (is DISPLAY an X server?)\n");
            return 1;
        }
        const double ratio = (f.ms - e.ms) / floorMs;
        const auto beyond = [&](long fullKb, long emptyKb) {
            return (double(fullKb - emptyKb) * 1024 - double(fileBytes)) / double(entries);
        };
        ratios.add(ratio);
        perShown.add(beyond(f.rssShownKb, e.rssShownKb));
        perIdle.add(beyond(f.rssIdleKb, e.rssIdleKb));
        std::printf("  %5d %10.1f %7.1f %7.1f %10.1f %6.2f   %7.1f %7.1f %14.0f   %7.1f %7.1f "
                    "%12.0f\n",
                    r + 1, floorMs, e.ms, f.ms, f.ms - e.ms, ratio, e.rssShownKb / 1024.0,
                    f.rssShownKb / 1024.0, perShown.v.back(), e.rssIdleKb / 1024.0,
                    f.rssIdleKb / 1024.0, perIdle.v.back());
    }
    std::printf("  median: start %.2fx the floor (target <= 1.2); memory beyond the file %.0f "
                "B/entry shown, %.0f idle (target <= 250)\n",
                ratios.median(), perShown.median(), perIdle.median());
    return 0;
}

#endif

// ---------------------------------------------------------------- report

void row(const char* what, const Samples& s, const char* unit = "ms")
{
    std::printf("  %-44s %10.2f %10.2f %10.2f %s  (%zu)\n", what, s.median(), s.min(), s.max(),
                unit, s.v.size());
}

const char* verdict(bool met)
{
    return met ? "met" : "MISSED";
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const bool child =
        argc > 1 && std::strncmp(argv[1], "--", 2) == 0 &&
        (std::strcmp(argv[1], "--hwm-check") == 0 || std::strcmp(argv[1], "--mem") == 0);
    QString root;
    if (!child) {
        char tmpl[] = "/tmp/qmbench-XXXXXX";
        if (!::mkdtemp(tmpl)) {
            std::perror("mkdtemp");
            return 2;
        }
        root = QString::fromLocal8Bit(tmpl);
        // A runtime folder of our own, inherited by the children.
        const QByteArray runtime = QByteArray(tmpl) + "/runtime";
        ::mkdir(runtime.constData(), 0700);
        qputenv("XDG_RUNTIME_DIR", runtime);
    }
    struct Cleanup {
        QString dir;
        ~Cleanup()
        {
            if (!dir.isEmpty() && !qEnvironmentVariableIsSet("QUILLMERE_BENCH_KEEP"))
                QDir(dir).removeRecursively();
        }
    } cleanup{root};

    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(1) == u"--hwm-check")
        return hwmCheck();
    if (args.value(1) == u"--mem" && args.size() >= 5)
        return memChild(args[2], args[3], args[4] == u"1");

    std::vector<qint64> sizes{10000, 200000};
    int repsOverride = 0;
    QString exe = QCoreApplication::applicationDirPath() + QStringLiteral("/../quillmere");
    // Only the saves and their floors (one load for the tree, no memory children).
    const bool saveOnly = args.contains(QStringLiteral("--save-only"));
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == u"--sizes") {
            sizes.clear();
            for (const QString& s : args[i + 1].split(u','))
                sizes.push_back(s.toLongLong());
        } else if (args[i] == u"--reps") {
            repsOverride = args[i + 1].toInt();
        } else if (args[i] == u"--exe") {
            exe = args[i + 1];
        }
    }
    const bool program = args.contains(QStringLiteral("--program"));
#ifndef QUILLMERE_X11_BENCH
    if (program) {
        std::printf("built without the XCB headers: no --program\n");
        return 1;
    }
#endif

    const auto hwm = runChild({QStringLiteral("--hwm-check")});
    const bool hwmWorks = hwm.count(QStringLiteral("ok")) && hwm.at(QStringLiteral("ok")) == 1;
    std::printf("Peak reset through /proc/self/clear_refs: %s (VmHWM %.0f kB -> %.0f kB after "
                "freeing 64 MiB)\n",
                hwmWorks ? "works" : "does NOT work, using sampled RSS",
                hwm.count(QStringLiteral("before")) ? hwm.at(QStringLiteral("before")) : -1,
                hwm.count(QStringLiteral("after")) ? hwm.at(QStringLiteral("after")) : -1);

    FilePool pool(root);
    // A tiny catalogue with every extension, for the children's warm-up.
    const QString warmDir = root + QStringLiteral("/warm");
    {
        QDir().mkpath(warmDir);
        QByteArray warm;
        appendLine(warm, QStringLiteral("Warm-up"), 0, QString(), QString(), '1', QString());
        for (int i = 0; i < ExtensionCount; ++i) {
            const QString f = pool.file(i);
            appendLine(warm, f.mid(f.lastIndexOf(u'/') + 1), 1, f, QString(), '2', QString());
        }
        appendLine(warm, QStringLiteral("missing"), 1, root + QStringLiteral("/archive/x.pdf"),
                   QString(), '2', QString());
        appendLine(warm, QStringLiteral("folder"), 1, pool.folder(0), QString(), '3', QString());
        appendLine(warm, QStringLiteral("link"), 1, QStringLiteral("https://www.example.example/"),
                   QString(), '4', QString());
        writeWhole(warmDir + QStringLiteral("/quillmere.dat"), warm);
    }

    struct Result {
        qint64 n = 0;
        double load = 0, floor = 0, ratio = 0, save = 0, write = 0, atomic = 0, memPerEntry = 0;
        double peakKb = 0, fileBytes = 0;
    };
    std::vector<Result> results;
    int nextFile = 0;

    for (const qint64 n : sizes) {
        const QString dir = root + QStringLiteral("/data%1").arg(n);
        QDir().mkpath(dir);
        const QString file = dir + QStringLiteral("/quillmere.dat");
        CatalogueStats st;
        const QByteArray bytes = makeCatalogue(pool, root, n, quint32(n) ^ 0x5eedu, st, &nextFile);
        if (!writeWhole(file, bytes)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 2;
        }
        std::printf("\n== %lld entries: %.2f MB file; %lld categories (max level %d, %d roots), "
                    "%lld documents "
                    "(%lld on disk), %lld folders, %lld hyperlinks, %lld comments; mean name %.1f, "
                    "mean path "
                    "%.1f chars\n",
                    (long long)n, bytes.size() / 1e6, (long long)st.categories, st.maxLevel,
                    st.roots, (long long)st.docs, (long long)st.docsOnDisk, (long long)st.folders,
                    (long long)st.links, (long long)st.comments,
                    double(st.nameChars) / double(st.lines),
                    double(st.pathChars) / double(std::max<qint64>(1, st.paths)));
        const int reps = repsOverride > 0 ? repsOverride : (n >= 100000 ? 5 : 9);
#ifdef QUILLMERE_X11_BENCH
        if (program) {
            if (const int failed = timeProgram(exe, dir, file, n, bytes.size(), reps))
                return failed;
            continue;
        }
#endif
        const int expectNodes = int(n) + 4; // plus the built-in category and its three links

        Samples load, loadPlain, gaps, floorA, save, encode, writeNoSync, writeSync, writeRename;
        // Warm-up: page cache, type database, icon cache, loader thread.
        {
            Catalogue warm;
            warm.setDataFolder(dir);
            if (!warm.loadData(false) || warm.nodes().count() != expectNodes) {
                std::fprintf(stderr, "load failed: %d nodes, expected %d\n", warm.nodes().count(),
                             expectNodes);
                return 1;
            }
        }
        qint64 statted = 0;
        Samples loadAsync, ratioNow, ratioAsync, asyncCpu, floorCpu;
        for (int r = 0; r < (saveOnly ? 0 : reps); ++r) {
            // The floor in each round, next to the loads it is compared with:
            // other work on the machine moves both alike.
            const double floorCpu0 = cpuMs();
            const double floorMs = timeMs([&] { statted = readAndStat(file); });
            floorCpu.add(cpuMs() - floorCpu0);
            floorA.add(floorMs);
            for (const bool shell : {true, false}) {
                auto cat = std::make_unique<Catalogue>();
                cat->setDataFolder(dir);
                cat->setFileTypeIcons(shell);
                bool ok = false;
                const double ms = timeMs([&] { ok = cat->loadData(false); });
                (shell ? load : loadPlain).add(ms);
                if (shell)
                    ratioNow.add(ms / floorMs);
                if (!ok || cat->nodes().count() != expectNodes) {
                    std::fprintf(stderr, "load failed\n");
                    return 1;
                }
            }
            // As the program loads: the tree built in slices while the event
            // loop runs, and the longest the loop waited meanwhile (the end of
            // the load, the views' reset, included).
            auto cat = std::make_unique<Catalogue>();
            cat->setDataFolder(dir);
            QSignalSpy loaded(cat.get(), &Catalogue::loaded);
            BenchUtil::GapRecorder gap;
            gap.start();
            const double cpu0 = cpuMs();
            const double ms = timeMs([&] {
                cat->startLoad(false);
                loaded.wait(600000);
            });
            asyncCpu.add(cpuMs() - cpu0);
            gaps.add(gap.stop());
            loadAsync.add(ms);
            ratioAsync.add(ms / floorMs);
            if (loaded.isEmpty() || cat->nodes().count() != expectNodes) {
                std::fprintf(stderr, "load in slices failed\n");
                return 1;
            }
        }

        // Saves: one loaded tree, the built-in category made again before
        // each further save (a save drops it).
        bool roundTrip = false;
        {
            Catalogue cat;
            cat.setDataFolder(dir);
            cat.loadData(false);
            const QString floorFile = dir + QStringLiteral("/floor.dat");
            const QString renameTmp = dir + QStringLiteral("/floor.tmp");
            writeOnce(floorFile, bytes, false);
            for (int r = 0; r < reps; ++r) {
                if (r > 0)
                    cat.createMakerCategory();
                save.add(timeMs([&] { cat.saveData(false); }));
                if (r == 0) {
                    QFile f(file);
                    roundTrip = f.open(QIODevice::ReadOnly) && f.readAll() == bytes;
                }
                // The encoding alone, into one reused chunk: what the save
                // adds to the write when nothing hides it.
                encode.add(timeMs([&] {
                    QByteArray chunk;
                    chunk.reserve(CatalogueStream::ChunkBytes + CatalogueStream::ChunkBytes / 8);
                    int level = 0;
                    for (const TreeNode* next = cat.nodes().getFirstNode(); next;) {
                        chunk.resize(0);
                        next = encodeCatalogueLines(next, level, cat.makerCategory(), chunk,
                                                    CatalogueStream::ChunkBytes);
                    }
                }));
                QFile::remove(floorFile);
                writeNoSync.add(timeMs([&] { writeOnce(floorFile, bytes, false); }));
                QFile::remove(floorFile);
                writeSync.add(timeMs([&] { writeOnce(floorFile, bytes, true); }));
                // What QSaveFile::commit() does at least: a temporary file
                // written, fdatasync'ed, and renamed over the old one.
                writeRename.add(timeMs([&] {
                    writeOnce(renameTmp, bytes, true);
                    ::rename(QFile::encodeName(renameTmp).constData(),
                             QFile::encodeName(floorFile).constData());
                }));
            }
            QFile::remove(floorFile);
            writeWhole(file, bytes); // the measured file again, whatever the saves wrote
        }

        // Memory, each in a fresh process.
        std::map<QString, double> mem[2];
        for (const bool shell : {true, false}) {
            if (saveOnly)
                break;
            mem[shell ? 0 : 1] = runChild({QStringLiteral("--mem"), dir, warmDir,
                                           shell ? QStringLiteral("1") : QStringLiteral("0")});
        }

        std::printf("  %-44s %10s %10s %10s     (reps)\n", "what", "median", "min", "max");
        row("LoadData", load);
        row("LoadData, fileTypeIcons = false", loadPlain);
        row("startLoad (slices while the loop runs)", loadAsync);
        row("longest event-loop gap in startLoad", gaps);
        row("floor (a): read whole + stat each path", floorA);
        row("  CPU time of startLoad, all threads", asyncCpu);
        row("  CPU time of floor (a)", floorCpu);
        row("LoadData / floor (a), each round", ratioNow, "x ");
        row("startLoad / floor (a), each round", ratioAsync, "x ");
        row("SaveData(false)", save);
        row("  encoding alone (info)", encode);
        row("floor (b): write + close, no fsync", writeNoSync);
        row("  write + fdatasync + close (info)", writeSync);
        row("floor (b'): temp + fdatasync + rename over", writeRename);
        std::printf("  floor (a) found %lld of %lld local paths on disk; save round trip: %s\n",
                    (long long)statted, (long long)st.localPaths,
                    roundTrip ? "byte-identical" : "DIFFERS from the loaded file");

        Result res;
        res.n = n;
        res.load = loadAsync.median();
        res.floor = floorA.median();
        res.ratio = ratioAsync.median();
        res.save = save.median();
        res.write = writeNoSync.median();
        res.atomic = writeRename.median();
        res.fileBytes = double(bytes.size());
        for (int k = 0; k < (saveOnly ? 0 : 2); ++k) {
            const auto& m = mem[k];
            auto get = [&m](const char* key) {
                auto it = m.find(QString::fromLatin1(key));
                return it == m.end() ? -1.0 : it->second;
            };
            if (get("ok") != 1 || get("nodes") != expectNodes) {
                std::printf("  memory child (%s) failed\n",
                            k == 0 ? "shell icons" : "no shell icons");
                continue;
            }
            const double sampledKb = get("sampled") - get("rss_before");
            const double peakKb =
                hwmWorks && get("reset") == 1 ? get("hwm_after") - get("hwm_before") : sampledKb;
            const double keptKb = get("rss_after") - get("rss_before");
            const double perEntry = (peakKb * 1024 - double(bytes.size())) / double(n);
            std::printf("  memory%-14s: peak +%.1f MB (sampled: +%.1f MB), kept +%.1f MB; "
                        "file %.1f MB; beyond the file %.0f B/entry peak, %.0f B/entry kept; "
                        "fresh-process load %.1f ms\n",
                        k == 0 ? "" : " (no icons)", peakKb / 1024, sampledKb / 1024, keptKb / 1024,
                        bytes.size() / 1048576.0, perEntry,
                        (keptKb * 1024 - double(bytes.size())) / double(n), get("load_ms"));
            if (k == 0) {
                res.memPerEntry = perEntry;
                res.peakKb = peakKb;
            }
        }
        results.push_back(res);
    }

    std::printf("\n== Targets\n");
    for (const Result& r : results) {
        const double saveRatio = r.save / r.atomic;
        if (saveOnly) {
            std::printf("  %7lld entries: save/floor(b') %.2f (%s, target <= 1.5)\n",
                        (long long)r.n, saveRatio, verdict(saveRatio <= 1.5));
            continue;
        }
        std::printf("  %7lld entries: startLoad/floor(a) %.2f (%s, target <= 1.2); save/floor(b') "
                    "%.2f (%s, target <= 1.5); memory %.0f B/entry beyond the file (%s, target "
                    "<= 250 in the real program, --program)\n",
                    (long long)r.n, r.ratio, verdict(r.ratio <= 1.2), saveRatio,
                    verdict(saveRatio <= 1.5), r.memPerEntry, verdict(r.memPerEntry <= 250));
    }
    if (results.size() >= 2 && !saveOnly) {
        // The slope between the smallest and the largest catalogue leaves out
        // any fixed cost of a load.
        const Result& a = results.front();
        const Result& b = results.back();
        const double slope =
            ((b.peakKb - a.peakKb) * 1024 - (b.fileBytes - a.fileBytes)) / double(b.n - a.n);
        std::printf("  marginal memory %lld -> %lld entries: %.0f B/entry beyond the file\n",
                    (long long)a.n, (long long)b.n, slope);
    }
    return 0;
}
