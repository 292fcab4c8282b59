#pragma once
#include <QDialog>
#include <QFlags>
#include <QMessageBox>
#include <QPainterPath>
#include <QRegion>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QLabel;
class QWidget;
class THSFlatButton;

// The program's message dialogs: a pale-yellow speech balloon whose tail can
// point at the control the message is about. Every warning, error and
// question goes through here, so tests can answer them without showing
// anything.
namespace HSDialogs
{

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

// The buttons, in their fixed left-to-right order.
enum TMsgDlgBtn : unsigned {
    mbYes = 0x1,
    mbNo = 0x2,
    mbOK = 0x4,
    mbCancel = 0x8,
    mbAbort = 0x10,
    mbRetry = 0x20,
    mbIgnore = 0x40,
    mbAll = 0x80,
    mbNoToAll = 0x100,
    mbYesToAll = 0x200,
    mbHelp = 0x400,
};
Q_DECLARE_FLAGS(TMsgDlgButtons, TMsgDlgBtn)

// What a dialog returns.
enum TModalResult : int {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7,
    mrAll = 8,
    mrNoToAll = 9,
    mrYesToAll = 10,
};

enum TTailPosition {
    tpNone,   // no tail
    tpTop,    // tail on the top edge: the dialog sits below its control
    tpBottom, // tail on the bottom edge: the dialog sits above its control
};

inline constexpr int DefaultHorzOffset = 20;
inline constexpr int DefaultVertOffset = 2;
inline constexpr int TailHeight = 20;

// The balloon's colour: pale yellow, cream on an 8-bit display. Chosen once.
QColor DialogColor();

// The borderless balloon window. Built by CreateRgnDialog.
class TfRgnDialog : public QDialog
{
    Q_OBJECT
public:
    explicit TfRgnDialog(QWidget* Parent);

    QLabel* Message = nullptr; // object name "Message"
    QLabel* Image = nullptr;   // object name "Image"; null without icon
    int HorzOffset = DefaultHorzOffset;
    int VertOffset = DefaultVertOffset;
    QString HelpTopic;

    TTailPosition Tail() const { return m_tail; }
    // Adds, moves or removes the tail: the window grows or shrinks by the
    // tail's height, and a top tail moves the contents down below it.
    void SetTail(TTailPosition Tail);
    // Places the dialog at Anchor (above it when there is room, below it
    // otherwise), or centred on the main window without an anchor.
    void PlaceAt(QWidget* Anchor);
    // The window region now in use, and the outline it is drawn with.
    QRegion Region() const { return m_region; }
    QPainterPath Outline() const { return m_outline; }
    // Rebuilds the region from the current size.
    void UpdateRegion();

    THSFlatButton* Button(TMsgDlgBtn Which) const;
    THSFlatButton* DefaultButton() const { return m_default; }
    THSFlatButton* CancelButton() const { return m_cancel; }

protected:
    void paintEvent(QPaintEvent* Event) override;
    void showEvent(QShowEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void changeEvent(QEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void reject() override;

private:
    friend std::unique_ptr<TfRgnDialog> CreateRgnDialog(const QString&, TMsgDlgType, TMsgDlgButtons,
                                                        int, int, QWidget*);
    TTailPosition m_tail = tpNone;
    QRegion m_region;
    QPainterPath m_outline;
    THSFlatButton* m_default = nullptr;
    THSFlatButton* m_cancel = nullptr;
    QPoint m_dragFrom; // manual drag where the window manager cannot move us
    bool m_dragging = false;
};

// Builds a dialog without showing it.
std::unique_ptr<TfRgnDialog> CreateRgnDialog(const QString& Msg, TMsgDlgType DlgType,
                                             TMsgDlgButtons Buttons, int VertOffset, int HorzOffset,
                                             QWidget* Anchor);
// Builds, shows modally and releases a dialog; the pressed button's result.
int ShowRgnDialog(const QString& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int VertOffset,
                  int HorzOffset, QWidget* Anchor, const QString& HelpTopic = QString());

// Fills a format's %s and %d with Args in order ("%%" is a percent sign).
// The arguments are taken as they are, never scanned for further marks.
QString Format(const QString& Fmt, const QStringList& Args);

// The wrappers the program uses. An anchor that is a whole window (or none)
// centres the dialog on that window (or on the main window), without tail.
int ErrorBox(const QString& Text, QWidget* Anchor = nullptr, int HorzOffset = DefaultHorzOffset,
             int VertOffset = DefaultVertOffset);
int WarningBox(const QString& Text, QWidget* Anchor = nullptr, int HorzOffset = DefaultHorzOffset,
               int VertOffset = DefaultVertOffset);
void WarningBoxFmt(const QString& Fmt, const QStringList& Args, int HorzOffset = DefaultHorzOffset,
                   int VertOffset = DefaultVertOffset, QWidget* Anchor = nullptr);
bool AskYesNo(const QString& Text, QWidget* Anchor = nullptr, int HorzOffset = DefaultHorzOffset,
              int VertOffset = DefaultVertOffset);
bool AskYesNoFmt(const QString& Fmt, const QStringList& Args, int HorzOffset = DefaultHorzOffset,
                 int VertOffset = DefaultVertOffset, QWidget* Anchor = nullptr);
// The application's report of an error no command handled: "Quillmere"
// caption, stop icon, OK.
void ApplicationError(const QString& Text);

// Test hook: the next dialog is not shown and returns Answer instead.
void SetNextAnswer(QMessageBox::StandardButton Answer);
// Test hook: every dialog is answered by Handler (kind, text) without showing.
void SetHandler(
    std::function<QMessageBox::StandardButton(QMessageBox::Icon, const QString&)> Handler);
// The text of the last dialog asked for, shown or answered by a hook.
QString LastMessage();

} // namespace HSDialogs

Q_DECLARE_OPERATORS_FOR_FLAGS(HSDialogs::TMsgDlgButtons)
