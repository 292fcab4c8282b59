// Opening entries, the relink question for moved documents, and the tray.
#include "catalogue/Artwork.h"
#include "catalogue/ListModel.h"
#include "components/CoolTrayIcon.h"
#include "components/HSDialogs.h"
#include "forms/frmMain.h"
#include "utils/MySysUtils.h"
#include "utils/PathTests.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QListView>
#include <QMenu>
#include <QScopeGuard>
#include <QStatusBar>
#include <QTreeView>

using namespace MyFileUtils;

namespace
{

// Enter in the tree or the list opens like a double click. Alt+Enter belongs
// to Properties; an open name editor has the keys, not the view.
class TEnterOpens : public QObject
{
public:
    TEnterOpens(QAbstractItemView* View, std::function<void()> Open)
        : QObject(View), m_view(View), m_open(std::move(Open))
    {
        View->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override
    {
        if (Watched != m_view || Event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(Event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) ||
            (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        m_open();
        return true;
    }

private:
    QAbstractItemView* m_view;
    std::function<void()> m_open;
};

// The folder that holds a path; the root keeps its delimiter.
QString folderPart(const QString& Path)
{
    const qsizetype slash = Path.lastIndexOf(u'/');
    if (slash < 0)
        return QString();
    return slash == 0 ? QStringLiteral("/") : Path.left(slash);
}

// Where to look for a moved document: its old folder, or the nearest folder
// above it that still exists.
QString nearestExistingFolder(const QString& Path)
{
    QString folder = folderPart(Path);
    while (!folder.isEmpty() && !DirectoryExists(folder) && folder != u"/")
        folder = folderPart(folder);
    return folder.isEmpty() ? QDir::homePath() : folder;
}

} // namespace

void TMainF::createTrayAndOpening()
{
    CoolTrayIcon = new TCoolTrayIcon(this);
    CoolTrayIcon->SetIcon(Artwork::ProgramIcon());
    CoolTrayIcon->SetHint(QStringLiteral("Quillmere"));
    CoolTrayIcon->SetShowHint(true);
    CoolTrayIcon->SetPopupMenu(TrayMenu);
    CoolTrayIcon->SetMinimizeToTray(true);
    CoolTrayIcon->SetIconVisible(true);
    connect(CoolTrayIcon, &TCoolTrayIcon::Click, this,
            [this] { guarded([this] { CoolTrayIconClick(); }); });

    Catalogue.AskNewLocationHook = [this](const QString& Name, const QString& Path, TTreeNode* Node,
                                          const QString& Comments) {
        return AskNewLocation(Name, Path, Node, Comments);
    };

    const auto openTree = [this] { guarded([this] { DocsTreeDblClick(); }); };
    const auto openList = [this] { guarded([this] { ListViewDblClick(); }); };
    connect(DocsTree, &QAbstractItemView::doubleClicked, this, openTree);
    new TEnterOpens(DocsTree, openTree);
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(ListIcons),
                                    static_cast<QAbstractItemView*>(ListDetails)}) {
        connect(view, &QAbstractItemView::doubleClicked, this, openList);
        new TEnterOpens(view, openList);
    }
}

// ---------------------------------------------------------------- the tray

void TMainF::ShowBalloon(const QString& Title, const QString& Text, int IconKind, int Seconds)
{
    CoolTrayIcon->ShowBalloonHint(Title, Text, TCoolTrayIcon::TBalloonHintIcon(IconKind), Seconds);
    // Without a tray the message would be lost: the status line shows it.
    if (!CoolTrayIcon->InTray())
        statusBar()->showMessage(Title + QStringLiteral(": ") + Text, Seconds * 1000);
}

void TMainF::ShowBalloon(const QString& Title, const QString& Text, int Seconds)
{
    ShowBalloon(Title, Text, TCoolTrayIcon::bitInfo, Seconds);
}

void TMainF::RestoreFromTray()
{
    CoolTrayIcon->ShowMainForm();
}

void TMainF::HideToTray()
{
    CoolTrayIcon->HideMainForm();
}

void TMainF::CoolTrayIconClick()
{
    if (isVisible())
        HideToTray();
    else
        RestoreFromTray();
}

void TMainF::SetShowHotKeyText(const QString& KeyText)
{
    Show1->setText(KeyText.isEmpty() ? QStringLiteral("Show") : QStringLiteral("Show\t") + KeyText);
}

void TMainF::Show1Click()
{
    RestoreFromTray();
}
void TMainF::Hide1Click()
{
    HideToTray();
}

// ---------------------------------------------------------------- opening

TTreeNode* TMainF::ListNodeAt(const QModelIndex& Row) const
{
    const auto* model = qobject_cast<const TListModel*>(Row.model());
    return model ? model->NodeOf(Row) : nullptr;
}

QModelIndex TMainF::SelectedListRow() const
{
    const QItemSelectionModel* selection = ListDetails->selectionModel();
    if (!selection)
        return {};
    const QModelIndex current = selection->currentIndex();
    if (current.isValid() && selection->isRowSelected(current.row(), current.parent()))
        return current.siblingAtColumn(0);
    const QModelIndexList rows = selection->selectedRows();
    return rows.isEmpty() ? QModelIndex() : rows.first();
}

TTreeNode* TMainF::CommandTargetNode() const
{
    // The focus the window remembers, so a command from the tray menu or a
    // tool button still acts on what the user was working in.
    const QWidget* focus = focusWidget();
    if (focus == DocsTree)
        return SelectedTreeNode();
    if (focus == ListIcons || focus == ListDetails)
        return ListNodeAt(SelectedListRow());
    return nullptr;
}

void TMainF::OpenTarget(const QString& Target)
{
    QString target = Target;
    // An address already written as a mail link keeps its one prefix.
    if (IsEMail(Target) && !Target.startsWith(QStringLiteral("mailto:"), Qt::CaseInsensitive))
        target = QStringLiteral("mailto:") + Target;
    if (!MySysUtils::OpenURL(target))
        throw ECatalogueError(QStringLiteral("Cannot execute ShellExecute function!"));
}

void TMainF::openNode(TTreeNode* Node)
{
    if (Node->Data()->Kind == nkURL) {
        OpenTarget(Node->Data()->FullName);
        return;
    }
    // The list refill that follows may ask the relink question about this
    // node and about others in the same list; any answer may remove this
    // node, and then it must not be touched again.
    bool gone = false;
    const QMetaObject::Connection watch = connect(&Catalogue.Nodes(), &TTreeNodes::nodeDeleting,
                                                  this, [Node, &gone](TTreeNode* deleted) {
                                                      if (!gone && Node->IsUnder(deleted))
                                                          gone = true;
                                                  });
    auto unwatch = qScopeGuard([&watch] { QObject::disconnect(watch); });
    m_relinkAskedFor = nullptr;
    Catalogue.RefreshNodeIcon(Node, false);
    // Once the question was asked about this node, it is re-pointed or gone,
    // and that is the answer.
    const bool asked = m_relinkAskedFor == Node;
    m_relinkAskedFor = nullptr;
    if (gone || asked)
        return;
    const QString path = Node->Data()->FullName;
    if (ProbePath(path).Exists) // one look at the disk for file or folder alike
        OpenTarget(path);
    else
        HSDialogs::WarningBoxFmt(
            QStringLiteral("File \"%s\" not found.\rMay be it was replaced or removed."), {path},
            HSDialogs::DefaultHorzOffset, HSDialogs::DefaultVertOffset, this);
}

void TMainF::DocsTreeDblClick()
{
    TTreeNode* node = SelectedTreeNode();
    // A category only folds or unfolds, which the tree does by itself.
    if (!node || !node->Data() || node->Data()->Kind == nkCategory)
        return;
    openNode(node);
}

void TMainF::ListViewDblClick()
{
    const QModelIndex row = SelectedListRow();
    TTreeNode* node = ListNodeAt(row);
    if (!node || !node->Data())
        return;
    if (TListModel::CellText(node, TListModel::colLocation).isEmpty())
        EnterListedCategory(row);
    else
        openNode(node);
}

void TMainF::EnterListedCategory(const QModelIndex& Row)
{
    TTreeNode* node = ListNodeAt(Row);
    if (!node)
        return;
    const QModelIndex index = Catalogue.Nodes().IndexOf(node);
    DocsTree->expand(index);
    DocsTree->setCurrentIndex(index); // the selection change lists it
    ListCategory(node);
}

void TMainF::acFindObjectExecute()
{
    TTreeNode* node = CommandTargetNode();
    if (!node || !node->Data())
        return;
    if (node->Data()->Kind == nkCategory || node->Data()->Kind == nkURL) {
        HSDialogs::ErrorBox(QStringLiteral("Could not do it with categories and hyperlinks."),
                            this);
        return;
    }
    OpenTarget(folderPart(node->Data()->FullName));
}

// ---------------------------------------------------------------- moved documents

bool TMainF::AskNewLocation(const QString& Name, const QString& Path, TTreeNode* Node,
                            const QString& Comments)
{
    // The additional-field value is the user's own data: a relinked or
    // missing document keeps it.
    const QString additional = Node->Data() ? Node->Data()->sAdditional : QString();
    if (!acRemoveOnAbsent->isChecked()) {
        Catalogue.FillDocNode(Node, Name, Path, Comments, additional, true);
        return true;
    }
    m_relinkAskedFor = Node;
    const QString question = QStringLiteral("The document\r") + Path + QStringLiteral("\r") +
                             QStringLiteral("was replaced or removed.") + QStringLiteral("\r") +
                             QStringLiteral("To define its new location, click \"Yes\"") +
                             QStringLiteral("\r") +
                             QStringLiteral("Othewise the link will be removed from the list.");
    QString picked;
    if (HSDialogs::AskYesNo(question, this)) {
        const QString title = QStringLiteral("Define new document location");
        const QString folder = nearestExistingFolder(Path);
        picked = PickFileHook ? PickFileHook(title, folder)
                              : QFileDialog::getOpenFileName(this, title, folder);
    }
    if (!picked.isEmpty() && FileExists(picked)) {
        Catalogue.FillDocNode(Node, Name, picked, Comments, additional, false);
        return true;
    }
    RemoveNode(Node);
    ShowBalloon(QStringLiteral("File not found!"), QStringLiteral("The link is removed"),
                TCoolTrayIcon::bitWarning, 10);
    return false;
}

void TMainF::RemoveNode(TTreeNode* Node)
{
    TTreeNode* next = Node->Parent();
    if (!next)
        next = Node->GetNextSibling();
    if (!next)
        next = Node->GetPrevSibling();
    Catalogue.Nodes().Delete(Node); // the record goes with the node
    ListCategory(next);
}
