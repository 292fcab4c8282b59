#include "catalogue/Settings.h"
#include "utils/TextUtils.h"

#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <algorithm>
#include <limits>
#include <sys/stat.h>

namespace
{

const QString AdValuesGroup = QStringLiteral("AdValues");

SettingsError invalidType(const QString& name)
{
    return SettingsError(QStringLiteral("Invalid data type for '%1'").arg(name));
}

// The program writes numbers and plain strings only (a string starting with
// '@' is escaped as "@@"). A value in QSettings' serialized form ("@Variant(",
// "@ByteArray(", "@Rect(" ...) came from elsewhere, and decoding one can ask
// for gigabytes: such a file is treated as damaged before any value is read.
bool holdsSerializedValues(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    constexpr qint64 maxSettingsBytes = 64 << 20;
    if (file.size() > maxSettingsBytes)
        return true;
    const QByteArray bytes = file.readAll();
    // The first '=' of a line ends its key (a key writes its own '=' as %3D).
    static const QRegularExpression serialized(QStringLiteral("^[^=\\r\\n]*=[ \\t]*@[A-Za-z]"),
                                               QRegularExpression::MultilineOption);
    return serialized.match(QString::fromLatin1(bytes)).hasMatch();
}

} // namespace

SettingsStore::SettingsStore()
    : m_settings(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                             QStringLiteral("Velmarch"),
                                             QStringLiteral("Quillmere")))
{
}

SettingsStore::SettingsStore(const QString& fileName)
    : m_settings(std::make_unique<QSettings>(fileName, QSettings::IniFormat))
{
}

QString SettingsStore::defaultFileName()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Velmarch/Quillmere.conf");
}

QString SettingsStore::unusableReason(const QString& fileName)
{
    struct stat st;
    if (::stat(QFile::encodeName(fileName).constData(), &st) != 0 || S_ISREG(st.st_mode))
        return {};
    return QStringLiteral("The settings file \"%1\" is not a regular file, so the settings are "
                          "neither read from "
                          "it nor written to it in this run.")
        .arg(fileName);
}

bool SettingsStore::exists() const
{
    return QFile::exists(m_settings->fileName()) && m_settings->status() == QSettings::NoError;
}

bool SettingsStore::damaged() const
{
    if (!QFile::exists(m_settings->fileName()))
        return false;
    if (holdsSerializedValues(m_settings->fileName()))
        return true;
    // Groups are parsed when first asked for: a fault in one shows only then.
    m_settings->allKeys();
    return m_settings->status() == QSettings::FormatError;
}

QString SettingsStore::keepDamagedAside()
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

QString SettingsStore::actualGroup(const QString& name) const
{
    const QStringList groups = m_settings->childGroups();
    for (const QString& g : groups)
        if (g.compare(name, Qt::CaseInsensitive) == 0)
            return g;
    return {};
}

QString SettingsStore::actualKey(const QString& group, const QString& name) const
{
    if (!group.isEmpty())
        m_settings->beginGroup(group);
    QString found;
    const QStringList keys = m_settings->childKeys();
    for (const QString& k : keys)
        if (k.compare(name, Qt::CaseInsensitive) == 0) {
            found = k;
            break;
        }
    if (!group.isEmpty())
        m_settings->endGroup();
    return found;
}

QVariant SettingsStore::raw(const QString& name) const
{
    const QString key = actualKey({}, name);
    return key.isEmpty() ? QVariant() : m_settings->value(key);
}

std::optional<int> SettingsStore::readInteger(const QString& name) const
{
    const QVariant v = raw(name);
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
        throw invalidType(name);
    return int(n);
}

std::optional<bool> SettingsStore::readBool(const QString& name) const
{
    const QVariant v = raw(name);
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
    return *readInteger(name) != 0;
}

std::optional<QString> SettingsStore::readString(const QString& name) const
{
    const QVariant v = raw(name);
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
        return TextUtils::singleLine(
            v.toString()); // the INI file has no types: a number is text as well
    case QMetaType::QByteArray:
        return TextUtils::singleLine(QString::fromUtf8(v.toByteArray()));
    case QMetaType::QStringList:
        // An unquoted text with commas in a hand-edited file.
        return TextUtils::singleLine(v.toStringList().join(QStringLiteral(", ")));
    default:
        throw invalidType(name);
    }
}

void SettingsStore::removeAllSpellings(const QString& name)
{
    const QStringList keys = m_settings->childKeys();
    for (const QString& k : keys)
        if (k != name && k.compare(name, Qt::CaseInsensitive) == 0)
            m_settings->remove(k);
}

void SettingsStore::writeInteger(const QString& name, int value)
{
    removeAllSpellings(name);
    m_settings->setValue(name, value);
}

void SettingsStore::writeBool(const QString& name, bool value)
{
    writeInteger(name, value ? 1 : 0);
}

void SettingsStore::writeString(const QString& name, const QString& value)
{
    removeAllSpellings(name);
    m_settings->setValue(name, value);
}

std::optional<int> SettingsStore::read(const IntegerSetting& key) const
{
    return readInteger(QString::fromLatin1(key.name));
}

std::optional<bool> SettingsStore::read(const BoolSetting& key) const
{
    return readBool(QString::fromLatin1(key.name));
}

std::optional<QString> SettingsStore::read(const StringSetting& key) const
{
    return readString(QString::fromLatin1(key.name));
}

void SettingsStore::write(const IntegerSetting& key, int value)
{
    writeInteger(QString::fromLatin1(key.name), value);
}

void SettingsStore::write(const BoolSetting& key, bool value)
{
    writeBool(QString::fromLatin1(key.name), value);
}

void SettingsStore::write(const StringSetting& key, const QString& value)
{
    writeString(QString::fromLatin1(key.name), value);
}

std::optional<QStringList> SettingsStore::readAdValues(qsizetype limit, qsizetype* count) const
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
    if (count)
        *count = qsizetype(ordered.size());
    if (qsizetype(ordered.size()) > limit)
        ordered.resize(size_t(std::max<qsizetype>(limit, 0)));
    QStringList values;
    std::optional<QString> bad;
    for (const auto& entry : ordered) {
        const QVariant v = m_settings->value(entry.second);
        if (v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QByteArray)
            values << TextUtils::singleLine(v.toString());
        else if (v.typeId() == QMetaType::QStringList)
            values << TextUtils::singleLine(v.toStringList().join(QStringLiteral(", ")));
        else if (!bad)
            bad = entry.second;
    }
    m_settings->endGroup();
    if (bad)
        throw invalidType(*bad);
    return values;
}

void SettingsStore::writeAdValues(const QStringList& entries)
{
    for (const QString& g : m_settings->childGroups())
        if (g.compare(AdValuesGroup, Qt::CaseInsensitive) == 0)
            m_settings->remove(g);
    m_settings->beginGroup(AdValuesGroup);
    for (qsizetype i = 0; i < entries.size(); ++i)
        if (!entries[i].isEmpty())
            m_settings->setValue(QStringLiteral("Val%1").arg(i), entries[i]);
    m_settings->endGroup();
}

void SettingsStore::clear()
{
    m_settings->clear();
}

bool SettingsStore::flush()
{
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}
