#pragma once
#include "utils/PathTests.h"

#include <QByteArrayView>
#include <QFile>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
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
bool OpenRegularFile(const QString& Path, QFile& File, QString* Error);

// What a file was when this run last read or wrote it, to tell whether another
// program changed it since.
struct TFileStamp {
    bool Exists = false;
    bool Regular = false;
    qint64 Size = 0;
    qint64 ModifiedNs = 0;
    quint64 Device = 0, Inode = 0;

    static TFileStamp Of(const QString& Path); // links followed
    bool operator==(const TFileStamp&) const = default;
};

// One parsed line, with the facts of its path when it names a document.
struct TCatalogueLine {
    QString Name, FullName, Comments, KindCode, Additional;
    int Depth = 0; // where it goes in the tree (the first line is always a root)
    MyFileUtils::TPathFacts Facts;
};

// Decodes a line as UTF-8, or as Windows-1252 when it is not valid UTF-8 (files
// written on single-byte systems).
bool IsValidUtf8(QByteArrayView Bytes);
QString DecodeWindows1252(QByteArrayView Bytes);
// One field: UTF-8 when it is valid UTF-8 (a leading U+FEFF included), else
// Windows-1252.
QString DecodeField(QByteArrayView Bytes);

// Appends one catalogue line (with its CR LF) to Out as UTF-8. Fields lose any
// NUL, CR or LF, which would break the file's structure.
void AppendCatalogueLine(QByteArray& Out, QStringView Name, int Level, QStringView FullName,
                         QStringView Comments, QChar KindCode, QStringView Additional);

// Reads a catalogue file on a worker thread and hands parsed lines over in
// batches; the consumer builds the tree on its own thread.
class TCatalogueReader
{
public:
    explicit TCatalogueReader(QString Path) : m_path(std::move(Path)) {}

    // Worker side: reads the whole file. Never throws; see Error().
    void Run();
    // Called on the worker thread after each batch and at the end.
    std::function<void()> OnBatchReady;
    // Called on the worker thread with the progress in thousandths.
    std::function<void(int)> OnProgress;

    // Consumer side: moves all waiting batches into Out; false when none.
    bool TakeBatches(std::vector<std::vector<TCatalogueLine>>& Out);
    bool Finished() const { return m_finished.load(); }
    void Cancel();

    // After Finished(): the text of a malformed line's error, or of an I/O error.
    QString Error() const { return m_error; }
    bool Malformed() const { return m_malformed; }
    qint64 LinesRead() const { return m_lines; }

private:
    void read();
    void push(std::vector<TCatalogueLine>&& Batch);
    bool parseLine(QByteArrayView Raw, TCatalogueLine& Line);

    QString m_path;
    std::mutex m_lock;
    std::condition_variable m_space;
    std::deque<std::vector<TCatalogueLine>> m_queue;
    std::atomic<bool> m_finished{false};
    std::atomic<bool> m_cancel{false};
    QString m_error;
    bool m_malformed = false;
    qint64 m_lines = 0;
    int m_prevDepth = -1;
};
