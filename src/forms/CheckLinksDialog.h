#pragma once
#include "utils/MovedFileSearch.h"

#include <QDialog>
#include <QFutureWatcher>
#include <QList>
#include <vector>

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;

// "Check all links": looks at every linked path on a worker thread, lists
// the entries whose file or folder is missing, searches for each the best
// place it may have gone, and lets the user relink or remove the entries he
// ticks. The dialog knows paths and rows only; whoever opens it turns the
// missing paths into rows and carries out the relinks and removals.
class CheckLinksDialog : public QDialog
{
    Q_OBJECT
public:
    struct Row {
        QString name;
        FileUtils::LostTarget lost;
    };

    CheckLinksDialog(QStringList paths, QStringList roots, QStringList excluded, QWidget* parent);
    ~CheckLinksDialog() override;

    // The rows for the missing paths (given in answer to missingFound);
    // the search for their candidates starts.
    void setRows(const std::vector<Row>& rows);
    // Takes rows out of the list once they were relinked or removed.
    void dropRows(QList<int> rows);

    // The row numbers as given to setRows, of the rows still listed.
    int rowCount() const;
    bool busy() const;
    // The check and the search are through (searchFinished was sent).
    bool isFinished() const { return m_done; }
    // The best place found for a row's target; empty when none (yet).
    QString candidateOf(int row) const;

Q_SIGNALS:
    // Every path was looked at; Missing are those where nothing is.
    void missingFound(const QStringList& missing);
    void searchFinished();
    // The user asked to relink these rows to the paths given (their best
    // candidates), or to remove their entries.
    void relinkRequested(const QList<int>& rows, const QStringList& paths);
    void removeRequested(const QList<int>& rows);

private:
    void checkFinished();
    void searchDone();
    void updateButtons();
    QList<int> tickedRows() const;
    void relinkTicked();
    void removeTicked();
    void tellDone(int count, const QString& what);
    void stop();

    QStringList m_paths;
    QStringList m_roots;
    QStringList m_excluded;
    std::vector<Row> m_rows;
    std::vector<QString> m_best; // per row given: the best candidate, or empty
    QFutureWatcher<QStringList> m_check;
    QFutureWatcher<QString> m_search; // one best path per unique lost path
    QStringList m_searchedPaths;      // the lost paths searched, in the search's order
    bool m_done = false;
    QLabel* m_status = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_stop = nullptr;
    QTreeWidget* m_list = nullptr;
    QCheckBox* m_selectAll = nullptr;
    QPushButton* m_relink = nullptr;
    QPushButton* m_remove = nullptr;
    QPushButton* m_close = nullptr;
};
