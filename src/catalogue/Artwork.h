#pragma once

#include <QIcon>
#include <QImage>

// The fixed images at the start of the catalogue's image lists (small list
// 16 px, large list 32 px); the icons of files' types follow them.
enum FixedImage : int {
    imgCategory = 0,  // yellow star
    imgFolder = 1,    // manila folder
    imgHyperlink = 2, // web page with a globe
    imgBlankPage = 3, // sheet with a folded corner
    imgMissing = 4,   // red no-entry sign: the target is gone
    imgSortUp = 5,
    imgSortDown = 6,
    FixedImageCount = 7
};

// The program's pictures, all painted in code so they stay sharp at any size
// and need no image files beside the executable.
namespace Artwork
{

// Square image of the given side; a null image for an unknown index or size < 1.
QImage fixedImage(int index, int size);
QIcon fixedIcon(int index, int size);

// The program's own icon, painted separately at 16, 22, 24, 32, 48, 64 and 128 px.
QIcon programIcon();
QImage programImage(int size);

// Command images (toolbar and menus), numbered as the command table knows
// them. The gaps give a null icon / image.
enum CommandImage : int {
    NoCommandImage = -1,
    LargeIconsImage = 0,
    SmallIconsImage = 1,
    ListImage = 2,
    DetailsImage = 3,
    AddFileImage = 4,
    AddCategoryImage = 5,
    RemoveImage = 6,
    CommentImage = 7,
    SearchImage = 8,
    HelpImage = 9,
    FaqImage = 10,
    FindObjectImage = 11,
    DotImage = 12, // unused, kept as a plain dot
    AddUrlImage = 15,
    DeleteFromDiskImage = 17,
    SupportImage = 18,
    ShowFoldersImage = 19,
    PropertiesImage = 20,
    OptionsImage = 22,
};
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
