#include "forms/main/FoldersPanel.h"
#include "catalogue/SettingKeys.h"
#include "forms/main/CommandActions.h"
#include "utils/Bounded.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileIconProvider>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QStorageInfo>
#include <QVBoxLayout>
#include <algorithm>

using Commands::Id;

namespace
{

constexpr QSize PanelSize(152, 249);
constexpr int PanelMargin = 2;
constexpr int CaptionHeight = 21;
constexpr int LineHeight = 16;
constexpr int IndentPerLevel = 2; // spaces per level of the folder list
constexpr int FolderRole = Qt::UserRole;

// A list that shows whole lines only: the room below the last whole line
// stays empty instead of showing a line cut in half.
class WholeLinesList : public QListWidget
{
public:
    WholeLinesList(int lineHeight, QWidget* parent) : QListWidget(parent), m_lineHeight(lineHeight)
    {
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff); // names too long show in the tip
        setBackgroundRole(QPalette::Base);                    // the spare room looks like the list
        setAutoFillBackground(true);
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        setViewportMargins(0, 0, 0, contentsRect().height() % m_lineHeight);
        QListWidget::resizeEvent(event);
    }

private:
    int m_lineHeight;
};

} // namespace

FoldersPanel::FoldersPanel(CommandContext& context, QWidget* window)
    : QObject(window), m_context(context), m_window(window)
{
    setObjectName(QStringLiteral("FoldersPanel"));
    m_panel = new QFrame(window);
    m_panel->setObjectName(QStringLiteral("ExplorerPanel"));
    m_panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    m_panel->setAutoFillBackground(true);
    QPalette shade = m_panel->palette();
    shade.setColor(QPalette::Window,
                   shade.color(QPalette::Inactive, QPalette::Highlight).darker(110));
    m_panel->setPalette(shade);
    m_panel->setGeometry(QRect(
        QPoint(Setting::FoldersLeft.defaultValue, Setting::FoldersTop.defaultValue), PanelSize));
    auto* layout = new QVBoxLayout(m_panel);
    layout->setContentsMargins(PanelMargin, 0, PanelMargin, PanelMargin);
    layout->setSpacing(PanelMargin);
    m_caption = new QLabel(QStringLiteral("Folders"), m_panel);
    m_caption->setObjectName(QStringLiteral("FoldersCaption"));
    m_caption->setFixedHeight(CaptionHeight);
    m_caption->setStyleSheet(QStringLiteral("color: white; font-weight: bold; padding: 1px;"));
    m_caption->setCursor(Qt::SizeAllCursor);
    m_dirList = new WholeLinesList(LineHeight, m_panel);
    m_dirList->setObjectName(QStringLiteral("DirListBox"));
    m_dirList->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_dirList->addAction(context.commands().action(Id::ShowFolders));
    m_dirList->setUniformItemSizes(true);
    m_dirList->setIconSize(QSize(LineHeight - 2, LineHeight - 2));
    m_drives = new QComboBox(m_panel);
    m_drives->setObjectName(QStringLiteral("cbDrive"));
    layout->addWidget(m_caption);
    layout->addWidget(m_dirList, 1);
    layout->addWidget(m_drives);
    m_dirList->setAccessibleName(QStringLiteral("Folders"));
    m_dirList->setAccessibleDescription(QStringLiteral("The folders of the selected volume"));
    m_drives->setAccessibleName(QStringLiteral("Volume"));
    m_drives->setAccessibleDescription(
        QStringLiteral("The mounted volume whose folders are shown"));
    m_panel->hide();

    // The panel's own surface and its caption strip move it.
    m_panel->installEventFilter(this);
    m_caption->installEventFilter(this);
    connect(m_dirList, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { setCurrentFolder(item->data(FolderRole).toString()); });
    connect(m_drives, &QComboBox::activated, this,
            [this](int index) { setCurrentFolder(m_drives->itemData(index).toString()); });
    context.commands().connectCommand(Id::ShowFolders, this, &FoldersPanel::followShowFolders);

    fillDrives();
    setCurrentFolder(QDir::currentPath());
}

bool FoldersPanel::isShown() const
{
    return !m_panel->isHidden();
}

QPoint FoldersPanel::position() const
{
    return m_panel->pos();
}

void FoldersPanel::moveLeftWithin(int left)
{
    m_panel->move(bounded(left, 0, m_window->width() - m_panel->width()), m_panel->y());
}

void FoldersPanel::moveTopWithin(int top)
{
    m_panel->move(m_panel->x(), bounded(top, 0, m_window->height() - m_panel->height()));
}

void FoldersPanel::moveWithin(int left, int top)
{
    moveLeftWithin(left);
    moveTopWithin(top);
}

void FoldersPanel::followShowFolders()
{
    // The action ticks itself when chosen; the panel follows the tick.
    if (m_context.commands().action(Id::ShowFolders)->isChecked()) {
        m_panel->show();
        m_panel->raise();
    } else {
        m_panel->hide();
    }
}

bool FoldersPanel::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const auto* e = static_cast<QMouseEvent*>(event);
        m_moving = true;
        m_grab = m_panel->mapFromGlobal(e->globalPosition().toPoint());
        m_panel->raise();
        return true;
    }
    case QEvent::MouseMove:
        if (m_moving) {
            const auto* e = static_cast<QMouseEvent*>(event);
            const QPoint to = m_window->mapFromGlobal(e->globalPosition().toPoint()) - m_grab;
            moveWithin(to.x(), to.y());
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (std::exchange(m_moving, false))
            return true;
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

QString FoldersPanel::joinPath(const QString& folder, const QString& name)
{
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

QString FoldersPanel::folderOfLine(int row) const
{
    const QListWidgetItem* item = m_dirList->item(row);
    return item ? item->data(FolderRole).toString() : QString();
}

void FoldersPanel::setCurrentFolder(const QString& folder)
{
    QString path = QDir::cleanPath(folder);
    if (path.isEmpty() || !QDir(path).exists())
        path = QDir::rootPath();
    m_current = path;
    fillDirList();
    const QString root = QStorageInfo(m_current).rootPath();
    const int drive = m_drives->findData(root.isEmpty() ? QDir::rootPath() : root);
    if (drive >= 0)
        m_drives->setCurrentIndex(drive);
}

void FoldersPanel::fillDrives()
{
    m_drives->clear();
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady())
            roots << volume.rootPath(); // paths keep their case
    std::sort(roots.begin(), roots.end());
    roots.erase(std::unique(roots.begin(), roots.end()), roots.end());
    for (const QString& root : roots)
        m_drives->addItem(root, root);
}

void FoldersPanel::fillDirList()
{
    m_dirList->clear();
    QString root = QStorageInfo(m_current).rootPath();
    if (root.isEmpty())
        root = QDir::rootPath();
    const QIcon closed = QFileIconProvider().icon(QFileIconProvider::Folder);
    const auto addLine = [&](const QString& path, const QString& text, int depth) {
        auto* item = new QListWidgetItem(closed, QString(depth * IndentPerLevel, u' ') + text);
        item->setData(FolderRole, path);
        item->setToolTip(path);
        item->setSizeHint(QSize(0, LineHeight));
        m_dirList->addItem(item);
    };
    addLine(root, root, 0);
    int depth = 0;
    QString path = root;
    const QString below = QDir(root).relativeFilePath(m_current);
    if (below != QStringLiteral(".") && !below.isEmpty())
        for (const QString& part : below.split(u'/', Qt::SkipEmptyParts)) {
            path = joinPath(path, part);
            addLine(path, part, ++depth);
        }
    m_dirList->setCurrentRow(m_dirList->count() - 1); // the current folder
    const QStringList subfolders =
        QDir(m_current).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : subfolders)
        addLine(joinPath(m_current, name), name, depth + 1);
}
