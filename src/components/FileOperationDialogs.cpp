#include "components/FileOperationDialogs.h"
#include "components/HSDialogs.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QProgressDialog>

namespace
{
int g_delay = 500;
std::function<void(QProgressDialog&)> g_hook;
std::unique_ptr<TDialogFileOpUi> g_installed;
constexpr int Steps = 1000; // the dialog's range; totals may not fit in an int
} // namespace

TDialogFileOpUi::TDialogFileOpUi(QWidget* Owner) : m_owner(Owner) {}

TDialogFileOpUi::~TDialogFileOpUi() = default;

bool TDialogFileOpUi::AskOverwrite(const QString& Target, bool IsFolder)
{
    if (IsFolder)
        return HSDialogs::AskYesNo(QStringLiteral("The folder \"%1\" already exists.\n\nIf files "
                                                  "in it have the same names as files in the "
                                                  "folder you are copying or moving, they will be "
                                                  "replaced. Do you still want to copy or "
                                                  "move the folder?")
                                       .arg(Target),
                                   m_owner);
    return HSDialogs::AskYesNo(
        QStringLiteral("The file \"%1\" already exists.\n\nDo you want to replace it?").arg(Target),
        m_owner);
}

bool TDialogFileOpUi::AskCreateFolder(const QString& Folder)
{
    return HSDialogs::AskYesNo(
        QStringLiteral("The folder \"%1\" does not exist.\n\nDo you want to create it?")
            .arg(Folder),
        m_owner);
}

bool TDialogFileOpUi::ConfirmDelete(const QString& Path, bool IsFolder, bool ToTrash)
{
    const QString what = IsFolder
                             ? QStringLiteral("the folder \"%1\" and all its contents").arg(Path)
                             : QStringLiteral("\"%1\"").arg(Path);
    return HSDialogs::AskYesNo(
        ToTrash ? QStringLiteral("Are you sure you want to move %1 to the trash?").arg(what)
                : QStringLiteral("Are you sure you want to delete %1 permanently?").arg(what),
        m_owner);
}

void TDialogFileOpUi::Error(const QString& Text)
{
    HSDialogs::ErrorBox(Text, m_owner);
}

void TDialogFileOpUi::BeginProgress(const QString& Caption, qint64 TotalUnits)
{
    m_caption = Caption;
    m_total = TotalUnits;
    m_cancelled = false;
    m_clock.start();
    m_lastUpdate.invalidate();
}

bool TDialogFileOpUi::Progress(qint64 DoneUnits, const QString& Current)
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
    m_dialog->setLabelText(m_caption + u'\n' + metrics.elidedText(Current, Qt::ElideMiddle, 400));
    m_dialog->setValue(m_total > 0 ? int(qMin<qint64>(Steps, DoneUnits * Steps / m_total)) : 0);
    QCoreApplication::processEvents();
    if (g_hook && m_dialog)
        g_hook(*m_dialog);
    m_cancelled = m_dialog && m_dialog->wasCanceled();
    return !m_cancelled;
}

void TDialogFileOpUi::EndProgress()
{
    m_dialog.reset();
    m_clock.invalidate();
}

void TDialogFileOpUi::SetProgressDelay(int Milliseconds)
{
    g_delay = Milliseconds;
}

void TDialogFileOpUi::SetProgressHook(std::function<void(QProgressDialog&)> Hook)
{
    g_hook = std::move(Hook);
}

namespace FileOperations
{

void InstallDialogs(QWidget* Owner)
{
    MyFileUtils::SetFileOpUi(nullptr);
    g_installed = std::make_unique<TDialogFileOpUi>(Owner);
    MyFileUtils::SetFileOpUi(g_installed.get());
}

} // namespace FileOperations
