#include "components/UrlDropTarget.h"
#include "components/DropFormats.h"

UrlDropTarget::UrlDropTarget(QObject* parent) : DropTarget(parent)
{
    setDragTypes(Qt::LinkAction);
    setGetDataOnEnter(true);
}

bool UrlDropTarget::readData(const QMimeData* data)
{
    const DropFormats::Link link = DropFormats::readLink(data);
    url = link.url;
    title = link.title;
    return !url.isEmpty();
}

void UrlDropTarget::resetData()
{
    url.clear(); // the title stays until the next read
}

bool UrlDropTarget::acceptsFormats(const QMimeData* data) const
{
    return m_webLinksOnly ? DropFormats::offersWebLink(data) : DropFormats::offersLink(data);
}
