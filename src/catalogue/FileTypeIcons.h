#pragma once
#include "utils/PathTests.h"

#include <QIcon>
#include <QString>

namespace FileUtils
{

// The desktop's type name and icon of a path (a symbolic link gets its
// target's icon with a link emblem, and its target's type name). Icons are
// cached per type and size, so every file of one type shares one icon. A path
// that does not exist (or a dangling link) gives a null icon and an empty
// type name. GUI thread only.
QIcon fileTypeIcon(const QString& path, bool large, QString* typeName = nullptr);
QIcon fileTypeIcon(const PathFacts& facts, bool large, QString* typeName = nullptr);
// Makes theme icons reachable when the platform names no icon theme (the
// offscreen platform, a bare X server): adds the XDG icon folders to the
// search path, names "hicolor" as the theme when none is set and "Adwaita"
// as the fallback when none is set. Never overrides what is set already.
// fileTypeIcon calls it once by itself.
void prepareIconTheme();

} // namespace FileUtils
