#include "forms/CommandLine.h"
#include "catalogue/CatalogueListing.h"
#include "utils/DataFolder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>
#include <cstdio>

namespace CommandLine
{

namespace
{

// Qt's own options for the window system, taken (and left to Qt) so that a
// session manager's restart command ("-session ID") or a user's "-platform
// offscreen" is no error.
struct QtOption {
    const char* name;
    bool takesValue;
};
constexpr QtOption QtOptions[] = {
    {"platform", true},
    {"platformpluginpath", true},
    {"platformtheme", true},
    {"plugin", true},
    {"display", true},
    {"session", true},
    {"name", true},
    {"style", true},
    {"stylesheet", true},
    {"geometry", true},
    {"qwindowgeometry", true},
    {"qwindowtitle", true},
    {"qwindowicon", true},
    {"reverse", false},
    {"sync", false},
    {"nograb", false},
    {"dograb", false},
};

struct Options {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Show this help and exit.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Show the version and exit.")};
    QCommandLineOption category{
        QStringLiteral("category"),
        QStringLiteral("File the items into the category PATH, such as Work/Reports (made when "
                       "missing; a / inside a name is written \\/). Without it they go to the "
                       "main category."),
        QStringLiteral("PATH")};
    QCommandLineOption list{
        QStringLiteral("list"),
        QStringLiteral("Print the catalogue as tab-separated lines (category path, name, kind, "
                       "location, comment, additional value) and exit.")};
    QCommandLineOption find{
        QStringLiteral("find"),
        QStringLiteral("Print the lines of the entries whose name, comment, location or "
                       "additional value contain TEXT (case and accents ignored) and exit; the "
                       "status is 1 when none does."),
        QStringLiteral("TEXT")};
    QCommandLineOption dataDir{
        QStringLiteral("data-dir"),
        QStringLiteral("Print the folder of the catalogue in use and exit.")};
    std::vector<QCommandLineOption> qt;

    void addTo(QCommandLineParser& parser)
    {
        parser.setApplicationDescription(QStringLiteral(
            "Quillmere keeps a catalogue of links to your files, folders, web and e-mail "
            "addresses, sorted into categories of your own.\n"
            "Given files or addresses, it files them into the running copy's catalogue "
            "(starting the program when it is not running)."));
        // "-platform xcb" as Qt writes its own options.
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.addOptions({help, version, category, list, find, dataDir});
        for (const QtOption& o : QtOptions) {
            QCommandLineOption option(QString::fromLatin1(o.name));
            if (o.takesValue)
                option.setValueName(QStringLiteral("value"));
            option.setFlags(QCommandLineOption::HiddenFromHelp);
            qt.push_back(option);
            parser.addOption(option);
        }
        parser.addPositionalArgument(
            QStringLiteral("items"),
            QStringLiteral("Files, folders, web or e-mail addresses to file into the catalogue."),
            QStringLiteral("[FILE|URL...]"));
    }
};

// An address with a scheme ("https:", "mailto:"); a single letter before the
// colon is a drive, not a scheme.
bool hasScheme(const QString& text)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return scheme.match(text).hasMatch();
}

// What the catalogue takes for an address without a scheme.
bool isBareAddress(const QString& text)
{
    const bool mail = text.contains(u'@') && !text.contains(u'/') && !text.contains(u'\\');
    return mail || text.startsWith(QStringLiteral("www."), Qt::CaseInsensitive);
}

bool exists(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

void printTo(FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

// Arguments as messages show them: on one line.
QString shown(const QString& argument)
{
    return CatalogueListing::escapeField(argument);
}

int listing(const Request& request, const QString& exeFolder)
{
    const DataFolder::Choice choice = DataFolder::choose(exeFolder, DataFolder::userFolder());
    const QString name = QStringLiteral("quillmere.dat");
    QString file = QDir(choice.folder).filePath(name);
    // A read-only portable copy's catalogue, not yet copied by a first run.
    if (!exists(file) && !choice.seedFrom.isEmpty())
        file = QDir(choice.seedFrom).filePath(name);
    if (!exists(file) && DataFolder::holdsCatalogue(QFileInfo(file).path()))
        printTo(stderr, QStringLiteral("quillmere: the older catalogue file MyDocs.qmre in "
                                       "\"%1\" is read when the program starts next.\n")
                            .arg(QFileInfo(file).path()));
    const QString findText = request.mode == Mode::Find ? request.findText : QString();
    const CatalogueListing::Outcome outcome =
        CatalogueListing::listCatalogue(file, findText, [](QByteArrayView bytes) {
            std::fwrite(bytes.data(), 1, size_t(bytes.size()), stdout);
        });
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        printTo(stderr, QStringLiteral("quillmere: cannot write the listing.\n"));
        return Failure;
    }
    if (!outcome.error.isEmpty()) {
        printTo(stderr, QStringLiteral("quillmere: %1\n").arg(outcome.error));
        return Failure;
    }
    if (request.mode == Mode::Find && outcome.linesWritten == 0)
        return NothingFound;
    return Success;
}

} // namespace

QStringList arguments(int argc, char** argv)
{
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    return list;
}

Request parse(const QStringList& arguments, const QString& currentFolder)
{
    Request request;
    QCommandLineParser parser;
    Options options;
    options.addTo(parser);
    if (!parser.parse(arguments)) {
        request.mode = Mode::Error;
        request.error = parser.errorText();
        return request;
    }
    request.displayGiven =
        parser.isSet(QStringLiteral("platform")) || parser.isSet(QStringLiteral("display"));
    if (parser.isSet(options.help))
        request.mode = Mode::Help;
    else if (parser.isSet(options.version))
        request.mode = Mode::Version;
    if (request.mode != Mode::Run)
        return request;

    const QStringList positional = parser.positionalArguments();
    const int actions = int(parser.isSet(options.list)) + int(parser.isSet(options.find)) +
                        int(parser.isSet(options.dataDir));
    const auto refuse = [&request](const QString& text) {
        request.mode = Mode::Error;
        request.error = text;
        return request;
    };
    if (actions > 1)
        return refuse(QStringLiteral("--list, --find and --data-dir cannot be combined."));
    if (actions == 1 && (!positional.isEmpty() || parser.isSet(options.category)))
        return refuse(QStringLiteral("--list, --find and --data-dir take no items and no "
                                     "--category."));
    if (parser.isSet(options.list))
        request.mode = Mode::List;
    if (parser.isSet(options.dataDir))
        request.mode = Mode::DataDir;
    if (parser.isSet(options.find)) {
        request.mode = Mode::Find;
        request.findText = parser.value(options.find);
        if (request.findText.trimmed().isEmpty())
            return refuse(QStringLiteral("--find needs a text to look for."));
    }
    if (request.mode != Mode::Run)
        return request;

    if (parser.isSet(options.category)) {
        request.category = parser.value(options.category);
        if (CatalogueListing::splitCategoryPath(request.category).isEmpty())
            return refuse(QStringLiteral("The category \"%1\" has an empty name; write a / "
                                         "inside a name as \\/.")
                              .arg(shown(request.category)));
        if (request.category.contains(u'\n') || request.category.contains(u'\r'))
            return refuse(QStringLiteral("A category name cannot hold a line break."));
        if (positional.isEmpty())
            return refuse(QStringLiteral("--category needs files or addresses to file."));
    }

    const QDir here(currentFolder);
    for (const QString& argument : positional) {
        if (argument.contains(u'\n') || argument.contains(u'\r') || argument.contains(u'\0')) {
            request.refusals << QStringLiteral("\"%1\" is not filed: it holds a line break.")
                                    .arg(shown(argument));
            continue;
        }
        if (argument.isEmpty()) {
            request.refusals << QStringLiteral("An empty argument is not filed.");
            continue;
        }
        const bool fileUrl = argument.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive);
        const QString path = fileUrl ? QUrl(argument).toLocalFile() : argument;
        const QString absolute =
            path.isEmpty() ? path : QDir::cleanPath(here.absoluteFilePath(path));
        if (!absolute.isEmpty() && exists(absolute)) {
            request.items << absolute;
            continue;
        }
        if (!fileUrl && (hasScheme(argument) || isBareAddress(argument))) {
            request.items << argument;
            continue;
        }
        request.refusals
            << QStringLiteral("\"%1\" is not filed: no such file or folder.").arg(shown(argument));
    }
    return request;
}

QString helpText()
{
    QCommandLineParser parser;
    Options options;
    options.addTo(parser);
    return parser.helpText();
}

int runWithoutWindow(const Request& request, const QString& exeFolder)
{
    switch (request.mode) {
    case Mode::Help:
        printTo(stdout, helpText());
        return Success;
    case Mode::Version:
        printTo(stdout, QStringLiteral("%1 %2\n").arg(QCoreApplication::applicationName(),
                                                      QCoreApplication::applicationVersion()));
        return Success;
    case Mode::DataDir:
        printTo(stdout, DataFolder::choose(exeFolder, DataFolder::userFolder()).folder + u'\n');
        return Success;
    case Mode::List:
    case Mode::Find:
        return listing(request, exeFolder);
    case Mode::Error:
        printTo(stderr,
                QStringLiteral("quillmere: %1\nTry \"quillmere --help\".\n").arg(request.error));
        return Failure;
    case Mode::Run:
        break;
    }
    return Failure;
}

void printRefusals(const Request& request)
{
    for (const QString& text : request.refusals)
        printTo(stderr, QStringLiteral("quillmere: %1\n").arg(text));
}

bool hasDisplay(const Request& request)
{
    if (request.displayGiven)
        return true;
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    const bool x11 = !qEnvironmentVariableIsEmpty("DISPLAY");
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (platform.isEmpty())
        return x11 || wayland;
    if (platform.startsWith(QStringLiteral("xcb")))
        return x11;
    if (platform.startsWith(QStringLiteral("wayland")))
        return wayland;
    return true; // offscreen, vnc and the like need no display of the user's
}

} // namespace CommandLine
