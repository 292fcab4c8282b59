#pragma once
#include "catalogue/NodeTree.h"

#include <QString>
#include <functional>
#include <memory>
#include <vector>

// The changes of one user step as the tree recorded them, in order: enough
// to reverse them and to make them again. Nodes are found by their paths,
// which hold because steps are reversed and repeated strictly in order;
// removed nodes wait here, owned by the step, not copied.
class TreeEdits
{
public:
    TreeEdits();
    ~TreeEdits();
    TreeEdits(const TreeEdits&) = delete;
    TreeEdits& operator=(const TreeEdits&) = delete;

    bool empty() const { return m_edits.empty() && m_outside.empty(); }
    // Whole root entries came or went in a bulk change (a restore): views
    // then hear of the replay as one reset.
    bool bulk() const { return m_bulk; }

    // A change outside the tree made with the step (a real file moved or
    // put in the trash). Each function does its half and returns false when
    // it could not (it tells the user why); the tree then stays as it is.
    void addOutside(std::function<bool()> reverse, std::function<bool()> repeat);

    // Reverses the step (Reverse) or makes it again, in two halves: first
    // the changes outside the tree (false when one could not be made: the
    // tree is then to stay as it is), then the tree's own.
    bool replayOutside(bool reverse);
    void replay(NodeTree& tree, bool reverse);

    // True when the step only renamed the node at At.
    bool onlyRenamed(const NodePath& at) const;
    // Other's changes follow this step's, as part of it.
    void append(TreeEdits&& other);

private:
    friend class NodeTree;
    enum class Kind { Insert, Remove, Move, Text, Image, Record, Order };
    struct Edit {
        Kind kind;
        NodePath at; // the node; the first of a run; a reorder's parent
        NodePath to; // where a moved node went
        std::vector<std::unique_ptr<TreeNode>> kept; // nodes out of the tree
        int count = 1;                               // rows of a run
        std::unique_ptr<NodeInfo> record;            // the other record
        QString text;                                // the other text
        int image = -1;                              // the other image
        std::vector<int> rows; // for each row of a reordered parent, its row on the other side
    };
    struct Outside {
        std::function<bool()> reverse, repeat;
    };

    // Written by the tree as it changes.
    void inserted(NodePath at);
    void removed(NodePath at, std::vector<std::unique_ptr<TreeNode>> nodes);
    void moved(NodePath from, NodePath to);
    void reordered(NodePath parent, std::vector<int> rows);
    void textChanged(NodePath at, const QString& before);
    void imageChanged(NodePath at, int before);
    void recordChanged(NodePath at, std::unique_ptr<NodeInfo> before);

    void apply(NodeTree& tree, Edit& edit, bool reverse);
    static TreeNode* parentOf(NodeTree& tree, const NodePath& at);
    static void moveAlong(NodeTree& tree, const NodePath& from, const NodePath& to);

    std::vector<Edit> m_edits;
    std::vector<Outside> m_outside;
    bool m_bulk = false;
};
