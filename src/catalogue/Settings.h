#pragma once
#include "catalogue/SettingKeys.h"

#include <QSettings>
#include <QString>
#include <QStringList>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>

// A value in the settings store that does not read as the type asked for.
class ESettingsError : public std::runtime_error
{
public:
    explicit ESettingsError(const QString& Text) : std::runtime_error(Text.toStdString()) {}
    QString Text() const { return QString::fromStdString(what()); }
};

// The program's per-user settings ("Velmarch", "Quillmere"; the INI file
// $XDG_CONFIG_HOME/Velmarch/Quillmere.conf). Value and group names are
// matched ignoring case, as the program has always treated them; writing a
// value removes the other spellings of its name so that one copy is left.
// Numbers and Booleans are stored as decimal numbers (a Boolean as 0 or 1).
class TSettingsStore
{
public:
    TSettingsStore();
    // For tests and tools: the store in the given INI file.
    explicit TSettingsStore(const QString& FileName);

    // The file of the per-user store, without opening it.
    static QString DefaultFileName();
    // Empty when FileName is missing or a regular file (a link to one is
    // fine); else why it must be neither read (a FIFO would block, a device
    // never end) nor written (a save would replace it).
    static QString UnusableReason(const QString& FileName);

    // True when the store exists and could be read: reading applies nothing
    // otherwise. Never creates the store.
    bool Exists() const;

    // True when the file exists but does not parse as a whole: what it holds
    // cannot be trusted, and a save would keep only the part that parsed.
    bool Damaged() const;
    // Moves a damaged file aside under a name no other file has
    // ("<file>.damaged", "<file>.damaged.1", ...) and goes on as an empty
    // store, written afresh by the next save. The new name, or an empty
    // text when the file could not be moved.
    QString KeepDamagedAside();

    // The value, or nothing when absent; throws ESettingsError ("Invalid
    // data type for '<Name>'") when it is present but of another type.
    std::optional<int> ReadInteger(const QString& Name) const;
    std::optional<bool> ReadBool(const QString& Name) const; // any non-zero number is true
    std::optional<QString> ReadString(const QString& Name) const;

    void WriteInteger(const QString& Name, int Value);
    void WriteBool(const QString& Name, bool Value);
    void WriteString(const QString& Name, const QString& Value);

    // The same for an entry of the settings table (SettingKeys.h).
    std::optional<int> Read(const IntegerSetting& Key) const;
    std::optional<bool> Read(const BoolSetting& Key) const;
    std::optional<QString> Read(const StringSetting& Key) const;
    void Write(const IntegerSetting& Key, int Value);
    void Write(const BoolSetting& Key, bool Value);
    void Write(const StringSetting& Key, const QString& Value);

    // The sub-key AdValues: its string values in order ("Val" + position, by
    // number; other names after them in the store's order), or nothing when
    // the group does not exist. At most Limit values are read; Count, when
    // given, receives how many the group holds.
    std::optional<QStringList> ReadAdValues(qsizetype Limit = std::numeric_limits<qsizetype>::max(),
                                            qsizetype* Count = nullptr) const;
    // Deletes AdValues and writes it again: one value "Val<i>" per non-empty
    // entry, i being the entry's position, so numbering can have gaps.
    void WriteAdValues(const QStringList& Entries);

    // Forgets every value, the program's own and any other, so that what is
    // written next is all the file holds: keys the INI writer cannot write
    // back readably then never reach the file.
    void Clear();
    // Writes everything out; false when the store could not be written.
    bool Flush();
    QString FileName() const { return m_settings->fileName(); }

private:
    QString actualKey(const QString& Group, const QString& Name) const;
    QString actualGroup(const QString& Name) const;
    void removeAllSpellings(const QString& Name);
    QVariant raw(const QString& Name) const;

    std::unique_ptr<QSettings> m_settings;
};
