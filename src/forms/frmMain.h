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
class TAboutBox;
class TThreadWindow;

// The main window: the category tree, the list beside it, the commands, and
// the catalogue for the whole run.
class TMainF : public QMainWindow
{
    Q_OBJECT
public:
    explicit TMainF(QWidget* parent = nullptr);
    ~TMainF() override;

    // Start-up: loads the catalogue (or imports the legacy file), puts the
    // built-in category first and reads the settings. Splash may be null.
    void FormCreate(TAboutBox* Splash);
    // End of the run: the final save (once), then the desktop hooks go.
    void FormDestroy();

    TCatalogue Catalogue;
    TTreeNode* ListedNode = nullptr;
    TThreadWindow* ProgressWindow = nullptr;
    // An error of the start-up, shown once the window is up.
    QString StartupError;
    // Adds a paragraph to StartupError: the user sees one box for them all.
    void AddStartupError(const QString& Text);

    // Node making with the view's part: a new category is scrolled into view
    // and its name opened for editing.
    TTreeNode* AddCategoryNode(TTreeNode* Parent, const QString& Name);
    bool LoadData(bool FromBackup);
    void SaveData(bool Backup);
    void ListCategory(TTreeNode* Node);
    void ReadSettings();
    void WriteSettings();
    // The built-in category is rebuilt and the flag cleared after a save that
    // answered the desktop's logoff query, in case the logoff is cancelled.
    void QueryEndSession();
    // Every way to end the run (Exit, a signal, the session's quit) comes
    // here: one save, a failure reported once, then the event loops end.
    // Waits for a load in progress to finish first.
    void EndRun();
    // Ends the event loops once the run is saved (default: exit(0)); tests
    // replace it.
    std::function<void()> QuitHook;
    TTreeNode* SelectedTreeNode() const;

    // Controls.
    QToolBar* ToolBar1 = nullptr;
    QFrame* TargetWin = nullptr;
    QLabel* TargetGlobe = nullptr;
    QLabel* TargetMarker = nullptr;
    QTreeView* DocsTree = nullptr;
    QSplitter* Splitter1 = nullptr;
    QStackedWidget* ListView = nullptr;
    QListView* ListIcons = nullptr;
    QTreeView* ListDetails = nullptr;
    QFrame* ExplorerPanel = nullptr;
    QListWidget* DirListBox = nullptr;
    QComboBox* cbDrive = nullptr;
    QToolButton* btnSearch = nullptr;
    QToolButton* btnView = nullptr;

    // Commands.
    QAction *acNewDoc, *acNewCateg, *acPasteURL, *acRemoveItem, *acDeleteFromDisk, *acAddComments,
        *acProperties, *acFindObject, *acExpandAll, *acCollapseAll, *acExplore, *acSearchInNames,
        *acSearchInComments, *acSearchInAdd, *acSearchAgain, *acAutoStart, *acRemoveOnAbsent,
        *acOptions, *acBackupData, *acRestoreBackup;
    QAction *Exit1, *ExitMenu, *LargeIcons1, *SmallIcons1, *List1, *Detailes1, *LargeIcons2,
        *SmallIcons2, *List2, *Detailes2, *Help1, *Support1, *FAQ1, *About1, *Show1, *Hide1,
        *AsSingleFolder1, *AsSepDocs1, *NoDragDrop1;
    QMenu *FileMenu, *ViewMainMenu, *ServiceMenu, *HelpMenu, *PopupMenu, *ItemMenu, *AdMenu,
        *TrayMenu, *SearchMenu, *ViewMenu, *FoldersMenu, *DragFolderMenu;

    // ---- category view and settings (frmMain_view.cpp) ----
    // The list's rows: each refers to a tree node, the list owns no data.
    class TListModel* ListModel = nullptr;
    // Tree selection moved to Node (or none): status line and list follow.
    void DocsTreeChange(TTreeNode* Node);
    // The on-disk check of one row's node while the list is filled; it may
    // re-point or remove the node ("Delete non-actual links").
    void FillListItem(TTreeNode* Node);
    void ClearSortMarks();
    void ListViewColumnClick(int Column);
    // Rows compared by column |Param| - 1 (1 is the name), the locale's
    // case-insensitive order, times the sign of Param.
    int CompareListItems(int Row1, int Row2, int Param) const;
    // Sort direction of a column in this run: 0 never sorted, 1 or -1.
    int SortDirection(int Column) const;
    // A right-button press selects the node under Pos, or clears the selection.
    void DocsTreeMouseDown(Qt::MouseButton Button, const QPoint& Pos);
    void DocsTreeContextPopup(const QPoint& GlobalPos);
    void ListViewContextPopup(const QPoint& GlobalPos);
    // The node of the list's selected row, or null.
    TTreeNode* ListSelectedNode() const;
    // 0 Large Icons, 1 Small Icons, 2 List, 3 Details.
    int ViewStyle() const { return m_viewStyle; }
    // List column widths as settings and options see them: 0 means hidden.
    int ColumnWidth(int Column) const;
    void SetColumnWidth(int Column, int Width);
    // Title of the additional field: last column's caption and AdMenu's title.
    QString AdTitle() const;
    void SetAdTitle(const QString& Title);
    // The entries of AdMenu, texts as typed (an empty one is a blank entry).
    QStringList AdValues() const;
    void SetAdValues(const QStringList& Values);
    // More values make no usable menu, longer texts no usable caption or
    // entry; the setters above keep to them.
    static constexpr int MaxAdValues = 1000;
    static constexpr int MaxAdTextLength = 255;
    // "Changing of value for category changes values for all subitems".
    bool RecursChanging = false;
    // The restore hot key as a shortcut word; ReadSettings hands it to the hook.
    int HotKey = Setting::HotKey.Default;
    std::function<void(int Key)> AssignHotKeyHook;
    // ---- end of category view and settings ----

    // ---- opening entries and the tray (frmMain_open.cpp) ----
    class TCoolTrayIcon* CoolTrayIcon = nullptr; // owned by the window
    // A balloon at the tray icon; IconKind is a TCoolTrayIcon::TBalloonHintIcon
    // (0 none, 1 information, 2 warning, 3 error). Without a tray the status
    // line shows it.
    void ShowBalloon(const QString& Title, const QString& Text, int IconKind, int Seconds);
    void ShowBalloon(const QString& Title, const QString& Text, int Seconds); // information
    void RestoreFromTray();
    void HideToTray();
    void CoolTrayIconClick();
    // The hot key's text beside "Show" in the tray menu; empty for none.
    void SetShowHotKeyText(const QString& KeyText);

    void DocsTreeDblClick();
    void ListViewDblClick();
    void EnterListedCategory(const QModelIndex& Row);
    // Hands a path or an address to the desktop; throws when it refuses.
    void OpenTarget(const QString& Target);
    // The relink question for a missing document; false when the node was removed.
    bool AskNewLocation(const QString& Name, const QString& Path, TTreeNode* Node,
                        const QString& Comments);
    void RemoveNode(TTreeNode* Node);
    // The node a list row refers to, and the list's selected row.
    TTreeNode* ListNodeAt(const QModelIndex& Row) const;
    QModelIndex SelectedListRow() const;
    // What a command acts on: the tree's selected node when the tree has the
    // focus, else the list's selected row's node when the list has it, else none.
    TTreeNode* CommandTargetNode() const;
    // Asks for a document's new location (default: the open-file dialog,
    // opened in Folder); tests replace it. An empty result is a cancel.
    std::function<QString(const QString& Title, const QString& Folder)> PickFileHook;
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
    void FindDlgFind();
    void acAutoStartExecute();
    void acRemoveOnAbsentExecute();
    void acOptionsExecute();
    void acBackupDataExecute();
    void acRestoreBackupExecute();
    void Exit1Click();
    void LargeIcons1Click();
    void SmallIcons1Click();
    void List1Click();
    void Detailes1Click();
    void btnViewClick();
    void Help1Click();
    void Support1Click();
    void FAQ1Click();
    void About1Click();
    void Show1Click();
    void Hide1Click();
    void AsSingleFolder1Click();
    void AsSepDocs1Click();
    void NoDragDrop1Click();

private:
    void createActions();
    void createMenus();
    void createToolBar();
    void createControls();
    void connectCatalogue();
    void setViewStyle(int Style);
    void showContextMenu(QAbstractItemView* View, const QPoint& GlobalPos);
    void onCommitDataRequest(QSessionManager& Manager);
    // Runs a command; an error it raises reaches the user as the program's
    // error box and the program goes on.
    void guarded(const std::function<void()>& Command);

    void importLegacyData();
    // The save of the logoff and of the end of the run; a failure is shown
    // once however often it happens.
    void saveAtEnd();

    std::unique_ptr<TThreadWindow> m_progress;
    bool m_destroyed = false; // the final save was made (or tried)
    bool m_ending = false;    // EndRun is under way
    bool m_saveFailureShown = false;
    QLabel* m_commentLabel = nullptr;

    // ---- private: category view and settings ----
    void setupCategoryView();
    void readSettings(class TSettingsStore& Store);
    int m_sortDirections[5] = {0, 0, 0, 0, 0};
    int m_viewStyle = 3;
    int m_treeWidth = Setting::TreeWidth.Default; // what the tree is given until it is laid out
    bool m_listing = false;                       // a fill is running
    TTreeNode* m_pendingList = nullptr;           // asked for while a fill was running
    bool m_treeChanging = false;                  // inside the tree's current-node change
    bool m_questionsDeferred = false;             // relink questions wait for the change to end
    // ---- end of private: category view and settings ----

    // ---- private: opening entries and the tray ----
    void createTrayAndOpening();
    void openNode(TTreeNode* Node);
    // The node the relink question was last asked about, so an opening that
    // triggered it stops there.
    TTreeNode* m_relinkAskedFor = nullptr;
    // ---- end of private: opening entries and the tray ----
};
