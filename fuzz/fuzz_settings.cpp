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

QString nameOf(const Setting::AnySetting& Key)
{
    return std::visit([](const auto* k) { return QString::fromLatin1(k->Name); }, Key);
}

// A value as text: a number in decimal, a Boolean as 0 or 1.
QString text(int Value)
{
    return QString::number(Value);
}
QString text(bool Value)
{
    return Value ? QStringLiteral("1") : QStringLiteral("0");
}
QString text(const QString& Value)
{
    return Value;
}
QString text(const char* Value)
{
    return QString::fromLatin1(Value);
}

// The value from its text, as text() gave it.
int value(const IntegerSetting&, const QString& Text)
{
    return Text.toInt();
}
bool value(const BoolSetting&, const QString& Text)
{
    return Text == u"1";
}
QString value(const StringSetting&, const QString& Text)
{
    return Text;
}

// What was read, each value as text (a Boolean as 0 or 1); none when absent
// or of the wrong type.
struct TSettings {
    std::vector<std::optional<QString>> Values = std::vector<std::optional<QString>>(NameCount);
    std::optional<QStringList> AdValues;
    bool Usable = true; // false: the file exists but the store could not read it
    bool operator==(const TSettings&) const = default;
};

void checkTypeError(const ESettingsError& Error, const QString& Name)
{
    const QString expected = QStringLiteral("Invalid data type for '%1'").arg(Name);
    Check(Name.isEmpty() ? Error.Text().startsWith(QStringLiteral("Invalid data type for '"))
                         : Error.Text() == expected,
          "a wrong type gave another message", Error.Text());
}

TSettings readAll(const QString& File)
{
    TSettings read;
    TSettingsStore store(File);
    if (store.Damaged()) {
        // As the window does: the file is kept aside and the run starts from
        // the design values.
        read.Usable = false;
        store.KeepDamagedAside();
        return read;
    }
    if (!store.Exists()) {
        read.Usable = false;
        return read; // the window then reads nothing
    }
    for (size_t i = 0; i < NameCount; ++i) {
        try {
            std::visit(
                [&](const auto* k) {
                    if (const auto v = store.Read(*k))
                        read.Values[i] = text(*v);
                },
                Setting::All[i]);
        } catch (const ESettingsError& e) {
            checkTypeError(e, nameOf(Setting::All[i]));
        }
    }
    try {
        read.AdValues = store.ReadAdValues();
    } catch (const ESettingsError& e) {
        checkTypeError(e, {}); // names the value inside the group
    }
    return read;
}

// What the end of a run writes: what was read, the design value otherwise.
TSettings toWrite(const TSettings& Read)
{
    TSettings out;
    for (size_t i = 0; i < NameCount; ++i)
        out.Values[i] = Read.Values[i].value_or(
            std::visit([](const auto* k) { return text(k->Default); }, Setting::All[i]));
    out.AdValues = Read.AdValues.value_or(QStringList());
    return out;
}

// Writes into the existing file as the window's save does; false when the
// store could not be written.
bool writeAll(const QString& File, const TSettings& Values)
{
    TSettingsStore store(File);
    store.Clear();
    for (size_t i = 0; i < NameCount; ++i)
        std::visit([&](const auto* k) { store.Write(*k, value(*k, *Values.Values[i])); },
                   Setting::All[i]);
    store.WriteAdValues(*Values.AdValues);
    return store.Flush();
}

QString describe(const TSettings& Values)
{
    QStringList parts;
    for (size_t i = 0; i < NameCount; ++i)
        parts << QStringLiteral("%1=%2").arg(nameOf(Setting::All[i]),
                                             Values.Values[i] ? *Values.Values[i]
                                                              : QStringLiteral("(none)"));
    parts << (Values.AdValues ? QStringLiteral("AdValues=[%1]").arg(Values.AdValues->join(u'|'))
                              : QStringLiteral("AdValues=(none)"));
    return parts.join(u' ');
}

// A file name not used before in this process: the settings library caches
// files by name and may not notice a rewrite of the same size within the
// clock's resolution.
QString freshFile(const QString& Folder)
{
    static quint64 n = 0;
    return QDir(Folder).filePath(QStringLiteral("Quillmere-%1.conf").arg(++n));
}

// The next run: reads the saved bytes, which must give what was written
// (empty additional values get no entry), and saves again.
QByteArray nextRun(const QString& Folder, const QByteArray& Saved, const TSettings& Written,
                   TSettings& WrittenAgain)
{
    const QString file = freshFile(Folder);
    WriteFile(file, Saved);
    const TSettings read = readAll(file);
    TSettings expected = Written;
    expected.AdValues->removeAll(QString());
    // The INI file keeps no empty group: no values read back as no group,
    // and the window keeps its one blank design entry, which writes nothing.
    if (expected.AdValues->isEmpty())
        expected.AdValues.reset();
    Check(read == expected, "the saved settings read back differently",
          QStringLiteral("written: %1\nread:    %2\nfile:\n%3")
              .arg(describe(expected), describe(read), QString::fromUtf8(Saved)));
    WrittenAgain = toWrite(read);
    Check(writeAll(file, WrittenAgain), "saved settings could not be saved again");
    return ReadFile(file);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    const QByteArray input = Bytes(Data, Size);
    const QString folder = FreshFolder();
    const QString file = freshFile(folder);
    WriteFile(file, input);

    const TSettings read = readAll(file);
    Check(!QFileInfo::exists(file) || ReadFile(file) == input,
          "reading the settings changed the file");

    const TSettings written = toWrite(read);
    if (!writeAll(file, written) || !read.Usable) {
        // The window took nothing from the file (or could not write it), so
        // the save must not be the end of what the file held.
        bool kept = false;
        for (const QString& f : FilesIn(folder, QStringLiteral("*")))
            kept = kept || ReadFile(f) == input;
        Check(kept, "a settings file that could not be read was overwritten",
              QStringLiteral("store usable: %1").arg(read.Usable));
    }
    const QByteArray saved = ReadFile(file);

    // The first two saves may normalise: the INI library rewrites odd names
    // of values it does not know, and empty additional values close up.
    TSettings second, third;
    const QByteArray resaved = nextRun(folder, saved, written, second);
    const QByteArray last = nextRun(folder, resaved, second, third);
    Check(resaved == last, "saving the reloaded settings gives other bytes",
          FirstDifference(resaved, last));
    return 0;
}
