#pragma once
#include <QString>
#include <QStringList>

// The program's command line. Help, version, the listing, the search and
// the data folder are answered without a window, a display or the running
// copy; items to file go to the running copy (started when there is none).
namespace CommandLine
{

enum class Mode { Run, Help, Version, List, Find, DataDir, Error };

// Exit statuses.
enum Status { Success = 0, NothingFound = 1, Failure = 2 };

struct Request {
    Mode mode = Mode::Run;
    QStringList items;         // absolute paths and addresses, in the order given
    QString category;          // the --category path as given; empty for the main category
    QString findText;          // --find
    QStringList refusals;      // one message per argument that is not filed
    QString error;             // what is wrong with the command line (Mode::Error)
    bool displayGiven = false; // a -platform or -display option says where the window goes
};

// The arguments of main (the program's name first) as Qt reads them.
QStringList arguments(int argc, char** argv);
// Reads Arguments; relative paths are taken from CurrentFolder.
Request parse(const QStringList& arguments, const QString& currentFolder);
// The text of --help.
QString helpText();
// Answers a request of any mode but Run on standard output and standard
// error; the exit status. ExeFolder is the executable's folder.
int runWithoutWindow(const Request& request, const QString& exeFolder);
// Prints the request's refusals on standard error.
void printRefusals(const Request& request);
// True when a window can be shown: the environment names a display (or a
// platform that needs none).
bool hasDisplay(const Request& request);

} // namespace CommandLine
