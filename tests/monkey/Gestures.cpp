#include "Gestures.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCursor>
#include <QDrag>
#include <QMimeData>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>

namespace Gestures
{

std::optional<QPoint> rowPoint(QAbstractItemView* view, const QModelIndex& index)
{
    if (!index.isValid())
        return std::nullopt;
    view->scrollTo(index);
    const QRect cell = view->visualRect(index);
    const QRect port = view->viewport()->rect();
    if (cell.isEmpty() || !port.intersects(cell))
        return std::nullopt;
    // The middle of what is shown of the cell, near its start (a wide cell's
    // middle can lie past a narrow viewport).
    const QRect shown = cell & port;
    return QPoint(shown.left() + std::min(shown.width() / 2, 40), shown.center().y());
}

void click(QWidget* widget, QPoint at, Qt::MouseButton button, Qt::KeyboardModifiers modifiers)
{
    QTest::mouseClick(widget, button, modifiers, at);
}

void doubleClick(QWidget* widget, QPoint at)
{
    // As a mouse sends it: a press and release, then the double click.
    QTest::mouseClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
}

void key(QWidget* widget, int key, Qt::KeyboardModifiers modifiers)
{
    QTest::keyClick(widget, Qt::Key(key), modifiers);
}

void type(QWidget* widget, const QString& text)
{
    // Keys for what a keyboard types directly; the rest arrives as an input
    // method's text, which the widget takes as a paste.
    for (QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7f)
            QTest::keyClick(widget, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

namespace
{

// Runs inside the drag's own loop: the pointer travels to the target and the
// drag ends there.
void finishDrag(QWidget* target, QPoint to, Qt::KeyboardModifiers modifiers, DragEnd end)
{
    const QPoint near = to + QPoint(3, 2);
    QTest::mouseMove(target, near);
    QTest::mouseMove(target, to);
    if (end == DragEnd::Escape)
        QTest::keyClick(target, Qt::Key_Escape);
    else
        QTest::mouseRelease(target, Qt::LeftButton, modifiers, to);
}

} // namespace

bool dragInside(QWidget* viewport, QPoint from, const Target& target,
                Qt::KeyboardModifiers modifiers, DragEnd end)
{
    QCursor::setPos(viewport->mapToGlobal(from));
    QTest::mousePress(viewport, Qt::LeftButton, {}, from);
    bool ran = false;
    QTimer inDrag;
    inDrag.setSingleShot(true);
    QObject::connect(&inDrag, &QTimer::timeout, [&] {
        ran = true;
        // Where it goes is found while the drag runs, as a user looks for it.
        const auto [widget, to] = target();
        finishDrag(widget, to, modifiers, end);
    });
    inDrag.start(0);
    const int distance = QApplication::startDragDistance() + 4;
    QTest::mouseMove(viewport, from + QPoint(distance, 0));
    QTest::mouseMove(viewport, from + QPoint(distance, distance));
    inDrag.stop();
    // Without a drag (or after Escape) the button is still down.
    if (!ran || end == DragEnd::Escape)
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, from);
    return ran;
}

void dragFromOutside(QMimeData* data, Qt::DropActions allowed, QWidget* target, QPoint to,
                     Qt::KeyboardModifiers modifiers, DragEnd end)
{
    // The other program: a source object of no window of this one. The drag
    // comes in at the window's corner: Qt's in-process drag tells a window
    // that a drag left it only when the drag began over one of its windows,
    // and a drag given up elsewhere would leave the window's drop target set
    // (on X11 the server tells).
    // The button goes down in the other program's own window (never shown):
    // no widget of this one sees the press, as none sees it on a desktop (a
    // press on the tree would end a pending "Add file..." placement).
    QWidget otherProgram;
    QCursor::setPos(target->window()->mapToGlobal(QPoint(2, 2)));
    auto* drag = new QDrag(&otherProgram);
    drag->setMimeData(data);
    QTimer::singleShot(0, target, [target, to, modifiers, end, source = &otherProgram] {
        QTest::mousePress(source, Qt::LeftButton);
        finishDrag(target, to, modifiers, end);
    });
    drag->exec(allowed, allowed & Qt::CopyAction ? Qt::CopyAction : Qt::LinkAction);
    // Qt lets the drag go. After Escape the other program's button is still
    // down as far as these events go.
    if (end == DragEnd::Escape)
        QTest::mouseRelease(&otherProgram, Qt::LeftButton);
}

} // namespace Gestures
