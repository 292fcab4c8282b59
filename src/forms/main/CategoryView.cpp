#include "forms/main/CategoryView.h"
#include "catalogue/Artwork.h"
#include "catalogue/Catalogue.h"
#include "catalogue/LinkUpdates.h"
#include "catalogue/ListModel.h"
#include "catalogue/SettingKeys.h"
#include "components/CellDelegate.h"
#include "components/EventFilter.h"
#include "components/RunningDrags.h"
#include "forms/main/CommandActions.h"
#include "forms/main/CommandContext.h"
#include "forms/main/NodeViews.h"
#include "utils/Bounded.h"

#include <QAction>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMainWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QScopeGuard>
#include <QSplitter>
#include <QStackedWidget>
#include <QToolButton>
#include <QTreeView>
#include <QWindow>
#include <algorithm>

using Commands::Id;
using Commands::Menu;

namespace
{

constexpr int ListColumnCount = ListModel::ColumnCount;
// Every column after the name has its stored width.
static_assert(Setting::ColumnWidthCount == ListColumnCount - 1);
// The names must stay readable.
constexpr int MinNameColumnWidth = 50;
constexpr int NameColumnWidth = 150;
constexpr int MinColumnWidth = 20;
constexpr int TreeIndentation = 19;
constexpr int SplitterHandleWidth = 3;
// Icons and list lay out a bigger category without measuring every name.
constexpr int UniformItemsFrom = 5000;
constexpr QSize SmallIcon(16, 16), LargeIcon(32, 32), LargeIconGrid(84, 68);

bool isCategory(const TreeNode* node)
{
    return node && node->isCategory();
}

} // namespace

CategoryView::CategoryView(CommandContext& context, QWidget* parent)
    : QObject(parent), m_context(context), m_treeWidth(Setting::TreeWidth.defaultValue)
{
    setObjectName(QStringLiteral("CategoryView"));
    createViews(parent);
    connectViews();
    connectCommands();
}

void CategoryView::createViews(QWidget* parent)
{
    Catalogue& catalogue = m_context.catalogue();
    m_splitter = new QSplitter(Qt::Horizontal, parent);
    m_splitter->setObjectName(QStringLiteral("Splitter1"));
    m_splitter->setHandleWidth(SplitterHandleWidth);
    m_splitter->setChildrenCollapsible(false);

    m_tree = new CategoryTreeView(m_splitter);
    m_tree->setObjectName(QStringLiteral("DocsTree"));
    m_tree->setModel(&catalogue.nodes());
    m_tree->setHeaderHidden(true);
    m_tree->setIndentation(TreeIndentation);
    m_tree->setUniformRowHeights(true);
    m_tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->setIconSize(SmallIcon);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    m_tree->setItemDelegate(new CellDelegate({}, m_tree));

    m_listStack = new QStackedWidget(m_splitter);
    m_listStack->setObjectName(QStringLiteral("ListView"));
    m_listModel = new ListModel(catalogue, this);
    m_listIcons = new EntryIconsView(m_listStack);
    m_listIcons->setModel(m_listModel);
    m_listIcons->setObjectName(QStringLiteral("ListIcons"));
    m_listIcons->setItemDelegate(new CellDelegate({}, m_listIcons));
    m_listDetails = new EntryDetailsView(m_listStack);
    m_listDetails->setObjectName(QStringLiteral("ListDetails"));
    m_listDetails->setModel(m_listModel);
    m_listDetails->setRootIsDecorated(false);
    m_listDetails->setItemsExpandable(false);
    m_listDetails->setUniformRowHeights(true);
    m_listDetails->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_listDetails->setAllColumnsShowFocus(true);
    m_listIcons->setSelectionModel(m_listDetails->selectionModel());
    for (QAbstractItemView* v : listViews()) {
        v->setDragDropMode(QAbstractItemView::DragOnly);
        v->setEditTriggers(QAbstractItemView::NoEditTriggers);
        v->setContextMenuPolicy(Qt::CustomContextMenu);
        v->setSelectionMode(QAbstractItemView::SingleSelection);
    }
    m_listIcons->setMovement(QListView::Static);
    QHeaderView* header = m_listDetails->header();
    header->setStretchLastSection(true);
    header->setMinimumSectionSize(MinColumnWidth);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    m_listDetails->setItemDelegate(new CellDelegate({ListModel::colLocation}, m_listDetails));
    header->resizeSection(ListModel::colName, NameColumnWidth);
    // The last column stretches and keeps the header's default width.
    for (int c = 1; c < Setting::ColumnWidthCount; ++c)
        header->resizeSection(c, Setting::ColumnWidths[c - 1].defaultValue);
    m_listStack->addWidget(m_listIcons);
    m_listStack->addWidget(m_listDetails);
    m_listStack->setCurrentWidget(m_listDetails);

    m_splitter->addWidget(m_tree);
    m_splitter->addWidget(m_listStack);
    m_splitter->setStretchFactor(1, 1);

    // The selection stays visible when the tree or the list loses the focus.
    for (QWidget* w : {static_cast<QWidget*>(m_tree), static_cast<QWidget*>(m_listIcons),
                       static_cast<QWidget*>(m_listDetails)}) {
        QPalette p = w->palette();
        p.setColor(QPalette::Inactive, QPalette::Highlight,
                   p.color(QPalette::Active, QPalette::Highlight));
        p.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   p.color(QPalette::Active, QPalette::HighlightedText));
        w->setPalette(p);
    }

    // The comment of the selected node stays until the selection changes; a
    // temporary message (a menu entry's tip) only covers it for a moment.
    m_commentLabel = new QLabel(parent);
    m_commentLabel->setObjectName(QStringLiteral("CommentLabel"));

    // What a screen reader says for each control.
    const std::pair<QWidget*, std::pair<const char*, const char*>> accessible[] = {
        {m_tree, {"Categories", "The tree of your categories and the entries filed in them"}},
        {m_listIcons, {"Entries", "The entries of the selected category"}},
        {m_listDetails,
         {"Entries", "The entries of the selected category, with type, location and comment"}},
        {m_commentLabel, {"Comment", "The comment of the selected entry"}},
    };
    for (const auto& [widget, texts] : accessible) {
        widget->setAccessibleName(QString::fromUtf8(texts.first));
        widget->setAccessibleDescription(QString::fromUtf8(texts.second));
    }
}

void CategoryView::connectViews()
{
    NodeTree& nodes = m_context.catalogue().nodes();
    connect(&nodes, &NodeTree::expandRequested, this, [this](TreeNode* node, bool recursive) {
        const QModelIndex i = m_context.catalogue().nodes().indexOf(node);
        if (recursive)
            m_tree->expandRecursively(i);
        else
            m_tree->expand(i);
    });
    // The tree is drawn once after a bulk change, not once per node.
    connect(&nodes, &NodeTree::updatesSuspended, this,
            [this](bool suspended) { m_tree->setUpdatesEnabled(!suspended); });
    connect(&m_context.catalogue(), &Catalogue::listRefillRequested, this,
            [this](TreeNode* category) {
                if (listingNodes() && m_nodesRefill)
                    m_nodesRefill();
                else
                    listCategory(category);
            });

    connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                NodeTree& tree = m_context.catalogue().nodes();
                if (tree.changing()) {
                    // The tree moved its current row off a node that is going:
                    // the list follows once the change is through.
                    m_currentAfterChange = NodeRef(tree, NodeTree::nodeOf(current));
                    return;
                }
                currentNodeChanged(NodeTree::nodeOf(current));
            });
    connect(&nodes, &NodeTree::changeFinished, this, [this] {
        TreeNode* node = m_currentAfterChange;
        m_currentAfterChange = NodeRef();
        if (!node || node != currentNode())
            return;
        // A removal moved it, often within the listed category, again and
        // again while links go: what is listed already stays (and so do
        // found rows), only the comment follows.
        if (listingNodes() || listsChildrenOf(isCategory(node) ? node : node->parent())) {
            if (node->data())
                showComment(node->data()->comments);
            return;
        }
        currentNodeChanged(node);
    });
    // After a bulk change whatever survived of the listing is listed again.
    connect(&nodes, &QAbstractItemModel::modelReset, this, [this] {
        TreeNode* node = m_listedNode;
        setListedNode(nullptr);
        if (node)
            CommandContext::guarded([&] { listCategory(node); });
    });
    // The caption and the status line follow what they show.
    connect(&nodes, &NodeTree::nodeRenamed, this, [this](TreeNode* node) {
        if (node == m_listedNode.get() && !listingNodes())
            Q_EMIT titleChanged(QStringLiteral("Quillmere 3.3 - ") + node->text());
    });
    connect(&nodes, &NodeTree::recordChanged, this, [this](TreeNode* node) {
        if (node == currentNode() && node->data())
            showComment(node->data()->comments);
    });
    connect(m_tree, &CategoryTreeView::dropRefused, this, &CategoryView::nodeDropRefused);
    // Double click and Enter open; Alt+Enter belongs to Properties.
    const std::pair<QAbstractItemView*, Pane> panes[] = {
        {m_tree, Pane::Tree}, {m_listIcons, Pane::List}, {m_listDetails, Pane::List}};
    for (const auto& [view, pane] : panes) {
        connect(view, &QAbstractItemView::doubleClicked, this,
                [this, p = pane] { Q_EMIT openRequested(p); });
        // Enter opens like a double click, with Shift or Ctrl too, as an
        // action of the view named after it ("DocsTreeOpen").
        auto* open = new QAction(view);
        open->setObjectName(view->objectName() + QLatin1String("Open"));
        QList<QKeySequence> keys;
        for (Qt::KeyboardModifiers with :
             {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::ShiftModifier),
              Qt::KeyboardModifiers(Qt::ControlModifier), Qt::ShiftModifier | Qt::ControlModifier})
            for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
                keys << QKeySequence(QKeyCombination(with, key));
                if (key == Qt::Key_Enter) // the keypad's, which shortcuts tell apart
                    keys << QKeySequence(QKeyCombination(with | Qt::KeypadModifier, key));
            }
        open->setShortcuts(keys);
        open->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        view->addAction(open);
        connect(open, &QAction::triggered, this, [this, p = pane] { Q_EMIT openRequested(p); });
    }
    // The placement's pointer over the tree: its moves and the press that places.
    new EventFilter(m_tree->viewport(), [this](QEvent* event) {
        if (!m_placementPlaced ||
            (event->type() != QEvent::MouseMove && event->type() != QEvent::MouseButtonPress))
            return false;
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (event->type() == QEvent::MouseMove) {
            m_placementMoved(m_tree->viewport()->mapToGlobal(mouse->position().toPoint()));
        } else if (event->type() == QEvent::MouseButtonPress) {
            const QPoint at = m_tree->viewport()->mapToGlobal(mouse->position().toPoint());
            const auto placed = std::exchange(m_placementPlaced, {});
            m_placementMoved = {};
            m_tree->setToolTip(QString());
            m_tree->viewport()->setMouseTracking(m_viewportTracked);
            placed(at);
        }
        return false; // the tree still sees the mouse
    });
    connect(m_tree, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) {
        showContextMenu(m_tree, m_tree->viewport()->mapToGlobal(p));
    });
    for (QAbstractItemView* v : listViews())
        connect(v, &QWidget::customContextMenuRequested, this,
                [this, v](const QPoint& p) { showContextMenu(v, v->viewport()->mapToGlobal(p)); });

    QHeaderView* header = m_listDetails->header();
    connect(header, &QHeaderView::sectionResized, this, [header](int column, int, int size) {
        if (column == ListModel::colName && size < MinNameColumnWidth)
            header->resizeSection(column, MinNameColumnWidth);
    });
    connect(header, &QHeaderView::sectionClicked, this, [this](int column) {
        CommandContext::guarded([this, column] { sortByColumn(column); });
    });
}

void CategoryView::connectCommands()
{
    CommandActions& commands = m_context.commands();
    const std::pair<Id, ViewStyle> styles[] = {
        {Id::LargeIcons, LargeIcons},
        {Id::SmallIcons, SmallIcons},
        {Id::List, ListStyle},
        {Id::Details, Details},
        {Id::ButtonLargeIcons, LargeIcons},
        {Id::ButtonSmallIcons, SmallIcons},
        {Id::ButtonList, ListStyle},
        {Id::ButtonDetails, Details},
    };
    for (const auto& [id, style] : styles)
        commands.connectCommand(id, this, [this, s = style] { setViewStyle(s); });
    commands.connectMenuButton(Menu::ViewButton, this, [this] { nextViewStyle(); });
    commands.connectCommand(Id::ExpandAll, this, [this] { m_tree->expandAll(); });
    commands.connectCommand(Id::CollapseAll, this, [this] { m_tree->collapseAll(); });
}

QWidget* CategoryView::widget() const
{
    return m_splitter;
}

void CategoryView::detachModels()
{
    m_listModel->clear();
    m_tree->setModel(nullptr);
    m_listIcons->setModel(nullptr);
    m_listDetails->setModel(nullptr);
}

QTreeView* CategoryView::tree() const
{
    return m_tree;
}

QList<QAbstractItemView*> CategoryView::listViews() const
{
    return {m_listIcons, m_listDetails};
}

// ---------------------------------------------------------------- list filling

void CategoryView::currentNodeChanged(TreeNode* node)
{
    CommandContext::guarded([&] { onCurrentNodeChanged(node); });
}

void CategoryView::showComment(const QString& comments)
{
    m_commentLabel->setText(comments.isEmpty() ? QString()
                                               : QStringLiteral("Comment: ") + comments);
}

void CategoryView::onCurrentNodeChanged(TreeNode* node)
{
    if (!node || !node->data())
        return;
    showComment(node->data()->comments);
    if (isCategory(node)) {
        listCategory(node);
        return;
    }
    TreeNode* parent = node->parent();
    if (isCategory(parent))
        listCategory(parent);
}

void CategoryView::setListedNode(TreeNode* node)
{
    m_listedNode = NodeRef(m_context.catalogue().nodes(), node);
}

void CategoryView::showInTree(TreeNode* node)
{
    const NodeTree& nodes = m_context.catalogue().nodes();
    for (TreeNode* up = node->parent(); up; up = up->parent())
        m_tree->expand(nodes.indexOf(up));
    const QModelIndex index = nodes.indexOf(node);
    m_tree->setCurrentIndex(index);
    m_tree->scrollTo(index);
}

void CategoryView::listCategory(TreeNode* node)
{
    // After a bulk change (a load, a restore) its maker lists again.
    if (!node || m_context.catalogue().nodes().updating())
        return;
    const bool category = isCategory(node);
    if (category) {
        // The tree's current node is the listed category or an entry of it;
        // becoming current lists it.
        const TreeNode* current = currentNode();
        if (current != node && (!current || current->parent() != node)) {
            showInTree(node);
            if (currentNode() == node && listsChildrenOf(node))
                return;
        }
    }
    {
        m_listStack->setUpdatesEnabled(false);
        auto resume = qScopeGuard([this] {
            m_listStack->setUpdatesEnabled(true); // repaints the list once
        });
        if (node != m_listedNode.get())
            m_listModel->clearSortMarks();
        Q_EMIT titleChanged(QStringLiteral("Quillmere 3.3 - ") + node->text());
        if (category && listsChildrenOf(node)) {
            // The rows are the category's already: listed again, none is selected.
            for (QAbstractItemView* v : listViews())
                v->selectionModel()->clear();
        } else if (category) {
            m_listModel->fillChildren(node);
        } else if (node != m_listedNode.get()) {
            m_listModel->fillSingle(node);
        } else {
            m_listModel->clear(); // the entry listed alone a second time: nothing to list
        }
        setListedNode(node);
        // Icons and list lay a huge category out without measuring every
        // name (longer names are then cut short); smaller ones show them whole.
        m_listIcons->setUniformItemSizes(m_listModel->count() > UniformItemsFrom);
    }
    checkListing();
}

bool CategoryView::listsChildrenOf(const TreeNode* category) const
{
    return category && m_listModel->listing() == ListModel::Listing::Children &&
           m_listModel->source() == category;
}

void CategoryView::checkListing()
{
    const ListModel::Listing listing = m_listModel->listing();
    if (listing != ListModel::Listing::Children && listing != ListModel::Listing::Single)
        return;
    Catalogue& catalogue = m_context.catalogue();
    bool missing = false;
    for (int r = 0; r < m_listModel->count(); ++r)
        missing = checkOnDisk(catalogue, m_listModel->node(r)) || missing;
    if (!missing || !m_context.commands().action(Id::RemoveMissingLinks)->isChecked())
        return;
    if (m_relinkAsking) {
        m_relinkAgain = true;
        return;
    }
    // The questions may remove entries: never under the command or the view
    // that listed them, so in a step of their own, nor inside a drag.
    if (std::exchange(m_relinkQueued, true))
        return;
    RunningDrags::afterDrags(this, [this] {
        m_relinkQueued = false;
        CommandContext::guarded([this] { askRelinkQuestions(); });
    });
}

void CategoryView::askRelinkQuestions()
{
    Catalogue& catalogue = m_context.catalogue();
    if (m_relinkAsking || catalogue.loading() || catalogue.linksUpdating() ||
        catalogue.nodes().updating())
        return;
    m_relinkAsking = true;
    auto done = qScopeGuard([this] {
        m_relinkAsking = false;
        if (std::exchange(m_relinkAgain, false))
            checkListing();
    });
    // The listing's missing entries as they stand now, in list order. Each
    // answer may re-point or remove entries, or list something else.
    std::vector<NodeRef> missing;
    for (int r = 0; r < m_listModel->count(); ++r) {
        TreeNode* n = m_listModel->node(r);
        if (isFileLink(n) && n->imageIndex() == imgMissing)
            missing.emplace_back(catalogue.nodes(), n);
    }
    QAction* ask = m_context.commands().action(Id::RemoveMissingLinks);
    for (const NodeRef& n : missing)
        if (n && ask->isChecked() && m_listModel->rowOf(n) >= 0)
            checkListedNode(catalogue, n, true);
}

void CategoryView::listNodes(std::vector<TreeNode*> nodes)
{
    m_listStack->setUpdatesEnabled(false);
    auto resume = qScopeGuard([this] { m_listStack->setUpdatesEnabled(true); });
    m_listModel->clearSortMarks();
    m_listModel->fillNodes(std::move(nodes));
    m_listIcons->setUniformItemSizes(m_listModel->count() > UniformItemsFrom);
}

bool CategoryView::listingNodes() const
{
    return m_listModel->listsNodes();
}

void CategoryView::selectNode(TreeNode* node)
{
    const QModelIndex index = m_context.catalogue().nodes().indexOf(node);
    m_tree->expand(index);
    m_tree->setCurrentIndex(index); // the selection change lists it
}

TreeNode* CategoryView::addCategoryNode(TreeNode* parent, const QString& name)
{
    TreeNode* node = m_context.catalogue().addCategoryNode(parent, name);
    const QModelIndex index = m_context.catalogue().nodes().indexOf(node);
    m_tree->scrollTo(index);
    m_tree->setCurrentIndex(index);
    m_tree->edit(index);
    return node;
}

// ---------------------------------------------------------------- selection

QModelIndex CategoryView::selectedListRow() const
{
    const QItemSelectionModel* selection = m_listDetails->selectionModel();
    if (!selection)
        return {};
    const QModelIndex current = selection->currentIndex();
    if (current.isValid() && selection->isRowSelected(current.row(), current.parent()))
        return current.siblingAtColumn(0);
    const QModelIndexList rows = selection->selectedRows();
    return rows.isEmpty() ? QModelIndex() : rows.first();
}

TreeNode* CategoryView::listNodeAt(const QModelIndex& row) const
{
    const auto* model = qobject_cast<const ListModel*>(row.model());
    return model ? model->nodeOf(row) : nullptr;
}

TreeNode* CategoryView::listSelectedNode() const
{
    const QModelIndexList rows = m_listDetails->selectionModel()->selectedRows();
    return rows.isEmpty() ? nullptr : m_listModel->nodeOf(rows.first());
}

bool CategoryView::treeHasFocus(const QWidget* focus) const
{
    return focus == m_tree;
}

bool CategoryView::listHasFocus(const QWidget* focus) const
{
    return focus == m_listIcons || focus == m_listDetails;
}

TreeNode* CategoryView::commandTargetNode() const
{
    // The focus the window remembers, so a command from the tray menu or a
    // tool button still acts on what the user was working in.
    const QWidget* focus = m_context.window().focusWidget();
    if (treeHasFocus(focus))
        return currentNode();
    if (listHasFocus(focus))
        return listNodeAt(selectedListRow());
    return nullptr;
}

// ---------------------------------------------------------------- sorting and menus

void CategoryView::sortByColumn(int column)
{
    if (column < 0 || column >= ListColumnCount)
        return;
    int& direction = m_sortDirections[column];
    direction = direction == 0 ? 1 : -direction;
    // A listed category takes the sorted order in the tree, and so in the
    // file; rows from all over the tree (a filter's) leave the tree alone.
    m_listStack->setUpdatesEnabled(false);
    m_tree->setUpdatesEnabled(false);
    auto resume = qScopeGuard([this] {
        m_tree->setUpdatesEnabled(true);
        m_listStack->setUpdatesEnabled(true);
    });
    m_listModel->clearSortMarks();
    m_listModel->setSortMark(column, direction > 0 ? imgSortUp : imgSortDown);
    m_listModel->sortBy((column + 1) * direction);
}

void CategoryView::showContextMenu(QAbstractItemView* view, const QPoint& globalPos)
{
    CommandActions& commands = m_context.commands();
    if (view == m_tree) {
        commands.menu(currentNode() ? Menu::Item : Menu::Popup)->popup(globalPos);
        return;
    }
    // A click on empty space is about the list itself, not the row that
    // happened to be selected.
    if (!view->indexAt(view->viewport()->mapFromGlobal(globalPos)).isValid()) {
        view->selectionModel()->clearSelection();
        view->selectionModel()->clearCurrentIndex();
    }
    commands.menu(listSelectedNode() ? Menu::Item : Menu::Popup)->popup(globalPos);
}

// ---------------------------------------------------------------- view styles

void CategoryView::setViewStyle(ViewStyle style)
{
    static constexpr Id MenuEntries[] = {Id::LargeIcons, Id::SmallIcons, Id::List, Id::Details};
    static constexpr Id ButtonEntries[] = {Id::ButtonLargeIcons, Id::ButtonSmallIcons,
                                           Id::ButtonList, Id::ButtonDetails};
    CommandActions& commands = m_context.commands();
    m_viewStyle = style;
    commands.action(MenuEntries[style])->setChecked(true);
    commands.action(ButtonEntries[style])->setChecked(true);
    commands.menuButton(Menu::ViewButton)->setIcon(Artwork::commandImage(style));
    m_listModel->setLargeIcons(style == LargeIcons);
    if (style == Details) {
        m_listStack->setCurrentWidget(m_listDetails);
        return;
    }
    const bool large = style == LargeIcons;
    m_listIcons->setViewMode(large ? QListView::IconMode : QListView::ListMode);
    m_listIcons->setIconSize(large ? LargeIcon : SmallIcon);
    m_listIcons->setFlow(style == ListStyle ? QListView::TopToBottom : QListView::LeftToRight);
    m_listIcons->setWrapping(true);
    m_listIcons->setWordWrap(large);
    m_listIcons->setGridSize(large ? LargeIconGrid : QSize());
    m_listIcons->setSpacing(large ? 0 : 2);
    m_listIcons->setMovement(QListView::Static);
    m_listIcons->setResizeMode(QListView::Adjust);
    m_listStack->setCurrentWidget(m_listIcons);
}

void CategoryView::nextViewStyle()
{
    // The button steps to the next style of its drop-down.
    const QList<QAction*> entries = m_context.commands().menu(Menu::ViewButton)->actions();
    for (qsizetype i = 0; i < entries.size(); ++i)
        if (entries[i]->isChecked()) {
            entries[(i + 1) % entries.size()]->trigger();
            return;
        }
}

// ---------------------------------------------------------------- sizes

int CategoryView::columnWidth(int column) const
{
    const QHeaderView* header = m_listDetails->header();
    return header->isSectionHidden(column) ? 0 : header->sectionSize(column);
}

void CategoryView::setColumnWidth(int column, int width)
{
    if (column <= 0 || column >= ListColumnCount)
        return; // the name column is always shown
    QHeaderView* header = m_listDetails->header();
    if (width <= 0) {
        header->setSectionHidden(column, true);
        return;
    }
    header->setSectionHidden(column, false);
    header->resizeSection(column, width);
}

int CategoryView::minimumColumnWidth() const
{
    return m_listDetails->header()->minimumSectionSize();
}

int CategoryView::treeWidth() const
{
    // A window that was never shown has no laid-out splitter to ask.
    return m_splitter->window()->windowHandle() ? m_splitter->sizes().value(0) : m_treeWidth;
}

void CategoryView::setTreeWidth(int width, int splitterWidth)
{
    const int room = splitterWidth - m_splitter->handleWidth();
    // The list keeps at least its own minimum beside the tree.
    const int listMinimum = m_listStack->minimumSizeHint().width();
    m_treeWidth = bounded(width, m_tree->minimumSizeHint().width(), qint64(room) - listMinimum);
    m_splitter->setSizes({m_treeWidth, std::max(room - m_treeWidth, listMinimum)});
}

void CategoryView::setDesignSizes(int splitterWidth)
{
    m_splitter->setSizes({m_treeWidth, splitterWidth - m_treeWidth - m_splitter->handleWidth()});
}
