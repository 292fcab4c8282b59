#pragma once
#include <QDialog>

class QLabel;
class QPushButton;
class QFrame;

// The about box; without its button row it is also the start-up splash.
class AboutDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AboutDialog(bool asSplash = false, QWidget* parent = nullptr);

    QFrame* panel = nullptr;
    QLabel* programIcon = nullptr;
    QLabel* productName = nullptr;
    QLabel* version = nullptr;
    QLabel* comments = nullptr;
    QLabel* notice = nullptr;
    QLabel* lbURL = nullptr;
    QLabel* lbEmail = nullptr;
    QPushButton* okButton = nullptr;

private Q_SLOTS:
    void lbURLClick();
    void lbEmailClick();
};
