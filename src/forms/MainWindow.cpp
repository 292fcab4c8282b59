#include "forms/MainWindow.h"
#include "catalogue/Artwork.h"
#include "catalogue/ListModel.h"
#include "components/CellDelegate.h"
#include "components/MessageDialogs.h"
#include "components/ProgressWindow.h"
#include "forms/AboutDialog.h"
#include "forms/Commands.h"
#include "utils/Desktop.h"

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

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), catalogue(this)
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("Quillmere 3.3"));
    setWindowIcon(Artwork::programIcon());
    resize(Setting::FormWidth.defaultValue, Setting::FormHeight.defaultValue);
    createActions();
    createControls();
    createMenus();
    createToolBar();
    connectCatalogue();
    setupCategoryView();
    createTrayAndOpening();

    // Design content of the tree until the catalogue is read: a category, so
    // that a run whose catalogue could not be read saves it as one.
    TreeNode* first = catalogue.nodes().addChild(nullptr, QStringLiteral("No category"));
    catalogue.fillCategoryNode(first, first->text(), QString(), QString());

    connect(qApp, &QGuiApplication::commitDataRequest, this, &MainWindow::onCommitDataRequest);
}

MainWindow::~MainWindow()
{
    formDestroy();
    // The views outlive the catalogue member (they go with the base class):
    // let them forget the nodes before the tree is freed.
    listModel->clear();
    docsTree->setModel(nullptr);
    listIcons->setModel(nullptr);
    listDetails->setModel(nullptr);
}

void MainWindow::createActions()
{
    using Commands::Id;
    // Each command's action, its member and its handler.
    const struct {
        Id command;
        QAction** member;
        void (MainWindow::*handler)();
    } wiring[] = {
        {Id::NewDoc, &acNewDoc, &MainWindow::acNewDocExecute},
        {Id::NewCateg, &acNewCateg, &MainWindow::acNewCategExecute},
        {Id::PasteURL, &acPasteURL, &MainWindow::acPasteURLExecute},
        {Id::RemoveItem, &acRemoveItem, &MainWindow::acRemoveItemExecute},
        {Id::DeleteFromDisk, &acDeleteFromDisk, &MainWindow::acDeleteFromDiskExecute},
        {Id::AddComments, &acAddComments, &MainWindow::acAddCommentsExecute},
        {Id::Properties, &acProperties, &MainWindow::acPropertiesExecute},
        {Id::FindObject, &acFindObject, &MainWindow::acFindObjectExecute},
        {Id::ExpandAll, &acExpandAll, &MainWindow::acExpandAllExecute},
        {Id::CollapseAll, &acCollapseAll, &MainWindow::acCollapseAllExecute},
        {Id::Explore, &acExplore, &MainWindow::acExploreExecute},
        {Id::SearchInNames, &acSearchInNames, &MainWindow::acSearchInNamesExecute},
        {Id::SearchInComments, &acSearchInComments, &MainWindow::acSearchInCommentsExecute},
        {Id::SearchInAdd, &acSearchInAdd, &MainWindow::acSearchInAddExecute},
        {Id::SearchAgain, &acSearchAgain, &MainWindow::findDlgFind},
        {Id::AutoStart, &acAutoStart, &MainWindow::acAutoStartExecute},
        {Id::RemoveOnAbsent, &acRemoveOnAbsent, &MainWindow::acRemoveOnAbsentExecute},
        {Id::Options, &acOptions, &MainWindow::acOptionsExecute},
        {Id::BackupData, &acBackupData, &MainWindow::acBackupDataExecute},
        {Id::RestoreBackup, &acRestoreBackup, &MainWindow::acRestoreBackupExecute},
        {Id::ExitMenu, &exitMenu, &MainWindow::exit1Click},
        {Id::Exit, &exit1, &MainWindow::exit1Click},
        {Id::LargeIcons, &largeIcons1, &MainWindow::largeIcons1Click},
        {Id::SmallIcons, &smallIcons1, &MainWindow::smallIcons1Click},
        {Id::List, &list1, &MainWindow::list1Click},
        {Id::Details, &detailes1, &MainWindow::detailes1Click},
        {Id::ButtonLargeIcons, &largeIcons2, &MainWindow::largeIcons1Click},
        {Id::ButtonSmallIcons, &smallIcons2, &MainWindow::smallIcons1Click},
        {Id::ButtonList, &list2, &MainWindow::list1Click},
        {Id::ButtonDetails, &detailes2, &MainWindow::detailes1Click},
        {Id::Help, &help1, &MainWindow::help1Click},
        {Id::Support, &support1, &MainWindow::support1Click},
        {Id::FAQ, &faQ1, &MainWindow::faQ1Click},
        {Id::About, &about1, &MainWindow::about1Click},
        {Id::Show, &show1, &MainWindow::show1Click},
        {Id::Hide, &hide1, &MainWindow::hide1Click},
        {Id::AsSingleFolder, &asSingleFolder1, &MainWindow::asSingleFolder1Click},
        {Id::AsSepDocs, &asSepDocs1, &MainWindow::asSepDocs1Click},
        {Id::NoDragDrop, &noDragDrop1, &MainWindow::noDragDrop1Click},
    };
    static_assert(std::size(wiring) == size_t(Id::Count), "every command is wired");
    for (const auto& w : wiring) {
        const Commands::Entry& entry = Commands::entry(w.command);
        auto* action = new QAction(QString::fromUtf8(entry.caption), this);
        action->setObjectName(QString::fromLatin1(entry.objectName));
        if (*entry.hint)
            action->setToolTip(QString::fromUtf8(entry.hint));
        if (entry.shortcut)
            action->setShortcut(QKeySequence(entry.shortcut));
        if (entry.image >= 0)
            action->setIcon(Artwork::commandImage(entry.image));
        action->setCheckable(entry.flags & Commands::Checkable);
        action->setEnabled(!(entry.flags & Commands::Pending));
        *w.member = action;
        connect(action, &QAction::triggered, this,
                [this, h = w.handler] { guarded([this, h] { (this->*h)(); }); });
        addAction(action); // shortcuts work wherever the focus is in the window
    }
    acAutoStart->setChecked(true);

    // Two sets of view-style entries, each choosing one style: the menus say
    // "Details", the View button's drop-down says "Detailes".
    for (const std::array<QAction*, 4>& set :
         {std::array{largeIcons1, smallIcons1, list1, detailes1},
          std::array{largeIcons2, smallIcons2, list2, detailes2}}) {
        auto* group = new QActionGroup(this);
        for (QAction* style : set)
            group->addAction(style);
        set.back()->setChecked(true);
    }
}

void MainWindow::createControls()
{
    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    // The strip that takes hyperlinks dragged from a browser.
    targetWin = new QFrame(central);
    targetWin->setObjectName(QStringLiteral("TargetWin"));
    targetWin->setFixedWidth(33);
    targetWin->setAutoFillBackground(true);
    QPalette green = targetWin->palette();
    green.setColor(QPalette::Window, QColor(0, 128, 0));
    targetWin->setPalette(green);
    targetWin->setToolTip(QStringLiteral("Place for hyperlinks drag'n'drop"));
    targetGlobe = new QLabel(targetWin);
    targetGlobe->setGeometry(0, 0, 33, 32);
    targetGlobe->setAlignment(Qt::AlignCenter);
    targetGlobe->setPixmap(Artwork::fixedIcon(imgHyperlink, 16).pixmap(16, 16));
    targetMarker = new QLabel(targetWin);
    targetMarker->setGeometry(8, 40, 16, 16);
    targetMarker->setPixmap(QPixmap::fromImage(Artwork::pointingHand(16)));
    targetMarker->hide();
    row->addWidget(targetWin);

    splitter1 = new QSplitter(Qt::Horizontal, central);
    splitter1->setHandleWidth(3);
    splitter1->setChildrenCollapsible(false);
    row->addWidget(splitter1, 1);

    docsTree = new QTreeView(splitter1);
    docsTree->setObjectName(QStringLiteral("DocsTree"));
    docsTree->setModel(&catalogue.nodes());
    docsTree->setHeaderHidden(true);
    docsTree->setIndentation(19);
    docsTree->setUniformRowHeights(true);
    docsTree->setSelectionBehavior(QAbstractItemView::SelectRows);
    docsTree->setSelectionMode(QAbstractItemView::SingleSelection);
    docsTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    docsTree->setDragEnabled(true);
    docsTree->setIconSize(QSize(16, 16));
    docsTree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(docsTree, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) {
        showContextMenu(docsTree, docsTree->viewport()->mapToGlobal(p));
    });

    listView = new QStackedWidget(splitter1);
    listModel = new ListModel(catalogue, this);
    listIcons = new QListView(listView);
    listIcons->setModel(listModel);
    listIcons->setObjectName(QStringLiteral("ListIcons"));
    listDetails = new QTreeView(listView);
    listDetails->setObjectName(QStringLiteral("ListDetails"));
    listDetails->setModel(listModel);
    listDetails->setRootIsDecorated(false);
    listDetails->setItemsExpandable(false);
    listDetails->setUniformRowHeights(true);
    listDetails->setSelectionBehavior(QAbstractItemView::SelectRows);
    listDetails->setAllColumnsShowFocus(true);
    listIcons->setSelectionModel(listDetails->selectionModel());
    for (QAbstractItemView* v : {static_cast<QAbstractItemView*>(listIcons),
                                 static_cast<QAbstractItemView*>(listDetails)}) {
        v->setDragEnabled(true);
        v->setEditTriggers(QAbstractItemView::NoEditTriggers);
        v->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(v, &QWidget::customContextMenuRequested, this,
                [this, v](const QPoint& p) { showContextMenu(v, v->viewport()->mapToGlobal(p)); });
    }
    QHeaderView* header = listDetails->header();
    header->setStretchLastSection(true);
    header->setMinimumSectionSize(20);
    // The names must stay readable: the Name column keeps at least 50 pixels.
    connect(header, &QHeaderView::sectionResized, this, [header](int column, int, int size) {
        if (column == ListModel::colName && size < MinNameColumnWidth)
            header->resizeSection(column, MinNameColumnWidth);
    });
    listDetails->setItemDelegate(new CellDelegate({ListModel::colLocation}, listDetails));
    header->resizeSection(ListModel::colName, 150);
    // The last column stretches and keeps the header's default width.
    for (int c = 1; c < Setting::ColumnWidthCount; ++c)
        header->resizeSection(c, Setting::ColumnWidths[c - 1].defaultValue);
    listView->addWidget(listIcons);
    listView->addWidget(listDetails);
    listView->setCurrentWidget(listDetails);

    splitter1->addWidget(docsTree);
    splitter1->addWidget(listView);
    splitter1->setStretchFactor(1, 1);
    splitter1->setSizes({Setting::TreeWidth.defaultValue, Setting::FormWidth.defaultValue - 33 -
                                                              Setting::TreeWidth.defaultValue - 3});
    setCentralWidget(central);

    // Floating "Folders" panel, hidden until "Show folders".
    explorerPanel = new QFrame(this);
    explorerPanel->setObjectName(QStringLiteral("ExplorerPanel"));
    explorerPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    explorerPanel->setAutoFillBackground(true);
    explorerPanel->setGeometry(Setting::FoldersLeft.defaultValue, Setting::FoldersTop.defaultValue,
                               152, 249);
    auto* panelLayout = new QVBoxLayout(explorerPanel);
    panelLayout->setContentsMargins(2, 2, 2, 2);
    panelLayout->setSpacing(2);
    auto* title = new QLabel(QStringLiteral("Folders"), explorerPanel);
    title->setStyleSheet(QStringLiteral(
        "color: white; font-weight: bold; background: palette(dark); padding: 1px;"));
    dirListBox = new QListWidget(explorerPanel);
    dirListBox->setContextMenuPolicy(Qt::ActionsContextMenu);
    cbDrive = new QComboBox(explorerPanel);
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady())
            cbDrive->addItem(volume.rootPath(), volume.rootPath()); // paths keep their case
    panelLayout->addWidget(title);
    panelLayout->addWidget(dirListBox, 1);
    panelLayout->addWidget(cbDrive);
    explorerPanel->hide();

    statusBar()->setSizeGripEnabled(true);
    // The comment of the selected node stays until the selection changes; a
    // temporary message (a menu entry's tip) only covers it for a moment.
    m_commentLabel = new QLabel(statusBar());
    m_commentLabel->setObjectName(QStringLiteral("CommentLabel"));
    statusBar()->addWidget(m_commentLabel, 1);

    // What a screen reader says for each control.
    const std::pair<QWidget*, std::pair<const char*, const char*>> accessible[] = {
        {docsTree, {"Categories", "The tree of your categories and the entries filed in them"}},
        {listIcons, {"Entries", "The entries of the selected category"}},
        {listDetails,
         {"Entries", "The entries of the selected category, with type, location and comment"}},
        {targetWin, {"Hyperlink drop strip", "Drop hyperlinks from a web browser here"}},
        {dirListBox, {"Folders", "The folders of the selected volume"}},
        {cbDrive, {"Volume", "The mounted volume whose folders are shown"}},
        {m_commentLabel, {"Comment", "The comment of the selected entry"}},
    };
    for (const auto& [widget, texts] : accessible) {
        widget->setAccessibleName(QString::fromUtf8(texts.first));
        widget->setAccessibleDescription(QString::fromUtf8(texts.second));
    }
}

void MainWindow::createMenus()
{
    fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    fileMenu->addActions({acNewCateg, acNewDoc, acPasteURL});
    fileMenu->addSeparator();
    fileMenu->addAction(acProperties);
    fileMenu->addSeparator();
    fileMenu->addActions({acRemoveItem, acDeleteFromDisk});
    fileMenu->addSeparator();
    fileMenu->addActions({acBackupData, acRestoreBackup});
    fileMenu->addSeparator();
    fileMenu->addAction(exitMenu);

    viewMainMenu = menuBar()->addMenu(QStringLiteral("&View"));
    viewMainMenu->addAction(acExplore);
    viewMainMenu->addSeparator();
    viewMainMenu->addActions({acExpandAll, acCollapseAll});
    viewMainMenu->addSeparator();
    viewMainMenu->addActions({largeIcons1, smallIcons1, list1, detailes1});

    searchMenu = new QMenu(QStringLiteral("Search"), this);
    searchMenu->setIcon(Artwork::commandImage(8));
    searchMenu->addActions({acSearchInNames, acSearchInComments, acSearchInAdd, acSearchAgain});
    searchMenu->setDefaultAction(acSearchInNames);

    serviceMenu = menuBar()->addMenu(QStringLiteral("&Service"));
    serviceMenu->addMenu(searchMenu);
    serviceMenu->addActions({acAddComments, acFindObject});
    serviceMenu->addSeparator();
    serviceMenu->addActions({acAutoStart, acRemoveOnAbsent});
    serviceMenu->addSeparator();
    serviceMenu->addAction(acOptions);

    helpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
    helpMenu->addActions({help1, support1, faQ1});
    helpMenu->addSeparator();
    helpMenu->addAction(about1);

    popupMenu = new QMenu(this);
    popupMenu->addActions({acNewCateg, acNewDoc, acPasteURL});
    popupMenu->addSeparator();
    popupMenu->addActions({acExplore, acExpandAll, acCollapseAll});
    QMenu* popupView = popupMenu->addMenu(QStringLiteral("&View"));
    popupView->addActions({largeIcons1, smallIcons1, list1, detailes1});
    popupMenu->addSeparator();
    QMenu* popupSearch = popupMenu->addMenu(QStringLiteral("Search"));
    popupSearch->addActions({acSearchInNames, acSearchInComments, acSearchInAdd, acSearchAgain});
    popupMenu->addSeparator();
    popupMenu->addActions({acAutoStart, acRemoveOnAbsent});
    popupMenu->addSeparator();
    popupMenu->addAction(hide1);
    popupMenu->addSeparator();
    popupMenu->addAction(exit1);

    itemMenu = new QMenu(this);
    itemMenu->addAction(acAddComments);
    adMenu = itemMenu->addMenu(QString::fromLatin1(Setting::AdTitle.defaultValue));
    adMenu->addAction(QString()); // one blank entry until the settings fill it
    itemMenu->addSeparator();
    itemMenu->addAction(acFindObject);
    itemMenu->addSeparator();
    itemMenu->addActions({acRemoveItem, acDeleteFromDisk});
    itemMenu->addSeparator();
    itemMenu->addAction(acProperties);

    trayMenu = new QMenu(this);
    trayMenu->addActions({show1, hide1, acNewDoc});
    trayMenu->setDefaultAction(show1);
    trayMenu->addSeparator();
    trayMenu->addActions({acAutoStart, acOptions});
    trayMenu->addSeparator();
    trayMenu->addAction(exit1);

    viewMenu = new QMenu(this);
    viewMenu->addActions({largeIcons2, smallIcons2, list2, detailes2});

    foldersMenu = new QMenu(this);
    foldersMenu->addAction(acExplore);
    dirListBox->addAction(acExplore);

    dragFolderMenu = new QMenu(this);
    dragFolderMenu->addActions({asSingleFolder1, asSepDocs1});
    dragFolderMenu->addSeparator();
    dragFolderMenu->addAction(noDragDrop1);
}

void MainWindow::createToolBar()
{
    toolBar1 = addToolBar(QStringLiteral("Tools"));
    toolBar1->setObjectName(QStringLiteral("ToolBar1"));
    toolBar1->setMovable(false);
    toolBar1->setFloatable(false);
    toolBar1->setIconSize(QSize(16, 16));
    toolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
    toolBar1->addActions({acNewCateg, acNewDoc, acPasteURL, acRemoveItem, acDeleteFromDisk});
    toolBar1->addSeparator();
    toolBar1->addActions({acAddComments, acProperties});

    btnSearch = new QToolButton(toolBar1);
    btnSearch->setObjectName(QStringLiteral("btnSearch"));
    btnSearch->setText(QStringLiteral("Search"));
    btnSearch->setToolTip(QStringLiteral("Find in program..."));
    btnSearch->setIcon(Artwork::commandImage(8));
    btnSearch->setPopupMode(QToolButton::MenuButtonPopup);
    btnSearch->setMenu(searchMenu);
    btnSearch->setAccessibleName(QStringLiteral("Search"));
    btnSearch->setAccessibleDescription(
        QStringLiteral("Find entries by name, comment or additional field"));
    connect(btnSearch, &QToolButton::clicked, acSearchInNames, &QAction::trigger);
    btnSearch->setEnabled(acSearchInNames->isEnabled());
    connect(acSearchInNames, &QAction::changed, btnSearch,
            [this] { btnSearch->setEnabled(acSearchInNames->isEnabled()); });
    toolBar1->addWidget(btnSearch);
    toolBar1->addSeparator();
    toolBar1->addAction(acExplore);

    btnView = new QToolButton(toolBar1);
    btnView->setObjectName(QStringLiteral("btnView"));
    btnView->setText(QStringLiteral("View"));
    btnView->setToolTip(QStringLiteral("View"));
    btnView->setIcon(Artwork::commandImage(3));
    btnView->setPopupMode(QToolButton::MenuButtonPopup);
    btnView->setMenu(viewMenu);
    btnView->setAccessibleName(QStringLiteral("View"));
    btnView->setAccessibleDescription(
        QStringLiteral("Switch the list between large icons, small icons, list and details"));
    connect(btnView, &QToolButton::clicked, this, [this] { guarded([this] { btnViewClick(); }); });
    toolBar1->addWidget(btnView);
    toolBar1->addAction(acOptions);
}

void MainWindow::connectCatalogue()
{
    NodeTree& nodes = catalogue.nodes();
    connect(&nodes, &NodeTree::expandRequested, this, [this](TreeNode* node, bool recursive) {
        const QModelIndex i = catalogue.nodes().indexOf(node);
        if (recursive)
            docsTree->expandRecursively(i);
        else
            docsTree->expand(i);
    });
    // The tree is drawn once after a bulk change, not once per node.
    connect(&nodes, &NodeTree::updatesSuspended, this,
            [this](bool suspended) { docsTree->setUpdatesEnabled(!suspended); });
    connect(&nodes, &NodeTree::nodeDeleting, this, [this](TreeNode* node) {
        if (listedNode && listedNode->isUnder(node))
            listedNode = nullptr;
    });
    connect(&catalogue, &Catalogue::listRefillRequested, this, &MainWindow::listCategory);
    connect(&catalogue, &Catalogue::statusMessage, this,
            [this](const QString& text) { statusBar()->showMessage(text); });
    connect(&catalogue, &Catalogue::saveNotice, this,
            [this](const QString& text) { MessageDialogs::warningBox(text, this); });
    catalogue.writeSettingsHook = [this] { writeSettings(); };
}

void MainWindow::guarded(const std::function<void()>& command)
{
    try {
        command();
    } catch (const std::exception& e) {
        MessageDialogs::applicationError(QString::fromUtf8(e.what()));
    }
}

TreeNode* MainWindow::addCategoryNode(TreeNode* parent, const QString& name)
{
    TreeNode* node = catalogue.addCategoryNode(parent, name);
    const QModelIndex index = catalogue.nodes().indexOf(node);
    docsTree->scrollTo(index);
    docsTree->setCurrentIndex(index);
    docsTree->edit(index);
    return node;
}

TreeNode* MainWindow::selectedTreeNode() const
{
    return NodeTree::nodeOf(docsTree->currentIndex());
}

void MainWindow::exit1Click()
{
    endRun();
}

void MainWindow::about1Click()
{
    AboutDialog box(false, this);
    box.exec();
}

// Commands whose behaviour arrives with later work: present, doing nothing yet.
void MainWindow::acNewDocExecute() {}
void MainWindow::acNewCategExecute() {}
void MainWindow::acPasteURLExecute() {}
void MainWindow::acRemoveItemExecute() {}
void MainWindow::acDeleteFromDiskExecute() {}
void MainWindow::acAddCommentsExecute() {}
void MainWindow::acPropertiesExecute() {}
void MainWindow::acExploreExecute() {}
void MainWindow::acSearchInNamesExecute() {}
void MainWindow::acSearchInCommentsExecute() {}
void MainWindow::acSearchInAddExecute() {}
void MainWindow::findDlgFind() {}
void MainWindow::acAutoStartExecute() {}
void MainWindow::acRemoveOnAbsentExecute() {}
void MainWindow::acOptionsExecute() {}
void MainWindow::help1Click() {}
void MainWindow::support1Click() {}
void MainWindow::faQ1Click() {}
void MainWindow::asSingleFolder1Click() {}
void MainWindow::asSepDocs1Click() {}
void MainWindow::noDragDrop1Click() {}
