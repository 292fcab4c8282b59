#include "catalogue/Settings.h"
#include "utils/MyTextUtils.h"

#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <algorithm>
#include <limits>
#include <sys/stat.h>

namespace
{

const QString AdValuesGroup = QStringLiteral("AdValues");

ESettingsError invalidType(const QString& Name)
{
    return ESettingsError(QStringLiteral("Invalid data type for '%1'").arg(Name));
}

// The program writes numbers and plain strings only (a string starting with
// '@' is escaped as "@@"). A value in QSettings' serialized form ("@Variant(",
// "@ByteArray(", "@Rect(" ...) came from elsewhere, and decoding one can ask
// for gigabytes: such a file is treated as damaged before any value is read.
bool holdsSerializedValues(const QString& FileName)
{
    QFile file(FileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    constexpr qint64 MaxSettingsBytes = 64 << 20;
    if (file.size() > MaxSettingsBytes)
        return true;
    const QByteArray bytes = file.readAll();
    // The first '=' of a line ends its key (a key writes its own '=' as %3D).
    static const QRegularExpression serialized(QStringLiteral("^[^=\\r\\n]*=[ \\t]*@[A-Za-z]"),
                                               QRegularExpression::MultilineOption);
    return serialized.match(QString::fromLatin1(bytes)).hasMatch();
}

} // namespace

TSettingsStore::TSettingsStore()
    : m_settings(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                             QStringLiteral("Velmarch"),
                                             QStringLiteral("Quillmere")))
{
}

TSettingsStore::TSettingsStore(const QString& FileName)
    : m_settings(std::make_unique<QSettings>(FileName, QSettings::IniFormat))
{
}

QString TSettingsStore::DefaultFileName()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Velmarch/Quillmere.conf");
}

QString TSettingsStore::UnusableReason(const QString& FileName)
{
    struct stat st;
    if (::stat(QFile::encodeName(FileName).constData(), &st) != 0 || S_ISREG(st.st_mode))
        return {};
    return QStringLiteral("The settings file \"%1\" is not a regular file, so the settings are "
                          "neither read from "
                          "it nor written to it in this run.")
        .arg(FileName);
}

bool TSettingsStore::Exists() const
{
    return QFile::exists(m_settings->fileName()) && m_settings->status() == QSettings::NoError;
}

bool TSettingsStore::Damaged() const
{
    if (!QFile::exists(m_settings->fileName()))
        return false;
    if (holdsSerializedValues(m_settings->fileName()))
        return true;
    // Groups are parsed when first asked for: a fault in one shows only then.
    m_settings->allKeys();
    return m_settings->status() == QSettings::FormatError;
}

QString TSettingsStore::KeepDamagedAside()
{
    const QString path = m_settings->fileName();
    QString aside = path + QStringLiteral(".damaged");
    // A rename never replaces an existing file: an older copy stays.
    for (int n = 1; !QFile::rename(path, aside); ++n) {
        if (!QFile::exists(aside))
            return {}; // not for want of a free name
        aside = path + QStringLiteral(".damaged.%1").arg(n);
    }
    // A fresh object: the old one keeps its error and what it had parsed.
    m_settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
    return aside;
}

QString TSettingsStore::actualGroup(const QString& Name) const
{
    const QStringList groups = m_settings->childGroups();
    for (const QString& g : groups)
        if (g.compare(Name, Qt::CaseInsensitive) == 0)
            return g;
    return {};
}

QString TSettingsStore::actualKey(const QString& Group, const QString& Name) const
{
    if (!Group.isEmpty())
        m_settings->beginGroup(Group);
    QString found;
    const QStringList keys = m_settings->childKeys();
    for (const QString& k : keys)
        if (k.compare(Name, Qt::CaseInsensitive) == 0) {
            found = k;
            break;
        }
    if (!Group.isEmpty())
        m_settings->endGroup();
    return found;
}

QVariant TSettingsStore::raw(const QString& Name) const
{
    const QString key = actualKey({}, Name);
    return key.isEmpty() ? QVariant() : m_settings->value(key);
}

std::optional<int> TSettingsStore::ReadInteger(const QString& Name) const
{
    const QVariant v = raw(Name);
    if (!v.isValid())
        return std::nullopt;
    bool ok = false;
    qlonglong n = 0;
    switch (v.typeId()) {
    case QMetaType::QString:
    case QMetaType::QByteArray:
        n = v.toString().trimmed().toLongLong(&ok);
        break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        n = v.toLongLong(&ok);
        break;
    default:
        break;
    }
    if (!ok || n < std::numeric_limits<int>::min() || n > std::numeric_limits<int>::max())
        throw invalidType(Name);
    return int(n);
}

std::optional<bool> TSettingsStore::ReadBool(const QString& Name) const
{
    const QVariant v = raw(Name);
    if (!v.isValid())
        return std::nullopt;
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    if (v.typeId() == QMetaType::QString) {
        // What QSettings itself writes for a Boolean.
        const QString s = v.toString().trimmed();
        if (s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return true;
        if (s.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            return false;
    }
    return *ReadInteger(Name) != 0;
}

std::optional<QString> TSettingsStore::ReadString(const QString& Name) const
{
    const QVariant v = raw(Name);
    if (!v.isValid())
        return std::nullopt;
    // Texts of the settings are one-line texts that catalogue fields take
    // over: what a field cannot hold (NUL, line breaks) is dropped here.
    switch (v.typeId()) {
    case QMetaType::QString:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return MyTextUtils::SingleLine(
            v.toString()); // the INI file has no types: a number is text as well
    case QMetaType::QByteArray:
        return MyTextUtils::SingleLine(QString::fromUtf8(v.toByteArray()));
    case QMetaType::QStringList:
        // An unquoted text with commas in a hand-edited file.
        return MyTextUtils::SingleLine(v.toStringList().join(QStringLiteral(", ")));
    default:
        throw invalidType(Name);
    }
}

void TSettingsStore::removeAllSpellings(const QString& Name)
{
    const QStringList keys = m_settings->childKeys();
    for (const QString& k : keys)
        if (k != Name && k.compare(Name, Qt::CaseInsensitive) == 0)
            m_settings->remove(k);
}

void TSettingsStore::WriteInteger(const QString& Name, int Value)
{
    removeAllSpellings(Name);
    m_settings->setValue(Name, Value);
}

void TSettingsStore::WriteBool(const QString& Name, bool Value)
{
    WriteInteger(Name, Value ? 1 : 0);
}

void TSettingsStore::WriteString(const QString& Name, const QString& Value)
{
    removeAllSpellings(Name);
    m_settings->setValue(Name, Value);
}

std::optional<int> TSettingsStore::Read(const IntegerSetting& Key) const
{
    return ReadInteger(QString::fromLatin1(Key.Name));
}

std::optional<bool> TSettingsStore::Read(const BoolSetting& Key) const
{
    return ReadBool(QString::fromLatin1(Key.Name));
}

std::optional<QString> TSettingsStore::Read(const StringSetting& Key) const
{
    return ReadString(QString::fromLatin1(Key.Name));
}

void TSettingsStore::Write(const IntegerSetting& Key, int Value)
{
    WriteInteger(QString::fromLatin1(Key.Name), Value);
}

void TSettingsStore::Write(const BoolSetting& Key, bool Value)
{
    WriteBool(QString::fromLatin1(Key.Name), Value);
}

void TSettingsStore::Write(const StringSetting& Key, const QString& Value)
{
    WriteString(QString::fromLatin1(Key.Name), Value);
}

std::optional<QStringList> TSettingsStore::ReadAdValues(qsizetype Limit, qsizetype* Count) const
{
    const QString group = actualGroup(AdValuesGroup);
    if (group.isEmpty())
        return std::nullopt;
    m_settings->beginGroup(group);
    const QStringList keys = m_settings->childKeys();
    // The store lists names alphabetically (Val10 before Val2): the menu's
    // order is the number in the name.
    static const QRegularExpression numbered(QStringLiteral("^val(\\d{1,9})$"),
                                             QRegularExpression::CaseInsensitiveOption);
    std::vector<std::pair<qint64, QString>> ordered;
    for (qsizetype i = 0; i < keys.size(); ++i) {
        const QRegularExpressionMatch m = numbered.match(keys[i]);
        ordered.emplace_back(m.hasMatch() ? m.captured(1).toLongLong() : qint64(1'000'000'000) + i,
                             keys[i]);
    }
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    if (Count)
        *Count = qsizetype(ordered.size());
    if (qsizetype(ordered.size()) > Limit)
        ordered.resize(size_t(std::max<qsizetype>(Limit, 0)));
    QStringList values;
    std::optional<QString> bad;
    for (const auto& entry : ordered) {
        const QVariant v = m_settings->value(entry.second);
        if (v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QByteArray)
            values << MyTextUtils::SingleLine(v.toString());
        else if (v.typeId() == QMetaType::QStringList)
            values << MyTextUtils::SingleLine(v.toStringList().join(QStringLiteral(", ")));
        else if (!bad)
            bad = entry.second;
    }
    m_settings->endGroup();
    if (bad)
        throw invalidType(*bad);
    return values;
}

void TSettingsStore::WriteAdValues(const QStringList& Entries)
{
    for (const QString& g : m_settings->childGroups())
        if (g.compare(AdValuesGroup, Qt::CaseInsensitive) == 0)
            m_settings->remove(g);
    m_settings->beginGroup(AdValuesGroup);
    for (qsizetype i = 0; i < Entries.size(); ++i)
        if (!Entries[i].isEmpty())
            m_settings->setValue(QStringLiteral("Val%1").arg(i), Entries[i]);
    m_settings->endGroup();
}

void TSettingsStore::Clear()
{
    m_settings->clear();
}

bool TSettingsStore::Flush()
{
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}
