#pragma once
#include "catalogue/NodeTree.h"
#include "forms/main/NodeViews.h"

#include <QObject>
#include <QPoint>
#include <QRect>
#include <functional>
#include <vector>

class CommandContext;
class ListModel;
class QDrag;
class QAbstractItemView;
class QLabel;
class QListView;
class QModelIndex;
class QSplitter;
class QStackedWidget;
class QTreeView;
class QWidget;
class TreeNode;

// The category tree and the list beside it: listing a category, the view
// styles, sorting by a column, the context menus, the columns' widths and
// the selection's comment in the status line.
class CategoryView : public QObject
{
    Q_OBJECT
public:
    enum ViewStyle { LargeIcons, SmallIcons, ListStyle, Details, StyleCount };

    CategoryView(CommandContext& context, QWidget* parent);

    // The tree and the list in their splitter, and the comment label, for the
    // window's layout.
    QWidget* widget() const;
    // The views let go of the models, before the catalogue goes.
    void detachModels();
    QLabel* commentLabel() const { return m_commentLabel; }

    // Lists a category's children, or an entry alone; the window's title
    // follows, and the tree's current node becomes the category (unless it
    // is an entry of it). The on-disk check of the listed documents and
    // folders follows at once; their relink questions, when the option asks
    // for them, come as a step of their own once the command is through.
    void listCategory(TreeNode* node);
    TreeNode* listedNode() const { return m_listedNode; }
    void setListedNode(TreeNode* node);
    // What a change of the tree's node shows: its comment, and its category
    // (or itself, a category) listed.
    void showNode(TreeNode* node) { onCurrentNodeChanged(node); }
    // Lists nodes from anywhere in the tree (a filter's result) instead of a
    // category; the listed node stays, and listing a category ends it.
    void listNodes(std::vector<TreeNode*> nodes);
    bool listingNodes() const;
    // While nodes are listed, a refill the catalogue asks for runs Refill
    // instead of listing a category (the filter lists its result again).
    void setNodesRefill(std::function<void()> refill) { m_nodesRefill = std::move(refill); }
    // The relink question for each missing document or folder listed, in
    // list order, now (when "Delete non-actual links" is on).
    void askRelinkQuestions();
    // Makes Node the tree's current node (which lists it or its category),
    // the categories above it unfolded.
    void showInTree(TreeNode* node);
    // Selects node in the tree (which lists it or its category).
    void selectNode(TreeNode* node);
    // Node making with the view's part: the new category is scrolled into
    // view and its name opened for editing.
    TreeNode* addCategoryNode(TreeNode* parent, const QString& name);

    // The tree's current node (older name: the selected tree node), and
    // making a node current (which lists it or its category).
    TreeNode* currentNode() const;
    void setCurrentNode(TreeNode* node);
    void scrollToNode(TreeNode* node);
    void focusTree();
    // Where the keyboard is: the tree, the list (either style) or elsewhere.
    enum class Pane { None, Tree, List };
    Pane focusedPane() const;
    // The tree's row under a point of the screen; null off the tree's rows.
    TreeNode* nodeAt(const QPoint& globalPos) const;
    // What a balloon about the tree points at.
    QWidget* treeAnchor() const;
    // The tree's rows' area on the screen.
    QRect treeArea() const;
    // The tree is drawn and laid out once when the last of these goes, not
    // at every change made meanwhile (nor at every turn of the event loop
    // while a change goes on in slices).
    class TreeDrawingHeld
    {
    public:
        explicit TreeDrawingHeld(CategoryView& view);
        ~TreeDrawingHeld();
        TreeDrawingHeld(const TreeDrawingHeld&) = delete;
        TreeDrawingHeld& operator=(const TreeDrawingHeld&) = delete;

    private:
        CategoryTreeView* m_tree;
        bool m_wasDrawn;
    };
    // The placement of "Add file...": the tree shows Hint as its tip, the
    // pointer goes to its rows, and each move over them (Moved) and the press
    // that places (Placed, which ends it) are handed on, as points of the
    // screen. A second placement replaces the calls of the first.
    void followPlacement(const QString& hint, std::function<void(const QPoint&)> moved,
                         std::function<void(const QPoint&)> placed);
    // Drags of rows of the tree or the list: Start gives the drag its
    // picture and hears of its node, End hears that it is over.
    void setNodeDragHooks(std::function<void(QDrag*, TreeNode*)> start, std::function<void()> end);
    // Another program's drag over the window, at a point of the screen: the
    // tree scrolls while it rests near the tree's edges; and its end.
    void followForeignDrag(const QPoint& globalPos);
    void endForeignDrag();
    // The list's selected row (column 0), and the node a row refers to.
    QModelIndex selectedListRow() const;
    TreeNode* listNodeAt(const QModelIndex& row) const;
    TreeNode* listSelectedNode() const;
    // The node a command acts on, by where the window's focus is.
    TreeNode* commandTargetNode() const;
    // The views themselves, for the keys' and the search's controllers,
    // which still reach them; every other controller asks for an intent.
    QTreeView* tree() const;
    // Both list views, the icons' and the details'.
    QList<QAbstractItemView*> listViews() const;
    ListModel& listModel() const { return *m_listModel; }

    ViewStyle viewStyle() const { return m_viewStyle; }
    void setViewStyle(ViewStyle style);
    // List column widths as settings and options see them: 0 means hidden.
    int columnWidth(int column) const;
    void setColumnWidth(int column, int width);
    int minimumColumnWidth() const;
    // The tree's width beside the list: the laid-out one once the window was
    // shown, else what it was given.
    int treeWidth() const;
    // Gives the tree width, kept between the tree's minimum and what leaves
    // the list its own minimum in a splitter of the given width.
    void setTreeWidth(int width, int splitterWidth);
    // The design sizes: the default tree width, the rest to the list.
    void setDesignSizes(int splitterWidth);

Q_SIGNALS:
    void titleChanged(const QString& title);
    // Double click or Enter (Alt+Enter is Properties') on the tree or the list.
    void openRequested(CategoryView::Pane pane);
    // A drag of a node is over a tree row where it may not go, or no longer.
    void nodeDropRefused(bool refused);

private:
    bool treeHasFocus(const QWidget* focus) const;
    bool listHasFocus(const QWidget* focus) const;
    void createViews(QWidget* parent);
    void connectViews();
    void connectCommands();
    void onCurrentNodeChanged(TreeNode* node);
    // The tree's current node moved: its comment and its listing.
    void currentNodeChanged(TreeNode* node);
    void showComment(const QString& comments);
    bool listsChildrenOf(const TreeNode* category) const;
    // The on-disk check of what is listed; the relink questions are queued.
    void checkListing();
    void sortByColumn(int column);
    void showContextMenu(QAbstractItemView* view, const QPoint& globalPos);
    void nextViewStyle();

    CommandContext& m_context;
    QSplitter* m_splitter = nullptr;
    CategoryTreeView* m_tree = nullptr;
    QStackedWidget* m_listStack = nullptr;
    EntryIconsView* m_listIcons = nullptr;
    EntryDetailsView* m_listDetails = nullptr;
    ListModel* m_listModel = nullptr;
    QLabel* m_commentLabel = nullptr;

    NodeRef m_listedNode;
    // The tree's current node when a change of the tree moved it there: it
    // is listed once the change is through.
    NodeRef m_currentAfterChange;
    int m_sortDirections[5] = {0, 0, 0, 0, 0}; // per column: 0 never sorted, 1 or -1
    ViewStyle m_viewStyle = Details;
    int m_treeWidth;             // what the tree is given until it is laid out
    bool m_relinkQueued = false; // the relink questions' step is on its way
    bool m_relinkAsking = false; // they are being asked
    bool m_relinkAgain = false;  // a listing while they were asked wants its own step
    std::function<void()> m_nodesRefill;
    // The placement under way: its calls, and the viewport's own tracking.
    std::function<void(const QPoint&)> m_placementMoved, m_placementPlaced;
    bool m_viewportTracked = false;
};
