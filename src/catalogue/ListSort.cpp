// The list's sort: the order worked out from the rows' texts, at once for a
// short list and on another thread for a long one, so that the window keeps
// answering while the collator compares.
#include "catalogue/Catalogue.h"
#include "catalogue/ListModel.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <atomic>
#include <numeric>

namespace
{

// What a collator on another thread needs to compare as the list's does: a
// collator of its own, as one may not be shared between threads.
struct CollatorSettings {
    QLocale locale;
    Qt::CaseSensitivity caseSensitivity;
    bool numericMode;
    bool ignorePunctuation;

    explicit CollatorSettings(const QCollator& c)
        : locale(c.locale()), caseSensitivity(c.caseSensitivity()), numericMode(c.numericMode()),
          ignorePunctuation(c.ignorePunctuation())
    {
    }
    QCollator make() const
    {
        QCollator c(locale);
        c.setCaseSensitivity(caseSensitivity);
        c.setNumericMode(numericMode);
        c.setIgnorePunctuation(ignorePunctuation);
        return c;
    }
};

// The rows' positions in sorted order (stable). Once Cancelled is set every
// comparison says "equal", so a sort no one waits for ends quickly.
std::vector<int> sortOrder(std::vector<QString> texts, const QCollator& collator, bool descending,
                           const std::atomic<bool>* cancelled = nullptr)
{
    const size_t n = texts.size();
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    const auto stop = [cancelled] {
        return cancelled && cancelled->load(std::memory_order_relaxed);
    };
    if (collator.locale().language() == QLocale::C) {
        // The C locale's collator compares code points (folding case when
        // asked) but its sort keys ignore the case setting: fold here instead.
        if (collator.caseSensitivity() == Qt::CaseInsensitive)
            for (QString& t : texts)
                t = t.toCaseFolded();
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            if (stop())
                return false;
            const int c = QStringView(texts[size_t(a)]).compare(QStringView(texts[size_t(b)]));
            return descending ? c > 0 : c < 0;
        });
    } else {
        // Comparing the texts beats building sort keys here: paths share long
        // prefixes, which the collator skips quickly, while a key costs the
        // whole text for every row.
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            if (stop())
                return false;
            const int c = collator.compare(texts[size_t(a)], texts[size_t(b)]);
            return descending ? c > 0 : c < 0;
        });
    }
    return order;
}

} // namespace

struct ListModel::SortJob {
    int param = 0;
    quint64 rowsVersion = 0; // a change of the rows or their texts since shows here
    size_t rows = 0;
    std::shared_ptr<std::atomic<bool>> cancelled = std::make_shared<std::atomic<bool>>(false);
    QFutureWatcher<std::vector<int>>* watcher = nullptr;
};

ListModel::~ListModel()
{
    dropSortJob();
}

std::vector<QString> ListModel::sortTexts(int column) const
{
    std::vector<QString> texts;
    texts.reserve(size_t(count()));
    for (TreeNode* node : rows())
        texts.push_back(cellText(node, column));
    return texts;
}

void ListModel::sortBy(int param)
{
    dropSortJob(); // the latest request wins
    const int column = std::abs(param) - 1;
    if (column < 0 || column >= ColumnCount || count() < 2) {
        Q_EMIT sortApplied();
        return;
    }
    compactFound();
    if (count() >= AsyncSortRows) {
        startSortJob(param);
        return;
    }
    applyOrder(sortOrder(sortTexts(column), m_collator, param < 0));
    Q_EMIT sortApplied();
}

void ListModel::startSortJob(int param)
{
    auto job = std::make_shared<SortJob>();
    job->param = param;
    job->rowsVersion = m_rowsVersion;
    job->rows = size_t(count());
    job->watcher = new QFutureWatcher<std::vector<int>>(this);
    connect(job->watcher, &QFutureWatcherBase::finished, this, &ListModel::finishSortJob);
    // The worker gets copies only (QString copies may be read on any thread):
    // no node is touched off the GUI thread, and the copies are freed there.
    job->watcher->setFuture(QtConcurrent::run(
        [texts = sortTexts(std::abs(param) - 1), settings = CollatorSettings(m_collator),
         descending = param < 0, cancelled = job->cancelled]() mutable {
            return sortOrder(std::move(texts), settings.make(), descending, cancelled.get());
        }));
    m_sortJob = std::move(job);
}

void ListModel::dropSortJob()
{
    if (!m_sortJob)
        return;
    m_sortJob->cancelled->store(true, std::memory_order_relaxed);
    m_sortJob->watcher->disconnect(this);
    m_sortJob->watcher->deleteLater();
    m_sortJob.reset();
}

void ListModel::finishSortJob()
{
    if (!m_sortJob || !m_sortJob->watcher->isFinished())
        return;
    // Inside another step (a question asked in the middle of a command) the
    // sort would join it: it waits until that is through, and then for a
    // turn of its own, outside whatever closed the step.
    if (m_catalogue.history().busy()) {
        connect(&m_catalogue.history(), &EditHistory::idle, this, &ListModel::finishSortJob,
                Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
        return;
    }
    if (m_catalogue.nodes().changing()) {
        connect(&m_catalogue.nodes(), &NodeTree::changeFinished, this, &ListModel::finishSortJob,
                Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
        return;
    }
    const std::shared_ptr<SortJob> job = std::move(m_sortJob);
    m_sortJob.reset();
    job->watcher->deleteLater();
    // A change of the rows or of a text meanwhile: the order no longer fits,
    // and it is worked out again.
    if (job->rowsVersion != m_rowsVersion || size_t(count()) != job->rows) {
        sortBy(job->param);
        return;
    }
    applyOrder(job->watcher->result());
    Q_EMIT sortApplied();
}

void ListModel::applyOrder(const std::vector<int>& order)
{
    const std::vector<TreeNode*> listed = rows();
    const size_t n = listed.size();
    if (order.size() != n)
        return;
    std::vector<TreeNode*> sorted(n);
    for (size_t k = 0; k < n; ++k)
        sorted[k] = listed[size_t(order[k])];

    if (m_listing == Listing::Children) {
        // The category takes the order in the tree (and so in the file); the
        // rows follow the tree's change of layout. A sort that changes
        // nothing is no step.
        if (std::equal(sorted.begin(), sorted.end(), listed.begin(), listed.end()))
            return;
        const EditHistory::Step step(
            m_catalogue.history(),
            QStringLiteral("Sort \"%1\"").arg(m_source ? m_source->text() : QString()));
        m_catalogue.nodes().reorder(m_source, sorted);
        return;
    }
    if (m_listing != Listing::Nodes)
        return;
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newRow(n);
    for (size_t k = 0; k < n; ++k)
        newRow[size_t(order[k])] = int(k);
    m_found.swap(sorted);
    m_position.clear();
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& i : from)
        to.append(i.row() < int(n) ? index(newRow[size_t(i.row())], i.column()) : QModelIndex());
    changePersistentIndexList(from, to);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
