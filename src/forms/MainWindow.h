#pragma once
#include "catalogue/Catalogue.h"
#include "catalogue/SettingKeys.h"

#include <QMainWindow>
#include <memory>

class QAbstractItemView;
class QAction;
class QActionGroup;
class QComboBox;
class QFrame;
class QLabel;
class QListView;
class QListWidget;
class QMenu;
class QSessionManager;
class QSplitter;
class QStackedWidget;
class QStandardItemModel;
class QToolBar;
class QToolButton;
class QTreeView;
class AboutDialog;
class ProgressWindow;

// The main window: the category tree, the list beside it, the commands, and
// the catalogue for the whole run.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Start-up: loads the catalogue (or imports the legacy file), puts the
    // built-in category first and reads the settings. Splash may be null.
    void formCreate(AboutDialog* splash);
    // End of the run: the final save (once), then the desktop hooks go.
    void formDestroy();

    Catalogue catalogue;
    TreeNode* listedNode = nullptr;
    ProgressWindow* progressWindow = nullptr;
    // An error of the start-up, shown once the window is up.
    QString startupError;
    // Adds a paragraph to StartupError: the user sees one box for them all.
    void addStartupError(const QString& text);

    // Node making with the view's part: a new category is scrolled into view
    // and its name opened for editing.
    TreeNode* addCategoryNode(TreeNode* parent, const QString& name);
    bool loadData(bool fromBackup);
    void saveData(bool backup);
    void listCategory(TreeNode* node);
    void readSettings();
    void writeSettings();
    // The built-in category is rebuilt and the flag cleared after a save that
    // answered the desktop's logoff query, in case the logoff is cancelled.
    void queryEndSession();
    // Every way to end the run (Exit, a signal, the session's quit) comes
    // here: one save, a failure reported once, then the event loops end.
    // Waits for a load in progress to finish first.
    void endRun();
    // Ends the event loops once the run is saved (default: exit(0)); tests
    // replace it.
    std::function<void()> quitHook;
    TreeNode* selectedTreeNode() const;

    // Controls.
    QToolBar* toolBar1 = nullptr;
    QFrame* targetWin = nullptr;
    QLabel* targetGlobe = nullptr;
    QLabel* targetMarker = nullptr;
    QTreeView* docsTree = nullptr;
    QSplitter* splitter1 = nullptr;
    QStackedWidget* listView = nullptr;
    QListView* listIcons = nullptr;
    QTreeView* listDetails = nullptr;
    QFrame* explorerPanel = nullptr;
    QListWidget* dirListBox = nullptr;
    QComboBox* cbDrive = nullptr;
    QToolButton* btnSearch = nullptr;
    QToolButton* btnView = nullptr;

    // Commands.
    QAction *acNewDoc, *acNewCateg, *acPasteURL, *acRemoveItem, *acDeleteFromDisk, *acAddComments,
        *acProperties, *acFindObject, *acExpandAll, *acCollapseAll, *acExplore, *acSearchInNames,
        *acSearchInComments, *acSearchInAdd, *acSearchAgain, *acAutoStart, *acRemoveOnAbsent,
        *acOptions, *acBackupData, *acRestoreBackup;
    QAction *exit1, *exitMenu, *largeIcons1, *smallIcons1, *list1, *detailes1, *largeIcons2,
        *smallIcons2, *list2, *detailes2, *help1, *support1, *faQ1, *about1, *show1, *hide1,
        *asSingleFolder1, *asSepDocs1, *noDragDrop1;
    QMenu *fileMenu, *viewMainMenu, *serviceMenu, *helpMenu, *popupMenu, *itemMenu, *adMenu,
        *trayMenu, *searchMenu, *viewMenu, *foldersMenu, *dragFolderMenu;

    // ---- category view and settings ----
    // The list's rows: each refers to a tree node, the list owns no data.
    class ListModel* listModel = nullptr;
    // Tree selection moved to Node (or none): status line and list follow.
    void docsTreeChange(TreeNode* node);
    // The on-disk check of one row's node while the list is filled; it may
    // re-point or remove the node ("Delete non-actual links").
    void fillListItem(TreeNode* node);
    void clearSortMarks();
    void listViewColumnClick(int column);
    // Rows compared by column |Param| - 1 (1 is the name), the locale's
    // case-insensitive order, times the sign of Param.
    int compareListItems(int row1, int row2, int param) const;
    // Sort direction of a column in this run: 0 never sorted, 1 or -1.
    int sortDirection(int column) const;
    // A right-button press selects the node under Pos, or clears the selection.
    void docsTreeMouseDown(Qt::MouseButton button, const QPoint& pos);
    void docsTreeContextPopup(const QPoint& globalPos);
    void listViewContextPopup(const QPoint& globalPos);
    // The node of the list's selected row, or null.
    TreeNode* listSelectedNode() const;
    // 0 Large Icons, 1 Small Icons, 2 List, 3 Details.
    int viewStyle() const { return m_viewStyle; }
    // List column widths as settings and options see them: 0 means hidden.
    int columnWidth(int column) const;
    void setColumnWidth(int column, int width);
    // Title of the additional field: last column's caption and AdMenu's title.
    QString adTitle() const;
    void setAdTitle(const QString& title);
    // The entries of AdMenu, texts as typed (an empty one is a blank entry).
    QStringList adValues() const;
    void setAdValues(const QStringList& values);
    // More values make no usable menu, longer texts no usable caption or
    // entry; the setters above keep to them.
    static constexpr int MaxAdValues = 1000;
    static constexpr int MaxAdTextLength = 255;
    // "Changing of value for category changes values for all subitems".
    bool recursChanging = false;
    // The restore hot key as a shortcut word; ReadSettings hands it to the hook.
    int hotKey = Setting::HotKey.defaultValue;
    std::function<void(int key)> assignHotKeyHook;
    // ---- end of category view and settings ----

    // ---- opening entries and the tray ----
    class TrayIcon* coolTrayIcon = nullptr; // owned by the window
    // A balloon at the tray icon; IconKind is a TrayIcon::BalloonIcon
    // (0 none, 1 information, 2 warning, 3 error). Without a tray the status
    // line shows it.
    void showBalloon(const QString& title, const QString& text, int iconKind, int seconds);
    void showBalloon(const QString& title, const QString& text, int seconds); // information
    void restoreFromTray();
    void hideToTray();
    void coolTrayIconClick();
    // The hot key's text beside "Show" in the tray menu; empty for none.
    void setShowHotKeyText(const QString& keyText);

    void docsTreeDblClick();
    void listViewDblClick();
    void enterListedCategory(const QModelIndex& row);
    // Hands a path or an address to the desktop; throws when it refuses.
    void openTarget(const QString& target);
    // The relink question for a missing document; false when the node was removed.
    bool askNewLocation(const QString& name, const QString& path, TreeNode* node,
                        const QString& comments);
    void removeNode(TreeNode* node);
    // The node a list row refers to, and the list's selected row.
    TreeNode* listNodeAt(const QModelIndex& row) const;
    QModelIndex selectedListRow() const;
    // What a command acts on: the tree's selected node when the tree has the
    // focus, else the list's selected row's node when the list has it, else none.
    TreeNode* commandTargetNode() const;
    // Asks for a document's new location (default: the open-file dialog,
    // opened in Folder); tests replace it. An empty result is a cancel.
    std::function<QString(const QString& title, const QString& folder)> pickFileHook;
    // ---- end of opening entries and the tray ----

protected:
    void closeEvent(QCloseEvent* event) override;

public Q_SLOTS:
    void acNewDocExecute();
    void acNewCategExecute();
    void acPasteURLExecute();
    void acRemoveItemExecute();
    void acDeleteFromDiskExecute();
    void acAddCommentsExecute();
    void acPropertiesExecute();
    void acFindObjectExecute();
    void acExpandAllExecute();
    void acCollapseAllExecute();
    void acExploreExecute();
    void acSearchInNamesExecute();
    void acSearchInCommentsExecute();
    void acSearchInAddExecute();
    void findDlgFind();
    void acAutoStartExecute();
    void acRemoveOnAbsentExecute();
    void acOptionsExecute();
    void acBackupDataExecute();
    void acRestoreBackupExecute();
    void exit1Click();
    void largeIcons1Click();
    void smallIcons1Click();
    void list1Click();
    void detailes1Click();
    void btnViewClick();
    void help1Click();
    void support1Click();
    void faQ1Click();
    void about1Click();
    void show1Click();
    void hide1Click();
    void asSingleFolder1Click();
    void asSepDocs1Click();
    void noDragDrop1Click();

private:
    void createActions();
    void createMenus();
    void createToolBar();
    void createControls();
    void connectCatalogue();
    void setViewStyle(int style);
    void showContextMenu(QAbstractItemView* view, const QPoint& globalPos);
    void onCommitDataRequest(QSessionManager& manager);
    // Runs a command; an error it raises reaches the user as the program's
    // error box and the program goes on.
    void guarded(const std::function<void()>& command);

    void importLegacyData();
    // The save of the logoff and of the end of the run; a failure is shown
    // once however often it happens.
    void saveAtEnd();

    std::unique_ptr<ProgressWindow> m_progress;
    bool m_destroyed = false; // the final save was made (or tried)
    bool m_ending = false;    // EndRun is under way
    bool m_saveFailureShown = false;
    QLabel* m_commentLabel = nullptr;

    // ---- private: category view and settings ----
    void setupCategoryView();
    void readSettings(class SettingsStore& store);
    int m_sortDirections[5] = {0, 0, 0, 0, 0};
    int m_viewStyle = 3;
    int m_treeWidth =
        Setting::TreeWidth.defaultValue; // what the tree is given until it is laid out
    bool m_listing = false;              // a fill is running
    TreeNode* m_pendingList = nullptr;   // asked for while a fill was running
    bool m_treeChanging = false;         // inside the tree's current-node change
    bool m_questionsDeferred = false;    // relink questions wait for the change to end
    // ---- end of private: category view and settings ----

    // ---- private: opening entries and the tray ----
    void createTrayAndOpening();
    void openNode(TreeNode* node);
    // The node the relink question was last asked about, so an opening that
    // triggered it stops there.
    TreeNode* m_relinkAskedFor = nullptr;
    // ---- end of private: opening entries and the tray ----
};
