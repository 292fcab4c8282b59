#pragma once
#include "catalogue/Options.h"

#include <QObject>
#include <functional>

class AdditionalMenu;
class CategoryView;
class CommandContext;
class HotKeyControl;
class WindowSettings;

// The window's service commands: "Options...", "Start at login", the help
// page, the FAQ page and the support mail.
class ServiceCommands : public QObject
{
    Q_OBJECT
public:
    // What the options dialog shows and changes.
    struct Parts {
        CategoryView& view;
        AdditionalMenu& additional;
        HotKeyControl& hotKey;
        WindowSettings& settings;
    };

    ServiceCommands(CommandContext& context, const Parts& parts);

    // The options in force, read from the window.
    Options currentOptions() const;
    // Puts chosen options into force, in this order: columns, the title (an
    // empty one leaves it), the values (first '&' of each removed), recursive
    // changing, the hot key, start at login (only when it changed), deleting
    // non-actual links.
    void applyOptions(const Options& chosen);

    // The help page (beside the executable, else where an install puts it).
    static QString helpFile();

private:
    void editOptions();
    void toggleStartAtLogin();
    void openHelp();
    void openFaq();
    void writeToSupport();

    CommandContext& m_context;
    Parts m_parts;
};
