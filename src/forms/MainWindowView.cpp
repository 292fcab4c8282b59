// The list beside the tree: filling, view styles, sorting, context menus,
// and the settings that survive a restart.
#include "catalogue/Artwork.h"
#include "catalogue/ListModel.h"
#include "catalogue/Settings.h"
#include "forms/MainWindow.h"
#include "utils/TextUtils.h"

#include <QAbstractItemView>
#include <QAction>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMouseEvent>
#include <QScopeGuard>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QWindow>
#include <algorithm>
#include <optional>

namespace
{

constexpr int ListColumnCount = ListModel::ColumnCount;
// Every column after the name has its stored width.
static_assert(Setting::ColumnWidthCount == ListColumnCount - 1);

// Hands the mouse presses of a widget to a function before the widget sees
// them; the function returns true to keep the press from the widget.
class MousePressFilter : public QObject
{
public:
    MousePressFilter(QObject* owner, std::function<bool(QMouseEvent*)> onPress)
        : QObject(owner), m_onPress(std::move(onPress))
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::MouseButtonPress)
            return m_onPress(static_cast<QMouseEvent*>(event));
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<bool(QMouseEvent*)> m_onPress;
};

// View styles as the settings store codes them.
constexpr int StoreCodeOfStyle[] = {0, 3, 1, 2}; // large, small, list, details
int styleOfStoreCode(int code)
{
    for (int s = 0; s < 4; ++s)
        if (StoreCodeOfStyle[s] == code)
            return s;
    return -1;
}

// Menu texts treat '&' as an accelerator marker: doubled, it shows as itself.
QString menuText(const QString& text)
{
    QString t = text;
    return t.replace(u'&', QStringLiteral("&&"));
}

// Text cut to at most Length characters, never between the halves of a
// surrogate pair.
QString cutText(const QString& text, qsizetype length)
{
    if (text.size() <= length)
        return text;
    return text.left(text.at(length - 1).isHighSurrogate() ? length - 1 : length);
}

// Value within Low and High; Low wins when the two cross. 64 bits, so that
// any stored number and any sum of two of them is safe.
int bounded(qint64 value, qint64 low, qint64 high)
{
    return int(std::max(low, std::min(value, high)));
}

struct WindowBounds {
    QPoint at;  // the frame's top left corner, as move() takes it
    QSize size; // the client area, as resize() takes it
};

// The stored bounds moved and cut so that the window lies on the available
// area of the screen it overlaps most, or of the primary screen: screens
// change in size, scale and number between runs, and a hand-edited store
// may hold anything.
std::optional<WindowBounds> boundsOnScreen(const QWidget* window, int left, int top, int width,
                                           int height)
{
    QScreen* target = QGuiApplication::primaryScreen();
    qint64 most = 0;
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect g = screen->geometry();
        const qint64 w =
            std::min<qint64>(qint64(left) + std::max(width, 0), qint64(g.x()) + g.width()) -
            std::max<qint64>(left, g.x());
        const qint64 h =
            std::min<qint64>(qint64(top) + std::max(height, 0), qint64(g.y()) + g.height()) -
            std::max<qint64>(top, g.y());
        if (w > 0 && h > 0 && w * h > most) {
            most = w * h;
            target = screen;
        }
    }
    if (!target)
        return std::nullopt;
    const QRect area = target->availableGeometry();
    // Known once the window has been shown; before that the frame is taken as none.
    const QMargins frame =
        window->windowHandle() ? window->windowHandle()->frameMargins() : QMargins();
    const QSize minimum = window->minimumSizeHint().expandedTo(window->minimumSize());
    const int heldWidth =
        bounded(width, minimum.width(), area.width() - frame.left() - frame.right());
    const int heldHeight =
        bounded(height, minimum.height(), area.height() - frame.top() - frame.bottom());
    const int heldLeft = bounded(
        left, area.x(), qint64(area.x()) + area.width() - frame.left() - frame.right() - heldWidth);
    const int heldTop =
        bounded(top, area.y(),
                qint64(area.y()) + area.height() - frame.top() - frame.bottom() - heldHeight);
    return WindowBounds{QPoint(heldLeft, heldTop), QSize(heldWidth, heldHeight)};
}

// The window's frame is known only once the window manager has framed the
// shown window: then the restored bounds are held to the screen once more,
// frame included, and the watch ends.
class FrameOnScreen : public QObject
{
public:
    explicit FrameOnScreen(QWidget* window) : QObject(window), m_window(window)
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if (watched == m_window &&
            (type == QEvent::Show || type == QEvent::Move || type == QEvent::Resize)) {
            const QWindow* handle = m_window->windowHandle();
            if (handle && !handle->frameMargins().isNull()) {
                m_window->removeEventFilter(this);
                deleteLater();
                if (const auto bounds = boundsOnScreen(m_window, m_window->x(), m_window->y(),
                                                       m_window->width(), m_window->height())) {
                    if (bounds->size != m_window->size())
                        m_window->resize(bounds->size);
                    if (bounds->at != m_window->pos())
                        m_window->move(bounds->at);
                }
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget* m_window;
};

} // namespace

// ---------------------------------------------------------------- wiring

void MainWindow::setupCategoryView()
{
    connect(docsTree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                // The view goes on using the new current index after this signal, so
                // no node may be deleted here: relink questions wait for the next turn.
                m_treeChanging = true;
                guarded([&] { docsTreeChange(NodeTree::nodeOf(current)); });
                m_treeChanging = false;
                if (std::exchange(m_questionsDeferred, false))
                    QTimer::singleShot(0, this, [this] {
                        if (listedNode)
                            guarded([this] { listCategory(listedNode); });
                    });
            });
    docsTree->viewport()->installEventFilter(new MousePressFilter(this, [this](QMouseEvent* e) {
        if (e->button() != Qt::RightButton)
            return false;
        docsTreeMouseDown(e->button(), e->position().toPoint());
        return true; // the press only chooses the node; the menu follows
    }));

    QHeaderView* header = listDetails->header();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    connect(header, &QHeaderView::sectionClicked, this,
            [this](int column) { guarded([this, column] { listViewColumnClick(column); }); });

    for (QAbstractItemView* v :
         {static_cast<QAbstractItemView*>(listIcons), static_cast<QAbstractItemView*>(listDetails)})
        v->setSelectionMode(QAbstractItemView::SingleSelection);
    listIcons->setMovement(QListView::Static);

    // The selection stays visible when the tree or the list loses the focus.
    for (QWidget* w : {static_cast<QWidget*>(docsTree), static_cast<QWidget*>(listIcons),
                       static_cast<QWidget*>(listDetails)}) {
        QPalette p = w->palette();
        p.setColor(QPalette::Inactive, QPalette::Highlight,
                   p.color(QPalette::Active, QPalette::Highlight));
        p.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   p.color(QPalette::Active, QPalette::HighlightedText));
        w->setPalette(p);
    }

    // A refill asked for during a fill runs after it, unless its node went.
    connect(&catalogue.nodes(), &NodeTree::nodeDeleting, this, [this](TreeNode* node) {
        if (m_pendingList && m_pendingList->isUnder(node))
            m_pendingList = nullptr;
    });
}

// ---------------------------------------------------------------- list filling

void MainWindow::docsTreeChange(TreeNode* node)
{
    if (!node || !node->data())
        return;
    const QString& comments = node->data()->comments;
    m_commentLabel->setText(comments.isEmpty() ? QString()
                                               : QStringLiteral("Comment: ") + comments);
    if (node->data()->kind == nkCategory) {
        listCategory(node);
        return;
    }
    TreeNode* parent = node->parent();
    if (parent && parent->data() && parent->data()->kind == nkCategory)
        listCategory(parent);
}

void MainWindow::listCategory(TreeNode* node)
{
    if (!node)
        return;
    if (m_listing) {
        // Asked from inside a fill (the relink question removing a node):
        // the running fill already lists what is left of its own category.
        m_pendingList = node;
        return;
    }
    m_pendingList = nullptr;
    {
        m_listing = true;
        listView->setUpdatesEnabled(false);
        auto resume = qScopeGuard([this] {
            m_listing = false;
            listView->setUpdatesEnabled(true); // repaints the list once
        });
        if (node != listedNode)
            clearSortMarks();
        setWindowTitle(QStringLiteral("Quillmere 3.3 - ") + node->text());
        const auto fill = [this](TreeNode* n) { fillListItem(n); };
        if (node->data() && node->data()->kind == nkCategory) {
            listModel->fillChildren(node, fill);
            listedNode = listModel->source(); // null if the fill's questions deleted it
        } else if (node != listedNode) {
            listModel->fillSingle(node, fill);
            listedNode = listModel->source();
        } else {
            listModel->clear(); // the entry listed alone a second time: nothing to list
            listedNode = node;
        }
        // Icons and list lay a huge category out without measuring every
        // name (longer names are then cut short); smaller ones show them whole.
        listIcons->setUniformItemSizes(listModel->count() > 5000);
    }
    if (TreeNode* next = std::exchange(m_pendingList, nullptr); next && next != listedNode)
        listCategory(next);
}

void MainWindow::fillListItem(TreeNode* node)
{
    const bool ask = acRemoveOnAbsent->isChecked();
    if (ask && m_treeChanging) {
        checkListedNode(catalogue, node, false);
        if (node->imageIndex() == imgMissing)
            m_questionsDeferred = true;
        return;
    }
    checkListedNode(catalogue, node, ask);
}

TreeNode* MainWindow::listSelectedNode() const
{
    const QModelIndexList rows = listDetails->selectionModel()->selectedRows();
    return rows.isEmpty() ? nullptr : listModel->nodeOf(rows.first());
}

// ---------------------------------------------------------------- sorting

void MainWindow::clearSortMarks()
{
    listModel->clearSortMarks();
}

int MainWindow::sortDirection(int column) const
{
    return (column >= 0 && column < ListColumnCount) ? m_sortDirections[column] : 0;
}

void MainWindow::listViewColumnClick(int column)
{
    if (column < 0 || column >= ListColumnCount)
        return;
    int& direction = m_sortDirections[column];
    direction = direction == 0 ? 1 : -direction;
    {
        listView->setUpdatesEnabled(false);
        auto resume = qScopeGuard([this] { listView->setUpdatesEnabled(true); });
        clearSortMarks();
        listModel->setSortMark(column, direction > 0 ? imgSortUp : imgSortDown);
        listModel->sortBy((column + 1) * direction);
    }
    // The category takes the sorted order in the tree, and so in the file.
    docsTree->setUpdatesEnabled(false);
    auto resume = qScopeGuard([this] { docsTree->setUpdatesEnabled(true); });
    listModel->reorderTree();
}

int MainWindow::compareListItems(int row1, int row2, int param) const
{
    const int column = std::abs(param) - 1;
    const int c = listModel->compare(ListModel::cellText(listModel->node(row1), column),
                                     ListModel::cellText(listModel->node(row2), column));
    return (c > 0 ? 1 : c < 0 ? -1 : 0) * param;
}

// ---------------------------------------------------------------- pop-up menus

void MainWindow::docsTreeMouseDown(Qt::MouseButton button, const QPoint& pos)
{
    if (button != Qt::RightButton)
        return;
    const QModelIndex hit = docsTree->indexAt(pos);
    if (hit.isValid())
        docsTree->selectionModel()->setCurrentIndex(hit, QItemSelectionModel::ClearAndSelect);
    else
        docsTree->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::Clear);
}

void MainWindow::docsTreeContextPopup(const QPoint& globalPos)
{
    (selectedTreeNode() ? itemMenu : popupMenu)->popup(globalPos);
}

void MainWindow::listViewContextPopup(const QPoint& globalPos)
{
    (listSelectedNode() ? itemMenu : popupMenu)->popup(globalPos);
}

void MainWindow::showContextMenu(QAbstractItemView* view, const QPoint& globalPos)
{
    if (view == docsTree) {
        docsTreeContextPopup(globalPos);
        return;
    }
    // A click on empty space is about the list itself, not the row that
    // happened to be selected.
    if (!view->indexAt(view->viewport()->mapFromGlobal(globalPos)).isValid()) {
        view->selectionModel()->clearSelection();
        view->selectionModel()->clearCurrentIndex();
    }
    listViewContextPopup(globalPos);
}

// ---------------------------------------------------------------- view styles

void MainWindow::setViewStyle(int style)
{
    QAction* main[] = {largeIcons1, smallIcons1, list1, detailes1};
    QAction* button[] = {largeIcons2, smallIcons2, list2, detailes2};
    m_viewStyle = style;
    main[style]->setChecked(true);
    button[style]->setChecked(true);
    btnView->setIcon(Artwork::commandImage(style));
    listModel->setLargeIcons(style == 0);
    if (style == 3) {
        listView->setCurrentWidget(listDetails);
        return;
    }
    const bool large = style == 0;
    listIcons->setViewMode(large ? QListView::IconMode : QListView::ListMode);
    listIcons->setIconSize(large ? QSize(32, 32) : QSize(16, 16));
    listIcons->setFlow(style == 2 ? QListView::TopToBottom : QListView::LeftToRight);
    listIcons->setWrapping(true);
    listIcons->setWordWrap(large);
    listIcons->setGridSize(large ? QSize(84, 68) : QSize());
    listIcons->setSpacing(large ? 0 : 2);
    listIcons->setMovement(QListView::Static);
    listIcons->setResizeMode(QListView::Adjust);
    listView->setCurrentWidget(listIcons);
}

void MainWindow::largeIcons1Click()
{
    setViewStyle(0);
}
void MainWindow::smallIcons1Click()
{
    setViewStyle(1);
}
void MainWindow::list1Click()
{
    setViewStyle(2);
}
void MainWindow::detailes1Click()
{
    setViewStyle(3);
}

void MainWindow::btnViewClick()
{
    const QList<QAction*> entries = viewMenu->actions();
    for (qsizetype i = 0; i < entries.size(); ++i)
        if (entries[i]->isChecked()) {
            entries[(i + 1) % entries.size()]->trigger();
            return;
        }
}

void MainWindow::acExpandAllExecute()
{
    docsTree->expandAll();
}

void MainWindow::acCollapseAllExecute()
{
    docsTree->collapseAll();
}

// ---------------------------------------------------------------- columns and the additional field

int MainWindow::columnWidth(int column) const
{
    const QHeaderView* header = listDetails->header();
    return header->isSectionHidden(column) ? 0 : header->sectionSize(column);
}

void MainWindow::setColumnWidth(int column, int width)
{
    if (column <= 0 || column >= ListColumnCount)
        return; // the name column is always shown
    QHeaderView* header = listDetails->header();
    if (width <= 0) {
        header->setSectionHidden(column, true);
        return;
    }
    header->setSectionHidden(column, false);
    header->resizeSection(column, width);
}

QString MainWindow::adTitle() const
{
    return listModel->adTitle();
}

void MainWindow::setAdTitle(const QString& title)
{
    const QString shown = cutText(title, MaxAdTextLength);
    listModel->setAdTitle(shown);
    adMenu->setTitle(menuText(shown));
}

QStringList MainWindow::adValues() const
{
    QStringList values;
    for (const QAction* a : adMenu->actions()) {
        if (a->isSeparator())
            continue;
        // The value itself travels with the entry; the shown text has its
        // ampersands doubled.
        values << (a->data().isValid() ? a->data().toString()
                                       : TextUtils::cutFirst(a->text(), QStringLiteral("&")));
    }
    return values;
}

void MainWindow::setAdValues(const QStringList& values)
{
    adMenu->clear();
    for (const QString& v : values.mid(0, MaxAdValues)) {
        const QString value = cutText(v, MaxAdTextLength);
        adMenu->addAction(menuText(value))->setData(value);
    }
}

// ---------------------------------------------------------------- settings

void MainWindow::addStartupError(const QString& text)
{
    startupError = startupError.isEmpty() ? text : startupError + QStringLiteral("\n\n") + text;
}

void MainWindow::readSettings()
{
    if (const QString why = SettingsStore::unusableReason(SettingsStore::defaultFileName());
        !why.isEmpty()) {
        addStartupError(why);
        SettingsStore none{QString()}; // the defaults: a store with no file behind it
        readSettings(none);
        return;
    }
    SettingsStore store;
    if (store.damaged()) {
        // Left in place, the file would be rewritten from the part that parsed.
        const QString file = store.fileName();
        const QString aside = store.keepDamagedAside();
        addStartupError(
            aside.isEmpty()
                ? QStringLiteral(
                      "The settings file \"%1\" is damaged and could not be moved aside; "
                      "the program starts with its default settings.")
                      .arg(file)
                : QStringLiteral("The settings file \"%1\" is damaged. It was moved to \"%2\"; "
                                 "the program starts with its default settings.")
                      .arg(file, aside));
    }
    try {
        readSettings(store);
    } catch (const SettingsError& e) {
        // Shown once the window is up, like the other start-up errors.
        addStartupError(e.text());
    }
}

void MainWindow::readSettings(SettingsStore& store)
{
    int style = styleOfStoreCode(Setting::ListStyle.defaultValue);
    // The style and the hot key are applied even when a value stops the
    // reading, so the window is in a known style and the hot key works.
    auto finish = qScopeGuard([&] {
        setViewStyle(style);
        if (assignHotKeyHook)
            assignHotKeyHook(hotKey);
    });
    if (!store.exists()) {
        hotKey = Setting::HotKey.defaultValue;
        return;
    }

    // Every number is held to what the screen and the controls can show:
    // the store may come from another screen or from a hand-edited file.
    const auto formLeft = store.read(Setting::FormLeft);
    const auto formTop = store.read(Setting::FormTop);
    const auto formWidth = store.read(Setting::FormWidth);
    const auto formHeight = store.read(Setting::FormHeight);
    if (formLeft && formTop && formWidth && formHeight)
        if (const auto bounds =
                boundsOnScreen(this, *formLeft, *formTop, *formWidth, *formHeight)) {
            move(bounds->at);
            resize(bounds->size);
            new FrameOnScreen(this);
        }
    if (const auto v = store.read(Setting::TreeWidth)) {
        // The list keeps at least its own minimum beside the tree.
        const int room = width() - targetWin->width() - splitter1->handleWidth();
        const int listMinimum = listView->minimumSizeHint().width();
        m_treeWidth = bounded(*v, docsTree->minimumSizeHint().width(), qint64(room) - listMinimum);
        splitter1->setSizes({m_treeWidth, std::max(room - m_treeWidth, listMinimum)});
    }
    if (const auto v = store.read(Setting::ListStyle)) {
        const int s = styleOfStoreCode(*v);
        if (s >= 0)
            style = s;
    }
    if (const auto v = store.read(Setting::ShowFolders); v && *v)
        acExplore->trigger();
    // The floating panel stays inside the window.
    if (const auto v = store.read(Setting::FoldersLeft))
        explorerPanel->move(bounded(*v, 0, width() - explorerPanel->width()), explorerPanel->y());
    if (const auto v = store.read(Setting::FoldersTop))
        explorerPanel->move(explorerPanel->x(), bounded(*v, 0, height() - explorerPanel->height()));
    if (const auto v = store.read(Setting::RemoveOnAbsent))
        acRemoveOnAbsent->setChecked(*v);
    // A column is hidden (0) or at most as wide as the screen.
    const int widest = screen() ? screen()->availableGeometry().width() : 4096;
    for (int c = 1; c <= Setting::ColumnWidthCount; ++c)
        if (const auto v = store.read(Setting::ColumnWidths[c - 1]))
            setColumnWidth(
                c, *v <= 0 ? 0 : bounded(*v, listDetails->header()->minimumSectionSize(), widest));
    if (const auto v = store.read(Setting::AdTitle)) {
        if (v->size() > MaxAdTextLength)
            addStartupError(
                QStringLiteral(
                    "The title of the additional field in the settings has %1 characters; "
                    "only the first %2 were kept.")
                    .arg(v->size())
                    .arg(MaxAdTextLength));
        setAdTitle(*v);
    }
    if (const auto v = store.read(Setting::RecursChanging))
        recursChanging = *v;

    // A shortcut word has 16 bits; anything else is no key this program wrote.
    const int key = store.read(Setting::HotKey).value_or(Setting::HotKey.defaultValue);
    hotKey = key >= 0 && key <= 0xFFFF ? key : Setting::HotKey.defaultValue;

    qsizetype stored = 0;
    if (const auto kept = store.readAdValues(MaxAdValues, &stored)) {
        if (stored > MaxAdValues)
            addStartupError(
                QStringLiteral(
                    "The settings hold %1 values of the additional field; only the first %2 "
                    "were kept.")
                    .arg(stored)
                    .arg(MaxAdValues));
        const auto cut = std::count_if(kept->begin(), kept->end(),
                                       [](const QString& v) { return v.size() > MaxAdTextLength; });
        if (cut > 0)
            addStartupError(
                QStringLiteral(
                    "%1 values of the additional field in the settings were longer than %2 "
                    "characters and were cut to that length.")
                    .arg(cut)
                    .arg(MaxAdTextLength));
        setAdValues(*kept);
    }
}

void MainWindow::writeSettings()
{
    // Told at the start (or the file turned into something else meanwhile):
    // nothing but a regular file is ever replaced.
    if (!SettingsStore::unusableReason(SettingsStore::defaultFileName()).isEmpty())
        return;
    SettingsStore store;
    if (store.damaged()) {
        // Damaged during the run: kept aside as at the start, and written afresh.
        if (const QString aside = store.keepDamagedAside(); !aside.isEmpty())
            qWarning("The damaged settings file was moved to %s", qPrintable(aside));
    }
    // The file is the program's own: it holds what the program writes and
    // nothing else (a stray key can make the INI writer produce a file it
    // cannot read back).
    store.clear();
    const QPoint at = pos();
    store.write(Setting::FormLeft, at.x());
    store.write(Setting::FormTop, at.y());
    store.write(Setting::FormWidth, width());
    store.write(Setting::FormHeight, height());
    // A window that was never shown has no laid-out splitter to ask.
    store.write(Setting::TreeWidth, windowHandle() ? splitter1->sizes().value(0) : m_treeWidth);
    store.write(Setting::ListStyle, StoreCodeOfStyle[m_viewStyle]);
    store.write(Setting::ShowFolders, !explorerPanel->isHidden());
    store.write(Setting::FoldersLeft, explorerPanel->x());
    store.write(Setting::FoldersTop, explorerPanel->y());
    store.write(Setting::RemoveOnAbsent, acRemoveOnAbsent->isChecked());
    for (int c = 1; c <= Setting::ColumnWidthCount; ++c)
        store.write(Setting::ColumnWidths[c - 1], columnWidth(c));
    store.write(Setting::AdTitle, adTitle());
    store.write(Setting::RecursChanging, recursChanging);
    store.write(Setting::HotKey, hotKey);
    store.writeAdValues(adValues());
    if (!store.flush())
        qWarning("The settings could not be written to %s", qPrintable(store.fileName()));
}
