#pragma once
#include "forms/main/Commands.h"

#include <QString>
#include <functional>

class Catalogue;
class CommandActions;
class QMainWindow;
class QWidget;
class TreeNode;

// What every feature's controller needs from the window that composes them:
// the catalogue, the commands, the node a command acts on, where messages go.
// The main window fills it in; controllers never see the window itself.
class CommandContext
{
public:
    CommandContext(Catalogue& catalogue, QMainWindow& window, CommandActions& commands)
        : m_catalogue(catalogue), m_window(window), m_commands(commands)
    {
    }

    Catalogue& catalogue() const { return m_catalogue; }
    // The parent of dialogs and the widget whose focus decides the target.
    QMainWindow& window() const { return m_window; }
    CommandActions& commands() const { return m_commands; }

    // What a command acts on: the tree's selected node when the tree has the
    // focus, else the list's selected row's node when the list has it, else none.
    TreeNode* targetNode() const { return m_targetNode ? m_targetNode() : nullptr; }
    void setTargetNodeQuery(std::function<TreeNode*()> query) { m_targetNode = std::move(query); }

    // A balloon at the tray icon (icon: a TrayIcon::BalloonIcon), or the status
    // line without a tray.
    void showBalloon(const QString& title, const QString& text, int icon, int seconds) const
    {
        if (m_balloon)
            m_balloon(title, text, icon, seconds);
    }
    void setBalloonShower(std::function<void(const QString&, const QString&, int, int)> shower)
    {
        m_balloon = std::move(shower);
    }

    // Runs a command; an error it raises reaches the user as the program's
    // error box and the program goes on.
    static void guarded(const std::function<void()>& command);

private:
    Catalogue& m_catalogue;
    QMainWindow& m_window;
    CommandActions& m_commands;
    std::function<TreeNode*()> m_targetNode;
    std::function<void(const QString&, const QString&, int, int)> m_balloon;
};
