#pragma once
#include <QString>

// What an installation puts where, as the program finds it.
namespace Installation
{

// The program's desktop id: the name of its desktop entry, of its autostart
// entry and its window class (the build system gives it, so the installed
// files carry the same).
inline constexpr char16_t DesktopId[] = u"" QUILLMERE_DESKTOP_ID;
// The title the autostart entry had before it was named by the desktop id.
inline constexpr char16_t OldAutoStartTitle[] = u"Quillmere";

// The help page: beside the executable in ExeFolder (a build, a portable
// copy), else where an install puts it (PREFIX/share/doc/quillmere beside
// PREFIX/bin). The first place when neither holds it.
QString helpFile(const QString& exeFolder);

} // namespace Installation
