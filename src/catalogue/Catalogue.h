#pragma once
#include "catalogue/CatalogueFile.h"
#include "catalogue/CatalogueSave.h"
#include "catalogue/EditHistory.h"
#include "catalogue/ImageLists.h"
#include "catalogue/NodeTree.h"
#include "utils/PathTests.h"

#include <QFutureWatcher>
#include <QHash>
#include <QObject>
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

    // Folder that holds quillmere.dat, quillmere.bak and MyDocs.qmre.
    void setDataFolder(const QString& folder) { m_folder = folder; }
    QString dataFolder() const { return m_folder; }
    QString dataFile(bool backup) const;
    QString legacyFile() const;

    TreeNode* makerCategory = nullptr; // built-in category, never saved
    TreeNode* topCategory = nullptr;   // the user's first root category
    bool dataSaved = false;            // the catalogue was written in this run

    // True for the built-in category and what lies in it: it is made anew at
    // every start and never saved, so nothing of the user's may go there.
    bool inBuiltInCategory(const TreeNode* node) const
    {
        return makerCategory && node && node->isUnder(makerCategory);
    }

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
    // The image index of a path's file type (or of a missing target); every
    // entry of one type shares it.
    int addFileTypeIcon(const QString& path);
    int addFileTypeIcon(const FileUtils::PathFacts& facts);
    bool refreshNodeIcon(TreeNode* node, bool keepList);

    // The catalogue file. A failed restore (FromBackup) leaves the tree as it
    // was; a failed start-up load keeps the lines read before the fault. A
    // save leaves out the built-in category and waits for a write in flight.
    void saveData(bool backup);
    // A save of the catalogue file for the caller to feed (the saves while
    // the user works), with the same defences as SaveData; null when the
    // file is protected.
    std::unique_ptr<CatalogueStream> startWrite() const;
    // Finishes Stream's write on its worker, once the write before it is
    // through; BackgroundWriteDone tells the outcome.
    void finishInBackground(std::unique_ptr<CatalogueStream> stream);
    bool writing() const { return m_writing != nullptr; }
    // Waits for the write in flight, if any, and takes its result.
    void waitForWrite();
    bool loadData(bool fromBackup);
    // Set when the catalogue file could not be read and could not be kept
    // aside either: the run then never writes over it (the user was told).
    bool catalogueFileProtected() const { return m_protectFile; }
    // True while LoadData runs: the tree is then incomplete and must not be saved.
    bool loading() const { return m_loading; }
    void importLegacyData();
    void createMakerCategory();

    // When off, documents are not given their desktop icons (for measuring).
    bool fileTypeIcons = true;

    // Hooks the window sets: writing the settings along with a save; the
    // relink question for a missing document (default: keep it, marked
    // missing); progress of a load in thousandths (called from the loader
    // thread).
    std::function<void()> writeSettingsHook;
    std::function<bool(const QString& name, const QString& path, TreeNode* node,
                       const QString& comments)>
        askNewLocationHook;
    std::function<void(int)> progressHook;

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

private:
    void forget(TreeNode* node);
    // The built-in category as createMakerCategory makes it.
    static bool isMakerCategory(const TreeNode* node);
    NewNode makeLinkNode(const QString& path, const QString& title, bool isUrl);
    TreeNode* linkTarget(TreeNode* target, const QString& path) const;
    std::vector<TreeNode*> placeLinks(TreeNode* target, std::vector<NewNode> made);
    QString buildLegacyTree(const QString& path);
    CatalogueTarget writeTarget() const;
    void takeWriteResult(const CatalogueWriteResult& result);
    void finishWrite();

    bool m_loading = false;
    bool m_protectFile = false;
    // The catalogue file as this run last read or wrote it.
    std::optional<FileStamp> m_fileStamp;
    ImageLists m_images;
    QHash<QString, int> m_typeImages; // file type (MIME name, "|link" for links) to image
    NodeTree m_nodes;
    EditHistory m_history{m_nodes};
    QString m_folder;
    std::unique_ptr<CatalogueSearch> m_search;
    QFutureWatcher<CatalogueWriteResult> m_write;
    std::unique_ptr<CatalogueStream> m_writing; // finished, its worker under way
    QString m_lastWriteError;
};
