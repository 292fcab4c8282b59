// Times the command line's listing and search of a catalogue file (what
// `quillmere --list` and `--find` do) against the floor of reading the file
// whole and finding its line ends. Usage: bench_listing [entries, default 1000000]
#include "BenchUtil.h"
#include "catalogue/CatalogueFile.h"
#include "catalogue/CatalogueListing.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>

using namespace BenchUtil;

int main(int argc, char* argv[])
{
    const qint64 entries = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1000000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("quillmere.dat"));
    {
        // Categories of 50 documents each, two levels deep, as a grown catalogue has.
        std::mt19937 rng(7);
        QByteArray bytes;
        int categoryLevel = 0;
        for (qint64 i = 0; i < entries; ++i) {
            const bool category = i % 51 == 0;
            if (category)
                categoryLevel = i % 510 == 0 ? 0 : 1;
            const QString name = randomWords(rng, 8, 30);
            appendCatalogueLine(
                bytes, name, category ? categoryLevel : categoryLevel + 1,
                category ? QString()
                         : QStringLiteral("/home/ann/Documents/") + name + QStringLiteral(".pdf"),
                i % 7 == 0 ? randomWords(rng, 5, 40) : QString(), category ? u'1' : u'2',
                i % 13 == 0 ? QStringLiteral("Done") : QString());
        }
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            return 1;
    }
    const qint64 size = QFileInfo(path).size();
    std::vector<double> floorMs, readMs, listMs, findMs;
    qint64 listed = 0, found = 0;
    for (int run = 0; run < 3; ++run) {
        floorMs.push_back(timeMs([&] {
            QFile f(path);
            f.open(QIODevice::ReadOnly);
            const QByteArray all = f.readAll();
            qint64 lines = 0;
            for (const char *p = all.constData(), *end = p + all.size();
                 (p = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)))); ++p)
                ++lines;
            listed = lines;
        }));
        // The reader alone, as the listing drives it: decoding without output.
        readMs.push_back(timeMs([&] {
            CatalogueReader reader(path);
            reader.probePaths = false;
            std::vector<std::vector<CatalogueLineFields>> batches;
            reader.onBatchReady = [&] {
                batches.clear();
                reader.takeBatches(batches);
            };
            reader.run();
        }));
        qint64 bytesOut = 0;
        QString error;
        listMs.push_back(timeMs([&] {
            error = CatalogueListing::listCatalogue(path, {}, [&](QByteArrayView b) {
                        bytesOut += b.size();
                    }).error;
        }));
        if (!error.isEmpty()) {
            std::printf("%s\n", qPrintable(error));
            return 1;
        }
        found = 0;
        findMs.push_back(timeMs([&] {
            found = CatalogueListing::listCatalogue(path, u"RESUME invoice", [](QByteArrayView) {
                    }).linesWritten;
        }));
    }
    std::printf("reading and decoding alone: %.0f ms (%.1fx the floor)\n", median(readMs),
                median(readMs) / median(floorMs));
    std::printf("%lld entries, %.0f MB: floor %.0f ms, --list %.0f ms (%.1fx), --find %.0f ms "
                "(%.1fx, %lld found); runs: list %.0f %.0f %.0f, find %.0f %.0f %.0f\n",
                listed, size / 1e6, median(floorMs), median(listMs),
                median(listMs) / median(floorMs), median(findMs), median(findMs) / median(floorMs),
                found, listMs[0], listMs[1], listMs[2], findMs[0], findMs[1], findMs[2]);
    return 0;
}
