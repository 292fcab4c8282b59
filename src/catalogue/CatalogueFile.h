#pragma once
#include "catalogue/NodeInfo.h"
#include "utils/PathTests.h"

#include <QByteArrayView>
#include <QFile>
#include <QString>

class QThreadPool;
#include <array>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// The catalogue file: one line per node, six NUL-separated fields, CR LF after
// each line, UTF-8 text.

// Deepest level a line may have. The views lay a tree out recursively, so a
// deeper file would crash them; such a line is a malformed one.
inline constexpr int MaxCatalogueDepth = 1000;
// Longest line the reader takes: a file without line ends (or a device behind
// a link) must not eat the memory.
inline constexpr qsizetype MaxCatalogueLineBytes = qsizetype(256) << 20;

// Opens Path for reading when it is a regular file (links followed); a FIFO,
// device or folder is refused without blocking. False with Error set otherwise.
bool openRegularFile(const QString& path, QFile& file, QString* error);

// What a file was when this run last read or wrote it, to tell whether another
// program changed it since.
struct FileStamp {
    bool exists = false;
    bool regular = false;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    quint64 device = 0, inode = 0;

    static FileStamp of(const QString& path); // links followed
    bool operator==(const FileStamp&) const = default;
};

// One parsed line, with the facts of its path when it names a document.
struct CatalogueLineFields {
    QString name, fullName, comments, additional;
    // The stored code: exactly "1" to "4"; any other code reads as a document.
    NodeKind kind = NodeKind::Doc;
    int depth = 0; // where it goes in the tree (the first line is always a root)
    FileUtils::PathFacts facts;
};

// Decodes a line as UTF-8, or as Windows-1252 when it is not valid UTF-8 (files
// written on single-byte systems).
bool isValidUtf8(QByteArrayView bytes);
QString decodeWindows1252(QByteArrayView bytes);
// One field: UTF-8 when it is valid UTF-8 (a leading U+FEFF included), else
// Windows-1252.
QString decodeField(QByteArrayView bytes);
// Decodes the text fields of one line as decodeField does each, into one
// block of memory that the strings share: a catalogue holds one allocation
// per line for them, not one per field. Empty fields give null strings.
void decodeFields(std::array<QByteArrayView, 4> bytes, std::array<QString*, 4> out);

// Appends one catalogue line (with its CR LF) to Out as UTF-8. Fields lose any
// NUL, CR or LF, which would break the file's structure.
void appendCatalogueLine(QByteArray& out, QStringView name, int level, QStringView fullName,
                         QStringView comments, QChar kindCode, QStringView additional);
// The same line written at D, which has room for catalogueLineRoom bytes (of
// the fields' lengths added up); returns its end.
char* putCatalogueLine(char* d, QStringView name, int level, QStringView fullName,
                       QStringView comments, QChar kindCode, QStringView additional);
// Three bytes per UTF-16 unit at most, the level, the separators, the kind
// and CR LF.
constexpr qsizetype catalogueLineRoom(qsizetype fieldUnits)
{
    return 3 * fieldUnits + 16 + 5 + 1 + 2;
}

// Reads a catalogue file on a worker thread and hands parsed lines over in
// batches; the consumer builds the tree on its own thread.
class CatalogueReader
{
public:
    explicit CatalogueReader(QString path) : m_path(std::move(path)) {}

    // Worker side: reads the whole file. Never throws; see Error().
    void run();
    // Called on the worker thread after each batch and at the end.
    std::function<void()> onBatchReady;
    // Called on the worker thread with the progress in thousandths.
    std::function<void(int)> onProgress;
    // Whether each document's path is looked up on the disk (a listing
    // needs only the text).
    bool probePaths = true;

    // Consumer side: moves all waiting batches into Out; false when none.
    bool takeBatches(std::vector<std::vector<CatalogueLineFields>>& out);
    // Same, but blocks until a batch comes or the reading ends (a consumer
    // that has nothing else to do); false once the reading ended with none left.
    bool waitForBatches(std::vector<std::vector<CatalogueLineFields>>& out);
    bool finished() const { return m_finished.load(); }
    void cancel();

    // After Finished(): the text of a malformed line's error, or of an I/O error.
    QString error() const { return m_error; }
    bool malformed() const { return m_malformed; }
    qint64 linesRead() const { return m_lines; }

private:
    void read();
    void readLines();
    // A parsed batch on its way to the consumer: its paths are looked up
    // first, on the probing threads, and batches leave in the file's order.
    struct Probing {
        std::vector<CatalogueLineFields> lines;
        bool done = false;
    };
    void push(std::vector<CatalogueLineFields>&& batch);
    void probe(const std::shared_ptr<Probing>& slot);
    // Under m_lock: hands over the batches in front whose paths are known.
    bool passProbed();
    bool parseLine(QByteArrayView raw, CatalogueLineFields& line);

    QString m_path;
    QThreadPool* m_probers = nullptr; // look up the batches' paths while lines are parsed
    std::mutex m_lock;
    std::condition_variable m_space;
    std::condition_variable m_ready; // a batch came, or the reading ended
    std::deque<std::vector<CatalogueLineFields>> m_queue;
    std::deque<std::shared_ptr<Probing>> m_probing; // in the file's order
    std::exception_ptr m_probeFailure;
    std::atomic<bool> m_finished{false};
    std::atomic<bool> m_cancel{false};
    QString m_error;
    bool m_malformed = false;
    qint64 m_lines = 0;
    int m_prevDepth = -1;
};
