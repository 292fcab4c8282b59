#pragma once
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QFrame;

// The about box; without its button row it is also the start-up splash.
class AboutDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AboutDialog(bool asSplash = false, QWidget* parent = nullptr);

    // Shows the catalogue's folder under the panel (the about box, not the
    // splash), as text the user can select and copy.
    void showDataFolder(const QString& folder);

    QFrame* panel = nullptr;
    QLabel* programIcon = nullptr;
    QLabel* productName = nullptr;
    QLabel* version = nullptr;
    QLabel* comments = nullptr;
    QLabel* notice = nullptr;
    QLabel* lbURL = nullptr;
    QLabel* lbEmail = nullptr;
    QPushButton* okButton = nullptr;
    QLineEdit* dataFolder = nullptr;

private Q_SLOTS:
    void openWebsite();
    void writeMail();
};
