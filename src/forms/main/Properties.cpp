#include "forms/main/Properties.h"
#include "catalogue/Catalogue.h"
#include "catalogue/LinkUpdates.h"
#include "components/MessageDialogs.h"
#include "forms/PropertiesDialog.h"
#include "forms/main/CategoryView.h"
#include "forms/main/CommandActions.h"
#include "forms/main/CommandContext.h"
#include "forms/main/Relinking.h"
#include "utils/FileOperations.h"
#include "utils/PathTests.h"
#include "utils/TextUtils.h"

#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QTimer>

using Commands::Id;

namespace
{

constexpr int MaxQuoted = 200; // characters of a typed location quoted in a message

Properties::DialogHook& dialogHook()
{
    static Properties::DialogHook hook;
    return hook;
}

} // namespace

Properties::ScopedDialogHook::ScopedDialogHook(DialogHook hook)
    : m_previous(std::exchange(dialogHook(), std::move(hook)))
{
}

Properties::ScopedDialogHook::~ScopedDialogHook()
{
    dialogHook() = std::move(m_previous);
}

Properties::Properties(CommandContext& context, CategoryView& view, Relinking& relinking)
    : QObject(&view), m_context(context), m_view(view), m_relinking(relinking)
{
    setObjectName(QStringLiteral("Properties"));
    context.commands().connectCommand(Id::Properties, this, &Properties::acPropertiesExecute);
}

bool Properties::samePlace(const QString& a, const QString& b)
{
    if (a == b)
        return true;
    // Only local paths have other spellings; an address is its text.
    if (!a.startsWith(u'/') || !b.startsWith(u'/'))
        return false;
    if (QDir::cleanPath(a) == QDir::cleanPath(b))
        return true;
    const QString ra = QFileInfo(a).canonicalFilePath(), rb = QFileInfo(b).canonicalFilePath();
    return !ra.isEmpty() && ra == rb;
}

QString Properties::movedTo(const QString& source, const QString& destination)
{
    if (!destination.endsWith(u'/') && !QFileInfo(destination).isDir())
        return destination;
    const QString name = QFileInfo(QDir::cleanPath(source)).fileName();
    return QDir::cleanPath(destination + u'/' + name);
}

void Properties::acPropertiesExecute()
{
    TreeNode* node = m_context.targetNode();
    if (!node || !node->data())
        return;
    Catalogue& catalogue = m_context.catalogue();
    NodeTree& nodes = catalogue.nodes();
    PropertiesDialog::Fields fields;
    const int image = node->imageIndex();
    if (image >= 0 && image < catalogue.images().large.count())
        fields.icon = catalogue.images().large.icon(image);
    fields.name = node->text();
    fields.type = nodeKindText(node->data()->kind);
    fields.location = node->data()->fullName;
    fields.comment = node->data()->comments;
    fields.parent = node->parent() ? node->parent()->text() : QStringLiteral("None");
    fields.targetMissing = isFileLink(node) && !FileUtils::probePath(fields.location).exists;

    PropertiesDialog dialog(fields, &m_context.window());
    // The entry may go while the dialog is up (a relink question elsewhere).
    const auto watch = connect(&nodes, &NodeTree::nodeDeleting, &dialog, [&node](TreeNode* going) {
        if (node && node->isUnder(going))
            node = nullptr;
    });
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
    disconnect(watch);
    if (!ok || !node)
        return;
    nodes.setText(node, dialog.name());
    nodes.editRecord(node, [&](NodeInfo& info) { info.comments = dialog.comment(); });
    const QString location = dialog.location();
    if (location != node->data()->fullName) {
        // Both ways may ask a question: the node is found again after it.
        const QPersistentModelIndex held(nodes.indexOf(node));
        if (fields.targetMissing)
            relinkLocation(node, location);
        else
            moveLocation(node, location);
        node = NodeTree::nodeOf(held);
    }
    if (node && node->parent())
        m_view.listCategory(node->parent());
}

std::optional<QString> Properties::checkedLocation(const TreeNode* node, const QString& typed)
{
    // Only a document or a folder has a real file behind it: the address of
    // a hyperlink or an e-mail entry stays, and never reaches the file system
    // as a path relative to the working folder.
    const NodeInfo* info = node->data();
    if ((info->kind != nkDoc && info->kind != nkFolder) || !FileUtils::isLocalPath(info->fullName))
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

void Properties::relinkLocation(TreeNode* node, const QString& typed)
{
    const std::optional<QString> checked = checkedLocation(node, typed);
    if (!checked)
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

void Properties::moveLocation(TreeNode* node, const QString& typed)
{
    const std::optional<QString> checked = checkedLocation(node, typed);
    if (!checked)
        return;
    const QString& location = *checked;
    const QString oldPath = node->data()->fullName;
    // Another spelling of the same place: moving a file onto itself could
    // only lose it.
    if (samePlace(oldPath, location))
        return;
    const QString newPath = movedTo(oldPath, location);
    if (!FileUtils::copyOrMove(oldPath, location, false, true))
        return; // the file operations told the user why
    NodeTree& nodes = m_context.catalogue().nodes();
    nodes.editRecord(node, [&](NodeInfo& info) { info.fullName = newPath; });
    updateLinksTo(m_context.catalogue().search(), nodes, oldPath, newPath,
                  [this](const QString& question) {
                      return MessageDialogs::askYesNo(question, &m_context.window());
                  });
}
