#pragma once
#include <QObject>

class CategoryView;
class CommandContext;
class QAbstractItemView;
class QEvent;
class QKeyEvent;
class QWidget;

// In-place renames in the tree and the list, and the keys the two views
// handle themselves: F2 renames, F6 moves between them, Backspace goes up a
// level from the list, Alt+Enter shows the properties. While a name editor is
// open the Remove command has no key (the editor takes Delete); from the end
// of the first rename on its key is Delete alone.
class ItemKeys : public QObject
{
    Q_OBJECT
public:
    ItemKeys(CommandContext& context, CategoryView& view);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool treeKeyDown(QKeyEvent* key);
    bool listKeyDown(QAbstractItemView* list, QKeyEvent* key);
    bool properties();
    void editorShown(QAbstractItemView* view, QWidget* editor);
    void editorClosed(QObject* editor);
    QAbstractItemView* viewOfViewport(QObject* viewport) const;

    CommandContext& m_context;
    CategoryView& m_view;
    const QObject* m_editing = nullptr; // the open name editor
};
