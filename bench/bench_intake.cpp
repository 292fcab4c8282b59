// Times a drop of many files on one category of the real window against
// what that work needs at least:
//   filing - AddLinkNode called once per file on a catalogue without views,
//            with the tree's updates suspended;
//   refill - one stat per listed path (every fill checks documents on disk).
//
//   bench_intake [--count 10000] [--reps 3]
//
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise. The
// files are made in a temporary folder under /tmp, removed at the end.
#include "catalogue/Catalogue.h"
#include "catalogue/ListModel.h"
#include "forms/MainWindow.h"
#include "forms/main/CategoryView.h"
#include "forms/main/Intake.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "BenchUtil.h"

using BenchUtil::median;
using BenchUtil::timeMs;

namespace
{

const char* const Extensions[] = {".txt", ".pdf", ".odt", ".png", ".html", ".csv", ".mp3", ""};

TreeNode* freshCategory(Catalogue& cat, TreeNode*& category)
{
    if (category)
        cat.nodes().deleteNode(category);
    category = cat.addCategoryNode(nullptr, "Dropped");
    return category;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int count = 10000, reps = 3;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == "--count")
            count = args[i + 1].toInt();
        else if (args[i] == "--reps")
            reps = std::max(1, args[i + 1].toInt());
    }

    QTemporaryDir dir(QDir::tempPath() + "/bench_intake-XXXXXX");
    if (!dir.isValid())
        return 1;
    QStringList paths;
    std::vector<QByteArray> native;
    for (int i = 0; i < count; ++i) {
        const QString folder = dir.filePath(QString("folder%1").arg(i / 500));
        if (i % 500 == 0)
            QDir().mkpath(folder);
        const QString path = folder + QString("/%1 %2%3")
                                          .arg(BenchUtil::Words[i % BenchUtil::WordCount])
                                          .arg(i)
                                          .arg(Extensions[i % std::size(Extensions)]);
        const int fd = ::open(QFile::encodeName(path).constData(), O_CREAT | O_WRONLY, 0644);
        if (fd >= 0)
            ::close(fd);
        paths << path;
        native.push_back(QFile::encodeName(path));
    }

    // The floor of the filing: AddLinkNode alone, no views, updates suspended.
    std::vector<double> directTimes;
    {
        Catalogue bare;
        TreeNode* category = nullptr;
        for (int r = 0; r <= reps; ++r) {
            freshCategory(bare, category);
            const double ms = timeMs([&] {
                bare.nodes().beginUpdate();
                for (const QString& p : paths)
                    bare.addLinkNode(p, category, QString(), false);
                bare.nodes().endUpdate();
            });
            if (r > 0) // the first run warms the icon cache and the disk
                directTimes.push_back(ms);
        }
    }

    // The drop in the real window: filing in one batch and one refill.
    QTemporaryDir data(QDir::tempPath() + "/bench_intake-data-XXXXXX");
    QFile(data.filePath("quillmere.dat")).open(QIODevice::WriteOnly);
    MainWindow window;
    window.catalogue().setDataFolder(data.path());
    window.start(nullptr);
    window.resize(800, 600);
    window.show();
    QCoreApplication::processEvents();
    auto* intake = window.findChild<Intake*>();
    auto* view = window.findChild<CategoryView*>();
    Catalogue& cat = window.catalogue();
    std::vector<double> dropTimes, refillTimes, statTimes, beforeTimes;
    TreeNode* category = nullptr;
    for (int r = 0; r <= reps; ++r) {
        freshCategory(cat, category);
        QCoreApplication::processEvents();
        const double drop = timeMs([&] {
            intake->fileBatch(paths, category);
            QCoreApplication::processEvents(); // the tree laid out and drawn once
        });
        if (category->count() != count || view->listModel().count() != count) {
            std::fprintf(stderr, "filed %d, listed %d of %d\n", category->count(),
                         view->listModel().count(), count);
            return 1;
        }
        const double refill = timeMs([&] { view->listCategory(category); });
        const double floor = timeMs([&] {
            struct stat st;
            for (const QByteArray& p : native)
                ::stat(p.constData(), &st);
        });
        // The same files dropped onto an entry: all go before it, in one run.
        freshCategory(cat, category);
        TreeNode* entry = cat.addLinkNode(paths.front(), category, QString(), false);
        QCoreApplication::processEvents();
        const double before = timeMs([&] {
            intake->fileBatch(paths, entry);
            QCoreApplication::processEvents();
        });
        if (category->count() != count + 1 || category->getLastChild() != entry) {
            std::fprintf(stderr, "before an entry: filed %d of %d\n", category->count() - 1, count);
            return 1;
        }
        if (r > 0) {
            beforeTimes.push_back(before);
            dropTimes.push_back(drop);
            refillTimes.push_back(refill);
            statTimes.push_back(floor);
        }
    }
    const double direct = median(directTimes), drop = median(dropTimes),
                 refill = median(refillTimes), floor = median(statTimes),
                 before = median(beforeTimes);
    std::printf("%d files dropped on one category, median of %d runs\n", count, reps);
    std::printf("drop (batch filing + one refill) %8.1f ms   AddLinkNode alone  %8.1f ms   "
                "ratio %.2f (filing part %.2f, target < 2)\n",
                drop, direct, drop / direct, (drop - refill) / direct);
    std::printf("drop onto an entry (before it)   %8.1f ms   onto the category  %8.1f ms   "
                "ratio %.2f (target about 1)\n",
                before, drop, before / drop);
    std::printf("list refill                      %8.1f ms   one stat per path  %8.1f ms   "
                "ratio %.2f (target < 2)\n",
                refill, floor, refill / floor);
    return 0;
}
