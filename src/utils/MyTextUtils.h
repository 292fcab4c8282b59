#pragma once
#include <QString>
#include <QStringList>

namespace MyTextUtils
{

// The text before the first Separator (or all of Text when there is none).
// With Cut, removes that text and the separator from Text.
QString TakeField(const QString& Separator, QString& Text, bool Cut);

// Pieces of Text between any of the Separators characters, the piece after the
// last separator included; an empty Text gives no pieces.
QStringList SplitToArray(const QString& Text, const QString& Separators);

// A copy of Text with the first occurrence of Part removed; Text itself when
// Part does not occur (or is empty).
QString CutFirst(const QString& Text, const QString& Part);

// True when Text holds a character that would break a catalogue line (NUL,
// CR, LF, or U+001A, which readers of the file take as its end).
bool HasLineBreakOrNul(const QString& Text);

// Typed text reduced to one line: each run of line breaks becomes one blank,
// NUL and U+001A characters are dropped.
QString SingleLine(const QString& Text);

// At most the first MaxChars characters of Text, with "..." after when it was
// cut: messages quote fields that a damaged file may make huge.
QString Excerpt(const QString& Text, int MaxChars = 80);

} // namespace MyTextUtils
