#include "forms/main/Intake.h"
#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueListing.h"
#include "components/DropTarget.h"
#include "components/MessageDialogs.h"
#include "components/RunningDrags.h"
#include "components/UrlDropTarget.h"
#include "forms/PasteUrlDialog.h"
#include "forms/main/CategoryView.h"
#include "forms/main/CommandActions.h"
#include "forms/main/CommandContext.h"
#include "forms/main/TrayControl.h"
#include "utils/FileListing.h"
#include "utils/TextUtils.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTreeView>
#include <algorithm>

using Commands::Id;
using Commands::Menu;
using namespace FileUtils;

namespace
{

constexpr int MarkerLeft = 14;
constexpr int FileMarkerLift = 6; // the marker's middle at the pointer
constexpr int UrlMarkerLift = 8;
constexpr int StripToTree = 40; // a point on the strip probes the tree this far right
const QString PlacementHint = QStringLiteral("Click where the file must be added");
const QString NoFilesFound = QStringLiteral("Files not found");
const QString LinksOnTheStrip = QStringLiteral("Drop web links on the green strip");
const QString NoWebAddress =
    QStringLiteral("Only web addresses can be dropped here; add others with \"Add URL...\"");
const QString HyperlinksOnly =
    QStringLiteral("Onto this panel it is allowed to drag and drop hyperlinks only!");
constexpr int MaxShownName = 80; // of a folder in the folder menu

// Why a dropped text cannot be filed, or nothing: the catalogue takes no
// field longer than a typed one (a longer one would make every listing of
// its category crawl).
QString tooLongToFile(const QString& what, const QString& text)
{
    if (text.size() <= TextUtils::MaxFieldLength)
        return {};
    return QStringLiteral("This cannot be filed: its %1 is %2 characters long, more than the "
                          "%3 the catalogue takes.\n\n%4")
        .arg(what)
        .arg(text.size())
        .arg(TextUtils::MaxFieldLength)
        .arg(TextUtils::excerpt(TextUtils::singleLine(text)));
}

} // namespace

Intake::PickFiles& Intake::pickFilesHook()
{
    static PickFiles hook;
    return hook;
}

Intake::Intake(CommandContext& context, CategoryView& view, QWidget& dropStrip, TrayControl& tray)
    : QObject(&view), m_context(context), m_view(view), m_strip(dropStrip), m_tray(tray)
{
    setObjectName(QStringLiteral("Intake"));
    m_marker = dropStrip.findChild<QLabel*>(QStringLiteral("TargetMarker"));

    // Files: the whole window but the strip; links: the strip.
    m_fileTarget = new FileDropTarget(this);
    m_fileTarget->setObjectName(QStringLiteral("DropFileTarget"));
    m_fileTarget->setDragTypes(Qt::LinkAction);
    m_fileTarget->setExcluded(&dropStrip);
    m_fileTarget->attachTo(&context.window());
    m_urlTarget = new UrlDropTarget(this);
    m_urlTarget->setObjectName(QStringLiteral("DropURLTarget"));
    m_urlTarget->attachTo(&dropStrip);
    // A browser's link anywhere else on the window: the tree takes it.
    m_treeLinkTarget = new UrlDropTarget(this);
    m_treeLinkTarget->setObjectName(QStringLiteral("DropTreeURLTarget"));
    m_treeLinkTarget->setWebLinksOnly(true);
    m_treeLinkTarget->setExcluded(&dropStrip);
    m_treeLinkTarget->attachTo(&context.window());

    // A drag whose source allows no link is refused: it gets no marker.
    connect(m_fileTarget, &DropTarget::entered, this, [this](DropTargetEvent& e) {
        if (e.effect != Qt::IgnoreAction)
            showMarker();
    });
    connect(m_fileTarget, &DropTarget::draggedOver, this, [this](DropTargetEvent& e) {
        followForeignDrag(e);
        markFileRow(e.point);
    });
    connect(m_fileTarget, &DropTarget::left, this, &Intake::endFileDrag);
    connect(m_fileTarget, &DropTarget::dropped, this, [this](DropTargetEvent& e) {
        m_view.endForeignDrag();
        takeDroppedFiles(e.point, m_fileTarget->files);
    });
    connect(m_urlTarget, &DropTarget::entered, this, [this](DropTargetEvent& e) {
        if (e.effect == Qt::IgnoreAction)
            return;
        m_marker->show();
        markLinkRow(e.point);
    });
    connect(m_urlTarget, &DropTarget::draggedOver, this,
            [this](DropTargetEvent& e) { markLinkRow(e.point); });
    connect(m_urlTarget, &DropTarget::left, m_marker, &QWidget::hide);
    connect(m_urlTarget, &DropTarget::dropped, this, [this](DropTargetEvent& e) {
        takeDroppedLink(e.point, m_urlTarget->url, m_urlTarget->title);
    });
    connect(m_treeLinkTarget, &DropTarget::entered, this, &Intake::treeLinkDragOver);
    connect(m_treeLinkTarget, &DropTarget::draggedOver, this, [this](DropTargetEvent& e) {
        followForeignDrag(e);
        treeLinkDragOver(e);
    });
    connect(m_treeLinkTarget, &DropTarget::left, this, [this] {
        m_view.endForeignDrag();
        m_marker->hide();
        clearDragHint();
    });
    connect(m_treeLinkTarget, &DropTarget::dropped, this, [this](DropTargetEvent& e) {
        m_view.endForeignDrag();
        treeLinkDrop(e);
    });

    CommandActions& commands = context.commands();
    commands.connectCommand(Id::AddFile, this, &Intake::addFiles);
    commands.connectCommand(Id::AddUrl, this, &Intake::addUrl);
    // Above the choices, the folder they are about: a line, not a command
    // (no name, never enabled).
    QMenu* folderMenu = commands.menu(Menu::DragFolder);
    m_folderLine = new QAction(folderMenu);
    m_folderLine->setEnabled(false);
    folderMenu->insertAction(folderMenu->actions().value(0), m_folderLine);
}

void Intake::followForeignDrag(const DropTargetEvent& event)
{
    // The tree scrolls while a drag rests near its edges, a refused one too.
    m_view.followForeignDrag(m_context.window().mapToGlobal(event.point));
}

// ---------------------------------------------------------------- the marker

void Intake::moveMarker(int top)
{
    m_marker->move(MarkerLeft, top);
}

void Intake::showMarker()
{
    m_marker->show();
}

void Intake::markFileRow(const QPoint& windowPoint)
{
    QWidget& window = m_context.window();
    const QPoint onStrip = m_strip.mapFrom(&window, windowPoint);
    moveMarker(treeNodeAt(windowPoint) ? onStrip.y() - FileMarkerLift : 0);
}

void Intake::endFileDrag()
{
    m_view.endForeignDrag();
    m_marker->hide();
}

void Intake::markLinkRow(const QPoint& stripPoint)
{
    moveMarker(stripRowNode(stripPoint) ? stripPoint.y() - UrlMarkerLift : 0);
}

TreeNode* Intake::treeNodeAt(const QPoint& windowPoint) const
{
    return m_view.nodeAt(m_context.window().mapToGlobal(windowPoint));
}

TreeNode* Intake::stripRowNode(const QPoint& stripPoint) const
{
    // The strip and the tree share their top edge: the row level with the pointer.
    const QRect tree = m_view.treeArea();
    const QPoint p = m_strip.mapToGlobal(stripPoint);
    return m_view.nodeAt(
        QPoint(std::min(tree.left() + stripPoint.x() + StripToTree, tree.right()), p.y()));
}

// ---------------------------------------------------------------- filing files

void Intake::takeDroppedFiles(const QPoint& windowPoint, const QStringList& names)
{
    m_marker->hide();
    // The folder question and any message wait until the drop is through,
    // so the source is not kept waiting for its answer, and until no drag of
    // the window's own runs (a placement's press may start one). The target
    // is the row under the drop as it was then.
    const NodeRef target(m_context.catalogue().nodes(), treeNodeAt(windowPoint));
    RunningDrags::afterDrags(this, [this, windowPoint, names, target] {
        CommandContext::guarded([&] { fileNamesAt(names, target, windowPoint); });
        Q_EMIT intakeDone();
    });
}

TreeNode* Intake::mainCategory()
{
    Catalogue& catalogue = m_context.catalogue();
    if (!catalogue.topCategory()) {
        TreeNode* top = catalogue.addCategoryNode(nullptr, QStringLiteral("Main"));
        catalogue.setTopCategory(top);
    }
    return catalogue.topCategory();
}

TreeNode* Intake::orMainCategory(TreeNode* target)
{
    // Whatever the address: an entry filed into the built-in category would
    // be gone after the next save.
    if (!target || m_context.catalogue().inBuiltInCategory(target))
        return mainCategory();
    return target;
}

void Intake::fileNamesAt(const QStringList& names, const NodeRef& dropTarget,
                         const QPoint& windowPoint)
{
    QWidget& window = m_context.window();
    // One step for the drop, a main category made for it included.
    const EditHistory::Step step(m_context.catalogue().history(), QStringLiteral("Add files"));
    // The folder menus let other events run: a target that goes meanwhile
    // leaves the files to the main category.
    const NodeRef target(m_context.catalogue().nodes(), orMainCategory(dropTarget.get()));
    const QPoint menuPoint = window.mapToGlobal(windowPoint);
    QStringList toFile;
    for (const QString& name : names) {
        if (!isDirectory(name)) {
            toFile << name;
            continue;
        }
        switch (askFolder(menuPoint, name)) {
        case FolderChoice::Single:
            toFile << name;
            break;
        case FolderChoice::Content: {
            QStringList listing;
            listFiles(name, QStringLiteral("*.*"), listing);
            if (listing.size() == 1 && listing.first() == NoFilesFound)
                break;
            for (const QString& file : listing)
                if (!isDirectory(file))
                    toFile << file;
            break;
        }
        case FolderChoice::None:
        case FolderChoice::Cancel:
            break;
        }
    }
    fileBatch(toFile, orMainCategory(target));
}

Intake::FolderChoice Intake::askFolder(const QPoint& globalPoint, const QString& folder)
{
    QString name = QFileInfo(QDir::cleanPath(folder)).fileName();
    if (name.isEmpty())
        name = QDir::cleanPath(folder); // the root
    name =
        TextUtils::showBidiControls(TextUtils::excerpt(TextUtils::singleLine(name), MaxShownName));
    name.replace(u'&', QStringLiteral("&&")); // no mnemonic
    m_folderLine->setText(QStringLiteral("Folder \"%1\":").arg(name));
    // Dismissing the menu picks nothing.
    CommandActions& commands = m_context.commands();
    const QAction* chosen = commands.menu(Menu::DragFolder)->exec(globalPoint);
    if (!chosen)
        return FolderChoice::None;
    if (chosen == commands.action(Id::AddFolderAsOne))
        return FolderChoice::Single;
    if (chosen == commands.action(Id::AddFolderContents))
        return FolderChoice::Content;
    return FolderChoice::Cancel;
}

void Intake::fileBatch(const QStringList& names, TreeNode* target)
{
    if (names.isEmpty())
        return;
    Catalogue& catalogue = m_context.catalogue();
    EditHistory::Step step(catalogue.history(), QStringLiteral("Add files"));
    target = orMainCategory(target);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QStringList refused;
    TreeNode* last = nullptr;
    {
        auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
        const CategoryView::TreeDrawingHeld held(m_view);
        // One refill at the end instead of one per file.
        const QSignalBlocker quiet(&catalogue);
        QStringList toFile;
        for (const QString& name : names) {
            if (const QString why = tooLongToFile(QStringLiteral("path"), name); !why.isEmpty())
                refused << why;
            else
                toFile << name;
        }
        // One run of rows, however many files: the siblings after it are
        // numbered again once, not once per file.
        const std::vector<TreeNode*> filed = catalogue.addFileLinkNodes(toFile, target, refused);
        for (TreeNode* node : filed)
            // A file's name must not read as another.
            if (TextUtils::hasBidiControls(node->text()))
                catalogue.nodes().setText(node, TextUtils::withoutBidiControls(node->text()));
        if (!filed.empty())
            last = filed.back();
    }
    if (last)
        step.setText(names.size() - refused.size() == 1
                         ? QStringLiteral("Add \"%1\"").arg(last->text())
                         : QStringLiteral("Add %1 entries").arg(names.size() - refused.size()));
    if (last && last->parent())
        m_view.listCategory(last->parent());
    if (!refused.isEmpty()) {
        QString text = refused.first();
        if (refused.size() > 1)
            text += QStringLiteral("\n\n%1 more dropped names could not be filed for the same "
                                   "reason.")
                        .arg(refused.size() - 1);
        MessageDialogs::errorBox(text, m_view.treeAnchor());
    }
}

void Intake::fileItems(const QStringList& items, const QStringList& category)
{
    CommandContext::guarded([&] {
        Catalogue& catalogue = m_context.catalogue();
        EditHistory::Step step(catalogue.history(),
                               QStringLiteral("Add %1 entries").arg(items.size()));
        TreeNode* target = orMainCategory(CatalogueListing::categoryAtPath(catalogue, category));
        QStringList files, addresses;
        for (const QString& item : items)
            (item.startsWith(u'/') ? files : addresses) << item;
        fileBatch(files, target);
        // No page title comes with an address typed on the command line.
        for (const QString& address : addresses)
            catalogue.addLinkNode(address, target, address, true);
        // The tree and the list show where the items went.
        m_view.setCurrentNode(target);
        m_view.listCategory(target);
    });
    Q_EMIT intakeDone();
}

// ---------------------------------------------------------------- hyperlinks

void Intake::takeDroppedLink(const QPoint& stripPoint, const QString& url, const QString& title)
{
    m_marker->hide();
    const NodeRef target(m_context.catalogue().nodes(), stripRowNode(stripPoint));
    RunningDrags::afterDrags(this, [this, url, title, target] {
        CommandContext::guarded([&] {
            QWidget& window = m_context.window();
            window.raise();
            window.activateWindow();
            if (isUrl(url) || url.size() > TextUtils::MaxFieldLength)
                fileLink(url, title, target, &m_strip);
            else
                MessageDialogs::errorBox(HyperlinksOnly, &m_strip);
        });
        Q_EMIT intakeDone();
    });
}

void Intake::fileLink(const QString& url, const QString& title, TreeNode* target, QWidget* anchor)
{
    QString why = tooLongToFile(QStringLiteral("address"), url);
    if (why.isEmpty())
        why = tooLongToFile(QStringLiteral("title"), title);
    if (!why.isEmpty()) {
        MessageDialogs::errorBox(why, anchor);
        return;
    }
    // Invisible controls could make the title read as another address.
    QString name = TextUtils::withoutBidiControls(title);
    if (name.trimmed().isEmpty())
        name = TextUtils::withoutBidiControls(url);
    const EditHistory::Step step(m_context.catalogue().history(),
                                 QStringLiteral("Add \"%1\"").arg(name));
    m_context.catalogue().addLinkNode(url, orMainCategory(target), name, true);
}

// ---------------------------------------------------------------- links on the tree

bool Intake::treeTakesLink(const QPoint& windowPoint)
{
    if (!m_view.treeArea().contains(m_context.window().mapToGlobal(windowPoint))) {
        showDragHint(LinksOnTheStrip);
        return false;
    }
    if (!isUrl(m_treeLinkTarget->url)) {
        showDragHint(NoWebAddress);
        return false;
    }
    clearDragHint();
    return true;
}

void Intake::treeLinkDragOver(DropTargetEvent& event)
{
    if (event.effect == Qt::IgnoreAction)
        return; // the source allows no link
    if (!treeTakesLink(event.point)) {
        event.effect = Qt::IgnoreAction;
        m_marker->hide();
        return;
    }
    m_marker->show();
    markFileRow(event.point);
}

void Intake::treeLinkDrop(DropTargetEvent& event)
{
    m_marker->hide();
    const bool taken = treeTakesLink(event.point);
    clearDragHint();
    if (!taken) {
        event.effect = Qt::IgnoreAction;
        return;
    }
    RunningDrags::afterDrags(
        this, [this, target = NodeRef(m_context.catalogue().nodes(), treeNodeAt(event.point)),
               url = m_treeLinkTarget->url, title = m_treeLinkTarget->title] {
            CommandContext::guarded([&] {
                QWidget& window = m_context.window();
                window.raise();
                window.activateWindow();
                fileLink(url, title, target, m_view.treeAnchor());
            });
            Q_EMIT intakeDone();
        });
}

void Intake::showDragHint(const QString& text)
{
    m_dragHint = text;
    m_context.window().statusBar()->showMessage(text);
}

void Intake::clearDragHint()
{
    QStatusBar* bar = m_context.window().statusBar();
    if (!m_dragHint.isEmpty() && bar->currentMessage() == m_dragHint)
        bar->clearMessage();
    m_dragHint.clear();
}

void Intake::addUrl()
{
    Catalogue& catalogue = m_context.catalogue();
    // Held: a category that goes while the dialog is open is no target any more.
    std::vector<NodeRef> categories;
    QStringList entries;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
        for (TreeNode* n = catalogue.nodes().getFirstNode(); n; n = n->getNext())
            if (n->isCategory()) {
                categories.emplace_back(catalogue.nodes(), n);
                entries << QString(4 * n->level(), u' ') + n->text();
            }
    }
    PasteUrlDialog dialog(&m_context.window());
    dialog.setCategories(entries);
    const int result = dialog.exec();
    if (result == QDialog::Accepted) {
        // By position, not by name: names repeat and may carry blanks.
        const int chosen = dialog.cbCategory->currentIndex();
        TreeNode* category = chosen >= 0 && size_t(chosen) < categories.size()
                                 ? categories[size_t(chosen)].get()
                                 : nullptr;
        QString title = TextUtils::withoutBidiControls(dialog.edTitle->text());
        if (title.trimmed().isEmpty())
            title = TextUtils::withoutBidiControls(dialog.edURL->text());
        const EditHistory::Step step(catalogue.history(), QStringLiteral("Add \"%1\"").arg(title));
        category = orMainCategory(category);
        catalogue.addLinkNode(dialog.edURL->text(), category, title, true);
        m_view.scrollToNode(category);
    }
    Q_EMIT intakeDone();
}

// ---------------------------------------------------------------- Add file

void Intake::addFiles()
{
    const QString title = QStringLiteral("Add file");
    // Where the user last took files from, in this run or an earlier one.
    const QFileInfo last(m_addFileFolder);
    const QString folder =
        last.isAbsolute() && last.isDir() ? last.absoluteFilePath() : QDir::homePath();
    const QStringList names =
        pickFilesHook() ? pickFilesHook()(title, folder)
                        : QFileDialog::getOpenFileNames(&m_context.window(), title, folder,
                                                        QStringLiteral("All Files (*)"));
    if (names.isEmpty())
        return;
    m_addFileFolder = QFileInfo(names.first()).absolutePath();
    QMainWindow& window = m_context.window();
    if (!window.isVisible() || window.isMinimized())
        m_tray.restoreFromTray();
    m_placement = true;
    m_placementFiles = names; // a second "Add file..." replaces them
    m_view.followPlacement(
        PlacementHint,
        [this](const QPoint& at) { markFileRow(m_context.window().mapFromGlobal(at)); },
        [this](const QPoint& at) { finishPlacement(m_context.window().mapFromGlobal(at)); });
    showMarker();
    window.statusBar()->showMessage(PlacementHint);
}

void Intake::finishPlacement(const QPoint& windowPoint)
{
    m_placement = false;
    m_context.window().statusBar()->clearMessage();
    takeDroppedFiles(windowPoint, std::exchange(m_placementFiles, {}));
}
