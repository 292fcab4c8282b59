#pragma once
#include <QObject>
#include <memory>

class AutoSave;
class CommandContext;
class ProgressWindow;

// Loading and saving the catalogue file with the progress window, the saves
// while the user works, and the "Backup data" and "Restore data" commands.
class CatalogueData : public QObject
{
    Q_OBJECT
public:
    explicit CatalogueData(CommandContext& context);

    // Loads the catalogue or its backup; false when there is no such file.
    // Progress goes to shown, or to a window of its own for a file that exists.
    bool loadData(bool fromBackup, ProgressWindow* shown = nullptr);
    void saveData(bool backup);
    // Saves while the user works from now on (after the start-up's load),
    // until StopAutoSave (the end of the run, whose own save follows).
    void startAutoSave();
    void stopAutoSave();
    // A change waiting to be saved goes to the disk now; returns once it is
    // there (another start of the program hands over to this one).
    void flushAutoSave();
    AutoSave& autoSave() { return *m_autoSave; }
    // The progress window of a load, as at start-up.
    static std::unique_ptr<ProgressWindow> makeProgressWindow();

private:
    void backupData();
    void restoreData();

    CommandContext& m_context;
    AutoSave* m_autoSave = nullptr;
};
