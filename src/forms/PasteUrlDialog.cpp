#include "forms/PasteUrlDialog.h"
#include "catalogue/Artwork.h"
#include "components/MessageDialogs.h"
#include "utils/PathTests.h"
#include "utils/TextUtils.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace
{

constexpr QSize ClientSize(329, 283);

} // namespace

PasteUrlDialog::PasteUrlDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint |
                          Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("PasteUrlF"));
    setWindowTitle(QStringLiteral("Paste hyperlink"));
    setFixedSize(ClientSize);

    auto* heading = new QLabel(
        QStringLiteral("Here you are able to paste before copied URL from clipboard"), this);
    heading->setObjectName(QStringLiteral("Heading"));
    // Two lines of the desktop's font need a little more than the design's 26 pixels.
    heading->setGeometry(8, 3, ClientSize.width() - 16, 34);
    heading->setAlignment(Qt::AlignCenter);
    heading->setWordWrap(true);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);

    btnPaste = new QPushButton(Artwork::commandImage(Artwork::AddUrlImage),
                               QStringLiteral("Paste from clipboard"), this);
    btnPaste->setObjectName(QStringLiteral("btnPaste"));
    btnPaste->setGeometry(80, 40, 233, 25);
    btnPaste->setAutoDefault(false);

    auto* urlLabel = new QLabel(QStringLiteral("URL:"), this);
    urlLabel->move(16, 56);
    urlLabel->adjustSize();
    edURL = new QLineEdit(this);
    edURL->setObjectName(QStringLiteral("edURL"));
    edURL->setGeometry(16, 72, 297, edURL->sizeHint().height());
    urlLabel->setBuddy(edURL);

    auto* titleLabel = new QLabel(QStringLiteral("Title:"), this);
    titleLabel->move(16, 112);
    titleLabel->adjustSize();
    edTitle = new QLineEdit(this);
    edTitle->setObjectName(QStringLiteral("edTitle"));
    edTitle->setGeometry(16, 128, 297, edTitle->sizeHint().height());
    titleLabel->setBuddy(edTitle);

    auto* categoryLabel = new QLabel(QStringLiteral("Add to category:"), this);
    categoryLabel->move(68, 168);
    categoryLabel->adjustSize();
    cbCategory = new QComboBox(this);
    cbCategory->setObjectName(QStringLiteral("cbCategory"));
    cbCategory->setEditable(false);
    cbCategory->setGeometry(68, 184, 193, cbCategory->sizeHint().height());
    categoryLabel->setBuddy(cbCategory);

    btnOk = new QPushButton(QStringLiteral("OK"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setGeometry(71, 232, 75, 25);
    btnOk->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(183, 232, 75, 25);
    btnCancel->setAutoDefault(false);

    setTabOrder(edURL, edTitle);
    setTabOrder(edTitle, cbCategory);
    setTabOrder(cbCategory, btnPaste);
    setTabOrder(btnPaste, btnOk);
    setTabOrder(btnOk, btnCancel);
    edURL->setFocus();

    connect(btnPaste, &QPushButton::clicked, this, &PasteUrlDialog::pasteFromClipboard);
    connect(btnOk, &QPushButton::clicked, this, &PasteUrlDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &PasteUrlDialog::reject);
}

void PasteUrlDialog::setCategories(const QStringList& entries)
{
    cbCategory->clear();
    cbCategory->addItems(entries);
    cbCategory->setCurrentIndex(-1);
}

void PasteUrlDialog::pasteFromClipboard()
{
    const QString text = QApplication::clipboard()->text();
    if (!text.isEmpty())
        edURL->insert(text); // at the caret, over any selected text
}

void PasteUrlDialog::accept()
{
    const QString url = edURL->text();
    if (!FileUtils::isUrl(url) && !FileUtils::isEMail(url)) {
        MessageDialogs::errorBox(QStringLiteral("Invalid URL!"), edURL);
        return;
    }
    // Pasted text may hold one; the catalogue could not store it, and the
    // user would lose what the dialog holds.
    if (TextUtils::hasLineBreakOrNul(url)) {
        MessageDialogs::errorBox(
            QStringLiteral("The address contains a line break or a NUL character, which the "
                           "catalogue cannot store. Remove it and try again."),
            edURL);
        return;
    }
    if (edTitle->text().isEmpty())
        edTitle->setText(url);
    if (cbCategory->currentIndex() < 0 && cbCategory->count() > 1)
        cbCategory->setCurrentIndex(1);
    QDialog::accept();
}
