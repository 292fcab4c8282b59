// The monkey test: long random sequences of user steps against the composed
// main window, with a generated catalogue whose files exist in a scratch
// folder, checking invariants after every step.
//
//   quillmere_monkey [--seed N] [--steps N] [--seconds N] [--nodes N]
//                    [--log FILE] [--verbose] [--tail N] [--skip A,B-C,...]
//                    [--tester-every N] [--hang-seconds N] [--base FOLDER]
//                    [--no-guard] [--no-to TEXT]...
//
// The same seed and steps replay the same run (each step has a generator of
// its own, so --skip can leave steps out while the rest stay the same).
// --no-to answers No to every question that holds the text, to look past a
// known fault.
#include "Monkey.h"
#include "Rng.h"
#include "World.h"
#include "forms/Application.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <cstdio>
#include <cstring>
#include <string>

namespace
{

Monkey* g_monkey = nullptr;

// Qt's own words about what went wrong inside the models and views.
bool faultyWarning(const char* category, const QString& text)
{
    if (category && std::strcmp(category, "qt.modeltest") == 0)
        return true;
    static const char* const marks[] = {"Invalid index",         "invalid index", "ASSERT",
                                        "QPersistentModelIndex", "endRemoveRows", "endInsertRows",
                                        "endMoveRows",           "beginMoveRows", "out of range",
                                        "QAbstractItemModel",    "dangling"};
    for (const char* mark : marks)
        if (text.contains(QLatin1String(mark)))
            return true;
    return false;
}

// What the input events themselves cause and says nothing of the program.
bool noise(const QString& text)
{
    static const char* const marks[] = {"not accepted by receiving widget", "propagateSizeHints",
                                        "QFont::", "This plugin does not support"};
    for (const char* mark : marks)
        if (text.contains(QLatin1String(mark)))
            return true;
    return false;
}

void onMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtDebugMsg || type == QtInfoMsg || noise(text))
        return;
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "monkey: Qt fatal: %s\n", qPrintable(text));
        std::abort(); // the crash report prints the steps
    }
    if (!g_monkey) {
        std::fprintf(stderr, "%s\n", qPrintable(text));
        return;
    }
    if (faultyWarning(context.category, text))
        g_monkey->fault(QStringLiteral("Qt warns: ") + text);
    else
        g_monkey->note(QStringLiteral("Qt says: ") + text);
}

bool parseSkip(const QString& text, QSet<qint64>* out)
{
    for (const QString& part : text.split(u',', Qt::SkipEmptyParts)) {
        const QStringList ends = part.split(u'-');
        bool ok1 = false, ok2 = true;
        const qint64 from = ends.value(0).toLongLong(&ok1);
        const qint64 to = ends.size() > 1 ? ends.value(1).toLongLong(&ok2) : from;
        if (!ok1 || !ok2 || ends.size() > 2 || to < from)
            return false;
        for (qint64 i = from; i <= to; ++i)
            out->insert(i);
    }
    return true;
}

int usage()
{
    std::fprintf(stderr, "usage: quillmere_monkey [--seed N] [--steps N] [--seconds N] [--nodes N] "
                         "[--log FILE] [--verbose] [--tail N] [--skip A,B-C] [--tester-every N] "
                         "[--hang-seconds N] [--base FOLDER] [--no-guard] [--no-to TEXT]...\n");
    return 2;
}

} // namespace

int main(int argc, char* argv[])
{
    Monkey::Options options;
    QString base;
    bool guard = true;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        const auto value = [&]() -> QString {
            return i + 1 < argc ? QString::fromLocal8Bit(argv[++i]) : QString();
        };
        bool ok = true;
        if (arg == u"--seed")
            options.seed = value().toULongLong(&ok);
        else if (arg == u"--steps")
            options.steps = value().toLongLong(&ok);
        else if (arg == u"--seconds")
            options.seconds = value().toInt(&ok);
        else if (arg == u"--nodes")
            options.nodes = value().toInt(&ok);
        else if (arg == u"--tail")
            options.tail = value().toInt(&ok);
        else if (arg == u"--tester-every")
            options.testerEvery = value().toInt(&ok);
        else if (arg == u"--hang-seconds")
            options.hangSeconds = value().toInt(&ok);
        else if (arg == u"--log")
            options.logPath = value();
        else if (arg == u"--verbose")
            options.verbose = true;
        else if (arg == u"--skip")
            ok = parseSkip(value(), &options.skip);
        else if (arg == u"--no-to")
            options.noTo << value();
        else if (arg == u"--base")
            base = value();
        else if (arg == u"--no-guard")
            guard = false;
        else
            return usage();
        if (!ok)
            return usage();
    }

    // The scratch folder and the guard come first: a mount namespace can
    // only be entered while the process has one thread.
    World world(base);
    if (!world.valid()) {
        std::fprintf(stderr, "monkey: cannot make a scratch folder\n");
        return 2;
    }
    // The log is written from outside the scratch folder's guard.
    QStringList writable;
    if (!options.logPath.isEmpty()) {
        QFile log(options.logPath);
        if (!log.open(QIODevice::WriteOnly)) {
            std::fprintf(stderr, "monkey: cannot write %s\n", qPrintable(options.logPath));
            return 2;
        }
        options.logPath = QFileInfo(log).absoluteFilePath();
        writable << options.logPath;
    }
    QString why;
    if (guard && !world.guardOutside(writable, &why))
        std::fprintf(stderr, "monkey: writes outside the scratch folder are NOT blocked (%s)\n",
                     qPrintable(why));
    world.enter();
    // No display: the minimal platform, whose drags are Qt's own in-process
    // ones (the offscreen platform's drags end before they begin).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "minimal:enable_fonts");
    qputenv("QT_HASH_SEED", "0"); // the same hashing order in every replay
    MonkeyLog::open(options.logPath, options.verbose);
    qInstallMessageHandler(onMessage);

    Application app(argc, argv);
    // Each key of a keyboard search stands alone: joined to the one before
    // only while the user types on, which would depend on the machine's pace.
    QApplication::setKeyboardInputInterval(0);
    Rng generator(options.seed);
    world.generate(generator, options.nodes);
    Monkey monkey(options, world);
    g_monkey = &monkey;
    const int code = monkey.run();
    g_monkey = nullptr;
    return code;
}
