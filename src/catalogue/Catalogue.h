#pragma once
#include "catalogue/CatalogueFile.h"
#include "catalogue/ImageLists.h"
#include "catalogue/TreeNodes.h"
#include "utils/PathTests.h"

#include <QObject>
#include <functional>
#include <optional>
#include <stdexcept>

// An error meant for the user: the text is shown as it is.
class ECatalogueError : public std::runtime_error
{
public:
    explicit ECatalogueError(const QString& Text) : std::runtime_error(Text.toStdString()) {}
    QString Text() const { return QString::fromStdString(what()); }
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
class TCatalogue : public QObject
{
    Q_OBJECT
public:
    explicit TCatalogue(QObject* parent = nullptr);
    ~TCatalogue() override;

    TTreeNodes& Nodes() { return m_nodes; }
    TImageLists& Images() { return m_images; }

    // Folder that holds quillmere.dat, quillmere.bak and MyDocs.qmre.
    void SetDataFolder(const QString& Folder) { m_folder = Folder; }
    QString DataFolder() const { return m_folder; }
    QString DataFile(bool Backup) const;
    QString LegacyFile() const;

    TTreeNode* MakerCategory = nullptr; // built-in category, never saved
    TTreeNode* TopCategory = nullptr;   // the user's first root category
    bool DataSaved = false;             // the catalogue was written in this run

    // Node making.
    TTreeNode* AddLinkNode(const QString& Path, TTreeNode* Target, const QString& Title,
                           bool IsUrl);
    TTreeNode* AddCategoryNode(TTreeNode* Parent, const QString& Name);
    void FillCategoryNode(TTreeNode* Node, const QString& Name, const QString& Comments,
                          const QString& Additional);
    void FillDocNode(TTreeNode* Node, const QString& Name, const QString& Path,
                     const QString& Comments, const QString& Additional, bool Missing);
    // Same, with the path's facts already known (probed off the GUI thread).
    void FillDocNode(TTreeNode* Node, const QString& Name, const QString& Path,
                     const QString& Comments, const QString& Additional, bool Missing,
                     const MyFileUtils::TPathFacts& Facts);
    void FillUrlNode(TTreeNode* Node, const QString& Name, const QString& Address,
                     const QString& Comments, const QString& Additional);
    int AddShellIcon(const QString& Path);
    int AddShellIcon(const MyFileUtils::TPathFacts& Facts);
    bool RefreshNodeIcon(TTreeNode* Node, bool KeepList);

    // The catalogue file. A failed restore (FromBackup) leaves the tree as it
    // was; a failed start-up load keeps the lines read before the fault.
    void SaveData(bool Backup);
    bool LoadData(bool FromBackup);
    // Set when the catalogue file could not be read and could not be kept
    // aside either: the run then never writes over it (the user was told).
    bool CatalogueFileProtected() const { return m_protectFile; }
    // True while LoadData runs: the tree is then incomplete and must not be saved.
    bool Loading() const { return m_loading; }
    void ImportLegacyData();
    void CreateMakerCategory();

    // When off, documents are not given their desktop icons (for measuring).
    bool ShellIcons = true;

    // Hooks the window sets: writing the settings along with a save; the
    // relink question for a missing document (default: keep it, marked
    // missing); progress of a load in thousandths (called from the loader
    // thread).
    std::function<void()> WriteSettingsHook;
    std::function<bool(const QString& Name, const QString& Path, TTreeNode* Node,
                       const QString& Comments)>
        AskNewLocationHook;
    std::function<void(int)> ProgressHook;

Q_SIGNALS:
    // The list beside the tree should show Category again.
    void listRefillRequested(TTreeNode* Category);
    void statusMessage(const QString& Text);
    // Something the user should know about a save that went through (the
    // file had been changed by another program and was kept aside).
    void saveNotice(const QString& Text);

private:
    void forget(TTreeNode* Node);
    QString buildLegacyTree(const QString& Path);
    // Keeps the file at Path under Path + Suffix (numbered when taken), moved
    // or copied; the new name, or empty when that failed.
    static QString keepAside(const QString& Path, const QString& Suffix, bool Move);
    void checkForOutsideChange(const QString& Target);

    bool m_loading = false;
    bool m_protectFile = false;
    // The catalogue file as this run last read or wrote it.
    std::optional<TFileStamp> m_fileStamp;
    TImageLists m_images;
    TTreeNodes m_nodes;
    QString m_folder;
};
