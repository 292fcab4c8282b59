// Times loading and saving the catalogue file against what the machine needs
// at least for the same work (read the file and stat its paths; write the
// file once), and measures the resident memory a load costs per entry.
//
//   bench_catalogue [--sizes 10000,200000] [--reps N]
//
// Catalogues, the files half of their documents point at, and the folders
// are made in a temporary folder under /tmp that is removed at the end.
// Memory is measured in a fresh child process per load (this program run
// again with --mem), so earlier loads in this process cannot hide it.
// QSaveFile::commit() calls fdatasync before its rename, so besides the plain
// write the save is also compared with temp file + fdatasync + rename.
#include "catalogue/Catalogue.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QSaveFile>

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

struct TSamples {
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

const char* const Words[] = {
    "annual",   "report",    "invoice",   "letter",    "notes",  "draft",   "final",  "budget",
    "meeting",  "minutes",   "project",   "summary",   "travel", "photos",  "recipe", "manual",
    "contract", "tax",       "insurance", "garden",    "house",  "car",     "school", "thesis",
    "chapter",  "slides",    "review",    "plan",      "backup", "archive", "family", "holiday",
    "scan",     "receipt",   "bank",      "statement", "health", "music",   "score",  "lecture",
    "paper",    "code",      "sources",   "design",    "sketch", "map",     "ideas",  "journal",
    "list",     "Übersicht", "résumé",    "Café",      "Straße", "naïve",   "Zürich", "Ångström"};
constexpr int WordCount = int(sizeof(Words) / sizeof(Words[0]));
constexpr int AsciiWordCount = WordCount - 6;

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
QString words(std::mt19937& rng, int Min, int Max, bool Ascii, char16_t Joint = u' ')
{
    const int target = uniform(rng, Min, Max);
    QString s;
    while (s.size() < target) {
        if (!s.isEmpty())
            s += Joint;
        s += QString::fromUtf8(Words[uniform(rng, 0, (Ascii ? AsciiWordCount : WordCount) - 1)]);
    }
    if (s.size() > Max)
        s.truncate(Max);
    return s.trimmed();
}

// Real files on disk, made on demand and shared by every catalogue.
class TFilePool
{
public:
    explicit TFilePool(QString Root) : m_root(std::move(Root)) {}

    // The path of existing file I (made when first asked for).
    QString file(int I)
    {
        while (int(m_files.size()) <= I)
            makeNext();
        return m_files[size_t(I)];
    }
    int folderCount() const { return int(m_folders.size()); }
    QString folder(int I) const { return m_folders[size_t(I)]; }
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

struct TCatalogueStats {
    qint64 Lines = 0, Categories = 0, Docs = 0, DocsOnDisk = 0, Folders = 0, Links = 0,
           Comments = 0;
    qint64 NameChars = 0, PathChars = 0, Paths = 0, LocalPaths = 0;
    int MaxLevel = 0, Roots = 0;
};

void appendLine(QByteArray& Out, const QString& Name, int Level, const QString& Path,
                const QString& Comment, char Kind, const QString& Additional)
{
    Out += Name.toUtf8();
    Out += '\0';
    Out += QByteArray::number(Level);
    Out += '\0';
    Out += Path.toUtf8();
    Out += '\0';
    Out += Comment.toUtf8();
    Out += '\0';
    Out += Kind;
    Out += '\0';
    Out += Additional.toUtf8();
    Out += "\r\n";
}

// A catalogue of Entries lines in depth-first order: categories nested up to
// six deep holding documents (half of them on disk), folders and hyperlinks.
QByteArray makeCatalogue(TFilePool& Pool, const QString& Root, qint64 Entries, quint32 Seed,
                         TCatalogueStats& St, int* NextFile)
{
    std::mt19937 rng(Seed);
    QByteArray out;
    out.reserve(Entries * 130);
    int open = 0; // categories open above the next line
    static const char* const Extras[] = {"2023", "draft", "ISBN 978-3-16-148410-0", "to read",
                                         "★★★"};
    auto comment = [&] { return chance(rng, 0.3) ? words(rng, 10, 70, false) : QString(); };
    auto extra = [&] {
        return chance(rng, 0.1) ? QString::fromUtf8(Extras[uniform(rng, 0, 4)]) : QString();
    };
    auto emitLine = [&](const QString& Name, const QString& Path, char Kind,
                        const QString& Comment) {
        const int level = open;
        appendLine(out, Name, level, Path, Comment, Kind, extra());
        ++St.Lines;
        St.NameChars += Name.size();
        if (!Path.isEmpty()) {
            St.PathChars += Path.size();
            ++St.Paths;
            St.LocalPaths += Path.startsWith(u'/');
        }
        St.Comments += !Comment.isEmpty();
        St.MaxLevel = std::max(St.MaxLevel, level);
        St.Roots += level == 0;
    };
    while (St.Lines < Entries) {
        const double r = std::uniform_real_distribution<double>(0, 1)(rng);
        if (open == 0 || (r < 0.09 && open < 6)) {
            emitLine(words(rng, 10, 30, false), QString(), '1', comment());
            ++St.Categories;
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
                path = Pool.file((*NextFile)++);
                ++St.DocsOnDisk;
            } else {
                path = QStringLiteral("%1/archive/%2/%3%4")
                           .arg(Root, words(rng, 4, 18, true, u'-'), words(rng, 6, 28, true, u'_'),
                                QLatin1String(Extensions[uniform(rng, 0, ExtensionCount - 1)]));
            }
            const QString name =
                chance(rng, 0.2) ? words(rng, 10, 30, false) : path.mid(path.lastIndexOf(u'/') + 1);
            emitLine(name, path, '2', comment());
            ++St.Docs;
        } else if (k < 0.82 && Pool.folderCount() > 0) {
            const QString path = Pool.folder(uniform(rng, 0, Pool.folderCount() - 1));
            emitLine(path.mid(path.lastIndexOf(u'/') + 1), path, '3', comment());
            ++St.Folders;
        } else {
            const QString address =
                QStringLiteral("https://www.%1.example/%2.html")
                    .arg(words(rng, 3, 12, true, u'-'), words(rng, 18, 65, true, u'/'));
            emitLine(words(rng, 10, 30, false), address, '4', comment());
            ++St.Links;
        }
    }
    return out;
}

bool writeWhole(const QString& Path, const QByteArray& Bytes)
{
    QFile f(Path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(Bytes) == Bytes.size() &&
           f.flush();
}

// ---------------------------------------------------------------- floors

// Floor of a load: the file read whole, then one stat per local path it holds
// (field 3 of each line), as the loader must probe each of them.
qint64 readAndStat(const QString& File)
{
    QFile f(File);
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
void writeOnce(const QString& File, const QByteArray& Bytes, bool Sync)
{
    const QByteArray name = QFile::encodeName(File);
    const int fd = ::open(name.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd < 0) {
        std::perror("open");
        std::exit(2);
    }
    qsizetype done = 0;
    while (done < Bytes.size()) {
        const ssize_t n = ::write(fd, Bytes.constData() + done, size_t(Bytes.size() - done));
        if (n <= 0) {
            std::perror("write");
            std::exit(2);
        }
        done += n;
    }
    if (Sync)
        ::fdatasync(fd);
    ::close(fd);
}

// ---------------------------------------------------------------- memory

long statusKb(const char* Key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray all = f.readAll();
    const qsizetype at = all.indexOf(Key);
    if (at < 0)
        return -1;
    return std::strtol(all.constData() + at + std::strlen(Key), nullptr, 10);
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
    constexpr size_t Size = 64u << 20;
    {
        // volatile, so the compiler cannot drop the block altogether
        std::unique_ptr<char[]> block(new char[Size]);
        volatile char* touch = block.get();
        for (size_t i = 0; i < Size; i += 4096)
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
int memChild(const QString& Folder, const QString& WarmFolder, bool Shell)
{
    {
        TCatalogue warm;
        warm.SetDataFolder(WarmFolder);
        warm.ShellIcons = Shell;
        warm.LoadData(false);
    }
    TCatalogue cat;
    cat.SetDataFolder(Folder);
    cat.ShellIcons = Shell;
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
    const double ms = timeMs([&] { ok = cat.LoadData(false); });
    stop = true;
    sampler.join();
    const long hwmAfter = statusKb("VmHWM:");
    const long rssAfter = statusKb("VmRSS:");
    std::printf("MEM ok=%d nodes=%d reset=%d rss_before=%ld hwm_before=%ld hwm_after=%ld "
                "rss_after=%ld sampled=%ld "
                "load_ms=%.3f\n",
                ok, cat.Nodes().Count(), reset, rssBefore, hwmBefore, hwmAfter, rssAfter,
                sampled.load(), ms);
    std::fflush(stdout);
    return ok ? 0 : 1;
}

std::map<QString, double> runChild(const QStringList& Args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QCoreApplication::applicationFilePath(), Args);
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

void row(const char* What, const TSamples& S, const char* Unit = "ms")
{
    std::printf("  %-44s %10.2f %10.2f %10.2f %s  (%zu)\n", What, S.median(), S.min(), S.max(),
                Unit, S.v.size());
}

const char* verdict(bool Met)
{
    return Met ? "met" : "MISSED";
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
    struct TCleanup {
        QString Dir;
        ~TCleanup()
        {
            if (!Dir.isEmpty())
                QDir(Dir).removeRecursively();
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

    TFilePool pool(root);
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

    struct TResult {
        qint64 N = 0;
        double Load = 0, Floor = 0, Save = 0, Write = 0, Atomic = 0, MemPerEntry = 0;
        double PeakKb = 0, FileBytes = 0;
    };
    std::vector<TResult> results;
    int nextFile = 0;

    for (const qint64 n : sizes) {
        const QString dir = root + QStringLiteral("/data%1").arg(n);
        QDir().mkpath(dir);
        const QString file = dir + QStringLiteral("/quillmere.dat");
        TCatalogueStats st;
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
                    (long long)n, bytes.size() / 1e6, (long long)st.Categories, st.MaxLevel,
                    st.Roots, (long long)st.Docs, (long long)st.DocsOnDisk, (long long)st.Folders,
                    (long long)st.Links, (long long)st.Comments,
                    double(st.NameChars) / double(st.Lines),
                    double(st.PathChars) / double(std::max<qint64>(1, st.Paths)));
        const int reps = repsOverride > 0 ? repsOverride : (n >= 100000 ? 5 : 9);
        const int expectNodes = int(n) + 4; // plus the built-in category and its three links

        TSamples load, loadPlain, floorA, save, writeNoSync, writeSync, writeRename;
        // Warm-up: page cache, type database, icon cache, loader thread.
        {
            TCatalogue warm;
            warm.SetDataFolder(dir);
            if (!warm.LoadData(false) || warm.Nodes().Count() != expectNodes) {
                std::fprintf(stderr, "load failed: %d nodes, expected %d\n", warm.Nodes().Count(),
                             expectNodes);
                return 1;
            }
        }
        qint64 statted = 0;
        for (int r = 0; r < reps; ++r) {
            for (const bool shell : {true, false}) {
                auto cat = std::make_unique<TCatalogue>();
                cat->SetDataFolder(dir);
                cat->ShellIcons = shell;
                bool ok = false;
                (shell ? load : loadPlain).add(timeMs([&] { ok = cat->LoadData(false); }));
                if (!ok || cat->Nodes().Count() != expectNodes) {
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
            TCatalogue cat;
            cat.SetDataFolder(dir);
            cat.LoadData(false);
            const QString floorFile = dir + QStringLiteral("/floor.dat");
            const QString renameTmp = dir + QStringLiteral("/floor.tmp");
            writeOnce(floorFile, bytes, false);
            for (int r = 0; r < reps; ++r) {
                if (r > 0)
                    cat.CreateMakerCategory();
                save.add(timeMs([&] { cat.SaveData(false); }));
                if (r == 0) {
                    QFile f(file);
                    roundTrip = f.open(QIODevice::ReadOnly) && f.readAll() == bytes;
                }
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
        for (const bool shell : {true, false})
            mem[shell ? 0 : 1] = runChild({QStringLiteral("--mem"), dir, warmDir,
                                           shell ? QStringLiteral("1") : QStringLiteral("0")});

        std::printf("  %-44s %10s %10s %10s     (reps)\n", "what", "median", "min", "max");
        row("LoadData", load);
        row("LoadData, ShellIcons = false", loadPlain);
        row("floor (a): read whole + stat each path", floorA);
        row("SaveData(false)", save);
        row("floor (b): write + close, no fsync", writeNoSync);
        row("  write + fdatasync + close (info)", writeSync);
        row("floor (b'): temp + fdatasync + rename over", writeRename);
        std::printf("  floor (a) found %lld of %lld local paths on disk; save round trip: %s\n",
                    (long long)statted, (long long)st.LocalPaths,
                    roundTrip ? "byte-identical" : "DIFFERS from the loaded file");

        TResult res;
        res.N = n;
        res.Load = load.median();
        res.Floor = floorA.median();
        res.Save = save.median();
        res.Write = writeNoSync.median();
        res.Atomic = writeRename.median();
        res.FileBytes = double(bytes.size());
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
                res.MemPerEntry = perEntry;
                res.PeakKb = peakKb;
            }
        }
        results.push_back(res);
    }

    std::printf("\n== Targets\n");
    for (const TResult& r : results) {
        std::printf(
            "  %7lld entries: load/floor(a) %.2f (%s, target <= 2); save/floor(b) %.2f (%s, target "
            "<= 2; "
            "save/floor(b') %.2f); memory %.0f B/entry beyond the file (%s, target <= 400)\n",
            (long long)r.N, r.Load / r.Floor, verdict(r.Load <= 2 * r.Floor), r.Save / r.Write,
            verdict(r.Save <= 2 * r.Write), r.Save / r.Atomic, r.MemPerEntry,
            verdict(r.MemPerEntry <= 400));
    }
    if (results.size() >= 2) {
        // The slope between the smallest and the largest catalogue leaves out
        // any fixed cost of a load.
        const TResult& a = results.front();
        const TResult& b = results.back();
        const double slope =
            ((b.PeakKb - a.PeakKb) * 1024 - (b.FileBytes - a.FileBytes)) / double(b.N - a.N);
        std::printf("  marginal memory %lld -> %lld entries: %.0f B/entry beyond the file\n",
                    (long long)a.N, (long long)b.N, slope);
    }
    return 0;
}
