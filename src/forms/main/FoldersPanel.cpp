#include "forms/main/FoldersPanel.h"
#include "catalogue/SettingKeys.h"
#include "forms/main/CommandActions.h"
#include "utils/Bounded.h"

#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QStorageInfo>
#include <QVBoxLayout>
#include <algorithm>

namespace
{

constexpr QSize PanelSize(152, 249);
constexpr int PanelMargin = 2;

} // namespace

FoldersPanel::FoldersPanel(CommandContext& context, QWidget* window)
    : QObject(window), m_window(window)
{
    setObjectName(QStringLiteral("FoldersPanel"));
    m_panel = new QFrame(window);
    m_panel->setObjectName(QStringLiteral("ExplorerPanel"));
    m_panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    m_panel->setAutoFillBackground(true);
    m_panel->setGeometry(QRect(
        QPoint(Setting::FoldersLeft.defaultValue, Setting::FoldersTop.defaultValue), PanelSize));
    auto* layout = new QVBoxLayout(m_panel);
    layout->setContentsMargins(PanelMargin, PanelMargin, PanelMargin, PanelMargin);
    layout->setSpacing(PanelMargin);
    auto* title = new QLabel(QStringLiteral("Folders"), m_panel);
    title->setStyleSheet(QStringLiteral(
        "color: white; font-weight: bold; background: palette(dark); padding: 1px;"));
    m_dirList = new QListWidget(m_panel);
    m_dirList->setObjectName(QStringLiteral("DirListBox"));
    m_dirList->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_dirList->addAction(context.commands().action(Commands::Id::Explore));
    m_drives = new QComboBox(m_panel);
    m_drives->setObjectName(QStringLiteral("cbDrive"));
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady())
            m_drives->addItem(volume.rootPath(), volume.rootPath()); // paths keep their case
    layout->addWidget(title);
    layout->addWidget(m_dirList, 1);
    layout->addWidget(m_drives);
    m_dirList->setAccessibleName(QStringLiteral("Folders"));
    m_dirList->setAccessibleDescription(QStringLiteral("The folders of the selected volume"));
    m_drives->setAccessibleName(QStringLiteral("Volume"));
    m_drives->setAccessibleDescription(
        QStringLiteral("The mounted volume whose folders are shown"));
    m_panel->hide();
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
