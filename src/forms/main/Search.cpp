#include "forms/main/Search.h"
#include "catalogue/Catalogue.h"
#include "catalogue/ListModel.h"
#include "components/EventFilter.h"
#include "components/MessageDialogs.h"
#include "forms/FindDialog.h"
#include "forms/main/CategoryView.h"
#include "forms/main/CommandActions.h"
#include "forms/main/Opening.h"

#include <QAbstractItemView>
#include <QAction>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QScopeGuard>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

using Commands::Id;
using Commands::Menu;

namespace
{

constexpr int FindDialogLeft = 300;
constexpr int FilterWidth = 200;

} // namespace

Search::Search(CommandContext& context, CategoryView& view)
    : QObject(&view), m_context(context), m_view(view), m_search(context.catalogue().search()),
      m_filter(m_search.index())
{
    setObjectName(QStringLiteral("Search"));
    m_dialog = new FindDialog(&context.window());
    connect(m_dialog, &FindDialog::findNext, this,
            [this] { CommandContext::guarded([this] { findNext(); }); });
    connect(m_dialog, &FindDialog::closed, this, [this] { m_search.restart(); });
    connect(m_dialog, &FindDialog::matchCaseChanged, this,
            [this](bool on) { m_search.setMatchCase(on); });
    connect(&m_search, &CatalogueSearch::hitToShow, this, &Search::showHit);

    CommandActions& commands = context.commands();
    const std::pair<Id, SearchField> finds[] = {{Id::FindByName, SearchField::name},
                                                {Id::FindInComments, SearchField::comments},
                                                {Id::FindByAdditional, SearchField::additional}};
    for (const auto& [id, field] : finds)
        commands.connectCommand(id, this, [this, f = field] { showFindDialog(f); });
    commands.connectCommand(Id::FindNext, this, &Search::findNext);
    // F3 goes on from inside the dialog as well.
    m_dialog->addAction(commands.action(Id::FindNext));

    createFilter();
}

Search::~Search() = default;

// ---------------------------------------------------------------- find dialog

void Search::placeFindDialog()
{
    const QWidget& window = m_context.window();
    const QScreen* screen = window.screen();
    const QPoint origin = screen ? screen->geometry().topLeft() : QPoint();
    m_dialog->setFirstPosition(origin + QPoint(FindDialogLeft, window.height() / 2));
}

void Search::showFindDialog(SearchField field)
{
    // The position stays: a switch of field goes on from the last hit.
    m_search.setField(field);
    m_dialog->showFind();
}

void Search::findNext()
{
    const QString text = m_dialog->findText();
    if (text.isEmpty())
        return;
    const SearchField field = m_search.field();
    SearchHit hit;
    {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        auto restore = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
        hit = m_search.locateNode(text, field, m_search.findPos(), true);
    }
    if (hit.found()) {
        showHit(hit.node);
        return;
    }
    QWidget* anchor = m_context.commands().menuButton(Menu::Search);
    if (!anchor || !anchor->isVisible())
        anchor = &m_context.window();
    if (MessageDialogs::askYesNo(tr("%1 \"%2\", not found.\rContinue search from begin?")
                                     .arg(notFoundSubject(field), text),
                                 anchor))
        m_search.restart();
    else if (m_dialog->isVisible())
        m_dialog->reject(); // its closing starts the next search from the top
}

void Search::showHit(TreeNode* node)
{
    const NodeTree& nodes = m_context.catalogue().nodes();
    QTreeView* tree = m_view.tree();
    tree->setFocus();
    // Each change of the current node lists what it stands for.
    if (TreeNode* parent = node->parent()) {
        for (TreeNode* up = parent; up; up = up->parent())
            tree->expand(nodes.indexOf(up));
        tree->setCurrentIndex(nodes.indexOf(parent));
    } else {
        tree->selectionModel()->clearSelection();
        tree->selectionModel()->clearCurrentIndex();
    }
    const QModelIndex index = nodes.indexOf(node);
    tree->setCurrentIndex(index);
    tree->scrollTo(index);
    // A hit that was the tree's current node already changed nothing above:
    // it is shown all the same, which ends a filter.
    if (m_view.listingNodes())
        m_view.showNode(node);
    for (QAbstractItemView* list : m_view.listViews())
        list->selectionModel()->clear();
}

// ---------------------------------------------------------------- filter

void Search::createFilter()
{
    QMainWindow& window = m_context.window();
    QToolBar* bar = m_context.commands().toolBar();
    auto* spring = new QWidget(bar);
    spring->setObjectName(QStringLiteral("FilterSpring"));
    spring->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    bar->addWidget(spring);
    m_filterEdit = new QLineEdit(bar);
    m_filterEdit->setObjectName(QStringLiteral("FilterEdit"));
    m_filterEdit->setPlaceholderText(tr("Filter"));
    m_filterEdit->setClearButtonEnabled(true);
    m_filterEdit->setFixedWidth(FilterWidth);
    m_filterEdit->setToolTip(QStringLiteral("Show the entries of all categories that hold every "
                                            "word typed here (Ctrl+K)"));
    m_filterEdit->setAccessibleName(tr("Filter"));
    m_filterEdit->setAccessibleDescription(
        QStringLiteral("List the entries of the whole catalogue whose name, comment, location "
                       "or additional value holds every word typed"));
    bar->addWidget(m_filterEdit);

    m_focusFilter = new QAction(tr("Filter"), this);
    m_focusFilter->setObjectName(QStringLiteral("acFilter"));
    m_focusFilter->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    window.addAction(m_focusFilter);
    connect(m_focusFilter, &QAction::triggered, this, [this] {
        m_filterEdit->setFocus(Qt::ShortcutFocusReason);
        m_filterEdit->selectAll();
    });

    connect(m_filterEdit, &QLineEdit::textChanged, this,
            [this] { CommandContext::guarded([this] { applyFilter(); }); });
    // Keys the filter field handles itself, without modifiers (the keypad's count).
    new EventFilter(m_filterEdit, [this](QEvent* event) {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        // Escape must reach the field before any shortcut takes it.
        if (event->type() == QEvent::ShortcutOverride) {
            if (key->key() != Qt::Key_Escape)
                return false;
            event->accept();
            return true;
        }
        return filterKey(key->key());
    });

    m_view.setNodesRefill([this] { applyFilter(); });
    // Any other listing (a node chosen in the tree, a found category
    // opened, a find's hit) ends the filter: its text goes with it, and the
    // status line and the caption are what that listing made them.
    connect(&m_view.listModel(), &QAbstractItemModel::modelReset, this, [this] {
        if (m_listingFound || m_view.listModel().listsNodes() || !m_filtering)
            return;
        m_filtering = false;
        const QSignalBlocker quiet(m_filterEdit);
        m_filterEdit->clear();
        m_context.window().statusBar()->clearMessage();
    });
    // A click on the tree's current node shows it again, as a click on any
    // other node would: the filter ends.
    connect(m_view.tree(), &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        if (m_view.listingNodes() && index == m_view.tree()->currentIndex())
            CommandContext::guarded([this, index] { m_view.showNode(NodeTree::nodeOf(index)); });
    });
    // Found rows removed (with their nodes) leave the count behind.
    connect(&m_view.listModel(), &QAbstractItemModel::rowsRemoved, this, [this] {
        if (m_filtering && m_view.listingNodes())
            showFoundCount();
    });
}

void Search::showFoundCount()
{
    const int count = m_view.listModel().count();
    m_context.window().statusBar()->showMessage(count == 1 ? tr("1 entry found")
                                                           : tr("%1 entries found").arg(count));
}

void Search::applyFilter()
{
    const QString text = m_filterEdit->text();
    if (filterWords(text).isEmpty()) {
        endFilter();
        return;
    }
    m_listingFound = true;
    auto done = qScopeGuard([this] { m_listingFound = false; });
    m_filtering = true;
    m_view.listNodes(m_filter.match(text));
    ListModel& model = m_view.listModel();
    // The first row is ready for Enter.
    if (model.count() > 0)
        m_view.listViews().constFirst()->selectionModel()->setCurrentIndex(
            model.index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    showFoundCount();
    m_context.window().setWindowTitle(
        QStringLiteral("Quillmere 3.3 - Found: \"%1\"").arg(text.simplified()));
}

void Search::endFilter()
{
    m_filtering = false;
    if (!m_view.listingNodes())
        return;
    m_context.window().statusBar()->clearMessage();
    TreeNode* listed = m_view.listedNode();
    // An entry listed alone would be listed as nothing when asked again.
    m_view.setListedNode(nullptr);
    if (listed) {
        m_view.listCategory(listed); // its caption with it
    } else {
        m_view.listModel().clear();
        m_context.window().setWindowTitle(QStringLiteral("Quillmere 3.3"));
    }
}

void Search::openFilteredRow()
{
    for (QAbstractItemView* list : m_view.listViews()) {
        if (!list->isVisibleTo(&m_context.window()))
            continue;
        if (!m_view.selectedListRow().isValid())
            return;
        // The list opens its row as it does on Enter.
        if (QAction* open = Opening::openKey(list))
            open->trigger();
        return;
    }
}

bool Search::filterKey(int key)
{
    switch (key) {
    case Qt::Key_Escape:
        m_filterEdit->clear();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_view.listingNodes())
            openFilteredRow();
        return true;
    case Qt::Key_Down:
        if (!m_view.listingNodes())
            return false;
        for (QAbstractItemView* list : m_view.listViews())
            if (list->isVisibleTo(&m_context.window()))
                list->setFocus(Qt::TabFocusReason);
        return true;
    default:
        return false;
    }
}
