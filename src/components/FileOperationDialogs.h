#pragma once
#include "utils/FileOperations.h"

#include <QElapsedTimer>
#include <QPointer>
#include <functional>
#include <memory>

class QProgressDialog;
class QWidget;

// The questions, errors and progress of the file operations as the program's
// dialogs: every message through MessageDialogs, and a progress dialog with Cancel
// that appears once the work has lasted half a second.
class DialogFileOpUi : public FileUtils::FileOpUi
{
public:
    explicit DialogFileOpUi(QWidget* owner = nullptr);
    ~DialogFileOpUi() override;

    bool askOverwrite(const QString& target, bool isFolder) override;
    bool askCreateFolder(const QString& folder) override;
    bool confirmDelete(const QString& path, bool isFolder, bool toTrash) override;
    void error(const QString& text) override;
    void beginProgress(const QString& caption, qint64 totalUnits) override;
    bool progress(qint64 doneUnits, const QString& current) override;
    void endProgress() override;

    // How long work runs before the progress dialog shows (500 ms).
    static void setProgressDelay(int milliseconds);
    // Test hook: called with the dialog each time it is brought up to date.
    static void setProgressHook(std::function<void(QProgressDialog&)> hook);

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
// From now on the short forms FileUtils::copyOrMove and deletePath
// ask, warn and show progress with the dialogs, over Owner.
void installDialogs(QWidget* owner = nullptr);
} // namespace FileOperations
