#include "forms/frmMain.h"
#include "catalogue/Artwork.h"
#include "catalogue/ListModel.h"
#include "components/CellDelegate.h"
#include "components/HSDialogs.h"
#include "components/WindowThread.h"
#include "forms/Commands.h"
#include "forms/frmAbout.h"
#include "utils/MySysUtils.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QMenuBar>
#include <QScopeGuard>
#include <QSessionManager>
#include <QSplitter>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QStorageInfo>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <array>

namespace
{

constexpr int MinNameColumnWidth = 50;

} // namespace

TMainF::TMainF(QWidget* parent) : QMainWindow(parent), Catalogue(this)
{
    setObjectName(QStringLiteral("TMainF"));
    setWindowTitle(QStringLiteral("Quillmere 3.3"));
    setWindowIcon(Artwork::ProgramIcon());
    resize(Setting::FormWidth.Default, Setting::FormHeight.Default);
    createActions();
    createControls();
    createMenus();
    createToolBar();
    connectCatalogue();
    setupCategoryView();
    createTrayAndOpening();

    // Design content of the tree until the catalogue is read: a category, so
    // that a run whose catalogue could not be read saves it as one.
    TTreeNode* first = Catalogue.Nodes().AddChild(nullptr, QStringLiteral("No category"));
    Catalogue.FillCategoryNode(first, first->Text(), QString(), QString());

    connect(qApp, &QGuiApplication::commitDataRequest, this, &TMainF::onCommitDataRequest);
}

TMainF::~TMainF()
{
    FormDestroy();
    // The views outlive the catalogue member (they go with the base class):
    // let them forget the nodes before the tree is freed.
    ListModel->Clear();
    DocsTree->setModel(nullptr);
    ListIcons->setModel(nullptr);
    ListDetails->setModel(nullptr);
}

void TMainF::createActions()
{
    using Commands::Id;
    // Each command's action, its member and its handler.
    const struct {
        Id Command;
        QAction** Member;
        void (TMainF::*Handler)();
    } wiring[] = {
        {Id::NewDoc, &acNewDoc, &TMainF::acNewDocExecute},
        {Id::NewCateg, &acNewCateg, &TMainF::acNewCategExecute},
        {Id::PasteURL, &acPasteURL, &TMainF::acPasteURLExecute},
        {Id::RemoveItem, &acRemoveItem, &TMainF::acRemoveItemExecute},
        {Id::DeleteFromDisk, &acDeleteFromDisk, &TMainF::acDeleteFromDiskExecute},
        {Id::AddComments, &acAddComments, &TMainF::acAddCommentsExecute},
        {Id::Properties, &acProperties, &TMainF::acPropertiesExecute},
        {Id::FindObject, &acFindObject, &TMainF::acFindObjectExecute},
        {Id::ExpandAll, &acExpandAll, &TMainF::acExpandAllExecute},
        {Id::CollapseAll, &acCollapseAll, &TMainF::acCollapseAllExecute},
        {Id::Explore, &acExplore, &TMainF::acExploreExecute},
        {Id::SearchInNames, &acSearchInNames, &TMainF::acSearchInNamesExecute},
        {Id::SearchInComments, &acSearchInComments, &TMainF::acSearchInCommentsExecute},
        {Id::SearchInAdd, &acSearchInAdd, &TMainF::acSearchInAddExecute},
        {Id::SearchAgain, &acSearchAgain, &TMainF::FindDlgFind},
        {Id::AutoStart, &acAutoStart, &TMainF::acAutoStartExecute},
        {Id::RemoveOnAbsent, &acRemoveOnAbsent, &TMainF::acRemoveOnAbsentExecute},
        {Id::Options, &acOptions, &TMainF::acOptionsExecute},
        {Id::BackupData, &acBackupData, &TMainF::acBackupDataExecute},
        {Id::RestoreBackup, &acRestoreBackup, &TMainF::acRestoreBackupExecute},
        {Id::ExitMenu, &ExitMenu, &TMainF::Exit1Click},
        {Id::Exit, &Exit1, &TMainF::Exit1Click},
        {Id::LargeIcons, &LargeIcons1, &TMainF::LargeIcons1Click},
        {Id::SmallIcons, &SmallIcons1, &TMainF::SmallIcons1Click},
        {Id::List, &List1, &TMainF::List1Click},
        {Id::Details, &Detailes1, &TMainF::Detailes1Click},
        {Id::ButtonLargeIcons, &LargeIcons2, &TMainF::LargeIcons1Click},
        {Id::ButtonSmallIcons, &SmallIcons2, &TMainF::SmallIcons1Click},
        {Id::ButtonList, &List2, &TMainF::List1Click},
        {Id::ButtonDetails, &Detailes2, &TMainF::Detailes1Click},
        {Id::Help, &Help1, &TMainF::Help1Click},
        {Id::Support, &Support1, &TMainF::Support1Click},
        {Id::FAQ, &FAQ1, &TMainF::FAQ1Click},
        {Id::About, &About1, &TMainF::About1Click},
        {Id::Show, &Show1, &TMainF::Show1Click},
        {Id::Hide, &Hide1, &TMainF::Hide1Click},
        {Id::AsSingleFolder, &AsSingleFolder1, &TMainF::AsSingleFolder1Click},
        {Id::AsSepDocs, &AsSepDocs1, &TMainF::AsSepDocs1Click},
        {Id::NoDragDrop, &NoDragDrop1, &TMainF::NoDragDrop1Click},
    };
    static_assert(std::size(wiring) == size_t(Id::Count), "every command is wired");
    for (const auto& w : wiring) {
        const Commands::Entry& entry = Commands::entry(w.Command);
        auto* action = new QAction(QString::fromUtf8(entry.Caption), this);
        action->setObjectName(QString::fromLatin1(entry.ObjectName));
        if (*entry.Hint)
            action->setToolTip(QString::fromUtf8(entry.Hint));
        if (entry.Shortcut)
            action->setShortcut(QKeySequence(entry.Shortcut));
        if (entry.Image >= 0)
            action->setIcon(Artwork::CommandImage(entry.Image));
        action->setCheckable(entry.Flags & Commands::Checkable);
        action->setEnabled(!(entry.Flags & Commands::Pending));
        *w.Member = action;
        connect(action, &QAction::triggered, this,
                [this, h = w.Handler] { guarded([this, h] { (this->*h)(); }); });
        addAction(action); // shortcuts work wherever the focus is in the window
    }
    acAutoStart->setChecked(true);

    // Two sets of view-style entries, each choosing one style: the menus say
    // "Details", the View button's drop-down says "Detailes".
    for (const std::array<QAction*, 4>& set :
         {std::array{LargeIcons1, SmallIcons1, List1, Detailes1},
          std::array{LargeIcons2, SmallIcons2, List2, Detailes2}}) {
        auto* group = new QActionGroup(this);
        for (QAction* style : set)
            group->addAction(style);
        set.back()->setChecked(true);
    }
}

void TMainF::createControls()
{
    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    // The strip that takes hyperlinks dragged from a browser.
    TargetWin = new QFrame(central);
    TargetWin->setObjectName(QStringLiteral("TargetWin"));
    TargetWin->setFixedWidth(33);
    TargetWin->setAutoFillBackground(true);
    QPalette green = TargetWin->palette();
    green.setColor(QPalette::Window, QColor(0, 128, 0));
    TargetWin->setPalette(green);
    TargetWin->setToolTip(QStringLiteral("Place for hyperlinks drag'n'drop"));
    TargetGlobe = new QLabel(TargetWin);
    TargetGlobe->setGeometry(0, 0, 33, 32);
    TargetGlobe->setAlignment(Qt::AlignCenter);
    TargetGlobe->setPixmap(Artwork::FixedIcon(imgHyperlink, 16).pixmap(16, 16));
    TargetMarker = new QLabel(TargetWin);
    TargetMarker->setGeometry(8, 40, 16, 16);
    TargetMarker->setPixmap(QPixmap::fromImage(Artwork::PointingHand(16)));
    TargetMarker->hide();
    row->addWidget(TargetWin);

    Splitter1 = new QSplitter(Qt::Horizontal, central);
    Splitter1->setHandleWidth(3);
    Splitter1->setChildrenCollapsible(false);
    row->addWidget(Splitter1, 1);

    DocsTree = new QTreeView(Splitter1);
    DocsTree->setObjectName(QStringLiteral("DocsTree"));
    DocsTree->setModel(&Catalogue.Nodes());
    DocsTree->setHeaderHidden(true);
    DocsTree->setIndentation(19);
    DocsTree->setUniformRowHeights(true);
    DocsTree->setSelectionBehavior(QAbstractItemView::SelectRows);
    DocsTree->setSelectionMode(QAbstractItemView::SingleSelection);
    DocsTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DocsTree->setDragEnabled(true);
    DocsTree->setIconSize(QSize(16, 16));
    DocsTree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DocsTree, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) {
        showContextMenu(DocsTree, DocsTree->viewport()->mapToGlobal(p));
    });

    ListView = new QStackedWidget(Splitter1);
    ListModel = new TListModel(Catalogue, this);
    ListIcons = new QListView(ListView);
    ListIcons->setModel(ListModel);
    ListIcons->setObjectName(QStringLiteral("ListIcons"));
    ListDetails = new QTreeView(ListView);
    ListDetails->setObjectName(QStringLiteral("ListDetails"));
    ListDetails->setModel(ListModel);
    ListDetails->setRootIsDecorated(false);
    ListDetails->setItemsExpandable(false);
    ListDetails->setUniformRowHeights(true);
    ListDetails->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListDetails->setAllColumnsShowFocus(true);
    ListIcons->setSelectionModel(ListDetails->selectionModel());
    for (QAbstractItemView* v : {static_cast<QAbstractItemView*>(ListIcons),
                                 static_cast<QAbstractItemView*>(ListDetails)}) {
        v->setDragEnabled(true);
        v->setEditTriggers(QAbstractItemView::NoEditTriggers);
        v->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(v, &QWidget::customContextMenuRequested, this,
                [this, v](const QPoint& p) { showContextMenu(v, v->viewport()->mapToGlobal(p)); });
    }
    QHeaderView* header = ListDetails->header();
    header->setStretchLastSection(true);
    header->setMinimumSectionSize(20);
    // The names must stay readable: the Name column keeps at least 50 pixels.
    connect(header, &QHeaderView::sectionResized, this, [header](int column, int, int size) {
        if (column == TListModel::colName && size < MinNameColumnWidth)
            header->resizeSection(column, MinNameColumnWidth);
    });
    ListDetails->setItemDelegate(new CellDelegate({TListModel::colLocation}, ListDetails));
    header->resizeSection(TListModel::colName, 150);
    // The last column stretches and keeps the header's default width.
    for (int c = 1; c < Setting::ColumnWidthCount; ++c)
        header->resizeSection(c, Setting::ColumnWidths[c - 1].Default);
    ListView->addWidget(ListIcons);
    ListView->addWidget(ListDetails);
    ListView->setCurrentWidget(ListDetails);

    Splitter1->addWidget(DocsTree);
    Splitter1->addWidget(ListView);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({Setting::TreeWidth.Default,
                         Setting::FormWidth.Default - 33 - Setting::TreeWidth.Default - 3});
    setCentralWidget(central);

    // Floating "Folders" panel, hidden until "Show folders".
    ExplorerPanel = new QFrame(this);
    ExplorerPanel->setObjectName(QStringLiteral("ExplorerPanel"));
    ExplorerPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    ExplorerPanel->setAutoFillBackground(true);
    ExplorerPanel->setGeometry(Setting::FoldersLeft.Default, Setting::FoldersTop.Default, 152, 249);
    auto* panelLayout = new QVBoxLayout(ExplorerPanel);
    panelLayout->setContentsMargins(2, 2, 2, 2);
    panelLayout->setSpacing(2);
    auto* title = new QLabel(QStringLiteral("Folders"), ExplorerPanel);
    title->setStyleSheet(QStringLiteral(
        "color: white; font-weight: bold; background: palette(dark); padding: 1px;"));
    DirListBox = new QListWidget(ExplorerPanel);
    DirListBox->setContextMenuPolicy(Qt::ActionsContextMenu);
    cbDrive = new QComboBox(ExplorerPanel);
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady())
            cbDrive->addItem(volume.rootPath(), volume.rootPath()); // paths keep their case
    panelLayout->addWidget(title);
    panelLayout->addWidget(DirListBox, 1);
    panelLayout->addWidget(cbDrive);
    ExplorerPanel->hide();

    statusBar()->setSizeGripEnabled(true);
    // The comment of the selected node stays until the selection changes; a
    // temporary message (a menu entry's tip) only covers it for a moment.
    m_commentLabel = new QLabel(statusBar());
    m_commentLabel->setObjectName(QStringLiteral("CommentLabel"));
    statusBar()->addWidget(m_commentLabel, 1);

    // What a screen reader says for each control.
    const std::pair<QWidget*, std::pair<const char*, const char*>> accessible[] = {
        {DocsTree, {"Categories", "The tree of your categories and the entries filed in them"}},
        {ListIcons, {"Entries", "The entries of the selected category"}},
        {ListDetails,
         {"Entries", "The entries of the selected category, with type, location and comment"}},
        {TargetWin, {"Hyperlink drop strip", "Drop hyperlinks from a web browser here"}},
        {DirListBox, {"Folders", "The folders of the selected volume"}},
        {cbDrive, {"Volume", "The mounted volume whose folders are shown"}},
        {m_commentLabel, {"Comment", "The comment of the selected entry"}},
    };
    for (const auto& [widget, texts] : accessible) {
        widget->setAccessibleName(QString::fromUtf8(texts.first));
        widget->setAccessibleDescription(QString::fromUtf8(texts.second));
    }
}

void TMainF::createMenus()
{
    FileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    FileMenu->addActions({acNewCateg, acNewDoc, acPasteURL});
    FileMenu->addSeparator();
    FileMenu->addAction(acProperties);
    FileMenu->addSeparator();
    FileMenu->addActions({acRemoveItem, acDeleteFromDisk});
    FileMenu->addSeparator();
    FileMenu->addActions({acBackupData, acRestoreBackup});
    FileMenu->addSeparator();
    FileMenu->addAction(ExitMenu);

    ViewMainMenu = menuBar()->addMenu(QStringLiteral("&View"));
    ViewMainMenu->addAction(acExplore);
    ViewMainMenu->addSeparator();
    ViewMainMenu->addActions({acExpandAll, acCollapseAll});
    ViewMainMenu->addSeparator();
    ViewMainMenu->addActions({LargeIcons1, SmallIcons1, List1, Detailes1});

    SearchMenu = new QMenu(QStringLiteral("Search"), this);
    SearchMenu->setIcon(Artwork::CommandImage(8));
    SearchMenu->addActions({acSearchInNames, acSearchInComments, acSearchInAdd, acSearchAgain});
    SearchMenu->setDefaultAction(acSearchInNames);

    ServiceMenu = menuBar()->addMenu(QStringLiteral("&Service"));
    ServiceMenu->addMenu(SearchMenu);
    ServiceMenu->addActions({acAddComments, acFindObject});
    ServiceMenu->addSeparator();
    ServiceMenu->addActions({acAutoStart, acRemoveOnAbsent});
    ServiceMenu->addSeparator();
    ServiceMenu->addAction(acOptions);

    HelpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
    HelpMenu->addActions({Help1, Support1, FAQ1});
    HelpMenu->addSeparator();
    HelpMenu->addAction(About1);

    PopupMenu = new QMenu(this);
    PopupMenu->addActions({acNewCateg, acNewDoc, acPasteURL});
    PopupMenu->addSeparator();
    PopupMenu->addActions({acExplore, acExpandAll, acCollapseAll});
    QMenu* popupView = PopupMenu->addMenu(QStringLiteral("&View"));
    popupView->addActions({LargeIcons1, SmallIcons1, List1, Detailes1});
    PopupMenu->addSeparator();
    QMenu* popupSearch = PopupMenu->addMenu(QStringLiteral("Search"));
    popupSearch->addActions({acSearchInNames, acSearchInComments, acSearchInAdd, acSearchAgain});
    PopupMenu->addSeparator();
    PopupMenu->addActions({acAutoStart, acRemoveOnAbsent});
    PopupMenu->addSeparator();
    PopupMenu->addAction(Hide1);
    PopupMenu->addSeparator();
    PopupMenu->addAction(Exit1);

    ItemMenu = new QMenu(this);
    ItemMenu->addAction(acAddComments);
    AdMenu = ItemMenu->addMenu(QString::fromLatin1(Setting::AdTitle.Default));
    AdMenu->addAction(QString()); // one blank entry until the settings fill it
    ItemMenu->addSeparator();
    ItemMenu->addAction(acFindObject);
    ItemMenu->addSeparator();
    ItemMenu->addActions({acRemoveItem, acDeleteFromDisk});
    ItemMenu->addSeparator();
    ItemMenu->addAction(acProperties);

    TrayMenu = new QMenu(this);
    TrayMenu->addActions({Show1, Hide1, acNewDoc});
    TrayMenu->setDefaultAction(Show1);
    TrayMenu->addSeparator();
    TrayMenu->addActions({acAutoStart, acOptions});
    TrayMenu->addSeparator();
    TrayMenu->addAction(Exit1);

    ViewMenu = new QMenu(this);
    ViewMenu->addActions({LargeIcons2, SmallIcons2, List2, Detailes2});

    FoldersMenu = new QMenu(this);
    FoldersMenu->addAction(acExplore);
    DirListBox->addAction(acExplore);

    DragFolderMenu = new QMenu(this);
    DragFolderMenu->addActions({AsSingleFolder1, AsSepDocs1});
    DragFolderMenu->addSeparator();
    DragFolderMenu->addAction(NoDragDrop1);
}

void TMainF::createToolBar()
{
    ToolBar1 = addToolBar(QStringLiteral("Tools"));
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
    ToolBar1->addActions({acNewCateg, acNewDoc, acPasteURL, acRemoveItem, acDeleteFromDisk});
    ToolBar1->addSeparator();
    ToolBar1->addActions({acAddComments, acProperties});

    btnSearch = new QToolButton(ToolBar1);
    btnSearch->setObjectName(QStringLiteral("btnSearch"));
    btnSearch->setText(QStringLiteral("Search"));
    btnSearch->setToolTip(QStringLiteral("Find in program..."));
    btnSearch->setIcon(Artwork::CommandImage(8));
    btnSearch->setPopupMode(QToolButton::MenuButtonPopup);
    btnSearch->setMenu(SearchMenu);
    btnSearch->setAccessibleName(QStringLiteral("Search"));
    btnSearch->setAccessibleDescription(
        QStringLiteral("Find entries by name, comment or additional field"));
    connect(btnSearch, &QToolButton::clicked, acSearchInNames, &QAction::trigger);
    btnSearch->setEnabled(acSearchInNames->isEnabled());
    connect(acSearchInNames, &QAction::changed, btnSearch,
            [this] { btnSearch->setEnabled(acSearchInNames->isEnabled()); });
    ToolBar1->addWidget(btnSearch);
    ToolBar1->addSeparator();
    ToolBar1->addAction(acExplore);

    btnView = new QToolButton(ToolBar1);
    btnView->setObjectName(QStringLiteral("btnView"));
    btnView->setText(QStringLiteral("View"));
    btnView->setToolTip(QStringLiteral("View"));
    btnView->setIcon(Artwork::CommandImage(3));
    btnView->setPopupMode(QToolButton::MenuButtonPopup);
    btnView->setMenu(ViewMenu);
    btnView->setAccessibleName(QStringLiteral("View"));
    btnView->setAccessibleDescription(
        QStringLiteral("Switch the list between large icons, small icons, list and details"));
    connect(btnView, &QToolButton::clicked, this, [this] { guarded([this] { btnViewClick(); }); });
    ToolBar1->addWidget(btnView);
    ToolBar1->addAction(acOptions);
}

void TMainF::connectCatalogue()
{
    TTreeNodes& nodes = Catalogue.Nodes();
    connect(&nodes, &TTreeNodes::expandRequested, this, [this](TTreeNode* node, bool recursive) {
        const QModelIndex i = Catalogue.Nodes().IndexOf(node);
        if (recursive)
            DocsTree->expandRecursively(i);
        else
            DocsTree->expand(i);
    });
    // The tree is drawn once after a bulk change, not once per node.
    connect(&nodes, &TTreeNodes::updatesSuspended, this,
            [this](bool suspended) { DocsTree->setUpdatesEnabled(!suspended); });
    connect(&nodes, &TTreeNodes::nodeDeleting, this, [this](TTreeNode* node) {
        if (ListedNode && ListedNode->IsUnder(node))
            ListedNode = nullptr;
    });
    connect(&Catalogue, &TCatalogue::listRefillRequested, this, &TMainF::ListCategory);
    connect(&Catalogue, &TCatalogue::statusMessage, this,
            [this](const QString& text) { statusBar()->showMessage(text); });
    connect(&Catalogue, &TCatalogue::saveNotice, this,
            [this](const QString& text) { HSDialogs::WarningBox(text, this); });
    Catalogue.WriteSettingsHook = [this] { WriteSettings(); };
}

void TMainF::guarded(const std::function<void()>& Command)
{
    try {
        Command();
    } catch (const std::exception& e) {
        HSDialogs::ApplicationError(QString::fromUtf8(e.what()));
    }
}

TTreeNode* TMainF::AddCategoryNode(TTreeNode* Parent, const QString& Name)
{
    TTreeNode* node = Catalogue.AddCategoryNode(Parent, Name);
    const QModelIndex index = Catalogue.Nodes().IndexOf(node);
    DocsTree->scrollTo(index);
    DocsTree->setCurrentIndex(index);
    DocsTree->edit(index);
    return node;
}

TTreeNode* TMainF::SelectedTreeNode() const
{
    return TTreeNodes::NodeOf(DocsTree->currentIndex());
}

void TMainF::Exit1Click()
{
    EndRun();
}

void TMainF::About1Click()
{
    TAboutBox box(false, this);
    box.exec();
}

// Commands whose behaviour arrives with later work: present, doing nothing yet.
void TMainF::acNewDocExecute() {}
void TMainF::acNewCategExecute() {}
void TMainF::acPasteURLExecute() {}
void TMainF::acRemoveItemExecute() {}
void TMainF::acDeleteFromDiskExecute() {}
void TMainF::acAddCommentsExecute() {}
void TMainF::acPropertiesExecute() {}
void TMainF::acExploreExecute() {}
void TMainF::acSearchInNamesExecute() {}
void TMainF::acSearchInCommentsExecute() {}
void TMainF::acSearchInAddExecute() {}
void TMainF::FindDlgFind() {}
void TMainF::acAutoStartExecute() {}
void TMainF::acRemoveOnAbsentExecute() {}
void TMainF::acOptionsExecute() {}
void TMainF::Help1Click() {}
void TMainF::Support1Click() {}
void TMainF::FAQ1Click() {}
void TMainF::AsSingleFolder1Click() {}
void TMainF::AsSepDocs1Click() {}
void TMainF::NoDragDrop1Click() {}
