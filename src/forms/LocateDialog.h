#pragma once
#include "utils/MovedFileSearch.h"

#include <QDialog>
#include <QFutureWatcher>
#include <functional>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;

// The assistant that finds a missing file or folder again: it searches the
// home folder and the mounted volumes on a worker thread, lists what it
// finds best first (location, size, date), and ends with the place chosen
// from the list or picked by hand.
class LocateDialog : public QDialog
{
    Q_OBJECT
public:
    struct Request {
        QString name; // the entry's name
        FileUtils::LostTarget lost;
        QStringList roots;
        QStringList excluded;
    };

    LocateDialog(const Request& request, QWidget* parent);
    ~LocateDialog() override;

    // The place chosen, once the dialog ended with Accepted.
    QString chosenPath() const { return m_chosen; }
    // The search is through (searchFinished was sent).
    bool searchDone() const { return m_done; }
    int candidateCount() const { return int(m_found.size()); }

    // Picks a place by hand ("Browse..."); empty is a cancel.
    using PickPath = std::function<QString(const QString& title, const QString& folder, bool dir)>;
    // Tests: when set, answers in place of the file dialog.
    static PickPath& pickPathHook();

    // A text for how a candidate fits ("Same name, size and date").
    static QString matchText(FileUtils::CandidateMatch match);

Q_SIGNALS:
    void searchFinished();

private:
    void addCandidate(const FileUtils::Candidate& candidate);
    void finishSearch();
    void browse();
    void relinkSelected();
    void updateButtons();
    void stopSearch();

    Request m_request;
    std::vector<FileUtils::Candidate> m_found; // in the list's order
    QString m_chosen;
    bool m_userSelected = false; // the user picked a row: keep it selected
    bool m_done = false;
    QFutureWatcher<FileUtils::Candidate> m_watcher;
    QLabel* m_status = nullptr;
    QProgressBar* m_progress = nullptr;
    QTreeWidget* m_list = nullptr;
    QPushButton* m_relink = nullptr;
    QPushButton* m_browse = nullptr;
    QPushButton* m_cancel = nullptr;
};
