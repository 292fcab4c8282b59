#include "forms/LocateDialog.h"
#include "utils/PathTests.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>

using namespace FileUtils;

namespace
{

constexpr int Permille = 1000;
constexpr QSize DialogSize(640, 360);
constexpr int LocationWidth = 380;
constexpr int SizeWidth = 80;

enum Column { colLocation, colSize, colModified };

// The folder the lost target was in, or the nearest one above it that is
// still there.
QString nearestFolder(const QString& path)
{
    QString folder = path;
    do {
        const qsizetype slash = folder.lastIndexOf(u'/');
        if (slash <= 0)
            return QDir::homePath();
        folder.truncate(slash);
    } while (!directoryExists(folder));
    return folder;
}

} // namespace

LocateDialog::PickPath& LocateDialog::pickPathHook()
{
    static PickPath hook;
    return hook;
}

QString LocateDialog::matchText(CandidateMatch match)
{
    switch (match) {
    case CandidateMatch::NameSizeTime:
        return tr("Same name, size and date");
    case CandidateMatch::NameSize:
        return tr("Same name and size");
    case CandidateMatch::Renamed:
        return tr("Renamed: same size and date in the old folder");
    case CandidateMatch::Name:
        return tr("Same name");
    case CandidateMatch::NameOtherCase:
        return tr("Same name in other letters");
    }
    return {};
}

LocateDialog::LocateDialog(const Request& request, QWidget* parent)
    : QDialog(parent), m_request(request)
{
    setObjectName(QStringLiteral("LocateDialog"));
    const bool folder = request.lost.kind == TargetKind::Folder;
    setWindowTitle(folder ? tr("Locate missing folder") : tr("Locate missing file"));
    resize(DialogSize);

    auto* intro =
        new QLabel(tr("\"%1\" is no longer at\n%2\nLooking for it in the home folder and on "
                      "the mounted volumes:")
                       .arg(request.name, request.lost.path),
                   this);
    intro->setObjectName(QStringLiteral("Intro"));
    intro->setTextFormat(Qt::PlainText);
    intro->setWordWrap(true);
    intro->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_status = new QLabel(tr("Searching..."), this);
    m_status->setObjectName(QStringLiteral("Status"));
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("Progress"));
    m_progress->setRange(0, Permille);
    m_progress->setTextVisible(false);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("Candidates"));
    m_list->setHeaderLabels({tr("Location"), tr("Size"), tr("Modified")});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->setTextElideMode(Qt::ElideMiddle); // paths keep both ends
    m_list->header()->resizeSection(colLocation, LocationWidth);
    m_list->header()->resizeSection(colSize, SizeWidth);
    m_list->setAccessibleName(tr("Places found"));

    m_browse = new QPushButton(tr("&Browse..."), this);
    m_browse->setObjectName(QStringLiteral("btnBrowse"));
    m_relink = new QPushButton(tr("&Relink"), this);
    m_relink->setObjectName(QStringLiteral("btnRelink"));
    m_relink->setDefault(true);
    m_cancel = new QPushButton(tr("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("btnCancel"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_browse);
    buttons->addStretch(1);
    buttons->addWidget(m_relink);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(m_status);
    layout->addWidget(m_progress);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);

    connect(m_browse, &QPushButton::clicked, this, &LocateDialog::browse);
    connect(m_relink, &QPushButton::clicked, this, &LocateDialog::relinkSelected);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &LocateDialog::relinkSelected);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &LocateDialog::updateButtons);
    connect(m_list, &QTreeWidget::itemPressed, this, [this] { m_userSelected = true; });

    connect(&m_watcher, &QFutureWatcherBase::progressValueChanged, m_progress,
            &QProgressBar::setValue);
    connect(&m_watcher, &QFutureWatcherBase::resultsReadyAt, this, [this](int begin, int end) {
        for (int i = begin; i < end; ++i)
            addCandidate(m_watcher.resultAt(i));
    });
    connect(&m_watcher, &QFutureWatcherBase::finished, this, &LocateDialog::finishSearch);
    m_watcher.setFuture(QtConcurrent::run([request](QPromise<Candidate>& promise) {
        promise.setProgressRange(0, Permille);
        MovedFileSearch search({request.lost}, request.roots);
        search.setExcluded(request.excluded);
        search.run(
            [&promise](int permille) {
                promise.setProgressValue(permille);
                return !promise.isCanceled();
            },
            [&promise](int, const Candidate& found) { promise.addResult(found); });
    }));
    updateButtons();
}

LocateDialog::~LocateDialog()
{
    stopSearch();
}

void LocateDialog::stopSearch()
{
    if (!m_watcher.isFinished()) {
        m_watcher.cancel();
        m_watcher.waitForFinished();
    }
}

void LocateDialog::addCandidate(const Candidate& candidate)
{
    const LostTarget& lost = m_request.lost;
    const auto at = std::upper_bound(m_found.begin(), m_found.end(), candidate,
                                     [&lost](const Candidate& a, const Candidate& b) {
                                         return MovedFileSearch::better(lost, a, b);
                                     });
    const int row = int(at - m_found.begin());
    m_found.insert(at, candidate);
    auto* item = new QTreeWidgetItem;
    item->setText(colLocation, candidate.path);
    item->setText(colSize,
                  candidate.folder ? QString() : QLocale().formattedDataSize(candidate.size));
    item->setTextAlignment(colSize, Qt::AlignRight | Qt::AlignVCenter);
    item->setText(colModified, QLocale().toString(QDateTime::fromSecsSinceEpoch(candidate.modified),
                                                  QLocale::ShortFormat));
    item->setToolTip(colLocation, matchText(candidate.match));
    m_list->insertTopLevelItem(row, item);
    // The best place stays selected until the user picks another.
    if (!m_userSelected) {
        const QSignalBlocker quiet(m_list);
        m_list->setCurrentItem(m_list->topLevelItem(0));
    }
    m_status->setText(tr("Searching... %1 found so far.").arg(m_found.size()));
    updateButtons();
}

void LocateDialog::finishSearch()
{
    m_progress->setValue(Permille);
    m_progress->hide();
    const bool stopped = m_watcher.isCanceled();
    if (m_found.empty())
        m_status->setText(stopped ? tr("The search was stopped.")
                                  : tr("Nothing found. Use \"Browse...\" to show "
                                       "where it is now."));
    else
        m_status->setText(tr("%1 found; the best fit is selected. Hover over a "
                             "place to see why it was found.")
                              .arg(m_found.size()));
    updateButtons();
    m_done = true;
    Q_EMIT searchFinished();
}

void LocateDialog::updateButtons()
{
    m_relink->setEnabled(m_list->currentItem() != nullptr);
}

void LocateDialog::relinkSelected()
{
    const int row = m_list->indexOfTopLevelItem(m_list->currentItem());
    if (row < 0 || row >= int(m_found.size()))
        return;
    m_chosen = m_found[size_t(row)].path;
    accept();
}

void LocateDialog::browse()
{
    const bool folder = m_request.lost.kind == TargetKind::Folder;
    const QString title = tr("Locate \"%1\"").arg(m_request.name);
    const QString start = nearestFolder(m_request.lost.path);
    const QString picked = pickPathHook() ? pickPathHook()(title, start, folder)
                           : folder       ? QFileDialog::getExistingDirectory(this, title, start)
                                          : QFileDialog::getOpenFileName(this, title, start);
    if (picked.isEmpty())
        return;
    m_chosen = picked;
    accept();
}
