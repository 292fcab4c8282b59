#pragma once
#include "forms/main/CommandContext.h"
#include "forms/main/Commands.h"

#include <QObject>
#include <array>
#include <functional>

class QAction;
class QMainWindow;
class QMenu;
class QToolBar;
class QToolButton;

// The commands of the main window as actions, and the menus, tool bar and
// tool buttons they stand in, all made from the command table. Each feature's
// controller connects the commands it owns.
class CommandActions : public QObject
{
    Q_OBJECT
public:
    explicit CommandActions(QMainWindow& window);

    QAction* action(Commands::Id id) const { return m_actions[size_t(id)]; }
    QMenu* menu(Commands::Menu menu) const { return m_menus[size_t(menu)]; }
    QToolBar* toolBar() const { return m_toolBar; }
    // The tool button that stands for a menu (Search, View).
    QToolButton* menuButton(Commands::Menu menu) const;

    // Runs handler whenever the command is chosen, guarded like every command.
    template <class T> void connectCommand(Commands::Id id, T* receiver, void (T::*handler)())
    {
        connectCommand(id, receiver,
                       std::function<void()>([receiver, handler] { (receiver->*handler)(); }));
    }
    void connectCommand(Commands::Id id, QObject* receiver, std::function<void()> handler);
    // Runs handler when the tool button of the menu is clicked (not its arrow).
    void connectMenuButton(Commands::Menu menu, QObject* receiver, std::function<void()> handler);

    // Where a message about a command is placed: its tool button, when the
    // tool bar shows one, else the window.
    QWidget* anchor(Commands::Id id) const;

private:
    void createActions();
    void createMenus();
    void createToolBar();
    void fill(QWidget* target, Commands::Menu menu);

    QMainWindow& m_window;
    std::array<QAction*, size_t(Commands::Id::Count)> m_actions{};
    std::array<QMenu*, size_t(Commands::Menu::Count)> m_menus{};
    QToolBar* m_toolBar = nullptr;
    QToolButton* m_searchButton = nullptr;
    QToolButton* m_viewButton = nullptr;
};
