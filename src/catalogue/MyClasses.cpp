#include "catalogue/MyClasses.h"

QString NodeKindText(TNodeKind Kind)
{
    switch (Kind) {
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

void TPersistent::Assign(const TPersistent* Source)
{
    throw EConvertError(std::string("Cannot assign a ") + (Source ? Source->ClassName() : "nil") +
                        " to a " + ClassName());
}

QChar TNodeInfo::GetsKind() const
{
    const unsigned k = Kind;
    return k <= nkURL ? QChar(u'0' + k) : QChar(u'0');
}

void TNodeInfo::SetsKind(QChar Code)
{
    if (Code >= u'1' && Code <= u'4')
        Kind = static_cast<TNodeKind>(Code.unicode() - u'0');
    else
        Kind = nkNone;
}

void TNodeInfo::Assign(const TPersistent* Source)
{
    if (auto* info = dynamic_cast<const TNodeInfo*>(Source)) {
        FullName = info->FullName;
        Comments = info->Comments;
        Kind = info->Kind;
        sAdditional = info->sAdditional;
        return;
    }
    TPersistent::Assign(Source);
}
