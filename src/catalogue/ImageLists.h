#pragma once
#include "catalogue/Artwork.h"

#include <QIcon>
#include <functional>
#include <vector>

// An append-only list of icons of one size. An icon may be added as the way
// to make it: it is made when first asked for (a row is shown), once.
class ImageList
{
public:
    explicit ImageList(int size) : m_size(size) {}
    int size() const { return m_size; }
    int count() const { return int(m_icons.size()); }
    int add(const QIcon& icon);
    int addLazy(std::function<QIcon()> make);
    const QIcon& icon(int index) const;

private:
    int m_size;
    mutable std::vector<QIcon> m_icons;
    mutable std::vector<std::function<QIcon()>> m_makers; // of icons not made yet
};

// The small (16 px) and large (32 px) lists that always grow in step, so one
// index serves both.
class ImageLists
{
public:
    ImageLists();
    ImageList small{16};
    ImageList large{32};
    // Appends one icon to each list; returns the common index.
    int addPair(const QIcon& smallIcon, const QIcon& largeIcon);
    // The same with icons made when first shown (Make is called with the size).
    int addLazyPair(const std::function<QIcon(bool large)>& make);
};
