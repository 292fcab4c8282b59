#include "TreeImage.h"
#include "catalogue/CatalogueFile.h"
#include "catalogue/NodeTree.h"
#include "utils/TextUtils.h"

#include <QFile>

namespace
{

// A field as the writer stores it: one line, no NUL.
QString asSaved(const QString& text)
{
    return TextUtils::hasLineBreakOrNul(text) ? TextUtils::singleLine(text) : text;
}

QString shown(const TreeImage::Line& l)
{
    return QStringLiteral("level %1 \"%2\" kind %3 path \"%4\" comment \"%5\" value \"%6\"")
        .arg(l.level)
        .arg(TextUtils::excerpt(l.name))
        .arg(QChar(l.kind))
        .arg(TextUtils::excerpt(l.path), TextUtils::excerpt(l.comments),
             TextUtils::excerpt(l.additional));
}

} // namespace

TreeImage TreeImage::of(const NodeTree& nodes, const TreeNode* skip)
{
    TreeImage image;
    image.lines.reserve(size_t(nodes.count()));
    // Full order without recursion, as the save walks it.
    std::vector<std::pair<const TreeNode*, int>> pending;
    for (int i = nodes.rootCount() - 1; i >= 0; --i)
        pending.emplace_back(nodes.rootItem(i), 0);
    while (!pending.empty()) {
        const auto [node, level] = pending.back();
        pending.pop_back();
        if (node == skip)
            continue;
        Line line;
        line.level = level;
        line.name = asSaved(node->text());
        if (const NodeInfo* info = node->data()) {
            line.path = asSaved(info->fullName);
            line.comments = asSaved(info->comments);
            line.additional = asSaved(info->sAdditional);
            line.kind = char(info->getsKind().unicode());
        }
        image.lines.push_back(std::move(line));
        for (int i = node->count() - 1; i >= 0; --i)
            pending.emplace_back(node->item(i), level + 1);
    }
    return image;
}

bool TreeImage::read(const QString& path, TreeImage* image, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray bytes = file.readAll();
    image->lines.clear();
    int lineNumber = 0;
    for (QByteArrayView rest(bytes); !rest.isEmpty();) {
        ++lineNumber;
        const qsizetype end = rest.indexOf(QByteArrayView("\r\n"));
        if (end < 0) {
            *error = QStringLiteral("line %1 has no line end").arg(lineNumber);
            return false;
        }
        const QList<QByteArray> fields = rest.first(end).toByteArray().split('\0');
        rest = rest.sliced(end + 2);
        if (fields.size() != 6) {
            *error = QStringLiteral("line %1 has %2 fields").arg(lineNumber).arg(fields.size());
            return false;
        }
        Line line;
        line.name = decodeField(fields[0]);
        line.level = fields[1].toInt();
        line.path = decodeField(fields[2]);
        line.comments = decodeField(fields[3]);
        line.kind = fields[4].size() == 1 ? fields[4][0] : '?';
        line.additional = decodeField(fields[5]);
        image->lines.push_back(std::move(line));
    }
    return true;
}

QString TreeImage::difference(const TreeImage& expected, const TreeImage& actual,
                              bool linkKindsAlike)
{
    const auto alike = [linkKindsAlike](Line a, Line b) {
        if (linkKindsAlike) {
            // The load asks the file system whether a path is a folder; and
            // an address without a name is shown as its address.
            for (Line* l : {&a, &b}) {
                if (l->kind == '3')
                    l->kind = '2';
                if (l->kind == '4' && l->name.isEmpty())
                    l->name = l->path;
            }
        }
        return a == b;
    };
    const size_t common = std::min(expected.lines.size(), actual.lines.size());
    for (size_t i = 0; i < common; ++i)
        if (!alike(expected.lines[i], actual.lines[i]))
            return QStringLiteral("line %1 differs:\n    expected %2\n    found    %3")
                .arg(i + 1)
                .arg(shown(expected.lines[i]), shown(actual.lines[i]));
    if (expected.lines.size() != actual.lines.size()) {
        const bool more = actual.lines.size() > expected.lines.size();
        const Line& first = more ? actual.lines[common] : expected.lines[common];
        return QStringLiteral("%1 lines expected, %2 found; the first %3 one: %4")
            .arg(expected.lines.size())
            .arg(actual.lines.size())
            .arg(more ? QStringLiteral("extra") : QStringLiteral("missing"), shown(first));
    }
    return {};
}
