#include "catalogue/SeenTargets.h"
#include "catalogue/CatalogueFile.h"
#include "utils/SystemPaths.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <cstring>
#include <sys/stat.h>
#include <vector>

namespace SeenTargets
{

namespace
{

constexpr char Magic[8] = {'Q', 'M', 'S', 'E', 'E', 'N', '1', '\n'};
// Cancelling is looked at once per this many paths.
constexpr int PathsPerCheck = 1024;

struct Record {
    quint64 key;
    qint64 size;
    qint64 modified;
    bool operator==(const Record&) const = default;
};
static_assert(sizeof(Record) == 24);

// FNV-1a over the path's UTF-16 units: the same on every machine and run.
quint64 keyOf(QStringView path)
{
    quint64 h = 0xcbf29ce484222325ull;
    for (const QChar c : path) {
        h ^= c.unicode();
        h *= 0x100000001b3ull;
    }
    return h;
}

std::vector<Record> load(const QString& store)
{
    std::vector<Record> records;
    QFile file;
    if (!openRegularFile(store, file, nullptr))
        return records;
    const QByteArray bytes = file.readAll();
    if (bytes.size() < qsizetype(sizeof Magic) ||
        std::memcmp(bytes.constData(), Magic, sizeof Magic) != 0 ||
        (bytes.size() - qsizetype(sizeof Magic)) % qsizetype(sizeof(Record)) != 0)
        return records; // not ours, or cut short: as if there were none
    records.resize(size_t(bytes.size() - qsizetype(sizeof Magic)) / sizeof(Record));
    std::memcpy(static_cast<void*>(records.data()), bytes.constData() + sizeof Magic,
                records.size() * sizeof(Record));
    // Kept sorted by the writer; a file that is not is not used.
    if (!std::is_sorted(records.begin(), records.end(),
                        [](const Record& a, const Record& b) { return a.key < b.key; }))
        records.clear();
    return records;
}

const Record* find(const std::vector<Record>& records, quint64 key)
{
    const auto it = std::lower_bound(records.begin(), records.end(), key,
                                     [](const Record& r, quint64 k) { return r.key < k; });
    return it != records.end() && it->key == key ? &*it : nullptr;
}

} // namespace

QString storeFile(const QString& dataFolder)
{
    return QDir(dataFolder).filePath(QStringLiteral("quillmere.seen"));
}

bool refresh(const QString& store, const QStringList& paths, const std::atomic<bool>* cancel)
{
    std::vector<Record> fresh;
    std::vector<quint64> missing;
    fresh.reserve(size_t(paths.size()));
    int sinceCheck = 0;
    for (const QString& path : paths) {
        if (cancel && ++sinceCheck >= PathsPerCheck) {
            sinceCheck = 0;
            if (cancel->load())
                return true;
        }
        const quint64 key = keyOf(path);
        struct stat st;
        if (::stat(FileUtils::Sys::native(path).constData(), &st) != 0) {
            missing.push_back(key);
            continue;
        }
        fresh.push_back(
            {key, S_ISDIR(st.st_mode) ? -1 : qint64(st.st_size), qint64(st.st_mtim.tv_sec)});
    }
    const std::vector<Record> old = load(store);
    for (quint64 key : missing)
        if (const Record* r = find(old, key))
            fresh.push_back(*r);
    std::sort(fresh.begin(), fresh.end(), [](const Record& a, const Record& b) {
        return a.key < b.key || (a.key == b.key && a.modified > b.modified);
    });
    fresh.erase(std::unique(fresh.begin(), fresh.end(),
                            [](const Record& a, const Record& b) { return a.key == b.key; }),
                fresh.end());
    if (fresh == old && (QFile::exists(store) || fresh.empty()))
        return true;
    if (cancel && cancel->load())
        return true;
    QSaveFile file(store);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(Magic, sizeof Magic);
    file.write(reinterpret_cast<const char*>(fresh.data()), qint64(fresh.size() * sizeof(Record)));
    return file.commit();
}

QHash<QString, Facts> lookup(const QString& store, const QStringList& paths)
{
    QHash<QString, Facts> out;
    const std::vector<Record> records = load(store);
    for (const QString& path : paths)
        if (const Record* r = find(records, keyOf(path)))
            out.insert(path, {r->size, r->modified});
    return out;
}

} // namespace SeenTargets
