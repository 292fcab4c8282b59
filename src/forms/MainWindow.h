#pragma once
#include "catalogue/Catalogue.h"

#include <QMainWindow>
#include <functional>
#include <memory>

class AboutDialog;
class AdditionalMenu;
class CatalogueData;
class CategoryView;
class CommandActions;
class CommandContext;
class FoldersPanel;
class HotKeyControl;
class Intake;
class Opening;
class Properties;
class Relinking;
class QFrame;
class QLabel;
class QSessionManager;
class Search;
class ServiceCommands;
class TrayControl;
class WindowDragDrop;
class WindowSettings;

// The main window: lays out the controls, owns one controller per feature
// and the catalogue for the whole run, and runs its start and its end.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    Catalogue& catalogue() { return m_catalogue; }

    // Start-up: loads the catalogue (or imports the legacy file), puts the
    // built-in category first and reads the settings. Splash may be null.
    void start(AboutDialog* splash);
    // End of the run: the final save (once).
    void finish();
    // The built-in category is rebuilt and the flag cleared after a save that
    // answered the desktop's logoff query, in case the logoff is cancelled.
    void queryEndSession();
    // Every way to end the run (Exit, a signal, the session's quit) comes
    // here: one save, a failure reported once, then the event loops end.
    // Waits for a load in progress to finish first.
    void endRun();
    // Ends the event loops once the run is saved (default: exit(0)); tests
    // replace it.
    void setQuitHook(std::function<void()> hook) { m_quitHook = std::move(hook); }
    // Brings the window back from the tray (another start of the program).
    void restoreFromTray();
    // Files items from the command line into the category at Category (a
    // path as the command line writes it; empty for the main category).
    void fileItems(const QStringList& items, const QString& category);

    // The errors of the start-up, shown in one box once the window is up.
    QString startupError() const { return m_startupError; }
    void addStartupError(const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createLayout();
    void onCommitDataRequest(QSessionManager& manager);
    void importLegacyData();
    // The save of the logoff and of the end of the run; a failure is shown
    // once however often it happens.
    void saveAtEnd();

    Catalogue m_catalogue;
    CommandActions* m_commands = nullptr;
    std::unique_ptr<CommandContext> m_context;
    CategoryView* m_view = nullptr;
    AdditionalMenu* m_additional = nullptr;
    FoldersPanel* m_folders = nullptr;
    TrayControl* m_tray = nullptr;
    Opening* m_opening = nullptr;
    Intake* m_intake = nullptr;
    Search* m_search = nullptr;
    CatalogueData* m_data = nullptr;
    WindowSettings* m_settings = nullptr;
    Properties* m_properties = nullptr;
    Relinking* m_relinking = nullptr;
    WindowDragDrop* m_dragDrop = nullptr;
    HotKeyControl* m_hotKey = nullptr;
    ServiceCommands* m_service = nullptr;
    QFrame* m_dropStrip = nullptr;

    QString m_startupError;
    std::function<void()> m_quitHook;
    bool m_destroyed = false; // the final save was made (or tried)
    bool m_ending = false;    // endRun is under way
    bool m_saveFailureShown = false;
};
