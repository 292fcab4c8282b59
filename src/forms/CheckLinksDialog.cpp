#include "forms/CheckLinksDialog.h"
#include "catalogue/LinkRepair.h"
#include "components/MessageDialogs.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

using namespace FileUtils;

namespace
{

constexpr int Permille = 1000;
constexpr QSize DialogSize(760, 420);
constexpr int NameWidth = 160;
constexpr int LocationWidth = 270;
constexpr int RowRole = Qt::UserRole;

enum Column { colName, colLocation, colCandidate };

} // namespace

CheckLinksDialog::CheckLinksDialog(QStringList paths, QStringList roots, QStringList excluded,
                                   QWidget* parent)
    : QDialog(parent), m_paths(std::move(paths)), m_roots(std::move(roots)),
      m_excluded(std::move(excluded))
{
    setObjectName(QStringLiteral("CheckLinksDialog"));
    setWindowTitle(tr("Check all links"));
    resize(DialogSize);

    m_status =
        new QLabel(tr("Looking at the %1 linked files and folders...").arg(m_paths.size()), this);
    m_status->setObjectName(QStringLiteral("Status"));
    m_status->setWordWrap(true);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("Progress"));
    m_progress->setRange(0, Permille);
    m_progress->setTextVisible(false);
    m_stop = new QPushButton(tr("&Stop"), this);
    m_stop->setObjectName(QStringLiteral("btnStop"));

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("MissingLinks"));
    m_list->setHeaderLabels({tr("Name"), tr("Missing location"), tr("Best candidate")});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->setTextElideMode(Qt::ElideMiddle); // paths keep both ends
    m_list->header()->resizeSection(colName, NameWidth);
    m_list->header()->resizeSection(colLocation, LocationWidth);
    m_list->setAccessibleName(tr("Entries whose file or folder is missing"));

    m_selectAll = new QCheckBox(tr("Select &all"), this);
    m_selectAll->setObjectName(QStringLiteral("SelectAll"));
    m_relink = new QPushButton(tr("&Relink"), this);
    m_relink->setObjectName(QStringLiteral("btnRelink"));
    m_relink->setToolTip(tr("Point the ticked entries at their best candidates"));
    m_remove = new QPushButton(tr("Re&move"), this);
    m_remove->setObjectName(QStringLiteral("btnRemove"));
    m_remove->setToolTip(tr("Remove the ticked entries from the catalogue"));
    m_close = new QPushButton(tr("Close"), this);
    m_close->setObjectName(QStringLiteral("btnClose"));

    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(m_progress, 1);
    progressRow->addWidget(m_stop);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_selectAll);
    buttons->addStretch(1);
    buttons->addWidget(m_relink);
    buttons->addWidget(m_remove);
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_status);
    layout->addLayout(progressRow);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);

    connect(m_stop, &QPushButton::clicked, this, &CheckLinksDialog::stop);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_relink, &QPushButton::clicked, this, &CheckLinksDialog::relinkTicked);
    connect(m_remove, &QPushButton::clicked, this, &CheckLinksDialog::removeTicked);
    connect(m_selectAll, &QCheckBox::clicked, this, [this](bool on) {
        const QSignalBlocker quiet(m_list);
        for (int i = 0; i < m_list->topLevelItemCount(); ++i)
            m_list->topLevelItem(i)->setCheckState(colName, on ? Qt::Checked : Qt::Unchecked);
        updateButtons();
    });
    connect(m_list, &QTreeWidget::itemChanged, this, &CheckLinksDialog::updateButtons);

    for (auto* watcher :
         {static_cast<QFutureWatcherBase*>(&m_check), static_cast<QFutureWatcherBase*>(&m_search)})
        connect(watcher, &QFutureWatcherBase::progressValueChanged, m_progress,
                &QProgressBar::setValue);
    connect(&m_check, &QFutureWatcherBase::finished, this, &CheckLinksDialog::checkFinished);
    connect(&m_search, &QFutureWatcherBase::finished, this, &CheckLinksDialog::searchDone);
    m_check.setFuture(QtConcurrent::run([paths = m_paths](QPromise<QStringList>& promise) {
        promise.setProgressRange(0, Permille);
        promise.addResult(missingPaths(paths, [&promise](int permille) {
            promise.setProgressValue(permille);
            return !promise.isCanceled();
        }));
    }));
    updateButtons();
}

CheckLinksDialog::~CheckLinksDialog()
{
    stop();
    m_check.waitForFinished();
    m_search.waitForFinished();
}

void CheckLinksDialog::stop()
{
    m_check.cancel();
    m_search.cancel();
}

bool CheckLinksDialog::busy() const
{
    return m_check.isRunning() || m_search.isRunning();
}

void CheckLinksDialog::checkFinished()
{
    // A stopped check still gives what it found before.
    const QStringList missing =
        m_check.future().resultCount() > 0 ? m_check.future().resultAt(0) : QStringList();
    const bool stopped = m_check.isCanceled();
    Q_EMIT missingFound(missing);
    if (m_rows.empty()) {
        m_progress->hide();
        m_stop->hide();
        m_status->setText(stopped ? tr("The check was stopped.")
                                  : tr("Every link points at a file or folder that "
                                       "is there."));
        m_done = true;
        Q_EMIT searchFinished();
    }
    updateButtons();
}

void CheckLinksDialog::setRows(const std::vector<Row>& rows)
{
    m_rows = rows;
    m_best.assign(rows.size(), QString());
    m_list->clear();
    std::vector<LostTarget> lost;
    for (size_t i = 0; i < rows.size(); ++i) {
        auto* item = new QTreeWidgetItem;
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(colName, Qt::Unchecked);
        item->setText(colName, rows[i].name);
        item->setText(colLocation, rows[i].lost.path);
        item->setToolTip(colLocation, rows[i].lost.path);
        item->setText(colCandidate, tr("searching..."));
        item->setData(colName, RowRole, int(i));
        m_list->addTopLevelItem(item);
        if (!m_searchedPaths.contains(rows[i].lost.path)) {
            m_searchedPaths << rows[i].lost.path;
            lost.push_back(rows[i].lost);
        }
    }
    if (rows.empty())
        return;
    m_status->setText(tr("%1 entries point at a missing file or folder. Looking for "
                         "where they went...")
                          .arg(rows.size()));
    m_progress->setValue(0);
    m_search.setFuture(QtConcurrent::run(
        [lost, roots = m_roots, excluded = m_excluded](QPromise<QString>& promise) {
            promise.setProgressRange(0, Permille);
            MovedFileSearch search(lost, roots);
            search.setExcluded(excluded);
            search.run([&promise](int permille) {
                promise.setProgressValue(permille);
                return !promise.isCanceled();
            });
            // The best of each, in the order asked; what a stopped search
            // found still counts.
            for (const auto& found : search.candidates())
                promise.addResult(found.empty() ? QString() : found.front().path);
        }));
    updateButtons();
}

void CheckLinksDialog::searchDone()
{
    const QFuture<QString> future = m_search.future();
    int found = 0;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = m_list->topLevelItem(i);
        const int row = item->data(colName, RowRole).toInt();
        const qsizetype searched = m_searchedPaths.indexOf(m_rows[size_t(row)].lost.path);
        const QString best = searched >= 0 && searched < future.resultCount()
                                 ? future.resultAt(int(searched))
                                 : QString();
        m_best[size_t(row)] = best;
        item->setText(colCandidate, best.isEmpty() ? tr("none found") : best);
        item->setToolTip(colCandidate, best);
        if (!best.isEmpty())
            ++found;
    }
    m_progress->hide();
    m_stop->hide();
    m_status->setText(tr("%1 entries point at a missing file or folder; a place was found for %2 "
                         "of them.%3 Tick the entries to relink to their best candidates or to "
                         "remove.")
                          .arg(QString::number(m_rows.size()), QString::number(found),
                               m_search.isCanceled() ? tr(" The search was stopped.") : QString()));
    updateButtons();
    m_done = true;
    Q_EMIT searchFinished();
}

QList<int> CheckLinksDialog::tickedRows() const
{
    QList<int> rows;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = m_list->topLevelItem(i);
        if (item->checkState(colName) == Qt::Checked)
            rows << item->data(colName, RowRole).toInt();
    }
    return rows;
}

int CheckLinksDialog::rowCount() const
{
    return m_list->topLevelItemCount();
}

QString CheckLinksDialog::candidateOf(int row) const
{
    return row >= 0 && size_t(row) < m_best.size() ? m_best[size_t(row)] : QString();
}

void CheckLinksDialog::updateButtons()
{
    const QList<int> ticked = tickedRows();
    const bool searching = m_search.isRunning();
    bool relinkable = false;
    for (int row : ticked)
        relinkable = relinkable || !candidateOf(row).isEmpty();
    m_relink->setEnabled(!searching && relinkable);
    m_remove->setEnabled(!ticked.isEmpty());
    const int count = m_list->topLevelItemCount();
    m_selectAll->setEnabled(count > 0);
    const QSignalBlocker quiet(m_selectAll);
    m_selectAll->setCheckState(ticked.isEmpty()         ? Qt::Unchecked
                               : ticked.size() == count ? Qt::Checked
                                                        : Qt::PartiallyChecked);
}

void CheckLinksDialog::relinkTicked()
{
    QList<int> rows;
    QStringList paths;
    for (int row : tickedRows()) {
        if (candidateOf(row).isEmpty())
            continue; // nowhere to relink it: it stays ticked
        rows << row;
        paths << candidateOf(row);
    }
    if (rows.isEmpty())
        return;
    const int before = rowCount();
    Q_EMIT relinkRequested(rows, paths);
    tellDone(before - rowCount(), tr("relinked"));
}

void CheckLinksDialog::tellDone(int count, const QString& what)
{
    const QString done =
        QStringLiteral("%1 %2 %3.")
            .arg(QString::number(count), count == 1 ? tr("entry was") : tr("entries were"), what);
    const int left = rowCount();
    const QString rest = left == 0   ? tr("No entry points at a missing file or folder any more.")
                         : left == 1 ? tr("1 still points at a missing file or folder.")
                                     : tr("%1 still point at a missing file or folder.").arg(left);
    m_status->setText(done + u' ' + rest);
}

void CheckLinksDialog::removeTicked()
{
    const QList<int> rows = tickedRows();
    if (rows.isEmpty())
        return;
    const QString question = rows.size() == 1
                                 ? tr("Remove the ticked entry from the catalogue?\rIts file "
                                      "or folder is not touched.")
                                 : tr("Remove the %1 ticked entries from the catalogue?\rTheir "
                                      "files and folders are not touched.")
                                       .arg(rows.size());
    if (!MessageDialogs::askYesNo(question, m_remove))
        return;
    const int before = rowCount();
    Q_EMIT removeRequested(rows);
    tellDone(before - rowCount(), tr("removed"));
}

void CheckLinksDialog::dropRows(QList<int> rows)
{
    for (int i = m_list->topLevelItemCount() - 1; i >= 0; --i)
        if (rows.contains(m_list->topLevelItem(i)->data(colName, RowRole).toInt()))
            delete m_list->takeTopLevelItem(i);
    updateButtons();
}
