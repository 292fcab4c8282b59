#pragma once
#include "catalogue/ImageLists.h"
#include "catalogue/TreeNodes.h"
#include "utils/MyFileUtils.h"

#include <QObject>
#include <functional>
#include <stdexcept>

// An error meant for the user: the text is shown as it is.
class ECatalogueError : public std::runtime_error {
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
class TCatalogue : public QObject {
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
    TTreeNode* AddLinkNode(const QString& Path, TTreeNode* Target, const QString& Title, bool IsUrl);
    TTreeNode* AddCategoryNode(TTreeNode* Parent, const QString& Name);
    void FillCategoryNode(TTreeNode* Node, const QString& Name, const QString& Comments,
                          const QString& Additional);
    void FillDocNode(TTreeNode* Node, const QString& Name, const QString& Path, const QString& Comments,
                     const QString& Additional, bool Missing);
    // Same, with the path's facts already known (probed off the GUI thread).
    void FillDocNode(TTreeNode* Node, const QString& Name, const QString& Path, const QString& Comments,
                     const QString& Additional, bool Missing, const MyFileUtils::TPathFacts& Facts);
    void FillUrlNode(TTreeNode* Node, const QString& Name, const QString& Address,
                     const QString& Comments, const QString& Additional);
    int AddShellIcon(const QString& Path);
    int AddShellIcon(const MyFileUtils::TPathFacts& Facts);
    bool RefreshNodeIcon(TTreeNode* Node, bool KeepList);

    // The catalogue file.
    void SaveData(bool Backup);
    bool LoadData(bool FromBackup);
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
    std::function<bool(const QString& Name, const QString& Path, TTreeNode* Node, const QString& Comments)>
        AskNewLocationHook;
    std::function<void(int)> ProgressHook;

Q_SIGNALS:
    // The list beside the tree should show Category again.
    void listRefillRequested(TTreeNode* Category);
    void statusMessage(const QString& Text);

private:
    void forget(TTreeNode* Node);
    void buildLegacyTree(const QString& Path);
    QString keepDamagedCopy(const QString& Path, bool Move);

    bool m_loading = false;
    TImageLists m_images;
    TTreeNodes m_nodes;
    QString m_folder;
};
