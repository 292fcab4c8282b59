#pragma once
#include "forms/main/CommandContext.h"

#include <QObject>

class CategoryView;

// Undo and Redo: the actions follow the catalogue's history (greyed when
// there is nothing to take back, captions naming the step), and the list
// shows its category again after a step that replaced whole root entries.
class EditCommands : public QObject
{
    Q_OBJECT
public:
    EditCommands(CommandContext& context, CategoryView& view);

private:
    void undo();
    void redo();
    void follow();

    CommandContext& m_context;
    CategoryView& m_view;
};
