// Times loading and saving the catalogue file against what the machine needs
// at least for the same work (read the file and stat its paths; write the
// file once), measures the resident memory a load costs per entry, and the
// longest the event loop waits while a load runs.
//
//   bench_catalogue [--sizes 10000,200000] [--reps N] [--save-only]
//
// --save-only times the saves and their floors alone (one load for the tree).
//
// Catalogues, the files half of their documents point at, and the folders
// are made in a temporary folder under /tmp that is removed at the end.
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
#include <unistd.h>
#include <vector>

#include "BenchUtil.h"

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
            if (!dir.isEmpty())
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
    // Only the saves and their floors (one load for the tree, no memory children).
    const bool saveOnly = args.contains(QStringLiteral("--save-only"));
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == u"--sizes") {
            sizes.clear();
            for (const QString& s : args[i + 1].split(u','))
                sizes.push_back(s.toLongLong());
        } else if (args[i] == u"--reps") {
            repsOverride = args[i + 1].toInt();
        }
    }

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
        double load = 0, floor = 0, save = 0, write = 0, atomic = 0, memPerEntry = 0;
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
        for (int r = 0; r < (saveOnly ? 0 : reps); ++r) {
            for (const bool shell : {true, false}) {
                auto cat = std::make_unique<Catalogue>();
                cat->setDataFolder(dir);
                cat->setFileTypeIcons(shell);
                bool ok = false;
                // The longest the event loop waits during the load, the end
                // of the load (the views' reset) included.
                QElapsedTimer sinceTick;
                double longest = 0;
                QTimer tick;
                tick.setInterval(1);
                QObject::connect(&tick, &QTimer::timeout, [&] {
                    longest = std::max(longest, sinceTick.nsecsElapsed() / 1e6);
                    sinceTick.restart();
                });
                sinceTick.start();
                tick.start();
                (shell ? load : loadPlain).add(timeMs([&] { ok = cat->loadData(false); }));
                tick.stop();
                if (shell)
                    gaps.add(std::max(longest, sinceTick.nsecsElapsed() / 1e6));
                if (!ok || cat->nodes().count() != expectNodes) {
                    std::fprintf(stderr, "load failed\n");
                    return 1;
                }
            }
            floorA.add(timeMs([&] { statted = readAndStat(file); }));
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
        row("longest event-loop gap in LoadData", gaps);
        row("floor (a): read whole + stat each path", floorA);
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
        res.load = load.median();
        res.floor = floorA.median();
        res.save = save.median();
        res.write = writeNoSync.median();
        res.atomic = writeRename.median();
        res.fileBytes = double(bytes.size());
        for (int k = 0; k < 2; ++k) {
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
        std::printf(
            "  %7lld entries: load/floor(a) %.2f (%s, target <= 2); save/floor(b) %.2f (%s, target "
            "<= 2; "
            "save/floor(b') %.2f); memory %.0f B/entry beyond the file (%s, target <= 400)\n",
            (long long)r.n, r.load / r.floor, verdict(r.load <= 2 * r.floor), r.save / r.write,
            verdict(r.save <= 2 * r.write), r.save / r.atomic, r.memPerEntry,
            verdict(r.memPerEntry <= 400));
    }
    if (results.size() >= 2) {
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
