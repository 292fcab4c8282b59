#pragma once
#include "catalogue/NodeTree.h"

#include <QObject>

// Calls Changed before every change of the tree's shape: each one reaches
// the model's views through one of these signals (bulk changes as a reset).
// Whatever keeps a copy in the tree's order (the search's and the filter's
// folded texts) drops it there.
template <typename Changed> void onShapeChange(NodeTree& nodes, QObject* receiver, Changed changed)
{
    QObject::connect(&nodes, &QAbstractItemModel::rowsAboutToBeInserted, receiver, changed);
    QObject::connect(&nodes, &QAbstractItemModel::rowsAboutToBeRemoved, receiver, changed);
    QObject::connect(&nodes, &QAbstractItemModel::rowsAboutToBeMoved, receiver, changed);
    QObject::connect(&nodes, &QAbstractItemModel::layoutAboutToBeChanged, receiver, changed);
    QObject::connect(&nodes, &QAbstractItemModel::modelAboutToBeReset, receiver, changed);
    QObject::connect(&nodes, &NodeTree::nodeDeleting, receiver, changed);
}
