// The undo history under the tree: steps recorded from the tree's own
// changes, reversed and made again in order, with nodes found by address.
#include "catalogue/EditHistory.h"

#include <QRandomGenerator>
#include <QtTest>

namespace
{

TreeNode* add(NodeTree& nodes, TreeNode* parent, const QString& name, NodeKind kind,
              const QString& comment = {})
{
    TreeNode* n = nodes.addChild(parent, name);
    auto info = std::make_unique<NodeInfo>();
    info->kind = kind;
    info->comments = comment;
    info->fullName = kind == NodeKind::Doc ? QStringLiteral("/docs/") + name : QString();
    nodes.setNodeData(n, std::move(info));
    return n;
}

// Every node with its depth, record and image, in full order.
QStringList dump(const NodeTree& nodes)
{
    QStringList out;
    for (const TreeNode* n = nodes.getFirstNode(); n; n = n->getNext()) {
        const NodeInfo* i = n->data();
        out << QStringLiteral("%1%2|%3|%4|%5|%6|%7")
                   .arg(QString(n->level(), u' '), n->text(), i ? i->fullName : u"-"_qs,
                        i ? i->comments.text() : QString(), i ? i->sAdditional.text() : QString())
                   .arg(i ? int(i->kind) : -1)
                   .arg(n->imageIndex());
    }
    return out;
}

std::vector<TreeNode*> all(const NodeTree& nodes)
{
    std::vector<TreeNode*> out;
    for (TreeNode* n = nodes.getFirstNode(); n; n = n->getNext())
        out.push_back(n);
    return out;
}

} // namespace

class TestEditHistory : public QObject
{
    Q_OBJECT

    // Work{Reports{a,b},c}, Home{d}, Misc
    static void fill(NodeTree& nodes)
    {
        TreeNode* work = add(nodes, nullptr, "Work", NodeKind::Category);
        TreeNode* reports = add(nodes, work, "Reports", NodeKind::Category, "yearly");
        add(nodes, reports, "a", NodeKind::Doc, "first");
        add(nodes, reports, "b", NodeKind::Doc);
        add(nodes, work, "c", NodeKind::Doc);
        TreeNode* home = add(nodes, nullptr, "Home", NodeKind::Category);
        add(nodes, home, "d", NodeKind::Doc);
        add(nodes, nullptr, "Misc", NodeKind::Category);
    }

    // One random change of the kinds the commands make.
    static void randomChange(NodeTree& nodes, QRandomGenerator& rng, int serial)
    {
        const std::vector<TreeNode*> list = all(nodes);
        TreeNode* n = list.empty() ? nullptr : list[rng.bounded(quint32(list.size()))];
        const QString name = QStringLiteral("n%1").arg(serial);
        switch (n ? rng.bounded(8) : 0) {
        case 0: // a new node, anywhere, some with children
            if (n && rng.bounded(2))
                nodes.insertNode(n, name);
            else
                add(nodes, n, name, rng.bounded(2) ? NodeKind::Category : NodeKind::Doc);
            return;
        case 1:
            nodes.deleteNode(n);
            return;
        case 2: { // several at once, across parents
            std::vector<TreeNode*> some;
            for (TreeNode* m : list)
                if (rng.bounded(4) == 0) {
                    bool under = false;
                    for (TreeNode* s : some)
                        under = under || m->isUnder(s) || s->isUnder(m);
                    if (!under)
                        some.push_back(m);
                }
            nodes.deleteNodes(some);
            return;
        }
        case 3: { // anywhere, before or after its old place, up or down
            TreeNode* to = list[rng.bounded(quint32(list.size()))];
            TreeNode* parent = rng.bounded(3) == 0 ? nullptr : to;
            const int count = parent ? parent->count() : nodes.rootCount();
            nodes.moveTo(n, parent, int(rng.bounded(quint32(count + 1))));
            return;
        }
        case 4: {
            TreeNode* parent = n->parent();
            std::vector<TreeNode*> order;
            for (int i = 0; i < (parent ? parent->count() : nodes.rootCount()); ++i)
                order.push_back(parent ? parent->item(i) : nodes.rootItem(i));
            std::shuffle(order.begin(), order.end(), rng);
            nodes.reorder(parent, order);
            return;
        }
        case 5:
            nodes.setText(n, name);
            return;
        case 6:
            nodes.editRecord(n, [&](NodeInfo& info) { info.comments = name; });
            return;
        default:
            nodes.setImage(n, int(rng.bounded(5)));
            return;
        }
    }

private Q_SLOTS:
    // Long random runs: every state on the way back and forth is the one
    // recorded going forward, which only holds when every address finds
    // its node whatever moved before it.
    void randomStepsGoBackAndForth()
    {
        for (quint32 seed = 1; seed <= 40; ++seed) {
            NodeTree nodes;
            fill(nodes);
            EditHistory history(nodes);
            QRandomGenerator rng(seed);
            std::vector<QStringList> states{dump(nodes)};
            for (int s = 0; s < 30; ++s) {
                {
                    const EditHistory::Step step(history, QStringLiteral("step %1").arg(s));
                    for (int k = int(rng.bounded(1, 4)); k > 0; --k)
                        randomChange(nodes, rng, s * 10 + k);
                }
                if (history.stack().count() == int(states.size()))
                    states.push_back(dump(nodes));
                else
                    states.back() = dump(nodes); // nothing changed: no step
            }
            QCOMPARE(history.stack().count() + 1, int(states.size()));
            for (int i = int(states.size()) - 1; i > 0; --i) {
                history.stack().undo();
                QCOMPARE(dump(nodes), states[size_t(i - 1)]);
            }
            QCOMPARE(nodes.count(), int(states.front().size()));
            for (size_t i = 1; i < states.size(); ++i) {
                history.stack().redo();
                QCOMPARE(dump(nodes), states[i]);
            }
        }
    }

    // A removed subtree waits in the step as it was, and comes back as the
    // same nodes, in place; a new step after an undo drops what was undone.
    void removedNodesComeBackThemselves()
    {
        NodeTree nodes;
        fill(nodes);
        EditHistory history(nodes);
        TreeNode* reports = nodes.rootItem(0)->item(0);
        TreeNode* a = reports->item(0);
        const QStringList before = dump(nodes);
        {
            const EditHistory::Step step(history, QStringLiteral("Remove \"Reports\""));
            nodes.deleteNode(reports);
        }
        QCOMPARE(nodes.count(), 5);
        QCOMPARE(history.stack().undoText(), u"Remove \"Reports\""_qs);
        history.stack().undo();
        QCOMPARE(dump(nodes), before);
        QCOMPARE(nodes.rootItem(0)->item(0), reports);
        QCOMPARE(reports->item(0), a);
        QCOMPARE(a->parent(), reports);
        QCOMPARE(nodes.indexOf(a).parent(), nodes.indexOf(reports));
        {
            const EditHistory::Step step(history, QStringLiteral("Rename \"x\""));
            nodes.setText(a, QStringLiteral("x"));
        }
        QVERIFY(!history.stack().canRedo());
        QCOMPARE(history.stack().count(), 1);
    }

    // Steps inside a step join it; a step that changed nothing is none.
    void nestedAndEmptySteps()
    {
        NodeTree nodes;
        fill(nodes);
        EditHistory history(nodes);
        {
            const EditHistory::Step outer(history, QStringLiteral("Add files"));
            add(nodes, nodes.rootItem(2), "x", NodeKind::Doc);
            {
                const EditHistory::Step inner(history, QStringLiteral("inner"));
                add(nodes, nodes.rootItem(2), "y", NodeKind::Doc);
            }
            QVERIFY(history.recording());
        }
        {
            const EditHistory::Step nothing(history, QStringLiteral("nothing"));
        }
        QCOMPARE(history.stack().count(), 1);
        QCOMPARE(history.stack().undoText(), u"Add files"_qs);
        history.stack().undo();
        QCOMPARE(nodes.rootItem(2)->count(), 0);
    }

    // A new category and its first name are one step; a later rename is one
    // of its own.
    void firstNameJoinsTheNewCategory()
    {
        NodeTree nodes;
        fill(nodes);
        EditHistory history(nodes);
        TreeNode* made;
        {
            EditHistory::Step step(history, QStringLiteral("Add category \"New category\""));
            made = add(nodes, nodes.rootItem(0), "New category", NodeKind::Category);
            step.joinFirstName(made, QStringLiteral("Add category \"%1\""));
        }
        QVERIFY(nodes.setData(nodes.indexOf(made), QStringLiteral("Plans"), Qt::EditRole));
        QCOMPARE(history.stack().count(), 1);
        QCOMPARE(history.stack().undoText(), u"Add category \"Plans\""_qs);
        QVERIFY(nodes.setData(nodes.indexOf(made), QStringLiteral("Later"), Qt::EditRole));
        QCOMPARE(history.stack().count(), 2);
        QCOMPARE(history.stack().undoText(), u"Rename \"Later\""_qs);
        history.stack().undo();
        history.stack().undo();
        QCOMPARE(nodes.rootItem(0)->count(), 2);
        history.stack().redo();
        QCOMPARE(nodes.rootItem(0)->item(2)->text(), u"Plans"_qs);
    }

    // A change of the shape outside any step ends the history, whose
    // addresses would find the wrong nodes; other changes leave it.
    void unrecordedShapeChangeEndsTheHistory()
    {
        NodeTree nodes;
        fill(nodes);
        EditHistory history(nodes);
        {
            const EditHistory::Step step(history, QStringLiteral("Rename"));
            nodes.setText(nodes.rootItem(1), QStringLiteral("House"));
        }
        nodes.setImage(nodes.rootItem(0), 3); // a file found missing: no shape change
        QCOMPARE(history.stack().count(), 1);
        nodes.deleteNode(nodes.rootItem(0));
        QCOMPARE(history.stack().count(), 0);
    }

    // A real file that cannot follow leaves its step as it stands and takes
    // it off the history; the steps before it still go back.
    void outsideFailureLeavesTheStep()
    {
        NodeTree nodes;
        fill(nodes);
        EditHistory history(nodes);
        const QStringList start = dump(nodes);
        {
            const EditHistory::Step step(history, QStringLiteral("Rename"));
            nodes.setText(nodes.rootItem(1), QStringLiteral("House"));
        }
        const QStringList renamed = dump(nodes);
        bool putBack = false;
        int calls = 0;
        {
            const EditHistory::Step step(history, QStringLiteral("Delete \"c\""));
            history.addOutside(
                [&] {
                    ++calls;
                    return putBack;
                },
                [] { return true; });
            nodes.deleteNode(nodes.rootItem(0)->item(1));
        }
        history.stack().undo();
        QCOMPARE(calls, 1);
        QCOMPARE(nodes.rootItem(0)->count(), 1); // still removed
        QCOMPARE(history.stack().count(), 1);
        QCOMPARE(history.stack().undoText(), u"Rename"_qs);
        QCOMPARE(dump(nodes).size(), renamed.size() - 1);
        history.stack().undo();
        QCOMPARE(nodes.rootItem(1)->text(), u"Home"_qs);
        Q_UNUSED(start);
    }

    // A bulk change (a restore) replaces the roots: undo gives the old
    // catalogue back, views hear one reset each way.
    void bulkReplacementGoesBack()
    {
        NodeTree nodes;
        fill(nodes);
        EditHistory history(nodes);
        const QStringList before = dump(nodes);
        QSignalSpy resets(&nodes, &QAbstractItemModel::modelReset);
        {
            const EditHistory::Step step(history, QStringLiteral("Restore data"));
            const int old = nodes.rootCount();
            nodes.beginUpdate();
            TreeNode* r = add(nodes, nullptr, "Restored", NodeKind::Category);
            add(nodes, r, "r1", NodeKind::Doc);
            add(nodes, add(nodes, r, "sub", NodeKind::Category), "r2", NodeKind::Doc);
            add(nodes, nullptr, "Second", NodeKind::Category);
            nodes.deleteRoots(0, old);
            nodes.endUpdate();
        }
        const QStringList after = dump(nodes);
        QCOMPARE(after.size(), 5);
        history.stack().undo();
        QCOMPARE(dump(nodes), before);
        history.stack().redo();
        QCOMPARE(dump(nodes), after);
        QCOMPARE(resets.count(), 3);
    }
};

QTEST_GUILESS_MAIN(TestEditHistory)
#include "tst_edithistory.moc"
