#include "catalogue/NodeInfo.h"

QString nodeKindText(NodeKind kind)
{
    switch (kind) {
    case NodeKind::Category:
        return QStringLiteral("Category");
    case NodeKind::Doc:
        return QStringLiteral("Document");
    case NodeKind::Folder:
        return QStringLiteral("Folder");
    case NodeKind::Url:
        return QStringLiteral("Hyperlink");
    default:
        return QString();
    }
}

void Persistent::assign(const Persistent* source)
{
    throw ConvertError(std::string("Cannot assign a ") + (source ? source->className() : "nil") +
                       " to a " + className());
}

QChar NodeInfo::getsKind() const
{
    const unsigned k = unsigned(kind);
    return k <= unsigned(NodeKind::Url) ? QChar(u'0' + k) : QChar(u'0');
}

void NodeInfo::setsKind(QChar code)
{
    if (code >= u'1' && code <= u'4')
        kind = static_cast<NodeKind>(code.unicode() - u'0');
    else
        kind = NodeKind::None;
}

void NodeInfo::assign(const Persistent* source)
{
    if (auto* info = dynamic_cast<const NodeInfo*>(source)) {
        fullName = info->fullName;
        comments = info->comments;
        kind = info->kind;
        sAdditional = info->sAdditional;
        return;
    }
    Persistent::assign(source);
}
