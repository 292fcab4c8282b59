// The options value: switching the list's columns.
#include "catalogue/Options.h"

#include <QtTest>

class TestOptions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A hidden column comes back at its own width, a visible one keeps its
    // width, and hiding one column leaves the others.
    void showingColumns()
    {
        Options o;
        o.columnWidths = {80, 300, 121, 100};
        o.showColumn(4, false);
        QCOMPARE(o.columnWidths, (std::array<int, 4>{80, 300, 121, 0}));
        QVERIFY(!o.columnShown(4));
        o.showColumn(4, true);
        QCOMPARE(o.columnWidth(4), 50);
        o.showColumn(3, false);
        o.showColumn(3, true);
        QCOMPARE(o.columnWidth(3), 190);
        o.showColumn(2, true);
        QCOMPARE(o.columnWidth(2), 300);
        const Options before = o;
        o.showColumn(0, false); // the name column is always shown
        o.showColumn(5, true);
        QCOMPARE(o, before);
    }
};

QTEST_GUILESS_MAIN(TestOptions)
#include "tst_options.moc"
