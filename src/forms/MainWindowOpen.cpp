// Opening entries, the relink question for moved documents, and the tray.
#include "catalogue/Artwork.h"
#include "catalogue/ListModel.h"
#include "components/MessageDialogs.h"
#include "components/TrayIcon.h"
#include "forms/MainWindow.h"
#include "utils/Desktop.h"
#include "utils/PathTests.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QListView>
#include <QMenu>
#include <QScopeGuard>
#include <QStatusBar>
#include <QTreeView>

using namespace FileUtils;

namespace
{

// Enter in the tree or the list opens like a double click. Alt+Enter belongs
// to Properties; an open name editor has the keys, not the view.
class EnterOpens : public QObject
{
public:
    EnterOpens(QAbstractItemView* view, std::function<void()> open)
        : QObject(view), m_view(view), m_open(std::move(open))
    {
        view->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_view || event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) ||
            (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        m_open();
        return true;
    }

private:
    QAbstractItemView* m_view;
    std::function<void()> m_open;
};

// The folder that holds a path; the root keeps its delimiter.
QString folderPart(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0)
        return QString();
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

// Where to look for a moved document: its old folder, or the nearest folder
// above it that still exists.
QString nearestExistingFolder(const QString& path)
{
    QString folder = folderPart(path);
    while (!folder.isEmpty() && !directoryExists(folder) && folder != u"/")
        folder = folderPart(folder);
    return folder.isEmpty() ? QDir::homePath() : folder;
}

} // namespace

void MainWindow::createTrayAndOpening()
{
    coolTrayIcon = new TrayIcon(this);
    coolTrayIcon->setIcon(Artwork::programIcon());
    coolTrayIcon->setHint(QStringLiteral("Quillmere"));
    coolTrayIcon->setShowHint(true);
    coolTrayIcon->setPopupMenu(trayMenu);
    coolTrayIcon->setMinimizeToTray(true);
    coolTrayIcon->setIconVisible(true);
    connect(coolTrayIcon, &TrayIcon::click, this,
            [this] { guarded([this] { coolTrayIconClick(); }); });

    catalogue.askNewLocationHook = [this](const QString& name, const QString& path, TreeNode* node,
                                          const QString& comments) {
        return askNewLocation(name, path, node, comments);
    };

    const auto openTree = [this] { guarded([this] { docsTreeDblClick(); }); };
    const auto openList = [this] { guarded([this] { listViewDblClick(); }); };
    connect(docsTree, &QAbstractItemView::doubleClicked, this, openTree);
    new EnterOpens(docsTree, openTree);
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(listIcons),
                                    static_cast<QAbstractItemView*>(listDetails)}) {
        connect(view, &QAbstractItemView::doubleClicked, this, openList);
        new EnterOpens(view, openList);
    }
}

// ---------------------------------------------------------------- the tray

void MainWindow::showBalloon(const QString& title, const QString& text, int iconKind, int seconds)
{
    coolTrayIcon->showBalloonHint(title, text, TrayIcon::BalloonIcon(iconKind), seconds);
    // Without a tray the message would be lost: the status line shows it.
    if (!coolTrayIcon->inTray())
        statusBar()->showMessage(title + QStringLiteral(": ") + text, seconds * 1000);
}

void MainWindow::showBalloon(const QString& title, const QString& text, int seconds)
{
    showBalloon(title, text, TrayIcon::bitInfo, seconds);
}

void MainWindow::restoreFromTray()
{
    coolTrayIcon->showMainForm();
}

void MainWindow::hideToTray()
{
    coolTrayIcon->hideMainForm();
}

void MainWindow::coolTrayIconClick()
{
    if (isVisible())
        hideToTray();
    else
        restoreFromTray();
}

void MainWindow::setShowHotKeyText(const QString& keyText)
{
    show1->setText(keyText.isEmpty() ? QStringLiteral("Show") : QStringLiteral("Show\t") + keyText);
}

void MainWindow::show1Click()
{
    restoreFromTray();
}
void MainWindow::hide1Click()
{
    hideToTray();
}

// ---------------------------------------------------------------- opening

TreeNode* MainWindow::listNodeAt(const QModelIndex& row) const
{
    const auto* model = qobject_cast<const ListModel*>(row.model());
    return model ? model->nodeOf(row) : nullptr;
}

QModelIndex MainWindow::selectedListRow() const
{
    const QItemSelectionModel* selection = listDetails->selectionModel();
    if (!selection)
        return {};
    const QModelIndex current = selection->currentIndex();
    if (current.isValid() && selection->isRowSelected(current.row(), current.parent()))
        return current.siblingAtColumn(0);
    const QModelIndexList rows = selection->selectedRows();
    return rows.isEmpty() ? QModelIndex() : rows.first();
}

TreeNode* MainWindow::commandTargetNode() const
{
    // The focus the window remembers, so a command from the tray menu or a
    // tool button still acts on what the user was working in.
    const QWidget* focus = focusWidget();
    if (focus == docsTree)
        return selectedTreeNode();
    if (focus == listIcons || focus == listDetails)
        return listNodeAt(selectedListRow());
    return nullptr;
}

void MainWindow::openTarget(const QString& target)
{
    QString address = target;
    // An address already written as a mail link keeps its one prefix.
    if (isEMail(target) && !target.startsWith(QStringLiteral("mailto:"), Qt::CaseInsensitive))
        address = QStringLiteral("mailto:") + target;
    if (!Desktop::openUrl(address))
        throw CatalogueError(QStringLiteral("Cannot execute ShellExecute function!"));
}

void MainWindow::openNode(TreeNode* node)
{
    if (node->data()->kind == nkURL) {
        openTarget(node->data()->fullName);
        return;
    }
    // The list refill that follows may ask the relink question about this
    // node and about others in the same list; any answer may remove this
    // node, and then it must not be touched again.
    bool gone = false;
    const QMetaObject::Connection watch = connect(&catalogue.nodes(), &NodeTree::nodeDeleting, this,
                                                  [node, &gone](TreeNode* deleted) {
                                                      if (!gone && node->isUnder(deleted))
                                                          gone = true;
                                                  });
    auto unwatch = qScopeGuard([&watch] { QObject::disconnect(watch); });
    m_relinkAskedFor = nullptr;
    catalogue.refreshNodeIcon(node, false);
    // Once the question was asked about this node, it is re-pointed or gone,
    // and that is the answer.
    const bool asked = m_relinkAskedFor == node;
    m_relinkAskedFor = nullptr;
    if (gone || asked)
        return;
    const QString path = node->data()->fullName;
    if (probePath(path).exists) // one look at the disk for file or folder alike
        openTarget(path);
    else
        MessageDialogs::warningBoxFmt(
            QStringLiteral("File \"%s\" not found.\rMay be it was replaced or removed."), {path},
            MessageDialogs::DefaultHorzOffset, MessageDialogs::DefaultVertOffset, this);
}

void MainWindow::docsTreeDblClick()
{
    TreeNode* node = selectedTreeNode();
    // A category only folds or unfolds, which the tree does by itself.
    if (!node || !node->data() || node->data()->kind == nkCategory)
        return;
    openNode(node);
}

void MainWindow::listViewDblClick()
{
    const QModelIndex row = selectedListRow();
    TreeNode* node = listNodeAt(row);
    if (!node || !node->data())
        return;
    if (ListModel::cellText(node, ListModel::colLocation).isEmpty())
        enterListedCategory(row);
    else
        openNode(node);
}

void MainWindow::enterListedCategory(const QModelIndex& row)
{
    TreeNode* node = listNodeAt(row);
    if (!node)
        return;
    const QModelIndex index = catalogue.nodes().indexOf(node);
    docsTree->expand(index);
    docsTree->setCurrentIndex(index); // the selection change lists it
    listCategory(node);
}

void MainWindow::acFindObjectExecute()
{
    TreeNode* node = commandTargetNode();
    if (!node || !node->data())
        return;
    if (node->data()->kind == nkCategory || node->data()->kind == nkURL) {
        MessageDialogs::errorBox(QStringLiteral("Could not do it with categories and hyperlinks."),
                                 this);
        return;
    }
    openTarget(folderPart(node->data()->fullName));
}

// ---------------------------------------------------------------- moved documents

bool MainWindow::askNewLocation(const QString& name, const QString& path, TreeNode* node,
                                const QString& comments)
{
    // The additional-field value is the user's own data: a relinked or
    // missing document keeps it.
    const QString additional = node->data() ? node->data()->sAdditional : QString();
    if (!acRemoveOnAbsent->isChecked()) {
        catalogue.fillDocNode(node, name, path, comments, additional, true);
        return true;
    }
    m_relinkAskedFor = node;
    const QString question = QStringLiteral("The document\r") + path + QStringLiteral("\r") +
                             QStringLiteral("was replaced or removed.") + QStringLiteral("\r") +
                             QStringLiteral("To define its new location, click \"Yes\"") +
                             QStringLiteral("\r") +
                             QStringLiteral("Othewise the link will be removed from the list.");
    QString picked;
    if (MessageDialogs::askYesNo(question, this)) {
        const QString title = QStringLiteral("Define new document location");
        const QString folder = nearestExistingFolder(path);
        picked = pickFileHook ? pickFileHook(title, folder)
                              : QFileDialog::getOpenFileName(this, title, folder);
    }
    if (!picked.isEmpty() && fileExists(picked)) {
        catalogue.fillDocNode(node, name, picked, comments, additional, false);
        return true;
    }
    removeNode(node);
    showBalloon(QStringLiteral("File not found!"), QStringLiteral("The link is removed"),
                TrayIcon::bitWarning, 10);
    return false;
}

void MainWindow::removeNode(TreeNode* node)
{
    TreeNode* next = node->parent();
    if (!next)
        next = node->getNextSibling();
    if (!next)
        next = node->getPrevSibling();
    catalogue.nodes().deleteNode(node); // the record goes with the node
    listCategory(next);
}
