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
void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtCriticalMsg || type == QtFatalMsg || qEnvironmentVariableIsSet("FUZZ_VERBOSE"))
        std::fprintf(stderr, "%s\n", qPrintable(text));
    if (type == QtFatalMsg)
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
        FuzzUtil::fail("no temporary folder", scratch->errorString());
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

QString freshFolder()
{
    const QString folder = scratch->filePath(QStringLiteral("data"));
    QDir(folder).removeRecursively();
    if (!QDir().mkpath(folder))
        fail("cannot make the data folder", folder);
    return folder;
}

QByteArray bytes(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        fail("cannot write a file", path);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        fail("cannot read a file", path);
    return f.readAll();
}

QStringList filesIn(const QString& folder, const QString& pattern)
{
    QStringList paths;
    const QDir dir(folder);
    for (const QString& name : dir.entryList({pattern}, QDir::Files | QDir::Hidden))
        paths << dir.filePath(name);
    return paths;
}

void fail(const char* what, const QString& detail)
{
    std::fprintf(stderr, "\n*** fuzz invariant broken: %s\n", what);
    if (!detail.isEmpty())
        std::fprintf(stderr, "*** %s\n", detail.toUtf8().constData());
    std::fflush(stderr);
    std::abort();
}

QString firstDifference(const QByteArray& a, const QByteArray& b)
{
    qsizetype i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i])
        ++i;
    auto around = [i](const QByteArray& x) {
        const qsizetype from = std::max<qsizetype>(0, i - 16);
        return QString::fromLatin1(x.mid(from, 48).toHex(' '));
    };
    return QStringLiteral("sizes %1 and %2, first difference at byte %3:\n    %4\n    %5")
        .arg(a.size())
        .arg(b.size())
        .arg(i)
        .arg(around(a), around(b));
}

QString loadCatalogue(Catalogue& catalogue)
{
    try {
        if (!catalogue.loadData(false))
            fail("LoadData did not find the catalogue file", catalogue.dataFile(false));
        return {};
    } catch (const CatalogueError& e) {
        if (e.text().trimmed().isEmpty())
            fail("a load failed without a message");
        return e.text();
    }
}

namespace
{
// Nodes that a save writes: all but the built-in category and its links.
int userNodes(Catalogue& catalogue)
{
    int n = 0;
    for (const TreeNode* node = catalogue.nodes().getFirstNode(); node; node = node->getNext())
        if (!catalogue.makerCategory() || !node->isUnder(catalogue.makerCategory()))
            ++n;
    return n;
}
} // namespace

void checkSaveReloadSave(Catalogue& catalogue)
{
    const QString file = catalogue.dataFile(false);
    const int nodes = userNodes(catalogue);
    catalogue.saveData(false);
    check(catalogue.dataSaved(), "SaveData returned without setting DataSaved");
    const QByteArray saved = readFile(file);
    check(saved.count("\r\n") == nodes, "the save did not write one line per node",
          QStringLiteral("%1 nodes, %2 lines").arg(nodes).arg(saved.count("\r\n")));

    Catalogue next;
    next.setDataFolder(catalogue.dataFolder());
    const QString error = loadCatalogue(next);
    check(error.isEmpty(), "a saved catalogue does not load again", error);
    check(userNodes(next) == nodes, "the saved catalogue reloads with another number of nodes",
          QStringLiteral("%1 saved, %2 reloaded").arg(nodes).arg(userNodes(next)));
    next.saveData(false);
    const QByteArray again = readFile(file);
    check(saved == again, "saving the reloaded catalogue gives other bytes",
          firstDifference(saved, again));
}

} // namespace FuzzUtil
