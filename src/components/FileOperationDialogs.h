#pragma once
#include "utils/FileOperations.h"

#include <QElapsedTimer>
#include <QPointer>
#include <functional>
#include <memory>

class QProgressDialog;
class QWidget;

// The questions, errors and progress of the file operations as the program's
// dialogs: every message through HSDialogs, and a progress dialog with Cancel
// that appears once the work has lasted half a second.
class TDialogFileOpUi : public MyFileUtils::TFileOpUi
{
public:
    explicit TDialogFileOpUi(QWidget* Owner = nullptr);
    ~TDialogFileOpUi() override;

    bool AskOverwrite(const QString& Target, bool IsFolder) override;
    bool AskCreateFolder(const QString& Folder) override;
    bool ConfirmDelete(const QString& Path, bool IsFolder, bool ToTrash) override;
    void Error(const QString& Text) override;
    void BeginProgress(const QString& Caption, qint64 TotalUnits) override;
    bool Progress(qint64 DoneUnits, const QString& Current) override;
    void EndProgress() override;

    // How long work runs before the progress dialog shows (500 ms).
    static void SetProgressDelay(int Milliseconds);
    // Test hook: called with the dialog each time it is brought up to date.
    static void SetProgressHook(std::function<void(QProgressDialog&)> Hook);

private:
    QPointer<QWidget> m_owner;
    std::unique_ptr<QProgressDialog> m_dialog;
    QElapsedTimer m_clock;
    QElapsedTimer m_lastUpdate;
    QString m_caption;
    qint64 m_total = 0;
    bool m_cancelled = false;
};

namespace FileOperations
{
// From now on the short forms MyFileUtils::ShellCopyOrMove and ShellDelete
// ask, warn and show progress with the dialogs, over Owner.
void InstallDialogs(QWidget* Owner = nullptr);
} // namespace FileOperations
