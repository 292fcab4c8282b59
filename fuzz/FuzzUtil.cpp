#include "FuzzUtil.h"
#include "catalogue/Catalogue.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace
{

QTemporaryDir* scratch = nullptr;
QGuiApplication* app = nullptr;

// Qt's own chatter (missing fonts, settings notes) would drown libFuzzer's
// report; FUZZ_VERBOSE=1 keeps it.
void quietMessages(QtMsgType Type, const QMessageLogContext&, const QString& Text)
{
    if (Type == QtCriticalMsg || Type == QtFatalMsg || qEnvironmentVariableIsSet("FUZZ_VERBOSE"))
        std::fprintf(stderr, "%s\n", qPrintable(Text));
    if (Type == QtFatalMsg)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never the real home: settings and data go to a folder of this run.
    scratch = new QTemporaryDir(QDir::temp().filePath(QStringLiteral("quillmere-fuzz-XXXXXX")));
    if (!scratch->isValid())
        FuzzUtil::Fail("no temporary folder", scratch->errorString());
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
        const QString dir = scratch->filePath(QString::fromLatin1(name).toLower());
        QDir().mkpath(dir);
        qputenv(name, QFile::encodeName(dir));
    }
    if (!qEnvironmentVariableIsSet("FUZZ_VERBOSE"))
        qInstallMessageHandler(quietMessages);
    // Reachable until the end, so the leak checker does not report it.
    app = new QGuiApplication(*argc, *argv);
    return 0;
}

namespace FuzzUtil
{

QString FreshFolder()
{
    const QString folder = scratch->filePath(QStringLiteral("data"));
    QDir(folder).removeRecursively();
    if (!QDir().mkpath(folder))
        Fail("cannot make the data folder", folder);
    return folder;
}

QByteArray Bytes(const uint8_t* Data, size_t Size)
{
    return QByteArray(reinterpret_cast<const char*>(Data), qsizetype(Size));
}

void WriteFile(const QString& Path, const QByteArray& Bytes)
{
    QFile f(Path);
    if (!f.open(QIODevice::WriteOnly) || f.write(Bytes) != Bytes.size())
        Fail("cannot write a file", Path);
}

QByteArray ReadFile(const QString& Path)
{
    QFile f(Path);
    if (!f.open(QIODevice::ReadOnly))
        Fail("cannot read a file", Path);
    return f.readAll();
}

QStringList FilesIn(const QString& Folder, const QString& Pattern)
{
    QStringList paths;
    const QDir dir(Folder);
    for (const QString& name : dir.entryList({Pattern}, QDir::Files | QDir::Hidden))
        paths << dir.filePath(name);
    return paths;
}

void Fail(const char* What, const QString& Detail)
{
    std::fprintf(stderr, "\n*** fuzz invariant broken: %s\n", What);
    if (!Detail.isEmpty())
        std::fprintf(stderr, "*** %s\n", Detail.toUtf8().constData());
    std::fflush(stderr);
    std::abort();
}

QString FirstDifference(const QByteArray& A, const QByteArray& B)
{
    qsizetype i = 0;
    while (i < A.size() && i < B.size() && A[i] == B[i])
        ++i;
    auto around = [i](const QByteArray& X) {
        const qsizetype from = std::max<qsizetype>(0, i - 16);
        return QString::fromLatin1(X.mid(from, 48).toHex(' '));
    };
    return QStringLiteral("sizes %1 and %2, first difference at byte %3:\n    %4\n    %5")
        .arg(A.size())
        .arg(B.size())
        .arg(i)
        .arg(around(A), around(B));
}

QString LoadCatalogue(TCatalogue& Catalogue)
{
    try {
        if (!Catalogue.LoadData(false))
            Fail("LoadData did not find the catalogue file", Catalogue.DataFile(false));
        return {};
    } catch (const ECatalogueError& e) {
        if (e.Text().trimmed().isEmpty())
            Fail("a load failed without a message");
        return e.Text();
    }
}

namespace
{
// Nodes that a save writes: all but the built-in category and its links.
int userNodes(TCatalogue& Catalogue)
{
    int n = 0;
    for (const TTreeNode* node = Catalogue.Nodes().GetFirstNode(); node; node = node->GetNext())
        if (!Catalogue.MakerCategory || !node->IsUnder(Catalogue.MakerCategory))
            ++n;
    return n;
}
} // namespace

void CheckSaveReloadSave(TCatalogue& Catalogue)
{
    const QString file = Catalogue.DataFile(false);
    const int nodes = userNodes(Catalogue);
    Catalogue.SaveData(false);
    Check(Catalogue.DataSaved, "SaveData returned without setting DataSaved");
    const QByteArray saved = ReadFile(file);
    Check(saved.count("\r\n") == nodes, "the save did not write one line per node",
          QStringLiteral("%1 nodes, %2 lines").arg(nodes).arg(saved.count("\r\n")));

    TCatalogue next;
    next.SetDataFolder(Catalogue.DataFolder());
    const QString error = LoadCatalogue(next);
    Check(error.isEmpty(), "a saved catalogue does not load again", error);
    Check(userNodes(next) == nodes, "the saved catalogue reloads with another number of nodes",
          QStringLiteral("%1 saved, %2 reloaded").arg(nodes).arg(userNodes(next)));
    next.SaveData(false);
    const QByteArray again = ReadFile(file);
    Check(saved == again, "saving the reloaded catalogue gives other bytes",
          FirstDifference(saved, again));
}

} // namespace FuzzUtil
