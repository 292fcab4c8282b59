#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueSearch.h"
#include "catalogue/FileTypeIcons.h"
#include "catalogue/LegacyImport.h"
#include "catalogue/LinkUpdates.h"
#include "utils/TextUtils.h"

#include <QDir>
#include <algorithm>
#include <utility>

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
    // The built-in category and the user's first one may come back with an
    // undo (of a restore, of a removal): known again, the save still leaves
    // the built-in one out and new entries find the first one.
    connect(&m_history, &EditHistory::replayed, this, [this] {
        for (int i = 0; i < m_nodes.rootCount() && !m_makerCategory; ++i)
            if (isMakerCategory(m_nodes.rootItem(i)))
                m_makerCategory = m_nodes.rootItem(i);
        for (int i = 0; i < m_nodes.rootCount() && !m_topCategory; ++i)
            if (m_nodes.rootItem(i) != m_makerCategory)
                m_topCategory = m_nodes.rootItem(i);
    });
    m_store = new CatalogueStore(*this);
    connect(m_store, &CatalogueStore::saveNotice, this, &Catalogue::saveNotice);
    connect(m_store, &CatalogueStore::catalogueWritten, this, &Catalogue::catalogueWritten);
    connect(m_store, &CatalogueStore::backgroundWriteDone, this, &Catalogue::backgroundWriteDone);
    connect(m_store, &CatalogueStore::saved, this, &Catalogue::settingsWriteRequested);
    connect(m_store, &CatalogueStore::loaded, this, &Catalogue::loaded);
    // From the reader's thread, passed on as it comes.
    connect(m_store, &CatalogueStore::progress, this, &Catalogue::loadProgress,
            Qt::DirectConnection);
}

Catalogue::~Catalogue()
{
    delete m_linkUpdate.data(); // an update cut short: its nodes go with the tree
    delete m_store;             // its workers stop before the tree they fill goes
    disconnect(&m_nodes, nullptr, this, nullptr);
    m_search.reset(); // before the tree it watches
}

CatalogueSearch& Catalogue::search()
{
    if (!m_search)
        m_search = std::make_unique<CatalogueSearch>(m_nodes);
    return *m_search;
}

void Catalogue::startLinkUpdate(const QString& oldPath, const std::optional<QString>& newPath,
                                std::function<bool(const QString& question)> ask,
                                std::function<void(int changed)> then)
{
    finishLinkUpdate();
    auto* update = new LinkUpdate(m_nodes, &search(), oldPath, newPath, std::move(ask), this);
    m_linkUpdate = update;
    connect(update, &LinkUpdate::finished, this,
            [this, update, then = std::move(then)](int n) mutable {
                update->deleteLater();
                if (m_linkUpdate == update)
                    m_linkUpdate = nullptr;
                // Taken out, so that what it holds (the command's step) ends now,
                // not with the connection.
                if (const auto done = std::exchange(then, {}))
                    done(n);
                if (std::exchange(m_linkUpdateAnnounced, false))
                    Q_EMIT linkUpdateRunning(false);
            });
    update->start();
    if (m_linkUpdate == update) {
        m_linkUpdateAnnounced = true;
        Q_EMIT linkUpdateRunning(true);
    }
}

bool Catalogue::linksUpdating() const
{
    return m_linkUpdate && !m_linkUpdate->done();
}

void Catalogue::finishLinkUpdate()
{
    if (m_linkUpdate)
        m_linkUpdate->finishNow();
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
    if (m_makerCategory && m_makerCategory->isUnder(node))
        m_makerCategory = nullptr;
    if (m_topCategory && m_topCategory->isUnder(node))
        m_topCategory = nullptr;
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
        return m_topCategory;
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
        parent = m_topCategory;
    TreeNode* node = m_nodes.addChild(parent, name);
    m_nodes.setNodeData(node, std::move(info));
    m_nodes.setImage(node, imgCategory);
    return node;
}

NewNode Catalogue::categoryNode(const QString& name, const QString& comments,
                                const QString& additional) const
{
    NewNode made{name, std::make_unique<NodeInfo>(), imgCategory};
    made.info->kind = NodeKind::Category;
    made.info->comments = comments;
    made.info->sAdditional = additional;
    return made;
}

NewNode Catalogue::docNode(const QString& name, const QString& path, const QString& comments,
                           const QString& additional, bool missing, const PathFacts& facts)
{
    NewNode made{name, std::make_unique<NodeInfo>(),
                 missing ? int(imgMissing) : addFileTypeIcon(facts)};
    made.info->fullName = path;
    made.info->comments = comments;
    made.info->sAdditional = additional;
    made.info->kind = facts.isDir ? NodeKind::Folder
                                  : NodeKind::Doc; // the file system decides, not the stored code
    return made;
}

NewNode Catalogue::urlNode(const QString& name, const QString& address, const QString& comments,
                           const QString& additional) const
{
    NewNode made{name.isEmpty() ? address : name, std::make_unique<NodeInfo>(), imgHyperlink};
    made.info->fullName = address;
    made.info->comments = comments;
    made.info->sAdditional = additional;
    made.info->kind = NodeKind::Url;
    return made;
}

void Catalogue::fill(TreeNode* node, NewNode made)
{
    m_nodes.setNodeData(node, std::move(made.info));
    m_nodes.setText(node, made.text);
    m_nodes.setImage(node, made.image);
}

void Catalogue::fillCategoryNode(TreeNode* node, const QString& name, const QString& comments,
                                 const QString& additional)
{
    fill(node, categoryNode(name, comments, additional));
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
    // Without a name the node keeps its text.
    fill(node,
         docNode(name.isEmpty() ? node->text() : name, path, comments, additional, missing, facts));
}

void Catalogue::fillUrlNode(TreeNode* node, const QString& name, const QString& address,
                            const QString& comments, const QString& additional)
{
    fill(node, urlNode(name, address, comments, additional));
}

int Catalogue::addFileTypeIcon(const QString& path)
{
    return addFileTypeIcon(probePath(path));
}

int Catalogue::addFileTypeIcon(const PathFacts& facts)
{
    if (!facts.exists)
        return imgMissing;
    if (!m_fileTypeIcons)
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
    if (m_makerCategory)
        return;
    m_makerCategory = addCategoryNode(nullptr, QStringLiteral("Velmarch"));
    if (m_nodes.rootCount() > 1)
        m_nodes.moveTo(m_makerCategory, nullptr, 0);
    TreeNode* maker = m_makerCategory;
    addLinkNode(QString::fromUtf16(MakerHomeURL), maker, QStringLiteral("Velmarch at the Web"),
                true);
    addLinkNode(QString::fromUtf16(ProductURL), maker, QStringLiteral("Quillmere at the Web"),
                true);
    addLinkNode(QString::fromUtf16(ProductFaqURL), maker, QStringLiteral("FAQ at the Web"), true);
}

void Catalogue::importLegacyData()
{
    LegacyImport(*this).run();
}
