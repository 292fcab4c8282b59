// The bookmark file reader. Whatever the bytes, the list it gives is one the
// catalogue can hold (depths that grow one folder at a time, one-line texts,
// usable addresses); filing it, exporting that and filing the export again
// gives the same tree; and the catalogue then saves and loads as ever.
#include "FuzzUtil.h"
#include "catalogue/BookmarkExport.h"
#include "catalogue/BookmarkImport.h"
#include "catalogue/Catalogue.h"
#include "utils/TextUtils.h"

using namespace FuzzUtil;

namespace
{

// Every node below Top, one line each: depth, name, kind, location, comment.
QStringList dump(const TreeNode* top)
{
    QStringList out;
    const int base = top->level();
    for (const TreeNode* n = top->getNext(); n && n->isUnder(top); n = n->getNext())
        out << QStringLiteral("%1|%2|%3|%4|%5")
                   .arg(n->level() - base)
                   .arg(n->text())
                   .arg(int(n->data()->kind))
                   .arg(n->data()->fullName, n->data()->comments.text());
    return out;
}

void checkList(const BookmarkList& list)
{
    int previous = -1;
    bool previousFolder = true;
    for (const BookmarkEntry& e : list.entries) {
        check(e.depth >= 0 && e.depth <= maxBookmarkFolderDepth(),
              "an entry's depth is out of range", QString::number(e.depth));
        check(e.depth <= previous + 1 && (e.depth <= previous || previousFolder),
              "an entry is deeper than the folder above it", e.title);
        check(!TextUtils::hasLineBreakOrNul(e.title) &&
                  !TextUtils::hasLineBreakOrNul(e.description),
              "a text holds a line break", e.title);
        if (e.kind == BookmarkEntry::Link) {
            check(!e.address.isEmpty() && !TextUtils::hasLineBreakOrNul(e.address),
                  "a link has an unusable address", e.address);
            check(!e.address.startsWith(QLatin1String("javascript:"), Qt::CaseInsensitive) &&
                      !e.address.startsWith(QLatin1String("place:"), Qt::CaseInsensitive),
                  "a browser-only link was taken", e.address);
        }
        previous = e.depth;
        previousFolder = e.kind == BookmarkEntry::Folder;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const BookmarkList list = parseBookmarks(bytes(data, size));
    checkList(list);
    if (!list.recognised)
        return 0;
    Catalogue catalogue;
    catalogue.setFileTypeIcons(false);
    catalogue.setDataFolder(freshFolder());
    TreeNode* first = fileBookmarks(catalogue, list, list.title);
    const BookmarkList again =
        parseBookmarks(bookmarkHtml(catalogue.nodes(), first, nullptr, first->text()));
    check(again.title == TextUtils::singleLine(first->text()).trimmed(),
          "the exported title did not come back", again.title);
    check(again.malformed == 0 && again.browserOnly == 0,
          "an exported file did not read back whole");
    TreeNode* second = fileBookmarks(catalogue, again, QStringLiteral("Again"));
    const QStringList before = dump(first), after = dump(second);
    if (before != after) {
        qsizetype i = 0;
        while (i < before.size() && i < after.size() && before[i] == after[i])
            ++i;
        fail("import, export, import gave another tree",
             before.value(i) + QStringLiteral(" became ") + after.value(i));
    }
    catalogue.setTopCategory(catalogue.nodes().getFirstNode());
    catalogue.createMakerCategory();
    checkSaveReloadSave(catalogue);
    return 0;
}
