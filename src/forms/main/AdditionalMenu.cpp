#include "forms/main/AdditionalMenu.h"
#include "catalogue/ListModel.h"
#include "catalogue/SettingKeys.h"
#include "forms/main/CommandActions.h"
#include "utils/TextUtils.h"

#include <QAction>
#include <QMenu>

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
    : QObject(parent), m_menu(context.commands().menu(Commands::Menu::Additional)),
      m_listModel(listModel)
{
    setObjectName(QStringLiteral("AdditionalMenu"));
    m_menu->setTitle(QString::fromLatin1(Setting::AdTitle.defaultValue));
    m_menu->addAction(QString()); // one blank entry until the settings fill it
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
    m_menu->clear();
    for (const QString& v : values.mid(0, MaxAdValues)) {
        const QString value = cutText(v, MaxAdTextLength);
        m_menu->addAction(menuText(value))->setData(value);
    }
}
