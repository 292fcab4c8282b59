#include "utils/FileListing.h"
#include "utils/PathTests.h"
#include "utils/SystemPaths.h"

#include <QFile>

#include <algorithm>
#include <dirent.h>
#include <set>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace FileUtils
{

namespace
{

// The part of a mask after a leading '*' when the rest holds no wildcard
// (the common "*.pdf"), else null.
QString plainSuffixOf(const QString& mask)
{
    if (!mask.startsWith(u'*'))
        return QString();
    const QString rest = mask.mid(1);
    if (rest.contains(u'*') || rest.contains(u'?'))
        return QString();
    return rest;
}

bool globMatch(QStringView name, QStringView mask)
{
    qsizetype n = 0, m = 0, starM = -1, starN = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == u'*') {
            starM = m++;
            starN = n;
        } else if (m < mask.size() &&
                   (mask[m] == u'?' || mask[m].toCaseFolded() == name[n].toCaseFolded())) {
            ++m;
            ++n;
        } else if (starM >= 0) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == u'*')
        ++m;
    return m == mask.size();
}

bool lessByName(const QString& a, const QString& b)
{
    const int c = QString::compare(a, b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}

struct Walk {
    QString mask;
    QString suffix; // fast path for "*.ext"; empty when not usable
    bool all = false;
    QStringList* list = nullptr;
    std::set<std::pair<dev_t, ino_t>> seen;

    bool matches(const QString& name) const
    {
        if (all)
            return true;
        if (!suffix.isEmpty())
            return name.endsWith(suffix, Qt::CaseInsensitive);
        return globMatch(name, mask);
    }

    void walk(const QString& dir, const QByteArray& nativeDir)
    {
        DIR* d = ::opendir(nativeDir.constData());
        if (!d)
            return; // unreadable or gone: pass over it
        struct stat self;
        if (::fstat(::dirfd(d), &self) != 0 || !seen.insert({self.st_dev, self.st_ino}).second) {
            ::closedir(d); // walked already: a link loop or a second link to it
            return;
        }
        std::vector<QString> files, folders;
        while (const dirent* e = ::readdir(d)) {
            const char* raw = e->d_name;
            if (raw[0] == '.' && (raw[1] == 0 || (raw[1] == '.' && raw[2] == 0)))
                continue;
            bool isFile = e->d_type == DT_REG, isDir = e->d_type == DT_DIR;
            if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
                struct stat st;
                if (::fstatat(::dirfd(d), raw, &st, 0) == 0) {
                    isFile = S_ISREG(st.st_mode);
                    isDir = S_ISDIR(st.st_mode);
                }
            }
            if (isFile) {
                QString name = QFile::decodeName(raw);
                if (matches(name))
                    files.push_back(std::move(name));
            } else if (isDir && raw[0] != '.') {
                folders.push_back(QFile::decodeName(raw));
            }
        }
        ::closedir(d);
        std::sort(files.begin(), files.end(), lessByName);
        for (const QString& f : files)
            list->append(dir + f);
        std::sort(folders.begin(), folders.end(), lessByName);
        for (const QString& f : folders) {
            const QString sub = dir + f + u'/';
            walk(sub, Sys::native(sub));
        }
    }
};

} // namespace

bool matchesMask(const QString& name, const QString& mask)
{
    if (mask.isEmpty() || mask == u"*" || mask == u"*.*")
        return true;
    return globMatch(name, mask);
}

void listFiles(const QString& folder, const QString& mask, QStringList& list)
{
    if (!folder.isEmpty()) {
        Walk walk;
        walk.mask = mask;
        walk.all = mask.isEmpty() || mask == u"*" || mask == u"*.*";
        walk.suffix = plainSuffixOf(mask);
        walk.list = &list;
        const QString dir = withTrailingSlash(folder);
        walk.walk(dir, Sys::native(dir));
    }
    if (list.isEmpty())
        list.append(QStringLiteral("Files not found"));
}

} // namespace FileUtils
