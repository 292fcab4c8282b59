#include "components/FileOperationDialogs.h"
#include "components/MessageDialogs.h"

#include <QFontMetrics>
#include <QProgressDialog>
#include <QScopeGuard>
#include <QtConcurrent/QtConcurrentRun>

namespace
{
int g_delay = 500;
std::function<void(QProgressDialog&)> g_hook;
std::unique_ptr<DialogFileOpUi> g_installed;
constexpr int Steps = 1000; // the dialog's range; totals may not fit in an int
// Painting after every buffer of a large copy would slow the copy down.
constexpr qint64 UpdateMs = 40;
} // namespace

DialogFileOpUi::DialogFileOpUi(QWidget* owner) : m_owner(owner) {}

DialogFileOpUi::~DialogFileOpUi() = default;

bool DialogFileOpUi::askOverwrite(const QString& target, bool isFolder)
{
    if (isFolder)
        return MessageDialogs::askYesNo(
            QStringLiteral("The folder \"%1\" already exists.\n\nIf files "
                           "in it have the same names as files in the "
                           "folder you are copying or moving, they will be "
                           "replaced. Do you still want to copy or "
                           "move the folder?")
                .arg(target),
            m_owner);
    return MessageDialogs::askYesNo(
        QStringLiteral("The file \"%1\" already exists.\n\nDo you want to replace it?").arg(target),
        m_owner);
}

bool DialogFileOpUi::askCreateFolder(const QString& folder)
{
    return MessageDialogs::askYesNo(
        QStringLiteral("The folder \"%1\" does not exist.\n\nDo you want to create it?")
            .arg(folder),
        m_owner);
}

bool DialogFileOpUi::confirmDelete(const QString& path, bool isFolder, bool toTrash)
{
    const QString what = isFolder
                             ? QStringLiteral("the folder \"%1\" and all its contents").arg(path)
                             : QStringLiteral("\"%1\"").arg(path);
    return MessageDialogs::askYesNo(
        toTrash ? QStringLiteral("Are you sure you want to move %1 to the trash?").arg(what)
                : QStringLiteral("Are you sure you want to delete %1 permanently?").arg(what),
        m_owner);
}

void DialogFileOpUi::error(const QString& text)
{
    MessageDialogs::errorBox(text, m_owner);
}

bool DialogFileOpUi::run(const std::function<bool(FileUtils::FileOpUi&)>& work)
{
    FileOpWorker worker(*this);
    QObject::connect(
        &worker, &FileOpWorker::progressed, &worker,
        [this](qint64 done, const QString& current) { updateProgress(done, current); });
    worker.start(work);
    // Until the progress is due nothing is shown, and the thread only
    // answers the worker's questions; after that the dialog runs until the
    // worker is through.
    for (;;) {
        switch (worker.waitBriefly(g_delay)) {
        case FileOpWorker::Wait::Finished:
            return worker.result();
        case FileOpWorker::Wait::Answered:
            break;
        case FileOpWorker::Wait::ProgressDue:
            showProgress(worker);
            break;
        }
    }
}

void DialogFileOpUi::showProgress(FileOpWorker& worker)
{
    m_caption = worker.caption();
    m_total = worker.total();
    QProgressDialog dialog(m_caption, QStringLiteral("Cancel"), 0, Steps, m_owner);
    dialog.setWindowTitle(QStringLiteral("Quillmere"));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setMinimumDuration(0);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setMinimumWidth(420);
    QObject::connect(&dialog, &QProgressDialog::canceled, &worker, &FileOpWorker::cancel);
    // The worker's end (or the end of its progress) closes the dialog;
    // both come as events, so they reach the dialog's loop below.
    QObject::connect(&worker, &FileOpWorker::finished, &dialog, [&dialog] { dialog.done(0); });
    QObject::connect(&worker, &FileOpWorker::progressEnded, &dialog, [&dialog] { dialog.done(0); });
    m_dialog = &dialog;
    m_worker = &worker;
    dialog.show();
    updateProgress(worker.done(), worker.current());
    // A cancelled dialog hides; the worker's end is then waited for as before.
    // An end that came before the connections above sent no signal here, so
    // the state is asked now that they are made.
    if (!worker.isFinished() && !worker.isProgressEnded() && !dialog.wasCanceled())
        dialog.exec();
    m_dialog = nullptr;
    m_worker = nullptr;
}

void DialogFileOpUi::updateProgress(qint64 doneUnits, const QString& current)
{
    if (!m_dialog || m_dialog->wasCanceled())
        return;
    const QFontMetrics metrics(m_dialog->font());
    m_dialog->setLabelText(m_caption + u'\n' + metrics.elidedText(current, Qt::ElideMiddle, 400));
    m_dialog->setValue(m_total > 0 ? int(qMin<qint64>(Steps, doneUnits * Steps / m_total)) : 0);
    if (g_hook)
        g_hook(*m_dialog);
    // Cancel from the button or from the dialog's own slot.
    if (m_dialog && m_dialog->wasCanceled() && m_worker)
        m_worker->cancel();
}

void DialogFileOpUi::setProgressDelay(int milliseconds)
{
    g_delay = milliseconds;
}

void DialogFileOpUi::setProgressHook(std::function<void(QProgressDialog&)> hook)
{
    g_hook = std::move(hook);
}

namespace FileOperations
{

void installDialogs(QWidget* owner)
{
    FileUtils::setFileOpUi(nullptr);
    g_installed = std::make_unique<DialogFileOpUi>(owner);
    FileUtils::setFileOpUi(g_installed.get());
}

} // namespace FileOperations

// The worker's side of the questions and the progress.
class FileOpWorker::Relay : public FileUtils::FileOpUi
{
public:
    explicit Relay(FileOpWorker& worker) : m_worker(worker) {}

    bool askOverwrite(const QString& target, bool isFolder) override
    {
        bool answer = false;
        m_worker.ask([&] { answer = m_worker.m_questions.askOverwrite(target, isFolder); });
        return answer;
    }
    bool askCreateFolder(const QString& folder) override
    {
        bool answer = false;
        m_worker.ask([&] { answer = m_worker.m_questions.askCreateFolder(folder); });
        return answer;
    }
    bool confirmDelete(const QString& path, bool isFolder, bool toTrash) override
    {
        bool answer = false;
        m_worker.ask([&] { answer = m_worker.m_questions.confirmDelete(path, isFolder, toTrash); });
        return answer;
    }
    void error(const QString& text) override
    {
        m_worker.ask([&] { m_worker.m_questions.error(text); });
    }
    void beginProgress(const QString& caption, qint64 totalUnits) override
    {
        {
            std::lock_guard guard(m_worker.m_lock);
            m_worker.m_begun = true;
            m_worker.m_ended = false;
            m_worker.m_begunAt.start();
            m_worker.m_caption = caption;
            m_worker.m_total = totalUnits;
            m_worker.m_doneUnits = 0;
        }
        m_worker.m_changed.notify_all();
        m_lastSignal.invalidate();
    }
    bool progress(qint64 doneUnits, const QString& current) override
    {
        if (m_worker.m_cancel)
            return false;
        {
            std::lock_guard guard(m_worker.m_lock);
            m_worker.m_doneUnits = doneUnits;
            m_worker.m_current = current;
        }
        if (!m_lastSignal.isValid() || m_lastSignal.elapsed() >= UpdateMs) {
            m_lastSignal.start();
            if (g_hook) {
                // A test watching the dialog sees every update before the
                // work goes on, so what it does there (Cancel) comes in time.
                m_worker.ask([&] { Q_EMIT m_worker.progressed(doneUnits, current); });
            } else {
                Q_EMIT m_worker.progressed(doneUnits, current);
            }
        }
        return !m_worker.m_cancel;
    }
    void endProgress() override
    {
        {
            std::lock_guard guard(m_worker.m_lock);
            m_worker.m_ended = true;
        }
        m_worker.m_changed.notify_all();
        Q_EMIT m_worker.progressEnded();
    }

private:
    FileOpWorker& m_worker;
    QElapsedTimer m_lastSignal;
};

FileOpWorker::FileOpWorker(FileUtils::FileOpUi& questions, QObject* parent)
    : QObject(parent), m_questions(questions), m_relay(std::make_unique<Relay>(*this))
{
    connect(&m_watcher, &QFutureWatcher<bool>::finished, this,
            [this] { Q_EMIT finished(m_watcher.result()); });
}

FileOpWorker::~FileOpWorker()
{
    if (m_watcher.isRunning()) {
        m_cancel = true;
        // A question it waits on is answered here, or it would wait for ever.
        while (waitBriefly(0) != Wait::Finished) {
        }
    }
    m_watcher.waitForFinished();
}

void FileOpWorker::start(std::function<bool(FileUtils::FileOpUi&)> work)
{
    m_watcher.setFuture(QtConcurrent::run([this, work = std::move(work)] {
        bool result = false;
        // Whatever happens, the starting thread must hear that it ended.
        auto ended = qScopeGuard([this] {
            {
                std::lock_guard guard(m_lock);
                m_done = true;
            }
            m_changed.notify_all();
        });
        result = work(*m_relay);
        return result;
    }));
}

void FileOpWorker::ask(std::function<void()> question)
{
    {
        std::lock_guard guard(m_lock);
        m_pending = std::move(question);
    }
    m_changed.notify_all();
    // The starting thread may be in the dialog's loop rather than waiting.
    QMetaObject::invokeMethod(this, &FileOpWorker::answerPending, Qt::QueuedConnection);
    std::unique_lock guard(m_lock);
    m_changed.wait(guard, [this] { return !m_pending; });
}

void FileOpWorker::answerPending()
{
    std::function<void()> question;
    {
        std::lock_guard guard(m_lock);
        if (!m_pending || m_answering)
            return;
        question = m_pending;
        m_answering = true; // a box's own loop may bring the queued call again
    }
    question();
    {
        std::lock_guard guard(m_lock);
        m_pending = nullptr;
        m_answering = false;
    }
    m_changed.notify_all();
}

FileOpWorker::Wait FileOpWorker::waitBriefly(int delayMs)
{
    std::unique_lock guard(m_lock);
    for (;;) {
        if (m_done)
            return Wait::Finished;
        // A due dialog comes first: a question that waits is answered from
        // its loop.
        const bool due = m_begun && !m_ended && !m_cancel;
        const qint64 left = due ? delayMs - m_begunAt.elapsed() : 0;
        if (due && left <= 0)
            return Wait::ProgressDue;
        if (m_pending && !m_answering) {
            guard.unlock();
            answerPending();
            return Wait::Answered;
        }
        if (due)
            m_changed.wait_for(guard, std::chrono::milliseconds(left));
        else
            m_changed.wait(guard);
    }
}

bool FileOpWorker::isProgressEnded() const
{
    std::lock_guard guard(m_lock);
    return m_ended;
}

QString FileOpWorker::caption() const
{
    std::lock_guard guard(m_lock);
    return m_caption;
}

qint64 FileOpWorker::total() const
{
    std::lock_guard guard(m_lock);
    return m_total;
}

qint64 FileOpWorker::done() const
{
    std::lock_guard guard(m_lock);
    return m_doneUnits;
}

QString FileOpWorker::current() const
{
    std::lock_guard guard(m_lock);
    return m_current;
}
