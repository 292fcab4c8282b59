#include "World.h"
#include "Rng.h"
#include "catalogue/CatalogueFile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace
{

// Words of names: plain, accented, other scripts, and marks that mean
// something to a formatter, a shell or a menu.
const char* const Words[] = {
    "report",  "plan",     "notes",     "budget",    "Reports",    "minutes",     "draft",
    "final",   "copy",     "old",       "new",       "archive",    "letters",     "photos",
    "invoice", "contract", "tax",       "holiday",   "recipes",    "music",       "scan",
    "readme",  "todo",     "ideas",     "work",      "home",       "project",     "data",
    "Résumé",  "naïve",    "Übersicht", "café",      "日本語",     "ελληνικά",    "русский",
    "עברית",   "العربية",  "🎉 party",   "a&b",       "50% off",    "%s %d",       "\"quoted\"",
    "it's",    "#1",       "[draft]",   "-dash",     "x",          "é",           "ﬁle",
    "UPPER",   "lower",    "MiXeD",     "tab\there", "semi;colon", "back\\slash", "$HOME",
};
const char* const Extensions[] = {".txt", ".odt", ".pdf", ".png", ".md", "", ".tar.gz", ".TXT"};
const char* const AdditionalValues[] = {"red", "green", "blue", "Done", "Later", "&Urgent"};

QString cleanFileName(QString name)
{
    name.replace(u'/', u'-');
    name.remove(QChar(0));
    if (name.isEmpty() || name == u"." || name == u"..")
        name = QStringLiteral("unnamed");
    // Within the file system's 255 bytes with room for a number and an extension.
    while (name.toUtf8().size() > 200)
        name.chop(1);
    return name;
}

QString randomUrl(Rng& rng)
{
    switch (rng.below(6)) {
    case 0:
        return QStringLiteral("https://example.org/page/%1").arg(rng.below(1000));
    case 1: {
        const QString word = World::randomWord(rng);
        return QStringLiteral("http://www.example.com/%1?q=%2&x=1").arg(word).arg(rng.below(99));
    }
    case 2:
        return QStringLiteral("www.example.net/%1").arg(rng.below(100));
    case 3:
        return QStringLiteral("mailto:someone%1@example.org").arg(rng.below(50));
    case 4:
        return QStringLiteral("ftp://files.example.org/pub/%1").arg(rng.below(100));
    default:
        return QStringLiteral("https://example.org/%1#%2")
            .arg(QString::fromUtf8(QUrl::toPercentEncoding(World::randomWord(rng))))
            .arg(rng.below(10));
    }
}

struct Line {
    QString name, path, comments, additional;
    int level = 0;
    char kind = '1';
};

unsigned long mountFlags(const char* path)
{
    struct statvfs st;
    if (::statvfs(path, &st) != 0)
        return 0;
    unsigned long flags = 0;
    const std::pair<unsigned long, unsigned long> map[] = {
        {ST_NOSUID, MS_NOSUID},   {ST_NODEV, MS_NODEV},           {ST_NOEXEC, MS_NOEXEC},
        {ST_NOATIME, MS_NOATIME}, {ST_NODIRATIME, MS_NODIRATIME}, {ST_RELATIME, MS_RELATIME},
    };
    for (const auto& [st_flag, ms_flag] : map)
        if (st.f_flag & st_flag)
            flags |= ms_flag;
    return flags;
}

// The mount points of this namespace, unescaped ("\040" is a blank).
QStringList mountPoints()
{
    QStringList out;
    QFile info(QStringLiteral("/proc/self/mountinfo"));
    if (!info.open(QIODevice::ReadOnly))
        return out;
    for (const QByteArray& line : info.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 5)
            continue;
        QByteArray point = fields[4];
        for (qsizetype i = point.indexOf('\\'); i >= 0 && i + 3 < point.size();
             i = point.indexOf('\\', i + 1))
            point.replace(i, 4, QByteArray(1, char(point.mid(i + 1, 3).toInt(nullptr, 8))));
        out << QFile::decodeName(point);
    }
    return out;
}

bool under(const QString& path, const QString& folder)
{
    return path == folder || path.startsWith(folder.endsWith(u'/') ? folder : folder + u'/');
}

} // namespace

World::World(const QString& base)
{
    QString folder = base;
    if (folder.isEmpty())
        folder = qEnvironmentVariable("TMPDIR", QStringLiteral("/tmp"));
    QByteArray pattern = QFile::encodeName(folder + QStringLiteral("/quillmere-monkey.XXXXXX"));
    if (char* made = ::mkdtemp(pattern.data()))
        m_root = m_real = QFileInfo(QFile::decodeName(made)).canonicalFilePath();
}

World::~World()
{
    if (m_keep || m_root.isEmpty())
        return;
    QDir(m_root).removeRecursively();
    if (!m_guarded)
        return;
    // The scratch folder is mounted at its fixed place, and really lies in
    // a folder made read-only: both are undone for this namespace so that
    // the folder itself can go.
    ::umount2(QFile::encodeName(m_root).constData(), MNT_DETACH);
    const QByteArray root = QFile::encodeName(m_real);
    const QByteArray parent = QFile::encodeName(QFileInfo(m_real).absolutePath());
    QString holder;
    for (const QString& point : mountPoints())
        if (under(QFile::decodeName(parent), point) && point.size() > holder.size())
            holder = point;
    const QByteArray holderBytes = QFile::encodeName(holder);
    ::mount(nullptr, holderBytes.constData(), nullptr,
            MS_REMOUNT | MS_BIND | mountFlags(holderBytes.constData()), nullptr);
    ::rmdir(root.constData());
}

bool World::inside(const QString& path) const
{
    return under(QDir::cleanPath(QDir(work()).absoluteFilePath(path)), m_root);
}

bool World::guardOutside(const QStringList& writable, QString* why)
{
    const auto failed = [why](const QString& what) {
        *why = what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        return false;
    };
    if (::unshare(CLONE_NEWNS) != 0)
        return failed(QStringLiteral("no private mount namespace"));
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return failed(QStringLiteral("mounts cannot be made private"));
    QString fixed;
    for (const QString& place : {QStringLiteral("/srv"), QStringLiteral("/media")})
        if (QFileInfo(place).isDir() && QDir(place).isEmpty())
            fixed = place;
    if (fixed.isEmpty())
        fixed = m_real;
    const QByteArray real = QFile::encodeName(m_real);
    const QByteArray root = QFile::encodeName(fixed);
    if (::mount(real.constData(), root.constData(), nullptr, MS_BIND | MS_REC, nullptr) != 0)
        return failed(QStringLiteral("the scratch folder cannot be mounted"));
    m_root = fixed;
    for (const QString& file : writable) {
        const QByteArray bytes = QFile::encodeName(file);
        if (::mount(bytes.constData(), bytes.constData(), nullptr, MS_BIND, nullptr) != 0)
            return failed(QStringLiteral("%1 cannot be kept writable").arg(file));
    }
    for (const QString& point : mountPoints()) {
        // The kernel's own trees and the devices stay; /dev/shm is a folder
        // like any other.
        if (under(point, m_root) || writable.contains(point) ||
            under(point, QStringLiteral("/proc")) || under(point, QStringLiteral("/sys")) ||
            point == u"/dev" || under(point, QStringLiteral("/dev/pts")) ||
            under(point, QStringLiteral("/dev/mqueue")))
            continue;
        const QByteArray bytes = QFile::encodeName(point);
        if (::mount(nullptr, bytes.constData(), nullptr,
                    MS_REMOUNT | MS_BIND | MS_RDONLY | mountFlags(bytes.constData()), nullptr) != 0)
            return failed(QStringLiteral("%1 cannot be made read-only").arg(point));
    }
    // Proof: the scratch folder takes a file, the root refuses one.
    const QByteArray inside = root + "/.guard";
    const int fd = ::open(inside.constData(), O_CREAT | O_WRONLY, 0600);
    if (fd < 0)
        return failed(QStringLiteral("the scratch folder is not writable"));
    ::close(fd);
    ::unlink(inside.constData());
    if (::mkdir("/quillmere-monkey-guard", 0700) == 0 || errno != EROFS) {
        ::rmdir("/quillmere-monkey-guard");
        *why = QStringLiteral("the root folder is still writable");
        return false;
    }
    m_guarded = true;
    return true;
}

void World::enter()
{
    const std::pair<const char*, const char*> folders[] = {
        {"HOME", "home"},
        {"XDG_CONFIG_HOME", "config"},
        {"XDG_DATA_HOME", "data"},
        {"XDG_CACHE_HOME", "cache"},
        {"XDG_STATE_HOME", "state"},
        {"XDG_RUNTIME_DIR", "run"},
        {"TMPDIR", "tmp"},
    };
    for (const auto& [variable, name] : folders) {
        const QString path = m_root + u'/' + QLatin1String(name);
        QDir().mkpath(path);
        qputenv(variable, QFile::encodeName(path));
    }
    QFile::setPermissions(m_root + QStringLiteral("/run"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    for (const QString& path : {files(), catalogueFolder(), work()})
        QDir().mkpath(path);
    QDir::setCurrent(work());
}

// ---------------------------------------------------------------- names

QString World::randomWord(Rng& rng)
{
    return QString::fromUtf8(rng.pick(Words));
}

QString World::randomName(Rng& rng)
{
    // One draw after the other: the order of a sum's operands is the
    // compiler's choice, and a seed must give the same names with any.
    const int kind = rng.below(100);
    const QString word = randomWord(rng);
    if (kind < 45)
        return word;
    if (kind < 65)
        return word + u' ' + randomWord(rng);
    if (kind < 80)
        return word + QString::number(rng.below(200));
    if (kind < 86)
        return u' ' + word + u' '; // blanks around
    if (kind < 90)
        return word + QChar(0x202E) + QStringLiteral("txt.exe"); // reads backwards
    if (kind < 93)
        return word.repeated(rng.between(20, 60)); // long
    if (kind < 96) {
        const QString other = randomWord(rng);
        return word + QStringLiteral(" - ") + other + QStringLiteral(" (") +
               QString::number(rng.below(9)) + u')';
    }
    return word.toUpper();
}

// ---------------------------------------------------------------- the files

void World::generate(Rng& rng, int nodes)
{
    // Folders three deep under files/, each with a few to many documents.
    QStringList folders{files()};
    for (int top = 0; top < 7; ++top) {
        const QString a = files() + u'/' + cleanFileName(randomName(rng));
        folders << a;
        for (int sub = rng.below(5); sub > 0; --sub) {
            const QString b = a + u'/' + cleanFileName(randomName(rng));
            folders << b;
            for (int deeper = rng.below(3); deeper > 0; --deeper)
                folders << b + u'/' + cleanFileName(randomWord(rng));
        }
    }
    folders.removeDuplicates();
    const int perFolder = std::max(3, nodes / 3 / int(folders.size()));
    for (const QString& folder : folders) {
        QDir().mkpath(folder);
        for (int n = rng.below(2 * perFolder); n > 0; --n) {
            const QString stem = cleanFileName(randomName(rng));
            const QString name = stem + QString::fromUtf8(rng.pick(Extensions));
            QFile file(folder + u'/' + name);
            if (file.exists())
                continue;
            if (file.open(QIODevice::WriteOnly))
                file.write(name.toUtf8().repeated(rng.between(1, 20)));
        }
    }
    rescan();

    // The catalogue: categories up to five deep, entries in each.
    std::vector<Line> lines;
    QStringList linked;
    const auto entry = [&](int level) {
        Line e;
        e.level = level;
        const int kind = rng.below(100);
        if (kind < 68) {
            e.kind = '2';
            e.path = !linked.isEmpty() && rng.chance(15) ? rng.pick(linked) : randomDocument(rng);
            linked << e.path;
            e.name = rng.chance(80) ? QFileInfo(e.path).fileName() : randomName(rng);
        } else if (kind < 73) {
            e.kind = '2';
            e.path = missingPath(rng);
            e.name = QFileInfo(e.path).fileName();
        } else if (kind < 82) {
            e.kind = '3';
            e.path = randomFolder(rng);
            e.name = QFileInfo(e.path).fileName();
        } else {
            e.kind = '4';
            e.path = randomUrl(rng);
            e.name = rng.chance(70) ? randomName(rng) : e.path;
        }
        return e;
    };
    const auto decorate = [&](Line& line) {
        if (rng.chance(30)) {
            const QString first = randomName(rng);
            line.comments = first + u' ' + randomWord(rng);
        }
        if (rng.chance(20))
            line.additional = QString::fromUtf8(rng.pick(AdditionalValues));
    };
    std::function<void(int)> category = [&](int level) {
        Line c;
        c.level = level;
        c.name = randomName(rng);
        decorate(c);
        lines.push_back(c);
        const int entries = rng.below(level == 0 ? 8 : 16);
        const int subcategories = level >= 4 ? 0 : rng.below(level == 0 ? 7 : 4);
        // Entries and subcategories mixed, as users file them.
        std::vector<char> order(size_t(entries), 0);
        order.insert(order.end(), size_t(subcategories), 1);
        for (size_t i = order.size(); i > 1; --i)
            std::swap(order[i - 1], order[size_t(rng.below(qsizetype(i)))]);
        for (char isCategory : order) {
            if (isCategory) {
                if (int(lines.size()) < nodes)
                    category(level + 1);
            } else {
                Line e = entry(level + 1);
                decorate(e);
                lines.push_back(e);
            }
        }
    };
    while (int(lines.size()) < nodes)
        category(0);

    QByteArray bytes;
    for (const Line& l : lines)
        appendCatalogueLine(bytes, l.name, l.level, l.path, l.comments, QChar(l.kind),
                            l.additional);
    QFile out(catalogueFolder() + QStringLiteral("/quillmere.dat"));
    if (out.open(QIODevice::WriteOnly))
        out.write(bytes);
}

void World::rescan()
{
    m_documents.clear();
    m_folders = QStringList{files()};
    QDirIterator it(files(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (it.fileInfo().isDir())
            m_folders << path;
        else
            m_documents << path;
    }
    // The listing's order is the file system's: sorted, a replay sees the same.
    m_documents.sort();
    m_folders.sort();
}

QString World::randomDocument(Rng& rng) const
{
    if (m_documents.isEmpty())
        return missingPath(rng);
    return m_documents[rng.below(m_documents.size())];
}

QString World::randomFolder(Rng& rng) const
{
    return m_folders.isEmpty() ? files() : m_folders[rng.below(m_folders.size())];
}

QString World::missingPath(Rng& rng) const
{
    QString folder = randomFolder(rng);
    if (rng.chance(30))
        folder += QStringLiteral("/gone ") + randomWord(rng);
    return folder + QStringLiteral("/gone %1.txt").arg(rng.below(100000));
}
