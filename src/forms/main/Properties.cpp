#include "forms/main/Properties.h"
#include "catalogue/Catalogue.h"
#include "catalogue/LinkUpdates.h"
#include "components/MessageDialogs.h"
#include "forms/PropertiesDialog.h"
#include "forms/main/CategoryView.h"
#include "forms/main/CommandActions.h"
#include "forms/main/CommandContext.h"
#include "forms/main/RealFiles.h"
#include "forms/main/Relinking.h"
#include "utils/PathTests.h"
#include "utils/TextUtils.h"

#include <QDir>
#include <QMainWindow>
#include <QTimer>

using Commands::Id;

namespace
{

constexpr int MaxQuoted = 200; // characters of a typed location quoted in a message

} // namespace

Properties::DialogHook& Properties::dialogHook()
{
    static DialogHook hook;
    return hook;
}

Properties::Properties(CommandContext& context, CategoryView& view, Relinking& relinking)
    : QObject(&view), m_context(context), m_view(view), m_relinking(relinking)
{
    setObjectName(QStringLiteral("Properties"));
    context.commands().connectCommand(Id::Properties, this, &Properties::showProperties);
}

void Properties::showProperties()
{
    Catalogue& catalogue = m_context.catalogue();
    NodeTree& nodes = catalogue.nodes();
    // The entry may go while a dialog or question is up (a relink question,
    // the end of the run): it is held, not pointed at.
    const NodeRef node(nodes, m_context.targetNode());
    if (!node || !node->data())
        return;
    PropertiesDialog::Fields fields;
    const int image = node->imageIndex();
    if (image >= 0 && image < catalogue.images().large.count())
        fields.icon = catalogue.images().large.icon(image);
    fields.name = node->text();
    fields.type = nodeKindText(node->data()->kind);
    fields.location = node->data()->fullName;
    fields.comment = node->data()->comments;
    fields.parent = node->parent() ? node->parent()->text() : tr("None");
    fields.targetMissing = isFileLink(node) && !FileUtils::probePath(fields.location).exists;

    PropertiesDialog dialog(fields, &m_context.window());
    connect(&dialog, &PropertiesDialog::locateRequested, this, [this, &node, &dialog] {
        // Over the dialog, which stays on top of everything else.
        if (const QString found = m_relinking.findNewLocation(node, &dialog); !found.isEmpty())
            dialog.setLocation(found);
    });
    if (dialogHook())
        QTimer::singleShot(0, &dialog, [&dialog] {
            if (dialogHook())
                dialogHook()(dialog);
        });
    const bool ok = dialog.exec() == QDialog::Accepted;
    if (!ok || !node)
        return;
    const bool moving = dialog.location() != node->data()->fullName;
    const QString stepText = moving ? QStringLiteral("Move \"%1\"").arg(node->text())
                             : dialog.name() != node->text()
                                 ? QStringLiteral("Rename \"%1\"").arg(dialog.name())
                                 : QStringLiteral("Comment \"%1\"").arg(node->text());
    // Held by a link update that outlasts this (a move's other links).
    auto step = std::make_shared<EditHistory::Step>(catalogue.history(), stepText);
    nodes.setText(node, dialog.name());
    nodes.editRecord(node, [&](NodeInfo& info) { info.comments = dialog.comment(); });
    // The list shows the new name and comment by itself.
    if (const QString location = dialog.location(); location != node->data()->fullName) {
        if (fields.targetMissing)
            relinkLocation(node, location);
        else
            moveLocation(node, location, step);
    }
}

std::optional<QString> Properties::checkedLocation(const TreeNode* node, const QString& typed)
{
    // Only a document or a folder has a real file behind it: the address of
    // a hyperlink or an e-mail entry stays, and never reaches the file system
    // as a path relative to the working folder.
    const NodeInfo* info = node->data();
    if ((info->kind != NodeKind::Doc && info->kind != NodeKind::Folder) ||
        !FileUtils::isLocalPath(info->fullName))
        return std::nullopt;
    if (TextUtils::hasLineBreakOrNul(typed)) {
        MessageDialogs::errorBox(
            QStringLiteral("The new location holds a line break or a NUL character, which the "
                           "catalogue cannot store. Nothing was moved.\n\n%1")
                .arg(TextUtils::excerpt(TextUtils::singleLine(typed), MaxQuoted)),
            &m_context.window());
        return std::nullopt;
    }
    QString location = typed;
    if (location == u"~" || location.startsWith(QStringLiteral("~/")))
        location = QDir::homePath() + location.mid(1);
    // A relative path would be taken from the program's working folder,
    // which the user never sees.
    if (!location.startsWith(u'/')) {
        MessageDialogs::errorBox(
            QStringLiteral("The new location \"%1\" is not an absolute path. Give the whole "
                           "path, starting with \"/\" (or \"~/\" for your home folder). Nothing "
                           "was moved.")
                .arg(TextUtils::excerpt(typed, MaxQuoted)),
            &m_context.window());
        return std::nullopt;
    }
    return location;
}

void Properties::relinkLocation(const NodeRef& node, const QString& typed)
{
    const std::optional<QString> checked = checkedLocation(node, typed);
    if (!checked || !node)
        return;
    // The file the dialog found may have gone since.
    if (!FileUtils::probePath(*checked).exists) {
        MessageDialogs::errorBox(
            QStringLiteral("There is no file or folder at \"%1\". The link was left as it was.")
                .arg(TextUtils::excerpt(*checked, MaxQuoted)),
            &m_context.window());
        return;
    }
    m_relinking.relinkTo(node, *checked);
}

void Properties::moveLocation(const NodeRef& node, const QString& typed,
                              std::shared_ptr<EditHistory::Step> step)
{
    const std::optional<QString> checked = checkedLocation(node, typed);
    if (!checked)
        return;
    const QString& location = *checked;
    const QString oldPath = node->data()->fullName;
    const QString newPath =
        RealFiles::moveOrCopy(m_context.catalogue(), oldPath, location, true, &m_context.window());
    if (newPath.isEmpty())
        return; // nothing moved, and the user was told why
    RealFiles::keepMoveForUndo(m_context.catalogue(), oldPath, newPath, &m_context.window());
    NodeTree& nodes = m_context.catalogue().nodes();
    if (node)
        nodes.editRecord(node, [&](NodeInfo& info) { info.fullName = newPath; });
    // The step stays open until the other links are through.
    m_context.catalogue().startLinkUpdate(
        oldPath, newPath,
        [this](const QString& question) {
            return MessageDialogs::askYesNo(question, &m_context.window());
        },
        [step = std::move(step)](int) {});
}
