// The list beside the tree: filling, view styles, sorting, context menus,
// and the settings that survive a restart.
#include "catalogue/Artwork.h"
#include "catalogue/ListModel.h"
#include "catalogue/Settings.h"
#include "forms/frmMain.h"
#include "utils/MyTextUtils.h"

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

constexpr int ListColumnCount = TListModel::ColumnCount;
// Every column after the name has its stored width.
static_assert(Setting::ColumnWidthCount == ListColumnCount - 1);

// Hands the mouse presses of a widget to a function before the widget sees
// them; the function returns true to keep the press from the widget.
class TMousePressFilter : public QObject
{
public:
    TMousePressFilter(QObject* owner, std::function<bool(QMouseEvent*)> onPress)
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
int styleOfStoreCode(int Code)
{
    for (int s = 0; s < 4; ++s)
        if (StoreCodeOfStyle[s] == Code)
            return s;
    return -1;
}

// Menu texts treat '&' as an accelerator marker: doubled, it shows as itself.
QString menuText(const QString& Text)
{
    QString t = Text;
    return t.replace(u'&', QStringLiteral("&&"));
}

// Text cut to at most Length characters, never between the halves of a
// surrogate pair.
QString cutText(const QString& Text, qsizetype Length)
{
    if (Text.size() <= Length)
        return Text;
    return Text.left(Text.at(Length - 1).isHighSurrogate() ? Length - 1 : Length);
}

// Value within Low and High; Low wins when the two cross. 64 bits, so that
// any stored number and any sum of two of them is safe.
int bounded(qint64 Value, qint64 Low, qint64 High)
{
    return int(std::max(Low, std::min(Value, High)));
}

struct TWindowBounds {
    QPoint At;  // the frame's top left corner, as move() takes it
    QSize Size; // the client area, as resize() takes it
};

// The stored bounds moved and cut so that the window lies on the available
// area of the screen it overlaps most, or of the primary screen: screens
// change in size, scale and number between runs, and a hand-edited store
// may hold anything.
std::optional<TWindowBounds> boundsOnScreen(const QWidget* Window, int Left, int Top, int Width,
                                            int Height)
{
    QScreen* target = QGuiApplication::primaryScreen();
    qint64 most = 0;
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect g = screen->geometry();
        const qint64 w =
            std::min<qint64>(qint64(Left) + std::max(Width, 0), qint64(g.x()) + g.width()) -
            std::max<qint64>(Left, g.x());
        const qint64 h =
            std::min<qint64>(qint64(Top) + std::max(Height, 0), qint64(g.y()) + g.height()) -
            std::max<qint64>(Top, g.y());
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
        Window->windowHandle() ? Window->windowHandle()->frameMargins() : QMargins();
    const QSize minimum = Window->minimumSizeHint().expandedTo(Window->minimumSize());
    const int width = bounded(Width, minimum.width(), area.width() - frame.left() - frame.right());
    const int height =
        bounded(Height, minimum.height(), area.height() - frame.top() - frame.bottom());
    const int left = bounded(
        Left, area.x(), qint64(area.x()) + area.width() - frame.left() - frame.right() - width);
    const int top = bounded(
        Top, area.y(), qint64(area.y()) + area.height() - frame.top() - frame.bottom() - height);
    return TWindowBounds{QPoint(left, top), QSize(width, height)};
}

// The window's frame is known only once the window manager has framed the
// shown window: then the restored bounds are held to the screen once more,
// frame included, and the watch ends.
class TFrameOnScreen : public QObject
{
public:
    explicit TFrameOnScreen(QWidget* Window) : QObject(Window), m_window(Window)
    {
        Window->installEventFilter(this);
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
                    if (bounds->Size != m_window->size())
                        m_window->resize(bounds->Size);
                    if (bounds->At != m_window->pos())
                        m_window->move(bounds->At);
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

void TMainF::setupCategoryView()
{
    connect(DocsTree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                // The view goes on using the new current index after this signal, so
                // no node may be deleted here: relink questions wait for the next turn.
                m_treeChanging = true;
                guarded([&] { DocsTreeChange(TTreeNodes::NodeOf(current)); });
                m_treeChanging = false;
                if (std::exchange(m_questionsDeferred, false))
                    QTimer::singleShot(0, this, [this] {
                        if (ListedNode)
                            guarded([this] { ListCategory(ListedNode); });
                    });
            });
    DocsTree->viewport()->installEventFilter(new TMousePressFilter(this, [this](QMouseEvent* e) {
        if (e->button() != Qt::RightButton)
            return false;
        DocsTreeMouseDown(e->button(), e->position().toPoint());
        return true; // the press only chooses the node; the menu follows
    }));

    QHeaderView* header = ListDetails->header();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    connect(header, &QHeaderView::sectionClicked, this,
            [this](int column) { guarded([this, column] { ListViewColumnClick(column); }); });

    for (QAbstractItemView* v :
         {static_cast<QAbstractItemView*>(ListIcons), static_cast<QAbstractItemView*>(ListDetails)})
        v->setSelectionMode(QAbstractItemView::SingleSelection);
    ListIcons->setMovement(QListView::Static);

    // The selection stays visible when the tree or the list loses the focus.
    for (QWidget* w : {static_cast<QWidget*>(DocsTree), static_cast<QWidget*>(ListIcons),
                       static_cast<QWidget*>(ListDetails)}) {
        QPalette p = w->palette();
        p.setColor(QPalette::Inactive, QPalette::Highlight,
                   p.color(QPalette::Active, QPalette::Highlight));
        p.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   p.color(QPalette::Active, QPalette::HighlightedText));
        w->setPalette(p);
    }

    // A refill asked for during a fill runs after it, unless its node went.
    connect(&Catalogue.Nodes(), &TTreeNodes::nodeDeleting, this, [this](TTreeNode* node) {
        if (m_pendingList && m_pendingList->IsUnder(node))
            m_pendingList = nullptr;
    });
}

// ---------------------------------------------------------------- list filling

void TMainF::DocsTreeChange(TTreeNode* Node)
{
    if (!Node || !Node->Data())
        return;
    const QString& comments = Node->Data()->Comments;
    m_commentLabel->setText(comments.isEmpty() ? QString()
                                               : QStringLiteral("Comment: ") + comments);
    if (Node->Data()->Kind == nkCategory) {
        ListCategory(Node);
        return;
    }
    TTreeNode* parent = Node->Parent();
    if (parent && parent->Data() && parent->Data()->Kind == nkCategory)
        ListCategory(parent);
}

void TMainF::ListCategory(TTreeNode* Node)
{
    if (!Node)
        return;
    if (m_listing) {
        // Asked from inside a fill (the relink question removing a node):
        // the running fill already lists what is left of its own category.
        m_pendingList = Node;
        return;
    }
    m_pendingList = nullptr;
    {
        m_listing = true;
        ListView->setUpdatesEnabled(false);
        auto resume = qScopeGuard([this] {
            m_listing = false;
            ListView->setUpdatesEnabled(true); // repaints the list once
        });
        if (Node != ListedNode)
            ClearSortMarks();
        setWindowTitle(QStringLiteral("Quillmere 3.3 - ") + Node->Text());
        const auto fill = [this](TTreeNode* n) { FillListItem(n); };
        if (Node->Data() && Node->Data()->Kind == nkCategory) {
            ListModel->FillChildren(Node, fill);
            ListedNode = ListModel->Source(); // null if the fill's questions deleted it
        } else if (Node != ListedNode) {
            ListModel->FillSingle(Node, fill);
            ListedNode = ListModel->Source();
        } else {
            ListModel->Clear(); // the entry listed alone a second time: nothing to list
            ListedNode = Node;
        }
        // Icons and list lay a huge category out without measuring every
        // name (longer names are then cut short); smaller ones show them whole.
        ListIcons->setUniformItemSizes(ListModel->Count() > 5000);
    }
    if (TTreeNode* next = std::exchange(m_pendingList, nullptr); next && next != ListedNode)
        ListCategory(next);
}

void TMainF::FillListItem(TTreeNode* Node)
{
    const bool ask = acRemoveOnAbsent->isChecked();
    if (ask && m_treeChanging) {
        CheckListedNode(Catalogue, Node, false);
        if (Node->ImageIndex() == imgMissing)
            m_questionsDeferred = true;
        return;
    }
    CheckListedNode(Catalogue, Node, ask);
}

TTreeNode* TMainF::ListSelectedNode() const
{
    const QModelIndexList rows = ListDetails->selectionModel()->selectedRows();
    return rows.isEmpty() ? nullptr : ListModel->NodeOf(rows.first());
}

// ---------------------------------------------------------------- sorting

void TMainF::ClearSortMarks()
{
    ListModel->ClearSortMarks();
}

int TMainF::SortDirection(int Column) const
{
    return (Column >= 0 && Column < ListColumnCount) ? m_sortDirections[Column] : 0;
}

void TMainF::ListViewColumnClick(int Column)
{
    if (Column < 0 || Column >= ListColumnCount)
        return;
    int& direction = m_sortDirections[Column];
    direction = direction == 0 ? 1 : -direction;
    {
        ListView->setUpdatesEnabled(false);
        auto resume = qScopeGuard([this] { ListView->setUpdatesEnabled(true); });
        ClearSortMarks();
        ListModel->SetSortMark(Column, direction > 0 ? imgSortUp : imgSortDown);
        ListModel->Sort((Column + 1) * direction);
    }
    // The category takes the sorted order in the tree, and so in the file.
    DocsTree->setUpdatesEnabled(false);
    auto resume = qScopeGuard([this] { DocsTree->setUpdatesEnabled(true); });
    ListModel->ReorderTree();
}

int TMainF::CompareListItems(int Row1, int Row2, int Param) const
{
    const int column = std::abs(Param) - 1;
    const int c = ListModel->Compare(TListModel::CellText(ListModel->Node(Row1), column),
                                     TListModel::CellText(ListModel->Node(Row2), column));
    return (c > 0 ? 1 : c < 0 ? -1 : 0) * Param;
}

// ---------------------------------------------------------------- pop-up menus

void TMainF::DocsTreeMouseDown(Qt::MouseButton Button, const QPoint& Pos)
{
    if (Button != Qt::RightButton)
        return;
    const QModelIndex hit = DocsTree->indexAt(Pos);
    if (hit.isValid())
        DocsTree->selectionModel()->setCurrentIndex(hit, QItemSelectionModel::ClearAndSelect);
    else
        DocsTree->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::Clear);
}

void TMainF::DocsTreeContextPopup(const QPoint& GlobalPos)
{
    (SelectedTreeNode() ? ItemMenu : PopupMenu)->popup(GlobalPos);
}

void TMainF::ListViewContextPopup(const QPoint& GlobalPos)
{
    (ListSelectedNode() ? ItemMenu : PopupMenu)->popup(GlobalPos);
}

void TMainF::showContextMenu(QAbstractItemView* View, const QPoint& GlobalPos)
{
    if (View == DocsTree) {
        DocsTreeContextPopup(GlobalPos);
        return;
    }
    // A click on empty space is about the list itself, not the row that
    // happened to be selected.
    if (!View->indexAt(View->viewport()->mapFromGlobal(GlobalPos)).isValid()) {
        View->selectionModel()->clearSelection();
        View->selectionModel()->clearCurrentIndex();
    }
    ListViewContextPopup(GlobalPos);
}

// ---------------------------------------------------------------- view styles

void TMainF::setViewStyle(int Style)
{
    QAction* main[] = {LargeIcons1, SmallIcons1, List1, Detailes1};
    QAction* button[] = {LargeIcons2, SmallIcons2, List2, Detailes2};
    m_viewStyle = Style;
    main[Style]->setChecked(true);
    button[Style]->setChecked(true);
    btnView->setIcon(Artwork::CommandImage(Style));
    ListModel->SetLargeIcons(Style == 0);
    if (Style == 3) {
        ListView->setCurrentWidget(ListDetails);
        return;
    }
    const bool large = Style == 0;
    ListIcons->setViewMode(large ? QListView::IconMode : QListView::ListMode);
    ListIcons->setIconSize(large ? QSize(32, 32) : QSize(16, 16));
    ListIcons->setFlow(Style == 2 ? QListView::TopToBottom : QListView::LeftToRight);
    ListIcons->setWrapping(true);
    ListIcons->setWordWrap(large);
    ListIcons->setGridSize(large ? QSize(84, 68) : QSize());
    ListIcons->setSpacing(large ? 0 : 2);
    ListIcons->setMovement(QListView::Static);
    ListIcons->setResizeMode(QListView::Adjust);
    ListView->setCurrentWidget(ListIcons);
}

void TMainF::LargeIcons1Click()
{
    setViewStyle(0);
}
void TMainF::SmallIcons1Click()
{
    setViewStyle(1);
}
void TMainF::List1Click()
{
    setViewStyle(2);
}
void TMainF::Detailes1Click()
{
    setViewStyle(3);
}

void TMainF::btnViewClick()
{
    const QList<QAction*> entries = ViewMenu->actions();
    for (qsizetype i = 0; i < entries.size(); ++i)
        if (entries[i]->isChecked()) {
            entries[(i + 1) % entries.size()]->trigger();
            return;
        }
}

void TMainF::acExpandAllExecute()
{
    DocsTree->expandAll();
}

void TMainF::acCollapseAllExecute()
{
    DocsTree->collapseAll();
}

// ---------------------------------------------------------------- columns and the additional field

int TMainF::ColumnWidth(int Column) const
{
    const QHeaderView* header = ListDetails->header();
    return header->isSectionHidden(Column) ? 0 : header->sectionSize(Column);
}

void TMainF::SetColumnWidth(int Column, int Width)
{
    if (Column <= 0 || Column >= ListColumnCount)
        return; // the name column is always shown
    QHeaderView* header = ListDetails->header();
    if (Width <= 0) {
        header->setSectionHidden(Column, true);
        return;
    }
    header->setSectionHidden(Column, false);
    header->resizeSection(Column, Width);
}

QString TMainF::AdTitle() const
{
    return ListModel->AdTitle();
}

void TMainF::SetAdTitle(const QString& Title)
{
    const QString title = cutText(Title, MaxAdTextLength);
    ListModel->SetAdTitle(title);
    AdMenu->setTitle(menuText(title));
}

QStringList TMainF::AdValues() const
{
    QStringList values;
    for (const QAction* a : AdMenu->actions()) {
        if (a->isSeparator())
            continue;
        // The value itself travels with the entry; the shown text has its
        // ampersands doubled.
        values << (a->data().isValid() ? a->data().toString()
                                       : MyTextUtils::CutFirst(a->text(), QStringLiteral("&")));
    }
    return values;
}

void TMainF::SetAdValues(const QStringList& Values)
{
    AdMenu->clear();
    for (const QString& v : Values.mid(0, MaxAdValues)) {
        const QString value = cutText(v, MaxAdTextLength);
        AdMenu->addAction(menuText(value))->setData(value);
    }
}

// ---------------------------------------------------------------- settings

void TMainF::AddStartupError(const QString& Text)
{
    StartupError = StartupError.isEmpty() ? Text : StartupError + QStringLiteral("\n\n") + Text;
}

void TMainF::ReadSettings()
{
    if (const QString why = TSettingsStore::UnusableReason(TSettingsStore::DefaultFileName());
        !why.isEmpty()) {
        AddStartupError(why);
        TSettingsStore none{QString()}; // the defaults: a store with no file behind it
        readSettings(none);
        return;
    }
    TSettingsStore store;
    if (store.Damaged()) {
        // Left in place, the file would be rewritten from the part that parsed.
        const QString file = store.FileName();
        const QString aside = store.KeepDamagedAside();
        AddStartupError(
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
    } catch (const ESettingsError& e) {
        // Shown once the window is up, like the other start-up errors.
        AddStartupError(e.Text());
    }
}

void TMainF::readSettings(TSettingsStore& Store)
{
    int style = styleOfStoreCode(Setting::ListStyle.Default);
    // The style and the hot key are applied even when a value stops the
    // reading, so the window is in a known style and the hot key works.
    auto finish = qScopeGuard([&] {
        setViewStyle(style);
        if (AssignHotKeyHook)
            AssignHotKeyHook(HotKey);
    });
    if (!Store.Exists()) {
        HotKey = Setting::HotKey.Default;
        return;
    }

    // Every number is held to what the screen and the controls can show:
    // the store may come from another screen or from a hand-edited file.
    const auto formLeft = Store.Read(Setting::FormLeft);
    const auto formTop = Store.Read(Setting::FormTop);
    const auto formWidth = Store.Read(Setting::FormWidth);
    const auto formHeight = Store.Read(Setting::FormHeight);
    if (formLeft && formTop && formWidth && formHeight)
        if (const auto bounds =
                boundsOnScreen(this, *formLeft, *formTop, *formWidth, *formHeight)) {
            move(bounds->At);
            resize(bounds->Size);
            new TFrameOnScreen(this);
        }
    if (const auto v = Store.Read(Setting::TreeWidth)) {
        // The list keeps at least its own minimum beside the tree.
        const int room = width() - TargetWin->width() - Splitter1->handleWidth();
        const int listMinimum = ListView->minimumSizeHint().width();
        m_treeWidth = bounded(*v, DocsTree->minimumSizeHint().width(), qint64(room) - listMinimum);
        Splitter1->setSizes({m_treeWidth, std::max(room - m_treeWidth, listMinimum)});
    }
    if (const auto v = Store.Read(Setting::ListStyle)) {
        const int s = styleOfStoreCode(*v);
        if (s >= 0)
            style = s;
    }
    if (const auto v = Store.Read(Setting::ShowFolders); v && *v)
        acExplore->trigger();
    // The floating panel stays inside the window.
    if (const auto v = Store.Read(Setting::FoldersLeft))
        ExplorerPanel->move(bounded(*v, 0, width() - ExplorerPanel->width()), ExplorerPanel->y());
    if (const auto v = Store.Read(Setting::FoldersTop))
        ExplorerPanel->move(ExplorerPanel->x(), bounded(*v, 0, height() - ExplorerPanel->height()));
    if (const auto v = Store.Read(Setting::RemoveOnAbsent))
        acRemoveOnAbsent->setChecked(*v);
    // A column is hidden (0) or at most as wide as the screen.
    const int widest = screen() ? screen()->availableGeometry().width() : 4096;
    for (int c = 1; c <= Setting::ColumnWidthCount; ++c)
        if (const auto v = Store.Read(Setting::ColumnWidths[c - 1]))
            SetColumnWidth(
                c, *v <= 0 ? 0 : bounded(*v, ListDetails->header()->minimumSectionSize(), widest));
    if (const auto v = Store.Read(Setting::AdTitle)) {
        if (v->size() > MaxAdTextLength)
            AddStartupError(
                QStringLiteral(
                    "The title of the additional field in the settings has %1 characters; "
                    "only the first %2 were kept.")
                    .arg(v->size())
                    .arg(MaxAdTextLength));
        SetAdTitle(*v);
    }
    if (const auto v = Store.Read(Setting::RecursChanging))
        RecursChanging = *v;

    // A shortcut word has 16 bits; anything else is no key this program wrote.
    const int key = Store.Read(Setting::HotKey).value_or(Setting::HotKey.Default);
    HotKey = key >= 0 && key <= 0xFFFF ? key : Setting::HotKey.Default;

    qsizetype stored = 0;
    if (const auto kept = Store.ReadAdValues(MaxAdValues, &stored)) {
        if (stored > MaxAdValues)
            AddStartupError(
                QStringLiteral(
                    "The settings hold %1 values of the additional field; only the first %2 "
                    "were kept.")
                    .arg(stored)
                    .arg(MaxAdValues));
        const auto cut = std::count_if(kept->begin(), kept->end(),
                                       [](const QString& v) { return v.size() > MaxAdTextLength; });
        if (cut > 0)
            AddStartupError(
                QStringLiteral(
                    "%1 values of the additional field in the settings were longer than %2 "
                    "characters and were cut to that length.")
                    .arg(cut)
                    .arg(MaxAdTextLength));
        SetAdValues(*kept);
    }
}

void TMainF::WriteSettings()
{
    // Told at the start (or the file turned into something else meanwhile):
    // nothing but a regular file is ever replaced.
    if (!TSettingsStore::UnusableReason(TSettingsStore::DefaultFileName()).isEmpty())
        return;
    TSettingsStore store;
    if (store.Damaged()) {
        // Damaged during the run: kept aside as at the start, and written afresh.
        if (const QString aside = store.KeepDamagedAside(); !aside.isEmpty())
            qWarning("The damaged settings file was moved to %s", qPrintable(aside));
    }
    // The file is the program's own: it holds what the program writes and
    // nothing else (a stray key can make the INI writer produce a file it
    // cannot read back).
    store.Clear();
    const QPoint at = pos();
    store.Write(Setting::FormLeft, at.x());
    store.Write(Setting::FormTop, at.y());
    store.Write(Setting::FormWidth, width());
    store.Write(Setting::FormHeight, height());
    // A window that was never shown has no laid-out splitter to ask.
    store.Write(Setting::TreeWidth, windowHandle() ? Splitter1->sizes().value(0) : m_treeWidth);
    store.Write(Setting::ListStyle, StoreCodeOfStyle[m_viewStyle]);
    store.Write(Setting::ShowFolders, !ExplorerPanel->isHidden());
    store.Write(Setting::FoldersLeft, ExplorerPanel->x());
    store.Write(Setting::FoldersTop, ExplorerPanel->y());
    store.Write(Setting::RemoveOnAbsent, acRemoveOnAbsent->isChecked());
    for (int c = 1; c <= Setting::ColumnWidthCount; ++c)
        store.Write(Setting::ColumnWidths[c - 1], ColumnWidth(c));
    store.Write(Setting::AdTitle, AdTitle());
    store.Write(Setting::RecursChanging, RecursChanging);
    store.Write(Setting::HotKey, HotKey);
    store.WriteAdValues(AdValues());
    if (!store.Flush())
        qWarning("The settings could not be written to %s", qPrintable(store.FileName()));
}
