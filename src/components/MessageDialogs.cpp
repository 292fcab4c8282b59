#include "components/MessageDialogs.h"
#include "components/FlatButton.h"
#include "utils/Desktop.h"
#include "utils/Installation.h"

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

namespace MessageDialogs
{
namespace
{

QMessageBox::StandardButton g_nextAnswer = QMessageBox::NoButton;
std::function<QMessageBox::StandardButton(QMessageBox::Icon, const QString&)> g_handler;
QString g_last;

struct ButtonInfo {
    QMessageBox::StandardButton button;
    const char* caption;
    const char* name;
};

// Fixed order, captions and control names of the buttons; a pressed button
// answers itself. The underlined letters answer the dialog; no two buttons
// share one. OK and Cancel answer to Enter and Escape.
constexpr ButtonInfo ButtonTable[] = {
    {QMessageBox::Yes, QT_TRANSLATE_NOOP("MessageDialogs", "&Yes"), "Yes"},
    {QMessageBox::No, QT_TRANSLATE_NOOP("MessageDialogs", "&No"), "No"},
    {QMessageBox::Ok, QT_TRANSLATE_NOOP("MessageDialogs", "OK"), "OK"},
    {LocateButton, QT_TRANSLATE_NOOP("MessageDialogs", "Lo&cate..."), "Locate"},
    {QMessageBox::Cancel, QT_TRANSLATE_NOOP("MessageDialogs", "Cancel"), "Cancel"},
    {QMessageBox::Abort, QT_TRANSLATE_NOOP("MessageDialogs", "&Abort"), "Abort"},
    {QMessageBox::Retry, QT_TRANSLATE_NOOP("MessageDialogs", "&Retry"), "Retry"},
    {QMessageBox::Ignore, QT_TRANSLATE_NOOP("MessageDialogs", "&Ignore"), "Ignore"},
    {AllButton, QT_TRANSLATE_NOOP("MessageDialogs", "A&ll"), "All"},
    {QMessageBox::NoToAll, QT_TRANSLATE_NOOP("MessageDialogs", "N&o To All"), "NoToAll"},
    {QMessageBox::YesToAll, QT_TRANSLATE_NOOP("MessageDialogs", "Yes &To All"), "YesToAll"},
    {QMessageBox::Help, QT_TRANSLATE_NOOP("MessageDialogs", "&Help"), "Help"},
};

QString captionOf(const ButtonInfo& info)
{
    return QCoreApplication::translate("MessageDialogs", info.caption);
}

int mulDiv(int a, int b, int c)
{
    return int((qint64(a) * b + c / 2) / c);
}

QFont messageFont()
{
    return QApplication::font("QMessageBoxLabel");
}

// Captions are measured once per run.
int captionWidth(const QFontMetrics& metrics, const QString& caption)
{
    static QHash<QString, int> widths;
    auto it = widths.find(caption);
    if (it == widths.end())
        it = widths.insert(caption, metrics.horizontalAdvance(caption));
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

QStyle::StandardPixmap pixmapOf(QMessageBox::Icon icon)
{
    switch (icon) {
    case QMessageBox::Warning:
        return QStyle::SP_MessageBoxWarning;
    case QMessageBox::Critical:
        return QStyle::SP_MessageBoxCritical;
    case QMessageBox::Information:
        return QStyle::SP_MessageBoxInformation;
    case QMessageBox::Question:
        return QStyle::SP_MessageBoxQuestion;
    case QMessageBox::NoIcon:
        break;
    }
    return QStyle::SP_CustomBase;
}

// A hook's answer as a dialog could have given it: anything no button of
// ours stands for reads as Cancel.
QMessageBox::StandardButton hookAnswer(QMessageBox::StandardButton answer)
{
    switch (answer) {
    case QMessageBox::Ok:
    case QMessageBox::Yes:
    case QMessageBox::No:
    case QMessageBox::Abort:
    case QMessageBox::Retry:
    case QMessageBox::Ignore:
    case QMessageBox::YesToAll:
    case QMessageBox::NoToAll:
    case LocateButton:
        return answer;
    default:
        return QMessageBox::Cancel;
    }
}

// The message as the label shows it: the program writes line breaks as \r.
QString displayText(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

} // namespace

QColor dialogColor()
{
    static const QColor color = [] {
        const QScreen* screen = QGuiApplication::primaryScreen();
        return screen && screen->depth() == 8 ? QColor(255, 251, 240) : QColor(255, 255, 204);
    }();
    return color;
}

// ---------------------------------------------------------------- the dialog

BalloonDialog::BalloonDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setWindowTitle(QStringLiteral("Quillmere"));
    setFont(messageFont());
    QPalette pal = palette();
    pal.setColor(QPalette::Window, dialogColor());
    setPalette(pal);
    setAutoFillBackground(true);
}

void BalloonDialog::setTail(TailPosition tail)
{
    if (tail == m_tail)
        return;
    const int shiftBefore = m_tail == tpTop ? TailHeight : 0;
    const int shiftAfter = tail == tpTop ? TailHeight : 0;
    const int grow = (tail != tpNone ? TailHeight : 0) - (m_tail != tpNone ? TailHeight : 0);
    for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        child->move(child->x(), child->y() + shiftAfter - shiftBefore);
    m_tail = tail;
    setFixedSize(width(), height() + grow);
    updateRegion();
}

void BalloonDialog::placeAt(QWidget* anchor)
{
    if (!anchor || anchor->isWindow()) {
        setTail(tpNone);
        QWidget* over = anchor ? anchor : mainWindow();
        if (over && over->isVisible())
            move(over->frameGeometry().center() - rect().center());
        else if (const QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
        return;
    }
    const QPoint corner = anchor->mapToGlobal(QPoint(0, 0));
    const QScreen* screen = anchor->screen();
    const int screenTop = screen ? screen->geometry().top() : 0;
    const int caption = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
    const int bodyHeight = height() - (m_tail != tpNone ? TailHeight : 0);
    int top;
    if (2 * caption + bodyHeight + TailHeight < corner.y() - screenTop) {
        setTail(tpBottom); // room above: the tail points down at the control
        top = corner.y() + 1 - vertOffset - height();
    } else {
        setTail(tpTop);
        top = corner.y() + anchor->height() + vertOffset - 1;
    }
    move(corner.x() + horzOffset - 40, top);
}

void BalloonDialog::updateRegion()
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

FlatButton* BalloonDialog::button(QMessageBox::StandardButton which) const
{
    for (const ButtonInfo& b : ButtonTable)
        if (b.button == which)
            return findChild<FlatButton*>(QLatin1String(b.name), Qt::FindDirectChildrenOnly);
    return nullptr;
}

void BalloonDialog::setDefaultButton(QMessageBox::StandardButton which)
{
    FlatButton* chosen = button(which);
    if (!chosen)
        return;
    if (m_default)
        m_default->setDefault(false);
    m_default = chosen;
    chosen->setDefault(true);
    setFocusProxy(chosen);
    chosen->setFocus();
}

void BalloonDialog::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(m_outline);
}

void BalloonDialog::showEvent(QShowEvent* event)
{
    updateRegion();
    QDialog::showEvent(event);
}

void BalloonDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    updateRegion();
}

void BalloonDialog::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        updateRegion();
    QDialog::changeEvent(event);
}

void BalloonDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        // Escape answers with the cancel button; without one it does nothing.
        if (m_cancel)
            done(m_cancel->property("answer").toInt());
        event->accept();
        return;
    }
    // A button's underlined letter, alone or with Shift, presses it (with
    // Alt the button's own shortcut does).
    if (!(event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier))) {
        for (FlatButton* b : findChildren<FlatButton*>(Qt::FindDirectChildrenOnly)) {
            const QKeySequence letter = QKeySequence::mnemonic(b->text());
            if (!letter.isEmpty() && letter[0].key() == event->key() && b->isEnabled()) {
                event->accept();
                b->click();
                return;
            }
        }
    }
    QDialog::keyPressEvent(event);
}

void BalloonDialog::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QDialog::mousePressEvent(event);
    // The whole surface outside the buttons acts as a title bar.
    if (windowHandle() && windowHandle()->startSystemMove())
        return;
    m_dragging = true;
    m_dragFrom = event->globalPosition().toPoint() - pos();
}

void BalloonDialog::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging)
        move(event->globalPosition().toPoint() - m_dragFrom);
    else
        QDialog::mouseMoveEvent(event);
}

void BalloonDialog::mouseReleaseEvent(QMouseEvent* event)
{
    m_dragging = false;
    QDialog::mouseReleaseEvent(event);
}

void BalloonDialog::reject()
{
    // Closed by the window manager or otherwise: Cancel, read as No by the
    // yes/no questions.
    done(QMessageBox::Cancel);
}

// ---------------------------------------------------------------- building

std::unique_ptr<BalloonDialog> createRgnDialog(const QString& msg, QMessageBox::Icon icon,
                                               QMessageBox::StandardButtons buttons, int vertOffset,
                                               int horzOffset, QWidget* anchor)
{
    QWidget* owner = anchor ? anchor->window() : mainWindow();
    auto dlg = std::make_unique<BalloonDialog>(owner);
    const QFontMetrics fm(dlg->font());

    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int aveWidth = fm.horizontalAdvance(letters) / 52;
    const int aveHeight = fm.height();
    const int hMargin = mulDiv(8, aveWidth, 4), vMargin = mulDiv(8, aveHeight, 8);
    const int hSpacing = mulDiv(10, aveWidth, 4), vSpacing = mulDiv(10, aveHeight, 8);
    const int buttonHeight = mulDiv(14, aveHeight, 8), buttonSpacing = mulDiv(4, aveWidth, 4);
    int buttonWidth = mulDiv(50, aveWidth, 4);
    int buttonCount = 0;
    for (const ButtonInfo& b : ButtonTable) {
        if (buttons & b.button) {
            ++buttonCount;
            buttonWidth = qMax(buttonWidth, captionWidth(fm, captionOf(b)) + 8);
        }
    }

    const QScreen* screen = anchor ? anchor->screen() : QGuiApplication::primaryScreen();
    const int wrapWidth = screen ? screen->geometry().width() / 2 : 512;
    const QString text = displayText(msg);
    const QRect textRect =
        fm.boundingRect(QRect(0, 0, wrapWidth, 0), Qt::TextWordWrap | Qt::TextExpandTabs, text);

    const bool hasIcon = icon != QMessageBox::NoIcon;
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
        dlg->image = new QLabel(dlg.get());
        dlg->image->setObjectName(QStringLiteral("Image"));
        dlg->image->setPixmap(
            dlg->style()->standardIcon(pixmapOf(icon), nullptr, dlg.get()).pixmap(iconSide));
        dlg->image->setAttribute(Qt::WA_TransparentForMouseEvents);
        place(dlg->image, QRect(hMargin, vMargin, iconSide, iconSide));
    }
    dlg->message = new QLabel(dlg.get());
    dlg->message->setObjectName(QStringLiteral("Message"));
    dlg->message->setTextFormat(Qt::PlainText); // a path like "<b>" stays text
    dlg->message->setWordWrap(true);
    dlg->message->setAlignment(rtl ? Qt::AlignRight | Qt::AlignTop : Qt::AlignLeft | Qt::AlignTop);
    dlg->message->setText(text);
    dlg->message->setAttribute(Qt::WA_TransparentForMouseEvents);
    place(dlg->message, QRect(hMargin + (hasIcon ? iconSide + hSpacing : 0), vMargin,
                              textRect.width(), textRect.height()));

    // Default: OK, else Yes, else Retry. Cancel: Cancel, else No, else OK.
    const QMessageBox::StandardButton defaults[] = {QMessageBox::Ok, QMessageBox::Yes,
                                                    QMessageBox::Retry};
    const QMessageBox::StandardButton cancels[] = {QMessageBox::Cancel, QMessageBox::No,
                                                   QMessageBox::Ok};
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton,
                                cancelButton = QMessageBox::NoButton;
    for (QMessageBox::StandardButton b : defaults)
        if (!defaultButton && (buttons & b))
            defaultButton = b;
    for (QMessageBox::StandardButton b : cancels)
        if (!cancelButton && (buttons & b))
            cancelButton = b;

    const QColor background = dialogColor();
    const QColor buttonFace = dlg->palette().color(QPalette::Button);
    int x = (clientWidth - rowWidth) / 2;
    const int y = contentHeight + vMargin + vSpacing;
    BalloonDialog* d = dlg.get();
    for (const ButtonInfo& info : ButtonTable) {
        if (!(buttons & info.button))
            continue;
        auto* button = new FlatButton(captionOf(info), d);
        button->setObjectName(QLatin1String(info.name));
        button->setProperty("answer", int(info.button));
        button->setShape(hbsRoundRect);
        button->setColor(background);
        button->setDownColor(background);
        button->setFocusRectColor(Qt::black);
        button->setBorderColor(background == buttonFace ? QColor(Qt::black) : buttonFace);
        button->setAutoDefault(true);
        place(button, QRect(x, y, buttonWidth, buttonHeight));
        x += buttonWidth + buttonSpacing;
        if (info.button == QMessageBox::Help) {
            // The help file has no topics: Help opens it and leaves the dialog up.
            QObject::connect(button, &QPushButton::clicked, d, [] {
                Desktop::openUrl(Installation::helpFile(QApplication::applicationDirPath()));
            });
        } else {
            QObject::connect(button, &QPushButton::clicked, d,
                             [d, r = info.button] { d->done(r); });
        }
        if (info.button == defaultButton) {
            button->setDefault(true);
            d->setFocusProxy(button);
            d->m_default = button;
        }
        if (info.button == cancelButton)
            d->m_cancel = button;
    }
    if (d->m_default)
        d->m_default->setFocus();

    d->horzOffset = horzOffset;
    d->vertOffset = vertOffset;
    d->placeAt(anchor);
    d->updateRegion();
    return dlg;
}

QMessageBox::StandardButton showRgnDialog(const QString& msg, QMessageBox::Icon icon,
                                          QMessageBox::StandardButtons buttons, int vertOffset,
                                          int horzOffset, QWidget* anchor, const QString& helpTopic)
{
    g_last = msg;
    if (g_nextAnswer != QMessageBox::NoButton)
        return hookAnswer(std::exchange(g_nextAnswer, QMessageBox::NoButton));
    if (g_handler)
        return hookAnswer(g_handler(icon, msg));
    std::unique_ptr<BalloonDialog> dlg =
        createRgnDialog(msg, icon, buttons, vertOffset, horzOffset, anchor);
    dlg->helpTopic = helpTopic;
    return QMessageBox::StandardButton(dlg->exec());
}

// ---------------------------------------------------------------- wrappers

void errorBox(const QString& text, QWidget* anchor, int horzOffset, int vertOffset)
{
    showRgnDialog(text, QMessageBox::Critical, QMessageBox::Ok, vertOffset, horzOffset, anchor);
}

void warningBox(const QString& text, QWidget* anchor, int horzOffset, int vertOffset)
{
    showRgnDialog(text, QMessageBox::Warning, QMessageBox::Ok, vertOffset, horzOffset, anchor);
}

bool askYesNo(const QString& text, QWidget* anchor, int horzOffset, int vertOffset)
{
    return showRgnDialog(text, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
                         vertOffset, horzOffset, anchor) == QMessageBox::Yes;
}

QMessageBox::StandardButton
askWithButtons(const QString& text,
               const std::vector<std::pair<QMessageBox::StandardButton, QString>>& buttons,
               QMessageBox::StandardButton defaultButton, QWidget* anchor)
{
    g_last = text;
    if (g_nextAnswer != QMessageBox::NoButton)
        return hookAnswer(std::exchange(g_nextAnswer, QMessageBox::NoButton));
    if (g_handler)
        return hookAnswer(g_handler(QMessageBox::Question, text));
    QMessageBox::StandardButtons which;
    for (const auto& b : buttons)
        which |= b.first;
    std::unique_ptr<BalloonDialog> dlg = createRgnDialog(
        text, QMessageBox::Question, which, DefaultVertOffset, DefaultHorzOffset, anchor);
    for (const auto& [button, caption] : buttons)
        if (FlatButton* b = dlg->button(button))
            b->setText(caption);
    dlg->setDefaultButton(defaultButton);
    return QMessageBox::StandardButton(dlg->exec());
}

void applicationError(const QString& text)
{
    errorBox(text, QApplication::activeWindow());
}

// ---------------------------------------------------------------- test hooks

void setNextAnswer(QMessageBox::StandardButton answer)
{
    g_nextAnswer = answer;
}

void setHandler(
    std::function<QMessageBox::StandardButton(QMessageBox::Icon, const QString&)> handler)
{
    g_handler = std::move(handler);
}

QString lastMessage()
{
    return g_last;
}

} // namespace MessageDialogs
