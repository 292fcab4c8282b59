#pragma once
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class CategoryView;
class CommandContext;
class PropertiesDialog;
class Relinking;
class TreeNode;

// "Properties...": the entry's name, comment and location in a dialog; a
// new location moves the real file or folder and offers to re-point the
// other links to it. For a missing file or folder, a new location relinks
// the entry instead, and the dialog offers the assistant that finds it.
class Properties : public QObject
{
    Q_OBJECT
public:
    Properties(CommandContext& context, CategoryView& view, Relinking& relinking);

    // Test hook: called with the dialog once it is shown, before the user
    // acts; the guard puts back the hook it replaced.
    using DialogHook = std::function<void(PropertiesDialog&)>;
    class ScopedDialogHook
    {
    public:
        explicit ScopedDialogHook(DialogHook hook);
        ~ScopedDialogHook();
        ScopedDialogHook(const ScopedDialogHook&) = delete;
        ScopedDialogHook& operator=(const ScopedDialogHook&) = delete;

    private:
        DialogHook m_previous;
    };

    // The same place for two spellings of one path ("/a/./b", "/a/b/", a
    // link to it): moving one onto the other must not happen.
    static bool samePlace(const QString& a, const QString& b);
    // Where an item moved to Destination ends up: inside it when it names
    // an existing folder or ends with '/'.
    static QString movedTo(const QString& source, const QString& destination);

private:
    void acPropertiesExecute();
    // The typed location as the move's destination ("~" expanded), or none:
    // nothing moves for an entry without a file, and a location that holds a
    // line break or is not absolute is refused with a message.
    std::optional<QString> checkedLocation(const TreeNode* node, const QString& typed);
    void moveLocation(TreeNode* node, const QString& typed);
    // The same checks for the new place of a missing target, which must exist.
    void relinkLocation(TreeNode* node, const QString& typed);

    CommandContext& m_context;
    CategoryView& m_view;
    Relinking& m_relinking;
};
