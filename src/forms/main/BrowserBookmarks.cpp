#include "forms/main/BrowserBookmarks.h"
#include "catalogue/BookmarkExport.h"
#include "catalogue/BookmarkImport.h"
#include "catalogue/Catalogue.h"
#include "components/MessageDialogs.h"
#include "components/TrayIcon.h"
#include "forms/main/CategoryView.h"
#include "forms/main/CommandActions.h"
#include "forms/main/CommandContext.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QScopeGuard>

using Commands::Id;

namespace
{

BrowserBookmarks::PickPath g_pickPath;

constexpr int BalloonSeconds = 10;
const QString FileFilter = QStringLiteral("Bookmark files (*.html *.htm);;All files (*)");

// The whole catalogue is written under this title (and comes back as a
// category of this name).
const QString CatalogueTitle = QStringLiteral("Quillmere");

// A name that can stand as a file name: no delimiter, not hidden.
QString fileNameFor(QString name)
{
    name.replace(u'/', u'-');
    while (name.startsWith(u'.'))
        name.remove(0, 1);
    return name.trimmed().isEmpty() ? QStringLiteral("bookmarks") : name.trimmed();
}

} // namespace

BrowserBookmarks::ScopedPickPath::ScopedPickPath(PickPath pick)
    : m_previous(std::exchange(g_pickPath, std::move(pick)))
{
}

BrowserBookmarks::ScopedPickPath::~ScopedPickPath()
{
    g_pickPath = std::move(m_previous);
}

BrowserBookmarks::BrowserBookmarks(CommandContext& context, CategoryView& view)
    : QObject(&view), m_context(context), m_view(view)
{
    setObjectName(QStringLiteral("BrowserBookmarks"));
    context.commands().connectCommand(Id::ImportBookmarks, this,
                                      &BrowserBookmarks::importBookmarks);
    context.commands().connectCommand(Id::ExportBookmarks, this,
                                      &BrowserBookmarks::exportBookmarks);
}

QString BrowserBookmarks::pickPath(bool save, const QString& title, const QString& suggested) const
{
    if (g_pickPath)
        return g_pickPath(save, title, suggested);
    QWidget* parent = &m_context.window();
    return save ? QFileDialog::getSaveFileName(parent, title, suggested, FileFilter)
                : QFileDialog::getOpenFileName(parent, title, suggested, FileFilter);
}

void BrowserBookmarks::importBookmarks()
{
    const QString path = pickPath(false, QStringLiteral("Import bookmarks"), QDir::homePath());
    if (path.isEmpty())
        return;
    Catalogue& catalogue = m_context.catalogue();
    TreeNode* top = nullptr;
    BookmarkList list;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
        // The whole file is read before anything is filed: a file that cannot
        // be read leaves the catalogue as it was.
        list = readBookmarkFile(path);
        const QString name = list.title.isEmpty() ? QFileInfo(path).completeBaseName() : list.title;
        // The whole import is one step to undo.
        const EditHistory::Step step(catalogue.history(),
                                     QStringLiteral("Import bookmarks \"%1\"").arg(name));
        top = fileBookmarks(catalogue, list, name);
    }
    const QString filed =
        QStringLiteral("%1 bookmarks in %2 folders were filed into the category \"%3\".")
            .arg(list.linkCount())
            .arg(list.folderCount())
            .arg(top->text());
    catalogue.nodes().expand(top, false);
    // The last use of the node: listing it may ask about missing documents.
    m_view.selectNode(top);
    if (list.browserOnly == 0 && list.malformed == 0) {
        m_context.showBalloon(QStringLiteral("Bookmarks imported"), filed, TrayIcon::bitInfo,
                              BalloonSeconds);
        return;
    }
    QString text = filed;
    if (list.browserOnly > 0)
        text += QStringLiteral("\r%1 place: and javascript: addresses, which only a browser can "
                               "follow, were skipped.")
                    .arg(list.browserOnly);
    if (list.malformed > 0)
        text +=
            QStringLiteral("\r%1 entries could not be read and were skipped.").arg(list.malformed);
    // Links only a browser can follow are no fault of the file's.
    MessageDialogs::showRgnDialog(
        text, list.malformed > 0 ? QMessageBox::Warning : QMessageBox::Information, QMessageBox::Ok,
        MessageDialogs::DefaultVertOffset, MessageDialogs::DefaultHorzOffset, &m_context.window());
}

void BrowserBookmarks::exportBookmarks()
{
    Catalogue& catalogue = m_context.catalogue();
    // The category the command is about: the target itself, or the one that
    // holds the target entry.
    TreeNode* target = m_context.targetNode();
    if (target && target->data() && !target->isCategory())
        target = target->parent();
    if (target && !target->isCategory())
        target = nullptr;
    // Held across the dialogs: the category may go while one is up.
    const NodeRef held(catalogue.nodes(), target);
    bool whole = true;
    QString title = CatalogueTitle;
    if (target) {
        title = target->text();
        const QMessageBox::StandardButton answer = MessageDialogs::showRgnDialog(
            tr("Export only the category \"%1\"?\rClick \"No\" to export the whole catalogue.")
                .arg(title),
            QMessageBox::Question, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
            MessageDialogs::DefaultVertOffset, MessageDialogs::DefaultHorzOffset,
            &m_context.window());
        if (answer != QMessageBox::Yes && answer != QMessageBox::No)
            return;
        whole = answer == QMessageBox::No;
        if (whole)
            title = CatalogueTitle;
    }
    const QString suggested = QDir::home().filePath(fileNameFor(title) + QStringLiteral(".html"));
    QString path = pickPath(true, QStringLiteral("Export bookmarks"), suggested);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".html");
    const TreeNode* category = nullptr;
    if (!whole) {
        category = held;
        if (!category)
            return; // the category went while a dialog was up
    }
    BookmarkExportCount count;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
        writeBookmarkFile(path, bookmarkHtml(catalogue.nodes(), category, catalogue.makerCategory,
                                             title, &count));
    }
    m_context.showBalloon(QStringLiteral("Bookmarks exported"),
                          QStringLiteral("%1 bookmarks in %2 folders were written to \"%3\".")
                              .arg(count.links)
                              .arg(count.folders)
                              .arg(path),
                          TrayIcon::bitInfo, BalloonSeconds);
}
