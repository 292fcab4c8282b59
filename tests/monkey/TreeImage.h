#pragma once
#include <QByteArray>
#include <QString>
#include <vector>

class NodeTree;
class TreeNode;

// The catalogue as lines, to compare a live tree with what a save wrote or
// a load built: one line per node in full order with its level and record.
struct TreeImage {
    struct Line {
        int level = 0;
        QString name, path, comments, additional;
        char kind = '0';
        bool operator==(const Line&) const = default;
    };
    std::vector<Line> lines;

    // The tree without Skip's subtree (the built-in category, never saved),
    // with each field as a save writes it.
    static TreeImage of(const NodeTree& nodes, const TreeNode* skip);
    // A catalogue file as its lines; false when it cannot be read.
    static bool read(const QString& path, TreeImage* image, QString* error);

    // Where the two first differ, said for a person; empty when they are the
    // same. Documents and folders may count as one kind (the load asks the
    // file system which one a path is).
    static QString difference(const TreeImage& expected, const TreeImage& actual,
                              bool linkKindsAlike);
    bool empty() const { return lines.empty(); }
};
