#include "forms/OptionsDialog.h"
#include "components/GlobalHotKey.h"
#include "utils/HotKeyCodes.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

namespace
{

constexpr QSize ClientSize(387, 303);
constexpr Qt::KeyboardModifiers HotKeyModifiers =
    Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;

QLabel* wrappedLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

} // namespace

HotKeyEdit::HotKeyEdit(QWidget* parent) : QKeySequenceEdit(parent)
{
    setClearButtonEnabled(true);
}

int HotKeyEdit::hotKey() const
{
    const QKeySequence sequence = keySequence();
    return sequence.isEmpty() ? 0 : HotKeyCodes::fromQt(sequence[0]);
}

void HotKeyEdit::setHotKey(int word)
{
    const QKeyCombination combination = HotKeyCodes::toQt(word);
    const bool none = word == 0 || combination.key() == Qt::Key_unknown;
    setKeySequence(none ? QKeySequence() : QKeySequence(combination));
    // Shown as the tray menu shows it (Shift, Ctrl, Alt), not in Qt's order.
    if (auto* text = findChild<QLineEdit*>(); text && !none)
        text->setText(HotKeyCodes::text(word));
}

int HotKeyEdit::wordOfPress(const QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & HotKeyModifiers;
    // The key as the keyboard has it: Shift+1 is reported as "!", which is
    // no key of its own; its key code names the key that was pressed.
    if (event->nativeScanCode() != 0)
        for (const unsigned keysym : GlobalHotKey::keysymsOfKeycode(event->nativeScanCode()))
            if (const int word = HotKeyCodes::fromKeysym(keysym, modifiers))
                return word;
    return HotKeyCodes::fromQt(QKeyCombination(modifiers, Qt::Key(event->key())));
}

void HotKeyEdit::keyPressEvent(QKeyEvent* event)
{
    // One combination, taken whole at the key press; a key the stored word
    // cannot hold, or a modifier alone, leaves the field as it was.
    const auto key = Qt::Key(event->key());
    const Qt::KeyboardModifiers modifiers = event->modifiers() & HotKeyModifiers;
    // Enter and Escape alone still answer the dialog.
    if (!modifiers && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape)) {
        event->ignore();
        return;
    }
    event->accept();
    if (!modifiers) {
        if (key == Qt::Key_Backspace || key == Qt::Key_Delete)
            clear();
        return;
    }
    if (const int word = wordOfPress(event)) {
        setHotKey(word);
        Q_EMIT editingFinished();
    }
}

void HotKeyEdit::keyReleaseEvent(QKeyEvent* event)
{
    event->accept();
}

OptionsDialog::OptionsDialog(const Options& current, QWidget* parent)
    : QDialog(parent), m_current(current)
{
    setObjectName(QStringLiteral("OptionsF"));
    setWindowTitle(tr("Options"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    auto* column = new QVBoxLayout(this);
    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("PageControl"));
    m_pages->addTab(createCommonTab(), tr("Common"));
    m_pages->addTab(createViewTab(), tr("View"));
    m_pages->addTab(createAdditionalTab(), tr("Additional field"));
    m_pages->setCurrentIndex(0);
    column->addWidget(m_pages, 1);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(tr("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("OKBtn"));
    ok->setDefault(true);
    QPushButton* cancel = buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("CancelBtn"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    column->addWidget(buttons);

    // The design size, or what the desktop's font needs at the least.
    setFixedSize(ClientSize.expandedTo(minimumSizeHint()));
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

QWidget* OptionsDialog::createCommonTab()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tsCommon"));
    auto* grid = new QGridLayout(page);
    auto* label = new QLabel(tr("Hot keys:"), page);
    grid->addWidget(label, 0, 0);
    m_hotKey = new HotKeyEdit(page);
    m_hotKey->setObjectName(QStringLiteral("edHotKey"));
    // Tab moves on past it; a click puts the keyboard there.
    m_hotKey->setFocusPolicy(Qt::ClickFocus);
    m_hotKey->setHotKey(m_current.hotKey);
    label->setBuddy(m_hotKey);
    grid->addWidget(m_hotKey, 1, 0, Qt::AlignTop);
    grid->addWidget(wrappedLabel(tr("When this key combination is pressed, the program "
                                    "will be restored on Desktop from System tray"),
                                 page),
                    0, 1, 2, 1);
    m_autoStart = new QCheckBox(tr("start the program at login"), page);
    m_autoStart->setObjectName(QStringLiteral("cbAutoStart"));
    m_autoStart->setChecked(m_current.autoStart);
    grid->addWidget(m_autoStart, 2, 0, 1, 2);
    m_delNonActual = new QCheckBox(tr("delete non-actual links"), page);
    m_delNonActual->setObjectName(QStringLiteral("cbDelNonActual"));
    m_delNonActual->setChecked(m_current.removeOnAbsent);
    grid->addWidget(m_delNonActual, 3, 0, 1, 2);
    grid->setRowStretch(4, 1);
    grid->setColumnStretch(1, 1);
    return page;
}

QWidget* OptionsDialog::createViewTab()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tsView"));
    auto* grid = new QGridLayout(page);
    grid->addWidget(new QLabel(tr("Show fields in table:"), page), 0, 0);
    m_fields = new QListWidget(page);
    m_fields->setObjectName(QStringLiteral("AvailableList"));
    const QStringList names{tr("Name"), tr("Type"), tr("Location"), tr("Comment"),
                            tr("Additional field")};
    for (int c = 0; c < names.size(); ++c) {
        auto* item = new QListWidgetItem(names[c], m_fields);
        // The name is always shown: ticked, and the tick cannot be taken off.
        item->setFlags(c == 0 ? Qt::ItemIsEnabled
                              : Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(c == 0 || m_current.columnShown(c) ? Qt::Checked : Qt::Unchecked);
    }
    // As tall as its five lines.
    m_fields->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    m_fields->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    grid->addWidget(m_fields, 1, 0, Qt::AlignTop);
    grid->addWidget(wrappedLabel(tr("-- Checked fields will be shown at right window "
                                    "part, when the \"Details\" style is selected"),
                                 page),
                    1, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(2, 1);
    return page;
}

QWidget* OptionsDialog::createAdditionalTab()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tsAdditional"));
    auto* grid = new QGridLayout(page);
    grid->addWidget(new QLabel(tr("Title:"), page), 0, 0);
    m_adTitle = new QLineEdit(m_current.adTitle, page);
    m_adTitle->setObjectName(QStringLiteral("edAdTitle"));
    grid->addWidget(m_adTitle, 1, 0);
    grid->addWidget(wrappedLabel(tr("You can use additional field-sign when the "
                                    "\"Details\" style is selected"),
                                 page),
                    0, 1, 2, 1);
    grid->addWidget(new QLabel(tr("Values:"), page), 2, 0);
    m_adValues = new QPlainTextEdit(page);
    m_adValues->setObjectName(QStringLiteral("mmAdValues"));
    m_adValues->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_adValues->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_adValues->setTabChangesFocus(true);
    QStringList shown;
    for (const QString& v : m_current.adValues)
        if (!v.isEmpty()) // a blank entry is not shown; it goes with the next OK
            shown << v;
    m_adValues->setPlainText(shown.join(u'\n'));
    grid->addWidget(m_adValues, 3, 0);
    grid->addWidget(wrappedLabel(tr("-- Enter here possible values of your additional "
                                    "field (single value on a line)"),
                                 page),
                    3, 1);
    m_recursChanging =
        new QCheckBox(tr("changing of value for category changes values for all subitems"), page);
    m_recursChanging->setObjectName(QStringLiteral("cbRecursChanging"));
    m_recursChanging->setChecked(m_current.recursChanging);
    grid->addWidget(m_recursChanging, 4, 0, 1, 2);
    grid->setColumnStretch(0, 3);
    grid->setColumnStretch(1, 2);
    grid->setRowStretch(3, 1);
    return page;
}

Options OptionsDialog::options() const
{
    Options o = m_current;
    o.hotKey = m_hotKey->hotKey();
    o.autoStart = m_autoStart->isChecked();
    o.removeOnAbsent = m_delNonActual->isChecked();
    for (int c = Options::FirstColumn; c <= Options::LastColumn; ++c)
        o.showColumn(c, m_fields->item(c)->checkState() == Qt::Checked);
    o.adTitle = m_adTitle->text();
    // One value per line, blank lines too; the final line break adds none.
    QString text = m_adValues->toPlainText();
    o.adValues.clear();
    if (!text.isEmpty()) {
        if (text.endsWith(u'\n'))
            text.chop(1);
        o.adValues = text.split(u'\n');
    }
    o.recursChanging = m_recursChanging->isChecked();
    return o;
}
