// Catalogue nodes: the node record, the node collection and its model, the
// image lists and the node-making operations of the catalogue.
#include "catalogue/Catalogue.h"
#include "catalogue/FileTypeIcons.h"
#include "utils/MyTextUtils.h"

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

void touch(const QString& Path, const QByteArray& Bytes = "x")
{
    QFile f(Path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(Path));
    f.write(Bytes);
}

// A catalogue working in a folder of its own.
struct Env {
    QTemporaryDir dir;
    TCatalogue cat;
    Env() { cat.SetDataFolder(dir.path()); }
    QString path(const QString& Name) const { return dir.filePath(Name); }
    TTreeNodes& nodes() { return cat.Nodes(); }
};

QStringList texts(const TTreeNode* Parent, const TTreeNodes& Nodes)
{
    QStringList out;
    const int n = Parent ? Parent->Count() : Nodes.RootCount();
    for (int i = 0; i < n; ++i)
        out << (Parent ? Parent->Item(i) : Nodes.RootItem(i))->Text();
    return out;
}

// Walks the whole tree and checks that every way of reaching a node agrees:
// parent links, rows, levels, full order, absolute indexes and model indexes.
void checkTree(const TTreeNodes& Nodes)
{
    std::vector<const TTreeNode*> order;
    std::function<void(const TTreeNode*, const TTreeNode*, int, const QModelIndex&)> walk =
        [&](const TTreeNode* Node, const TTreeNode* Parent, int Depth,
            const QModelIndex& ParentIndex) {
            order.push_back(Node);
            QCOMPARE(Node->Parent(), Parent);
            QCOMPARE(Node->Level(), Depth);
            const QModelIndex mi = Nodes.IndexOf(Node);
            QCOMPARE(mi.row(), Node->Index());
            QCOMPARE(Nodes.index(Node->Index(), 0, ParentIndex), mi);
            QCOMPARE(Nodes.parent(mi), ParentIndex);
            QCOMPARE(TTreeNodes::NodeOf(mi), Node);
            QCOMPARE(Nodes.rowCount(mi), Node->Count());
            for (int i = 0; i < Node->Count(); ++i) {
                QCOMPARE(Node->Item(i)->Index(), i);
                walk(Node->Item(i), Node, Depth + 1, mi);
            }
        };
    QCOMPARE(Nodes.rowCount(), Nodes.RootCount());
    for (int i = 0; i < Nodes.RootCount(); ++i)
        walk(Nodes.RootItem(i), nullptr, 0, QModelIndex());
    QCOMPARE(Nodes.Count(), int(order.size()));
    const TTreeNode* n = Nodes.GetFirstNode();
    for (size_t i = 0; i < order.size(); ++i, n = n->GetNext()) {
        QCOMPARE(n, order[i]);
        QCOMPARE(n->AbsoluteIndex(), int(i));
        QCOMPARE(Nodes.NodeAtAbsoluteIndex(int(i)), order[i]);
    }
    QCOMPARE(n, nullptr);
    QCOMPARE(Nodes.NodeAtAbsoluteIndex(int(order.size())), nullptr);
    QCOMPARE(Nodes.NodeAtAbsoluteIndex(-1), nullptr);
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
        QTest::newRow("1") << QChar(u'1') << int(nkCategory);
        QTest::newRow("2") << QChar(u'2') << int(nkDoc);
        QTest::newRow("3") << QChar(u'3') << int(nkFolder);
        QTest::newRow("4") << QChar(u'4') << int(nkURL);
        QTest::newRow("0") << QChar(u'0') << int(nkNone);
        QTest::newRow("5") << QChar(u'5') << int(nkNone);
        QTest::newRow("A") << QChar(u'A') << int(nkNone);
        QTest::newRow("blank") << QChar(u' ') << int(nkNone);
        QTest::newRow("NUL") << QChar(u'\0') << int(nkNone);
        QTest::newRow("fullwidth 1") << QChar(u'\uFF11') << int(nkNone);
    }
    void kindCodes()
    {
        QFETCH(QChar, code);
        QFETCH(int, kind);
        TNodeInfo info;
        info.Kind = nkDoc;
        info.SetsKind(code);
        QCOMPARE(int(info.Kind), kind);
        // Reading the code back gives the same code for the five kinds, "0" otherwise.
        QCOMPARE(info.GetsKind(), kind == nkNone ? QChar(u'0') : code);
    }

    void kindOutOfRangeReadsAsZero()
    {
        TNodeInfo info;
        info.Kind = static_cast<TNodeKind>(9);
        QCOMPARE(info.GetsKind(), QChar(u'0'));
        info.Kind = nkURL;
        QCOMPARE(info.GetsKind(), QChar(u'4'));
    }

    void assignCopiesRecordAndRefusesOthers()
    {
        TNodeInfo from;
        from.FullName = QStringLiteral("/home/u/Brief ä.odt");
        from.Comments = QStringLiteral("draft");
        from.Kind = nkFolder;
        from.sAdditional = QStringLiteral("42");
        TNodeInfo to;
        to.Assign(&from);
        QCOMPARE(to.FullName, from.FullName);
        QCOMPARE(to.Comments, from.Comments);
        QCOMPARE(to.Kind, from.Kind);
        QCOMPARE(to.sAdditional, from.sAdditional);

        class TOther : public TPersistent
        {
        public:
            const char* ClassName() const override { return "TOther"; }
        } other;
        QVERIFY_THROWS_EXCEPTION(EConvertError, to.Assign(&other));
        QVERIFY_THROWS_EXCEPTION(EConvertError, to.Assign(nullptr));
        // A refused assignment changes nothing.
        QCOMPARE(to.FullName, from.FullName);
        QCOMPARE(to.Kind, nkFolder);
        try {
            to.Assign(&other);
        } catch (const EConvertError& e) {
            QVERIFY2(QByteArray(e.what()).contains("TOther"), e.what());
            QVERIFY2(QByteArray(e.what()).contains("TNodeInfo"), e.what());
        }
    }

    // Every change of the node collection must keep the model's signals,
    // indexes and the nodes' own bookkeeping in step.
    void modelStaysConsistent()
    {
        TTreeNodes nodes;
        QAbstractItemModelTester tester(&nodes,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy moved(&nodes, &QAbstractItemModel::rowsMoved);
        QSignalSpy layout(&nodes, &QAbstractItemModel::layoutChanged);
        QSignalSpy resets(&nodes, &QAbstractItemModel::modelReset);

        TTreeNode* a = nodes.AddChild(nullptr, QStringLiteral("A"));
        TTreeNode* b = nodes.AddChild(nullptr, QStringLiteral("B"));
        TTreeNode* c = nodes.AddChild(nullptr, QStringLiteral("C"));
        TTreeNode* a1 = nodes.AddChild(a, QStringLiteral("a1"));
        TTreeNode* a2 = nodes.AddChild(a, QStringLiteral("a2"));
        TTreeNode* a0 = nodes.Insert(a1, QStringLiteral("a0"));
        TTreeNode* a2x = nodes.AddChild(a2, QStringLiteral("a2x"));
        TTreeNode* a2y = nodes.AddChild(a2, QStringLiteral("a2y"));
        TTreeNode* z = nodes.Insert(a, QStringLiteral("Z")); // before the first root
        TTreeNode* d = nodes.Insert(nullptr, QStringLiteral("D"));
        QCOMPARE(texts(nullptr, nodes), (QStringList{"Z", "A", "B", "C", "D"}));
        QCOMPARE(texts(a, nodes), (QStringList{"a0", "a1", "a2"}));
        checkTree(nodes);
        QCOMPARE(a2y->Level(), 2);
        QCOMPARE(a2y->AbsoluteIndex(), 6);
        QCOMPARE(a2y->GetNext(), b);     // climbs out of two levels
        QCOMPARE(d->GetNext(), nullptr); // the last node
        QVERIFY(a2x->IsUnder(a) && !a->IsUnder(a2x) && !b->IsUnder(a));

        // Persistent indexes must follow their nodes through moves and reorders.
        const QPersistentModelIndex pA2y(nodes.IndexOf(a2y)), pC(nodes.IndexOf(c)),
            pA0(nodes.IndexOf(a0));

        nodes.MoveTo(a0, a, 3); // down among its siblings (to the end)
        QCOMPARE(texts(a, nodes), (QStringList{"a1", "a2", "a0"}));
        nodes.MoveTo(a0, a, 0); // back up
        QCOMPARE(texts(a, nodes), (QStringList{"a0", "a1", "a2"}));
        nodes.MoveTo(a2, c, 0); // to another parent, with its subtree
        QCOMPARE(texts(c, nodes), QStringList{"a2"});
        QCOMPARE(a2y->Level(), 2);
        QCOMPARE(a2y->Parent(), a2);
        nodes.MoveTo(a2, nullptr, 1); // to the roots
        QCOMPARE(texts(nullptr, nodes), (QStringList{"Z", "a2", "A", "B", "C", "D"}));
        QCOMPARE(a2->Parent(), nullptr);
        QCOMPARE(a2y->Level(), 1);
        nodes.MoveTo(z, nullptr, 99); // a row past the end means last
        QCOMPARE(texts(nullptr, nodes), (QStringList{"a2", "A", "B", "C", "D", "Z"}));
        checkTree(nodes);
        QCOMPARE(moved.count(), 5);

        // Moves that change nothing or would cut a subtree off the tree are ignored.
        nodes.MoveTo(a, a1, 0); // into its own subtree
        nodes.MoveTo(a, a, 0);  // into itself
        nodes.MoveTo(a1, a, a1->Index());
        nodes.MoveTo(a1, a, a1->Index() + 1);
        QCOMPARE(moved.count(), 5);
        QCOMPARE(a1->Parent(), a);
        checkTree(nodes);

        QCOMPARE(TTreeNodes::NodeOf(pA2y), a2y);
        QCOMPARE(pA2y.row(), a2y->Index());
        QCOMPARE(pA2y.parent(), QModelIndex(nodes.IndexOf(a2)));
        QCOMPARE(TTreeNodes::NodeOf(pA0), a0);

        nodes.Reorder(nullptr, {d, c, b, a, a2, z});
        QCOMPARE(texts(nullptr, nodes), (QStringList{"D", "C", "B", "A", "a2", "Z"}));
        nodes.Reorder(a, {a1, a0});
        QCOMPARE(texts(a, nodes), (QStringList{"a1", "a0"}));
        QCOMPARE(layout.count(), 2);
        nodes.Reorder(a, {a1}); // not every child: refused
        QCOMPARE(layout.count(), 2);
        QCOMPARE(texts(a, nodes), (QStringList{"a1", "a0"}));
        checkTree(nodes);
        QCOMPARE(pC.row(), 1);
        QCOMPARE(TTreeNodes::NodeOf(pC), c);
        QCOMPARE(pA0.row(), 1);
        QCOMPARE(TTreeNodes::NodeOf(pA0), a0);

        // Text, image and in-place edit.
        QSignalSpy changed(&nodes, &QAbstractItemModel::dataChanged);
        QSignalSpy renamed(&nodes, &TTreeNodes::nodeRenamed);
        nodes.SetText(b, QStringLiteral("B2"));
        nodes.SetImage(b, 5);
        QCOMPARE(b->ImageIndex(), 5);
        QCOMPARE(b->SelectedIndex(), 5);
        QVERIFY(nodes.setData(nodes.IndexOf(c), QStringLiteral("C2"), Qt::EditRole));
        QCOMPARE(c->Text(), QStringLiteral("C2"));
        QCOMPARE(nodes.data(nodes.IndexOf(c), Qt::DisplayRole).toString(), QStringLiteral("C2"));
        QCOMPARE(changed.count(), 3);
        QCOMPARE(renamed.count(), 2);

        // Deleting a subtree takes its nodes out of the count and its indexes with it.
        QSignalSpy deleting(&nodes, &TTreeNodes::nodeDeleting);
        const int before = nodes.Count();
        nodes.Delete(a2);
        QCOMPARE(deleting.count(), 1);
        QCOMPARE(nodes.Count(), before - 3);
        QVERIFY(!pA2y.isValid());
        checkTree(nodes);

        // Bulk changes: one reset at the outermost end, nothing in between.
        QSignalSpy suspended(&nodes, &TTreeNodes::updatesSuspended);
        const int resetsBefore = int(resets.count());
        nodes.BeginUpdate();
        nodes.BeginUpdate();
        QVERIFY(nodes.Updating());
        TTreeNode* e = nodes.AddChild(b, QStringLiteral("e"));
        nodes.AddChild(e, QStringLiteral("e1"));
        nodes.Insert(e, QStringLiteral("e0"));
        nodes.MoveTo(d, b, 0);
        nodes.SetText(e, QStringLiteral("E"));
        nodes.Delete(z);
        nodes.EndUpdate();
        QVERIFY(nodes.Updating());
        QCOMPARE(resets.count(), resetsBefore);
        nodes.EndUpdate();
        QVERIFY(!nodes.Updating());
        QCOMPARE(resets.count(), resetsBefore + 1);
        QCOMPARE(suspended.count(), 2);
        nodes.EndUpdate(); // unbalanced: harmless
        QCOMPARE(resets.count(), resetsBefore + 1);
        QCOMPARE(texts(b, nodes), (QStringList{"D", "e0", "E"}));
        checkTree(nodes);

        nodes.Clear();
        QCOMPARE(nodes.Count(), 0);
        QCOMPARE(nodes.GetFirstNode(), nullptr);
        checkTree(nodes);
    }

    // New categories open a rename editor at once, and users rename entries in
    // place: the tree view must be allowed to edit a node's text.
    void nodesCanBeRenamedInPlace()
    {
        TTreeNodes nodes;
        nodes.AddChild(nullptr, QStringLiteral("First"));
        TTreeNode* b = nodes.AddChild(nullptr, QStringLiteral("New category"));
        QTreeView view;
        view.setModel(&nodes);
        view.setEditTriggers(QAbstractItemView::NoEditTriggers); // as the main window sets it
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QModelIndex index = nodes.IndexOf(b);
        view.setCurrentIndex(index);
        view.edit(index);
        QVERIFY(nodes.flags(index).testFlag(Qt::ItemIsEditable));
        auto* editor = view.viewport()->findChild<QLineEdit*>();
        QVERIFY(editor && editor->isVisible());
        editor->setText(QStringLiteral("Letters"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(b->Text(),
                     QStringLiteral("Letters")); // the editor commits through a queued call
    }

    void modelServesIconsOfTheSmallList()
    {
        Env env;
        TTreeNode* cat = env.cat.AddCategoryNode(nullptr, QStringLiteral("Cat"));
        const QIcon icon =
            qvariant_cast<QIcon>(env.nodes().data(env.nodes().IndexOf(cat), Qt::DecorationRole));
        QVERIFY(!icon.isNull());
        QCOMPARE(icon.pixmap(16, 16).toImage(),
                 env.cat.Images().Small.Icon(imgCategory).pixmap(16, 16).toImage());
    }

    void imageListsStartWithSevenDistinctImages()
    {
        Env env;
        TImageLists& images = env.cat.Images();
        QCOMPARE(images.Small.Count(), int(FixedImageCount));
        QCOMPARE(images.Large.Count(), int(FixedImageCount));
        QCOMPARE(images.Small.Size(), 16);
        QCOMPARE(images.Large.Size(), 32);
        for (int i = 0; i < FixedImageCount; ++i) {
            QVERIFY(!images.Small.Icon(i).isNull());
            QVERIFY(!images.Large.Icon(i).isNull());
        }
        QVERIFY(images.Small.Icon(-1).isNull());
        QVERIFY(images.Small.Icon(FixedImageCount).isNull());
    }

    // Each existing document or folder adds one icon to each list, at the
    // same index; the small list gets the small icon.
    void imageListsGrowInStep()
    {
        Env env;
        QVERIFY(QDir(env.dir.path()).mkdir(QStringLiteral("folder")));
        touch(env.path(QStringLiteral("a.txt")));
        touch(env.path(QStringLiteral("b.png")));
        TTreeNode* top = env.cat.AddCategoryNode(nullptr, QStringLiteral("Top"));
        std::vector<TTreeNode*> made;
        for (const char* name : {"a.txt", "folder", "b.png", "a.txt", "missing.txt"})
            made.push_back(
                env.cat.AddLinkNode(env.path(QString::fromLatin1(name)), top, QString(), false));
        env.cat.AddLinkNode(QStringLiteral("https://example.org/"), top, QStringLiteral("Site"),
                            true);
        TImageLists& images = env.cat.Images();
        QCOMPARE(images.Small.Count(), FixedImageCount + 4);
        QCOMPARE(images.Large.Count(), images.Small.Count());
        QCOMPARE(made[4]->ImageIndex(), int(imgMissing));
        for (int i = 0; i < 4; ++i) {
            const int index = made[size_t(i)]->ImageIndex();
            QCOMPARE(index, FixedImageCount + i);
            const QString path = made[size_t(i)]->Data()->FullName;
            QCOMPARE(images.Small.Icon(index).pixmap(16, 16).toImage(),
                     MyFileUtils::GetShellIcon(path, false).pixmap(16, 16).toImage());
            QCOMPARE(images.Large.Icon(index).pixmap(32, 32).toImage(),
                     MyFileUtils::GetShellIcon(path, true).pixmap(32, 32).toImage());
        }
    }

    void shellIconOfSymlinkCarriesEmblem()
    {
        Env env;
        touch(env.path(QStringLiteral("target.txt")));
        QVERIFY(QFile::link(env.path(QStringLiteral("target.txt")),
                            env.path(QStringLiteral("link.txt"))));
        const int plain = env.cat.AddShellIcon(env.path(QStringLiteral("target.txt")));
        const int link = env.cat.AddShellIcon(env.path(QStringLiteral("link.txt")));
        QVERIFY(plain >= FixedImageCount && link == plain + 1);
        const TImageLists& images = env.cat.Images();
        QVERIFY(images.Small.Icon(plain).pixmap(16, 16).toImage() !=
                images.Small.Icon(link).pixmap(16, 16).toImage());
        QVERIFY(images.Large.Icon(plain).pixmap(32, 32).toImage() !=
                images.Large.Icon(link).pixmap(32, 32).toImage());
        QCOMPARE(env.cat.AddShellIcon(env.path(QStringLiteral("nothing"))), int(imgMissing));
        QCOMPARE(env.cat.AddShellIcon(QString()), int(imgMissing));
        QCOMPARE(images.Small.Count(), FixedImageCount + 2);
    }

    void addLinkNodeMakesEntriesFromPaths_data()
    {
        QTest::addColumn<QString>(
            "relative"); // under the temporary folder; empty: the folder itself
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("exists");
        QTest::newRow("file") << "Brief ä.odt"
                              << "Brief ä.odt" << int(nkDoc) << true;
        QTest::newRow("folder") << "Sub"
                                << "Sub" << int(nkFolder) << true;
        QTest::newRow("folder with trailing slash") << "Sub/"
                                                    << "Sub" << int(nkFolder) << true;
        QTest::newRow("gone") << "gone.pdf"
                              << "gone.pdf" << int(nkDoc) << false;
        QTest::newRow("gone folder") << "gone/"
                                     << "gone" << int(nkDoc) << false;
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
        TTreeNode* top = env.cat.AddCategoryNode(nullptr, QStringLiteral("Top"));
        const QString path = env.dir.path() + u'/' + relative;
        TTreeNode* node = env.cat.AddLinkNode(path, top, QStringLiteral("ignored title"), false);
        QCOMPARE(node->Text(), text);
        QCOMPARE(int(node->Data()->Kind), kind);
        QCOMPARE(node->Data()->FullName, path);
        QVERIFY(node->Data()->Comments.isEmpty() && node->Data()->sAdditional.isEmpty());
        QCOMPARE(node->ImageIndex(), exists ? int(FixedImageCount) : int(imgMissing));
        QCOMPARE(node->SelectedIndex(), node->ImageIndex());
        QCOMPARE(env.cat.Images().Small.Count(), FixedImageCount + (exists ? 1 : 0));
        QCOMPARE(env.cat.Images().Large.Count(), env.cat.Images().Small.Count());
    }

    void addLinkNodeHyperlinks()
    {
        Env env;
        TTreeNode* top = env.cat.AddCategoryNode(nullptr, QStringLiteral("Top"));
        TTreeNode* web = env.cat.AddLinkNode(QStringLiteral("https://example.org/a/b.html"), top,
                                             QStringLiteral("Title"), true);
        QCOMPARE(web->Text(), QStringLiteral("Title"));
        QCOMPARE(web->Data()->Kind, nkURL);
        QCOMPARE(web->ImageIndex(), int(imgHyperlink));
        // An empty title stays empty here (only the file reader names it by its address).
        TTreeNode* mail =
            env.cat.AddLinkNode(QStringLiteral("mailto:me@example.org"), top, QString(), true);
        QCOMPARE(mail->Text(), QString());
        QCOMPARE(mail->Data()->FullName, QStringLiteral("mailto:me@example.org"));
        // A title taken from a dropped page may span lines; the name must not.
        TTreeNode* multi = env.cat.AddLinkNode(QStringLiteral("https://example.org/"), top,
                                               QStringLiteral("Page\r\ntitle"), true);
        QVERIFY(!MyTextUtils::HasLineBreakOrNul(multi->Text()));
        QCOMPARE(env.cat.Images().Small.Count(), int(FixedImageCount));
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
        TTreeNode* top = env.cat.AddCategoryNode(nullptr, QStringLiteral("Top"));
        QSignalSpy refill(&env.cat, &TCatalogue::listRefillRequested);
        QVERIFY_THROWS_EXCEPTION(ECatalogueError,
                                 env.cat.AddLinkNode(path, top, QStringLiteral("t"), isUrl));
        QCOMPARE(env.nodes().Count(), 1);
        QCOMPARE(top->Count(), 0);
        QCOMPARE(refill.count(), 0);
        QCOMPARE(env.cat.Images().Small.Count(), int(FixedImageCount));
        try {
            env.cat.AddLinkNode(path, top, QStringLiteral("t"), isUrl);
        } catch (const ECatalogueError& e) {
            QVERIFY(!e.Text().isEmpty());
        }
    }

    void addLinkNodePlacement()
    {
        Env env;
        TTreeNodes& nodes = env.nodes();
        TTreeNode* top = env.cat.AddCategoryNode(nullptr, QStringLiteral("Top"));
        TTreeNode* sub = env.cat.AddCategoryNode(top, QStringLiteral("Sub"));
        TTreeNode* doc = env.cat.AddLinkNode(env.path(QStringLiteral("d1")), top, QString(), false);
        TTreeNode* url = env.cat.AddLinkNode(QStringLiteral("https://example.org/"), top,
                                             QStringLiteral("U"), true);
        QCOMPARE(texts(top, nodes), (QStringList{"Sub", "d1", "U"}));

        QSignalSpy expand(&nodes, &TTreeNodes::expandRequested);
        QSignalSpy refill(&env.cat, &TCatalogue::listRefillRequested);
        // Into a category: its last child.
        TTreeNode* inSub =
            env.cat.AddLinkNode(env.path(QStringLiteral("d2")), sub, QString(), false);
        QCOMPARE(inSub->Parent(), sub);
        QCOMPARE(expand.count(), 1);
        QCOMPARE(expand.at(0).at(0).value<TTreeNode*>(), sub);
        QCOMPARE(expand.at(0).at(1).toBool(), false);
        QCOMPARE(refill.count(), 1);
        QCOMPARE(refill.at(0).at(0).value<TTreeNode*>(), sub);
        // Onto a document or a hyperlink: right before it, in the same category.
        TTreeNode* beforeDoc =
            env.cat.AddLinkNode(env.path(QStringLiteral("d3")), doc, QString(), false);
        TTreeNode* beforeUrl = env.cat.AddLinkNode(QStringLiteral("https://example.net/"), url,
                                                   QStringLiteral("V"), true);
        QCOMPARE(texts(top, nodes), (QStringList{"Sub", "d3", "d1", "V", "U"}));
        QCOMPARE(beforeDoc->Parent(), top);
        QCOMPARE(beforeUrl->Parent(), top);
        QCOMPARE(doc->Count(), 0);
        QCOMPARE(url->Count(), 0);
        QCOMPARE(refill.last().at(0).value<TTreeNode*>(), top);
        // A document at the top level: the new entry becomes a root before it.
        TTreeNode* rootDoc =
            env.cat.AddLinkNode(env.path(QStringLiteral("r1")), nullptr, QString(), false);
        QCOMPARE(rootDoc->Parent(), nullptr);
        TTreeNode* beforeRoot =
            env.cat.AddLinkNode(env.path(QStringLiteral("r0")), rootDoc, QString(), false);
        QCOMPARE(texts(nullptr, nodes), (QStringList{"Top", "r0", "r1"}));
        QCOMPARE(beforeRoot->Parent(), nullptr);
        QCOMPARE(refill.last().at(0).value<TTreeNode*>(), nullptr);
        checkTree(nodes);
    }

    void addCategoryNode()
    {
        Env env;
        TTreeNode* a = env.cat.AddCategoryNode(nullptr, QStringLiteral("A"));
        TTreeNode* b = env.cat.AddCategoryNode(nullptr, QStringLiteral("B"));
        TTreeNode* a1 = env.cat.AddCategoryNode(a, QStringLiteral("New category"));
        QCOMPARE(texts(nullptr, env.nodes()), (QStringList{"A", "B"}));
        QCOMPARE(a1->Parent(), a);
        for (TTreeNode* n : {a, b, a1}) {
            QCOMPARE(n->Data()->Kind, nkCategory);
            QVERIFY(n->Data()->FullName.isEmpty() && n->Data()->Comments.isEmpty() &&
                    n->Data()->sAdditional.isEmpty());
            QCOMPARE(n->ImageIndex(), int(imgCategory));
            QCOMPARE(n->SelectedIndex(), int(imgCategory));
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
        TTreeNode* top = env.cat.AddCategoryNode(nullptr, QStringLiteral("Mine"));
        env.cat.TopCategory = top;
        env.cat.CreateMakerCategory();
        TTreeNode* maker = env.cat.MakerCategory;
        TTreeNode* target = atLink ? maker->Item(1) : maker;
        TTreeNode* node = env.cat.AddLinkNode(path, target, QStringLiteral("T"), isUrl);
        if (staysInside) {
            QCOMPARE(node->Parent(), maker);
            QCOMPARE(maker->Count(), 4);
        } else {
            QCOMPARE(node->Parent(), top);
            QCOMPARE(node->Index(), top->Count() - 1);
            QCOMPARE(maker->Count(), 3);
        }
    }

    void builtInCategoryRedirectsCategories()
    {
        Env env;
        TTreeNode* top = env.cat.AddCategoryNode(nullptr, QStringLiteral("Mine"));
        env.cat.TopCategory = top;
        env.cat.CreateMakerCategory();
        TTreeNode* maker = env.cat.MakerCategory;
        QCOMPARE(env.cat.AddCategoryNode(maker, QStringLiteral("x"))->Parent(), top);
        QCOMPARE(env.cat.AddCategoryNode(maker->Item(0), QStringLiteral("y"))->Parent(), top);
        QCOMPARE(maker->Count(), 3);
        // With no main category (a catalogue loaded from an empty file) the
        // redirected entry must still land somewhere outside the built-in one.
        env.cat.TopCategory = nullptr;
        TTreeNode* orphan =
            env.cat.AddLinkNode(QStringLiteral("/tmp/o.txt"), maker->Item(2), QString(), false);
        QVERIFY(!orphan->IsUnder(maker));
        QVERIFY(!env.cat.AddCategoryNode(maker, QStringLiteral("z"))->IsUnder(maker));
        QCOMPARE(maker->Count(), 3);
    }

    void makerCategoryComesFirstWithItsLinks()
    {
        Env env;
        // Alone in the tree it stays where it is.
        env.cat.CreateMakerCategory();
        QCOMPARE(env.nodes().RootCount(), 1);
        QCOMPARE(env.nodes().GetFirstNode(), env.cat.MakerCategory);
        env.nodes().Delete(env.cat.MakerCategory);
        QCOMPARE(env.cat.MakerCategory, nullptr);

        env.cat.AddCategoryNode(nullptr, QStringLiteral("A"));
        env.cat.AddCategoryNode(nullptr, QStringLiteral("B"));
        env.cat.CreateMakerCategory();
        TTreeNode* maker = env.cat.MakerCategory;
        QCOMPARE(texts(nullptr, env.nodes()), (QStringList{"Velmarch", "A", "B"}));
        QCOMPARE(maker->AbsoluteIndex(), 0);
        QCOMPARE(maker->Data()->Kind, nkCategory);
        QCOMPARE(texts(maker, env.nodes()),
                 (QStringList{"Velmarch at the Web", "Quillmere at the Web", "FAQ at the Web"}));
        QSet<QString> addresses;
        for (int i = 0; i < 3; ++i) {
            const TTreeNode* link = maker->Item(i);
            QCOMPARE(link->Data()->Kind, nkURL);
            QCOMPARE(link->ImageIndex(), int(imgHyperlink));
            QVERIFY(link->Data()->FullName.contains(QStringView(MakerWebDomain)));
            addresses.insert(link->Data()->FullName);
        }
        QCOMPARE(addresses.size(), 3);
        checkTree(env.nodes());
    }

    void deletingForgetsSpecialNodes()
    {
        Env env;
        TTreeNode* holder = env.cat.AddCategoryNode(nullptr, QStringLiteral("Holder"));
        TTreeNode* top = env.cat.AddCategoryNode(holder, QStringLiteral("Top"));
        env.cat.TopCategory = top;
        env.cat.CreateMakerCategory();
        // Both dragged below the holder: deleting the holder takes both.
        env.nodes().MoveTo(env.cat.MakerCategory, holder, 0);
        env.nodes().AddChild(top, QStringLiteral("inside Top"));
        env.nodes().Delete(top->Item(0)); // a node below Top: Top stays
        QCOMPARE(env.cat.TopCategory, top);
        QVERIFY(env.cat.MakerCategory != nullptr);
        env.nodes().Delete(holder);
        QCOMPARE(env.cat.MakerCategory, nullptr);
        QCOMPARE(env.cat.TopCategory, nullptr);

        env.cat.TopCategory = env.cat.AddCategoryNode(nullptr, QStringLiteral("T"));
        env.nodes().Delete(env.cat.TopCategory);
        QCOMPARE(env.cat.TopCategory, nullptr);
        env.cat.TopCategory = env.cat.AddCategoryNode(nullptr, QStringLiteral("T"));
        env.cat.CreateMakerCategory();
        env.nodes().Delete(env.cat.MakerCategory->Item(0)); // a link: the category stays known
        QVERIFY(env.cat.MakerCategory != nullptr);
        env.nodes().Clear();
        QCOMPARE(env.cat.MakerCategory, nullptr);
        QCOMPARE(env.cat.TopCategory, nullptr);
    }

    void fillNodes()
    {
        Env env;
        touch(env.path(QStringLiteral("f.txt")));
        QVERIFY(QDir(env.dir.path()).mkdir(QStringLiteral("dir")));
        TTreeNodes& nodes = env.nodes();
        TTreeNode* n = nodes.AddChild(nullptr, QStringLiteral("old"));

        env.cat.FillCategoryNode(n, QStringLiteral("Cat"), QStringLiteral("c"),
                                 QStringLiteral("a"));
        QCOMPARE(n->Text(), QStringLiteral("Cat"));
        QCOMPARE(n->Data()->Kind, nkCategory);
        QCOMPARE(n->Data()->Comments, QStringLiteral("c"));
        QCOMPARE(n->Data()->sAdditional, QStringLiteral("a"));
        QCOMPARE(n->ImageIndex(), int(imgCategory));

        // The file system decides document or folder; an empty name keeps the text.
        env.cat.FillDocNode(n, QString(), env.path(QStringLiteral("dir")), QStringLiteral("c2"),
                            QString(), false);
        QCOMPARE(n->Text(), QStringLiteral("Cat"));
        QCOMPARE(n->Data()->Kind, nkFolder);
        QVERIFY(n->Data()->FullName.endsWith(QLatin1String("/dir")));
        QCOMPARE(n->Data()->Comments, QStringLiteral("c2"));
        QCOMPARE(n->Data()->sAdditional, QString());
        QCOMPARE(n->ImageIndex(), int(FixedImageCount));
        env.cat.FillDocNode(n, QStringLiteral("F"), env.path(QStringLiteral("f.txt")), QString(),
                            QString(), true);
        QCOMPARE(n->Text(), QStringLiteral("F"));
        QCOMPARE(n->Data()->Kind, nkDoc);
        QCOMPARE(n->ImageIndex(), int(imgMissing)); // marked missing although it exists
        QCOMPARE(env.cat.Images().Small.Count(), FixedImageCount + 1);

        env.cat.FillUrlNode(n, QString(), QStringLiteral("https://example.org/"),
                            QStringLiteral("c3"), QStringLiteral("a3"));
        QCOMPARE(n->Text(), QStringLiteral("https://example.org/"));
        QCOMPARE(n->Data()->Kind, nkURL);
        QCOMPARE(n->Data()->Comments, QStringLiteral("c3"));
        QCOMPARE(n->Data()->sAdditional, QStringLiteral("a3"));
        QCOMPARE(n->ImageIndex(), int(imgHyperlink));
        env.cat.FillUrlNode(n, QStringLiteral("Named"), QStringLiteral("https://example.org/"),
                            QString(), QString());
        QCOMPARE(n->Text(), QStringLiteral("Named"));
    }

    void refreshNodeIcon()
    {
        Env env;
        const QString file = env.path(QStringLiteral("f.txt"));
        touch(file);
        TTreeNode* top = env.cat.AddCategoryNode(nullptr, QStringLiteral("Top"));
        TTreeNode* doc = env.cat.AddLinkNode(file, top, QString(), false);
        const int shell = doc->ImageIndex();
        QVERIFY(shell >= FixedImageCount);
        QSignalSpy refill(&env.cat, &TCatalogue::listRefillRequested);

        QVERIFY(env.cat.RefreshNodeIcon(doc, true)); // still there: nothing changes
        QCOMPARE(doc->ImageIndex(), shell);
        QCOMPARE(refill.count(), 0);

        QVERIFY(QFile::remove(file));
        QVERIFY(!env.cat.RefreshNodeIcon(doc, false));
        QCOMPARE(doc->ImageIndex(), int(imgMissing));
        QCOMPARE(doc->SelectedIndex(), int(imgMissing));
        QCOMPARE(refill.count(), 1);
        QCOMPARE(refill.at(0).at(0).value<TTreeNode*>(), top);
        QVERIFY(!env.cat.RefreshNodeIcon(doc, true)); // still gone
        QCOMPARE(doc->ImageIndex(), int(imgMissing));

        touch(file);
        QVERIFY(env.cat.RefreshNodeIcon(doc, true));
        QCOMPARE(doc->ImageIndex(), shell + 1); // a fresh icon in both lists
        QCOMPARE(env.cat.Images().Large.Count(), shell + 2);
        QCOMPARE(env.cat.Images().Small.Count(), shell + 2);
    }
};

QTEST_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
