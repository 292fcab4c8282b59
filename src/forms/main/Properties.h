#pragma once
#include "catalogue/EditHistory.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class CategoryView;
class CommandContext;
class NodeRef;
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

    // Tests: called with the dialog once it is shown, before the user acts.
    using DialogHook = std::function<void(PropertiesDialog&)>;
    static DialogHook& dialogHook();

private:
    void showProperties();
    // The typed location as the move's destination ("~" expanded), or none:
    // nothing moves for an entry without a file, and a location that holds a
    // line break or is not absolute is refused with a message.
    std::optional<QString> checkedLocation(const TreeNode* node, const QString& typed);
    void moveLocation(const NodeRef& node, const QString& typed,
                      std::shared_ptr<EditHistory::Step> step);
    // The same checks for the new place of a missing target, which must exist.
    void relinkLocation(const NodeRef& node, const QString& typed);

    CommandContext& m_context;
    CategoryView& m_view;
    Relinking& m_relinking;
};
