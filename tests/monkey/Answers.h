#pragma once
#include "forms/main/BrowserBookmarks.h"
#include "forms/main/Intake.h"
#include "forms/main/Opening.h"
#include "forms/main/Relinking.h"
#include "testutil/ScopedOverride.h"

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <memory>

class Monkey;
class QDialog;
class QMenu;

// Everything the program asks while a step runs, answered at random with
// the step's generator: the program's questions and messages through their
// hook (Yes, No or Cancel to a question), the modal dialogs (comment,
// properties, options, add URL, about) and the dropped folder's menu as a
// user fills and closes them, the file choosers through their hooks, and
// the desktop's opener. Never a sleep: a dialog is answered on the first
// turn of its own event loop.
class Answers : public QObject
{
    Q_OBJECT
public:
    explicit Answers(Monkey& monkey);
    ~Answers() override;

    // How many answers were given in the whole run.
    qint64 count() const { return m_count; }
    // The texts of the messages of the current step (cleared by the monkey).
    QStringList& messages() { return m_messages; }
    // Targets handed to the desktop in the whole run.
    qint64 opened() const { return m_opened; }
    // No more ends of the run inside a question (the run is ending).
    void setEndsAllowed(bool allowed) { m_endsAllowed = allowed; }
    // Every question answered Yes and no end of the run inside one (the
    // whole history is being undone: a real file asked back goes back).
    void setAgreeing(bool agreeing) { m_agreeing = agreeing; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QMessageBox::StandardButton message(QMessageBox::Icon icon, const QString& text);
    QStringList pickFiles();
    QString pickFile();
    QString pickBookmarkFile(bool save);
    void answerDialog(QPointer<QDialog> dialog, int attempt);
    void answerMenu(QPointer<QMenu> menu);
    void fillProperties(QDialog& dialog);
    void fillOptions(QDialog& dialog);
    void fillPasteUrl(QDialog& dialog);
    QString randomLocation(const QString& current);

    Monkey& m_monkey;
    TestUtil::ScopedOverride<Opening::PickFile> m_pickFile;
    TestUtil::ScopedOverride<Intake::PickFiles> m_pickFiles;
    TestUtil::ScopedOverride<BrowserBookmarks::PickPath> m_pickBookmarks;
    // The moved-file search looks through the run's own files, not the machine.
    TestUtil::ScopedOverride<std::optional<QStringList>> m_searchRoots;
    QStringList m_messages;
    qint64 m_count = 0;
    qint64 m_opened = 0;
    bool m_endsAllowed = true;
    bool m_agreeing = false;
};
