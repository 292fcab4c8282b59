#include "forms/main/AdditionalMenu.h"
#include "catalogue/Catalogue.h"
#include "catalogue/ListModel.h"
#include "catalogue/SettingKeys.h"
#include "forms/main/CommandActions.h"
#include "utils/TextUtils.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <vector>

namespace
{

// Menu texts treat '&' as an accelerator marker: doubled, it shows as itself.
QString menuText(const QString& text)
{
    QString t = text;
    return t.replace(u'&', QStringLiteral("&&"));
}

} // namespace

AdditionalMenu::AdditionalMenu(CommandContext& context, ListModel& listModel, QObject* parent)
    : QObject(parent), m_context(context),
      m_menu(context.commands().menu(Commands::Menu::Additional)), m_listModel(listModel)
{
    setObjectName(QStringLiteral("AdditionalMenu"));
    m_menu->setTitle(QString::fromLatin1(Setting::AdTitle.defaultValue));
    m_values = new QActionGroup(this);
    m_values->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    addValueEntry(QString()); // one blank entry until the settings fill it
    connect(m_menu, &QMenu::triggered, this, [this](QAction* entry) {
        CommandContext::guarded([this, entry] { chooseValue(entry); });
    });
    connect(m_menu, &QMenu::aboutToShow, this, &AdditionalMenu::tickCurrentValue);
}

QAction* AdditionalMenu::addValueEntry(const QString& value)
{
    QAction* entry = m_menu->addAction(menuText(value));
    entry->setData(value);
    entry->setCheckable(true);
    m_values->addAction(entry);
    return entry;
}

void AdditionalMenu::tickCurrentValue()
{
    const TreeNode* node = m_context.targetNode();
    QAction* current = nullptr;
    if (node && node->data())
        for (QAction* entry : m_values->actions())
            if (entry->data().toString() == node->data()->sAdditional) {
                current = entry;
                break;
            }
    if (current)
        current->setChecked(true);
    else if (QAction* old = m_values->checkedAction())
        old->setChecked(false); // a value no entry offers: nothing is ticked
}

QString AdditionalMenu::cutText(const QString& text, qsizetype length)
{
    if (text.size() <= length)
        return text;
    return text.left(text.at(length - 1).isHighSurrogate() ? length - 1 : length);
}

QString AdditionalMenu::adTitle() const
{
    return m_listModel.adTitle();
}

void AdditionalMenu::setAdTitle(const QString& title)
{
    const QString shown = cutText(title, MaxAdTextLength);
    m_listModel.setAdTitle(shown);
    m_menu->setTitle(menuText(shown));
}

QStringList AdditionalMenu::adValues() const
{
    QStringList values;
    for (const QAction* a : m_menu->actions()) {
        if (a->isSeparator())
            continue;
        // The value itself travels with the entry; the shown text has its
        // ampersands doubled.
        values << (a->data().isValid() ? a->data().toString()
                                       : TextUtils::cutFirst(a->text(), QStringLiteral("&")));
    }
    return values;
}

void AdditionalMenu::setAdValues(const QStringList& values)
{
    m_menu->clear(); // deletes the entries, which leaves the group empty
    for (const QString& v : values.mid(0, MaxAdValues))
        addValueEntry(cutText(v, MaxAdTextLength));
}

void AdditionalMenu::chooseValue(QAction* entry)
{
    TreeNode* node = m_context.targetNode();
    if (!node)
        return;
    // The shown caption carries an accelerator mark; the value is the text
    // as typed in the options.
    const QString value = entry->data().isValid()
                              ? entry->data().toString()
                              : TextUtils::cutFirst(entry->text(), QStringLiteral("&"));
    setAdditionalValue(node, value); // the list shows it by itself
}

void AdditionalMenu::setAdditionalValue(TreeNode* node, const QString& value)
{
    NodeTree& nodes = m_context.catalogue().nodes();
    const auto isCategory = [](const TreeNode* n) { return n->isCategory(); };
    // Categories pass the value on to their children, at every depth; a
    // list of pending nodes rather than recursion, for trees of any depth.
    const EditHistory::Step step(m_context.catalogue().history(),
                                 QStringLiteral("Set \"%1\" of \"%2\"").arg(value, node->text()));
    std::vector<TreeNode*> pending{node};
    while (!pending.empty()) {
        TreeNode* n = pending.back();
        pending.pop_back();
        if (n->data() && n->data()->sAdditional != value)
            nodes.editRecord(n, [&](NodeInfo& info) { info.sAdditional = value; });
        if (m_recursChanging && isCategory(n))
            for (int i = n->count() - 1; i >= 0; --i)
                pending.push_back(n->item(i));
    }
}
