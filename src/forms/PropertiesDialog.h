#pragma once
#include <QDialog>
#include <QIcon>

class QLabel;
class QLineEdit;
class QPushButton;

// One entry's name, type, location, comment and parent category. A changed
// location means the real file or folder is to move: OK asks first. When
// the target is missing, a changed location is where it is now: OK takes it
// when something is there, and "Locate..." helps find it.
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
        // The document's or folder's target is missing: a new location is a
        // relink, and "Locate..." offers the assistant.
        bool targetMissing = false;
    };

    explicit PropertiesDialog(const Fields& fields, QWidget* parent = nullptr);

    QString name() const;
    // The location as typed (controls shown escaped are controls again).
    QString location() const;
    QString comment() const;

    // Puts a location found for a missing target into the field.
    void setLocation(const QString& location);

    // The question OK asks when the location was edited.
    static QString moveQuestion();

Q_SIGNALS:
    // "Locate..." was pressed.
    void locateRequested();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void applyAndClose();

    QLabel* m_image;
    QLineEdit* m_name;
    QLineEdit* m_type;
    QLineEdit* m_location;
    QLineEdit* m_comment;
    QLineEdit* m_category;
    QPushButton* m_ok;
    QPushButton* m_cancel;
    bool m_targetMissing;
    QString m_shownLocation; // what the location said when the dialog came up
    QString m_givenLocation; // the location as stored
};
