#pragma once
#include "catalogue/CatalogueFile.h"
#include "catalogue/CatalogueSave.h"

#include <QFutureWatcher>
#include <QObject>
#include <memory>
#include <optional>

class Catalogue;

// The catalogue's file for a run: the load (a reader thread parses, the tree
// grows on this thread a slice at a time), the saves, the file kept aside when
// it cannot be read, and the check for another program's change before a save.
class CatalogueStore : public QObject
{
    Q_OBJECT
public:
    explicit CatalogueStore(Catalogue& catalogue);
    // A load under way is given up (its reader stopped); a write is waited for.
    ~CatalogueStore() override;

    // Starts loading the catalogue file or its backup; loaded() tells the
    // outcome, always after this returns. A failed restore (FromBackup)
    // leaves the tree as it was; a failed start-up load keeps the lines read
    // before the fault.
    void startLoad(bool fromBackup);
    // The same load for callers without an event loop (tools, tests): the
    // lines are built here as the reader hands them over, without a turn of
    // the event loop. False when there is no such file; the failure's text
    // is thrown as a CatalogueError. loaded() is emitted as well.
    bool loadNow(bool fromBackup);
    // True while a load runs: the tree is then incomplete and must not be saved.
    bool loading() const { return m_loading; }
    // Set when the catalogue file could not be read and could not be kept
    // aside either: the run then never writes over it (the user was told).
    bool fileProtected() const { return m_protectFile; }

    // Saves the tree (without the built-in category) to the catalogue file
    // or its backup, after the write in flight; throws CatalogueError.
    void save(bool backup);
    // A save for the caller to feed, with the same defences as Save; null
    // when the file is protected.
    std::unique_ptr<CatalogueStream> startWrite() const;
    // Finishes Stream's write on its worker, once the write before it is
    // through; backgroundWriteDone tells the outcome.
    void finishInBackground(std::unique_ptr<CatalogueStream> stream);
    bool writing() const { return m_writing != nullptr; }
    // Waits for the write in flight, if any, and takes its result.
    void waitForWrite();

Q_SIGNALS:
    // A load ended: Found is false when there was no such file; Error is
    // empty when the whole file was read.
    void loaded(bool found, const QString& error);
    // Progress of a load in thousandths, emitted on the reader's thread.
    void progress(int thousandths);
    // A save went through (or was left out for a protected file): the
    // window's settings go with it.
    void saved();
    void saveNotice(const QString& text);
    void catalogueWritten();
    void backgroundWriteDone(const QString& error);

private:
    struct Load;
    struct Outcome {
        bool found = false;
        QString error;
    };
    // Opens the load; an outcome when it ended at once.
    std::optional<Outcome> begin(bool fromBackup, bool async);
    // Appends the lines to the tree; a failure stops the reader.
    void addLines(std::vector<std::vector<CatalogueLineFields>>& batches);
    // Builds the tree from the batches waiting until Budget ms have passed;
    // false when a batch was left for later.
    bool buildFor(qint64 budgetMs);
    void buildSlice();
    Outcome finishLoad();
    void announce(const Outcome& outcome);
    QString protectUnlessKept(bool fromBackup, const QString& aside);
    CatalogueTarget writeTarget() const;
    void takeWriteResult(const CatalogueWriteResult& result);
    void finishWrite();

    Catalogue& m_catalogue;
    std::unique_ptr<Load> m_load;
    bool m_loading = false;
    bool m_protectFile = false;
    // The catalogue file as this run last read or wrote it.
    std::optional<FileStamp> m_fileStamp;
    QFutureWatcher<CatalogueWriteResult> m_write;
    std::unique_ptr<CatalogueStream> m_writing; // finished, its worker under way
    QString m_lastWriteError;
};
