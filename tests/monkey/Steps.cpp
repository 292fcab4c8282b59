#include "Steps.h"
#include "Gestures.h"
#include "Monkey.h"
#include "World.h"
#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueFile.h"
#include "catalogue/ListModel.h"
#include "forms/MainWindow.h"
#include "forms/main/CategoryView.h"
#include "forms/main/CommandActions.h"
#include "utils/TextUtils.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <QtTest>

using Commands::Id;
using Gestures::DragEnd;

namespace
{

QString named(const TreeNode* node)
{
    return node ? QStringLiteral("\"%1\"").arg(
                      TextUtils::excerpt(TextUtils::singleLine(node->text()), 50))
                : QStringLiteral("(none)");
}

QString brief(const QString& text)
{
    return TextUtils::excerpt(TextUtils::singleLine(text), 60);
}

TreeNode* randomNode(Monkey& m)
{
    const std::vector<TreeNode*> all = m.nodes();
    return all.empty() ? nullptr : all[size_t(m.rng().below(qsizetype(all.size())))];
}

// A word a user would look for: part of a name or comment in the tree, or
// something else.
QString searchWord(Monkey& m)
{
    Rng& rng = m.rng();
    TreeNode* node = randomNode(m);
    if (!node || rng.chance(20))
        return World::randomWord(rng);
    QString text = node->text();
    if (node->data() && rng.chance(30))
        text = rng.chance(50) ? node->data()->comments : node->data()->sAdditional;
    const QStringList words = text.split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty())
        return World::randomWord(rng);
    const QString word = rng.pick(words);
    return rng.chance(50) ? word : word.left(rng.between(1, int(word.size())));
}

QLineEdit* filterEdit(Monkey& m)
{
    return m.window().findChild<QLineEdit*>(QStringLiteral("FilterEdit"));
}

// The widget a key goes to: where the focus is, or one of the places a
// user works in.
QWidget* keyTarget(Monkey& m)
{
    Rng& rng = m.rng();
    const int roll = rng.below(100);
    if (roll < 50 && m.window().focusWidget())
        return m.window().focusWidget();
    QWidget* places[] = {m.tree(), m.shownList(), filterEdit(m), &m.window()};
    QWidget* w = rng.pick(places);
    w->setFocus(Qt::OtherFocusReason);
    return w;
}

// A point of the window where something lands that is no row: the list's
// empty part, the strip, the tool bar, the status line.
std::pair<QWidget*, QPoint> elsewhere(Monkey& m)
{
    Rng& rng = m.rng();
    QWidget* places[] = {m.shownList()->viewport(),
                         m.window().findChild<QWidget*>(QStringLiteral("TargetWin")),
                         m.window().findChild<QToolBar*>(), m.tree()->viewport(), &m.window()};
    QWidget* w = rng.pick(places);
    if (!w)
        w = &m.window();
    const int x = rng.below(std::max(1, w->width()));
    return {w, QPoint(x, rng.below(std::max(1, w->height())))};
}

// A tree row's point, or a point elsewhere when it cannot be shown.
std::pair<QWidget*, QPoint> treeRow(Monkey& m, TreeNode** chosen = nullptr)
{
    TreeNode* node = randomNode(m);
    if (chosen)
        *chosen = node;
    if (node)
        if (auto p = Gestures::rowPoint(m.tree(), m.catalogue().nodes().indexOf(node)))
            return {m.tree()->viewport(), *p};
    return elsewhere(m);
}

// The folders panel's lines inside the scratch folder (a drop onto "/"
// would be the user's own doing, and is kept out of the run).
QList<QListWidgetItem*> insideLines(Monkey& m, QListWidget* lines)
{
    QList<QListWidgetItem*> out;
    for (int i = 0; i < lines->count(); ++i)
        if (m.world().inside(lines->item(i)->data(Qt::UserRole).toString()) &&
            lines->item(i)->data(Qt::UserRole).toString().startsWith(m.world().root()))
            out << lines->item(i);
    return out;
}

QListWidget* folderLines(Monkey& m)
{
    return m.window().findChild<QListWidget*>(QStringLiteral("DirListBox"));
}

// ---------------------------------------------------------------- selecting

void selectInTree(Monkey& m)
{
    Rng& rng = m.rng();
    QTreeView* tree = m.tree();
    const int how = rng.below(100);
    if (how < 60) {
        TreeNode* node = randomNode(m);
        if (auto p = node ? Gestures::rowPoint(tree, m.catalogue().nodes().indexOf(node))
                          : std::nullopt) {
            m.note(QStringLiteral("click tree row %1").arg(named(node)));
            Gestures::click(tree->viewport(), *p);
            return;
        }
    }
    if (how < 90) {
        static constexpr int keys[] = {Qt::Key_Up,       Qt::Key_Down,    Qt::Key_PageUp,
                                       Qt::Key_PageDown, Qt::Key_Home,    Qt::Key_End,
                                       Qt::Key_Left,     Qt::Key_Right,   Qt::Key_Plus,
                                       Qt::Key_Minus,    Qt::Key_Asterisk};
        tree->setFocus(Qt::OtherFocusReason);
        QStringList pressed;
        for (int n = rng.between(1, 4); n > 0; --n) {
            const int key = rng.pick(keys);
            pressed << QKeySequence(key).toString();
            Gestures::key(tree, key);
        }
        m.note(QStringLiteral("tree keys %1 -> %2")
                   .arg(pressed.join(u' '), named(m.view().currentNode())));
        return;
    }
    // Below the last row: nothing chosen.
    m.note(QStringLiteral("click below the tree's rows"));
    Gestures::click(tree->viewport(), QPoint(5, tree->viewport()->height() - 2));
}

void selectInList(Monkey& m)
{
    Rng& rng = m.rng();
    QAbstractItemView* list = m.shownList();
    const int rows = m.listModel().rowCount();
    const int how = rng.below(100);
    if (how < 65 && rows > 0) {
        const int row = rng.below(rows);
        if (auto p = Gestures::rowPoint(list, m.listModel().index(row, 0))) {
            m.note(QStringLiteral("click list row %1 %2")
                       .arg(row)
                       .arg(named(m.listModel().node(row))));
            Gestures::click(list->viewport(), *p);
            return;
        }
    }
    if (how < 90) {
        static constexpr int keys[] = {Qt::Key_Up,       Qt::Key_Down,  Qt::Key_Home, Qt::Key_End,
                                       Qt::Key_PageDown, Qt::Key_Right, Qt::Key_Left};
        list->setFocus(Qt::OtherFocusReason);
        QStringList pressed;
        for (int n = rng.between(1, 3); n > 0; --n) {
            const int key = rng.pick(keys);
            pressed << QKeySequence(key).toString();
            Gestures::key(list, key);
        }
        m.note(QStringLiteral("list keys %1").arg(pressed.join(u' ')));
        return;
    }
    m.note(QStringLiteral("click the list's empty part"));
    Gestures::click(list->viewport(),
                    QPoint(list->viewport()->width() - 3, list->viewport()->height() - 3));
}

void openEntry(Monkey& m)
{
    Rng& rng = m.rng();
    if (rng.chance(50)) {
        TreeNode* node = randomNode(m);
        if (auto p = node ? Gestures::rowPoint(m.tree(), m.catalogue().nodes().indexOf(node))
                          : std::nullopt) {
            m.note(QStringLiteral("double-click tree row %1").arg(named(node)));
            Gestures::doubleClick(m.tree()->viewport(), *p);
            return;
        }
    }
    QAbstractItemView* list = m.shownList();
    if (m.listModel().rowCount() > 0 && rng.chance(70)) {
        const int row = rng.below(m.listModel().rowCount());
        if (auto p = Gestures::rowPoint(list, m.listModel().index(row, 0))) {
            m.note(QStringLiteral("double-click list row %1").arg(named(m.listModel().node(row))));
            Gestures::doubleClick(list->viewport(), *p);
            return;
        }
    }
    QWidget* view = rng.chance(50) ? static_cast<QWidget*>(m.tree()) : list;
    view->setFocus(Qt::OtherFocusReason);
    m.note(QStringLiteral("Enter in %1").arg(view->objectName()));
    Gestures::key(view, Qt::Key_Return);
}

// ---------------------------------------------------------------- commands and keys

void command(Monkey& m)
{
    Rng& rng = m.rng();
    if (rng.chance(10)) {
        // The tool buttons that stand for a menu: clicked, not their arrow.
        const Commands::Menu menus[] = {Commands::Menu::Search, Commands::Menu::ViewButton};
        QToolButton* button = m.window().findChild<CommandActions*>()->menuButton(rng.pick(menus));
        if (button && button->isVisible()) {
            m.note(QStringLiteral("tool button %1").arg(button->objectName()));
            button->click();
            return;
        }
    }
    const auto table = Commands::table();
    const Commands::Entry* entry = &table[size_t(rng.below(qsizetype(table.size())))];
    // Ending the run comes less often than the others.
    if ((entry->command == Id::Quit || entry->command == Id::QuitFromFileMenu) && !rng.chance(15))
        entry = &Commands::entry(Id::RemoveFromProgram);
    QAction* action = m.action(entry->command);
    m.note(QStringLiteral("command %1%2 (target %3)")
               .arg(QLatin1String(entry->objectName),
                    action->isEnabled() ? QString() : QStringLiteral(" (disabled)"),
                    named(m.window().findChild<CategoryView*>()->commandTargetNode())));
    action->trigger();
}

// Undo and Redo more often than the table's share would give them, as a run
// of edits undone and done again is where a stale address would show.
void undoRedo(Monkey& m)
{
    const Id id = m.rng().chance(60) ? Id::Undo : Id::Redo;
    QAction* action = m.action(id);
    m.note(QStringLiteral("%1%2").arg(
        action->text(), action->isEnabled() ? QString() : QStringLiteral(" (disabled)")));
    action->trigger();
}

void pressKey(Monkey& m)
{
    struct Key {
        int key;
        Qt::KeyboardModifiers modifiers;
    };
    static const Key keys[] = {
        {Qt::Key_Delete, {}},
        {Qt::Key_Delete, Qt::ControlModifier},
        {Qt::Key_F2, {}},
        {Qt::Key_F3, {}},
        {Qt::Key_F6, {}},
        {Qt::Key_Backspace, {}},
        {Qt::Key_Return, {}},
        {Qt::Key_Return, Qt::AltModifier},
        {Qt::Key_N, Qt::ControlModifier},
        {Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier},
        {Qt::Key_Insert, {}},
        {Qt::Key_F, Qt::ControlModifier},
        {Qt::Key_F, Qt::ControlModifier | Qt::AltModifier},
        {Qt::Key_S, Qt::ControlModifier},
        {Qt::Key_O, Qt::ControlModifier},
        {Qt::Key_K, Qt::ControlModifier},
        {Qt::Key_Escape, {}},
        {Qt::Key_Up, {}},
        {Qt::Key_Down, {}},
        {Qt::Key_Home, {}},
        {Qt::Key_End, {}},
        {Qt::Key_F12, {}},
        {Qt::Key_F1, {}},
        {Qt::Key_A, {}},
        {Qt::Key_R, {}},
        {Qt::Key_Tab, {}},
        {Qt::Key_Space, {}},
        {Qt::Key_Menu, {}},
        {Qt::Key_Q, Qt::ControlModifier},
    };
    Rng& rng = m.rng();
    Key key = rng.pick(keys);
    if (key.key == Qt::Key_Q && !rng.chance(20))
        key = {Qt::Key_Delete, {}};
    QWidget* target = keyTarget(m);
    m.note(QStringLiteral("key %1 in %2")
               .arg(QKeySequence(key.key | key.modifiers).toString(), target->objectName()));
    Gestures::key(target, key.key, key.modifiers);
}

// The context menu of the tree or the list at a row or empty space; an
// entry of it (or of its submenus) is chosen, or the menu dismissed.
void contextMenu(Monkey& m)
{
    Rng& rng = m.rng();
    QAbstractItemView* view =
        rng.chance(50) ? static_cast<QAbstractItemView*>(m.tree()) : m.shownList();
    QPoint at(view->viewport()->width() - 4, view->viewport()->height() - 4);
    QString where = QStringLiteral("empty space");
    if (rng.chance(80)) {
        QModelIndex index;
        if (view == m.tree()) {
            TreeNode* node = randomNode(m);
            index = m.catalogue().nodes().indexOf(node);
            where = named(node);
        } else if (m.listModel().rowCount() > 0) {
            index = m.listModel().index(rng.below(m.listModel().rowCount()), 0);
            where = named(m.listModel().nodeOf(index));
        }
        if (auto p = Gestures::rowPoint(view, index))
            at = *p;
    }
    view->setFocus(Qt::MouseFocusReason);
    Gestures::click(view->viewport(), at, Qt::RightButton);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
    QApplication::sendEvent(view->viewport(), &event);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu) {
        m.note(
            QStringLiteral("context menu in %1 at %2: none shown").arg(view->objectName(), where));
        return;
    }
    QList<QAction*> entries;
    std::vector<QMenu*> pending{menu};
    while (!pending.empty()) {
        QMenu* current = pending.back();
        pending.pop_back();
        for (QAction* a : current->actions()) {
            if (a->isSeparator() || !a->isEnabled() || !a->isVisible())
                continue;
            if (a->menu())
                pending.push_back(a->menu());
            else
                entries << a;
        }
    }
    if (entries.isEmpty() || rng.chance(12)) {
        m.note(QStringLiteral("context menu %1 in %2 at %3 dismissed")
                   .arg(menu->objectName(), view->objectName(), where));
        Gestures::key(menu, Qt::Key_Escape);
        menu->hide();
        return;
    }
    QAction* chosen = rng.pick(entries);
    m.note(QStringLiteral("context menu %1 in %2 at %3 -> %4")
               .arg(menu->objectName(), view->objectName(), where,
                    chosen->objectName().isEmpty() ? brief(chosen->text()) : chosen->objectName()));
    menu->hide();
    chosen->trigger();
}

// ---------------------------------------------------------------- names

void rename(Monkey& m)
{
    Rng& rng = m.rng();
    const bool inTree = rng.chance(55);
    QAbstractItemView* view = inTree ? static_cast<QAbstractItemView*>(m.tree()) : m.shownList();
    view->setFocus(Qt::OtherFocusReason);
    if (!inTree && !m.view().selectedListRow().isValid() && m.listModel().rowCount() > 0)
        if (auto p = Gestures::rowPoint(
                view, m.listModel().index(rng.below(m.listModel().rowCount()), 0)))
            Gestures::click(view->viewport(), *p);
    const QString before =
        inTree ? named(m.view().currentNode()) : named(m.view().listSelectedNode());
    Gestures::key(view, Qt::Key_F2);
    QLineEdit* editor = nullptr;
    for (QLineEdit* e : view->viewport()->findChildren<QLineEdit*>())
        if (e->isVisible())
            editor = e;
    if (!editor) {
        m.note(QStringLiteral("F2 in %1 on %2: no editor").arg(view->objectName(), before));
        return;
    }
    const int roll = rng.below(100);
    const QString name = roll < 75   ? World::randomName(rng)
                         : roll < 85 ? QString()
                                     : editor->text();
    if (name.size() < 12 && !name.contains(u'\t') && rng.chance(50)) {
        editor->selectAll();
        Gestures::type(editor, name);
    } else {
        editor->selectAll();
        editor->insert(name); // pasted
    }
    const int end = rng.below(100);
    m.note(QStringLiteral("rename %1 in %2 to \"%3\" with %4")
               .arg(before, view->objectName(), brief(name),
                    end < 60   ? QStringLiteral("Enter")
                    : end < 80 ? QStringLiteral("Escape")
                               : QStringLiteral("a click elsewhere")));
    if (end < 60) {
        Gestures::key(editor, Qt::Key_Return);
    } else if (end < 80) {
        Gestures::key(editor, Qt::Key_Escape);
    } else {
        QAbstractItemView* other =
            inTree ? m.shownList() : static_cast<QAbstractItemView*>(m.tree());
        Gestures::click(other->viewport(), QPoint(4, other->viewport()->height() - 4));
    }
}

// ---------------------------------------------------------------- drags

// A drag of a row of the tree or the list onto a tree row, a line of the
// folders panel or somewhere else, with or without Ctrl, or given up.
void dragInside(Monkey& m)
{
    Rng& rng = m.rng();
    const bool fromTree = rng.chance(60);
    QAbstractItemView* view = fromTree ? static_cast<QAbstractItemView*>(m.tree()) : m.shownList();
    QModelIndex index;
    if (fromTree)
        index = m.catalogue().nodes().indexOf(randomNode(m));
    else if (m.listModel().rowCount() > 0)
        index = m.listModel().index(rng.below(m.listModel().rowCount()), 0);
    const TreeNode* source = fromTree ? NodeTree::nodeOf(index) : m.listModel().nodeOf(index);
    const auto from = Gestures::rowPoint(view, index);
    if (!from) {
        m.note(QStringLiteral("drag from %1: no row to take").arg(view->objectName()));
        return;
    }
    const Qt::KeyboardModifiers modifiers = rng.chance(30) ? Qt::ControlModifier : Qt::NoModifier;
    const DragEnd end = rng.chance(10) ? DragEnd::Escape : DragEnd::Drop;
    const int where = rng.below(100);
    QString target;
    const QString start = QStringLiteral("drag %1 from %2%3")
                              .arg(named(source), view->objectName(),
                                   modifiers ? QStringLiteral(" with Ctrl") : QString());
    m.note(start);
    const bool ran = Gestures::dragInside(
        view->viewport(), *from,
        [&]() -> std::pair<QWidget*, QPoint> {
            QListWidget* lines = folderLines(m);
            if (where < 20 && lines && lines->isVisible()) {
                const QList<QListWidgetItem*> inside = insideLines(m, lines);
                if (!inside.isEmpty()) {
                    QListWidgetItem* line = rng.pick(inside);
                    target = QStringLiteral("folder line \"%1\"")
                                 .arg(brief(line->data(Qt::UserRole).toString()));
                    return {lines->viewport(), lines->visualItemRect(line).center()};
                }
            }
            if (where < 85) {
                TreeNode* node = nullptr;
                auto p = treeRow(m, &node);
                target = QStringLiteral("tree row %1").arg(named(node));
                return p;
            }
            auto p = elsewhere(m);
            target = QStringLiteral("%1 at %2,%3")
                         .arg(p.first->objectName())
                         .arg(p.second.x())
                         .arg(p.second.y());
            return p;
        },
        modifiers, end);
    m.note(
        ran ? QStringLiteral("  onto %1%2")
                  .arg(target, end == DragEnd::Escape ? QStringLiteral(", then Escape") : QString())
            : QStringLiteral("  no drag began"));
}

void dropFiles(Monkey& m)
{
    Rng& rng = m.rng();
    World& world = m.world();
    QList<QUrl> urls;
    QStringList shown;
    for (int n = rng.between(1, 3); n > 0; --n) {
        const int roll = rng.below(100);
        const QString path = roll < 65   ? world.randomDocument(rng)
                             : roll < 88 ? world.randomFolder(rng)
                                         : world.missingPath(rng);
        urls << QUrl::fromLocalFile(path);
        shown << brief(path.mid(world.root().size()));
    }
    auto* data = new QMimeData;
    data->setUrls(urls);
    const int allowedRoll = rng.below(100);
    const Qt::DropActions allowed = allowedRoll < 80
                                        ? Qt::CopyAction | Qt::MoveAction | Qt::LinkAction
                                    : allowedRoll < 90 ? Qt::CopyAction | Qt::MoveAction
                                                       : Qt::LinkAction;
    TreeNode* node = nullptr;
    const auto [target, at] = rng.chance(65) ? treeRow(m, &node) : elsewhere(m);
    const DragEnd end = rng.chance(8) ? DragEnd::Escape : DragEnd::Drop;
    m.note(QStringLiteral("files dropped from outside on %1 %2: %3%4")
               .arg(target->objectName(), node ? named(node) : QString(),
                    shown.join(QStringLiteral(" | ")),
                    end == DragEnd::Escape ? QStringLiteral(" (given up)") : QString()));
    Gestures::dragFromOutside(data, allowed, target, at,
                              rng.chance(10) ? Qt::ShiftModifier : Qt::NoModifier, end);
}

void dropLink(Monkey& m)
{
    Rng& rng = m.rng();
    const QString urls[] = {
        QStringLiteral("https://example.org/%1").arg(World::randomWord(rng)),
        QStringLiteral("http://www.example.com/a?b=%1&c=d").arg(rng.below(100)),
        QStringLiteral("mailto:x%1@example.org").arg(rng.below(9)),
        QStringLiteral("https://www.velmarch.example/more/%1").arg(rng.below(9)),
        QStringLiteral("file:///etc/hostname"),
        QStringLiteral("javascript:alert(1)"),
        World::randomName(rng),
        QStringLiteral("https://example.org/") + QString(rng.between(10, 6000), u'y'),
    };
    const QString url = rng.pick(urls);
    const QString title = rng.chance(70) ? World::randomName(rng) : QString();
    auto* data = new QMimeData;
    const int format = rng.below(100);
    if (format < 40) {
        data->setData(QStringLiteral("_NETSCAPE_URL"), (url + u'\n' + title).toUtf8());
    } else if (format < 70) {
        const QString both = url + u'\n' + title;
        data->setData(QStringLiteral("text/x-moz-url"),
                      QByteArray(reinterpret_cast<const char*>(both.utf16()), both.size() * 2));
        data->setUrls({QUrl(url)});
    } else if (format < 90) {
        data->setUrls({QUrl(url)});
        data->setText(url);
    } else {
        data->setText(url);
    }
    const int where = rng.below(100);
    QWidget* strip = m.window().findChild<QWidget*>(QStringLiteral("TargetWin"));
    TreeNode* node = nullptr;
    auto [target, at] = where < 85 ? treeRow(m, &node) : elsewhere(m);
    if (where < 50 && strip) {
        // On the strip, level with the row.
        at = strip->mapFromGlobal(target->mapToGlobal(at));
        at.setX(rng.below(strip->width()));
        target = strip;
    }
    m.note(
        QStringLiteral("link \"%1\" titled \"%2\" dropped on %3 %4")
            .arg(brief(url), brief(title), target->objectName(), node ? named(node) : QString()));
    Gestures::dragFromOutside(data, Qt::CopyAction | Qt::LinkAction | Qt::MoveAction, target, at,
                              {}, rng.chance(5) ? DragEnd::Escape : DragEnd::Drop);
}

// ---------------------------------------------------------------- finding

void filter(Monkey& m)
{
    Rng& rng = m.rng();
    QLineEdit* edit = filterEdit(m);
    if (!edit)
        return m.fault(QStringLiteral("no filter field"));
    const int how = rng.below(100);
    if (how < 15) {
        m.note(QStringLiteral("Ctrl+K"));
        Gestures::key(m.shownList(), Qt::Key_K, Qt::ControlModifier);
        return;
    }
    edit->setFocus(Qt::OtherFocusReason);
    if (how < 60) {
        QString word = searchWord(m);
        if (!edit->text().isEmpty() && rng.chance(40))
            word = u' ' + word;
        else
            edit->selectAll();
        m.note(QStringLiteral("filter types \"%1\" after \"%2\"")
                   .arg(brief(word), brief(edit->hasSelectedText() ? QString() : edit->text())));
        if (word.size() <= 8)
            Gestures::type(edit, word);
        else
            edit->insert(word);
        return;
    }
    static constexpr int keys[] = {Qt::Key_Escape, Qt::Key_Backspace, Qt::Key_Down, Qt::Key_Return,
                                   Qt::Key_Backspace};
    const int key = rng.pick(keys);
    m.note(QStringLiteral("filter key %1 on \"%2\"")
               .arg(QKeySequence(key).toString(), brief(edit->text())));
    Gestures::key(edit, key);
}

void find(Monkey& m)
{
    Rng& rng = m.rng();
    auto* dialog = m.window().findChild<QDialog*>(QStringLiteral("FindDlg"));
    const int how = rng.below(100);
    if (how < 40 || !dialog || !dialog->isVisible()) {
        const Id commands[] = {Id::FindByName, Id::FindByName, Id::FindInComments,
                               Id::FindByAdditional};
        const Id command = rng.pick(commands);
        m.note(
            QStringLiteral("command %1").arg(QLatin1String(Commands::entry(command).objectName)));
        m.action(command)->trigger();
        dialog = m.window().findChild<QDialog*>(QStringLiteral("FindDlg"));
        if (!dialog || !dialog->isVisible())
            return;
        auto* text = dialog->findChild<QLineEdit*>(QStringLiteral("FindText"));
        if (text && rng.chance(80)) {
            text->setText(searchWord(m));
            m.note(QStringLiteral("find \"%1\"").arg(brief(text->text())));
        }
        if (auto* matchCase = dialog->findChild<QCheckBox*>(QStringLiteral("MatchCase"));
            matchCase && rng.chance(15))
            matchCase->click();
    }
    if (how < 75) {
        m.note(QStringLiteral("Find Next"));
        if (auto* next = dialog->findChild<QPushButton*>(QStringLiteral("FindNext")))
            next->click();
    } else if (how < 90) {
        m.note(QStringLiteral("F3"));
        Gestures::key(rng.chance(50) ? static_cast<QWidget*>(dialog) : m.tree(), Qt::Key_F3);
    } else {
        m.note(QStringLiteral("find dialog Cancel"));
        if (auto* cancel = dialog->findChild<QPushButton*>(QStringLiteral("Cancel")))
            cancel->click();
    }
}

// ---------------------------------------------------------------- the view

void sort(Monkey& m)
{
    Rng& rng = m.rng();
    auto* details = m.window().findChild<QTreeView*>(QStringLiteral("ListDetails"));
    if (!details->isVisible()) {
        m.note(QStringLiteral("command Detailes1 (to sort)"));
        m.action(Id::Details)->trigger();
    }
    QHeaderView* header = details->header();
    const int column = rng.below(header->count());
    if (header->isSectionHidden(column) || header->sectionSize(column) <= 0) {
        m.note(QStringLiteral("sort by column %1: hidden").arg(column));
        return;
    }
    const int x =
        header->sectionViewportPosition(column) + std::min(header->sectionSize(column) / 2, 20);
    m.note(QStringLiteral("click header column %1 (%2 rows listed)")
               .arg(column)
               .arg(m.listModel().rowCount()));
    Gestures::click(header->viewport(), QPoint(x, header->height() / 2));
}

void viewStyle(Monkey& m)
{
    Rng& rng = m.rng();
    const Id styles[] = {Id::LargeIcons, Id::SmallIcons,       Id::List,
                         Id::Details,    Id::ButtonLargeIcons, Id::ButtonSmallIcons,
                         Id::ButtonList, Id::ButtonDetails};
    const Id style = rng.pick(styles);
    m.note(QStringLiteral("command %1").arg(QLatin1String(Commands::entry(style).objectName)));
    m.action(style)->trigger();
}

void foldersPanel(Monkey& m)
{
    Rng& rng = m.rng();
    QListWidget* lines = folderLines(m);
    if (!lines->isVisible() || rng.chance(8)) {
        m.note(QStringLiteral("command acExplore"));
        m.action(Id::ShowFolders)->trigger();
        return;
    }
    const QList<QListWidgetItem*> inside = insideLines(m, lines);
    const int how = rng.below(100);
    if (how < 75 && !inside.isEmpty()) {
        QListWidgetItem* line = rng.pick(inside);
        m.note(QStringLiteral("double-click folder line \"%1\"")
                   .arg(brief(line->data(Qt::UserRole).toString())));
        lines->scrollToItem(line);
        Gestures::doubleClick(lines->viewport(), lines->visualItemRect(line).center());
        return;
    }
    // The panel moved by its caption.
    QWidget* caption = m.window().findChild<QLabel*>(QStringLiteral("FoldersCaption"));
    const int dx = rng.between(-200, 200);
    const QPoint by(dx, rng.between(-150, 150));
    m.note(QStringLiteral("folders panel moved by %1,%2").arg(by.x()).arg(by.y()));
    QTest::mousePress(caption, Qt::LeftButton, {}, QPoint(10, 5));
    QTest::mouseMove(caption, QPoint(10, 5) + by);
    QTest::mouseRelease(caption, Qt::LeftButton, {}, QPoint(10, 5) + by);
}

// ---------------------------------------------------------------- the world outside

// Another program changes the files the catalogue links to (or the
// catalogue file itself).
void outsideChange(Monkey& m)
{
    Rng& rng = m.rng();
    World& world = m.world();
    const int what = rng.below(100);
    if (what < 35) {
        const QString victim = world.randomDocument(rng);
        m.note(QStringLiteral("another program deletes %1").arg(brief(victim)));
        QFile::remove(victim);
    } else if (what < 55) {
        const QString from = world.randomDocument(rng);
        const QString to = world.randomFolder(rng) + u'/' + QFileInfo(from).fileName();
        m.note(QStringLiteral("another program moves %1 to %2").arg(brief(from), brief(to)));
        QFile::rename(from, to);
    } else if (what < 70) {
        // A missing document comes back where a link expects it.
        std::vector<TreeNode*> missing;
        for (TreeNode* n : m.nodes())
            if (n->data() && n->data()->kind == NodeKind::Doc &&
                world.inside(n->data()->fullName) && !QFileInfo::exists(n->data()->fullName))
                missing.push_back(n);
        if (missing.empty())
            return;
        const QString path = rng.pick(missing)->data()->fullName;
        m.note(QStringLiteral("another program makes %1").arg(brief(path)));
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write("back");
    } else if (what < 78) {
        const QString folder = world.randomFolder(rng);
        if (folder == world.files())
            return;
        m.note(QStringLiteral("another program deletes the folder %1").arg(brief(folder)));
        QDir(folder).removeRecursively();
    } else if (what < 84) {
        // A document becomes a folder of the same name.
        const QString path = world.randomDocument(rng);
        m.note(QStringLiteral("another program puts a folder in place of %1").arg(brief(path)));
        QFile::remove(path);
        QDir().mkpath(path + QStringLiteral("/inside"));
    } else if (what < 94) {
        const QString folder = world.randomFolder(rng);
        for (int n = rng.between(1, 4); n > 0; --n) {
            const QString word = World::randomWord(rng).replace(u'/', u'-');
            QFile file(folder + u'/' + word + QStringLiteral(" new %1.txt").arg(rng.below(1000)));
            if (file.open(QIODevice::WriteOnly))
                file.write("new");
        }
        m.note(QStringLiteral("another program adds files to %1").arg(brief(folder)));
    } else {
        // A sync tool puts another version of the catalogue in place.
        const QString path = world.catalogueFolder() + QStringLiteral("/quillmere.dat");
        QFile file(path);
        if (file.open(QIODevice::Append)) {
            m.note(QStringLiteral("another program adds a line to quillmere.dat"));
            QByteArray line;
            appendCatalogueLine(line, u"Synced", 0, u"", u"", u'1', u"");
            file.write(line);
        }
    }
    world.rescan();
}

// The session ends outside any question: the desktop's logoff save, or a
// termination signal (main() routes SIGTERM and the session's quit there).
void sessionEnd(Monkey& m)
{
    if (m.rng().chance(50)) {
        m.note(QStringLiteral("the desktop saves the session (logoff query)"));
        m.window().queryEndSession();
        m.checkSavedCatalogue(QStringLiteral("the logoff's save"));
    } else {
        m.note(QStringLiteral("a termination signal"));
        m.window().endRun();
    }
}

constexpr StepKind Table[] = {
    {"select in tree", 130, selectInTree},
    {"select in list", 100, selectInList},
    {"open", 30, openEntry},
    {"command", 170, command},
    {"undo or redo", 45, undoRedo},
    {"key", 90, pressKey},
    {"context menu", 55, contextMenu},
    {"rename", 45, rename},
    {"drag", 55, dragInside},
    {"drop files", 30, dropFiles},
    {"drop link", 25, dropLink},
    {"filter", 45, filter},
    {"find", 35, find},
    {"sort", 25, sort},
    {"view style", 12, viewStyle},
    {"folders panel", 22, foldersPanel},
    {"outside change", 28, outsideChange},
    {"session end", 4, sessionEnd},
};

} // namespace

std::span<const StepKind> stepKinds()
{
    return Table;
}
