#pragma once
#include <QObject>

class AdditionalMenu;
class CategoryView;
class CommandContext;
class FoldersPanel;
class Intake;
class QWidget;
class SettingsStore;

// The window's state that survives a restart (bounds, the tree's width, the
// view style, columns, the folders panel, the options) read at start-up and
// written at the end, through the settings table.
class WindowSettings : public QObject
{
    Q_OBJECT
public:
    // What the settings describe; the window's layout puts the drop strip
    // beside the tree.
    struct Parts {
        CategoryView& view;
        AdditionalMenu& additional;
        FoldersPanel& folders;
        QWidget& dropStrip;
        Intake& intake;
    };

    WindowSettings(CommandContext& context, const Parts& parts);

    // Reads the settings file; what the user must hear goes to problem().
    void readSettings();
    void writeSettings();
    // The restore hot key as a shortcut word.
    int hotKey() const { return m_hotKey; }
    // The hot key in force, as the next write keeps it.
    void setHotKey(int key) { m_hotKey = key; }

Q_SIGNALS:
    // Something the user is told once the window is up.
    void problem(const QString& text);
    // The hot key read from the settings (also when none are stored).
    void hotKeyRead(int key);

private:
    void readSettings(SettingsStore& store);

    CommandContext& m_context;
    Parts m_parts;
    int m_hotKey;
};
