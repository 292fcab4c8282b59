#include "forms/main/RealFiles.h"
#include "catalogue/Catalogue.h"
#include "catalogue/Settings.h"
#include "components/MessageDialogs.h"
#include "utils/FileOperations.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>

namespace
{

// Path without "." and "..", and with its folders' links followed but not a
// link at its end: deleting or moving a link leaves its target alone.
QString asReached(const QString& path)
{
    const QString clean = QDir::cleanPath(path);
    if (clean == u"/" || !clean.startsWith(u'/'))
        return clean;
    const QFileInfo item(clean);
    const QString folder = QFileInfo(item.path()).canonicalFilePath();
    if (folder.isEmpty())
        return clean;
    return folder == u"/" ? u'/' + item.fileName() : folder + u'/' + item.fileName();
}

QString realPath(const QString& folder)
{
    const QString real = QFileInfo(folder).canonicalFilePath();
    return real.isEmpty() ? QDir::cleanPath(folder) : real;
}

// Inner is Outer or lies inside it.
bool covers(const QString& outer, const QString& inner)
{
    if (outer.isEmpty() || inner.isEmpty())
        return false;
    return inner == outer || outer == u"/" || inner.startsWith(outer + u'/');
}

} // namespace

namespace RealFiles
{

bool samePlace(const QString& a, const QString& b)
{
    if (a == b)
        return true;
    // Only local paths have other spellings; an address is its text.
    if (!a.startsWith(u'/') || !b.startsWith(u'/'))
        return false;
    if (QDir::cleanPath(a) == QDir::cleanPath(b))
        return true;
    const QString ra = QFileInfo(a).canonicalFilePath(), rb = QFileInfo(b).canonicalFilePath();
    return !ra.isEmpty() && ra == rb;
}

QString finalPath(const QString& source, const QString& destination)
{
    if (!destination.endsWith(u'/') && !QFileInfo(destination).isDir())
        return destination;
    const QString name = QFileInfo(QDir::cleanPath(source)).fileName();
    return QDir::cleanPath(destination + u'/' + name);
}

QString refusal(const Catalogue& catalogue, const QString& path, bool deleting)
{
    if (!path.startsWith(u'/'))
        return {};
    const QString written = QDir::cleanPath(path), reached = asReached(path);
    const struct {
        QString folder;
        const char* what;
    } own[] = {
        {catalogue.dataFolder(), "your catalogue"},
        {QFileInfo(SettingsStore::defaultFileName()).absolutePath(), "its settings"},
    };
    for (const auto& [folder, what] : own) {
        if (folder.isEmpty())
            continue;
        const QString asWritten = QDir::cleanPath(folder), real = realPath(folder);
        if (!covers(written, asWritten) && !covers(reached, real))
            continue;
        const QString cannot =
            QStringLiteral("\"%1\" cannot be %2: ")
                .arg(path, deleting ? QStringLiteral("deleted") : QStringLiteral("moved"));
        if (written == asWritten || reached == real)
            return cannot + QStringLiteral("the program keeps %1 in this folder.")
                                .arg(QString::fromLatin1(what));
        return cannot + QStringLiteral("the program keeps %1 in the folder \"%2\" inside it.")
                            .arg(QString::fromLatin1(what), folder);
    }
    return {};
}

QString moveOrCopy(const Catalogue& catalogue, const QString& source, const QString& destination,
                   bool move, QWidget* anchor)
{
    if (move) {
        if (const QString why = refusal(catalogue, source, false); !why.isEmpty()) {
            MessageDialogs::errorBox(why, anchor);
            return {};
        }
    }
    QString target = finalPath(source, destination);
    // Another spelling of where it is: moving a file onto itself could only lose it.
    if (samePlace(source, target))
        return {};
    const QFileInfo item(source), there(target);
    const bool folder = item.isDir() && !item.isSymLink();
    // A folder never goes into a folder of its name, nor a file into one,
    // as the file operations would do with a destination that is a folder.
    if ((there.exists() || there.isSymLink()) && (folder || there.isDir())) {
        const QString in = QFileInfo(there.path()).fileName();
        const QString question =
            QStringLiteral("A %1 named \"%2\" already exists in \"%3\".")
                .arg(there.isDir() ? QStringLiteral("folder") : QStringLiteral("file"),
                     there.fileName(), in.isEmpty() ? there.path() : in);
        if (MessageDialogs::askWithButtons(question,
                                           {{QMessageBox::Yes, QStringLiteral("Keep both")},
                                            {QMessageBox::Cancel, QStringLiteral("Cancel")}},
                                           QMessageBox::Cancel, anchor) != QMessageBox::Yes)
            return {};
        target = FileUtils::freeName(target, folder);
        if (target.isEmpty()) {
            MessageDialogs::errorBox(QStringLiteral("Cannot find a free name for \"%1\" in \"%2\".")
                                         .arg(there.fileName(), there.path()),
                                     anchor);
            return {};
        }
    }
    if (!FileUtils::copyOrMove(source, target, false, move))
        return {}; // the file operations told the user why
    return target;
}

} // namespace RealFiles

void RealFiles::keepMoveForUndo(Catalogue& catalogue, const QString& from, const QString& to,
                                QWidget* anchor)
{
    QPointer<QWidget> window(anchor);
    Catalogue* owner = &catalogue;
    // Back only to the very place it came from: any other place would leave
    // the links that the undo restores pointing at nothing.
    const auto moveExactly = [owner, window](const QString& source, const QString& target) {
        const QString now = moveOrCopy(*owner, source, target, true, window.data());
        if (now.isEmpty())
            return false;
        if (now != target) {
            MessageDialogs::errorBox(
                QStringLiteral("\"%1\" went to \"%2\", not to \"%3\": the catalogue keeps "
                               "its links as they are.")
                    .arg(QFileInfo(source).fileName(), now, target),
                window.data());
            return false;
        }
        return true;
    };
    catalogue.history().addOutside(
        [from, to, window, moveExactly] {
            const QFileInfo origin(from);
            if (!MessageDialogs::askYesNo(QStringLiteral("Move \"%1\" back to \"%2\"?")
                                              .arg(origin.fileName(), origin.path()),
                                          window.data()))
                return false;
            return moveExactly(to, from);
        },
        [from, to, moveExactly] { return moveExactly(from, to); });
}
