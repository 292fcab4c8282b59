// The settings reader. Every value the window reads at start-up is read from
// the input: each either reads, is absent, or fails with "Invalid data type
// for '<name>'"; reading never changes the file. Then the values are written
// back into the same file as the save at the end of a run does, and the next
// run must read exactly what was written and write the same bytes again.
#include "FuzzUtil.h"
#include "catalogue/Settings.h"

#include <QDir>
#include <QFileInfo>
#include <iterator>
#include <optional>
#include <variant>
#include <vector>

using namespace FuzzUtil;

namespace
{

constexpr size_t NameCount = std::size(Setting::All);

QString nameOf(const Setting::AnySetting& key)
{
    return std::visit([](const auto* k) { return QString::fromLatin1(k->name); }, key);
}

// A value as text: a number in decimal, a Boolean as 0 or 1.
QString text(int value)
{
    return QString::number(value);
}
QString text(bool value)
{
    return value ? QStringLiteral("1") : QStringLiteral("0");
}
QString text(const QString& value)
{
    return value;
}
QString text(const char* value)
{
    return QString::fromLatin1(value);
}

// The value from its text, as text() gave it.
int value(const IntegerSetting&, const QString& text)
{
    return text.toInt();
}
bool value(const BoolSetting&, const QString& text)
{
    return text == u"1";
}
QString value(const StringSetting&, const QString& text)
{
    return text;
}

// What was read, each value as text (a Boolean as 0 or 1); none when absent
// or of the wrong type.
struct FuzzSettings {
    std::vector<std::optional<QString>> values = std::vector<std::optional<QString>>(NameCount);
    std::optional<QStringList> adValues;
    bool usable = true; // false: the file exists but the store could not read it
    bool operator==(const FuzzSettings&) const = default;
};

void checkTypeError(const SettingsError& error, const QString& name)
{
    const QString expected = QStringLiteral("Invalid data type for '%1'").arg(name);
    check(name.isEmpty() ? error.text().startsWith(QStringLiteral("Invalid data type for '"))
                         : error.text() == expected,
          "a wrong type gave another message", error.text());
}

FuzzSettings readAll(const QString& file)
{
    FuzzSettings read;
    SettingsStore store(file);
    if (store.damaged()) {
        // As the window does: the file is kept aside and the run starts from
        // the design values.
        read.usable = false;
        store.keepDamagedAside();
        return read;
    }
    if (!store.exists()) {
        read.usable = false;
        return read; // the window then reads nothing
    }
    for (size_t i = 0; i < NameCount; ++i) {
        try {
            std::visit(
                [&](const auto* k) {
                    if (const auto v = store.read(*k))
                        read.values[i] = text(*v);
                },
                Setting::All[i]);
        } catch (const SettingsError& e) {
            checkTypeError(e, nameOf(Setting::All[i]));
        }
    }
    try {
        read.adValues = store.readAdValues();
    } catch (const SettingsError& e) {
        checkTypeError(e, {}); // names the value inside the group
    }
    return read;
}

// What the end of a run writes: what was read, the design value otherwise.
FuzzSettings toWrite(const FuzzSettings& read)
{
    FuzzSettings out;
    for (size_t i = 0; i < NameCount; ++i)
        out.values[i] = read.values[i].value_or(
            std::visit([](const auto* k) { return text(k->defaultValue); }, Setting::All[i]));
    out.adValues = read.adValues.value_or(QStringList());
    return out;
}

// Writes into the existing file as the window's save does; false when the
// store could not be written.
bool writeAll(const QString& file, const FuzzSettings& values)
{
    SettingsStore store(file);
    store.clear();
    for (size_t i = 0; i < NameCount; ++i)
        std::visit([&](const auto* k) { store.write(*k, value(*k, *values.values[i])); },
                   Setting::All[i]);
    store.writeAdValues(*values.adValues);
    return store.flush();
}

QString describe(const FuzzSettings& values)
{
    QStringList parts;
    for (size_t i = 0; i < NameCount; ++i)
        parts << QStringLiteral("%1=%2").arg(nameOf(Setting::All[i]),
                                             values.values[i] ? *values.values[i]
                                                              : QStringLiteral("(none)"));
    parts << (values.adValues ? QStringLiteral("AdValues=[%1]").arg(values.adValues->join(u'|'))
                              : QStringLiteral("AdValues=(none)"));
    return parts.join(u' ');
}

// A file name not used before in this process: the settings library caches
// files by name and may not notice a rewrite of the same size within the
// clock's resolution.
QString freshFile(const QString& folder)
{
    static quint64 n = 0;
    return QDir(folder).filePath(QStringLiteral("Quillmere-%1.conf").arg(++n));
}

// The next run: reads the saved bytes, which must give what was written
// (empty additional values get no entry), and saves again.
QByteArray nextRun(const QString& folder, const QByteArray& saved, const FuzzSettings& written,
                   FuzzSettings& writtenAgain)
{
    const QString file = freshFile(folder);
    writeFile(file, saved);
    const FuzzSettings read = readAll(file);
    FuzzSettings expected = written;
    expected.adValues->removeAll(QString());
    // The INI file keeps no empty group: no values read back as no group,
    // and the window keeps its one blank design entry, which writes nothing.
    if (expected.adValues->isEmpty())
        expected.adValues.reset();
    check(read == expected, "the saved settings read back differently",
          QStringLiteral("written: %1\nread:    %2\nfile:\n%3")
              .arg(describe(expected), describe(read), QString::fromUtf8(saved)));
    writtenAgain = toWrite(read);
    check(writeAll(file, writtenAgain), "saved settings could not be saved again");
    return readFile(file);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = bytes(data, size);
    const QString folder = freshFolder();
    const QString file = freshFile(folder);
    writeFile(file, input);

    const FuzzSettings read = readAll(file);
    check(!QFileInfo::exists(file) || readFile(file) == input,
          "reading the settings changed the file");

    const FuzzSettings written = toWrite(read);
    if (!writeAll(file, written) || !read.usable) {
        // The window took nothing from the file (or could not write it), so
        // the save must not be the end of what the file held.
        bool kept = false;
        for (const QString& f : filesIn(folder, QStringLiteral("*")))
            kept = kept || readFile(f) == input;
        check(kept, "a settings file that could not be read was overwritten",
              QStringLiteral("store usable: %1").arg(read.usable));
    }
    const QByteArray saved = readFile(file);

    // The first two saves may normalise: the INI library rewrites odd names
    // of values it does not know, and empty additional values close up.
    FuzzSettings second, third;
    const QByteArray resaved = nextRun(folder, saved, written, second);
    const QByteArray last = nextRun(folder, resaved, second, third);
    check(resaved == last, "saving the reloaded settings gives other bytes",
          firstDifference(resaved, last));
    return 0;
}
