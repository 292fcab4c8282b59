#include "forms/main/EditCommands.h"
#include "catalogue/Catalogue.h"
#include "forms/main/CategoryView.h"
#include "forms/main/CommandActions.h"

#include <QAction>
#include <QApplication>

using Commands::Id;

EditCommands::EditCommands(CommandContext& context, CategoryView& view)
    : QObject(&view), m_context(context), m_view(view)
{
    setObjectName(QStringLiteral("EditCommands"));
    CommandActions& commands = context.commands();
    commands.action(Id::Redo)->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    commands.connectCommand(Id::Undo, this, &EditCommands::undo);
    commands.connectCommand(Id::Redo, this, &EditCommands::redo);
    QUndoStack& stack = context.catalogue().history().stack();
    connect(&stack, &QUndoStack::indexChanged, this, &EditCommands::follow);
    connect(&stack, &QUndoStack::undoTextChanged, this, &EditCommands::follow);
    connect(&stack, &QUndoStack::redoTextChanged, this, &EditCommands::follow);
    connect(&context.catalogue().history(), &EditHistory::replayed, this, [this](bool bulk) {
        if (!bulk)
            return;
        // A reset lists nothing: list the tree's current category again.
        if (TreeNode* current = m_view.currentNode()) {
            m_view.setListedNode(current);
            return;
        }
        // A whole other tree (a restore undone or redone) has none current:
        // its built-in category, as after a start or the restore itself.
        Catalogue& catalogue = m_context.catalogue();
        if (TreeNode* first = catalogue.makerCategory() ? catalogue.makerCategory()
                                                        : catalogue.nodes().getFirstNode())
            m_view.listCategory(first);
    });
    follow();
}

void EditCommands::follow()
{
    QUndoStack& stack = m_context.catalogue().history().stack();
    auto caption = [](const QString& verb, const QString& step) {
        return step.isEmpty() ? verb : verb + u' ' + step;
    };
    QAction* undo = m_context.commands().action(Id::Undo);
    QAction* redo = m_context.commands().action(Id::Redo);
    undo->setText(caption(tr("Undo"), stack.canUndo() ? stack.undoText() : QString()));
    redo->setText(caption(tr("Redo"), stack.canRedo() ? stack.redoText() : QString()));
    undo->setEnabled(stack.canUndo());
    redo->setEnabled(stack.canRedo());
}

void EditCommands::undo()
{
    EditHistory& history = m_context.catalogue().history();
    // Not in the middle of a step (a question of a command still open).
    if (history.busy() || !history.stack().canUndo()) {
        QApplication::beep();
        return;
    }
    history.stack().undo();
    follow();
}

void EditCommands::redo()
{
    EditHistory& history = m_context.catalogue().history();
    if (history.busy() || !history.stack().canRedo()) {
        QApplication::beep();
        return;
    }
    history.stack().redo();
    follow();
}
