#pragma once

#include <QIcon>
#include <QImage>

// The program's pictures, all painted in code so they stay sharp at any size
// and need no image files beside the executable.
namespace Artwork
{

// Images of the catalogue's image lists (small list 16 px, large list 32 px).
enum FixedIndex {
    ImgCategory = 0,  // yellow star
    ImgFolder = 1,    // manila folder
    ImgHyperlink = 2, // web page with a globe
    ImgBlankPage = 3, // sheet with a folded corner
    ImgMissing = 4,   // red no-entry sign: the target is gone
    ImgSortAscending = 5,
    ImgSortDescending = 6,
    FixedCount = 7
};

// Square image of the given side; a null image for an unknown index or size < 1.
QImage fixedImage(int index, int size);
QIcon fixedIcon(int index, int size);

// The program's own icon, painted separately at 16, 22, 24, 32, 48, 64 and 128 px.
QIcon programIcon();
QImage programImage(int size);

// Command images (toolbar and menus), indexes 0..22. Unused indexes other than 12
// give a null icon / image.
constexpr int CommandImageCount = 23;
QIcon commandImage(int index);              // holds a 16 px and a 32 px version
QImage commandPicture(int index, int size); // one size, for callers needing pixels

// A small hand pointing right: the drop marker beside the row a drop lands on.
QImage pointingHand(int size);

// Arrow-in-a-box emblem marking symbolic links.
QImage emblemSymlink(int size);
// A copy of base with the emblem in its bottom-left quarter (shrunk to fit if larger).
QImage overlay(const QImage& base, const QImage& emblem);

} // namespace Artwork
