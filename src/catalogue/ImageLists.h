#pragma once
#include <QIcon>
#include <vector>

// Fixed image indexes shared by the small and the large list.
enum TFixedImage : int {
    imgCategory = 0,
    imgFolder = 1,
    imgHyperlink = 2,
    imgBlankPage = 3,
    imgMissing = 4,
    imgSortUp = 5,
    imgSortDown = 6,
    FixedImageCount = 7
};

// An append-only list of icons of one size. Icons are implicitly shared, so
// many entries of the same file type cost one pointer each.
class TImageList
{
public:
    explicit TImageList(int Size) : m_size(Size) {}
    int Size() const { return m_size; }
    int Count() const { return int(m_icons.size()); }
    int Add(const QIcon& Icon);
    const QIcon& Icon(int Index) const;

private:
    int m_size;
    std::vector<QIcon> m_icons;
};

// The small (16 px) and large (32 px) lists that always grow in step, so one
// index serves both.
class TImageLists
{
public:
    TImageLists();
    TImageList Small{16};
    TImageList Large{32};
    // Appends one icon to each list; returns the common index.
    int AddPair(const QIcon& SmallIcon, const QIcon& LargeIcon);
};
