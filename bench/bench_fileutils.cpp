// Times the file helpers against what the machine needs for the same work:
//  (a) ListFiles over a tree of 100,000 files against `find DIR -type f`;
//  (b) loading a catalogue of 200,000 existing documents of 50 file types
//      with the desktop icon look-ups on and off.
//
//   bench_fileutils [--files N] [--docs N] [--reps N]
//
// The trees are made in a temporary folder under /tmp and removed at the end.
#include "catalogue/Catalogue.h"
#include "utils/FileListing.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

#include "BenchUtil.h"

namespace
{

using BenchUtil::Clock;
using BenchUtil::timeMs;

using BenchUtil::median;

QString list(const std::vector<double>& v)
{
    QStringList parts;
    for (double x : v)
        parts << QString::number(x, 'f', 1);
    return parts.join(QStringLiteral(", "));
}

void touch(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0)
        ::close(fd);
}

// Fifty suffixes the MIME database knows, from documents to sources.
const char* const Suffixes[50] = {
    "txt", "pdf", "png",  "jpg",  "gif",  "svg", "html", "css", "js",   "json", "xml", "csv", "odt",
    "ods", "odp", "docx", "xlsx", "pptx", "doc", "xls",  "ppt", "rtf",  "md",   "c",   "cpp", "h",
    "py",  "sh",  "java", "rs",   "go",   "rb",  "pl",   "tex", "zip",  "gz",   "tar", "7z",  "mp3",
    "ogg", "wav", "flac", "mp4",  "mkv",  "avi", "webm", "iso", "epub", "ttf",  "ics"};

void makeListTree(const QString& root, int files)
{
    // 10 x 10 x 10 folders, the files spread evenly over the deepest ones.
    const int perFolder = std::max(1, files / 1000);
    int made = 0;
    for (int a = 0; a < 10; ++a)
        for (int b = 0; b < 10; ++b)
            for (int c = 0; c < 10; ++c) {
                const QString dir = QStringLiteral("%1/a%2/b%3/c%4").arg(root).arg(a).arg(b).arg(c);
                QDir().mkpath(dir);
                const QByteArray nativeDir = QFile::encodeName(dir);
                for (int i = 0; i < perFolder && made < files; ++i, ++made)
                    touch(nativeDir + "/file" + QByteArray::number(i) + '.' + Suffixes[i % 50]);
            }
}

// quillmere.dat: one category per folder of 1,000 documents.
void makeCatalogue(const QString& dataFolder, const QString& docRoot, int docs)
{
    QByteArray out;
    out.reserve(qsizetype(docs) * 90);
    auto line = [&out](const QByteArray& name, int level, const QByteArray& path,
                       const char* kind) {
        out += name + '\0' + QByteArray::number(level) + '\0' + path + '\0' + '\0' + kind + '\0' +
               "\r\n";
    };
    line("Documents", 0, "", "1");
    for (int n = 0; n < docs; ++n) {
        const int folder = n / 1000;
        const QByteArray dir = QFile::encodeName(docRoot) + "/f" + QByteArray::number(folder);
        if (n % 1000 == 0) {
            QDir().mkpath(QFile::decodeName(dir));
            line("Folder " + QByteArray::number(folder), 1, "", "1");
        }
        const QByteArray name = "doc" + QByteArray::number(n) + '.' + Suffixes[n % 50];
        touch(dir + '/' + name);
        line(name, 2, dir + '/' + name, "2");
    }
    QFile f(dataFolder + QStringLiteral("/quillmere.dat"));
    if (f.open(QIODevice::WriteOnly))
        f.write(out);
}

double loadOnce(const QString& dataFolder, bool icons, int* images)
{
    Catalogue cat;
    cat.setDataFolder(dataFolder);
    cat.setFileTypeIcons(icons);
    const double ms = timeMs([&] { cat.loadData(false); });
    *images = cat.images().small.count();
    return ms;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    int files = 100000, docs = 200000, reps = 3;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == u"--files")
            files = args[i + 1].toInt();
        else if (args[i] == u"--docs")
            docs = args[i + 1].toInt();
        else if (args[i] == u"--reps")
            reps = std::max(1, args[i + 1].toInt());
    }

    QTemporaryDir scratch(QStringLiteral("/tmp/bench_fileutils-XXXXXX"));
    if (!scratch.isValid()) {
        std::fprintf(stderr, "cannot make a scratch folder under /tmp\n");
        return 1;
    }

    // (a) ListFiles against find.
    const QString tree = scratch.path() + QStringLiteral("/tree");
    std::printf("making a tree of %d files...\n", files);
    std::fflush(stdout);
    makeListTree(tree, files);
    const QString findCommand = QStringLiteral("find '%1' -type f > /dev/null").arg(tree);
    std::vector<double> own, find, ownMasked;
    qsizetype found = 0;
    (void)std::system(qPrintable(findCommand)); // warm the caches for both
    for (int r = 0; r < reps; ++r) {
        own.push_back(timeMs([&] {
            QStringList list;
            FileUtils::listFiles(tree, QStringLiteral("*.*"), list);
            found = list.size();
        }));
        find.push_back(timeMs([&] { (void)std::system(qPrintable(findCommand)); }));
        ownMasked.push_back(timeMs([&] {
            QStringList list;
            FileUtils::listFiles(tree, QStringLiteral("*.pdf"), list);
        }));
    }
    std::printf("(a) ListFiles over %lld files (ms):   %s  median %.1f\n", (long long)found,
                qPrintable(list(own)), median(own));
    std::printf("    find -type f (ms):                %s  median %.1f\n", qPrintable(list(find)),
                median(find));
    std::printf("    ListFiles \"*.pdf\" (ms):           %s  median %.1f\n",
                qPrintable(list(ownMasked)), median(ownMasked));
    std::printf("    ratio ListFiles / find: %.2f (target <= 2)\n", median(own) / median(find));
    std::fflush(stdout);
    QDir(tree).removeRecursively();

    // (b) Loading with and without icon look-ups.
    std::printf("making a catalogue of %d documents of 50 types...\n", docs);
    std::fflush(stdout);
    makeCatalogue(scratch.path(), scratch.path() + QStringLiteral("/docs"), docs);
    int images = 0;
    const double warm = loadOnce(scratch.path(), false, &images); // file system caches
    std::vector<double> off, on;
    int imagesOn = 0, imagesOff = 0;
    double coldOn = 0;
    for (int r = 0; r < reps; ++r) {
        const double t = loadOnce(scratch.path(), true, &imagesOn);
        if (r == 0)
            coldOn = t;
        on.push_back(t);
        off.push_back(loadOnce(scratch.path(), false, &imagesOff));
    }
    std::printf("(b) load, icons off (ms): %s  median %.1f  (warm-up %.1f; %d images)\n",
                qPrintable(list(off)), median(off), warm, imagesOff);
    std::printf("    load, icons on (ms):  %s  median %.1f  (first run %.1f fills the icon cache; "
                "%d images)\n",
                qPrintable(list(on)), median(on), coldOn, imagesOn);
    std::printf("    ratio on / off: %.2f (target <= 1.5)\n", median(on) / median(off));
    return 0;
}
