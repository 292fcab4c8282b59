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

void NoteText::set(QString text)
{
    if (text.isEmpty())
        m_text.reset();
    else if (m_text)
        *m_text = std::move(text);
    else
        m_text = std::make_unique<QString>(std::move(text));
}

const QString& NoteText::empty()
{
    static const QString none;
    return none;
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

void NodeInfo::assign(const NodeInfo* source)
{
    if (!source)
        throw ConvertError("Cannot assign a nil to a NodeInfo");
    *this = *source;
}
