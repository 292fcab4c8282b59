#include "forms/FindDialog.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

FindDialog::FindDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("FindDlg"));
    setWindowTitle(tr("Find"));
    setModal(false);
    setSizeGripEnabled(false);

    auto* label = new QLabel(tr("Fi&nd what:"), this);
    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("FindText"));
    m_text->setMaxLength(MaxTextLength);
    m_text->setMinimumWidth(220);
    label->setBuddy(m_text);
    m_matchCase = new QCheckBox(tr("Match &case"), this);
    m_matchCase->setObjectName(QStringLiteral("MatchCase"));

    m_findNext = new QPushButton(tr("&Find Next"), this);
    m_findNext->setObjectName(QStringLiteral("FindNext"));
    m_findNext->setDefault(true);
    m_findNext->setEnabled(false);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setObjectName(QStringLiteral("Cancel"));

    auto* left = new QVBoxLayout;
    auto* textRow = new QHBoxLayout;
    textRow->addWidget(label);
    textRow->addWidget(m_text, 1);
    left->addLayout(textRow);
    left->addWidget(m_matchCase);
    left->addStretch(1);
    auto* right = new QVBoxLayout;
    right->addWidget(m_findNext);
    right->addWidget(cancel);
    right->addStretch(1);
    auto* row = new QHBoxLayout(this);
    row->addLayout(left, 1);
    row->addLayout(right);
    setFixedSize(sizeHint());

    // As the desktop's find dialogs do: nothing to find, no Find Next.
    connect(m_text, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_findNext->setEnabled(!text.isEmpty()); });
    connect(m_findNext, &QPushButton::clicked, this, &FindDialog::findNext);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_matchCase, &QCheckBox::toggled, this, &FindDialog::matchCaseChanged);
}

QString FindDialog::findText() const
{
    return m_text->text();
}

bool FindDialog::matchCase() const
{
    return m_matchCase->isChecked();
}

void FindDialog::setFirstPosition(const QPoint& topLeft)
{
    m_place = topLeft;
    m_placed = true;
}

void FindDialog::showFind()
{
    if (!isVisible()) {
        if (m_placed)
            move(m_place);
        show();
    }
    raise();
    activateWindow();
    m_text->setFocus();
    m_text->selectAll();
}

void FindDialog::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    if (event->spontaneous())
        return; // minimised with the window: still open
    m_place = pos();
    m_placed = true;
    Q_EMIT closed();
}
