// The catalogue search: the text matcher, the scan over the full order with
// its position, and the folded copies kept in step with the tree.
#include "catalogue/CatalogueSearch.h"
#include "catalogue/TextFolding.h"

#include <QSignalSpy>
#include <QtTest>
#include <random>

namespace
{

using TextFolding::Marks;

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

} // namespace

class TestCatalogueSearch : public QObject
{
    Q_OBJECT

    NodeTree nodes;
    // Full order: 0 Work, 1 Annual Report, 2 Old, 3 report card, 4 Reports, 5 Notes
    TreeNode *work, *annual, *old, *card, *reports, *notes;

    void fill()
    {
        nodes.clear();
        work = add(nodes, nullptr, "Work", NodeKind::Category, {}, "office things");
        annual =
            add(nodes, work, "Annual Report", NodeKind::Doc, "/home/ann/annual.pdf", "", "Done");
        old = add(nodes, work, "Old", NodeKind::Category);
        card = add(nodes, old, "report card", NodeKind::Doc, "/home/ann/card.odt", "from school");
        reports = add(nodes, nullptr, "Reports", NodeKind::Category);
        notes =
            add(nodes, nullptr, "Notes", NodeKind::Url, "https://example.org/notes", "", "Open");
    }

private Q_SLOTS:
    void init() { fill(); }

    void matcher_data()
    {
        QTest::addColumn<QString>("needle");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("matchCase");
        QTest::addColumn<bool>("found");
        QTest::newRow("inside") << "port"
                                << "Annual Report" << false << true;
        QTest::newRow("other case") << "REPORT"
                                    << "Annual Report" << false << true;
        QTest::newRow("other case, match case") << "REPORT"
                                                << "Annual Report" << true << false;
        QTest::newRow("same case, match case") << "Report"
                                               << "Annual Report" << true << true;
        QTest::newRow("empty text") << "a"
                                    << "" << false << false;
        QTest::newRow("longer than text") << "Reports"
                                          << "Report" << false << false;
        QTest::newRow("whole text") << "annual report"
                                    << "Annual Report" << false << true;
        QTest::newRow("accented") << "ÅNGSTRÖM"
                                  << "über Ångström" << false << true;
        QTest::newRow("capital sharp s") << u"STRA\u1E9EE"_qs << "Straße" << false << true;
        QTest::newRow("kelvin sign") << u"\u212Aelvin"_qs << "kelvin" << false << true;
        QTest::newRow("beyond the BMP") << u"\U00010400"_qs << u"x\U00010428y"_qs << false << true;
        QTest::newRow("beyond the BMP, match case")
            << u"\U00010400"_qs << u"x\U00010428y"_qs << true << false;
        // Invisible characters on either side count for nothing, without
        // "Match case"; with it, everything counts.
        QTest::newRow("soft hyphen") << "report" << u"re\u00ADport"_qs << false << true;
        QTest::newRow("soft hyphen, match case") << "report" << u"re\u00ADport"_qs << true << false;
        QTest::newRow("right-to-left mark") << u"\u200F\u05E9\u05DC\u05D5\u05DD"_qs
                                            << u"\u05E9\u05DC\u05D5\u05DD!"_qs << false << true;
        QTest::newRow("zero-width space") << u"\u200Breport"_qs << "Annual Report" << false << true;
        QTest::newRow("full width")
            << u"\uFF52\uFF45\uFF50\uFF4F\uFF52\uFF54"_qs << "REPORT" << false << true;
        QTest::newRow("letters spelled out")
            << "AEROSKOBING" << u"\u00C6r\u00F8sk\u00F8bing"_qs << false << true;
        QTest::newRow("sharp s spelled out") << "strasse" << u"Stra\u00DFe"_qs << false << true;
        // Accents still count: a letter is not found inside its accented form.
        QTest::newRow("accent missing") << "Entwurfe" << u"Entw\u00FCrfe"_qs << false << false;
        QTest::newRow("letter of an accented one") << "u" << u"\u00FC"_qs << false << false;
        QTest::newRow("composed and decomposed")
            << u"\u00FC"_qs << u"mu\u0308de"_qs << false << true;
        QTest::newRow("hangul letter") << u"\u1112"_qs << u"\uD7A3"_qs << false << false;
        QTest::newRow("near miss") << "abd"
                                   << "xxabcxxabxx" << false << false;
    }
    void matcher()
    {
        QFETCH(QString, needle);
        QFETCH(QString, text);
        QFETCH(bool, matchCase);
        QFETCH(bool, found);
        QCOMPARE(
            TextMatcher(needle, matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive).matches(text),
            found);
    }

    // The scan compares eight places at a time and the rest one by one: a hit
    // is found wherever it starts, a block boundary or the very end included.
    void matcherAtEveryPosition()
    {
        for (const Qt::CaseSensitivity cs : {Qt::CaseSensitive, Qt::CaseInsensitive})
            for (int length = 3; length <= 40; ++length)
                for (int at = 0; at + 3 <= length; ++at) {
                    QString text(length, u'x');
                    text.replace(at, 3, QStringLiteral("abc"));
                    QVERIFY2(TextMatcher(u"abc", cs).matches(text), qPrintable(text));
                    QVERIFY2(TextMatcher(u"ab", cs).matches(text), qPrintable(text));
                    QVERIFY2(!TextMatcher(u"abd", cs).matches(text), qPrintable(text));
                    // Cut one short, the hit at the end is gone.
                    if (at + 3 == length)
                        QVERIFY(!TextMatcher(u"abc", cs).matches(QStringView(text).chopped(1)));
                }
    }

    // Hits come one after another in full order, collapsed categories and
    // categories themselves included; after the last one the step reports
    // the end, and going on from the beginning finds the first hit again.
    void stepsThroughTheTree()
    {
        CatalogueSearch search(nodes);
        QSignalSpy shown(&search, &CatalogueSearch::hitToShow);
        QList<TreeNode*> hits;
        while (search.findNext(u"REPORT") == CatalogueSearch::Step::Found)
            hits << shown.takeLast().at(0).value<TreeNode*>();
        QCOMPARE(hits, (QList<TreeNode*>{annual, card, reports}));
        QCOMPARE(search.findPos(), 5);
        QCOMPARE(search.findNext(u"REPORT"), CatalogueSearch::Step::NotFound);
        QCOMPARE(search.findPos(), 5); // the end leaves the position alone
        search.restart();
        QCOMPARE(search.findNext(u"REPORT"), CatalogueSearch::Step::Found);
        QCOMPARE(shown.takeLast().at(0).value<TreeNode*>(), annual);

        // Nothing to find: nothing is scanned or shown.
        QCOMPARE(search.findNext(u""), CatalogueSearch::Step::NothingToFind);
        QCOMPARE(search.findPos(), 2);
        QVERIFY(shown.isEmpty());

        search.setMatchCase(true);
        search.restart();
        QCOMPARE(search.findNext(u"REPORT"), CatalogueSearch::Step::NotFound);
        QCOMPARE(search.findNext(u"Report"), CatalogueSearch::Step::Found);
        QCOMPARE(search.findPos(), 2);
    }

    void locateNodeSetsFieldAndPosition()
    {
        CatalogueSearch search(nodes);
        QSignalSpy shown(&search, &CatalogueSearch::hitToShow);
        // Quiet: found, but nothing to show.
        SearchHit hit = search.locateNode(u"school", SearchField::comments, 0, true);
        QCOMPARE(hit.node, card);
        QCOMPARE(hit.index, 3);
        QCOMPARE(search.findPos(), 4);
        QCOMPARE(search.field(), SearchField::comments);
        QVERIFY(shown.isEmpty());
        // Switching the field goes on from the current position.
        search.setField(SearchField::additional);
        QCOMPARE(search.findNext(u"o"), CatalogueSearch::Step::Found);
        QCOMPARE(shown.takeFirst().at(0).value<TreeNode*>(), notes);
        // An empty field never matches, whatever the text.
        hit = search.locateNode(u"o", SearchField::additional, 2, true);
        QCOMPARE(hit.node, notes);
        QCOMPARE(search.locateNode(u"/home/ann", SearchField::fullName, 2, true).node, card);
        // Even a failed scan sets the field.
        QVERIFY(!search.locateNode(u"nowhere", SearchField::name, 0, true).found());
        QCOMPARE(search.field(), SearchField::name);
        QVERIFY(!search.locateNode(u"", SearchField::comments, 0, true).found());
        QCOMPARE(search.field(), SearchField::comments);
    }

    // The position is an index: after changes the next step starts at the
    // same index of the changed tree, and past the end finds nothing.
    void positionIsAnIndex()
    {
        CatalogueSearch search(nodes);
        QCOMPARE(search.findNext(u"report"), CatalogueSearch::Step::Found); // Annual Report
        QCOMPARE(search.findPos(), 2);
        nodes.insertNode(annual, QStringLiteral("report draft"));
        // index 2 now holds Annual Report again.
        QVERIFY(search.findNext(u"report") == CatalogueSearch::Step::Found);
        QCOMPARE(search.findPos(), 3);
        nodes.deleteNode(work);
        QCOMPARE(nodes.count(), 2);
        QCOMPARE(search.findNext(u"o"), CatalogueSearch::Step::NotFound);
        search.setFindPos(-3);
        QCOMPARE(search.findNext(u"notes"), CatalogueSearch::Step::Found);
    }

    // The copies the scan reads follow every change made through the node
    // collection: renames, records, adding, removing, moving, reordering and
    // bulk changes; many changes at once as well.
    void copiesFollowTheTree()
    {
        CatalogueSearch search(nodes);
        const auto at = [&](QStringView text, SearchField field) {
            return search.scan(text, Qt::CaseInsensitive, field, 0).index;
        };
        QCOMPARE(at(u"alpha", SearchField::name), -1);
        QCOMPARE(at(u"alpha", SearchField::comments), -1);

        nodes.setText(card, QStringLiteral("Alpha card"));
        QCOMPARE(at(u"alpha", SearchField::name), 3);
        QCOMPARE(at(u"report card", SearchField::name), -1);
        nodes.editRecord(notes, [](NodeInfo& i) { i.comments = QStringLiteral("ALPHA"); });
        QCOMPARE(at(u"alpha", SearchField::comments), 5);
        auto info = std::make_unique<NodeInfo>();
        info->comments = QStringLiteral("alphabet");
        nodes.setNodeData(annual, std::move(info));
        QCOMPARE(at(u"alpha", SearchField::comments), 1);

        nodes.moveTo(card, nullptr, 0);
        QCOMPARE(at(u"alpha", SearchField::name), 0);
        nodes.reorder(nullptr, {work, reports, notes, card});
        QCOMPARE(at(u"alpha", SearchField::name), 5);
        TreeNode* added = nodes.addChild(work, QStringLiteral("alpha two"));
        QCOMPARE(at(u"alpha", SearchField::name), 3);
        nodes.deleteNode(added);
        QCOMPARE(at(u"alpha", SearchField::name), 5);

        // Many renames at once: past the patching the copy is made again.
        for (int round = 0; round < 3; ++round) {
            TreeNode* n = nodes.getFirstNode();
            for (int i = 0; n; n = n->getNext(), ++i)
                nodes.setText(n, QStringLiteral("n%1 r%2").arg(i).arg(round));
            for (int i = 0; i < 40; ++i)
                nodes.setText(work, QStringLiteral("w%1").arg(i));
            QCOMPARE(at(QStringLiteral("n5 r%1").arg(round), SearchField::name), 5);
            QCOMPARE(at(u"w39", SearchField::name), 0);
        }

        // Inside a bulk change the views hear nothing yet; the scan does not
        // rely on what it kept.
        nodes.beginUpdate();
        add(nodes, nullptr, "bulk", NodeKind::Doc);
        QCOMPARE(at(u"bulk", SearchField::name), 6);
        nodes.endUpdate();
        QCOMPARE(at(u"bulk", SearchField::name), 6);
        nodes.clear();
        QCOMPARE(at(u"bulk", SearchField::name), -1);
    }

    // The index mends itself after every kind of change instead of being
    // made again: after random edits its order and keys are those of a new
    // index, and its scans find what a walk of the tree finds.
    void indexFollowsRandomEdits()
    {
        std::mt19937 rng(11);
        const auto pick = [&rng](int n) {
            return std::uniform_int_distribution<int>(0, n - 1)(rng);
        };
        const QStringList words{"alpha", "Beta", "gamma", "Résumé", "STRASSE", "delta", "x"};
        const auto word = [&] { return words[pick(int(words.size()))]; };
        const auto anyNode = [&]() -> TreeNode* {
            return nodes.count() ? nodes.nodeAtAbsoluteIndex(pick(nodes.count())) : nullptr;
        };
        FoldedIndex index(nodes);
        for (int round = 0; round < 300; ++round) {
            const int steps = 1 + pick(4);
            for (int s = 0; s < steps; ++s) {
                TreeNode* n = anyNode();
                switch (pick(9)) {
                case 0:
                case 1:
                    add(nodes, n && pick(2) ? n : nullptr, word() + " " + word(), NodeKind::Doc,
                        "/p/" + word());
                    break;
                case 2:
                    if (n)
                        add(nodes, nullptr, word(), NodeKind::Category)->index(); // at the end
                    if (n)
                        nodes.insertNode(n, word());
                    break;
                case 3:
                    if (n && nodes.count() > 4)
                        nodes.deleteNode(n);
                    break;
                case 4:
                    if (TreeNode* to = anyNode(); n && to)
                        nodes.moveTo(n, pick(3) ? to : nullptr, pick(3));
                    break;
                case 5: {
                    TreeNode* parent = n && n->hasChildren() ? n : nullptr;
                    std::vector<TreeNode*> kids;
                    for (int i = 0; i < (parent ? parent->count() : nodes.rootCount()); ++i)
                        kids.push_back(parent ? parent->item(i) : nodes.rootItem(i));
                    std::shuffle(kids.begin(), kids.end(), rng);
                    nodes.reorder(parent, kids);
                    break;
                }
                case 6:
                    if (n)
                        nodes.setText(n, word() + word());
                    break;
                case 7:
                    if (n)
                        nodes.editRecord(n, [&](NodeInfo& i) { i.comments = word(); });
                    break;
                case 8: {
                    // Scattered siblings at once (gathered, then one run).
                    TreeNode* parent = n ? n->parent() : nullptr;
                    const int count = parent ? parent->count() : nodes.rootCount();
                    std::vector<TreeNode*> doomed;
                    for (int i = pick(2); i < count && nodes.count() > 8; i += 2 + pick(2))
                        doomed.push_back(parent ? parent->item(i) : nodes.rootItem(i));
                    nodes.deleteNodes(doomed);
                    break;
                }
                }
            }
            if (round % 20 == 7) {
                // Many scattered siblings at once: brought together, then
                // removed as one run (with the index mended between or not).
                TreeNode* parent = anyNode();
                for (int i = 0; i < 24; ++i)
                    add(nodes, parent, word(), NodeKind::Doc, "/q/" + word());
                if (pick(2))
                    QVERIFY(index.prepare());
                std::vector<TreeNode*> doomed;
                const int count = parent ? parent->count() : nodes.rootCount();
                for (int i = pick(2); i < count; i += 2)
                    doomed.push_back(parent ? parent->item(i) : nodes.rootItem(i));
                nodes.deleteNodes(doomed);
            }
            if (round % 50 == 49) {
                nodes.beginUpdate();
                add(nodes, nullptr, "bulk " + word(), NodeKind::Doc);
                nodes.endUpdate();
            }
            if (pick(3) == 0)
                continue; // changes pile up before the next look
            QVERIFY(index.prepare());
            QCOMPARE(index.size(), size_t(nodes.count()));
            std::string key;
            int p = 0;
            for (TreeNode* n = nodes.getFirstNode(); n; n = n->getNext(), ++p) {
                QCOMPARE(index.node(size_t(p)), n);
                key.clear();
                FoldedIndex::appendKey(key, n);
                QCOMPARE(index.key(size_t(p)), std::string_view(key));
                for (int f = 0; f < FoldedIndex::FieldCount; ++f)
                    QCOMPARE(FoldedIndex::field(key, f),
                             TextFolding::folded(FoldedIndex::fieldText(n, f), Marks::drop));
            }
            const std::string needle = TextFolding::folded(word(), TextFolding::Marks::drop);
            std::vector<quint64> bits((index.size() + 63) / 64);
            index.markHolding(needle, bits);
            const int field = pick(FoldedIndex::FieldCount);
            const size_t from = size_t(pick(nodes.count() + 1));
            size_t first = FoldedIndex::NotFound;
            for (size_t i = 0; i < index.size(); ++i) {
                const bool holds = index.key(i).find(needle) != std::string_view::npos;
                QCOMPARE(bool(bits[i / 64] >> (i % 64) & 1), holds);
                if (first == FoldedIndex::NotFound && i >= from &&
                    FoldedIndex::field(index.key(i), field).find(needle) != std::string_view::npos)
                    first = i;
            }
            QCOMPARE(index.findFirst(needle, field, from, [](size_t) { return true; }), first);
        }
    }

    // A name that is its location's last part (or that part without its
    // extension) is kept there alone, in any script: each field still reads
    // as the node's own folded text, and a needle is found in a key exactly
    // where it is found in one of the fields.
    void namesKeptInTheirLocation()
    {
        const struct {
            const char16_t *name, *path;
        } cases[] = {
            {u"annual.pdf", u"/home/ann/annual.pdf"},    // the whole last part
            {u"annual", u"/home/ann/annual.pdf"},        // its stem
            {u"Straße.PDF", u"/home/ann/STRASSE.pdf"},   // folded alike
            {u"Résumé", u"/home/ann/resume.tar.gz"},     // a stem ends at the last dot only
            {u"Résumé.tar", u"/home/ann/Résumé.tar.gz"}, // combining marks
            {u"İstanbul", u"/t/i̇stanbul.txt"},           // Turkish dotted capital
            {u"東京の地図", u"/地図/東京の地図.png"},    // CJK
            {u"𝒜 note", u"/x/𝒜 note"},                   // outside the BMP
            {u"dir", u"/home/dir/"},                     // nothing after the slash
            {u"a", u"/home/a"},                          // one letter: kept as it is
            {u"notes", u"notes"},                        // no slash at all
            {u"other", u"/home/ann/annual.pdf"},         // not the location's
            {u".pdf", u"/home/ann/.pdf"},
            {u"ann", u"/home/ann/ann"},
        };
        NodeTree tree;
        for (const auto& c : cases)
            add(tree, nullptr, QString::fromUtf16(c.name), NodeKind::Doc,
                QString::fromUtf16(c.path), u"comment"_qs, u"extra"_qs);
        FoldedIndex index(tree);
        QVERIFY(index.prepare());
        QCOMPARE(index.size(), std::size(cases));
        size_t shorter = 0;
        std::vector<std::string> wholes; // the fields, each kept whole
        for (size_t p = 0; p < index.size(); ++p) {
            const TreeNode* n = index.node(p);
            std::string& whole = wholes.emplace_back();
            for (int f = 0; f < FoldedIndex::FieldCount; ++f) {
                const std::string folded =
                    TextFolding::folded(FoldedIndex::fieldText(n, f), Marks::drop);
                QCOMPARE(FoldedIndex::field(index.key(p), f), folded);
                whole += folded + FoldedIndex::FieldEnd;
            }
            shorter += index.key(p).size() < whole.size();
        }
        // Every piece of any field is found in exactly the keys whose fields
        // hold it.
        for (const std::string& whole : wholes)
            for (size_t at = 0; at < whole.size(); ++at)
                for (size_t len = 1; at + len <= whole.size() && len <= 8; ++len) {
                    const std::string_view needle = std::string_view(whole).substr(at, len);
                    if (needle.find(FoldedIndex::FieldEnd) != std::string_view::npos)
                        continue;
                    std::vector<quint64> bits(1);
                    index.markHolding(needle, bits);
                    for (size_t p = 0; p < wholes.size(); ++p)
                        QVERIFY2(bool(bits[0] >> p & 1) ==
                                     (wholes[p].find(needle) != std::string::npos),
                                 std::string(needle).c_str());
                }
        QCOMPARE(shorter, size_t(10)); // all but a stem short of one dot, a name
        // ending in a slash, one letter and a name not the location's
        // The search by name finds a name kept in the location, and a hit in
        // the location alone is no hit by name.
        const auto byName = [&](const char* needle) {
            return index.findFirst(needle, int(FoldedIndex::Field::Name), 0,
                                   [](size_t) { return true; });
        };
        QCOMPARE(byName("strasse"), size_t(2));
        QCOMPARE(byName("resume.t"), size_t(4));
        QCOMPARE(byName("東京"), size_t(6));
        QCOMPARE(byName("home"), FoldedIndex::NotFound);
        QCOMPARE(byName("istanbul.txt"), FoldedIndex::NotFound);
    }

    // After a reset the keys are made while the event loop is idle, a slice
    // at a time; changes in the middle start it again, and what it ends
    // with is the tree as it is then.
    void indexWarmsUpWhenIdle()
    {
        nodes.beginUpdate();
        for (int i = 0; i < 30000; ++i)
            add(nodes, i % 100 ? work : nullptr, QStringLiteral("entry %1").arg(i), NodeKind::Doc);
        nodes.endUpdate();
        FoldedIndex index(nodes);
        QVERIFY(!index.ready());
        QTRY_VERIFY_WITH_TIMEOUT(index.size() > 0, 60000); // a slice or more made
        nodes.setText(card, QStringLiteral("renamed while warming"));
        nodes.deleteNode(old);
        nodes.insertNode(notes, QStringLiteral("inserted while warming"));
        // Slices share the machine with whatever else runs: time enough.
        QTRY_VERIFY_WITH_TIMEOUT(index.ready(), 60000);
        QVERIFY(index.prepare());
        QCOMPARE(index.size(), size_t(nodes.count()));
        size_t p = 0;
        std::string key;
        for (TreeNode* n = nodes.getFirstNode(); n; n = n->getNext(), ++p) {
            QCOMPARE(index.node(p), n);
            key.clear();
            FoldedIndex::appendKey(key, n);
            QCOMPARE(index.key(p), std::string_view(key));
        }
    }

    // A record written behind the collection's back does not bring a stale
    // hit: every hit in the copy is confirmed against the node itself.
    void staleCopyGivesNoFalseHit()
    {
        CatalogueSearch search(nodes);
        QCOMPARE(search.scan(u"school", Qt::CaseInsensitive, SearchField::comments, 0).node, card);
        card->data()->comments = QStringLiteral("from work");
        QVERIFY(!search.scan(u"school", Qt::CaseInsensitive, SearchField::comments, 0).found());
    }
};

QTEST_GUILESS_MAIN(TestCatalogueSearch)
#include "tst_cataloguesearch.moc"
