#include "CatalogueFixture.h"
#include "TestUtil.h"
#include "catalogue/CatalogueFile.h"
#include "catalogue/ListModel.h"
#include "components/FileOperationDialogs.h"
#include "components/MessageDialogs.h"
#include "forms/MainWindow.h"
#include "forms/main/CategoryView.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

namespace TestUtil
{

TreeNode* child(TreeNode* parent, const QString& text)
{
    for (int i = 0; i < parent->count(); ++i)
        if (parent->item(i)->text() == text)
            return parent->item(i);
    return nullptr;
}

QStringList childTexts(const TreeNode* parent)
{
    QStringList out;
    for (int i = 0; i < parent->count(); ++i)
        out << parent->item(i)->text();
    return out;
}

QStringList listedTexts(MainWindow& window)
{
    QStringList out;
    for (TreeNode* n : window.findChild<CategoryView*>()->listModel().rows())
        out << n->text();
    return out;
}

QByteArray saveAndRead(Catalogue& cat)
{
    cat.saveData(false);
    return readFile(cat.dataFile(false));
}

CatalogueFixture::CatalogueFixture() = default;
CatalogueFixture::~CatalogueFixture() = default;

void CatalogueFixture::makeFolder(const QString& prefix)
{
    reset();
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    QVERIFY(QDir().mkpath(data));
    m_dir = std::make_unique<QTemporaryDir>(data + "/" + prefix + "-XXXXXX");
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir().mkpath(m_dir->filePath("files")));
}

QString CatalogueFixture::path(const QString& name) const
{
    return name.isEmpty() ? m_dir->path() : m_dir->filePath(name);
}

QString CatalogueFixture::file(const QString& name) const
{
    return m_dir->filePath("files/" + name);
}

void CatalogueFixture::writeFiles(const QStringList& names, const QByteArray& contents)
{
    for (const QString& name : names) {
        QVERIFY(QDir().mkpath(QFileInfo(file(name)).path()));
        QVERIFY(writeFile(file(name), contents.isEmpty() ? name.toUtf8() : contents));
    }
}

QString CatalogueFixture::catalogueFile() const
{
    return m_dir->filePath("quillmere.dat");
}

void CatalogueFixture::writeCatalogue(const QByteArray& lines)
{
    QVERIFY(writeFile(catalogueFile(), lines));
}

void CatalogueFixture::openWindow(Show show, bool fileDialogs)
{
    m_w = std::make_unique<MainWindow>();
    cat().setDataFolder(m_dir->path());
    m_w->start(nullptr);
    QVERIFY2(m_w->startupError().isEmpty(), qPrintable(m_w->startupError()));
    if (fileDialogs)
        FileOperations::installDialogs(m_w.get());
    if (show == Show::Hidden)
        return;
    m_w->resize(800, 500);
    m_w->show();
    if (show == Show::Active)
        QVERIFY(QTest::qWaitForWindowActive(m_w.get()));
    else
        QVERIFY(QTest::qWaitForWindowExposed(m_w.get()));
}

void CatalogueFixture::closeWindow()
{
    m_w.reset();
}

void CatalogueFixture::reset()
{
    m_w.reset();
    m_dir.reset();
}

Catalogue& CatalogueFixture::cat() const
{
    return m_w->catalogue();
}

CategoryView* CatalogueFixture::view() const
{
    return m_w->findChild<CategoryView*>();
}

ListModel& CatalogueFixture::model() const
{
    return view()->listModel();
}

QTreeView* CatalogueFixture::docsTree() const
{
    return m_w->findChild<QTreeView*>("DocsTree");
}

QTreeView* CatalogueFixture::details() const
{
    return m_w->findChild<QTreeView*>("ListDetails");
}

QAction* CatalogueFixture::action(const char* name) const
{
    return m_w->findChild<QAction*>(name);
}

TreeNode* CatalogueFixture::root(const QString& text) const
{
    for (int i = 0; i < cat().nodes().rootCount(); ++i)
        if (cat().nodes().rootItem(i)->text() == text)
            return cat().nodes().rootItem(i);
    return nullptr;
}

bool CatalogueFixture::inTree(const TreeNode* node) const
{
    for (TreeNode* n = cat().nodes().getFirstNode(); n; n = n->getNext())
        if (n == node)
            return true;
    return false;
}

QStringList CatalogueFixture::listed() const
{
    return listedTexts(*m_w);
}

bool CatalogueFixture::rowsAreLive() const
{
    for (TreeNode* row : model().rows())
        if (!inTree(row))
            return false;
    return true;
}

void CatalogueFixture::treeSelect(TreeNode* node) const
{
    docsTree()->setFocus();
    docsTree()->setCurrentIndex(cat().nodes().indexOf(node));
}

void CatalogueFixture::listSelect(TreeNode* node) const
{
    const int row = model().rowOf(node);
    QVERIFY(row >= 0);
    details()->setFocus();
    details()->setCurrentIndex(model().index(row, 0));
}

QByteArray CatalogueFixture::saved() const
{
    QByteArray out;
    static const NodeInfo none;
    for (const TreeNode* n = cat().nodes().getFirstNode(); n; n = n->getNext()) {
        if (cat().makerCategory() && n->isUnder(cat().makerCategory()))
            continue;
        const NodeInfo* i = n->data() ? n->data() : &none;
        appendCatalogueLine(out, n->text(), n->level(), i->fullName, i->comments, i->getsKind(),
                            i->sAdditional);
    }
    return out;
}

MessageAnswers::MessageAnswers(QMessageBox::StandardButton otherwise) : fallback(otherwise)
{
    MessageDialogs::setHandler([this](QMessageBox::Icon, const QString& text) {
        asked << text;
        if (answers.empty())
            return this->fallback;
        const QMessageBox::StandardButton answer = answers.front();
        answers.pop_front();
        return answer;
    });
}

MessageAnswers::~MessageAnswers()
{
    MessageDialogs::setHandler({});
}

void MessageAnswers::clear()
{
    answers.clear();
    asked.clear();
}

} // namespace TestUtil
