#include "utils/MovedFileSearch.h"
#include "utils/SystemPaths.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace FileUtils
{

namespace
{

// One read of a folder takes this many bytes of entries: large enough that
// most folders are read in one call.
constexpr size_t DirentBufferBytes = 64 * 1024;
// How often (in folders) the caller is asked whether to go on when the
// progress has not moved.
constexpr int FoldersPerCheck = 64;
constexpr int Permille = 1000;

// The records getdents64 fills in.
struct LinuxDirent64 {
    ino64_t d_ino;
    off64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[];
};

// File systems that hold no files of the user's.
constexpr const char* VirtualFileSystems[] = {
    "proc",       "sysfs",  "devtmpfs", "devpts",      "tmpfs",    "cgroup",          "cgroup2",
    "securityfs", "pstore", "debugfs",  "tracefs",     "configfs", "fusectl",         "mqueue",
    "hugetlbfs",  "bpf",    "autofs",   "binfmt_misc", "efivarfs", "squashfs",        "nsfs",
    "rpc_pipefs", "ramfs",  "overlay",  "selinuxfs",   "nfsd",     "fuse.gvfsd-fuse", "fuse.portal",
    "fuse.lxcfs", "devfs",
};

// Mount points below these hold the system, not the user's files; removable
// media mounted under /run/media are the exception.
constexpr const char* SystemFolders[] = {"/proc", "/sys", "/dev", "/run", "/boot", "/efi",
                                         "/snap", "/usr", "/etc", "/var", "/opt",  "/tmp"};

struct Mount {
    QByteArray point;
    QByteArray type;
};

// /proc/self/mounts writes blanks, tabs, line breaks and backslashes in
// paths as octal escapes.
QByteArray unescapeMountPath(const QByteArray& field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const QByteArray digits = field.mid(i + 1, 3);
            bool ok = false;
            const int c = digits.toInt(&ok, 8);
            if (ok && digits.size() == 3) {
                out += char(c);
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

std::vector<Mount> mounts()
{
    std::vector<Mount> out;
    QFile file(QStringLiteral("/proc/self/mounts"));
    if (!file.open(QIODevice::ReadOnly))
        return out;
    // A pseudo file: its size reads as 0, so it is read to its end.
    const QByteArray all = file.readAll();
    for (const QByteArray& line : all.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 3)
            continue;
        out.push_back({unescapeMountPath(fields[1]), fields[2]});
    }
    return out;
}

bool isUnder(const QByteArray& path, const QByteArray& folder)
{
    if (folder == "/")
        return path.startsWith('/');
    return path == folder || (path.startsWith(folder) && path[folder.size()] == '/');
}

QByteArray cleanNative(const QString& path)
{
    QByteArray p = Sys::native(QDir::cleanPath(path));
    while (p.size() > 1 && p.endsWith('/'))
        p.chop(1);
    return p;
}

QByteArray asciiLower(QByteArrayView name)
{
    QByteArray out(name.data(), name.size());
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = char(c + ('a' - 'A'));
    return out;
}

qint64 seconds(const struct stat& st)
{
    return qint64(st.st_mtim.tv_sec);
}

} // namespace

MovedFileSearch::MovedFileSearch(std::vector<LostTarget> lost, QStringList roots)
    : m_lost(std::move(lost)), m_roots(std::move(roots)), m_candidates(m_lost.size())
{
    for (LostTarget& t : m_lost)
        while (t.path.size() > 1 && t.path.endsWith(u'/'))
            t.path.chop(1);
}

void MovedFileSearch::setExcluded(const QStringList& folders)
{
    m_excluded = folders;
}

bool MovedFileSearch::isVirtualFileSystem(const QByteArray& type)
{
    return std::any_of(std::begin(VirtualFileSystems), std::end(VirtualFileSystems),
                       [&type](const char* t) { return type == t; });
}

QStringList MovedFileSearch::defaultRoots()
{
    const QByteArray home = cleanNative(QDir::homePath());
    std::vector<QByteArray> roots{home};
    for (const Mount& m : mounts()) {
        if (isVirtualFileSystem(m.type) || m.point == "/")
            continue;
        const bool system =
            std::any_of(std::begin(SystemFolders), std::end(SystemFolders),
                        [&m](const char* f) { return isUnder(m.point, QByteArray(f)); });
        if (system && !isUnder(m.point, "/run/media"))
            continue;
        roots.push_back(m.point);
    }
    // A volume inside another searched folder is searched with it.
    QStringList out;
    for (const QByteArray& r : roots) {
        const bool inside = std::any_of(roots.begin(), roots.end(), [&r](const QByteArray& o) {
            return o != r && isUnder(r, o);
        });
        const QString decoded = QFile::decodeName(r);
        if (!inside && !out.contains(decoded))
            out << decoded;
    }
    return out;
}

QStringList MovedFileSearch::defaultExcluded()
{
    QStringList out;
    for (const Mount& m : mounts())
        if (isVirtualFileSystem(m.type))
            out << QFile::decodeName(m.point);
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (!data.isEmpty())
        out << QDir(data).filePath(QStringLiteral("Trash"));
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (!cache.isEmpty())
        out << cache;
    return out;
}

bool MovedFileSearch::better(const LostTarget& lost, const Candidate& a, const Candidate& b)
{
    if (a.match != b.match)
        return a.match < b.match;
    if (lost.modified >= 0) {
        const qint64 da = std::llabs(a.modified - lost.modified);
        const qint64 db = std::llabs(b.modified - lost.modified);
        if (da != db)
            return da < db;
    } else if (a.modified != b.modified) {
        return a.modified > b.modified;
    }
    return a.path < b.path;
}

void MovedFileSearch::run(const std::function<bool(int)>& keepGoing,
                          const std::function<void(int, const Candidate&)>& found)
{
    m_cancelled = false;
    lookInOldFolders(found);
    walk(keepGoing, found);
    for (size_t i = 0; i < m_lost.size(); ++i) {
        const LostTarget& lost = m_lost[i];
        std::sort(m_candidates[i].begin(), m_candidates[i].end(),
                  [&lost](const Candidate& a, const Candidate& b) { return better(lost, a, b); });
    }
}

void MovedFileSearch::consider(int lost, const QByteArray& path, const QByteArray& name, bool isDir,
                               qint64 size, qint64 modified, bool renamed,
                               const std::function<void(int, const Candidate&)>& found)
{
    const LostTarget& target = m_lost[size_t(lost)];
    if (target.kind != TargetKind::Unknown && isDir != (target.kind == TargetKind::Folder))
        return;
    Candidate c;
    c.path = QFile::decodeName(path);
    if (c.path == target.path)
        return; // back where it was
    for (const Candidate& known : m_candidates[size_t(lost)])
        if (known.path == c.path)
            return;
    c.size = size;
    c.modified = modified;
    c.folder = isDir;
    const bool sameSize = !isDir && target.size >= 0 && size == target.size;
    const bool sameTime = target.modified >= 0 && modified == target.modified;
    if (renamed)
        c.match = CandidateMatch::Renamed;
    else if (name != Sys::nameOf(Sys::native(target.path)))
        c.match = CandidateMatch::NameOtherCase;
    else if (sameSize)
        c.match = sameTime ? CandidateMatch::NameSizeTime : CandidateMatch::NameSize;
    else
        c.match = CandidateMatch::Name;
    m_candidates[size_t(lost)].push_back(c);
    if (found)
        found(lost, c);
}

void MovedFileSearch::lookInOldFolders(const std::function<void(int, const Candidate&)>& found)
{
    // A file renamed where it was keeps its size and time; only those of
    // known size and time can be told by them.
    QHash<QByteArray, QList<int>> byFolder;
    for (size_t i = 0; i < m_lost.size(); ++i) {
        const LostTarget& t = m_lost[i];
        if (t.kind != TargetKind::Folder && t.size >= 0 && t.modified >= 0)
            byFolder[Sys::parentOf(Sys::native(t.path))].append(int(i));
    }
    for (auto it = byFolder.cbegin(); it != byFolder.cend(); ++it) {
        std::vector<QByteArray> names;
        if (!Sys::readNames(it.key(), names))
            continue;
        for (const QByteArray& name : names) {
            const QByteArray path = Sys::child(it.key(), name);
            struct stat st;
            if (::stat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode))
                continue;
            for (int lost : it.value()) {
                const LostTarget& t = m_lost[size_t(lost)];
                if (st.st_size == t.size && seconds(st) == t.modified)
                    consider(lost, path, name, false, st.st_size, seconds(st), true, found);
            }
        }
    }
}

void MovedFileSearch::walk(const std::function<bool(int)>& keepGoing,
                           const std::function<void(int, const Candidate&)>& found)
{
    // Every lost name, without the case of its letters, and the lengths
    // they have: most names in a folder are passed over on their length.
    QHash<QByteArray, QList<int>> wanted;
    std::vector<bool> wantedLength(NAME_MAX + 1, false);
    for (size_t i = 0; i < m_lost.size(); ++i) {
        const QByteArray name = Sys::nameOf(Sys::native(m_lost[i].path));
        if (name.isEmpty() || name.size() > NAME_MAX)
            continue;
        wanted[asciiLower(name)].append(int(i));
        wantedLength[size_t(name.size())] = true;
    }
    QSet<QByteArray> excluded;
    for (const QString& e : m_excluded)
        excluded.insert(cleanNative(e));

    // Each folder's share of the whole is split among its subfolders; the
    // progress is the share of the folders read through.
    struct Pending {
        QByteArray path;
        double share;
    };
    std::vector<Pending> pending;
    std::vector<QByteArray> roots;
    for (const QString& r : m_roots) {
        const QByteArray root = cleanNative(r);
        if (!root.isEmpty() && std::find(roots.begin(), roots.end(), root) == roots.end())
            roots.push_back(root);
    }
    // A root inside another one is walked with it.
    std::erase_if(roots, [&roots](const QByteArray& r) {
        return std::any_of(roots.begin(), roots.end(),
                           [&r](const QByteArray& o) { return o != r && isUnder(r, o); });
    });
    for (auto it = roots.rbegin(); it != roots.rend(); ++it)
        pending.push_back({*it, 1.0 / double(roots.size())});

    std::unique_ptr<char[]> buffer(new char[DirentBufferBytes]);
    double done = 0;
    int reported = -1, sinceCheck = 0;
    std::vector<QByteArray> subfolders;
    while (!pending.empty()) {
        const Pending folder = std::move(pending.back());
        pending.pop_back();
        subfolders.clear();
        // Roots may be links (a home folder elsewhere); what the walk finds
        // below them never is.
        const bool isRoot = std::find(roots.begin(), roots.end(), folder.path) != roots.end();
        const Sys::FileDescriptor fd(
            ::open(folder.path.constData(),
                   O_RDONLY | O_DIRECTORY | O_CLOEXEC | (isRoot ? 0 : O_NOFOLLOW)));
        for (;;) {
            if (fd.get() < 0)
                break;
            const long bytes = ::syscall(SYS_getdents64, fd.get(), buffer.get(), DirentBufferBytes);
            if (bytes <= 0)
                break;
            for (long at = 0; at < bytes;) {
                const auto* d = reinterpret_cast<const LinuxDirent64*>(buffer.get() + at);
                at += d->d_reclen;
                const char* name = d->d_name;
                if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                    continue;
                const size_t length = std::strlen(name);
                unsigned char type = d->d_type;
                if (type == DT_UNKNOWN) {
                    // Some file systems leave the type to a look of its own.
                    struct stat st;
                    if (::fstatat(fd.get(), name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                        continue;
                    type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISLNK(st.st_mode) ? DT_LNK : DT_REG;
                }
                const bool hidden = name[0] == '.';
                if (type == DT_DIR && !hidden) {
                    QByteArray child = folder.path;
                    if (!child.endsWith('/'))
                        child += '/';
                    child.append(name, qsizetype(length));
                    if (!excluded.contains(child))
                        subfolders.push_back(std::move(child));
                }
                if (length > NAME_MAX || !wantedLength[length])
                    continue;
                const QByteArrayView nameView(name, qsizetype(length));
                const auto hit = wanted.constFind(asciiLower(nameView));
                if (hit == wanted.cend())
                    continue;
                struct stat st;
                if (::fstatat(fd.get(), name, &st, 0) != 0)
                    continue;
                const QByteArray path = Sys::child(folder.path, nameView.toByteArray());
                for (int lost : *hit)
                    consider(lost, path, nameView.toByteArray(), S_ISDIR(st.st_mode),
                             S_ISDIR(st.st_mode) ? 0 : qint64(st.st_size), seconds(st), false,
                             found);
            }
        }
        if (subfolders.empty()) {
            done += folder.share;
        } else {
            const double share = folder.share / double(subfolders.size());
            for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it)
                pending.push_back({std::move(*it), share});
        }
        const int permille = std::min(Permille, int(done * Permille));
        if (permille != reported || ++sinceCheck >= FoldersPerCheck) {
            reported = permille;
            sinceCheck = 0;
            if (keepGoing && !keepGoing(permille)) {
                m_cancelled = true;
                return;
            }
        }
    }
    if (keepGoing)
        keepGoing(Permille);
}

} // namespace FileUtils
