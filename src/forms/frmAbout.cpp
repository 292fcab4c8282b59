#include "forms/frmAbout.h"
#include "catalogue/Artwork.h"
#include "catalogue/Catalogue.h"
#include "components/HSDialogs.h"
#include "utils/MySysUtils.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace
{

class TClickLabel : public QLabel
{
public:
    using QLabel::QLabel;
    std::function<void()> OnClick;

protected:
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        QLabel::mouseReleaseEvent(e);
        if (OnClick)
            OnClick();
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

TAboutBox::TAboutBox(bool AsSplash, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Quillmere"));
    setWindowFlags(AsSplash
                       ? (Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
                       : (Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(225, 183, 235));
    setPalette(pal);

    Panel = new QFrame(this);
    Panel->setGeometry(8, 8, 282, 161);
    Panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel->setLineWidth(2);
    Panel->setObjectName(QStringLiteral("Panel"));
    Panel->setStyleSheet(QStringLiteral(
        "#Panel { background: rgb(180,111,188); border: 2px outset rgb(205,160,212); }"));

    ProgramIcon = new QLabel(Panel);
    ProgramIcon->setGeometry(10, 10, 32, 32);
    ProgramIcon->setPixmap(Artwork::ProgramIcon().pixmap(32, 32));

    const QString yellow = QStringLiteral("color: yellow; background: transparent;");
    ProductName = label(Panel, QStringLiteral("Quillmere"), {56, 6, 216, 32},
                        yellow + QStringLiteral("font-weight: bold; font-size: 24px;"));
    Version = label(Panel, QStringLiteral("Version 3.3"), {56, 40, 216, 16},
                    yellow + QStringLiteral("font-weight: bold;"));
    Comments =
        label(Panel, QStringLiteral("Systemize your any files, folders, URLs by categories!"),
              {10, 62, 262, 34}, yellow);
    Comments->setWordWrap(true);
    Notice = label(Panel, QStringLiteral("\u00a9 Velmarch. Free for personal use."),
                   {10, 98, 262, 16}, yellow);

    const QString link =
        QStringLiteral("color: aqua; text-decoration: underline; background: transparent;");
    auto* url = new TClickLabel(QString::fromUtf16(MakerHomeURL), Panel);
    url->setGeometry(10, 118, 262, 16);
    url->setStyleSheet(link);
    url->setCursor(Qt::PointingHandCursor);
    url->OnClick = [this] { lbURLClick(); };
    lbURL = url;
    auto* mail = new TClickLabel(QString::fromUtf16(SupportEMail), Panel);
    mail->setGeometry(10, 136, 262, 16);
    mail->setStyleSheet(link);
    mail->setCursor(Qt::PointingHandCursor);
    mail->OnClick = [this] { lbEmailClick(); };
    lbEmail = mail;

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setGeometry(111, 178, 75, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    // As a splash the button row is cut off.
    if (AsSplash)
        OKButton->hide();
    setFixedSize(298, AsSplash ? 177 : 213);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

void TAboutBox::lbURLClick()
{
    MySysUtils::OpenURL(lbURL->text());
}

void TAboutBox::lbEmailClick()
{
    try {
        MySysUtils::SendMail(lbEmail->text(), QStringLiteral("Quillmere"), QString());
    } catch (const std::exception& e) {
        HSDialogs::ApplicationError(QString::fromUtf8(e.what()));
    }
}
