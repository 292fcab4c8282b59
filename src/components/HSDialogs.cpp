#include "components/HSDialogs.h"
#include "components/HSFlatButton.h"
#include "utils/MySysUtils.h"

#include <QApplication>
#include <QBitmap>
#include <QDir>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QWindow>

namespace HSDialogs
{
namespace
{

QMessageBox::StandardButton g_nextAnswer = QMessageBox::NoButton;
std::function<QMessageBox::StandardButton(QMessageBox::Icon, const QString&)> g_handler;
QString g_last;

struct TButtonInfo {
    TMsgDlgBtn Button;
    const char* Caption;
    const char* Name;
    int Result;
};

// Fixed order, captions, control names and results of the buttons.
constexpr TButtonInfo ButtonTable[] = {
    {mbYes, "Yes", "Yes", mrYes},
    {mbNo, "No", "No", mrNo},
    {mbOK, "OK", "OK", mrOk},
    {mbCancel, "Cancel", "Cancel", mrCancel},
    {mbAbort, "Abort", "Abort", mrAbort},
    {mbRetry, "Retry", "Retry", mrRetry},
    {mbIgnore, "Ignore", "Ignore", mrIgnore},
    {mbAll, "All", "All", mrAll},
    {mbNoToAll, "No To All", "NoToAll", mrNoToAll},
    {mbYesToAll, "Yes To All", "YesToAll", mrYesToAll},
    {mbHelp, "Help", "Help", mrNone},
};

int mulDiv(int a, int b, int c)
{
    return int((qint64(a) * b + c / 2) / c);
}

QFont messageFont()
{
    return QApplication::font("QMessageBoxLabel");
}

// Captions are measured once per run.
int captionWidth(const QFontMetrics& Metrics, const QString& Caption)
{
    static QHash<QString, int> widths;
    auto it = widths.find(Caption);
    if (it == widths.end())
        it = widths.insert(Caption, Metrics.horizontalAdvance(Caption));
    return *it;
}

QWidget* mainWindow()
{
    QWidget* hidden = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMainWindow*>(w)) {
            if (w->isVisible())
                return w;
            if (!hidden)
                hidden = w;
        }
    }
    return hidden;
}

QStyle::StandardPixmap iconOf(TMsgDlgType Type)
{
    switch (Type) {
    case mtWarning:
        return QStyle::SP_MessageBoxWarning;
    case mtError:
        return QStyle::SP_MessageBoxCritical;
    case mtInformation:
        return QStyle::SP_MessageBoxInformation;
    case mtConfirmation:
        return QStyle::SP_MessageBoxQuestion;
    case mtCustom:
        break;
    }
    return QStyle::SP_CustomBase;
}

QMessageBox::Icon hookIconOf(TMsgDlgType Type)
{
    switch (Type) {
    case mtWarning:
        return QMessageBox::Warning;
    case mtError:
        return QMessageBox::Critical;
    case mtInformation:
        return QMessageBox::Information;
    case mtConfirmation:
        return QMessageBox::Question;
    case mtCustom:
        break;
    }
    return QMessageBox::NoIcon;
}

int resultOf(QMessageBox::StandardButton Answer)
{
    switch (Answer) {
    case QMessageBox::Ok:
        return mrOk;
    case QMessageBox::Yes:
        return mrYes;
    case QMessageBox::No:
        return mrNo;
    case QMessageBox::Abort:
        return mrAbort;
    case QMessageBox::Retry:
        return mrRetry;
    case QMessageBox::Ignore:
        return mrIgnore;
    case QMessageBox::YesToAll:
        return mrYesToAll;
    case QMessageBox::NoToAll:
        return mrNoToAll;
    default:
        return mrCancel;
    }
}

// The message as the label shows it: the program writes line breaks as \r.
QString displayText(QString Text)
{
    Text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Text.replace(u'\r', u'\n');
    return Text;
}

} // namespace

QColor DialogColor()
{
    static const QColor color = [] {
        const QScreen* screen = QGuiApplication::primaryScreen();
        return screen && screen->depth() == 8 ? QColor(255, 251, 240) : QColor(255, 255, 204);
    }();
    return color;
}

// ---------------------------------------------------------------- the dialog

TfRgnDialog::TfRgnDialog(QWidget* Parent) : QDialog(Parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setWindowTitle(QStringLiteral("Quillmere"));
    setFont(messageFont());
    QPalette pal = palette();
    pal.setColor(QPalette::Window, DialogColor());
    setPalette(pal);
    setAutoFillBackground(true);
}

void TfRgnDialog::SetTail(TTailPosition Tail)
{
    if (Tail == m_tail)
        return;
    const int shiftBefore = m_tail == tpTop ? TailHeight : 0;
    const int shiftAfter = Tail == tpTop ? TailHeight : 0;
    const int grow = (Tail != tpNone ? TailHeight : 0) - (m_tail != tpNone ? TailHeight : 0);
    for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        child->move(child->x(), child->y() + shiftAfter - shiftBefore);
    m_tail = Tail;
    setFixedSize(width(), height() + grow);
    UpdateRegion();
}

void TfRgnDialog::PlaceAt(QWidget* Anchor)
{
    if (!Anchor || Anchor->isWindow()) {
        SetTail(tpNone);
        QWidget* over = Anchor ? Anchor : mainWindow();
        if (over && over->isVisible())
            move(over->frameGeometry().center() - rect().center());
        else if (const QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
        return;
    }
    const QPoint corner = Anchor->mapToGlobal(QPoint(0, 0));
    const QScreen* screen = Anchor->screen();
    const int screenTop = screen ? screen->geometry().top() : 0;
    const int caption = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
    const int bodyHeight = height() - (m_tail != tpNone ? TailHeight : 0);
    int top;
    if (2 * caption + bodyHeight + TailHeight < corner.y() - screenTop) {
        SetTail(tpBottom); // room above: the tail points down at the control
        top = corner.y() + 1 - VertOffset - height();
    } else {
        SetTail(tpTop);
        top = corner.y() + Anchor->height() + VertOffset - 1;
    }
    move(corner.x() + HorzOffset - 40, top);
}

void TfRgnDialog::UpdateRegion()
{
    const int w = width(), h = height();
    const int bodyTop = m_tail == tpTop ? TailHeight : 0;
    const int bodyBottom = m_tail == tpBottom ? h - TailHeight : h;
    // Whole-pixel coordinates: the aliased 1-pixel pen covers the pixels right
    // of and below them, so the outline lies on the region's edge pixels.
    QPainterPath body;
    body.addRoundedRect(QRectF(0, bodyTop, w - 1, bodyBottom - bodyTop - 1), 10, 10);
    QPainterPath outline = body;
    if (m_tail != tpNone) {
        // The base reaches one pixel into the body so the two join.
        QPolygonF tail;
        if (m_tail == tpTop)
            tail << QPointF(40, TailHeight + 1) << QPointF(40, 0) << QPointF(50, TailHeight + 1);
        else
            tail << QPointF(40, h - TailHeight - 2) << QPointF(40, h - 1)
                 << QPointF(50, h - TailHeight - 2);
        QPainterPath triangle;
        triangle.addPolygon(tail);
        triangle.closeSubpath();
        outline = body.united(triangle);
    }
    m_outline = outline.simplified();

    // The region is exactly what painting the outline and its inside covers.
    QBitmap mask(w, h);
    mask.fill(Qt::color0);
    {
        QPainter p(&mask);
        p.setPen(QPen(Qt::color1, 1));
        p.setBrush(Qt::color1);
        p.drawPath(m_outline);
    }
    m_region = QRegion(mask);
    setMask(m_region);
    update();
}

THSFlatButton* TfRgnDialog::Button(TMsgDlgBtn Which) const
{
    for (const TButtonInfo& b : ButtonTable)
        if (b.Button == Which)
            return findChild<THSFlatButton*>(QLatin1String(b.Name), Qt::FindDirectChildrenOnly);
    return nullptr;
}

void TfRgnDialog::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(m_outline);
}

void TfRgnDialog::showEvent(QShowEvent* Event)
{
    UpdateRegion();
    QDialog::showEvent(Event);
}

void TfRgnDialog::resizeEvent(QResizeEvent* Event)
{
    QDialog::resizeEvent(Event);
    UpdateRegion();
}

void TfRgnDialog::changeEvent(QEvent* Event)
{
    if (Event->type() == QEvent::ActivationChange && isActiveWindow())
        UpdateRegion();
    QDialog::changeEvent(Event);
}

void TfRgnDialog::keyPressEvent(QKeyEvent* Event)
{
    if (Event->key() == Qt::Key_Escape && Event->modifiers() == Qt::NoModifier) {
        // Escape answers with the cancel button; without one it does nothing.
        if (m_cancel)
            done(m_cancel->property("ModalResult").toInt());
        Event->accept();
        return;
    }
    QDialog::keyPressEvent(Event);
}

void TfRgnDialog::mousePressEvent(QMouseEvent* Event)
{
    if (Event->button() != Qt::LeftButton)
        return QDialog::mousePressEvent(Event);
    // The whole surface outside the buttons acts as a title bar.
    if (windowHandle() && windowHandle()->startSystemMove())
        return;
    m_dragging = true;
    m_dragFrom = Event->globalPosition().toPoint() - pos();
}

void TfRgnDialog::mouseMoveEvent(QMouseEvent* Event)
{
    if (m_dragging)
        move(Event->globalPosition().toPoint() - m_dragFrom);
    else
        QDialog::mouseMoveEvent(Event);
}

void TfRgnDialog::mouseReleaseEvent(QMouseEvent* Event)
{
    m_dragging = false;
    QDialog::mouseReleaseEvent(Event);
}

void TfRgnDialog::reject()
{
    // Closed by the window manager or otherwise: Cancel, read as No by the
    // yes/no questions.
    done(mrCancel);
}

// ---------------------------------------------------------------- building

std::unique_ptr<TfRgnDialog> CreateRgnDialog(const QString& Msg, TMsgDlgType DlgType,
                                             TMsgDlgButtons Buttons, int VertOffset, int HorzOffset,
                                             QWidget* Anchor)
{
    QWidget* owner = Anchor ? Anchor->window() : mainWindow();
    auto dlg = std::make_unique<TfRgnDialog>(owner);
    const QFontMetrics fm(dlg->font());

    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int aveWidth = fm.horizontalAdvance(letters) / 52;
    const int aveHeight = fm.height();
    const int hMargin = mulDiv(8, aveWidth, 4), vMargin = mulDiv(8, aveHeight, 8);
    const int hSpacing = mulDiv(10, aveWidth, 4), vSpacing = mulDiv(10, aveHeight, 8);
    const int buttonHeight = mulDiv(14, aveHeight, 8), buttonSpacing = mulDiv(4, aveWidth, 4);
    int buttonWidth = mulDiv(50, aveWidth, 4);
    int buttonCount = 0;
    for (const TButtonInfo& b : ButtonTable) {
        if (Buttons & b.Button) {
            ++buttonCount;
            buttonWidth = qMax(buttonWidth, captionWidth(fm, QLatin1String(b.Caption)) + 8);
        }
    }

    const QScreen* screen = Anchor ? Anchor->screen() : QGuiApplication::primaryScreen();
    const int wrapWidth = screen ? screen->geometry().width() / 2 : 512;
    const QString text = displayText(Msg);
    const QRect textRect =
        fm.boundingRect(QRect(0, 0, wrapWidth, 0), Qt::TextWordWrap | Qt::TextExpandTabs, text);

    const bool hasIcon = DlgType != mtCustom;
    const int iconSide = 32;
    const int contentWidth = textRect.width() + (hasIcon ? iconSide + hSpacing : 0);
    const int contentHeight = hasIcon ? qMax(textRect.height(), iconSide) : textRect.height();
    const int rowWidth = buttonCount * buttonWidth + qMax(0, buttonCount - 1) * buttonSpacing;
    const int clientWidth = qMax(contentWidth, rowWidth) + 2 * hMargin;
    const int clientHeight = contentHeight + buttonHeight + vSpacing + 2 * vMargin;
    dlg->setFixedSize(clientWidth, clientHeight);
    if (screen)
        dlg->move(screen->geometry().center() - dlg->rect().center());

    const bool rtl = QApplication::isRightToLeft();
    auto place = [&](QWidget* w, const QRect& r) {
        w->setGeometry(rtl ? QRect(clientWidth - r.x() - r.width(), r.y(), r.width(), r.height())
                           : r);
    };

    if (hasIcon) {
        dlg->Image = new QLabel(dlg.get());
        dlg->Image->setObjectName(QStringLiteral("Image"));
        dlg->Image->setPixmap(
            dlg->style()->standardIcon(iconOf(DlgType), nullptr, dlg.get()).pixmap(iconSide));
        dlg->Image->setAttribute(Qt::WA_TransparentForMouseEvents);
        place(dlg->Image, QRect(hMargin, vMargin, iconSide, iconSide));
    }
    dlg->Message = new QLabel(dlg.get());
    dlg->Message->setObjectName(QStringLiteral("Message"));
    dlg->Message->setTextFormat(Qt::PlainText); // a path like "<b>" stays text
    dlg->Message->setWordWrap(true);
    dlg->Message->setAlignment(rtl ? Qt::AlignRight | Qt::AlignTop : Qt::AlignLeft | Qt::AlignTop);
    dlg->Message->setText(text);
    dlg->Message->setAttribute(Qt::WA_TransparentForMouseEvents);
    place(dlg->Message, QRect(hMargin + (hasIcon ? iconSide + hSpacing : 0), vMargin,
                              textRect.width(), textRect.height()));

    // Default: OK, else Yes, else Retry. Cancel: Cancel, else No, else OK.
    const TMsgDlgBtn defaults[] = {mbOK, mbYes, mbRetry};
    const TMsgDlgBtn cancels[] = {mbCancel, mbNo, mbOK};
    TMsgDlgBtn defaultButton = TMsgDlgBtn(0), cancelButton = TMsgDlgBtn(0);
    for (TMsgDlgBtn b : defaults)
        if (!defaultButton && (Buttons & b))
            defaultButton = b;
    for (TMsgDlgBtn b : cancels)
        if (!cancelButton && (Buttons & b))
            cancelButton = b;

    const QColor background = DialogColor();
    const QColor buttonFace = dlg->palette().color(QPalette::Button);
    int x = (clientWidth - rowWidth) / 2;
    const int y = contentHeight + vMargin + vSpacing;
    TfRgnDialog* d = dlg.get();
    for (const TButtonInfo& info : ButtonTable) {
        if (!(Buttons & info.Button))
            continue;
        auto* button = new THSFlatButton(QLatin1String(info.Caption), d);
        button->setObjectName(QLatin1String(info.Name));
        button->setProperty("ModalResult", info.Result);
        button->SetShape(hbsRoundRect);
        button->SetColor(background);
        button->SetDownColor(background);
        button->SetFocusRectColor(Qt::black);
        button->SetBorderColor(background == buttonFace ? QColor(Qt::black) : buttonFace);
        button->setAutoDefault(true);
        place(button, QRect(x, y, buttonWidth, buttonHeight));
        x += buttonWidth + buttonSpacing;
        if (info.Button == mbHelp) {
            // The help file has no topics: Help opens it and leaves the dialog up.
            QObject::connect(button, &QPushButton::clicked, d, [] {
                MySysUtils::OpenURL(
                    QDir(QApplication::applicationDirPath()).filePath(QStringLiteral("help.html")));
            });
        } else {
            QObject::connect(button, &QPushButton::clicked, d,
                             [d, r = info.Result] { d->done(r); });
        }
        if (info.Button == defaultButton) {
            button->setDefault(true);
            d->setFocusProxy(button);
            d->m_default = button;
        }
        if (info.Button == cancelButton)
            d->m_cancel = button;
    }
    if (d->m_default)
        d->m_default->setFocus();

    d->HorzOffset = HorzOffset;
    d->VertOffset = VertOffset;
    d->PlaceAt(Anchor);
    d->UpdateRegion();
    return dlg;
}

int ShowRgnDialog(const QString& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int VertOffset,
                  int HorzOffset, QWidget* Anchor, const QString& HelpTopic)
{
    g_last = Msg;
    if (g_nextAnswer != QMessageBox::NoButton) {
        const auto answer = g_nextAnswer;
        g_nextAnswer = QMessageBox::NoButton;
        return resultOf(answer);
    }
    if (g_handler)
        return resultOf(g_handler(hookIconOf(DlgType), Msg));
    std::unique_ptr<TfRgnDialog> dlg =
        CreateRgnDialog(Msg, DlgType, Buttons, VertOffset, HorzOffset, Anchor);
    dlg->HelpTopic = HelpTopic;
    return dlg->exec();
}

QString Format(const QString& Fmt, const QStringList& Args)
{
    QString out;
    out.reserve(Fmt.size());
    int next = 0;
    for (qsizetype i = 0; i < Fmt.size(); ++i) {
        const QChar c = Fmt.at(i);
        if (c == u'%' && i + 1 < Fmt.size()) {
            const QChar kind = Fmt.at(i + 1);
            if (kind == u'%') {
                out += u'%';
                ++i;
                continue;
            }
            if (kind == u's' || kind == u'd') {
                out += Args.value(next++);
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

// ---------------------------------------------------------------- wrappers

int ErrorBox(const QString& Text, QWidget* Anchor, int HorzOffset, int VertOffset)
{
    return ShowRgnDialog(Text, mtError, mbOK, VertOffset, HorzOffset, Anchor);
}

int WarningBox(const QString& Text, QWidget* Anchor, int HorzOffset, int VertOffset)
{
    return ShowRgnDialog(Text, mtWarning, mbOK, VertOffset, HorzOffset, Anchor);
}

void WarningBoxFmt(const QString& Fmt, const QStringList& Args, int HorzOffset, int VertOffset,
                   QWidget* Anchor)
{
    WarningBox(Format(Fmt, Args), Anchor, HorzOffset, VertOffset);
}

bool AskYesNo(const QString& Text, QWidget* Anchor, int HorzOffset, int VertOffset)
{
    return ShowRgnDialog(Text, mtConfirmation, mbYes | mbNo, VertOffset, HorzOffset, Anchor) ==
           mrYes;
}

bool AskYesNoFmt(const QString& Fmt, const QStringList& Args, int HorzOffset, int VertOffset,
                 QWidget* Anchor)
{
    return AskYesNo(Format(Fmt, Args), Anchor, HorzOffset, VertOffset);
}

void ApplicationError(const QString& Text)
{
    ErrorBox(Text, QApplication::activeWindow());
}

// ---------------------------------------------------------------- test hooks

void SetNextAnswer(QMessageBox::StandardButton Answer)
{
    g_nextAnswer = Answer;
}

void SetHandler(
    std::function<QMessageBox::StandardButton(QMessageBox::Icon, const QString&)> Handler)
{
    g_handler = std::move(Handler);
}

QString LastMessage()
{
    return g_last;
}

} // namespace HSDialogs
