// The settings reader. Every value the window reads at start-up is read from
// the input: each either reads, is absent, or fails with "Invalid data type
// for '<name>'"; reading never changes the file. Then the values are written
// back into the same file as the save at the end of a run does, and the next
// run must read exactly what was written and write the same bytes again.
#include "FuzzUtil.h"
#include "catalogue/Settings.h"

#include <QDir>
#include <QFileInfo>
#include <optional>
#include <vector>

using namespace FuzzUtil;

namespace
{

enum TType { Int, Bool, Text };
struct TValueName {
    const char* Read;  // the name the window reads
    const char* Write; // the name it writes (the hot key's spelling differs)
    TType Type;
    const char* Default; // the window's design value, written when none was read
};
// In the window's order of reading and of writing.
const TValueName Names[] = {
    {"FormLeft", "FormLeft", Int, "153"},
    {"FormTop", "FormTop", Int, "149"},
    {"FormWidth", "FormWidth", Int, "855"},
    {"FormHeight", "FormHeight", Int, "534"},
    {"TreeWidth", "TreeWidth", Int, "216"},
    {"ListStyle", "ListStyle", Int, "2"},
    {"ShowFolders", "ShowFolders", Bool, "0"},
    {"FoldersLeft", "FoldersLeft", Int, "233"},
    {"FoldersTop", "FoldersTop", Int, "208"},
    {"RemoveOnAbsent", "RemoveOnAbsent", Bool, "0"},
    {"Width1", "Width1", Int, "80"},
    {"Width2", "Width2", Int, "120"},
    {"Width3", "Width3", Int, "121"},
    {"Width4", "Width4", Int, "100"},
    {"AdTitle", "AdTitle", Text, "Additional"},
    {"RecursChanging", "RecursChanging", Bool, "0"},
    {"HotKey", "Hotkey", Int, "49220"},
};
constexpr size_t NameCount = sizeof Names / sizeof Names[0];

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
        const QString name = QString::fromLatin1(Names[i].Read);
        try {
            switch (Names[i].Type) {
            case Int:
                if (const auto v = store.ReadInteger(name))
                    read.Values[i] = QString::number(*v);
                break;
            case Bool:
                if (const auto v = store.ReadBool(name))
                    read.Values[i] = *v ? QStringLiteral("1") : QStringLiteral("0");
                break;
            case Text:
                read.Values[i] = store.ReadString(name);
                break;
            }
        } catch (const ESettingsError& e) {
            checkTypeError(e, name);
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
        out.Values[i] = Read.Values[i].value_or(QString::fromLatin1(Names[i].Default));
    out.AdValues = Read.AdValues.value_or(QStringList());
    return out;
}

// Writes into the existing file as the window's save does; false when the
// store could not be written.
bool writeAll(const QString& File, const TSettings& Values)
{
    TSettingsStore store(File);
    store.Clear();
    for (size_t i = 0; i < NameCount; ++i) {
        const QString name = QString::fromLatin1(Names[i].Write);
        const QString& v = *Values.Values[i];
        switch (Names[i].Type) {
        case Int:
            store.WriteInteger(name, v.toInt());
            break;
        case Bool:
            store.WriteBool(name, v == u"1");
            break;
        case Text:
            store.WriteString(name, v);
            break;
        }
    }
    store.WriteAdValues(*Values.AdValues);
    return store.Flush();
}

QString describe(const TSettings& Values)
{
    QStringList parts;
    for (size_t i = 0; i < NameCount; ++i)
        parts << QStringLiteral("%1=%2").arg(QString::fromLatin1(Names[i].Read),
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
