// The sort of a long list, worked out on another thread: the order it
// applies is the collator's for the rows as they are when it lands, whatever
// changed meanwhile; another listing drops it; one undo step takes it back.
#include "catalogue/Catalogue.h"
#include "catalogue/EditHistory.h"
#include "catalogue/ListModel.h"

#include <QSignalSpy>
#include <QThreadPool>
#include <QtTest>

namespace
{

constexpr int Rows = ListModel::AsyncSortRows + 321;

QStringList childTexts(const TreeNode* parent)
{
    QStringList out;
    for (int i = 0; i < parent->count(); ++i)
        out << parent->item(i)->text();
    return out;
}

QStringList listedTexts(const ListModel& model)
{
    QStringList out;
    for (int r = 0; r < model.count(); ++r)
        out << model.node(r)->text();
    return out;
}

// True when Texts are in the model's order (descending when asked).
bool inOrder(const ListModel& model, const QStringList& texts, bool descending = false)
{
    for (qsizetype i = 0; i + 1 < texts.size(); ++i) {
        const int c = model.compare(texts[i], texts[i + 1]);
        if (descending ? c < 0 : c > 0)
            return false;
    }
    return true;
}

} // namespace

class TestListSort : public QObject
{
    Q_OBJECT
    std::unique_ptr<Catalogue> m_cat;
    std::unique_ptr<ListModel> m_model;
    TreeNode* m_big = nullptr;
    TreeNode* m_other = nullptr;

    NodeTree& nodes() { return m_cat->nodes(); }

    // Sorts by name and waits for the order to land.
    void sortAndWait(int param)
    {
        QSignalSpy applied(m_model.get(), &ListModel::sortApplied);
        m_model->sortBy(param);
        QVERIFY(m_model->sorting());
        QVERIFY(applied.wait(30000));
        QCOMPARE(applied.count(), 1);
        QVERIFY(!m_model->sorting());
    }

private Q_SLOTS:
    void init()
    {
        m_cat = std::make_unique<Catalogue>();
        m_cat->setFileTypeIcons(false);
        m_big = m_cat->addCategoryNode(nullptr, QStringLiteral("Big"));
        m_other = m_cat->addCategoryNode(nullptr, QStringLiteral("Other"));
        nodes().beginUpdate();
        // Mixed case, accents and numbers, in no order.
        const QString stems[] = {"report", "Résumé", "alpha", "Zeta", "émile", "Budget"};
        for (int i = 0; i < Rows; ++i)
            nodes().addChild(m_big, stems[(i * 7) % 6] + QString::number((i * 7919) % Rows));
        for (int i = 0; i < Rows; ++i)
            nodes().addChild(m_other, QStringLiteral("o%1").arg((i * 31) % Rows));
        nodes().endUpdate();
        m_model = std::make_unique<ListModel>(*m_cat);
        m_model->fillChildren(m_big);
    }
    void cleanup()
    {
        m_model.reset();
        m_cat.reset();
    }

    void longCategoryTakesTheOrderAsOneStep()
    {
        const QStringList before = childTexts(m_big);
        sortAndWait(-(ListModel::colName + 1));
        const QStringList sorted = childTexts(m_big);
        QVERIFY(inOrder(*m_model, sorted, true));
        QCOMPARE(listedTexts(*m_model), sorted);
        QCOMPARE(m_cat->history().stack().count(), 1);
        m_cat->history().stack().undo();
        QCOMPARE(childTexts(m_big), before);
        // Sorted again, nothing changes: no second step.
        m_cat->history().stack().redo();
        sortAndWait(-(ListModel::colName + 1));
        QCOMPARE(m_cat->history().stack().count(), 1);
    }

    void changesMeanwhileAreSortedToo()
    {
        QSignalSpy applied(m_model.get(), &ListModel::sortApplied);
        m_model->sortBy(ListModel::colName + 1);
        // A rename, a removal and a new row while the order is worked out.
        nodes().setText(m_big->item(5), QStringLiteral("AAAA first"));
        nodes().deleteNode(m_big->item(9));
        nodes().addChild(m_big, QStringLiteral("zzzz last"));
        QVERIFY(applied.wait(30000));
        QCOMPARE(applied.count(), 1);
        const QStringList sorted = childTexts(m_big);
        QCOMPARE(sorted.size(), Rows);
        QVERIFY(inOrder(*m_model, sorted));
        QCOMPARE(sorted.first(), QStringLiteral("AAAA first"));
        QVERIFY(sorted.contains(QStringLiteral("zzzz last")));
        QCOMPARE(listedTexts(*m_model), sorted);
    }

    // The sort starts again after a change of a listed record's text (the
    // sorted column), not only of a name.
    void recordChangedMeanwhileIsSortedToo()
    {
        for (int i = 0; i < Rows; ++i) {
            auto info = std::make_unique<NodeInfo>();
            info->kind = NodeKind::Doc;
            info->fullName = QStringLiteral("/m/%1").arg(i);
            nodes().setNodeData(m_big->item(i), std::move(info));
        }
        QSignalSpy applied(m_model.get(), &ListModel::sortApplied);
        m_model->sortBy(-(ListModel::colLocation + 1));
        TreeNode* edited = m_big->item(7);
        nodes().editRecord(edited, [](NodeInfo& info) { info.fullName = QStringLiteral("/z"); });
        QVERIFY(applied.wait(30000));
        QCOMPARE(applied.count(), 1);
        QCOMPARE(m_big->item(0), edited);
        QCOMPARE(m_model->node(0), edited);
        for (int i = 0; i + 1 < Rows; ++i)
            QVERIFY(m_model->compare(m_big->item(i)->data()->fullName,
                                     m_big->item(i + 1)->data()->fullName) >= 0);
    }

    void anotherListingDropsTheSort()
    {
        const QStringList big = childTexts(m_big);
        m_model->sortBy(ListModel::colName + 1);
        m_model->fillChildren(m_other);
        QVERIFY(!m_model->sorting());
        // The next sort lands, and only on what is listed now.
        sortAndWait(ListModel::colName + 1);
        QVERIFY(inOrder(*m_model, childTexts(m_other)));
        QCOMPARE(childTexts(m_big), big);
        // A model that goes while its sort runs leaves the tree alone.
        m_model->fillChildren(m_big);
        m_model->sortBy(ListModel::colName + 1);
        m_model.reset();
        QVERIFY(QThreadPool::globalInstance()->waitForDone(30000));
        QCoreApplication::processEvents(); // what the worker's end posted
        QCOMPARE(childTexts(m_big), big);
    }

    // An order worked out while a step is open (a command's question) would
    // join that step: it lands once the step is through, as a step of its own.
    void sortWaitsForAnOpenStep()
    {
        QSignalSpy applied(m_model.get(), &ListModel::sortApplied);
        TreeNode* elsewhere = m_other->item(0);
        const QString name = elsewhere->text();
        const QStringList unsorted = childTexts(m_big);
        {
            const EditHistory::Step step(m_cat->history(), QStringLiteral("Rename"));
            m_model->sortBy(ListModel::colName + 1);
            QVERIFY(QThreadPool::globalInstance()->waitForDone(30000));
            QCoreApplication::processEvents(); // the worker's end is heard
            QCOMPARE(applied.count(), 0);
            nodes().setText(elsewhere, QStringLiteral("Renamed"));
        }
        QVERIFY(applied.count() == 1 || applied.wait(30000));
        QVERIFY(inOrder(*m_model, childTexts(m_big)));
        QCOMPARE(m_cat->history().stack().count(), 2);
        m_cat->history().stack().undo();
        QCOMPARE(childTexts(m_big), unsorted);
        QCOMPARE(elsewhere->text(), QStringLiteral("Renamed"));
        m_cat->history().stack().undo();
        QCOMPARE(elsewhere->text(), name);
    }

    void foundRowsAreSortedInTheListAlone()
    {
        std::vector<TreeNode*> found;
        for (int i = 0; i < m_big->count(); i += 1)
            found.push_back(m_big->item(i));
        const QStringList tree = childTexts(m_big);
        m_model->fillNodes(found);
        sortAndWait(ListModel::colName + 1);
        QVERIFY(inOrder(*m_model, listedTexts(*m_model)));
        QCOMPARE(childTexts(m_big), tree);
        QCOMPARE(m_cat->history().stack().count(), 0);
        // A found row removed meanwhile takes its row along; the rest sort.
        QSignalSpy applied(m_model.get(), &ListModel::sortApplied);
        m_model->sortBy(-(ListModel::colName + 1));
        nodes().deleteNode(m_big->item(0));
        QVERIFY(applied.wait(30000));
        QCOMPARE(m_model->count(), Rows - 1);
        QVERIFY(inOrder(*m_model, listedTexts(*m_model), true));
    }

    void shortListsSortAtOnce()
    {
        TreeNode* small = m_cat->addCategoryNode(nullptr, QStringLiteral("Small"));
        for (const char* t : {"b", "C", "a"})
            nodes().addChild(small, QString::fromLatin1(t));
        m_model->fillChildren(small);
        QSignalSpy applied(m_model.get(), &ListModel::sortApplied);
        m_model->sortBy(ListModel::colName + 1);
        QCOMPARE(applied.count(), 1);
        QCOMPARE(childTexts(small), QStringList({"a", "b", "C"}));
    }
};

QTEST_MAIN(TestListSort)
#include "tst_listsort.moc"
