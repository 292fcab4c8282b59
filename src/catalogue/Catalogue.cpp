#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueFile.h"
#include "catalogue/CatalogueSave.h"
#include "catalogue/CatalogueSearch.h"
#include "catalogue/FileTypeIcons.h"
#include "utils/DataFolder.h"
#include "utils/TextUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <atomic>
#include <utility>

using namespace FileUtils;

namespace
{

// Longest the tree is built from read lines before the window gets a turn.
constexpr qint64 LoadSliceMs = 20;

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
    // The built-in category and the user's first one may come back with an
    // undo (of a restore, of a removal): known again, the save still leaves
    // the built-in one out and new entries find the first one.
    connect(&m_history, &EditHistory::replayed, this, [this] {
        for (int i = 0; i < m_nodes.rootCount() && !makerCategory; ++i)
            if (isMakerCategory(m_nodes.rootItem(i)))
                makerCategory = m_nodes.rootItem(i);
        for (int i = 0; i < m_nodes.rootCount() && !topCategory; ++i)
            if (m_nodes.rootItem(i) != makerCategory)
                topCategory = m_nodes.rootItem(i);
    });
    connect(&m_write, &QFutureWatcher<CatalogueWriteResult>::finished, this,
            &Catalogue::finishWrite);
}

Catalogue::~Catalogue()
{
    m_write.waitForFinished(); // the worker must not outlive what it reports to
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

NewNode Catalogue::makeLinkNode(const QString& path, const QString& title, bool isUrl)
{
    if (TextUtils::hasLineBreakOrNul(path))
        throw CatalogueError(
            QStringLiteral("This cannot be filed: its path or address contains a line break "
                           "or a NUL character, which the catalogue cannot store.\n\n%1")
                .arg(TextUtils::singleLine(path)));
    NewNode made;
    made.info = std::make_unique<NodeInfo>();
    made.info->fullName = path;
    PathFacts facts;
    if (isUrl) {
        made.info->kind = NodeKind::Url;
    } else {
        facts = probePath(path);
        made.info->kind = facts.isDir ? NodeKind::Folder : NodeKind::Doc;
    }
    made.image = isUrl ? int(imgHyperlink) : addFileTypeIcon(facts);
    made.text = isUrl ? TextUtils::singleLine(title) : fileNamePart(path);
    return made;
}

TreeNode* Catalogue::linkTarget(TreeNode* target, const QString& path) const
{
    // Users cannot file their own entries into the built-in category.
    if (inBuiltInCategory(target) &&
        !path.contains(QStringView(MakerWebDomain), Qt::CaseInsensitive))
        return topCategory;
    return target;
}

std::vector<TreeNode*> Catalogue::placeLinks(TreeNode* target, std::vector<NewNode> made)
{
    std::vector<TreeNode*> nodes;
    if (!target)
        nodes = m_nodes.insertNodes(nullptr, m_nodes.rootCount(), std::move(made));
    else if (target->isCategory())
        nodes = m_nodes.insertNodes(target, target->count(), std::move(made));
    else
        nodes = m_nodes.insertNodes(target->parent(), target->index(), std::move(made));
    if (target)
        m_nodes.expand(target, false);
    if (!nodes.empty())
        Q_EMIT listRefillRequested(nodes.front()->parent());
    return nodes;
}

TreeNode* Catalogue::addLinkNode(const QString& path, TreeNode* target, const QString& title,
                                 bool isUrl)
{
    std::vector<NewNode> made;
    made.push_back(makeLinkNode(path, title, isUrl));
    return placeLinks(linkTarget(target, path), std::move(made)).front();
}

std::vector<TreeNode*> Catalogue::addFileLinkNodes(const QStringList& paths, TreeNode* target,
                                                   QStringList& refused)
{
    // Each target (the built-in category sends files elsewhere) takes its
    // files as one run of rows, in the order given.
    std::vector<std::pair<TreeNode*, std::vector<NewNode>>> runs;
    for (const QString& path : paths) {
        try {
            NewNode made = makeLinkNode(path, QString(), false);
            TreeNode* to = linkTarget(target, path);
            auto run = std::find_if(runs.begin(), runs.end(),
                                    [to](const auto& r) { return r.first == to; });
            if (run == runs.end()) {
                runs.emplace_back(to, std::vector<NewNode>());
                run = runs.end() - 1;
            }
            run->second.push_back(std::move(made));
        } catch (const CatalogueError& e) {
            refused << e.text(); // the others are still filed
        }
    }
    std::vector<TreeNode*> nodes;
    for (auto& [to, made] : runs) {
        const std::vector<TreeNode*> placed = placeLinks(to, std::move(made));
        nodes.insert(nodes.end(), placed.begin(), placed.end());
    }
    return nodes;
}

TreeNode* Catalogue::addCategoryNode(TreeNode* parent, const QString& name)
{
    auto info = std::make_unique<NodeInfo>();
    info->kind = NodeKind::Category;
    if (inBuiltInCategory(parent))
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
    info->kind = NodeKind::Category;
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
    info->kind = facts.isDir ? NodeKind::Folder
                             : NodeKind::Doc; // the file system decides, not the stored code
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
    info->kind = NodeKind::Url;
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
    // One index per type, its icons looked up when a row first shows them:
    // a large catalogue holds few types, and most rows are never shown.
    const QString key = facts.isSymLink ? facts.mimeName + QStringLiteral("|link") : facts.mimeName;
    auto it = m_typeImages.constFind(key);
    if (it == m_typeImages.constEnd()) {
        PathFacts type;
        type.exists = true;
        type.isDir = facts.isDir;
        type.isSymLink = facts.isSymLink;
        type.mimeName = facts.mimeName;
        it = m_typeImages.insert(
            key, m_images.addLazyPair([type](bool large) { return fileTypeIcon(type, large); }));
    }
    return *it;
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

bool Catalogue::isMakerCategory(const TreeNode* node)
{
    const TreeNode* first = node->getFirstChild();
    return node->text() == u"Velmarch" && node->isCategory() && first && first->data() &&
           first->data()->fullName == QStringView(MakerHomeURL);
}

void Catalogue::createMakerCategory()
{
    if (makerCategory)
        return;
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
    waitForWrite();
    if (!backup && m_protectFile) {
        // The file could not be read nor kept aside: leave it as it is.
        if (writeSettingsHook)
            writeSettingsHook();
        dataSaved = true;
        return;
    }
    // Encoded here a chunk at a time while a worker writes the chunks before:
    // the memory a save needs stays flat however large the catalogue is.
    CatalogueStream stream(
        backup ? CatalogueTarget{m_folder, QString(), QStringLiteral("quillmere.bak"), false}
               : writeTarget());
    writeTree(stream, m_nodes.getFirstNode(), makerCategory);
    stream.finish(backup ? std::nullopt : m_fileStamp);
    const CatalogueWriteResult result = stream.future().result();
    if (backup) {
        if (!result.error.isEmpty())
            throw CatalogueError(result.error);
    } else {
        takeWriteResult(result);
        if (!m_lastWriteError.isEmpty())
            throw CatalogueError(m_lastWriteError);
    }
    if (writeSettingsHook)
        writeSettingsHook();
    dataSaved = true;
    if (!backup)
        Q_EMIT catalogueWritten();
}

CatalogueTarget Catalogue::writeTarget() const
{
    return {m_folder, DataFolder::userFolder(), QStringLiteral("quillmere.dat"), true};
}

void Catalogue::takeWriteResult(const CatalogueWriteResult& result)
{
    if (result.known)
        m_fileStamp = result.known;
    m_lastWriteError = result.error;
    if (!result.error.isEmpty())
        return;
    m_folder = result.folder;
    for (const QString& notice : result.notices)
        Q_EMIT saveNotice(notice);
}

std::unique_ptr<CatalogueStream> Catalogue::startWrite() const
{
    if (m_protectFile)
        return nullptr;
    return std::make_unique<CatalogueStream>(writeTarget());
}

void Catalogue::finishInBackground(std::unique_ptr<CatalogueStream> stream)
{
    waitForWrite();
    stream->finish(m_fileStamp);
    m_writing = std::move(stream);
    m_write.setFuture(m_writing->future());
}

void Catalogue::waitForWrite()
{
    if (!m_writing)
        return;
    m_write.waitForFinished();
    finishWrite();
}

void Catalogue::finishWrite()
{
    // Reached twice for one write when a wait came first: the watcher's own
    // signal then finds nothing left to do.
    if (!m_writing || !m_write.isFinished())
        return;
    const CatalogueWriteResult result = m_write.result();
    m_writing.reset();
    takeWriteResult(result);
    Q_EMIT backgroundWriteDone(m_lastWriteError);
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
                const QString aside = stamp.regular
                                          ? keepFileAside(path, QStringLiteral(".damaged"), true)
                                          : QString();
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

    // Each node is made whole and appended: the tree is told nothing while
    // it is suspended, so a load costs no signal per node.
    auto build = [&](CatalogueLineFields& line) {
        TreeNode* parent = line.depth == 0 ? nullptr : lastAt[size_t(line.depth - 1)];
        NewNode made;
        made.info = std::make_unique<NodeInfo>();
        NodeInfo& info = *made.info;
        info.comments = std::move(line.comments);
        info.sAdditional = std::move(line.additional);
        if (line.kindCode == u"1") {
            info.kind = NodeKind::Category;
            made.image = imgCategory;
            made.text = std::move(line.name);
        } else if (line.kindCode == u"4") {
            info.kind = NodeKind::Url;
            made.image = imgHyperlink;
            made.text = line.name.isEmpty() ? line.fullName : std::move(line.name);
            info.fullName = std::move(line.fullName);
        } else {
            // The file system decides the kind, not the stored code.
            info.kind = line.facts.isDir ? NodeKind::Folder : NodeKind::Doc;
            made.image = addFileTypeIcon(line.facts);
            made.text = std::move(line.name);
            info.fullName = std::move(line.fullName);
        }
        TreeNode* node = m_nodes.appendNode(parent, std::move(made));
        lastAt.resize(size_t(line.depth));
        lastAt.push_back(node);
    };
    QElapsedTimer slice;
    std::function<void()> drain;
    drain = [&] {
        drainQueued = false;
        slice.start();
        try {
            for (;;) {
                // The window is painted between slices, however fast the
                // reader keeps up.
                if (slice.elapsed() >= LoadSliceMs) {
                    if (!drainQueued.exchange(true))
                        QMetaObject::invokeMethod(&receiver, drain, Qt::QueuedConnection);
                    return;
                }
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
                    for (auto& line : batch)
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
        const QString aside = keepFileAside(path, QStringLiteral(".damaged"), !reader.malformed());
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
            const QString aside = keepFileAside(legacy, QStringLiteral(".damaged"), false);
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
