#pragma once
#include <QDialog>
#include <QMessageBox>
#include <QPainterPath>
#include <QRegion>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QLabel;
class QWidget;
class FlatButton;

// The program's message dialogs: a pale-yellow speech balloon whose tail can
// point at the control the message is about. Every warning, error and
// question goes through here, so tests can answer them without showing
// anything.
namespace MessageDialogs
{

// The dialogs speak Qt's buttons, shown in a fixed left-to-right order. Two
// of ours have no Qt name of their own and borrow one:
inline constexpr QMessageBox::StandardButton LocateButton = QMessageBox::Open; // "Locate..."
inline constexpr QMessageBox::StandardButton AllButton = QMessageBox::SaveAll; // "All"

enum TailPosition {
    tpNone,   // no tail
    tpTop,    // tail on the top edge: the dialog sits below its control
    tpBottom, // tail on the bottom edge: the dialog sits above its control
};

inline constexpr int DefaultHorzOffset = 20;
inline constexpr int DefaultVertOffset = 2;
inline constexpr int TailHeight = 20;

// The balloon's colour: pale yellow, cream on an 8-bit display. Chosen once.
QColor dialogColor();

// The borderless balloon window. Built by CreateRgnDialog.
class BalloonDialog : public QDialog
{
    Q_OBJECT
public:
    explicit BalloonDialog(QWidget* parent);

    QLabel* message = nullptr; // object name "Message"
    QLabel* image = nullptr;   // object name "Image"; null without icon
    int horzOffset = DefaultHorzOffset;
    int vertOffset = DefaultVertOffset;
    QString helpTopic;

    TailPosition tail() const { return m_tail; }
    // Adds, moves or removes the tail: the window grows or shrinks by the
    // tail's height, and a top tail moves the contents down below it.
    void setTail(TailPosition tail);
    // Places the dialog at Anchor (above it when there is room, below it
    // otherwise), or centred on the main window without an anchor.
    void placeAt(QWidget* anchor);
    // The window region now in use, and the outline it is drawn with.
    QRegion region() const { return m_region; }
    QPainterPath outline() const { return m_outline; }
    // Rebuilds the region from the current size.
    void updateRegion();

    FlatButton* button(QMessageBox::StandardButton which) const;
    FlatButton* defaultButton() const { return m_default; }
    // The button that Enter presses and that has the focus at first.
    void setDefaultButton(QMessageBox::StandardButton which);
    FlatButton* cancelButton() const { return m_cancel; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void reject() override;

private:
    friend std::unique_ptr<BalloonDialog> createRgnDialog(const QString&, QMessageBox::Icon,
                                                          QMessageBox::StandardButtons, int, int,
                                                          QWidget*);
    TailPosition m_tail = tpNone;
    QRegion m_region;
    QPainterPath m_outline;
    FlatButton* m_default = nullptr;
    FlatButton* m_cancel = nullptr;
    QPoint m_dragFrom; // manual drag where the window manager cannot move us
    bool m_dragging = false;
};

// Builds a dialog without showing it.
// NoIcon shows none.
std::unique_ptr<BalloonDialog> createRgnDialog(const QString& msg, QMessageBox::Icon icon,
                                               QMessageBox::StandardButtons buttons, int vertOffset,
                                               int horzOffset, QWidget* anchor);
// Builds, shows modally and releases a dialog; the pressed button (Cancel
// when it was closed otherwise).
QMessageBox::StandardButton showRgnDialog(const QString& msg, QMessageBox::Icon icon,
                                          QMessageBox::StandardButtons buttons, int vertOffset,
                                          int horzOffset, QWidget* anchor,
                                          const QString& helpTopic = QString());

// The wrappers the program uses. An anchor that is a whole window (or none)
// centres the dialog on that window (or on the main window), without tail.
void errorBox(const QString& text, QWidget* anchor = nullptr, int horzOffset = DefaultHorzOffset,
              int vertOffset = DefaultVertOffset);
void warningBox(const QString& text, QWidget* anchor = nullptr, int horzOffset = DefaultHorzOffset,
                int vertOffset = DefaultVertOffset);
bool askYesNo(const QString& text, QWidget* anchor = nullptr, int horzOffset = DefaultHorzOffset,
              int vertOffset = DefaultVertOffset);
// A question whose buttons carry captions of their own (each button of
// Buttons with its caption; they stand in the buttons' fixed order), Enter
// pressing Default; the pressed button. The test hooks answer as for the
// buttons' usual captions (Yes for a Yes button captioned "Keep both").
QMessageBox::StandardButton
askWithButtons(const QString& text,
               const std::vector<std::pair<QMessageBox::StandardButton, QString>>& buttons,
               QMessageBox::StandardButton defaultButton, QWidget* anchor = nullptr);
// The application's report of an error no command handled: "Quillmere"
// caption, stop icon, OK.
void applicationError(const QString& text);

// Test hook: the next dialog is not shown and returns Answer instead.
// "Locate..." is answered with LocateButton (QMessageBox::Open).
void setNextAnswer(QMessageBox::StandardButton answer);
// Test hook: every dialog is answered by Handler (kind, text) without showing.
void setHandler(
    std::function<QMessageBox::StandardButton(QMessageBox::Icon, const QString&)> handler);
// The text of the last dialog asked for, shown or answered by a hook.
QString lastMessage();

} // namespace MessageDialogs
