#pragma once
#include <QString>
#include <QStringList>

namespace TextUtils
{

// The longest field the catalogue takes from outside: what a one-line field
// lets the user type.
inline constexpr qsizetype MaxFieldLength = 32767;

// The text before the first Separator (or all of Text when there is none).
// With Cut, removes that text and the separator from Text.
QString takeField(const QString& separator, QString& text, bool cut);

// Pieces of Text between any of the Separators characters, the piece after the
// last separator included; an empty Text gives no pieces.
QStringList splitToArray(const QString& text, const QString& separators);

// A copy of Text with the first occurrence of Part removed; Text itself when
// Part does not occur (or is empty).
QString cutFirst(const QString& text, const QString& part);

// True when Text holds a character that would break a catalogue line (NUL,
// CR, LF, or U+001A, which readers of the file take as its end).
bool hasLineBreakOrNul(const QString& text);

// Typed text reduced to one line: each run of line breaks becomes one blank,
// NUL and U+001A characters are dropped.
QString singleLine(const QString& text);

// At most the first MaxChars characters of Text, with "..." after when it was
// cut: messages quote fields that a damaged file may make huge.
QString excerpt(const QString& text, int maxChars = 80);

// Bidirectional embeddings, overrides and isolates (U+202A to U+202E, U+2066
// to U+2069): invisible, they reorder what follows, so that a name or an
// address can be made to read as another.
bool isBidiControl(QChar c);
bool hasBidiControls(const QString& text);
// Text without them.
QString withoutBidiControls(const QString& text);
// Text with each of them written out as "\u202E", so that it shows.
QString showBidiControls(const QString& text);
// Undoes showBidiControls: only the escapes it writes turn back into controls.
QString unshowBidiControls(const QString& text);

} // namespace TextUtils
