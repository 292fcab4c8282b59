#include "catalogue/ImageLists.h"
#include "catalogue/Artwork.h"

int TImageList::Add(const QIcon& Icon)
{
    m_icons.push_back(Icon);
    return int(m_icons.size()) - 1;
}

const QIcon& TImageList::Icon(int Index) const
{
    static const QIcon none;
    if (Index < 0 || size_t(Index) >= m_icons.size())
        return none;
    return m_icons[size_t(Index)];
}

TImageLists::TImageLists()
{
    for (int i = 0; i < FixedImageCount; ++i)
        AddPair(Artwork::FixedIcon(i, 16), Artwork::FixedIcon(i, 32));
}

int TImageLists::AddPair(const QIcon& SmallIcon, const QIcon& LargeIcon)
{
    Large.Add(LargeIcon);
    return Small.Add(SmallIcon);
}
