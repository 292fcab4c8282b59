#include "catalogue/FoldedIndex.h"
#include "catalogue/TextFolding.h"

// What a node's key holds: its four texts folded, and the name kept in the
// location when it is the location's last part. The keeping of the keys is
// in FoldedIndex.cpp, the scans over them in FoldedIndexScan.cpp.

using TextFolding::Marks;

QStringView FoldedIndex::fieldText(const TreeNode* node, int field)
{
    if (field == 0)
        return node->text();
    const NodeInfo* info = node->data();
    if (!info)
        return {};
    switch (field) {
    case 1:
        return info->comments;
    case 2:
        return info->fullName;
    case 3:
        return info->sAdditional;
    default:
        return {};
    }
}

namespace
{

// A name that is the last part of its own location (a file or folder named
// after itself, a page named after its address) is kept there alone: the
// key holds a mark in its place. No folded text holds these bytes, so no
// needle finds the mark, and every needle inside the name lies inside the
// location too: a key holds a needle exactly as before.
constexpr char NameIsLastPart = '\x02'; // all of the location's last part
constexpr char NameIsStem = '\x03';     // the last part up to its last '.'

// The location's last part: after its last '/', or all of it.
std::string_view lastPart(std::string_view location)
{
    const size_t slash = location.rfind('/');
    return slash == std::string_view::npos ? location : location.substr(slash + 1);
}

std::string_view stem(std::string_view part)
{
    const size_t dot = part.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : part.substr(0, dot);
}

} // namespace

void FoldedIndex::appendKey(std::string& out, const TreeNode* node)
{
    const size_t nameAt = out.size();
    size_t locationAt = 0;
    for (int f = 0; f < FieldCount; ++f) {
        if (f == int(Field::Location))
            locationAt = out.size();
        TextFolding::appendFolded(out, fieldText(node, f), Marks::drop);
        out += FieldEnd;
    }
    const std::string_view all(out);
    const size_t nameSize = all.find(FieldEnd, nameAt) - nameAt;
    if (nameSize < 2)
        return; // the mark would save nothing
    const std::string_view name = all.substr(nameAt, nameSize);
    const std::string_view part =
        lastPart(all.substr(locationAt, all.find(FieldEnd, locationAt) - locationAt));
    char mark = 0;
    if (part == name)
        mark = NameIsLastPart;
    else if (stem(part) == name)
        mark = NameIsStem;
    if (mark)
        out.replace(nameAt, nameSize, 1, mark);
}

std::string_view FoldedIndex::field(std::string_view key, int field)
{
    size_t from = 0;
    for (int f = 0; f < field; ++f) {
        const size_t end = key.find(FieldEnd, from);
        if (end == std::string_view::npos)
            return {};
        from = end + 1;
    }
    const size_t end = key.find(FieldEnd, from);
    const std::string_view text =
        key.substr(from, end == std::string_view::npos ? std::string_view::npos : end - from);
    if (field != int(Field::Name) || text.size() != 1)
        return text;
    if (text[0] == NameIsLastPart)
        return lastPart(FoldedIndex::field(key, int(Field::Location)));
    if (text[0] == NameIsStem)
        return stem(lastPart(FoldedIndex::field(key, int(Field::Location))));
    return text;
}
