#pragma once
#include "catalogue/CatalogueFile.h"
#include "catalogue/CatalogueSave.h"
#include "catalogue/CatalogueStore.h"
#include "catalogue/EditHistory.h"
#include "catalogue/ImageLists.h"
#include "catalogue/NodeTree.h"
#include "utils/PathTests.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>

// An error meant for the user: the text is shown as it is.
class CatalogueError : public std::runtime_error
{
public:
    explicit CatalogueError(const QString& text) : std::runtime_error(text.toStdString()) {}
    QString text() const { return QString::fromStdString(what()); }
};

// The maker's site: the built-in links point there, and only addresses on it
// may be filed into the built-in category.
inline constexpr char16_t MakerWebDomain[] = u"velmarch.example";
inline constexpr char16_t MakerHomeURL[] = u"https://www.velmarch.example/";
inline constexpr char16_t ProductURL[] = u"https://www.velmarch.example/quillmere/";
inline constexpr char16_t ProductFaqURL[] = u"https://www.velmarch.example/quillmere/faq.html";
inline constexpr char16_t SupportEMail[] = u"support@velmarch.example";

// The catalogue for a whole run: the node tree, the two image lists, the
// special nodes and the catalogue file. The main window shows it; everything
// here works without widgets.
class CatalogueSearch;
class LinkUpdate;

class Catalogue : public QObject
{
    Q_OBJECT
public:
    explicit Catalogue(QObject* parent = nullptr);
    ~Catalogue() override;

    NodeTree& nodes() { return m_nodes; }
    // The run's undo history of the tree's changes.
    EditHistory& history() { return m_history; }
    ImageLists& images() { return m_images; }
    // The window's search state over the tree (made on first use): find,
    // find next and the link updates share it.
    CatalogueSearch& search();

    // Updates the links to OldPath after the file or folder went (no
    // NewPath) or moved there (LinkUpdate, with the window's search): the
    // first slice runs now, which for most catalogues is all of it, the rest
    // from the event loop; Then follows with the count once it is through.
    // Meanwhile linksUpdating() is true and the tree may change through
    // nothing else. One update at a time: a second one finishes the first.
    void startLinkUpdate(const QString& oldPath, const std::optional<QString>& newPath,
                         std::function<bool(const QString& question)> ask,
                         std::function<void(int changed)> then);
    bool linksUpdating() const;
    // The rest of an update under way, now (the end of the run).
    void finishLinkUpdate();

    // Folder that holds quillmere.dat, quillmere.bak and MyDocs.qmre.
    void setDataFolder(const QString& folder) { m_folder = folder; }
    QString dataFolder() const { return m_folder; }
    QString dataFile(bool backup) const;
    QString legacyFile() const;

    // Node making.
    TreeNode* addLinkNode(const QString& path, TreeNode* target, const QString& title, bool isUrl);
    // Files many links at once, as addLinkNode would one by one, with the
    // cost of one insertion: the nodes made, in order; a path that cannot be
    // filed is left out and its reason added to Refused.
    std::vector<TreeNode*> addFileLinkNodes(const QStringList& paths, TreeNode* target,
                                            QStringList& refused);
    TreeNode* addCategoryNode(TreeNode* parent, const QString& name);
    void fillCategoryNode(TreeNode* node, const QString& name, const QString& comments,
                          const QString& additional);
    void fillDocNode(TreeNode* node, const QString& name, const QString& path,
                     const QString& comments, const QString& additional, bool missing);
    // Same, with the path's facts already known (probed off the GUI thread).
    void fillDocNode(TreeNode* node, const QString& name, const QString& path,
                     const QString& comments, const QString& additional, bool missing,
                     const FileUtils::PathFacts& facts);
    void fillUrlNode(TreeNode* node, const QString& name, const QString& address,
                     const QString& comments, const QString& additional);
    // The same nodes made whole out of the tree (NewSubtree, insertNodes). A
    // document without a name gets one from fillDocNode's node or the caller.
    NewNode categoryNode(const QString& name, const QString& comments,
                         const QString& additional) const;
    NewNode docNode(const QString& name, const QString& path, const QString& comments,
                    const QString& additional, bool missing, const FileUtils::PathFacts& facts);
    NewNode urlNode(const QString& name, const QString& address, const QString& comments,
                    const QString& additional) const;
    // The image index of a path's file type (or of a missing target); every
    // entry of one type shares it.
    int addFileTypeIcon(const QString& path);
    int addFileTypeIcon(const FileUtils::PathFacts& facts);
    bool refreshNodeIcon(TreeNode* node, bool keepList);

    // The catalogue file: its load, saves and defences (CatalogueStore).
    CatalogueStore& store() { return *m_store; }
    // A save leaves out the built-in category and waits for a write in
    // flight; throws CatalogueError.
    void saveData(bool backup) { m_store->save(backup); }
    std::unique_ptr<CatalogueStream> startWrite() const { return m_store->startWrite(); }
    void finishInBackground(std::unique_ptr<CatalogueStream> stream)
    {
        m_store->finishInBackground(std::move(stream));
    }
    bool writing() const { return m_store->writing(); }
    void waitForWrite() { m_store->waitForWrite(); }
    // Starts loading the catalogue file or its backup; loaded() follows.
    void startLoad(bool fromBackup) { m_store->startLoad(fromBackup); }
    // The load without the event loop (tools, tests); see CatalogueStore::loadNow.
    bool loadData(bool fromBackup) { return m_store->loadNow(fromBackup); }
    bool catalogueFileProtected() const { return m_store->fileProtected(); }
    // True while a load runs: the tree is then incomplete and must not be saved.
    bool loading() const { return m_store->loading(); }
    // The legacy file (LegacyImport); throws CatalogueError.
    void importLegacyData();
    void createMakerCategory();

    // The built-in category (never saved) and the user's first root category.
    TreeNode* makerCategory() const { return m_makerCategory; }
    // True for the built-in category and what lies in it: it is made anew at
    // every start and never saved, so nothing of the user's may go there.
    bool inBuiltInCategory(const TreeNode* node) const
    {
        return m_makerCategory && node && node->isUnder(m_makerCategory);
    }
    TreeNode* topCategory() const { return m_topCategory; }
    void setTopCategory(TreeNode* node) { m_topCategory = node; }
    // The catalogue was written in this run (the save at the end is due when not).
    bool dataSaved() const { return m_dataSaved; }
    void setDataSaved(bool saved) { m_dataSaved = saved; }
    // When off, documents are not given their desktop icons (for measuring).
    void setFileTypeIcons(bool on) { m_fileTypeIcons = on; }

    // The relink question the window asks for a missing document: true when
    // the node was kept (relinked, or left marked missing), false when the
    // answer removed it. Without one, the document is kept, marked missing.
    using NewLocationQuestion = std::function<bool(const QString& name, const QString& path,
                                                   TreeNode* node, const QString& comments)>;
    void setNewLocationQuestion(NewLocationQuestion question)
    {
        m_newLocationQuestion = std::move(question);
    }
    const NewLocationQuestion& newLocationQuestion() const { return m_newLocationQuestion; }

Q_SIGNALS:
    // The list beside the tree should show Category again.
    void listRefillRequested(TreeNode* category);
    void statusMessage(const QString& text);
    // Something the user should know about a save that went through (the
    // file had been changed by another program and was kept aside).
    void saveNotice(const QString& text);
    // SaveData wrote the catalogue file (not the backup).
    void catalogueWritten();
    // A background write ended: Error is empty when the file was written.
    void backgroundWriteDone(const QString& error);
    // A save went through: the window's settings are written along with it.
    void settingsWriteRequested();
    // A load started by StartLoad (or LoadData) ended: Found is false when
    // there was no such file, Error empty when the whole file was read.
    void loaded(bool found, const QString& error);
    // Progress of a load or an import in thousandths; a load's comes from
    // its reader thread.
    void loadProgress(int thousandths);
    // A link update goes on past the command that started it (Running), or
    // ended after it did.
    void linkUpdateRunning(bool running);

private:
    void forget(TreeNode* node);
    // The built-in category as createMakerCategory makes it.
    static bool isMakerCategory(const TreeNode* node);
    // Gives Node the text, record and image made for it.
    void fill(TreeNode* node, NewNode made);
    NewNode makeLinkNode(const QString& path, const QString& title, bool isUrl);
    TreeNode* linkTarget(TreeNode* target, const QString& path) const;
    std::vector<TreeNode*> placeLinks(TreeNode* target, std::vector<NewNode> made);

    TreeNode* m_makerCategory = nullptr;
    TreeNode* m_topCategory = nullptr;
    bool m_dataSaved = false;
    bool m_fileTypeIcons = true;
    NewLocationQuestion m_newLocationQuestion;
    ImageLists m_images;
    QHash<QString, int> m_typeImages; // file type (MIME name, "|link" for links) to image
    NodeTree m_nodes;
    EditHistory m_history{m_nodes};
    QString m_folder;
    std::unique_ptr<CatalogueSearch> m_search;
    QPointer<LinkUpdate> m_linkUpdate;  // a child while it runs
    bool m_linkUpdateAnnounced = false; // linkUpdateRunning(true) was said
    CatalogueStore* m_store;            // a child
};
