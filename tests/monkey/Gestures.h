#pragma once
#include <QModelIndex>
#include <QPoint>
#include <Qt>
#include <functional>
#include <optional>
#include <utility>

class QAbstractItemView;
class QMimeData;
class QWidget;

// What a user does with mouse and keyboard, sent as real input events to the
// widgets (never a call of a handler). Drags are real drags: Qt's own drag
// runs its loop, and the pointer moves and lets go inside it.
namespace Gestures
{

// The middle of a row's cell in a view's viewport, the row scrolled into
// sight first (the tree unfolds what holds it); none when it is not shown.
std::optional<QPoint> rowPoint(QAbstractItemView* view, const QModelIndex& index);
void click(QWidget* widget, QPoint at, Qt::MouseButton button = Qt::LeftButton,
           Qt::KeyboardModifiers modifiers = {});
void doubleClick(QWidget* widget, QPoint at);
void key(QWidget* widget, int key, Qt::KeyboardModifiers modifiers = {});
void type(QWidget* widget, const QString& text);

enum class DragEnd { Drop, Escape };
// Where a drag goes: a widget and a point in it, found once the drag runs.
using Target = std::function<std::pair<QWidget*, QPoint>()>;
// Presses at From in a view's viewport and moves past the drag distance;
// once the drag runs, moves to the target and lets go there with the
// modifiers held (or presses Escape). False when no drag began.
bool dragInside(QWidget* viewport, QPoint from, const Target& target,
                Qt::KeyboardModifiers modifiers, DragEnd end);
// Another program's drag (a file manager's files, a browser's link): it
// enters the window from outside, moves to To over Target and ends there.
// Takes Data.
void dragFromOutside(QMimeData* data, Qt::DropActions allowed, QWidget* target, QPoint to,
                     Qt::KeyboardModifiers modifiers, DragEnd end);

} // namespace Gestures

// Qt's drag manager (private to Qt, exported): which widget took the drag in
// progress. Qt's in-process drags can leave it set after a drag that ended
// outside the window it entered; it must not outlive that widget.
class QDragManager
{
public:
    static QDragManager* self();
    QObject* currentTarget() const;
    void setCurrentTarget(QObject* target, bool dropped = false);
};
