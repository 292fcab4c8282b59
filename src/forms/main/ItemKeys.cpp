#include "forms/main/ItemKeys.h"
#include "forms/main/CategoryView.h"
#include "forms/main/CommandActions.h"
#include "forms/main/CommandContext.h"

#include <QAction>
#include <QApplication>
#include <QChildEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QKeySequence>
#include <QTreeView>
#include <utility>

using Commands::Id;

namespace
{

// Whether a view is editing: its state is for its subclasses only, but an
// editor and an index widget look alike from outside.
struct EditingState : QAbstractItemView {
    static bool of(const QAbstractItemView* view)
    {
        return (view->*&EditingState::state)() == QAbstractItemView::EditingState;
    }
};

} // namespace

ItemKeys::ItemKeys(CommandContext& context, CategoryView& view)
    : QObject(&view), m_context(context), m_view(view)
{
    setObjectName(QStringLiteral("ItemKeys"));
    const QList<QAbstractItemView*> lists = view.listViews();
    QList<QAbstractItemView*> views = lists;
    views.prepend(view.tree());
    for (QAbstractItemView* v : views) {
        // F2 opens the editor; the tree's first node is not editable and
        // keeps its name.
        v->setEditTriggers(QAbstractItemView::EditKeyPressed);
        v->installEventFilter(this);
        // Editors are made inside the viewport; their showing and hiding
        // tell when a rename starts and ends, however it ends.
        v->viewport()->installEventFilter(this);
        addKey(v, QLatin1String("Properties"),
               {QKeySequence(Qt::ALT | Qt::Key_Return), QKeySequence(Qt::ALT | Qt::Key_Enter),
                QKeySequence(QKeyCombination(Qt::AltModifier | Qt::KeypadModifier, Qt::Key_Enter))},
               &ItemKeys::showProperties);
    }
    addKey(view.tree(), QLatin1String("FocusList"), {QKeySequence(Qt::Key_F6)},
           &ItemKeys::focusList);
    for (QAbstractItemView* list : lists) {
        addKey(list, QLatin1String("FocusTree"), {QKeySequence(Qt::Key_F6)}, &ItemKeys::focusTree);
        addKey(list, QLatin1String("GoUp"), {QKeySequence(Qt::Key_Backspace)}, &ItemKeys::goUp);
    }
}

// Each key's action is named after its view and what it does, as the Enter
// ones are ("DocsTreeFocusList", "ListDetailsGoUp").
void ItemKeys::addKey(QAbstractItemView* view, QLatin1String name, const QList<QKeySequence>& keys,
                      void (ItemKeys::*handler)())
{
    auto* action = new QAction(view);
    action->setObjectName(view->objectName() + name);
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    view->addAction(action);
    connect(action, &QAction::triggered, this, handler);
}

QAbstractItemView* ItemKeys::viewOfViewport(QObject* viewport) const
{
    if (viewport == m_view.tree()->viewport())
        return m_view.tree();
    for (QAbstractItemView* v : m_view.listViews())
        if (viewport == v->viewport())
            return v;
    return nullptr;
}

bool ItemKeys::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        // A key the editor left (Enter, which accepts the name, or an arrow)
        // comes up to the view, which must not act on it as well.
        if (m_editing && watched == m_editing->parent()->parent())
            return true;
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_F2)
            return editKeyInList(watched);
        return keyOfView(watched, static_cast<QKeyEvent*>(event));
    case QEvent::ChildAdded: {
        QObject* child = static_cast<QChildEvent*>(event)->child();
        if (child->isWidgetType() && viewOfViewport(watched))
            child->installEventFilter(this);
        return false;
    }
    case QEvent::Show:
        if (QAbstractItemView* view = viewOfViewport(watched->parent()))
            editorShown(view, static_cast<QWidget*>(watched));
        return false;
    case QEvent::Hide:
        // Hidden itself, not only with the window that holds it.
        if (watched == m_editing && static_cast<QWidget*>(watched)->isHidden())
            editorClosed(watched);
        return false;
    default:
        return false;
    }
}

void ItemKeys::editorShown(QAbstractItemView* view, QWidget* editor)
{
    if (!EditingState::of(view) || m_editing == editor)
        return;
    m_editing = editor;
    setViewKeysEnabled(false);
    m_context.commands().action(Id::RemoveFromProgram)->setShortcut(QKeySequence());
    // An editor deleted without being hidden first ends the rename too.
    connect(editor, &QObject::destroyed, this, [this, editor] { editorClosed(editor); });
}

void ItemKeys::editorClosed(QObject* editor)
{
    if (m_editing != editor)
        return;
    m_editing = nullptr;
    setViewKeysEnabled(true);
    m_context.commands().action(Id::RemoveFromProgram)->setShortcut(QKeySequence(Qt::Key_Delete));
}

void ItemKeys::setViewKeysEnabled(bool enabled)
{
    // Every key action of the views, Enter's opening included: the editor
    // is a child of its view, so the view's keys would reach past it.
    if (enabled) {
        for (QAction* key : std::exchange(m_keysOffWhileEditing, {}))
            key->setEnabled(true);
        return;
    }
    QList<QAbstractItemView*> views = m_view.listViews();
    views.prepend(m_view.tree());
    for (QAbstractItemView* v : views) {
        for (QAction* key : v->actions()) {
            if (key->isEnabled()) {
                key->setEnabled(false);
                m_keysOffWhileEditing << key;
            }
        }
    }
}

bool ItemKeys::keyOfView(QObject* watched, const QKeyEvent* key)
{
    // A key handed to the view itself while the window is not the active one
    // (a platform that leaves no window active after a dialog) passes the
    // shortcuts by: it still does what the view's action for it does.
    auto* view = qobject_cast<QAbstractItemView*>(watched);
    if (!view || QApplication::activeWindow() == view->window())
        return false;
    const QKeySequence pressed(key->keyCombination());
    for (QAction* action : view->actions()) {
        if (action->isEnabled() && action->shortcuts().contains(pressed)) {
            action->trigger();
            return true;
        }
    }
    return false;
}

bool ItemKeys::editKeyInList(QObject* watched)
{
    // The list's edit key renames the selected row, whichever cell of the
    // details is current; with none selected it renames nothing.
    QAbstractItemView* list = nullptr;
    for (QAbstractItemView* v : m_view.listViews())
        if (watched == v)
            list = v;
    if (!list)
        return false;
    const QModelIndex row = m_view.selectedListRow();
    if (!row.isValid())
        return true;
    if (list->currentIndex() != row)
        list->selectionModel()->setCurrentIndex(row, QItemSelectionModel::NoUpdate);
    return false;
}

void ItemKeys::showProperties()
{
    QAction* action = m_context.commands().action(Id::Properties);
    if (action->isEnabled())
        action->trigger();
}

void ItemKeys::focusList()
{
    QAbstractItemView* list = m_view.listViews().first();
    for (QAbstractItemView* v : m_view.listViews())
        if (v->isVisibleTo(v->window()))
            list = v;
    list->setFocus(Qt::OtherFocusReason);
    QAbstractItemModel* rows = list->model();
    if (!m_view.selectedListRow().isValid() && rows && rows->rowCount() > 0)
        list->setCurrentIndex(rows->index(0, 0));
}

void ItemKeys::focusTree()
{
    m_view.focusTree();
}

void ItemKeys::goUp()
{
    // The tree lists the parent once it is selected.
    TreeNode* current = m_view.currentNode();
    if (TreeNode* parent = current ? current->parent() : nullptr)
        m_view.setCurrentNode(parent);
}
