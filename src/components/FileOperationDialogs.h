#pragma once
#include "utils/FileOperations.h"

#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QPointer>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class FileOpWorker;
class QProgressDialog;
class QWidget;

// The questions, errors and progress of the file operations as the program's
// dialogs: every message through MessageDialogs, and a progress dialog with
// Cancel that appears once the work has lasted half a second. An operation
// run through it (the short FileUtils calls) works on a worker thread
// (FileOpWorker): the dialog stays responsive, and the questions are asked
// here while the worker waits for the answer.
class DialogFileOpUi : public FileUtils::FileOpUi
{
public:
    explicit DialogFileOpUi(QWidget* owner = nullptr);
    ~DialogFileOpUi() override;

    bool askOverwrite(const QString& target, bool isFolder) override;
    bool askCreateFolder(const QString& folder) override;
    bool confirmDelete(const QString& path, bool isFolder, bool toTrash) override;
    void error(const QString& text) override;
    bool run(const std::function<bool(FileUtils::FileOpUi&)>& work) override;

    // How long work runs before the progress dialog shows (500 ms).
    static void setProgressDelay(int milliseconds);
    // Test hook: called with the dialog each time it is brought up to date.
    static void setProgressHook(std::function<void(QProgressDialog&)> hook);

private:
    void showProgress(FileOpWorker& worker);
    void updateProgress(qint64 doneUnits, const QString& current);

    QPointer<QWidget> m_owner;
    QPointer<QProgressDialog> m_dialog;
    FileOpWorker* m_worker = nullptr; // while the dialog is up
    QString m_caption;
    qint64 m_total = 0;
};

// One file operation on a worker thread. Its questions wait for the thread
// that started it to answer them (ask); its progress comes as signals,
// queued to that thread; Cancel reaches it through an atomic flag. Once
// the worker is through, finished() tells the result.
class FileOpWorker : public QObject
{
    Q_OBJECT
public:
    explicit FileOpWorker(FileUtils::FileOpUi& questions, QObject* parent = nullptr);
    // Waits for a worker still running (the operation is cancelled first).
    ~FileOpWorker() override;

    void start(std::function<bool(FileUtils::FileOpUi&)> work);
    void cancel() { m_cancel = true; }
    bool isFinished() const { return m_watcher.isFinished(); }
    // The progress ended and no other began (it may end before a late dialog listens).
    bool isProgressEnded() const;
    bool result() const { return m_watcher.result(); }

    // What the starting thread waits for, without an event loop: the end,
    // a question (answered here before this returns), or the start of
    // progress that has lasted Delay ms. Returns what happened.
    enum class Wait { Finished, Answered, ProgressDue };
    Wait waitBriefly(int delayMs);
    // Answers a question the worker is waiting on, if any.
    void answerPending();
    // The progress's caption, total and last state (for a dialog made late).
    QString caption() const;
    qint64 total() const;
    qint64 done() const;
    QString current() const;

Q_SIGNALS:
    void progressed(qint64 doneUnits, const QString& current);
    void progressEnded();
    void finished(bool result);

private:
    class Relay;
    // Worker side: puts Question to the starting thread and waits for it.
    void ask(std::function<void()> question);

    FileUtils::FileOpUi& m_questions;
    std::unique_ptr<Relay> m_relay;
    QFutureWatcher<bool> m_watcher;
    std::atomic<bool> m_cancel{false};
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::function<void()> m_pending; // a question for the starting thread
    bool m_answering = false;
    bool m_done = false;
    bool m_begun = false, m_ended = false;
    QElapsedTimer m_begunAt;
    QString m_caption, m_current;
    qint64 m_total = 0, m_doneUnits = 0;
};

namespace FileOperations
{
// From now on the short forms FileUtils::copyOrMove and deletePath
// ask, warn and show progress with the dialogs, over Owner.
void installDialogs(QWidget* owner = nullptr);
} // namespace FileOperations
