// Times the catalogue's save against what the machine needs at least for the
// same bytes, and measures how long a save while the user works holds the
// event loop.
//
//   bench_autosave [--sizes 100000,200000,1000000] [--reps 3] [--folder DIR]
//
// For each size a tree is built in memory (categories nested up to six deep,
// documents, folders and hyperlinks, a third with comments, some names
// outside ASCII) and then, Reps times each, side by side:
//   encode   the lines into memory, as the save does;
//   save     Catalogue::saveData(false): encode, write beside, fdatasync, rename;
//   floor    the same bytes written to a temporary file, fdatasync'ed and
//            renamed over the old one (what any atomic save needs at least);
//   autosave one change, then the save that follows it (the quiet time
//            included), while a 1 ms timer records every gap between its
//            ticks: the longest gap is what the save cost the event loop;
//            "idle" is the longest gap of the same timer with nothing to do,
//            the machine's own noise; "writing" the longest gap while the
//            worker wrote the file.
// The files go to DIR (default: a temporary folder under /tmp, a real disk
// here, so fdatasync has work to do); they are removed at the end.
#include "catalogue/AutoSave.h"
#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueSave.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <random>
#include <unistd.h>
#include <vector>

#include "BenchUtil.h"

namespace
{

using BenchUtil::median;
using BenchUtil::timeMs;

// CPU time of this thread: what the work cost, however busy the machine is.
double threadCpuMs()
{
    timespec t;
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

constexpr int TickMs = 1;
constexpr int SaveTimeoutMs = 60000;

const char* const Extensions[] = {".txt", ".pdf", ".odt", ".png", ".c", ".html", ".md", ".zip"};

// A catalogue of N entries in the tree's own calls (no file, no probing).
void buildTree(Catalogue& cat, int n, quint32 seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> p(0, 1);
    auto words = [&](int min, int max, char16_t joint = u' ') {
        return BenchUtil::randomWords(rng, min, max, joint);
    };
    NodeTree& nodes = cat.nodes();
    nodes.beginUpdate();
    std::vector<TreeNode*> open;
    for (int i = 0; i < n; ++i) {
        const double r = p(rng);
        if (open.empty() || (r < 0.09 && open.size() < 6)) {
            TreeNode* c = nodes.addChild(open.empty() ? nullptr : open.back(), QString());
            cat.fillCategoryNode(c, words(10, 30), p(rng) < 0.3 ? words(10, 70) : QString(),
                                 QString());
            open.push_back(c);
            continue;
        }
        if (r < 0.175)
            open.pop_back();
        TreeNode* parent = open.empty() ? nullptr : open.back();
        TreeNode* node = nodes.addChild(parent, QString());
        const QString comment = p(rng) < 0.3 ? words(10, 70) : QString();
        const QString extra = p(rng) < 0.1 ? QStringLiteral("to read") : QString();
        const double k = p(rng);
        if (k < 0.82) {
            const QString path = QStringLiteral("/home/user/%1/%2%3")
                                     .arg(words(4, 18, u'-'), words(6, 28, u'_'),
                                          QLatin1String(Extensions[i % std::size(Extensions)]));
            FileUtils::PathFacts facts;
            facts.exists = true;
            facts.isDir = k >= 0.75;
            cat.fillDocNode(node, k < 0.6 ? path.mid(path.lastIndexOf(u'/') + 1) : words(10, 30),
                            path, comment, extra, false, facts);
        } else {
            cat.fillUrlNode(node, words(10, 30),
                            QStringLiteral("https://www.%1.example/%2.html")
                                .arg(words(3, 12, u'-'), words(18, 65, u'/')),
                            comment, extra);
        }
    }
    nodes.endUpdate();
}

QByteArray encodeAll(Catalogue& cat)
{
    QByteArray out;
    int level = 0;
    encodeCatalogueLines(cat.nodes().getFirstNode(), level, cat.makerCategory(), out,
                         std::numeric_limits<qsizetype>::max());
    return out;
}

// Temp file, write, fdatasync, rename over Target.
void atomicFloor(const QString& target, const QByteArray& bytes)
{
    const QByteArray tmp = QFile::encodeName(target + QStringLiteral(".floor"));
    const int fd = ::open(tmp.constData(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
    qsizetype done = 0;
    while (fd >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            break;
        done += n;
    }
    ::fdatasync(fd);
    ::close(fd);
    ::rename(tmp.constData(), QFile::encodeName(target).constData());
}

struct Gaps {
    double longest = 0;
    double whileWriting = 0; // the longest with the worker writing meanwhile
    double slices = 0;       // ticks late by more than a tick: the save's turns
};

// The longest gap of the 1 ms timer over Ms with nothing else to do: the
// machine's own noise, to set the autosave's gaps against.
double idleGap(int ms)
{
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QElapsedTimer clock;
    double last = -1, longest = 0;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const double now = clock.nsecsElapsed() / 1e6;
        if (last >= 0)
            longest = std::max(longest, now - last);
        last = now;
    });
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    clock.start();
    ticker.start(TickMs);
    loop.exec();
    return longest;
}

// One change and the save after it, with a 1 ms timer ticking meanwhile.
// Returns the time from the change to the save being on the disk.
double autosaveOnce(Catalogue& cat, AutoSave& autoSave, Gaps& gaps, int rep)
{
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QElapsedTimer clock;
    double last = -1;
    bool wasWriting = false;
    gaps = {};
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const double now = clock.nsecsElapsed() / 1e6;
        const bool writing = cat.writing();
        if (last >= 0) {
            gaps.longest = std::max(gaps.longest, now - last);
            if (writing || wasWriting)
                gaps.whileWriting = std::max(gaps.whileWriting, now - last);
            gaps.slices += now - last > 2 * TickMs;
        }
        last = now;
        wasWriting = writing;
    });
    QEventLoop loop;
    QObject::connect(&autoSave, &AutoSave::saved, &loop, &QEventLoop::quit);
    QTimer::singleShot(SaveTimeoutMs, &loop, &QEventLoop::quit);
    clock.start();
    ticker.start(TickMs);
    // The change itself: a rename, as a user's.
    TreeNode* node = cat.nodes().getFirstNode()->getFirstChild();
    cat.nodes().setText(node, QStringLiteral("renamed %1").arg(rep));
    QElapsedTimer sinceChange;
    sinceChange.start();
    loop.exec();
    ticker.stop();
    return sinceChange.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    std::vector<int> sizes{100000, 200000, 1000000};
    int reps = 3;
    QString folder;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == u"--sizes") {
            sizes.clear();
            for (const QString& s : args[i + 1].split(u','))
                sizes.push_back(s.toInt());
        } else if (args[i] == u"--reps") {
            reps = std::max(1, args[i + 1].toInt());
        } else if (args[i] == u"--folder") {
            folder = args[i + 1];
        }
    }
    QTemporaryDir dir(folder.isEmpty() ? QDir::tempPath() + QStringLiteral("/qmsave-XXXXXX")
                                       : folder + QStringLiteral("/qmsave-XXXXXX"));
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 2;
    }
    std::printf("Files in %s; quiet time %d ms, slices of %d ms, ticks every %d ms\n",
                qPrintable(dir.path()), AutoSave::QuietMs, AutoSave::SliceMs, TickMs);
    std::printf("Times in ms (wall clock, and the thread's CPU time beside it)\n");
    std::printf("%9s %4s %7s %7s %5s %7s %5s %7s %5s %7s %6s %9s %8s %8s %6s %6s\n", "entries",
                "run", "MB", "encode", "cpu", "save", "cpu", "again", "fed", "floor", "ratio",
                "autosave", "longest", "writing", "turns", "idle");
    for (const int n : sizes) {
        Catalogue cat;
        cat.setDataFolder(dir.path());
        buildTree(cat, n, quint32(n));
        cat.createMakerCategory();
        AutoSave autoSave(cat);
        autoSave.start();
        const QString target = cat.dataFile(false);
        cat.saveData(false); // the file exists, as in a run
        std::vector<double> ratios, longest;
        for (int r = 0; r < reps; ++r) {
            QByteArray bytes;
            const double cpu0 = threadCpuMs();
            const double encode = timeMs([&] { bytes = encodeAll(cat); });
            const double cpu1 = threadCpuMs();
            const double save = timeMs([&] { cat.saveData(false); });
            const double cpu2 = threadCpuMs();
            // The same save by hand: how long the encoding fed the writer.
            double fed = 0;
            const double byHand = timeMs([&] {
                CatalogueStream stream(
                    {dir.path(), QString(), QStringLiteral("byhand.dat"), false});
                fed = timeMs(
                    [&] { writeTree(stream, cat.nodes().getFirstNode(), cat.makerCategory()); });
                stream.finish(std::nullopt);
                stream.future().waitForFinished();
            });
            const double floor = timeMs([&] { atomicFloor(target, bytes); });
            cat.saveData(false); // the file is the program's own again
            const double noise = idleGap(AutoSave::QuietMs + 500);
            Gaps gaps;
            const double toDisk = autosaveOnce(cat, autoSave, gaps, r);
            ratios.push_back(save / floor);
            longest.push_back(gaps.longest);
            std::printf("%9d %4d %7.1f %7.1f %5.1f %7.1f %5.1f %7.1f %5.1f %7.1f %6.2f %9.1f %8.1f "
                        "%8.1f %6.0f "
                        "%6.1f\n",
                        n, r + 1, bytes.size() / 1e6, encode, cpu1 - cpu0, save, cpu2 - cpu1,
                        byHand, fed, floor, save / floor, toDisk, gaps.longest, gaps.whileWriting,
                        gaps.slices, noise);
            std::fflush(stdout);
        }
        std::printf("%9d  median save/floor %.2f (target <= 1.5); longest event-loop gap %.1f ms "
                    "(target <= 50)\n",
                    n, median(ratios), *std::max_element(longest.begin(), longest.end()));
    }
    return 0;
}
