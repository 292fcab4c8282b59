// The instant filter's core: keys without case and accents, words, and the
// match over the whole tree kept in step with its changes while typing.
#include "catalogue/CatalogueFilter.h"
#include "catalogue/FoldedIndex.h"

#include <QtTest>

namespace
{

TreeNode* add(NodeTree& nodes, TreeNode* parent, const QString& name, NodeKind kind,
              const QString& path = {}, const QString& comment = {}, const QString& additional = {})
{
    TreeNode* n = nodes.addChild(parent, name);
    auto info = std::make_unique<NodeInfo>();
    info->kind = kind;
    info->fullName = path;
    info->comments = comment;
    info->sAdditional = additional;
    nodes.setNodeData(n, std::move(info));
    return n;
}

QStringList texts(const std::vector<TreeNode*>& found)
{
    QStringList out;
    for (const TreeNode* n : found)
        out << n->text();
    return out;
}

} // namespace

class TestCatalogueFilter : public QObject
{
    Q_OBJECT

    NodeTree nodes;
    TreeNode *work, *annual, *old, *card, *reports, *notes;

private Q_SLOTS:
    void init()
    {
        nodes.clear();
        work = add(nodes, nullptr, "Work", NodeKind::Category, {}, "office things");
        annual =
            add(nodes, work, "Annual Report", NodeKind::Doc, "/home/ann/annual.pdf", "", "Done");
        old = add(nodes, work, "Old", NodeKind::Category);
        card = add(nodes, old, "report card", NodeKind::Doc, "/home/ann/card.odt", "from school");
        reports = add(nodes, nullptr, "Reports", NodeKind::Category);
        notes = add(nodes, nullptr, "Notes", NodeKind::Url, "https://example.org/notes", "Résumé",
                    "Open");
    }

    void keysAndWords_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("words");
        QTest::newRow("case and accents") << "Résumé ÅNGSTRÖM" << QStringList{"resume", "angstrom"};
        QTest::newRow("combining marks") << u"re\u0301sume\u0301"_qs << QStringList{"resume"};
        QTest::newRow("signs") << u"\u212Aelvin \u212B"_qs << QStringList{"kelvin", "a"};
        QTest::newRow("capital sharp s") << u"STRA\u1E9EE"_qs << QStringList{"strasse"};
        QTest::newRow("letters spelled out")
            << u"\u00C6r\u00F8sk\u00F8bing Stra\u00DFe \u0152uvre \u0110akovo \u0141\u00F3d\u017A "
               u"\u00DE\u00F3rr"_qs
            << QStringList{"aeroskobing", "strasse", "oeuvre", "dakovo", "lodz", "thorr"};
        QTest::newRow("compatibility forms")
            << u"\uFF52\uFF45\uFF50\uFF4F\uFF52\uFF54 \uFB01le \u2460"_qs
            << QStringList{"report", "file", "1"};
        // Marks of direction, soft hyphens, zero-width spaces and joiners.
        QTest::newRow("format characters go")
            << u"\u200F\u05E9\u05DC\u05D5\u05DD re\u00ADport \u200Breport\uFEFF \u2060"_qs
            << QStringList{u"\u05E9\u05DC\u05D5\u05DD"_qs, "report", "report"};
        // The first and the last syllable too: no syllable becomes its first letter.
        QTest::newRow("hangul stays whole") << u"\uD55C\uAD6D \uAC00\uD7A3"_qs
                                            << QStringList{u"\uD55C\uAD6D"_qs, u"\uAC00\uD7A3"_qs};
        QTest::newRow("blanks of all kinds")
            << "  Foo\tbar\n baz " << QStringList{"foo", "bar", "baz"};
        QTest::newRow("a lone mark is no word") << u"\u0301 x"_qs << QStringList{"x"};
        QTest::newRow("nothing") << "   " << QStringList{};
    }
    void keysAndWords()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, words);
        QCOMPARE(filterWords(text), words);
    }

    // Every word somewhere in the four fields, never across two of them;
    // categories too, in full order.
    void everyWordInAnyField()
    {
        FoldedIndex index(nodes);
        CatalogueFilter filter(index);
        QCOMPARE(texts(filter.match(u"REPORT")),
                 (QStringList{"Annual Report", "report card", "Reports"}));
        QCOMPARE(texts(filter.match(u"report ann")), (QStringList{"Annual Report", "report card"}));
        QCOMPARE(texts(filter.match(u"card school")), QStringList{"report card"});
        QCOMPARE(texts(filter.match(u"resume open")), QStringList{"Notes"});
        QCOMPARE(texts(filter.match(u"done")), QStringList{"Annual Report"});
        QCOMPARE(texts(filter.match(u"office")), QStringList{"Work"});
        // "Work" ends the name and "office" starts the comment.
        QVERIFY(filter.match(u"workoffice").empty());
        QVERIFY(filter.match(u"   ").empty());
        QVERIFY(filter.match(u"report nowhere").empty());
    }

    // A second word typed narrows by what is new only: every text gives what
    // a filter that saw nothing before gives.
    void typedWordsNarrowAsAFreshScan()
    {
        FoldedIndex index(nodes);
        CatalogueFilter typed(index);
        for (const char16_t* text :
             {u"report", u"report ", u"report a", u"report an", u"report ann", u"report re",
              u"report repx", u"report rep c", u"report rep ca", u"reports", u"reports card"}) {
            CatalogueFilter fresh(index);
            QCOMPARE(texts(typed.match(text)), texts(fresh.match(text)));
        }
        QCOMPARE(texts(typed.match(u"report re")), texts(typed.match(u"report")));
    }

    // Typing narrows the last result; anything else, or a change of the
    // tree in between, scans everything again.
    void typingAndChanges()
    {
        FoldedIndex index(nodes);
        CatalogueFilter filter(index);
        QCOMPARE(filter.match(u"r").size(), size_t(5));
        QCOMPARE(texts(filter.match(u"re")),
                 (QStringList{"Annual Report", "report card", "Reports", "Notes"}));
        QCOMPARE(texts(filter.match(u"rep")),
                 (QStringList{"Annual Report", "report card", "Reports"}));
        QCOMPARE(texts(filter.match(u"re")),
                 (QStringList{"Annual Report", "report card", "Reports", "Notes"}));
        QCOMPARE(texts(filter.match(u"rep")).size(), 3);

        // Renamed and edited nodes that did not match before do now.
        nodes.setText(old, QStringLiteral("Old reps"));
        QCOMPARE(texts(filter.match(u"repo")),
                 (QStringList{"Annual Report", "report card", "Reports"}));
        QCOMPARE(texts(filter.match(u"rep")),
                 (QStringList{"Annual Report", "Old reps", "report card", "Reports"}));
        nodes.editRecord(work, [](NodeInfo& i) { i.comments = QStringLiteral("repairs"); });
        QCOMPARE(texts(filter.match(u"repa")), QStringList{"Work"});
        nodes.setText(annual, QStringLiteral("Annual"));
        QCOMPARE(texts(filter.match(u"repo")), (QStringList{"report card", "Reports"}));

        // Shape: added, removed, moved.
        TreeNode* added = add(nodes, reports, "Report 2026", NodeKind::Doc);
        QCOMPARE(texts(filter.match(u"report")),
                 (QStringList{"report card", "Reports", "Report 2026"}));
        nodes.deleteNode(old);
        QCOMPARE(texts(filter.match(u"report")), (QStringList{"Reports", "Report 2026"}));
        nodes.moveTo(added, nullptr, 0);
        QCOMPARE(texts(filter.match(u"report")), (QStringList{"Report 2026", "Reports"}));

        // Many renames at once: the keys are made again.
        for (int i = 0; i < 40; ++i)
            nodes.setText(notes, QStringLiteral("Notes %1").arg(i));
        QCOMPARE(texts(filter.match(u"notes 39")), QStringList{"Notes 39"});

        // Inside a bulk change nothing kept is trusted.
        nodes.beginUpdate();
        add(nodes, nullptr, "bulk report", NodeKind::Doc);
        QCOMPARE(texts(filter.match(u"bulk")), QStringList{"bulk report"});
        nodes.endUpdate();
        QCOMPARE(texts(filter.match(u"bulk rep")), QStringList{"bulk report"});
        nodes.clear();
        QVERIFY(filter.match(u"bulk").empty());
    }
};

QTEST_GUILESS_MAIN(TestCatalogueFilter)
#include "tst_cataloguefilter.moc"
