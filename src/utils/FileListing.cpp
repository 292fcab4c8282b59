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

namespace MyFileUtils
{

namespace
{

// The part of a mask after a leading '*' when the rest holds no wildcard
// (the common "*.pdf"), else null.
QString plainSuffixOf(const QString& Mask)
{
    if (!Mask.startsWith(u'*'))
        return QString();
    const QString rest = Mask.mid(1);
    if (rest.contains(u'*') || rest.contains(u'?'))
        return QString();
    return rest;
}

bool globMatch(QStringView Name, QStringView Mask)
{
    qsizetype n = 0, m = 0, starM = -1, starN = 0;
    while (n < Name.size()) {
        if (m < Mask.size() && Mask[m] == u'*') {
            starM = m++;
            starN = n;
        } else if (m < Mask.size() &&
                   (Mask[m] == u'?' || Mask[m].toCaseFolded() == Name[n].toCaseFolded())) {
            ++m;
            ++n;
        } else if (starM >= 0) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m < Mask.size() && Mask[m] == u'*')
        ++m;
    return m == Mask.size();
}

bool lessByName(const QString& A, const QString& B)
{
    const int c = QString::compare(A, B, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : A < B;
}

struct TWalk {
    QString Mask;
    QString Suffix; // fast path for "*.ext"; empty when not usable
    bool All = false;
    QStringList* List = nullptr;
    std::set<std::pair<dev_t, ino_t>> Seen;

    bool Matches(const QString& Name) const
    {
        if (All)
            return true;
        if (!Suffix.isEmpty())
            return Name.endsWith(Suffix, Qt::CaseInsensitive);
        return globMatch(Name, Mask);
    }

    void Walk(const QString& Dir, const QByteArray& NativeDir)
    {
        DIR* d = ::opendir(NativeDir.constData());
        if (!d)
            return; // unreadable or gone: pass over it
        struct stat self;
        if (::fstat(::dirfd(d), &self) != 0 || !Seen.insert({self.st_dev, self.st_ino}).second) {
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
                if (Matches(name))
                    files.push_back(std::move(name));
            } else if (isDir && raw[0] != '.') {
                folders.push_back(QFile::decodeName(raw));
            }
        }
        ::closedir(d);
        std::sort(files.begin(), files.end(), lessByName);
        for (const QString& f : files)
            List->append(Dir + f);
        std::sort(folders.begin(), folders.end(), lessByName);
        for (const QString& f : folders) {
            const QString sub = Dir + f + u'/';
            Walk(sub, Sys::native(sub));
        }
    }
};

} // namespace

bool MatchesMask(const QString& Name, const QString& Mask)
{
    if (Mask.isEmpty() || Mask == u"*" || Mask == u"*.*")
        return true;
    return globMatch(Name, Mask);
}

void ListFiles(const QString& Folder, const QString& Mask, QStringList& List)
{
    if (!Folder.isEmpty()) {
        TWalk walk;
        walk.Mask = Mask;
        walk.All = Mask.isEmpty() || Mask == u"*" || Mask == u"*.*";
        walk.Suffix = plainSuffixOf(Mask);
        walk.List = &List;
        const QString dir = IncludeBackslash(Folder);
        walk.Walk(dir, Sys::native(dir));
    }
    if (List.isEmpty())
        List.append(QStringLiteral("Files not found"));
}

} // namespace MyFileUtils
