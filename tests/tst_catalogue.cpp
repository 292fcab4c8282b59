// Catalogue nodes: the node record, the node collection and its model, the
// image lists and the node-making operations of the catalogue.
#include "catalogue/Catalogue.h"
#include "catalogue/FileTypeIcons.h"
#include "utils/TextUtils.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

namespace
{

void touch(const QString& path, const QByteArray& bytes = "x")
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    f.write(bytes);
}

// A catalogue working in a folder of its own.
struct Env {
    QTemporaryDir dir;
    Catalogue cat;
    Env() { cat.setDataFolder(dir.path()); }
    QString path(const QString& name) const { return dir.filePath(name); }
    NodeTree& nodes() { return cat.nodes(); }
};

QStringList texts(const TreeNode* parent, const NodeTree& nodes)
{
    QStringList out;
    const int n = parent ? parent->count() : nodes.rootCount();
    for (int i = 0; i < n; ++i)
        out << (parent ? parent->item(i) : nodes.rootItem(i))->text();
    return out;
}

// Walks the whole tree and checks that every way of reaching a node agrees:
// parent links, rows, levels, full order, absolute indexes and model indexes.
void checkTree(const NodeTree& nodes)
{
    std::vector<const TreeNode*> order;
    std::function<void(const TreeNode*, const TreeNode*, int, const QModelIndex&)> walk =
        [&](const TreeNode* node, const TreeNode* parent, int depth,
            const QModelIndex& parentIndex) {
            order.push_back(node);
            QCOMPARE(node->parent(), parent);
            QCOMPARE(node->level(), depth);
            const QModelIndex mi = nodes.indexOf(node);
            QCOMPARE(mi.row(), node->index());
            QCOMPARE(nodes.index(node->index(), 0, parentIndex), mi);
            QCOMPARE(nodes.parent(mi), parentIndex);
            QCOMPARE(NodeTree::nodeOf(mi), node);
            QCOMPARE(nodes.rowCount(mi), node->count());
            for (int i = 0; i < node->count(); ++i) {
                QCOMPARE(node->item(i)->index(), i);
                walk(node->item(i), node, depth + 1, mi);
            }
        };
    QCOMPARE(nodes.rowCount(), nodes.rootCount());
    for (int i = 0; i < nodes.rootCount(); ++i)
        walk(nodes.rootItem(i), nullptr, 0, QModelIndex());
    QCOMPARE(nodes.count(), int(order.size()));
    const TreeNode* n = nodes.getFirstNode();
    for (size_t i = 0; i < order.size(); ++i, n = n->getNext()) {
        QCOMPARE(n, order[i]);
        QCOMPARE(n->absoluteIndex(), int(i));
        QCOMPARE(nodes.nodeAtAbsoluteIndex(int(i)), order[i]);
    }
    QCOMPARE(n, nullptr);
    QCOMPARE(nodes.nodeAtAbsoluteIndex(int(order.size())), nullptr);
    QCOMPARE(nodes.nodeAtAbsoluteIndex(-1), nullptr);
}

} // namespace

class TestCatalogue : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void kindCodes_data()
    {
        QTest::addColumn<QChar>("code");
        QTest::addColumn<int>("kind");
        QTest::newRow("1") << QChar(u'1') << int(NodeKind::Category);
        QTest::newRow("2") << QChar(u'2') << int(NodeKind::Doc);
        QTest::newRow("3") << QChar(u'3') << int(NodeKind::Folder);
        QTest::newRow("4") << QChar(u'4') << int(NodeKind::Url);
        QTest::newRow("0") << QChar(u'0') << int(NodeKind::None);
        QTest::newRow("5") << QChar(u'5') << int(NodeKind::None);
        QTest::newRow("A") << QChar(u'A') << int(NodeKind::None);
        QTest::newRow("blank") << QChar(u' ') << int(NodeKind::None);
        QTest::newRow("NUL") << QChar(u'\0') << int(NodeKind::None);
        QTest::newRow("fullwidth 1") << QChar(u'\uFF11') << int(NodeKind::None);
    }
    void kindCodes()
    {
        QFETCH(QChar, code);
        QFETCH(int, kind);
        NodeInfo info;
        info.kind = NodeKind::Doc;
        info.setsKind(code);
        QCOMPARE(int(info.kind), kind);
        // Reading the code back gives the same code for the five kinds, "0" otherwise.
        QCOMPARE(info.getsKind(), kind == int(NodeKind::None) ? QChar(u'0') : code);
    }

    void kindOutOfRangeReadsAsZero()
    {
        NodeInfo info;
        info.kind = static_cast<NodeKind>(9);
        QCOMPARE(info.getsKind(), QChar(u'0'));
        info.kind = NodeKind::Url;
        QCOMPARE(info.getsKind(), QChar(u'4'));
    }

    void assignCopiesRecordAndRefusesNone()
    {
        NodeInfo from;
        from.fullName = QStringLiteral("/home/u/Brief ä.odt");
        from.comments = QStringLiteral("draft");
        from.kind = NodeKind::Folder;
        from.sAdditional = QStringLiteral("42");
        NodeInfo to;
        to.assign(&from);
        QCOMPARE(to.fullName, from.fullName);
        QCOMPARE(to.comments.text(), QStringLiteral("draft"));
        QCOMPARE(to.kind, from.kind);
        QCOMPARE(to.sAdditional.text(), QStringLiteral("42"));
        // The copy's notes are its own: a change of one leaves the other.
        to.comments = QStringLiteral("final");
        to.sAdditional = QString();
        QCOMPARE(from.comments.text(), QStringLiteral("draft"));
        QCOMPARE(from.sAdditional.text(), QStringLiteral("42"));
        QVERIFY(to.sAdditional.isEmpty());
        to.assign(&to); // onto itself: nothing changes
        QCOMPARE(to.comments.text(), QStringLiteral("final"));

        QVERIFY_THROWS_EXCEPTION(ConvertError, to.assign(nullptr));
        // A refused assignment changes nothing.
        QCOMPARE(to.fullName, from.fullName);
        QCOMPARE(to.kind, NodeKind::Folder);
    }

    // Every change of the node collection must keep the model's signals,
    // indexes and the nodes' own bookkeeping in step.
    void modelStaysConsistent()
    {
        NodeTree nodes;
        QAbstractItemModelTester tester(&nodes,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy moved(&nodes, &QAbstractItemModel::rowsMoved);
        QSignalSpy layout(&nodes, &QAbstractItemModel::layoutChanged);
        QSignalSpy resets(&nodes, &QAbstractItemModel::modelReset);

        TreeNode* a = nodes.addChild(nullptr, QStringLiteral("A"));
        TreeNode* b = nodes.addChild(nullptr, QStringLiteral("B"));
        TreeNode* c = nodes.addChild(nullptr, QStringLiteral("C"));
        TreeNode* a1 = nodes.addChild(a, QStringLiteral("a1"));
        TreeNode* a2 = nodes.addChild(a, QStringLiteral("a2"));
        TreeNode* a0 = nodes.insertNode(a1, QStringLiteral("a0"));
        TreeNode* a2x = nodes.addChild(a2, QStringLiteral("a2x"));
        TreeNode* a2y = nodes.addChild(a2, QStringLiteral("a2y"));
        TreeNode* z = nodes.insertNode(a, QStringLiteral("Z")); // before the first root
        TreeNode* d = nodes.insertNode(nullptr, QStringLiteral("D"));
        QCOMPARE(texts(nullptr, nodes), (QStringList{"Z", "A", "B", "C", "D"}));
        QCOMPARE(texts(a, nodes), (QStringList{"a0", "a1", "a2"}));
        checkTree(nodes);
        QCOMPARE(a2y->level(), 2);
        QCOMPARE(a2y->absoluteIndex(), 6);
        QCOMPARE(a2y->getNext(), b);     // climbs out of two levels
        QCOMPARE(d->getNext(), nullptr); // the last node
        QVERIFY(a2x->isUnder(a) && !a->isUnder(a2x) && !b->isUnder(a));

        // Persistent indexes must follow their nodes through moves and reorders.
        const QPersistentModelIndex pA2y(nodes.indexOf(a2y)), pC(nodes.indexOf(c)),
            pA0(nodes.indexOf(a0));

        nodes.moveTo(a0, a, 3); // down among its siblings (to the end)
        QCOMPARE(texts(a, nodes), (QStringList{"a1", "a2", "a0"}));
        nodes.moveTo(a0, a, 0); // back up
        QCOMPARE(texts(a, nodes), (QStringList{"a0", "a1", "a2"}));
        nodes.moveTo(a2, c, 0); // to another parent, with its subtree
        QCOMPARE(texts(c, nodes), QStringList{"a2"});
        QCOMPARE(a2y->level(), 2);
        QCOMPARE(a2y->parent(), a2);
        nodes.moveTo(a2, nullptr, 1); // to the roots
        QCOMPARE(texts(nullptr, nodes), (QStringList{"Z", "a2", "A", "B", "C", "D"}));
        QCOMPARE(a2->parent(), nullptr);
        QCOMPARE(a2y->level(), 1);
        nodes.moveTo(z, nullptr, 99); // a row past the end means last
        QCOMPARE(texts(nullptr, nodes), (QStringList{"a2", "A", "B", "C", "D", "Z"}));
        checkTree(nodes);
        QCOMPARE(moved.count(), 5);

        // Moves that change nothing or would cut a subtree off the tree are ignored.
        nodes.moveTo(a, a1, 0); // into its own subtree
        nodes.moveTo(a, a, 0);  // into itself
        nodes.moveTo(a1, a, a1->index());
        nodes.moveTo(a1, a, a1->index() + 1);
        QCOMPARE(moved.count(), 5);
        QCOMPARE(a1->parent(), a);
        checkTree(nodes);

        QCOMPARE(NodeTree::nodeOf(pA2y), a2y);
        QCOMPARE(pA2y.row(), a2y->index());
        QCOMPARE(pA2y.parent(), QModelIndex(nodes.indexOf(a2)));
        QCOMPARE(NodeTree::nodeOf(pA0), a0);

        nodes.reorder(nullptr, {d, c, b, a, a2, z});
        QCOMPARE(texts(nullptr, nodes), (QStringList{"D", "C", "B", "A", "a2", "Z"}));
        nodes.reorder(a, {a1, a0});
        QCOMPARE(texts(a, nodes), (QStringList{"a1", "a0"}));
        QCOMPARE(layout.count(), 2);
        nodes.reorder(a, {a1}); // not every child: refused
        QCOMPARE(layout.count(), 2);
        QCOMPARE(texts(a, nodes), (QStringList{"a1", "a0"}));
        checkTree(nodes);
        QCOMPARE(pC.row(), 1);
        QCOMPARE(NodeTree::nodeOf(pC), c);
        QCOMPARE(pA0.row(), 1);
        QCOMPARE(NodeTree::nodeOf(pA0), a0);

        // Text, image and in-place edit.
        QSignalSpy changed(&nodes, &QAbstractItemModel::dataChanged);
        QSignalSpy renamed(&nodes, &NodeTree::nodeRenamed);
        nodes.setText(b, QStringLiteral("B2"));
        nodes.setImage(b, 5);
        QCOMPARE(b->imageIndex(), 5);
        QCOMPARE(b->selectedIndex(), 5);
        QVERIFY(nodes.setData(nodes.indexOf(c), QStringLiteral("C2"), Qt::EditRole));
        QCOMPARE(c->text(), QStringLiteral("C2"));
        QCOMPARE(nodes.data(nodes.indexOf(c), Qt::DisplayRole).toString(), QStringLiteral("C2"));
        QCOMPARE(changed.count(), 3);
        QCOMPARE(renamed.count(), 2);

        // Deleting a subtree takes its nodes out of the count and its indexes with it.
        QSignalSpy deleting(&nodes, &NodeTree::nodeDeleting);
        const int before = nodes.count();
        nodes.deleteNode(a2);
        QCOMPARE(deleting.count(), 1);
        QCOMPARE(nodes.count(), before - 3);
        QVERIFY(!pA2y.isValid());
        checkTree(nodes);

        // Bulk changes: one reset at the outermost end, nothing in between.
        QSignalSpy suspended(&nodes, &NodeTree::updatesSuspended);
        const int resetsBefore = int(resets.count());
        nodes.beginUpdate();
        nodes.beginUpdate();
        QVERIFY(nodes.updating());
        TreeNode* e = nodes.addChild(b, QStringLiteral("e"));
        nodes.addChild(e, QStringLiteral("e1"));
        nodes.insertNode(e, QStringLiteral("e0"));
        nodes.moveTo(d, b, 0);
        nodes.setText(e, QStringLiteral("E"));
        nodes.deleteNode(z);
        nodes.endUpdate();
        QVERIFY(nodes.updating());
        QCOMPARE(resets.count(), resetsBefore);
        nodes.endUpdate();
        QVERIFY(!nodes.updating());
        QCOMPARE(resets.count(), resetsBefore + 1);
        QCOMPARE(suspended.count(), 2);
        nodes.endUpdate(); // unbalanced: harmless
        QCOMPARE(resets.count(), resetsBefore + 1);
        QCOMPARE(texts(b, nodes), (QStringList{"D", "e0", "E"}));
        checkTree(nodes);

        nodes.clear();
        QCOMPARE(nodes.count(), 0);
        QCOMPARE(nodes.getFirstNode(), nullptr);
        checkTree(nodes);
    }

    // New categories open a rename editor at once, and users rename entries in
    // place: the tree view must be allowed to edit a node's text.
    // A reference reads as null once its node or one above it leaves the
    // tree, by any removal, and follows its node through moves and sorts;
    // neighbours removed together reach the views as one run of rows.
    void referencesAndRemovalsInRuns()
    {
        NodeTree nodes;
        QAbstractItemModelTester tester(&nodes,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        TreeNode* p = nodes.addChild(nullptr, QStringLiteral("P"));
        std::vector<TreeNode*> kids;
        for (const char* t : {"a", "b", "c", "d", "e", "f"})
            kids.push_back(nodes.addChild(p, QString::fromLatin1(t)));
        TreeNode* dx = nodes.addChild(kids[3], QStringLiteral("dx"));
        TreeNode* q = nodes.addChild(nullptr, QStringLiteral("Q"));
        const NodeRef c(nodes, kids[2]), below(nodes, dx), e(nodes, kids[4]);
        NodeRef copy = c;
        const NodeRef moved(nodes, q);
        nodes.moveTo(q, p, 0);
        nodes.reorder(p, {kids[5], kids[4], kids[3], kids[2], kids[1], kids[0], q});
        nodes.reorder(p, {q, kids[0], kids[1], kids[2], kids[3], kids[4], kids[5]});
        QCOMPARE(moved.get(), q);
        QSignalSpy removed(&nodes, &QAbstractItemModel::rowsRemoved);
        QSignalSpy finished(&nodes, &NodeTree::changeFinished);
        nodes.deleteNodes({kids[5], kids[1], kids[3], kids[2]});
        QCOMPARE(texts(p, nodes), (QStringList{"Q", "a", "e"}));
        QCOMPARE(removed.size(), 2); // f alone, then b to d
        QCOMPARE(removed.at(1).at(1).toInt(), 2);
        QCOMPARE(removed.at(1).at(2).toInt(), 4);
        QCOMPARE(finished.size(), 2);
        QVERIFY(!c && !copy && !below);
        QCOMPARE(e.get(), kids[4]);
        checkTree(nodes);
        // Assigned again it holds the new node; a reset drops every one.
        copy = e;
        QCOMPARE(copy.get(), kids[4]);
        nodes.clear();
        QVERIFY(!copy && !e && !moved);
        // Nothing is changing between the changes.
        QVERIFY(!nodes.changing());
    }

    // Many scattered runs under one parent are brought together and go as
    // one run: the survivors keep their order, their references and their
    // persistent indexes, and nothing else moves.
    void scatteredRemovalsGoAsOneRun()
    {
        NodeTree nodes;
        QAbstractItemModelTester tester(&nodes,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        TreeNode* p = nodes.addChild(nullptr, QStringLiteral("P"));
        TreeNode* other = nodes.addChild(nullptr, QStringLiteral("O"));
        std::vector<TreeNode*> kids, doomed;
        QStringList kept;
        for (int i = 0; i < 40; ++i) {
            kids.push_back(nodes.addChild(p, QString::number(i)));
            if (i % 3 == 1)
                doomed.push_back(kids.back());
            else
                kept << QString::number(i);
        }
        nodes.addChild(kids[4], QStringLiteral("below a doomed one"));
        const NodeRef survivor(nodes, kids[39]), gone(nodes, kids[4]);
        const QPersistentModelIndex pSurvivor(nodes.indexOf(kids[39])),
            pOther(nodes.indexOf(other));
        const int before = nodes.count();
        QSignalSpy removed(&nodes, &QAbstractItemModel::rowsRemoved);
        QSignalSpy deleting(&nodes, &NodeTree::nodeDeleting);
        nodes.deleteNodes(doomed);
        QCOMPARE(texts(p, nodes), kept);
        QCOMPARE(removed.size(), 1);
        QCOMPARE(deleting.size(), int(doomed.size()));
        QCOMPARE(nodes.count(), before - int(doomed.size()) - 1);
        QCOMPARE(survivor.get(), kids[39]);
        QVERIFY(!gone);
        QCOMPARE(NodeTree::nodeOf(pSurvivor), kids[39]);
        QCOMPARE(pSurvivor.row(), kept.size() - 1);
        QCOMPARE(NodeTree::nodeOf(pOther), other);
        checkTree(nodes);
    }

    void nodesCanBeRenamedInPlace()
    {
        NodeTree nodes;
        nodes.addChild(nullptr, QStringLiteral("First"));
        TreeNode* b = nodes.addChild(nullptr, QStringLiteral("New category"));
        QTreeView view;
        view.setModel(&nodes);
        view.setEditTriggers(QAbstractItemView::NoEditTriggers); // as the main window sets it
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QModelIndex index = nodes.indexOf(b);
        view.setCurrentIndex(index);
        view.edit(index);
        QVERIFY(nodes.flags(index).testFlag(Qt::ItemIsEditable));
        auto* editor = view.viewport()->findChild<QLineEdit*>();
        QVERIFY(editor && editor->isVisible());
        editor->setText(QStringLiteral("Letters"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(b->text(),
                     QStringLiteral("Letters")); // the editor commits through a queued call
    }

    void modelServesIconsOfTheSmallList()
    {
        Env env;
        TreeNode* cat = env.cat.addCategoryNode(nullptr, QStringLiteral("Cat"));
        const QIcon icon =
            qvariant_cast<QIcon>(env.nodes().data(env.nodes().indexOf(cat), Qt::DecorationRole));
        QVERIFY(!icon.isNull());
        QCOMPARE(icon.pixmap(16, 16).toImage(),
                 env.cat.images().small.icon(imgCategory).pixmap(16, 16).toImage());
    }

    void imageListsStartWithSevenDistinctImages()
    {
        Env env;
        ImageLists& images = env.cat.images();
        QCOMPARE(images.small.count(), int(FixedImageCount));
        QCOMPARE(images.large.count(), int(FixedImageCount));
        QCOMPARE(images.small.size(), 16);
        QCOMPARE(images.large.size(), 32);
        for (int i = 0; i < FixedImageCount; ++i) {
            QVERIFY(!images.small.icon(i).isNull());
            QVERIFY(!images.large.icon(i).isNull());
        }
        QVERIFY(images.small.icon(-1).isNull());
        QVERIFY(images.small.icon(FixedImageCount).isNull());
    }

    // Each type of existing document or folder adds one icon to each list,
    // at the same index, shared by its entries; the small list gets the
    // small icon.
    void imageListsGrowInStep()
    {
        Env env;
        QVERIFY(QDir(env.dir.path()).mkdir(QStringLiteral("folder")));
        touch(env.path(QStringLiteral("a.txt")));
        touch(env.path(QStringLiteral("b.png")));
        TreeNode* top = env.cat.addCategoryNode(nullptr, QStringLiteral("Top"));
        std::vector<TreeNode*> made;
        for (const char* name : {"a.txt", "folder", "b.png", "a.txt", "missing.txt"})
            made.push_back(
                env.cat.addLinkNode(env.path(QString::fromLatin1(name)), top, QString(), false));
        env.cat.addLinkNode(QStringLiteral("https://example.org/"), top, QStringLiteral("Site"),
                            true);
        ImageLists& images = env.cat.images();
        QCOMPARE(images.small.count(), FixedImageCount + 3);
        QCOMPARE(images.large.count(), images.small.count());
        QCOMPARE(made[4]->imageIndex(), int(imgMissing));
        QCOMPARE(made[3]->imageIndex(), made[0]->imageIndex());
        for (int i = 0; i < 4; ++i) {
            const int index = made[size_t(i)]->imageIndex();
            QCOMPARE(index, FixedImageCount + i % 3);
            const QString path = made[size_t(i)]->data()->fullName;
            QCOMPARE(images.small.icon(index).pixmap(16, 16).toImage(),
                     FileUtils::fileTypeIcon(path, false).pixmap(16, 16).toImage());
            QCOMPARE(images.large.icon(index).pixmap(32, 32).toImage(),
                     FileUtils::fileTypeIcon(path, true).pixmap(32, 32).toImage());
        }
    }

    void typeIconOfSymlinkCarriesEmblem()
    {
        Env env;
        touch(env.path(QStringLiteral("target.txt")));
        QVERIFY(QFile::link(env.path(QStringLiteral("target.txt")),
                            env.path(QStringLiteral("link.txt"))));
        const int plain = env.cat.addFileTypeIcon(env.path(QStringLiteral("target.txt")));
        const int link = env.cat.addFileTypeIcon(env.path(QStringLiteral("link.txt")));
        QVERIFY(plain >= FixedImageCount && link == plain + 1);
        const ImageLists& images = env.cat.images();
        QVERIFY(images.small.icon(plain).pixmap(16, 16).toImage() !=
                images.small.icon(link).pixmap(16, 16).toImage());
        QVERIFY(images.large.icon(plain).pixmap(32, 32).toImage() !=
                images.large.icon(link).pixmap(32, 32).toImage());
        QCOMPARE(env.cat.addFileTypeIcon(env.path(QStringLiteral("nothing"))), int(imgMissing));
        QCOMPARE(env.cat.addFileTypeIcon(QString()), int(imgMissing));
        QCOMPARE(images.small.count(), FixedImageCount + 2);
    }

    void addLinkNodeMakesEntriesFromPaths_data()
    {
        QTest::addColumn<QString>(
            "relative"); // under the temporary folder; empty: the folder itself
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("exists");
        QTest::newRow("file") << "Brief ä.odt"
                              << "Brief ä.odt" << int(NodeKind::Doc) << true;
        QTest::newRow("folder") << "Sub"
                                << "Sub" << int(NodeKind::Folder) << true;
        QTest::newRow("folder with trailing slash") << "Sub/"
                                                    << "Sub" << int(NodeKind::Folder) << true;
        QTest::newRow("gone") << "gone.pdf"
                              << "gone.pdf" << int(NodeKind::Doc) << false;
        QTest::newRow("gone folder") << "gone/"
                                     << "gone" << int(NodeKind::Doc) << false;
    }
    void addLinkNodeMakesEntriesFromPaths()
    {
        QFETCH(QString, relative);
        QFETCH(QString, text);
        QFETCH(int, kind);
        QFETCH(bool, exists);
        Env env;
        touch(env.path(QStringLiteral("Brief ä.odt")));
        QVERIFY(QDir(env.dir.path()).mkdir(QStringLiteral("Sub")));
        TreeNode* top = env.cat.addCategoryNode(nullptr, QStringLiteral("Top"));
        const QString path = env.dir.path() + u'/' + relative;
        TreeNode* node = env.cat.addLinkNode(path, top, QStringLiteral("ignored title"), false);
        QCOMPARE(node->text(), text);
        QCOMPARE(int(node->data()->kind), kind);
        QCOMPARE(node->data()->fullName, path);
        QVERIFY(node->data()->comments.isEmpty() && node->data()->sAdditional.isEmpty());
        QCOMPARE(node->imageIndex(), exists ? int(FixedImageCount) : int(imgMissing));
        QCOMPARE(node->selectedIndex(), node->imageIndex());
        QCOMPARE(env.cat.images().small.count(), FixedImageCount + (exists ? 1 : 0));
        QCOMPARE(env.cat.images().large.count(), env.cat.images().small.count());
    }

    void addLinkNodeHyperlinks()
    {
        Env env;
        TreeNode* top = env.cat.addCategoryNode(nullptr, QStringLiteral("Top"));
        TreeNode* web = env.cat.addLinkNode(QStringLiteral("https://example.org/a/b.html"), top,
                                            QStringLiteral("Title"), true);
        QCOMPARE(web->text(), QStringLiteral("Title"));
        QCOMPARE(web->data()->kind, NodeKind::Url);
        QCOMPARE(web->imageIndex(), int(imgHyperlink));
        // An empty title stays empty here (only the file reader names it by its address).
        TreeNode* mail =
            env.cat.addLinkNode(QStringLiteral("mailto:me@example.org"), top, QString(), true);
        QCOMPARE(mail->text(), QString());
        QCOMPARE(mail->data()->fullName, QStringLiteral("mailto:me@example.org"));
        // A title taken from a dropped page may span lines; the name must not.
        TreeNode* multi = env.cat.addLinkNode(QStringLiteral("https://example.org/"), top,
                                              QStringLiteral("Page\r\ntitle"), true);
        QVERIFY(!TextUtils::hasLineBreakOrNul(multi->text()));
        QCOMPARE(env.cat.images().small.count(), int(FixedImageCount));
    }

    void addLinkNodeRefusesLineBreaksInPaths_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("isUrl");
        QTest::newRow("LF in path") << QStringLiteral("/tmp/a\nb.txt") << false;
        QTest::newRow("CR in path") << QStringLiteral("/tmp/a\rb.txt") << false;
        QTest::newRow("NUL in path")
            << QStringLiteral("/tmp/a") + QChar(0) + QStringLiteral("b") << false;
        QTest::newRow("LF in address") << QStringLiteral("https://example.org/\nx") << true;
    }
    void addLinkNodeRefusesLineBreaksInPaths()
    {
        QFETCH(QString, path);
        QFETCH(bool, isUrl);
        Env env;
        TreeNode* top = env.cat.addCategoryNode(nullptr, QStringLiteral("Top"));
        QSignalSpy refill(&env.cat, &Catalogue::listRefillRequested);
        QVERIFY_THROWS_EXCEPTION(CatalogueError,
                                 env.cat.addLinkNode(path, top, QStringLiteral("t"), isUrl));
        QCOMPARE(env.nodes().count(), 1);
        QCOMPARE(top->count(), 0);
        QCOMPARE(refill.count(), 0);
        QCOMPARE(env.cat.images().small.count(), int(FixedImageCount));
        try {
            env.cat.addLinkNode(path, top, QStringLiteral("t"), isUrl);
        } catch (const CatalogueError& e) {
            QVERIFY(!e.text().isEmpty());
        }
    }

    void addLinkNodePlacement()
    {
        Env env;
        NodeTree& nodes = env.nodes();
        TreeNode* top = env.cat.addCategoryNode(nullptr, QStringLiteral("Top"));
        TreeNode* sub = env.cat.addCategoryNode(top, QStringLiteral("Sub"));
        TreeNode* doc = env.cat.addLinkNode(env.path(QStringLiteral("d1")), top, QString(), false);
        TreeNode* url = env.cat.addLinkNode(QStringLiteral("https://example.org/"), top,
                                            QStringLiteral("U"), true);
        QCOMPARE(texts(top, nodes), (QStringList{"Sub", "d1", "U"}));

        QSignalSpy expand(&nodes, &NodeTree::expandRequested);
        QSignalSpy refill(&env.cat, &Catalogue::listRefillRequested);
        // Into a category: its last child.
        TreeNode* inSub =
            env.cat.addLinkNode(env.path(QStringLiteral("d2")), sub, QString(), false);
        QCOMPARE(inSub->parent(), sub);
        QCOMPARE(expand.count(), 1);
        QCOMPARE(expand.at(0).at(0).value<TreeNode*>(), sub);
        QCOMPARE(expand.at(0).at(1).toBool(), false);
        QCOMPARE(refill.count(), 1);
        QCOMPARE(refill.at(0).at(0).value<TreeNode*>(), sub);
        // Onto a document or a hyperlink: right before it, in the same category.
        TreeNode* beforeDoc =
            env.cat.addLinkNode(env.path(QStringLiteral("d3")), doc, QString(), false);
        TreeNode* beforeUrl = env.cat.addLinkNode(QStringLiteral("https://example.net/"), url,
                                                  QStringLiteral("V"), true);
        QCOMPARE(texts(top, nodes), (QStringList{"Sub", "d3", "d1", "V", "U"}));
        QCOMPARE(beforeDoc->parent(), top);
        QCOMPARE(beforeUrl->parent(), top);
        QCOMPARE(doc->count(), 0);
        QCOMPARE(url->count(), 0);
        QCOMPARE(refill.last().at(0).value<TreeNode*>(), top);
        // A document at the top level: the new entry becomes a root before it.
        TreeNode* rootDoc =
            env.cat.addLinkNode(env.path(QStringLiteral("r1")), nullptr, QString(), false);
        QCOMPARE(rootDoc->parent(), nullptr);
        TreeNode* beforeRoot =
            env.cat.addLinkNode(env.path(QStringLiteral("r0")), rootDoc, QString(), false);
        QCOMPARE(texts(nullptr, nodes), (QStringList{"Top", "r0", "r1"}));
        QCOMPARE(beforeRoot->parent(), nullptr);
        QCOMPARE(refill.last().at(0).value<TreeNode*>(), nullptr);
        checkTree(nodes);
    }

    // Files filed at once go in the given order as one run of rows, before
    // an entry as after the last child; a path that cannot be filed is left
    // out with its reason, and the built-in category sends files elsewhere.
    void addFileLinkNodesInOneRun()
    {
        Env env;
        NodeTree& nodes = env.nodes();
        env.cat.createMakerCategory();
        TreeNode* top = env.cat.addCategoryNode(nullptr, QStringLiteral("Top"));
        env.cat.setTopCategory(top);
        TreeNode* doc = env.cat.addLinkNode(env.path(QStringLiteral("d1")), top, QString(), false);
        QSignalSpy inserted(&nodes, &QAbstractItemModel::rowsInserted);
        QStringList refused;
        const std::vector<TreeNode*> made = env.cat.addFileLinkNodes(
            {env.path("a"), env.path("bad\nname"), env.path("b"), env.path("c")}, doc, refused);
        QCOMPARE(made.size(), size_t(3));
        QCOMPARE(refused.size(), 1);
        QVERIFY(refused.first().contains(QStringLiteral("line break")));
        QCOMPARE(texts(top, nodes), (QStringList{"a", "b", "c", "d1"}));
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(made[1]->data()->fullName, env.path("b"));
        QCOMPARE(made[1]->data()->kind, NodeKind::Doc);
        QVERIFY(made[1]->imageIndex() >= 0);
        // Into the built-in category: to the user's first category instead.
        env.cat.addFileLinkNodes({env.path("e")}, env.cat.makerCategory(), refused);
        QCOMPARE(texts(top, nodes), (QStringList{"a", "b", "c", "d1", "e"}));
        checkTree(nodes);
    }

    void addCategoryNode()
    {
        Env env;
        TreeNode* a = env.cat.addCategoryNode(nullptr, QStringLiteral("A"));
        TreeNode* b = env.cat.addCategoryNode(nullptr, QStringLiteral("B"));
        TreeNode* a1 = env.cat.addCategoryNode(a, QStringLiteral("New category"));
        QCOMPARE(texts(nullptr, env.nodes()), (QStringList{"A", "B"}));
        QCOMPARE(a1->parent(), a);
        for (TreeNode* n : {a, b, a1}) {
            QCOMPARE(n->data()->kind, NodeKind::Category);
            QVERIFY(n->data()->fullName.isEmpty() && n->data()->comments.isEmpty() &&
                    n->data()->sAdditional.isEmpty());
            QCOMPARE(n->imageIndex(), int(imgCategory));
            QCOMPARE(n->selectedIndex(), int(imgCategory));
        }
    }

    // Entries aimed at the built-in category or at one of its links go to the
    // user's main category; only the maker's own addresses may go there.
    void builtInCategoryRedirects_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("isUrl");
        QTest::addColumn<bool>("atLink"); // aim at a link inside rather than at the category
        QTest::addColumn<bool>("staysInside");
        QTest::newRow("file at category") << "/tmp/x.txt" << false << false << false;
        QTest::newRow("file at link") << "/tmp/x.txt" << false << true << false;
        QTest::newRow("web at category") << "https://example.org/" << true << false << false;
        QTest::newRow("web at link") << "https://example.org/" << true << true << false;
        QTest::newRow("maker address at category")
            << "https://velmarch.example/news" << true << false << true;
        QTest::newRow("maker address at link")
            << "https://www.velmarch.example/x" << true << true << true;
        QTest::newRow("maker address in other case")
            << "https://WWW.VelMarch.Example/" << true << false << true;
    }
    void builtInCategoryRedirects()
    {
        QFETCH(QString, path);
        QFETCH(bool, isUrl);
        QFETCH(bool, atLink);
        QFETCH(bool, staysInside);
        Env env;
        TreeNode* top = env.cat.addCategoryNode(nullptr, QStringLiteral("Mine"));
        env.cat.setTopCategory(top);
        env.cat.createMakerCategory();
        TreeNode* maker = env.cat.makerCategory();
        TreeNode* target = atLink ? maker->item(1) : maker;
        TreeNode* node = env.cat.addLinkNode(path, target, QStringLiteral("T"), isUrl);
        if (staysInside) {
            QCOMPARE(node->parent(), maker);
            QCOMPARE(maker->count(), 4);
        } else {
            QCOMPARE(node->parent(), top);
            QCOMPARE(node->index(), top->count() - 1);
            QCOMPARE(maker->count(), 3);
        }
    }

    void builtInCategoryRedirectsCategories()
    {
        Env env;
        TreeNode* top = env.cat.addCategoryNode(nullptr, QStringLiteral("Mine"));
        env.cat.setTopCategory(top);
        env.cat.createMakerCategory();
        TreeNode* maker = env.cat.makerCategory();
        QCOMPARE(env.cat.addCategoryNode(maker, QStringLiteral("x"))->parent(), top);
        QCOMPARE(env.cat.addCategoryNode(maker->item(0), QStringLiteral("y"))->parent(), top);
        QCOMPARE(maker->count(), 3);
        // With no main category (a catalogue loaded from an empty file) the
        // redirected entry must still land somewhere outside the built-in one.
        env.cat.setTopCategory(nullptr);
        TreeNode* orphan =
            env.cat.addLinkNode(QStringLiteral("/tmp/o.txt"), maker->item(2), QString(), false);
        QVERIFY(!orphan->isUnder(maker));
        QVERIFY(!env.cat.addCategoryNode(maker, QStringLiteral("z"))->isUnder(maker));
        QCOMPARE(maker->count(), 3);
    }

    void makerCategoryComesFirstWithItsLinks()
    {
        Env env;
        // Alone in the tree it stays where it is.
        env.cat.createMakerCategory();
        QCOMPARE(env.nodes().rootCount(), 1);
        QCOMPARE(env.nodes().getFirstNode(), env.cat.makerCategory());
        env.nodes().deleteNode(env.cat.makerCategory());
        QCOMPARE(env.cat.makerCategory(), nullptr);

        env.cat.addCategoryNode(nullptr, QStringLiteral("A"));
        env.cat.addCategoryNode(nullptr, QStringLiteral("B"));
        env.cat.createMakerCategory();
        TreeNode* maker = env.cat.makerCategory();
        QCOMPARE(texts(nullptr, env.nodes()), (QStringList{"Velmarch", "A", "B"}));
        QCOMPARE(maker->absoluteIndex(), 0);
        QCOMPARE(maker->data()->kind, NodeKind::Category);
        QCOMPARE(texts(maker, env.nodes()),
                 (QStringList{"Velmarch at the Web", "Quillmere at the Web", "FAQ at the Web"}));
        QSet<QString> addresses;
        for (int i = 0; i < 3; ++i) {
            const TreeNode* link = maker->item(i);
            QCOMPARE(link->data()->kind, NodeKind::Url);
            QCOMPARE(link->imageIndex(), int(imgHyperlink));
            QVERIFY(link->data()->fullName.contains(QStringView(MakerWebDomain)));
            addresses.insert(link->data()->fullName);
        }
        QCOMPARE(addresses.size(), 3);
        checkTree(env.nodes());
    }

    void deletingForgetsSpecialNodes()
    {
        Env env;
        TreeNode* holder = env.cat.addCategoryNode(nullptr, QStringLiteral("Holder"));
        TreeNode* top = env.cat.addCategoryNode(holder, QStringLiteral("Top"));
        env.cat.setTopCategory(top);
        env.cat.createMakerCategory();
        // Both dragged below the holder: deleting the holder takes both.
        env.nodes().moveTo(env.cat.makerCategory(), holder, 0);
        env.nodes().addChild(top, QStringLiteral("inside Top"));
        env.nodes().deleteNode(top->item(0)); // a node below Top: Top stays
        QCOMPARE(env.cat.topCategory(), top);
        QVERIFY(env.cat.makerCategory() != nullptr);
        env.nodes().deleteNode(holder);
        QCOMPARE(env.cat.makerCategory(), nullptr);
        QCOMPARE(env.cat.topCategory(), nullptr);

        env.cat.setTopCategory(env.cat.addCategoryNode(nullptr, QStringLiteral("T")));
        env.nodes().deleteNode(env.cat.topCategory());
        QCOMPARE(env.cat.topCategory(), nullptr);
        env.cat.setTopCategory(env.cat.addCategoryNode(nullptr, QStringLiteral("T")));
        env.cat.createMakerCategory();
        env.nodes().deleteNode(
            env.cat.makerCategory()->item(0)); // a link: the category stays known
        QVERIFY(env.cat.makerCategory() != nullptr);
        env.nodes().clear();
        QCOMPARE(env.cat.makerCategory(), nullptr);
        QCOMPARE(env.cat.topCategory(), nullptr);
    }

    void fillNodes()
    {
        Env env;
        touch(env.path(QStringLiteral("f.txt")));
        QVERIFY(QDir(env.dir.path()).mkdir(QStringLiteral("dir")));
        NodeTree& nodes = env.nodes();
        TreeNode* n = nodes.addChild(nullptr, QStringLiteral("old"));

        env.cat.fillCategoryNode(n, QStringLiteral("Cat"), QStringLiteral("c"),
                                 QStringLiteral("a"));
        QCOMPARE(n->text(), QStringLiteral("Cat"));
        QCOMPARE(n->data()->kind, NodeKind::Category);
        QCOMPARE(n->data()->comments, QStringLiteral("c"));
        QCOMPARE(n->data()->sAdditional, QStringLiteral("a"));
        QCOMPARE(n->imageIndex(), int(imgCategory));

        // The file system decides document or folder; an empty name keeps the text.
        env.cat.fillDocNode(n, QString(), env.path(QStringLiteral("dir")), QStringLiteral("c2"),
                            QString(), false);
        QCOMPARE(n->text(), QStringLiteral("Cat"));
        QCOMPARE(n->data()->kind, NodeKind::Folder);
        QVERIFY(n->data()->fullName.endsWith(QLatin1String("/dir")));
        QCOMPARE(n->data()->comments, QStringLiteral("c2"));
        QCOMPARE(n->data()->sAdditional, QString());
        QCOMPARE(n->imageIndex(), int(FixedImageCount));
        env.cat.fillDocNode(n, QStringLiteral("F"), env.path(QStringLiteral("f.txt")), QString(),
                            QString(), true);
        QCOMPARE(n->text(), QStringLiteral("F"));
        QCOMPARE(n->data()->kind, NodeKind::Doc);
        QCOMPARE(n->imageIndex(), int(imgMissing)); // marked missing although it exists
        QCOMPARE(env.cat.images().small.count(), FixedImageCount + 1);

        env.cat.fillUrlNode(n, QString(), QStringLiteral("https://example.org/"),
                            QStringLiteral("c3"), QStringLiteral("a3"));
        QCOMPARE(n->text(), QStringLiteral("https://example.org/"));
        QCOMPARE(n->data()->kind, NodeKind::Url);
        QCOMPARE(n->data()->comments, QStringLiteral("c3"));
        QCOMPARE(n->data()->sAdditional, QStringLiteral("a3"));
        QCOMPARE(n->imageIndex(), int(imgHyperlink));
        env.cat.fillUrlNode(n, QStringLiteral("Named"), QStringLiteral("https://example.org/"),
                            QString(), QString());
        QCOMPARE(n->text(), QStringLiteral("Named"));
    }

    void refreshNodeIcon()
    {
        Env env;
        const QString file = env.path(QStringLiteral("f.txt"));
        touch(file);
        TreeNode* top = env.cat.addCategoryNode(nullptr, QStringLiteral("Top"));
        TreeNode* doc = env.cat.addLinkNode(file, top, QString(), false);
        const int shell = doc->imageIndex();
        QVERIFY(shell >= FixedImageCount);
        QSignalSpy refill(&env.cat, &Catalogue::listRefillRequested);

        QVERIFY(env.cat.refreshNodeIcon(doc, true)); // still there: nothing changes
        QCOMPARE(doc->imageIndex(), shell);
        QCOMPARE(refill.count(), 0);

        QVERIFY(QFile::remove(file));
        QVERIFY(!env.cat.refreshNodeIcon(doc, false));
        QCOMPARE(doc->imageIndex(), int(imgMissing));
        QCOMPARE(doc->selectedIndex(), int(imgMissing));
        QCOMPARE(refill.count(), 1);
        QCOMPARE(refill.at(0).at(0).value<TreeNode*>(), top);
        QVERIFY(!env.cat.refreshNodeIcon(doc, true)); // still gone
        QCOMPARE(doc->imageIndex(), int(imgMissing));

        touch(file);
        QVERIFY(env.cat.refreshNodeIcon(doc, true));
        QCOMPARE(doc->imageIndex(), shell); // its type's icon again, not a new one
        QCOMPARE(env.cat.images().large.count(), shell + 1);
        QCOMPARE(env.cat.images().small.count(), shell + 1);
    }
};

QTEST_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
