#pragma once
#include <QDialog>
#include <QIcon>

class QLabel;
class QLineEdit;
class QPushButton;

// One entry's name, type, location, comment and parent category. A changed
// location means the real file or folder is to move: OK asks first.
class PropertiesDialog : public QDialog
{
    Q_OBJECT
public:
    struct Fields {
        QIcon icon; // the large picture
        QString name;
        QString type;
        QString location;
        QString comment;
        QString parent; // "None" for a top-level entry
    };

    explicit PropertiesDialog(const Fields& fields, QWidget* parent = nullptr);

    QString name() const;
    // The location as typed (controls shown escaped are controls again).
    QString location() const;
    QString comment() const;

    // The question OK asks when the location was edited.
    static QString moveQuestion();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void btnOKClick();

    QLabel* m_image;
    QLineEdit* m_name;
    QLineEdit* m_type;
    QLineEdit* m_location;
    QLineEdit* m_comment;
    QLineEdit* m_category;
    QPushButton* m_ok;
    QPushButton* m_cancel;
    QString m_shownLocation; // what the location said when the dialog came up
    QString m_givenLocation; // the location as stored
};
