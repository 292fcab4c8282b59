#pragma once
#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;

// "Paste hyperlink": an address typed or pasted from the clipboard, its
// title and the category it goes to. OK checks the address, gives an empty
// title the address and an unchosen category the list's second entry.
class PasteUrlDialog : public QDialog
{
    Q_OBJECT
public:
    explicit PasteUrlDialog(QWidget* parent = nullptr);

    QPushButton* btnPaste = nullptr;
    QLineEdit* edURL = nullptr;
    QLineEdit* edTitle = nullptr;
    QComboBox* cbCategory = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

    // Fills the category list; no entry is chosen.
    void setCategories(const QStringList& entries);

public Q_SLOTS:
    void accept() override;

private:
    void pasteFromClipboard();
};
