#include "catalogue/ImageLists.h"
#include "catalogue/Artwork.h"

int ImageList::add(const QIcon& icon)
{
    m_icons.push_back(icon);
    return int(m_icons.size()) - 1;
}

const QIcon& ImageList::icon(int index) const
{
    static const QIcon none;
    if (index < 0 || size_t(index) >= m_icons.size())
        return none;
    return m_icons[size_t(index)];
}

ImageLists::ImageLists()
{
    for (int i = 0; i < FixedImageCount; ++i)
        addPair(Artwork::fixedIcon(i, 16), Artwork::fixedIcon(i, 32));
}

int ImageLists::addPair(const QIcon& smallIcon, const QIcon& largeIcon)
{
    large.add(largeIcon);
    return small.add(smallIcon);
}
