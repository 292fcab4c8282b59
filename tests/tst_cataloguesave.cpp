// The save's encoder against the writer it replaced: the same bytes for any
// tree, whole or in pieces, whatever characters the texts hold.
#include "catalogue/AutoSave.h"
#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueSave.h"
#include "utils/TextUtils.h"

#include <QtTest>
#include <limits>
#include <random>

#include "testutil/TestUtil.h"

namespace
{

constexpr qsizetype NoLimit = std::numeric_limits<qsizetype>::max();

// The line as the earlier writer made it: each field through QString::toUtf8,
// a field with a character that would break the line first made one line.
QByteArray referenceLine(const TreeNode* node, int level)
{
    static const NodeInfo none;
    const NodeInfo* info = node->data() ? node->data() : &none;
    const auto field = [](const QString& text) {
        return (TextUtils::hasLineBreakOrNul(text) ? TextUtils::singleLine(text) : text).toUtf8();
    };
    const QChar kind = info->getsKind();
    return field(node->text()) + '\0' + QByteArray::number(level) + '\0' + field(info->fullName) +
           '\0' + field(info->comments) + '\0' +
           char(kind.unicode() < 0x80 ? kind.unicode() : u'0') + '\0' + field(info->sAdditional) +
           "\r\n";
}

// The earlier writer's whole file: every node in full order, the built-in
// category and all below it left out.
QByteArray referenceFile(Catalogue& cat)
{
    QByteArray out;
    for (const TreeNode* n = cat.nodes().getFirstNode(); n;) {
        if (n == cat.makerCategory()) {
            while (n && !n->getNextSibling())
                n = n->parent();
            n = n ? n->getNextSibling() : nullptr;
            continue;
        }
        out += referenceLine(n, n->level());
        n = n->getNext();
    }
    return out;
}

// Text from pieces that take every path of the encoder: printable ASCII in
// runs long and short, controls, two- three- and four-byte characters, lone
// and swapped surrogates, and what must never reach the file.
QString randomText(std::mt19937& rng)
{
    static const char16_t pieces[][4] = {
        u"a",          u"Z",          u"~",      u" ",      u"\t",     u"\x7f",   u"\x01",
        u"\x1f",       u"\u00e9",     u"\u07ff", u"\u0800", u"\u20ac", u"\ufeff", u"\uffff",
        u"\U0001F600", u"\U0010FFFF", u"\xd800", u"\xdbff", u"\xdc00", u"\xdfff", u"\r",
        u"\n",         u"\r\n",       u"\x1a",   u"\0"};
    std::uniform_int_distribution<int> length(0, 40), piece(0, int(std::size(pieces)) - 1),
        run(0, 30), kind(0, 3);
    QString s;
    const int n = length(rng);
    for (int i = 0; i < n; ++i) {
        if (const int k = kind(rng); k == 0) {
            s += QString(run(rng), u'x'); // a run for the eight-at-a-time path
            continue;
        } else if (k == 1 && i % 2) {
            // Letters of one and two bytes mixed, as in most names outside
            // English, now and then a character of three.
            static const char16_t latin[] = u"a\u00fcZ\u00e9 \u0131.\u07ff\u0080\u20ac";
            std::uniform_int_distribution<int> letter(0, int(std::size(latin)) - 2);
            for (int j = run(rng); j > 0; --j)
                s += QChar(latin[letter(rng)]);
            continue;
        }
        const int p = piece(rng);
        // u"\0" is one unit long; the others end at their terminating zero.
        s += p == int(std::size(pieces)) - 1 ? QString(QChar(0)) : QString::fromUtf16(pieces[p]);
    }
    // A surrogate pair split by the end of the text.
    if (kind(rng) == 0)
        s += QChar(0xd83d);
    return s;
}

void buildRandomTree(Catalogue& cat, std::mt19937& rng, int count)
{
    std::uniform_int_distribution<int> pick(0, 9);
    std::vector<TreeNode*> open;
    for (int i = 0; i < count; ++i) {
        const int r = pick(rng);
        TreeNode* parent = open.empty() ? nullptr : open.back();
        TreeNode* node = cat.nodes().addChild(parent, randomText(rng));
        if (r < 2 && open.size() < 8)
            open.push_back(node);
        else if (r == 2 && !open.empty())
            open.pop_back();
        if (r == 3)
            continue; // a node without a record
        auto info = std::make_unique<NodeInfo>();
        info->fullName = randomText(rng);
        info->comments = pick(rng) < 5 ? randomText(rng) : QString();
        info->sAdditional = pick(rng) < 3 ? randomText(rng) : QString();
        info->kind = NodeKind(pick(rng) % 5);
        cat.nodes().setNodeData(node, std::move(info));
    }
}

} // namespace

class TestCatalogueSave : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void encoderMatchesTheEarlierWriter_data()
    {
        QTest::addColumn<int>("seed");
        for (int seed = 1; seed <= 12; ++seed)
            QTest::addRow("seed %d", seed) << seed;
    }
    void encoderMatchesTheEarlierWriter()
    {
        QFETCH(int, seed);
        std::mt19937 rng{quint32(seed)};
        Catalogue cat;
        buildRandomTree(cat, rng, 3000);
        // The built-in category at the front, or moved somewhere inside.
        cat.createMakerCategory();
        if (seed % 2) {
            TreeNode* holder = cat.nodes().rootItem(1 + seed % (cat.nodes().rootCount() - 1));
            cat.nodes().moveTo(cat.makerCategory(), holder, holder->count() / 2);
        }
        const QByteArray expected = referenceFile(cat);

        QByteArray whole;
        int level = 0;
        QCOMPARE(encodeCatalogueLines(cat.nodes().getFirstNode(), level, cat.makerCategory(), whole,
                                      NoLimit),
                 nullptr);
        QCOMPARE(whole, expected);

        // In pieces: a few bytes at a time, or a deadline already passed
        // (the saves while the user works resume where a slice stopped).
        for (const bool byBytes : {true, false}) {
            QByteArray pieces;
            const TreeNode* next = cat.nodes().getFirstNode();
            level = 0;
            int calls = 0;
            while (next) {
                const qsizetype limit = byBytes ? pieces.size() + 1 : NoLimit;
                next = encodeCatalogueLines(next, level, cat.makerCategory(), pieces, limit,
                                            byBytes ? QDeadlineTimer::Forever : QDeadlineTimer(0));
                ++calls;
            }
            QVERIFY(calls > 5);
            QCOMPARE(pieces, expected);
        }
    }

    // The save hands the lines to its writer a chunk at a time: the same
    // bytes whatever the size (one line, less than a chunk, several) and
    // wherever the built-in category lies (at the front, inside, last).
    void theSaveWritesWhatTheEncoderMakes_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("makerAt"); // a node's position in full order; -1 at the front
        QTest::addRow("one line") << 1 << -1;
        QTest::addRow("less than a chunk") << 500 << 200;
        QTest::addRow("several chunks") << 40000 << 8190;
        QTest::addRow("built-in category last") << 20000 << 19999;
    }
    void theSaveWritesWhatTheEncoderMakes()
    {
        QFETCH(int, count);
        QFETCH(int, makerAt);
        QTemporaryDir dir;
        Catalogue cat;
        cat.setDataFolder(dir.path());
        std::mt19937 rng{quint32(count)};
        buildRandomTree(cat, rng, count);
        cat.createMakerCategory();
        if (makerAt >= 0) {
            TreeNode* at = cat.nodes().getFirstNode();
            for (int i = 0; i < makerAt + 4 && at; ++i) // past the category's own four lines
                at = at->getNext();
            QVERIFY(at);
            cat.nodes().moveTo(cat.makerCategory(), at->parent(), at->index() + 1);
        }
        const QByteArray expected = referenceFile(cat);
        for (int save = 0; save < 2; ++save) { // the second reuses the first one's chunks
            cat.saveData(false);
            QFile f(cat.dataFile(false));
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), expected);
            if (count > 20000)
                QVERIFY(expected.size() > (1 << 20));
        }
    }

    // A write that fails after several chunks went to the disk (the file
    // size limit reached midway): the old file stays as it was, nothing is
    // left beside it, and the failure is told, by the save at the end of the
    // run as by a save while the user works.
    void aWriteFailingMidwayLeavesTheOldFile()
    {
        QTemporaryDir dir;
        Catalogue cat;
        cat.setDataFolder(dir.path());
        TreeNode* top = cat.addCategoryNode(nullptr, QStringLiteral("Top"));
        cat.createMakerCategory();
        cat.saveData(false);
        const QString dat = cat.dataFile(false);
        const QByteArray old = TestUtil::readFile(dat);
        const auto files = [&] {
            return QDir(dir.path())
                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        };
        constexpr qint64 Limit = 5 * CatalogueStream::ChunkBytes / 2;
        const QString name(1000, u'n');
        for (int i = 0; i < 6000; ++i)
            cat.addCategoryNode(top, name + QString::number(i));
        cat.setDataSaved(false);

        QString error;
        {
            TestUtil::FileSizeLimit limit(Limit);
            try {
                cat.saveData(false);
            } catch (const CatalogueError& e) {
                error = e.text();
            }
        }
        QVERIFY2(error.contains(QStringLiteral("Cannot write file \"%1\"").arg(dat)),
                 qPrintable(error));
        QVERIFY(!cat.dataSaved());
        QCOMPARE(TestUtil::readFile(dat), old);
        QCOMPARE(files(), QStringList{"quillmere.dat"});

        AutoSave autoSave(cat);
        autoSave.start();
        QSignalSpy failed(&autoSave, &AutoSave::failed);
        {
            TestUtil::FileSizeLimit limit(Limit);
            cat.nodes().setText(top, QStringLiteral("Renamed"));
            QVERIFY(failed.wait(60000));
        }
        QVERIFY2(failed[0][0].toString().contains(QStringLiteral("Cannot write file")),
                 qPrintable(failed[0][0].toString()));
        QCOMPARE(TestUtil::readFile(dat), old);
        QCOMPARE(files(), QStringList{"quillmere.dat"});

        // With room again the whole tree goes.
        cat.saveData(false);
        QVERIFY(TestUtil::readFile(dat).size() > Limit);
    }
};

QTEST_MAIN(TestCatalogueSave)
#include "tst_cataloguesave.moc"
