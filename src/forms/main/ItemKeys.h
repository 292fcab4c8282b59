#pragma once
#include <QObject>

class CategoryView;
class CommandContext;
class QAbstractItemView;
class QAction;
class QEvent;
class QKeyEvent;
class QKeySequence;
class QWidget;

// In-place renames in the tree and the list, and the keys the two views
// handle themselves, each an action of the view it belongs to: F2 renames
// (the views' edit key), F6 moves between them, Backspace goes up a level
// from the list, Alt+Enter shows the properties. While a name editor is open
// the views' keys are off (the editor has them) and the Remove command has no
// key (the editor takes Delete); from the end of the first rename on its key
// is Delete alone.
class ItemKeys : public QObject
{
    Q_OBJECT
public:
    ItemKeys(CommandContext& context, CategoryView& view);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void addKey(QAbstractItemView* view, QLatin1String name, const QList<QKeySequence>& keys,
                void (ItemKeys::*handler)());
    bool keyOfView(QObject* watched, const QKeyEvent* key);
    bool editKeyInList(QObject* watched);
    void showProperties();
    void focusList();
    void focusTree();
    void goUp();
    void editorShown(QAbstractItemView* view, QWidget* editor);
    void editorClosed(QObject* editor);
    void setViewKeysEnabled(bool enabled);
    QAbstractItemView* viewOfViewport(QObject* viewport) const;

    CommandContext& m_context;
    CategoryView& m_view;
    const QObject* m_editing = nullptr;    // the open name editor
    QList<QAction*> m_keysOffWhileEditing; // the views' keys that were on when it opened
};
