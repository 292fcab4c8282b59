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
class SettingsError : public std::runtime_error
{
public:
    explicit SettingsError(const QString& text) : std::runtime_error(text.toStdString()) {}
    QString text() const { return QString::fromStdString(what()); }
};

// The program's per-user settings ("Velmarch", "Quillmere"; the INI file
// $XDG_CONFIG_HOME/Velmarch/Quillmere.conf). Value and group names are
// matched ignoring case, as the program has always treated them; writing a
// value removes the other spellings of its name so that one copy is left.
// Numbers and Booleans are stored as decimal numbers (a Boolean as 0 or 1).
class SettingsStore
{
public:
    SettingsStore();
    // For tests and tools: the store in the given INI file.
    explicit SettingsStore(const QString& fileName);

    // The file of the per-user store, without opening it.
    static QString defaultFileName();
    // Empty when FileName is missing or a regular file (a link to one is
    // fine); else why it must be neither read (a FIFO would block, a device
    // never end) nor written (a save would replace it).
    static QString unusableReason(const QString& fileName);

    // True when the store exists and could be read: reading applies nothing
    // otherwise. Never creates the store.
    bool exists() const;

    // True when the file exists but does not parse as a whole: what it holds
    // cannot be trusted, and a save would keep only the part that parsed.
    bool damaged() const;
    // Moves a damaged file aside under a name no other file has
    // ("<file>.damaged", "<file>.damaged.1", ...) and goes on as an empty
    // store, written afresh by the next save. The new name, or an empty
    // text when the file could not be moved.
    QString keepDamagedAside();

    // The value, or nothing when absent; throws SettingsError ("Invalid
    // data type for '<Name>'") when it is present but of another type.
    std::optional<int> readInteger(const QString& name) const;
    std::optional<bool> readBool(const QString& name) const; // any non-zero number is true
    std::optional<QString> readString(const QString& name) const;

    void writeInteger(const QString& name, int value);
    void writeBool(const QString& name, bool value);
    void writeString(const QString& name, const QString& value);

    // The same for an entry of the settings table (SettingKeys.h).
    std::optional<int> read(const IntegerSetting& key) const;
    std::optional<bool> read(const BoolSetting& key) const;
    std::optional<QString> read(const StringSetting& key) const;
    void write(const IntegerSetting& key, int value);
    void write(const BoolSetting& key, bool value);
    void write(const StringSetting& key, const QString& value);

    // The sub-key AdValues: its string values in order ("Val" + position, by
    // number; other names after them in the store's order), or nothing when
    // the group does not exist. At most Limit values are read; Count, when
    // given, receives how many the group holds.
    std::optional<QStringList> readAdValues(qsizetype limit = std::numeric_limits<qsizetype>::max(),
                                            qsizetype* count = nullptr) const;
    // Deletes AdValues and writes it again: one value "Val<i>" per non-empty
    // entry, i being the entry's position, so numbering can have gaps.
    void writeAdValues(const QStringList& entries);

    // Forgets every value, the program's own and any other, so that what is
    // written next is all the file holds: keys the INI writer cannot write
    // back readably then never reach the file.
    void clear();
    // Writes everything out; false when the store could not be written.
    bool flush();
    QString fileName() const { return m_settings->fileName(); }

private:
    QString actualKey(const QString& group, const QString& name) const;
    QString actualGroup(const QString& name) const;
    void removeAllSpellings(const QString& name);
    QVariant raw(const QString& name) const;

    std::unique_ptr<QSettings> m_settings;
};
