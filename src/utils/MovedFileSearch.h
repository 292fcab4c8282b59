#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace FileUtils
{

// Whether a lost target was a file or a folder, when that is known.
enum class TargetKind { File, Folder, Unknown };

// What is known of a file or folder that is no longer where a link points.
struct LostTarget {
    QString path;
    TargetKind kind = TargetKind::File;
    qint64 size = -1;     // a file's size; -1 when not known
    qint64 modified = -1; // seconds since the epoch; -1 when not known
};

// How a found file fits a lost one, best first.
enum class CandidateMatch {
    NameSizeTime, // same name, size and modification time
    NameSize,     // same name and size
    Renamed,      // another name in the old folder, same size and time
    Name,         // same name, other or unknown size
    NameOtherCase // the name differs in the case of its letters only
};

struct Candidate {
    QString path;
    qint64 size = 0;
    qint64 modified = 0; // seconds since the epoch
    CandidateMatch match = CandidateMatch::Name;
    bool folder = false;
};

// Finds where lost files and folders went: one walk over the given folders
// looks for every lost name at once (without asking the file system about
// any entry whose name does not fit), and each lost file's old folder is
// looked through for a file of the same size and time under another name.
// Hidden folders are not entered, nor the trash, the caches, the folders
// given as excluded, or any file system mounted inside that holds no files
// of the user's (proc, sysfs, tmpfs and the like). Links to folders are not
// followed, so the walk always ends.
class MovedFileSearch
{
public:
    MovedFileSearch(std::vector<LostTarget> lost, QStringList roots);

    // Folders not to enter (with everything below them).
    void setExcluded(const QStringList& folders);

    // Runs the search on the calling thread. KeepGoing is called now and
    // then with the progress in thousandths; returning false ends the
    // search, with the candidates found so far. Found is called for each
    // candidate as it is found (before ranking).
    void run(const std::function<bool(int permille)>& keepGoing,
             const std::function<void(int lost, const Candidate&)>& found = {});

    // The candidates of each lost target, best first: by how they fit, then
    // by the nearest modification time (the newest when the lost one's is
    // not known), then by path.
    const std::vector<std::vector<Candidate>>& candidates() const { return m_candidates; }
    const std::vector<LostTarget>& lost() const { return m_lost; }
    bool cancelled() const { return m_cancelled; }

    // Where the assistant looks: the home folder and the mounted volumes of
    // file systems that hold files (not the root file system as a whole,
    // and no volume inside another one searched).
    static QStringList defaultRoots();
    // The folders a search never enters on this system: the trash, the
    // caches, and the mount points of file systems without user files.
    static QStringList defaultExcluded();
    // Whether a file system type holds no files of the user's.
    static bool isVirtualFileSystem(const QByteArray& type);

    // Orders two candidates of Lost as candidates() does.
    static bool better(const LostTarget& lost, const Candidate& a, const Candidate& b);

private:
    void walk(const std::function<bool(int)>& keepGoing,
              const std::function<void(int, const Candidate&)>& found);
    void lookInOldFolders(const std::function<void(int, const Candidate&)>& found);
    void consider(int lost, const QByteArray& path, const QByteArray& name, bool isDir, qint64 size,
                  qint64 modified, bool renamed,
                  const std::function<void(int, const Candidate&)>& found);

    std::vector<LostTarget> m_lost;
    QStringList m_roots;
    QStringList m_excluded;
    std::vector<std::vector<Candidate>> m_candidates;
    bool m_cancelled = false;
};

} // namespace FileUtils
