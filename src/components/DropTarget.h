#pragma once
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <functional>

class QDropEvent;
class QMimeData;

// One step of a drag over a drop target, as its owner sees it.
struct DropTargetEvent {
    Qt::KeyboardModifiers modifiers;          // Shift, Ctrl, Alt held
    Qt::MouseButtons buttons;                 // mouse buttons held
    QPoint point;                             // in the attached widget's coordinates
    Qt::DropAction effect = Qt::IgnoreAction; // the handler may change it
};

// Makes a widget take drags from other programs: tells the source which
// effect it allows, reads the dragged data (at the enter or at the drop) and
// reports enter, move, leave and drop. A drag this target can read is held
// from its enter to its leave or drop; the effect answers each move. Drags of the program's own
// views (DropFormats::PrivateNodesMime) are left to whoever handles them. Scrolling a view
// under the drag is the view's own (its auto-scroll), told by the owner.
class DropTarget : public QObject
{
    Q_OBJECT
public:
    explicit DropTarget(QObject* parent = nullptr);
    ~DropTarget() override;

    // The effects this target allows (copy, move, link); none by default.
    Qt::DropActions dragTypes() const { return m_dragTypes; }
    void setDragTypes(Qt::DropActions types) { m_dragTypes = types; }
    // Read the data as soon as a drag enters, instead of at the drop.
    bool getDataOnEnter() const { return m_getDataOnEnter; }
    void setGetDataOnEnter(bool on) { m_getDataOnEnter = on; }
    // Qt draws the source's drag picture itself; kept for the owner's settings.
    bool showImage() const { return m_showImage; }
    void setShowImage(bool on) { m_showImage = on; }

    // Registers on Widget (once; another widget replaces the first).
    void attachTo(QWidget* widget);
    void detach();
    QWidget* attached() const { return m_widget; }
    bool registered() const { return m_widget != nullptr; }
    // A child of the attached widget that this target does not serve (it
    // has a target of its own).
    void setExcluded(QWidget* child) { m_excluded = child; }

    // When set, decides the effect instead of the built-in rule: given the
    // keys, the point and the allowed effects this target takes.
    std::function<Qt::DropAction(Qt::KeyboardModifiers, const QPoint&, Qt::DropActions)>
        getDropEffect;
    // The effect for the keys held, among the allowed ones this target takes:
    // Shift+Ctrl link, Shift move, else copy, move, link, whichever is allowed first.
    Qt::DropAction chooseDropEffect(Qt::KeyboardModifiers modifiers, const QPoint& point,
                                    Qt::DropActions allowed) const;
    // Reads the same kind of data from the clipboard; the effect it asks for
    // (none when it holds nothing readable).
    virtual Qt::DropAction readClipboard();

Q_SIGNALS:
    void entered(DropTargetEvent& event);
    void draggedOver(DropTargetEvent& event);
    void left();
    void dropped(DropTargetEvent& event);

protected:
    virtual bool readData(const QMimeData* data) = 0;
    virtual void resetData() = 0;
    virtual bool acceptsFormats(const QMimeData* data) const = 0;

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool serves(const QPoint& point) const;
    bool dragEnter(QDropEvent* event);
    bool dragMove(QDropEvent* event);
    bool drop(QDropEvent* event);
    void dragLeave();

    QPointer<QWidget> m_widget;
    QPointer<QWidget> m_excluded;
    Qt::DropActions m_dragTypes;
    bool m_getDataOnEnter = false;
    bool m_showImage = true;
    bool m_holding = false; // a usable drag is over the widget
};

// Takes lists of files and folders (what a file manager drags).
class FileDropTarget : public DropTarget
{
    Q_OBJECT
public:
    using DropTarget::DropTarget;
    // Full names of the dropped files and folders, in the source's order.
    QStringList files;
    Qt::DropAction readClipboard() override;

protected:
    bool readData(const QMimeData* data) override;
    void resetData() override;
    bool acceptsFormats(const QMimeData* data) const override;
};
