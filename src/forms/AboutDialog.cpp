#include "forms/AboutDialog.h"
#include "catalogue/Artwork.h"
#include "catalogue/Catalogue.h"
#include "components/MessageDialogs.h"
#include "utils/Desktop.h"

#include <QDir>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace
{

class ClickLabel : public QLabel
{
public:
    using QLabel::QLabel;
    std::function<void()> onClick;

protected:
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        QLabel::mouseReleaseEvent(e);
        if (onClick)
            onClick();
    }
};

QLabel* label(QWidget* parent, const QString& text, const QRect& at, const QString& style)
{
    auto* l = new QLabel(text, parent);
    l->setGeometry(at);
    l->setStyleSheet(style);
    return l;
}

} // namespace

AboutDialog::AboutDialog(bool asSplash, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Quillmere"));
    setWindowFlags(asSplash
                       ? (Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
                       : (Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(225, 183, 235));
    setPalette(pal);

    panel = new QFrame(this);
    panel->setGeometry(8, 8, 282, 161);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(2);
    panel->setObjectName(QStringLiteral("Panel"));
    panel->setStyleSheet(QStringLiteral(
        "#Panel { background: rgb(180,111,188); border: 2px outset rgb(205,160,212); }"));

    programIcon = new QLabel(panel);
    programIcon->setGeometry(10, 10, 32, 32);
    programIcon->setPixmap(Artwork::programIcon().pixmap(32, 32));

    const QString yellow = QStringLiteral("color: yellow; background: transparent;");
    productName = label(panel, QStringLiteral("Quillmere"), {56, 6, 216, 32},
                        yellow + QStringLiteral("font-weight: bold; font-size: 24px;"));
    version = label(panel, QStringLiteral("Version 3.3"), {56, 40, 216, 16},
                    yellow + QStringLiteral("font-weight: bold;"));
    comments =
        label(panel, QStringLiteral("Systemize your any files, folders, URLs by categories!"),
              {10, 62, 262, 34}, yellow);
    comments->setWordWrap(true);
    notice = label(panel, QStringLiteral("\u00a9 Velmarch. Free for personal use."),
                   {10, 98, 262, 16}, yellow);

    const QString link =
        QStringLiteral("color: aqua; text-decoration: underline; background: transparent;");
    auto* url = new ClickLabel(QString::fromUtf16(MakerHomeURL), panel);
    url->setGeometry(10, 118, 262, 16);
    url->setStyleSheet(link);
    url->setCursor(Qt::PointingHandCursor);
    url->onClick = [this] { openWebsite(); };
    lbURL = url;
    auto* mail = new ClickLabel(QString::fromUtf16(SupportEMail), panel);
    mail->setGeometry(10, 136, 262, 16);
    mail->setStyleSheet(link);
    mail->setCursor(Qt::PointingHandCursor);
    mail->onClick = [this] { writeMail(); };
    lbEmail = mail;

    okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setGeometry(111, 178, 75, 25);
    okButton->setDefault(true);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);

    // As a splash the button row is cut off.
    if (asSplash)
        okButton->hide();
    setFixedSize(298, asSplash ? 177 : 213);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

void AboutDialog::showDataFolder(const QString& folder)
{
    constexpr int Left = 8, Top = 176, LabelHeight = 16, FieldHeight = 22, Gap = 4;
    auto* caption = new QLabel(QStringLiteral("Catalogue folder:"), this);
    caption->setGeometry(Left, Top, width() - 2 * Left, LabelHeight);
    dataFolder = new QLineEdit(QDir::toNativeSeparators(folder), this);
    dataFolder->setObjectName(QStringLiteral("DataFolder"));
    dataFolder->setReadOnly(true);
    dataFolder->setToolTip(dataFolder->text());
    dataFolder->setCursorPosition(0);
    dataFolder->setGeometry(Left, Top + LabelHeight, width() - 2 * Left, FieldHeight);
    const int added = LabelHeight + FieldHeight + Gap;
    okButton->move(okButton->x(), okButton->y() + added);
    setFixedSize(width(), height() + added);
    // The button keeps the keyboard, as before the field came.
    okButton->setFocus();
}

void AboutDialog::openWebsite()
{
    Desktop::openUrl(lbURL->text());
}

void AboutDialog::writeMail()
{
    try {
        Desktop::sendMail(lbEmail->text(), QStringLiteral("Quillmere"), QString());
    } catch (const std::exception& e) {
        MessageDialogs::applicationError(QString::fromUtf8(e.what()));
    }
}
