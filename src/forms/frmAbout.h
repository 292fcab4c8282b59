#pragma once
#include <QDialog>

class QLabel;
class QPushButton;
class QFrame;

// The about box; without its button row it is also the start-up splash.
class TAboutBox : public QDialog
{
    Q_OBJECT
public:
    explicit TAboutBox(bool AsSplash = false, QWidget* parent = nullptr);

    QFrame* Panel = nullptr;
    QLabel* ProgramIcon = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Version = nullptr;
    QLabel* Comments = nullptr;
    QLabel* Notice = nullptr;
    QLabel* lbURL = nullptr;
    QLabel* lbEmail = nullptr;
    QPushButton* OKButton = nullptr;

private Q_SLOTS:
    void lbURLClick();
    void lbEmailClick();
};
