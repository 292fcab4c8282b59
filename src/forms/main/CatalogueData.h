#pragma once
#include "catalogue/EditHistory.h"

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

    // Starts loading the catalogue or its backup, with the progress window
    // for a file that exists; loadFinished follows. Meanwhile the window takes
    // no input: the tree is incomplete.
    void startLoad(bool fromBackup);
    // The window goes while a load runs: its restore step closes now, while
    // the history is still there.
    void abandonLoad();
    void saveData(bool backup);
    // Saves while the user works from now on (after the start-up's load),
    // until StopAutoSave (the end of the run, whose own save follows).
    void startAutoSave();
    void stopAutoSave();
    // A change waiting to be saved goes to the disk now; returns once it is
    // there (another start of the program hands over to this one).
    void flushAutoSave();
    AutoSave& autoSave() { return *m_autoSave; }

Q_SIGNALS:
    // A load by startLoad ended: Found is false when there was no such file;
    // Error is the user's message, empty when the whole file was read.
    void loadFinished(bool found, const QString& error);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void backupData();
    void restoreData();
    void onLoaded(bool found, const QString& error);
    void restoreFinished(bool found, const QString& error);
    // Watched is a modal dialog open now, or a part of it.
    static bool inModalDialog(const QObject* watched);

    CommandContext& m_context;
    AutoSave* m_autoSave = nullptr;
    std::unique_ptr<ProgressWindow> m_progress;
    bool m_startedLoad = false; // the load under way is this one's
    bool m_linksLocked = false; // a link update under way holds the input
    // "Restore data" under way: one undo step from its start to its end.
    std::unique_ptr<EditHistory::Step> m_restoreStep;
};
