#include "catalogue/ImageLists.h"
#include "catalogue/Artwork.h"

#include <utility>

int ImageList::add(const QIcon& icon)
{
    m_icons.push_back(icon);
    m_makers.emplace_back();
    return int(m_icons.size()) - 1;
}

int ImageList::addLazy(std::function<QIcon()> make)
{
    m_icons.emplace_back();
    m_makers.push_back(std::move(make));
    return int(m_icons.size()) - 1;
}

const QIcon& ImageList::icon(int index) const
{
    static const QIcon none;
    if (index < 0 || size_t(index) >= m_icons.size())
        return none;
    const size_t i = size_t(index);
    if (m_makers[i])
        m_icons[i] = std::exchange(m_makers[i], nullptr)();
    return m_icons[i];
}

ImageLists::ImageLists()
{
    for (int i = 0; i < FixedImageCount; ++i)
        addPair(Artwork::fixedIcon(i, 16), Artwork::fixedIcon(i, 32));
}

int ImageLists::addLazyPair(const std::function<QIcon(bool large)>& make)
{
    large.addLazy([make] { return make(true); });
    return small.addLazy([make] { return make(false); });
}

int ImageLists::addPair(const QIcon& smallIcon, const QIcon& largeIcon)
{
    large.add(largeIcon);
    return small.add(smallIcon);
}
