#pragma once
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <deque>
#include <memory>

// The catalogue the window suites work on: a folder of their own with the
// catalogue file and the files it links to, and the composed main window
// over it. The folder lies under the private data folder, so the home trash
// (on the same file system) takes what a test deletes.
class CategoryView;
class Catalogue;
class ListModel;
class MainWindow;
class QAction;
class QTemporaryDir;
class QTreeView;
class TreeNode;

namespace TestUtil
{

// The child of Parent whose text is Text, or null.
TreeNode* child(TreeNode* parent, const QString& text);
// The texts of Parent's children, in order.
QStringList childTexts(const TreeNode* parent);
// The texts of the rows Window's list shows, in its order.
QStringList listedTexts(MainWindow& window);
// Saves the catalogue as the program does and reads the file back.
QByteArray saveAndRead(Catalogue& cat);

class CatalogueFixture
{
public:
    enum class Show { Hidden, Exposed, Active };

    CatalogueFixture();
    ~CatalogueFixture();
    CatalogueFixture(const CatalogueFixture&) = delete;
    CatalogueFixture& operator=(const CatalogueFixture&) = delete;

    // A fresh, empty folder named after Prefix (the one before goes).
    void makeFolder(const QString& prefix);
    QString path(const QString& name = {}) const;
    // A file below the folder's files/ part.
    QString file(const QString& name) const;
    // Writes each of Names below files/ (its folders made), holding
    // Contents, or its own name when Contents is empty.
    void writeFiles(const QStringList& names, const QByteArray& contents = {});
    void writeCatalogue(const QByteArray& lines);
    QString catalogueFile() const;

    // The main window over the folder's catalogue, at 800x500 unless Hidden;
    // FileDialogs installs its dialogs for the real-file questions.
    void openWindow(Show show = Show::Exposed, bool fileDialogs = false);
    void closeWindow();
    // Ends the window and removes the folder (for cleanup()).
    void reset();

    Catalogue& cat() const;
    CategoryView* view() const;
    ListModel& model() const;
    QTreeView* docsTree() const;
    QTreeView* details() const;
    QAction* action(const char* name) const;

    // The top-level node whose text is Text, or null.
    TreeNode* root(const QString& text) const;
    bool inTree(const TreeNode* node) const;
    // The texts of the list's rows, in its order.
    QStringList listed() const;
    // Every row of the list refers to a node still in the tree.
    bool rowsAreLive() const;
    // The tree (list) with the keyboard and Node (its row) current, as a
    // user clicks it.
    void treeSelect(TreeNode* node) const;
    void listSelect(TreeNode* node) const;
    // The catalogue as a save writes it (the built-in category never is).
    QByteArray saved() const;

protected:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MainWindow> m_w;
};

// Answers every message dialog while it lives: from Answers in turn, then
// with Fallback; keeps the texts asked.
class MessageAnswers
{
public:
    explicit MessageAnswers(QMessageBox::StandardButton otherwise = QMessageBox::Yes);
    ~MessageAnswers();
    MessageAnswers(const MessageAnswers&) = delete;
    MessageAnswers& operator=(const MessageAnswers&) = delete;
    void clear();

    std::deque<QMessageBox::StandardButton> answers;
    QStringList asked;
    QMessageBox::StandardButton fallback;
};

} // namespace TestUtil
