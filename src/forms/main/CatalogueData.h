#pragma once
#include <QObject>

class CommandContext;
class ProgressWindow;

// Loading and saving the catalogue file with the progress window, and the
// "Backup data" and "Restore data" commands.
class CatalogueData : public QObject
{
    Q_OBJECT
public:
    explicit CatalogueData(CommandContext& context);

    // Loads the catalogue or its backup; false when there is no such file.
    // Progress goes to shown, or to a window of its own for a file that exists.
    bool loadData(bool fromBackup, ProgressWindow* shown = nullptr);
    void saveData(bool backup);
    // The progress window of a load, as at start-up.
    static std::unique_ptr<ProgressWindow> makeProgressWindow();

private:
    void acBackupDataExecute();
    void acRestoreBackupExecute();

    CommandContext& m_context;
};
