#pragma once
#include "catalogue/NodeTree.h"

#include <QObject>
#include <QPoint>
#include <functional>
#include <vector>

class CommandContext;
class ListModel;
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

    TreeNode* selectedTreeNode() const;
    // The list's selected row (column 0), and the node a row refers to.
    QModelIndex selectedListRow() const;
    TreeNode* listNodeAt(const QModelIndex& row) const;
    TreeNode* listSelectedNode() const;
    // The node a command acts on, by where the window's focus is.
    TreeNode* commandTargetNode() const;
    QTreeView* tree() const { return m_tree; }
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
    QTreeView* m_tree = nullptr;
    QStackedWidget* m_listStack = nullptr;
    QListView* m_listIcons = nullptr;
    QTreeView* m_listDetails = nullptr;
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
};
