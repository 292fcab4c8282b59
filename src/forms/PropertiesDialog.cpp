#include "forms/PropertiesDialog.h"
#include "components/MessageDialogs.h"
#include "utils/PathTests.h"
#include "utils/TextUtils.h"

#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

namespace
{

constexpr int LargePicture = 32;
constexpr int FieldWidth = 300;

} // namespace

PropertiesDialog::PropertiesDialog(const Fields& fields, QWidget* parent)
    : QDialog(parent), m_targetMissing(fields.targetMissing)
{
    setObjectName(QStringLiteral("TPropertiesF"));
    setWindowTitle(QStringLiteral("Properties"));
    // A fixed dialog frame: a title and a close button, nothing to size.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);

    m_image = new QLabel(this);
    m_image->setObjectName(QStringLiteral("DocImg"));
    m_image->setFixedSize(LargePicture, LargePicture);
    m_image->setPixmap(fields.icon.pixmap(LargePicture, LargePicture));

    const auto edit = [this](const char* objectName, const QString& text, bool readOnly) {
        auto* e = new QLineEdit(text, this);
        e->setObjectName(QString::fromLatin1(objectName));
        e->setReadOnly(readOnly);
        if (readOnly) { // looks like a text to read, not a field to fill
            QPalette p = e->palette();
            p.setColor(QPalette::Base, p.color(QPalette::Window));
            e->setPalette(p);
        }
        e->setMinimumWidth(FieldWidth);
        e->setCursorPosition(0);
        return e;
    };
    m_name = edit("edName", fields.name, false);
    m_type = edit("edType", fields.type, true);
    // Bidirectional controls show as "\u202E": a location must read as what it is.
    m_location = edit("edLocation", TextUtils::showBidiControls(fields.location), false);
    m_givenLocation = fields.location;
    m_comment = edit("edComment", fields.comment, false);
    m_category = edit("edCategory", fields.parent, true);
    auto* note = new QLabel(QStringLiteral("Be careful! If you change this field, the real "
                                           "file/folder (linked with this document) will be "
                                           "moved to other place."),
                            this);
    if (m_targetMissing)
        note->setText(QStringLiteral("The file or folder is missing. Give the place where it is "
                                     "now, or press \"Locate...\" to search for it: the link "
                                     "follows it, nothing is moved."));
    note->setObjectName(QStringLiteral("Label6"));
    note->setAlignment(Qt::AlignCenter);
    note->setWordWrap(true);

    auto* grid = new QGridLayout;
    int row = 0;
    const auto addRow = [&](const QString& label, QWidget* field) {
        auto* l = new QLabel(label, this);
        l->setBuddy(field);
        grid->addWidget(l, row, 0);
        grid->addWidget(field, row, 1);
        ++row;
    };
    grid->addWidget(m_image, row++, 0);
    addRow(QStringLiteral("Name"), m_name);
    addRow(QStringLiteral("Type"), m_type);
    addRow(QStringLiteral("Location"), m_location);
    grid->addWidget(note, row++, 0, 1, 2);
    addRow(QStringLiteral("Comment"), m_comment);
    addRow(QStringLiteral("Parent category"), m_category);

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("btnOK"));
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("btnCancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    if (m_targetMissing) {
        auto* locate = new QPushButton(QStringLiteral("&Locate..."), this);
        locate->setObjectName(QStringLiteral("btnLocate"));
        locate->setAutoDefault(false);
        connect(locate, &QPushButton::clicked, this, &PropertiesDialog::locateRequested);
        buttons->addWidget(locate);
    }
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);

    auto* column = new QVBoxLayout(this);
    column->addLayout(grid);
    column->addLayout(buttons);
    column->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_location, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_ok->setEnabled(!text.isEmpty()); });
    connect(m_ok, &QPushButton::clicked, this, &PropertiesDialog::applyAndClose);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString PropertiesDialog::name() const
{
    return m_name->text();
}

QString PropertiesDialog::location() const
{
    const QString text = m_location->text();
    if (text == TextUtils::showBidiControls(m_givenLocation))
        return m_givenLocation;
    return TextUtils::unshowBidiControls(text);
}

QString PropertiesDialog::comment() const
{
    return m_comment->text();
}

QString PropertiesDialog::moveQuestion()
{
    return QString::fromUtf8("Путь к файлу (папке) был изменён.\n") +
           QStringLiteral("Do you really want to move real file (folder) to other place on "
                          "the hard disk?");
}

void PropertiesDialog::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        m_shownLocation = m_location->text();
    QDialog::showEvent(event);
}

void PropertiesDialog::setLocation(const QString& location)
{
    m_location->setText(TextUtils::showBidiControls(location));
}

void PropertiesDialog::applyAndClose()
{
    if (m_targetMissing && m_location->text() != m_shownLocation) {
        // Nothing to move: the entry only follows, and only to something.
        // ("~" is the home folder, as where the location is taken.)
        QString place = location();
        if (place == u"~" || place.startsWith(QStringLiteral("~/")))
            place = QDir::homePath() + place.mid(1);
        if (place.startsWith(u'/') && !FileUtils::probePath(place).exists) {
            MessageDialogs::errorBox(
                QStringLiteral("There is no file or folder at \"%1\" either.").arg(place),
                m_location);
            return;
        }
        accept();
        return;
    }
    if (m_location->text() != m_shownLocation &&
        !MessageDialogs::askYesNo(moveQuestion(), m_location, MessageDialogs::DefaultHorzOffset,
                                  MessageDialogs::DefaultVertOffset))
        return; // the user looks at the location again
    accept();
}
