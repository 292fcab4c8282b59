#include "components/FileOperationDialogs.h"
#include "components/MessageDialogs.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QProgressDialog>

namespace
{
int g_delay = 500;
std::function<void(QProgressDialog&)> g_hook;
std::unique_ptr<DialogFileOpUi> g_installed;
constexpr int Steps = 1000; // the dialog's range; totals may not fit in an int
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

void DialogFileOpUi::beginProgress(const QString& caption, qint64 totalUnits)
{
    m_caption = caption;
    m_total = totalUnits;
    m_cancelled = false;
    m_clock.start();
    m_lastUpdate.invalidate();
}

bool DialogFileOpUi::progress(qint64 doneUnits, const QString& current)
{
    if (m_cancelled)
        return false;
    if (!m_dialog) {
        if (m_clock.isValid() && m_clock.elapsed() < g_delay)
            return true;
        m_dialog = std::make_unique<QProgressDialog>(m_caption, QStringLiteral("Cancel"), 0, Steps,
                                                     m_owner);
        // Should the owner go first, it takes the dialog with it.
        QObject::connect(m_dialog.get(), &QObject::destroyed, [this] { (void)m_dialog.release(); });
        m_dialog->setWindowTitle(QStringLiteral("Quillmere"));
        m_dialog->setWindowModality(Qt::ApplicationModal);
        m_dialog->setMinimumDuration(0);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        m_dialog->setMinimumWidth(420);
        m_dialog->show();
    }
    // Painting after every buffer of a large copy would slow the copy down.
    if (m_lastUpdate.isValid() && m_lastUpdate.elapsed() < 40)
        return !m_dialog->wasCanceled();
    m_lastUpdate.start();
    const QFontMetrics metrics(m_dialog->font());
    m_dialog->setLabelText(m_caption + u'\n' + metrics.elidedText(current, Qt::ElideMiddle, 400));
    m_dialog->setValue(m_total > 0 ? int(qMin<qint64>(Steps, doneUnits * Steps / m_total)) : 0);
    QCoreApplication::processEvents();
    if (g_hook && m_dialog)
        g_hook(*m_dialog);
    m_cancelled = m_dialog && m_dialog->wasCanceled();
    return !m_cancelled;
}

void DialogFileOpUi::endProgress()
{
    m_dialog.reset();
    m_clock.invalidate();
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
