#include "forms/main/ItemKeys.h"
#include "catalogue/Catalogue.h"
#include "forms/main/CategoryView.h"
#include "forms/main/CommandActions.h"
#include "forms/main/CommandContext.h"

#include <QAction>
#include <QChildEvent>
#include <QKeyEvent>
#include <QTreeView>

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
    QList<QAbstractItemView*> views = view.listViews();
    views.prepend(view.tree());
    for (QAbstractItemView* v : views) {
        v->installEventFilter(this);
        // Editors are made inside the viewport; their showing and hiding
        // tell when a rename starts and ends, however it ends.
        v->viewport()->installEventFilter(this);
    }
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
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        // The view's own keys are off while it edits a name: a key the editor
        // left (Enter, which accepts the name) comes up to the view and must
        // not open the entry as well.
        if (m_editing && watched == m_editing->parent()->parent())
            return true;
        if (watched == m_view.tree())
            return treeKeyDown(key);
        for (QAbstractItemView* list : m_view.listViews())
            if (watched == list)
                return listKeyDown(list, key);
        return false;
    }
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
    m_context.commands().action(Id::RemoveFromProgram)->setShortcut(QKeySequence());
    // An editor deleted without being hidden first ends the rename too.
    connect(editor, &QObject::destroyed, this, [this, editor] { editorClosed(editor); });
}

void ItemKeys::editorClosed(QObject* editor)
{
    if (m_editing != editor)
        return;
    m_editing = nullptr;
    m_context.commands().action(Id::RemoveFromProgram)->setShortcut(QKeySequence(Qt::Key_Delete));
}

bool ItemKeys::properties()
{
    QAction* action = m_context.commands().action(Id::Properties);
    if (action->isEnabled())
        action->trigger();
    return true;
}

namespace
{

bool isEnter(const QKeyEvent* key)
{
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

bool plain(const QKeyEvent* key)
{
    return (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

} // namespace

bool ItemKeys::treeKeyDown(QKeyEvent* key)
{
    if (isEnter(key) && (key->modifiers() & Qt::AltModifier))
        return properties();
    if (!plain(key))
        return false;
    QTreeView* tree = m_view.tree();
    switch (key->key()) {
    case Qt::Key_F2:
        // The first node keeps its name: its editor does not open.
        if (tree->currentIndex().flags() & Qt::ItemIsEditable)
            tree->edit(tree->currentIndex());
        return true;
    case Qt::Key_F6: {
        QAbstractItemView* list = m_view.listViews().first();
        for (QAbstractItemView* v : m_view.listViews())
            if (v->isVisibleTo(v->window()))
                list = v;
        list->setFocus(Qt::OtherFocusReason);
        QAbstractItemModel* rows = list->model();
        if (!m_view.selectedListRow().isValid() && rows && rows->rowCount() > 0)
            list->setCurrentIndex(rows->index(0, 0));
        return true;
    }
    default:
        return false;
    }
}

bool ItemKeys::listKeyDown(QAbstractItemView* list, QKeyEvent* key)
{
    if (isEnter(key) && (key->modifiers() & Qt::AltModifier))
        return properties();
    if (!plain(key))
        return false;
    switch (key->key()) {
    case Qt::Key_Backspace: {
        // Up one level: the tree lists the parent once it is selected.
        TreeNode* selected = m_view.selectedTreeNode();
        if (TreeNode* parent = selected ? selected->parent() : nullptr)
            m_view.tree()->setCurrentIndex(m_context.catalogue().nodes().indexOf(parent));
        return true;
    }
    case Qt::Key_F2: {
        const QModelIndex row = m_view.selectedListRow();
        if (row.isValid())
            list->edit(row);
        return true;
    }
    case Qt::Key_F6:
        m_view.tree()->setFocus(Qt::OtherFocusReason);
        return true;
    default:
        return false;
    }
}
