// Times the two searches behind relinking against what the machine needs:
//  (a) the assistant's search for a moved file over a tree of 500,000 files
//      against `find TREE -name NAME` over the same tree (both with the
//      folders in the cache), for one lost name and for a hundred at once;
//  (b) "Check all links" over a catalogue of 200,000 documents (one in a
//      hundred missing): the locations gathered, each looked at once, the
//      missing entries found again, against one stat() per path.
//
//   bench_movedfiles [--files 500000] [--entries 200000] [--runs 3]
//
// The tree is made in a temporary folder under /tmp and removed at the end.
#include "catalogue/Catalogue.h"
#include "catalogue/LinkRepair.h"
#include "utils/MovedFileSearch.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "BenchUtil.h"

namespace
{

using BenchUtil::timeMs;

constexpr int FilesPerFolder = 100;
constexpr int FoldersPerLevel = 20;

// Folders three deep, a hundred files in each of the deepest ones.
QStringList makeTree(const QString& root, int files)
{
    QStringList made;
    made.reserve(files);
    int count = 0;
    for (int a = 0; count < files; ++a)
        for (int b = 0; b < FoldersPerLevel && count < files; ++b)
            for (int c = 0; c < FoldersPerLevel && count < files; ++c) {
                const QString dir =
                    QStringLiteral("%1/area%2/project%3/part%4").arg(root).arg(a).arg(b).arg(c);
                QDir().mkpath(dir);
                for (int i = 0; i < FilesPerFolder && count < files; ++i, ++count) {
                    const QString path = QStringLiteral("%1/document-%2.pdf").arg(dir).arg(count);
                    const int fd = ::open(QFile::encodeName(path).constData(),
                                          O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
                    if (fd >= 0)
                        ::close(fd);
                    made << path;
                }
            }
    return made;
}

double findMs(const QString& root, const QString& name)
{
    return timeMs([&] {
        QProcess find;
        find.setStandardOutputFile(QProcess::nullDevice());
        find.start(QStringLiteral("find"), {root, QStringLiteral("-name"), name});
        find.waitForFinished(-1);
    });
}

double searchMs(const QString& root, std::vector<FileUtils::LostTarget> lost, size_t* found)
{
    return timeMs([&] {
        FileUtils::MovedFileSearch search(std::move(lost), {root});
        search.run([](int) { return true; });
        *found = 0;
        for (const auto& c : search.candidates())
            *found += c.size();
    });
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    int files = 500000, entries = 200000, runs = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        const QByteArray flag = argv[i];
        const int value = atoi(argv[i + 1]);
        if (flag == "--files")
            files = value;
        else if (flag == "--entries")
            entries = value;
        else if (flag == "--runs")
            runs = value;
    }
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/bench-movedfiles-XXXXXX"));
    const QString root = dir.filePath("tree");
    std::printf("making %d files...\n", files);
    std::fflush(stdout);
    const QStringList made = makeTree(root, files);

    // One lost name found twice, and a hundred lost names at once.
    const QString wanted = QStringLiteral("document-%1.pdf").arg(files / 2);
    std::vector<FileUtils::LostTarget> one{
        {QStringLiteral("/gone/") + wanted, FileUtils::TargetKind::File, 0, -1}};
    std::vector<FileUtils::LostTarget> hundred;
    for (int i = 0; i < 100; ++i)
        hundred.push_back({QStringLiteral("/gone/document-%1.pdf").arg(i * (files / 100)),
                           FileUtils::TargetKind::File, 0, -1});
    findMs(root, wanted); // the folders into the cache
    std::printf("(a) search over %d files\n", files);
    for (int run = 0; run < runs; ++run) {
        const double find = findMs(root, wanted);
        size_t foundOne = 0, foundHundred = 0;
        const double single = searchMs(root, one, &foundOne);
        const double many = searchMs(root, hundred, &foundHundred);
        std::printf("  run %d: find -name %.0f ms; one name %.0f ms (%.2fx, %zu found); a hundred "
                    "names %.0f ms (%.2fx, %zu found)\n",
                    run + 1, find, single, single / find, foundOne, many, many / find,
                    foundHundred);
    }

    // A catalogue of documents in categories of 500, one in a hundred missing.
    Catalogue cat;
    cat.fileTypeIcons = false;
    NodeTree& nodes = cat.nodes();
    nodes.beginUpdate();
    TreeNode* category = nullptr;
    for (int i = 0; i < entries; ++i) {
        if (i % 500 == 0)
            category = cat.addCategoryNode(nullptr, QStringLiteral("Category %1").arg(i));
        const QString path =
            i % 100 == 0 ? QStringLiteral("/gone/missing-%1.pdf").arg(i) : made[i % made.size()];
        TreeNode* n = nodes.addChild(category, path.mid(path.lastIndexOf(u'/') + 1));
        auto info = std::make_unique<NodeInfo>();
        info->kind = NodeKind::Doc;
        info->fullName = path;
        nodes.setNodeData(n, std::move(info));
    }
    nodes.endUpdate();
    std::vector<QByteArray> native;
    for (const TreeNode* n = nodes.getFirstNode(); n; n = n->getNext())
        if (n->data()->kind == NodeKind::Doc)
            native.push_back(QFile::encodeName(n->data()->fullName));

    std::printf("(b) checking %d entries\n", entries);
    for (int run = 0; run < runs; ++run) {
        int missingByStat = 0;
        const double floor = timeMs([&] {
            for (const QByteArray& p : native) {
                struct stat st;
                if (::stat(p.constData(), &st) != 0)
                    ++missingByStat;
            }
        });
        size_t missingEntries = 0;
        const double check = timeMs([&] {
            const QStringList missing = missingPaths(fileLinkPaths(nodes));
            missingEntries = entriesAt(nodes, QSet<QString>(missing.begin(), missing.end())).size();
        });
        std::printf("  run %d: one stat per path %.0f ms; check all links %.0f ms (%.2fx); %zu "
                    "missing (%d by stat)\n",
                    run + 1, floor, check, check / floor, missingEntries, missingByStat);
    }
    return 0;
}
