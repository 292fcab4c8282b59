#include "catalogue/NodeInfo.h"

QString nodeKindText(NodeKind kind)
{
    switch (kind) {
    case nkCategory:
        return QStringLiteral("Category");
    case nkDoc:
        return QStringLiteral("Document");
    case nkFolder:
        return QStringLiteral("Folder");
    case nkURL:
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
    const unsigned k = kind;
    return k <= nkURL ? QChar(u'0' + k) : QChar(u'0');
}

void NodeInfo::setsKind(QChar code)
{
    if (code >= u'1' && code <= u'4')
        kind = static_cast<NodeKind>(code.unicode() - u'0');
    else
        kind = nkNone;
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
