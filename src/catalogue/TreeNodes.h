#pragma once
#include "catalogue/MyClasses.h"

#include <QAbstractItemModel>
#include <memory>
#include <utility>
#include <vector>

class TTreeNodes;
class TImageList;

// One catalogue entry in the tree: display text, image, owned record and
// ordered children. Changes go through TTreeNodes so that views stay in step.
class TTreeNode
{
    friend class TTreeNodes;

public:
    TTreeNode() = default;
    ~TTreeNode();
    TTreeNode(const TTreeNode&) = delete;
    TTreeNode& operator=(const TTreeNode&) = delete;

    const QString& Text() const { return m_text; }
    int ImageIndex() const { return m_image; }
    int SelectedIndex() const { return m_image; } // always the same as the image
    TNodeInfo* Data() const { return m_data.get(); }

    // Parent node, or nullptr for a root node.
    TTreeNode* Parent() const { return (m_parent && m_parent->m_parent) ? m_parent : nullptr; }
    int Count() const { return int(m_children.size()); }
    bool HasChildren() const { return !m_children.empty(); }
    TTreeNode* Item(int i) const { return m_children[size_t(i)].get(); }
    int Index() const { return m_row; } // position among its siblings
    int Level() const;                  // depth; root nodes are 0
    int AbsoluteIndex() const;          // position in the tree's full order

    TTreeNode* GetFirstChild() const
    {
        return m_children.empty() ? nullptr : m_children.front().get();
    }
    TTreeNode* GetLastChild() const
    {
        return m_children.empty() ? nullptr : m_children.back().get();
    }
    TTreeNode* GetNextSibling() const;
    TTreeNode* GetPrevSibling() const;
    TTreeNode* GetNext() const; // next node in full order (depth first)

    // True when this node is Ancestor or lies somewhere below it.
    bool IsUnder(const TTreeNode* Ancestor) const;

private:
    TTreeNode* m_parent = nullptr; // the hidden root for root nodes
    std::vector<std::unique_ptr<TTreeNode>> m_children;
    std::unique_ptr<TNodeInfo> m_data;
    QString m_text;
    int m_image = -1;
    int m_row = 0;
};

// The tree's node collection, shown by the tree view through this model.
class TTreeNodes : public QAbstractItemModel
{
    Q_OBJECT
public:
    explicit TTreeNodes(QObject* parent = nullptr);
    ~TTreeNodes() override;

    // Small icons used for the decoration role; not owned.
    void SetImages(const TImageList* Images) { m_images = Images; }

    TTreeNode* GetFirstNode() const { return m_root.GetFirstChild(); }
    int RootCount() const { return m_root.Count(); }
    TTreeNode* RootItem(int i) const { return m_root.Item(i); }
    int Count() const { return m_total; } // all nodes at every depth
    TTreeNode* NodeAtAbsoluteIndex(int Index) const;

    // Appends a node as last child of Parent (a root node when Parent is null).
    TTreeNode* AddChild(TTreeNode* Parent, const QString& Text);
    // Inserts a node as sibling right before Sibling.
    TTreeNode* Insert(TTreeNode* Sibling, const QString& Text);
    // Moves Node (with its subtree) to position Row among NewParent's children.
    void MoveTo(TTreeNode* Node, TTreeNode* NewParent, int Row);
    // Reorders Parent's children (null: the root nodes) to the given order,
    // which must hold each of them exactly once.
    void Reorder(TTreeNode* Parent, const std::vector<TTreeNode*>& Order);
    void Delete(TTreeNode* Node);
    // Deletes Count root nodes from position First on, with all below them.
    void DeleteRoots(int First, int Count);
    void Clear();

    void SetText(TTreeNode* Node, const QString& Text);
    void SetImage(TTreeNode* Node, int Index); // image and selected image alike
    void SetData(TTreeNode* Node, std::unique_ptr<TNodeInfo> Info);
    // Changes Node's record in place through Change (called with the record)
    // and tells the searches, which keep folded copies of the texts.
    template <class F> void editRecord(TTreeNode* Node, F&& Change)
    {
        if (!Node->m_data)
            return;
        std::forward<F>(Change)(*Node->m_data);
        Q_EMIT recordChanged(Node);
    }

    // Bulk changes: views are told once, at the last EndUpdate.
    void BeginUpdate();
    void EndUpdate();
    bool Updating() const { return m_updating > 0; }

    // Asks views to expand Node (one level, or the whole subtree).
    void Expand(TTreeNode* Node, bool Recursive) { Q_EMIT expandRequested(Node, Recursive); }

    QModelIndex IndexOf(const TTreeNode* Node) const;
    static TTreeNode* NodeOf(const QModelIndex& Index);

    // QAbstractItemModel
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

Q_SIGNALS:
    // Node and everything below it are about to go: drop references to them.
    void nodeDeleting(TTreeNode* Node);
    void nodeRenamed(TTreeNode* Node);
    // Node's record was replaced or changed through editRecord.
    void recordChanged(TTreeNode* Node);
    void expandRequested(TTreeNode* Node, bool Recursive);
    void updatesSuspended(bool Suspended);

private:
    TTreeNode* place(TTreeNode* Parent, int Row, const QString& Text);
    TTreeNode* parentOrRoot(TTreeNode* Node) { return Node ? Node : &m_root; }
    void renumber(TTreeNode* Parent, int From);
    void changed(TTreeNode* Node, int role);
    static int subtreeSize(const TTreeNode* Node);

    TTreeNode m_root;
    const TImageList* m_images = nullptr;
    int m_total = 0;
    int m_updating = 0;
};
