#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueFile.h"
#include "catalogue/CatalogueSearch.h"
#include "catalogue/FileTypeIcons.h"
#include "utils/DataFolder.h"
#include "utils/TextUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QScopeGuard>
#include <QtConcurrent/QtConcurrentRun>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace FileUtils;

namespace
{

// The file-name part of a path: what follows its last delimiter.
QString fileNamePart(const QString& path)
{
    QString p = path;
    while (p.size() > 1 && p.endsWith(u'/'))
        p.chop(1);
    return p.mid(p.lastIndexOf(u'/') + 1);
}

} // namespace

Catalogue::Catalogue(QObject* parent) : QObject(parent), m_nodes(this)
{
    m_nodes.setImages(&m_images.small);
    connect(&m_nodes, &NodeTree::nodeDeleting, this, &Catalogue::forget);
}

Catalogue::~Catalogue()
{
    disconnect(&m_nodes, nullptr, this, nullptr);
    m_search.reset(); // before the tree it watches
}

CatalogueSearch& Catalogue::search()
{
    if (!m_search)
        m_search = std::make_unique<CatalogueSearch>(m_nodes);
    return *m_search;
}

QString Catalogue::dataFile(bool backup) const
{
    return QDir(m_folder).filePath(backup ? QStringLiteral("quillmere.bak")
                                          : QStringLiteral("quillmere.dat"));
}

QString Catalogue::legacyFile() const
{
    return QDir(m_folder).filePath(QStringLiteral("MyDocs.qmre"));
}

void Catalogue::forget(TreeNode* node)
{
    if (makerCategory && makerCategory->isUnder(node))
        makerCategory = nullptr;
    if (topCategory && topCategory->isUnder(node))
        topCategory = nullptr;
}

TreeNode* Catalogue::addLinkNode(const QString& path, TreeNode* target, const QString& title,
                                 bool isUrl)
{
    if (TextUtils::hasLineBreakOrNul(path))
        throw CatalogueError(
            QStringLiteral("This cannot be filed: its path or address contains a line break "
                           "or a NUL character, which the catalogue cannot store.\n\n%1")
                .arg(TextUtils::singleLine(path)));
    auto info = std::make_unique<NodeInfo>();
    info->fullName = path;
    PathFacts facts;
    if (isUrl) {
        info->kind = nkURL;
    } else {
        facts = probePath(path);
        info->kind = facts.isDir ? nkFolder : nkDoc;
    }
    // Users cannot file their own entries into the built-in category.
    if (makerCategory && target && (target == makerCategory || target->parent() == makerCategory) &&
        !path.contains(QStringView(MakerWebDomain), Qt::CaseInsensitive))
        target = topCategory;

    const int image = isUrl ? int(imgHyperlink) : addFileTypeIcon(facts);
    const QString name = isUrl ? TextUtils::singleLine(title) : fileNamePart(path);
    TreeNode* node;
    if (!target)
        node = m_nodes.addChild(nullptr, name); // no category to take it: a root entry
    else if (target->data() && target->data()->kind == nkCategory)
        node = m_nodes.addChild(target, name);
    else
        node = m_nodes.insertNode(target, name);
    m_nodes.setNodeData(node, std::move(info));
    m_nodes.setImage(node, image);
    if (target)
        m_nodes.expand(target, false);
    Q_EMIT listRefillRequested(node->parent());
    return node;
}

TreeNode* Catalogue::addCategoryNode(TreeNode* parent, const QString& name)
{
    auto info = std::make_unique<NodeInfo>();
    info->kind = nkCategory;
    if (makerCategory && parent && (parent == makerCategory || parent->parent() == makerCategory))
        parent = topCategory;
    TreeNode* node = m_nodes.addChild(parent, name);
    m_nodes.setNodeData(node, std::move(info));
    m_nodes.setImage(node, imgCategory);
    return node;
}

void Catalogue::fillCategoryNode(TreeNode* node, const QString& name, const QString& comments,
                                 const QString& additional)
{
    auto info = std::make_unique<NodeInfo>();
    info->kind = nkCategory;
    info->comments = comments;
    info->sAdditional = additional;
    m_nodes.setNodeData(node, std::move(info));
    m_nodes.setText(node, name);
    m_nodes.setImage(node, imgCategory);
}

void Catalogue::fillDocNode(TreeNode* node, const QString& name, const QString& path,
                            const QString& comments, const QString& additional, bool missing)
{
    fillDocNode(node, name, path, comments, additional, missing, probePath(path));
}

void Catalogue::fillDocNode(TreeNode* node, const QString& name, const QString& path,
                            const QString& comments, const QString& additional, bool missing,
                            const PathFacts& facts)
{
    auto info = std::make_unique<NodeInfo>();
    info->fullName = path;
    info->comments = comments;
    info->sAdditional = additional;
    info->kind = facts.isDir ? nkFolder : nkDoc; // the file system decides, not the stored code
    m_nodes.setNodeData(node, std::move(info));
    m_nodes.setImage(node, missing ? int(imgMissing) : addFileTypeIcon(facts));
    if (!name.isEmpty())
        m_nodes.setText(node, name);
}

void Catalogue::fillUrlNode(TreeNode* node, const QString& name, const QString& address,
                            const QString& comments, const QString& additional)
{
    auto info = std::make_unique<NodeInfo>();
    info->fullName = address;
    info->comments = comments;
    info->sAdditional = additional;
    info->kind = nkURL;
    m_nodes.setNodeData(node, std::move(info));
    m_nodes.setText(node, name.isEmpty() ? address : name);
    m_nodes.setImage(node, imgHyperlink);
}

int Catalogue::addFileTypeIcon(const QString& path)
{
    return addFileTypeIcon(probePath(path));
}

int Catalogue::addFileTypeIcon(const PathFacts& facts)
{
    if (!facts.exists)
        return imgMissing;
    if (!fileTypeIcons)
        return facts.isDir ? imgFolder : imgBlankPage;
    return m_images.addPair(fileTypeIcon(facts, false), fileTypeIcon(facts, true));
}

bool Catalogue::refreshNodeIcon(TreeNode* node, bool keepList)
{
    const QString path = node->data() ? node->data()->fullName : QString();
    const bool wasMissing = node->imageIndex() == imgMissing;
    const PathFacts facts = probePath(path);
    bool result = facts.exists;
    if (facts.exists == wasMissing) {
        const int image = addFileTypeIcon(facts);
        m_nodes.setImage(node, image);
        result = image != imgMissing;
    }
    if (!keepList)
        Q_EMIT listRefillRequested(node->parent());
    return result;
}

void Catalogue::createMakerCategory()
{
    makerCategory = addCategoryNode(nullptr, QStringLiteral("Velmarch"));
    if (m_nodes.rootCount() > 1)
        m_nodes.moveTo(makerCategory, nullptr, 0);
    TreeNode* maker = makerCategory;
    addLinkNode(QString::fromUtf16(MakerHomeURL), maker, QStringLiteral("Velmarch at the Web"),
                true);
    addLinkNode(QString::fromUtf16(ProductURL), maker, QStringLiteral("Quillmere at the Web"),
                true);
    addLinkNode(QString::fromUtf16(ProductFaqURL), maker, QStringLiteral("FAQ at the Web"), true);
}

void Catalogue::saveData(bool backup)
{
    if (makerCategory)
        m_nodes.deleteNode(makerCategory);
    try {
        // Another program may have taken the folder away: make it again, or,
        // where that cannot be done, keep the session in the user's data
        // folder and say where.
        if (!m_folder.isEmpty() && !QFileInfo(m_folder).isDir() && !DataFolder::make(m_folder)) {
            const QString fallback = DataFolder::userFolder();
            if (QDir::cleanPath(fallback) != QDir::cleanPath(m_folder) &&
                DataFolder::make(fallback)) {
                const QString gone = std::exchange(m_folder, fallback);
                m_fileStamp.reset(); // nothing this run read is there
                Q_EMIT saveNotice(
                    QStringLiteral("The folder of the catalogue, \"%1\", is gone and cannot be "
                                   "made again. The catalogue is now saved in \"%2\".")
                        .arg(QDir::toNativeSeparators(gone), QDir::toNativeSeparators(fallback)));
            }
        }
        const QString target = dataFile(backup);
        if (!backup && m_protectFile) {
            // The file could not be read nor kept aside: leave it as it is.
            if (writeSettingsHook)
                writeSettingsHook();
            dataSaved = true;
            return;
        }
        // Following a link to a regular file is fine (a catalogue kept in a
        // synced folder); replacing a device, FIFO or folder never is.
        const FileStamp before = FileStamp::of(target);
        if (before.exists && !before.regular)
            throw CatalogueError(
                QStringLiteral(
                    "Cannot write file \"%1\": it is not a regular file, so it was left as it is.")
                    .arg(target));
        if (!backup)
            checkForOutsideChange(target);
        // The whole file is written beside the target and then put in its
        // place, so a failure or a crash leaves the previous file intact.
        QSaveFile file(target);
        if (!file.open(QIODevice::WriteOnly))
            throw CatalogueError(
                QStringLiteral("Cannot create file \"%1\". %2").arg(target, file.errorString()));
        constexpr qsizetype chunkSize = 1 << 20;
        QByteArray chunk;
        chunk.reserve(chunkSize + 4096);
        auto flush = [&] {
            if (file.write(chunk) != chunk.size())
                throw CatalogueError(
                    QStringLiteral("Cannot write file \"%1\". %2").arg(target, file.errorString()));
            chunk.resize(0);
        };
        static const NodeInfo none;
        // Full order without recursion: no depth of nesting can exhaust the stack.
        const TreeNode* node = m_nodes.getFirstNode();
        int level = 0;
        while (node) {
            const NodeInfo* info = node->data() ? node->data() : &none;
            appendCatalogueLine(chunk, node->text(), level, info->fullName, info->comments,
                                info->getsKind(), info->sAdditional);
            if (chunk.size() >= chunkSize)
                flush();
            if (node->hasChildren()) {
                node = node->getFirstChild();
                ++level;
                continue;
            }
            while (node && !node->getNextSibling()) {
                node = node->parent();
                --level;
            }
            if (node)
                node = node->getNextSibling();
        }
        flush();
        if (!file.commit())
            throw CatalogueError(
                QStringLiteral("Cannot write file \"%1\". %2").arg(target, file.errorString()));
        if (!backup)
            m_fileStamp = FileStamp::of(target); // our own write is no outside change
        if (writeSettingsHook)
            writeSettingsHook();
        dataSaved = true;
    } catch (...) {
        // A failed backup must not cost the built-in category for the rest of the run.
        if (backup)
            createMakerCategory();
        throw;
    }
    if (backup)
        createMakerCategory();
}

void Catalogue::checkForOutsideChange(const QString& target)
{
    const FileStamp now = FileStamp::of(target);
    // Only a file that is there and differs from what this run last read or
    // wrote: a sync tool or a second copy put it there, and it must survive.
    if (!m_fileStamp || !now.exists || now == *m_fileStamp)
        return;
    const QString aside = keepAside(target, QStringLiteral(".conflict"), false);
    if (aside.isEmpty())
        throw CatalogueError(
            QStringLiteral("File \"%1\" was changed by another program while Quillmere ran, and "
                           "that version could not be kept aside, so it was left as it is. "
                           "Use \"Backup data\" to keep this run's catalogue.")
                .arg(target));
    Q_EMIT saveNotice(
        QStringLiteral(
            "File \"%1\" was changed by another program while Quillmere ran.\n"
            "That version was kept as \"%2\"; the catalogue of this run was saved in its "
            "place.")
            .arg(target, aside));
}

QString Catalogue::keepAside(const QString& path, const QString& suffix, bool move)
{
    const QByteArray from = QFile::encodeName(path);
    // Bounded: a folder full of old copies ends the search rather than the run.
    constexpr int maxCopies = 1000;
    for (int n = 0; n < maxCopies; ++n) {
        const QString aside = path + suffix + (n == 0 ? QString() : QStringLiteral(".%1").arg(n));
        const QByteArray to = QFile::encodeName(aside);
        struct stat st;
        if (::lstat(to.constData(), &st) == 0)
            continue; // never overwrite an older copy, nor write through a link
        if (errno != ENOENT)
            return {};
        if (move) {
            // link + unlink never replaces a name that appeared meanwhile.
            if (::link(from.constData(), to.constData()) == 0) {
                ::unlink(from.constData());
                return aside;
            }
            if (errno == EEXIST)
                continue;
            return QFile::rename(path, aside) ? aside : QString();
        }
        QFile source;
        if (!openRegularFile(path, source, nullptr))
            return {};
        const int fd =
            ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return {};
        }
        QFile copy;
        bool ok = copy.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle);
        while (ok) {
            const QByteArray block = source.read(1 << 20);
            if (block.isEmpty()) {
                ok = source.error() == QFileDevice::NoError;
                break;
            }
            ok = copy.write(block) == block.size();
        }
        ok = copy.flush() && ok && ::fsync(fd) == 0;
        copy.close();
        if (!ok) {
            ::unlink(to.constData());
            return {};
        }
        ::chmod(to.constData(), QFileInfo(path).permissions() & QFile::ReadOwner ? 0644 : 0600);
        return aside;
    }
    return {};
}

bool Catalogue::loadData(bool fromBackup)
{
    const QString path = dataFile(fromBackup);
    const FileStamp stamp = FileStamp::of(path);
    if (!fromBackup)
        m_fileStamp = stamp;
    if (!QFileInfo::exists(path))
        return false;

    auto finish = [this] {
        if (!makerCategory)
            createMakerCategory();
    };
    // When the file cannot be kept aside, the save at the end would write
    // over what could not be read: this run leaves it alone.
    auto protectUnlessKept = [this, fromBackup](const QString& aside) {
        if (fromBackup || !aside.isEmpty())
            return QString();
        m_protectFile = true;
        return QStringLiteral(
            "\nThe file could not be kept aside, so this run will not write over it: changes made "
            "now are not saved to it (\"Backup data\" still works).");
    };
    {
        // A file that exists but cannot be opened (or is no regular file)
        // must not be overwritten by the save at the end of the run.
        QFile probe;
        QString why;
        if (!openRegularFile(path, probe, &why)) {
            QString text = QStringLiteral("Cannot open file \"%1\". %2").arg(path, why);
            if (!fromBackup) {
                const QString aside =
                    stamp.regular ? keepAside(path, QStringLiteral(".damaged"), true) : QString();
                if (!aside.isEmpty())
                    text += QStringLiteral("\nThe file was moved to \"%1\".").arg(aside);
                text += protectUnlessKept(aside);
            } else {
                text += QStringLiteral("\nNothing was restored: the catalogue stays as it was.");
            }
            finish();
            throw CatalogueError(text);
        }
    }

    m_loading = true;
    auto loaded = qScopeGuard([this] { m_loading = false; });
    // The file's tree is built after the nodes there are now, which go only
    // once the whole file was read (a failed restore keeps them).
    const int oldRoots = m_nodes.rootCount();
    m_nodes.beginUpdate();
    CatalogueReader reader(path);
    reader.onProgress = progressHook;
    QObject receiver; // runs the hand-over on this thread
    std::atomic<bool> drainQueued{false};
    bool done = false;
    std::vector<TreeNode*> lastAt; // the last node placed at each depth
    std::vector<std::vector<CatalogueLineFields>> batches;
    std::exception_ptr failure;

    auto build = [&](const CatalogueLineFields& line) {
        TreeNode* parent = line.depth == 0 ? nullptr : lastAt[size_t(line.depth - 1)];
        TreeNode* node = m_nodes.addChild(parent, line.name);
        lastAt.resize(size_t(line.depth));
        lastAt.push_back(node);
        if (line.kindCode == u"1")
            fillCategoryNode(node, line.name, line.comments, line.additional);
        else if (line.kindCode == u"4")
            fillUrlNode(node, line.name, line.fullName, line.comments, line.additional);
        else
            fillDocNode(node, line.name, line.fullName, line.comments, line.additional, false,
                        line.facts);
    };
    auto drain = [&] {
        drainQueued = false;
        try {
            for (;;) {
                // Finished is set after the last batch went in, so reading it
                // first tells whether an empty queue means the end.
                const bool finished = reader.finished();
                batches.clear();
                if (!reader.takeBatches(batches)) {
                    if (finished)
                        done = true;
                    return;
                }
                for (auto& batch : batches)
                    for (const auto& line : batch)
                        build(line);
            }
        } catch (...) {
            failure = std::current_exception();
            reader.cancel();
        }
    };
    reader.onBatchReady = [&] {
        if (!drainQueued.exchange(true))
            QMetaObject::invokeMethod(&receiver, drain, Qt::QueuedConnection);
    };

    QFuture<void> work = QtConcurrent::run([&reader] { reader.run(); });
    // The GUI stays painted while the file is read, but takes no input.
    while (!done && !failure)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                        QEventLoop::WaitForMoreEvents);
    work.waitForFinished();
    batches.clear();
    lastAt.clear();

    QString error;
    if (failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const std::bad_alloc&) {
            error = QStringLiteral("Not enough memory to read file \"%1\".").arg(path);
        } catch (const std::exception& e) {
            error = QString::fromUtf8(e.what());
        }
    } else {
        error = reader.error();
    }
    const int newRoots = m_nodes.rootCount() - oldRoots;
    if (!error.isEmpty() && fromBackup) {
        m_nodes.deleteRoots(oldRoots, newRoots);
        m_nodes.endUpdate();
        finish();
        throw CatalogueError(
            error + QStringLiteral("\nNothing was restored: the catalogue stays as it was."));
    }
    m_nodes.deleteRoots(0, oldRoots);
    m_nodes.endUpdate();
    topCategory = m_nodes.getFirstNode();
    if (!error.isEmpty()) {
        // The save at the end of the run would write the shorter tree over the
        // file: keep the whole file. A file that failed to read may fail to
        // copy too, so that one is moved aside instead.
        const QString aside = keepAside(path, QStringLiteral(".damaged"), !reader.malformed());
        error += aside.isEmpty() ? QStringLiteral("\nThe lines from here on were not loaded.")
                                 : QStringLiteral("\nThe lines from here on were not loaded. The "
                                                  "whole file was kept as \"%1\".")
                                       .arg(aside);
        error += protectUnlessKept(aside);
        finish();
        throw CatalogueError(error);
    }
    finish();
    return true;
}

QString Catalogue::buildLegacyTree(const QString& path)
{
    QFile file;
    QString why;
    if (!openRegularFile(path, file, &why))
        throw CatalogueError(QStringLiteral("Cannot open file \"%1\". %2").arg(path, why));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw CatalogueError(
            QStringLiteral("Cannot read file \"%1\". %2").arg(path, file.errorString()));
    m_nodes.clear();
    std::vector<TreeNode*> lastAt;
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        // Lines end in CR LF, LF or CR.
        qsizetype end = pos;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        const QByteArrayView raw(bytes.constData() + pos, end - pos);
        pos = end;
        if (pos < bytes.size() && bytes[pos] == '\r')
            ++pos;
        if (pos < bytes.size() && bytes[pos] == '\n' && (pos == end + 1 || bytes[end] == '\n'))
            ++pos;
        qsizetype indent = 0;
        while (indent < raw.size() && (raw[indent] == '\t' || raw[indent] == ' '))
            ++indent;
        const QByteArrayView rest = raw.sliced(indent);
        // NUL and U+001A cannot be stored: dropped here, or the entry would
        // change on the next load.
        const QString text = TextUtils::singleLine(decodeField(rest));
        const qsizetype level = indent;
        int depth = 0;
        if (!lastAt.empty()) {
            // What came before the bad line stays; the caller says the rest was not read.
            if (level > qsizetype(lastAt.size()) || level > MaxCatalogueDepth)
                return QStringLiteral("Invalid level (%1) for item \"%2\"")
                    .arg(level)
                    .arg(TextUtils::excerpt(text));
            depth = int(level);
        }
        TreeNode* node = m_nodes.addChild(depth == 0 ? nullptr : lastAt[size_t(depth - 1)], text);
        lastAt.resize(size_t(depth));
        lastAt.push_back(node);
    }
    return {};
}

void Catalogue::importLegacyData()
{
    const QString legacy = legacyFile();
    const QString copy = QDir(m_folder).filePath(QStringLiteral("MyDocs.~qmre"));
    if (QFile::exists(legacy) && !isEmptyTextFile(legacy)) {
        Q_EMIT statusMessage(QStringLiteral("Data loading..."));
        m_nodes.beginUpdate();
        QString malformed;
        try {
            malformed = buildLegacyTree(legacy);
            const int count = m_nodes.count();
            int index = 0;
            for (TreeNode *node = m_nodes.getFirstNode(), *next = nullptr; node;
                 node = next, ++index) {
                next = node->getNext();
                if (progressHook)
                    progressHook(int(qint64(index) * 1000 / count));
                const QStringList pieces =
                    TextUtils::splitToArray(node->text(), QStringLiteral("~"));
                const QString name = pieces.value(0), path = pieces.value(1),
                              comment = pieces.value(2);
                if (isLocalPath(path)) {
                    const PathFacts facts = probePath(path);
                    TreeNode* nodeAfter = node;
                    while (nodeAfter && !nodeAfter->getNextSibling())
                        nodeAfter = nodeAfter->parent();
                    if (nodeAfter)
                        nodeAfter = nodeAfter->getNextSibling();
                    if (facts.exists)
                        fillDocNode(node, name, path, comment, QString(), false, facts);
                    else if (askNewLocationHook) {
                        // The question may remove the node with everything below it.
                        if (!askNewLocationHook(name, path, node, comment))
                            next = nodeAfter;
                    } else
                        fillDocNode(node, name, path, comment, QString(), true, facts);
                } else if (isUrl(path)) {
                    fillUrlNode(node, name, path, comment, QString());
                } else {
                    fillCategoryNode(node, name, comment, QString());
                }
            }
        } catch (...) {
            m_nodes.endUpdate();
            Q_EMIT statusMessage(QString());
            throw;
        }
        m_nodes.endUpdate();
        Q_EMIT statusMessage(QString());
        if (!malformed.isEmpty()) {
            // The entries before the bad line are proper records now; the whole
            // file is kept so that nothing after it is lost.
            const QString aside = keepAside(legacy, QStringLiteral(".damaged"), false);
            throw CatalogueError(
                malformed +
                (aside.isEmpty()
                     ? QStringLiteral("\nThe entries before that line were imported.")
                     : QStringLiteral(
                           "\nThe entries before that line were imported. The whole file was "
                           "kept as \"%1\".")
                           .arg(aside)));
        }
        QFile::remove(copy);
        QFile::copy(legacy, copy);
        return;
    }
    if (QFile::exists(legacy))
        QFile::remove(legacy);
    if (QFile::rename(copy, legacy)) {
        importLegacyData();
        Q_EMIT statusMessage(QStringLiteral("Old data are restored!"));
        return;
    }
    // Nothing to import: the first node becomes the user's first category.
    if (TreeNode* first = m_nodes.getFirstNode())
        fillCategoryNode(first, first->text(), QString(), QString());
}
