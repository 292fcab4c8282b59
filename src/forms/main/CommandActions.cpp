#include "forms/main/CommandActions.h"
#include "catalogue/Artwork.h"
#include "components/MessageDialogs.h"

#include <QAction>
#include <QActionGroup>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

using Commands::Id;
using Commands::Menu;

namespace
{

// The size of the Search and View buttons' pictures.
constexpr QSize ToolIconSize(16, 16);

} // namespace

void CommandContext::guarded(const std::function<void()>& command)
{
    try {
        command();
    } catch (const std::exception& e) {
        MessageDialogs::applicationError(QString::fromUtf8(e.what()));
    }
}

CommandActions::CommandActions(QMainWindow& window) : QObject(&window), m_window(window)
{
    setObjectName(QStringLiteral("CommandActions"));
    createActions();
    createMenus();
    createToolBar();
}

void CommandActions::createActions()
{
    for (const Commands::Entry& entry : Commands::table()) {
        auto* action = new QAction(QString::fromUtf8(entry.caption), &m_window);
        action->setObjectName(QString::fromLatin1(entry.objectName));
        if (*entry.hint)
            action->setToolTip(QString::fromUtf8(entry.hint));
        if (entry.shortcut)
            action->setShortcut(QKeySequence(entry.shortcut));
        if (entry.image >= 0)
            action->setIcon(Artwork::commandImage(entry.image));
        action->setCheckable(entry.flags & Commands::Checkable);
        m_actions[size_t(entry.command)] = action;
        m_window.addAction(action); // shortcuts work wherever the focus is in the window
    }
    action(Id::StartAtLogin)->setChecked(true);

    // Two sets of view-style entries, each choosing one style: the menus say
    // "Details", the View button's drop-down says "Detailes".
    for (const std::array<Id, 4>& set :
         {std::array{Id::LargeIcons, Id::SmallIcons, Id::List, Id::Details},
          std::array{Id::ButtonLargeIcons, Id::ButtonSmallIcons, Id::ButtonList,
                     Id::ButtonDetails}}) {
        auto* group = new QActionGroup(this);
        for (Id style : set)
            group->addAction(action(style));
        action(set.back())->setChecked(true);
    }
}

void CommandActions::createMenus()
{
    // The menu bar's menus in their order, then the others.
    for (Menu m : {Menu::File, Menu::Edit, Menu::ViewMain, Menu::Service, Menu::Help})
        m_menus[size_t(m)] =
            m_window.menuBar()->addMenu(QString::fromUtf8(Commands::menuEntry(m).title));
    for (size_t i = 0; i < size_t(Menu::Count); ++i) {
        const Commands::MenuEntry& entry = Commands::menuEntry(Menu(i));
        if (entry.menu == Menu::ToolBar || m_menus[i])
            continue;
        m_menus[i] = new QMenu(QString::fromUtf8(entry.title), &m_window);
    }
    for (size_t i = 0; i < size_t(Menu::Count); ++i) {
        if (QMenu* m = m_menus[i]) {
            m->setObjectName(QString::fromLatin1(Commands::menuEntry(Menu(i)).objectName));
            fill(m, Menu(i));
        }
    }
    menu(Menu::Search)->setIcon(Artwork::commandImage(Artwork::SearchImage));
    menu(Menu::Search)->setDefaultAction(action(Id::FindByName));
    menu(Menu::Tray)->setDefaultAction(action(Id::Show));
}

void CommandActions::fill(QWidget* target, Menu menu)
{
    auto* asMenu = qobject_cast<QMenu*>(target);
    auto* asBar = qobject_cast<QToolBar*>(target);
    for (const Commands::Slot& slot : Commands::menuEntry(menu).slots) {
        switch (slot.kind) {
        case Commands::Slot::Command:
            target->addAction(action(slot.command));
            break;
        case Commands::Slot::Separator:
            if (asMenu)
                asMenu->addSeparator();
            else if (asBar)
                asBar->addSeparator();
            break;
        case Commands::Slot::Submenu:
            if (asMenu)
                asMenu->addMenu(this->menu(slot.menu));
            break;
        case Commands::Slot::MenuButton:
            if (asBar)
                asBar->addWidget(menuButton(slot.menu));
            break;
        }
    }
}

void CommandActions::createToolBar()
{
    const Commands::MenuEntry& entry = Commands::menuEntry(Menu::ToolBar);
    m_toolBar = m_window.addToolBar(QString::fromUtf8(entry.title));
    m_toolBar->setObjectName(QString::fromLatin1(entry.objectName));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setIconSize(ToolIconSize);
    m_toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_toolBar->setContextMenuPolicy(Qt::PreventContextMenu);

    m_searchButton = new QToolButton(m_toolBar);
    m_searchButton->setObjectName(QStringLiteral("btnSearch"));
    m_searchButton->setText(QStringLiteral("Search"));
    m_searchButton->setToolTip(QStringLiteral("Find in program..."));
    m_searchButton->setIcon(Artwork::commandImage(Artwork::SearchImage));
    m_searchButton->setPopupMode(QToolButton::MenuButtonPopup);
    m_searchButton->setMenu(menu(Menu::Search));
    m_searchButton->setAccessibleName(QStringLiteral("Search"));
    m_searchButton->setAccessibleDescription(
        QStringLiteral("Find entries by name, comment or additional field"));
    QAction* findByName = action(Id::FindByName);
    connect(m_searchButton, &QToolButton::clicked, findByName, &QAction::trigger);
    m_searchButton->setEnabled(findByName->isEnabled());
    connect(findByName, &QAction::changed, m_searchButton,
            [this, findByName] { m_searchButton->setEnabled(findByName->isEnabled()); });

    m_viewButton = new QToolButton(m_toolBar);
    m_viewButton->setObjectName(QStringLiteral("btnView"));
    m_viewButton->setText(QStringLiteral("View"));
    m_viewButton->setToolTip(QStringLiteral("View"));
    m_viewButton->setIcon(Artwork::commandImage(Artwork::DetailsImage));
    m_viewButton->setPopupMode(QToolButton::MenuButtonPopup);
    m_viewButton->setMenu(menu(Menu::ViewButton));
    m_viewButton->setAccessibleName(QStringLiteral("View"));
    m_viewButton->setAccessibleDescription(
        QStringLiteral("Switch the list between large icons, small icons, list and details"));

    fill(m_toolBar, Menu::ToolBar);
}

QToolButton* CommandActions::menuButton(Menu menu) const
{
    switch (menu) {
    case Menu::Search:
        return m_searchButton;
    case Menu::ViewButton:
        return m_viewButton;
    default:
        return nullptr;
    }
}

void CommandActions::connectCommand(Id id, QObject* receiver, std::function<void()> handler)
{
    connect(action(id), &QAction::triggered, receiver,
            [h = std::move(handler)] { CommandContext::guarded(h); });
}

void CommandActions::connectMenuButton(Menu menu, QObject* receiver, std::function<void()> handler)
{
    if (QToolButton* button = menuButton(menu))
        connect(button, &QToolButton::clicked, receiver,
                [h = std::move(handler)] { CommandContext::guarded(h); });
}

QWidget* CommandActions::anchor(Id id) const
{
    if (QWidget* button = m_toolBar->widgetForAction(action(id)))
        return button;
    return &m_window;
}
