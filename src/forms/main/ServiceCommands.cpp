#include "forms/main/ServiceCommands.h"
#include "catalogue/Catalogue.h"
#include "forms/OptionsDialog.h"
#include "forms/main/AdditionalMenu.h"
#include "forms/main/CategoryView.h"
#include "forms/main/CommandActions.h"
#include "forms/main/HotKeyControl.h"
#include "forms/main/WindowSettings.h"
#include "utils/Desktop.h"
#include "utils/Installation.h"
#include "utils/TextUtils.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <stdexcept>

using Commands::Id;

ServiceCommands::ServiceCommands(CommandContext& context, const Parts& parts)
    : QObject(&context.window()), m_context(context), m_parts(parts)
{
    setObjectName(QStringLiteral("ServiceCommands"));
    CommandActions& commands = context.commands();
    commands.connectCommand(Id::Options, this, &ServiceCommands::editOptions);
    commands.connectCommand(Id::StartAtLogin, this, &ServiceCommands::toggleStartAtLogin);
    commands.connectCommand(Id::Help, this, &ServiceCommands::openHelp);
    commands.connectCommand(Id::FAQ, this, &ServiceCommands::openFaq);
    commands.connectCommand(Id::Support, this, &ServiceCommands::writeToSupport);
}

Options ServiceCommands::currentOptions() const
{
    const CommandActions& commands = m_context.commands();
    Options o;
    o.hotKey = m_parts.hotKey.wantedHotKey();
    o.autoStart = commands.action(Id::StartAtLogin)->isChecked();
    o.removeOnAbsent = commands.action(Id::RemoveMissingLinks)->isChecked();
    for (int c = Options::FirstColumn; c <= Options::LastColumn; ++c)
        o.columnWidths[size_t(c - Options::FirstColumn)] = m_parts.view.columnWidth(c);
    o.adTitle = m_parts.additional.adTitle();
    o.adValues = m_parts.additional.adValues();
    o.recursChanging = m_parts.additional.recursChanging();
    return o;
}

void ServiceCommands::applyOptions(const Options& chosen)
{
    for (int c = Options::FirstColumn; c <= Options::LastColumn; ++c)
        if (chosen.columnWidth(c) != m_parts.view.columnWidth(c))
            m_parts.view.setColumnWidth(c, chosen.columnWidth(c));
    if (!chosen.adTitle.isEmpty())
        m_parts.additional.setAdTitle(chosen.adTitle);
    QStringList values;
    for (const QString& line : chosen.adValues)
        values << TextUtils::cutFirst(line, QStringLiteral("&"));
    m_parts.additional.setAdValues(values);
    m_parts.additional.setRecursChanging(chosen.recursChanging);
    m_parts.hotKey.assignHotKey(chosen.hotKey);
    CommandActions& commands = m_context.commands();
    if (chosen.autoStart != commands.action(Id::StartAtLogin)->isChecked())
        commands.action(Id::StartAtLogin)->trigger();
    commands.action(Id::RemoveMissingLinks)->setChecked(chosen.removeOnAbsent);
}

void ServiceCommands::editOptions()
{
    {
        OptionsDialog dialog(currentOptions(), &m_context.window());
        if (dialog.exec() == QDialog::Accepted)
            applyOptions(dialog.options());
    }
    // Written after Cancel too.
    m_parts.settings.writeSettings();
}

void ServiceCommands::toggleStartAtLogin()
{
    // The action has flipped its tick already; the entry follows it.
    QAction* action = m_context.commands().action(Id::StartAtLogin);
    if (Desktop::setAutoStart(QString::fromUtf16(Installation::DesktopId),
                              Desktop::executablePath(), action->isChecked()))
        return;
    action->setChecked(false);
    throw std::runtime_error(
        "Cannot start the program at login: its own path cannot be read, or a folder name in "
        "it is not UTF-8 text, which the desktop's autostart entries cannot hold.");
}

QString ServiceCommands::helpFile()
{
    return Installation::helpFile(QApplication::applicationDirPath());
}

void ServiceCommands::openHelp()
{
    const QString file = helpFile();
    if (!QFileInfo(file).isFile())
        throw std::runtime_error("Cannot open help file.\nPlease search it in Quillmere folder.");
    // The page is there, but the desktop has nothing that shows web pages:
    // say so, and where the page is, so it can be opened by hand.
    if (!Desktop::openUrl(file))
        throw std::runtime_error(
            QStringLiteral("Cannot open help file: no application for web pages is set up on "
                           "this desktop.\nThe help is the file \"%1\".")
                .arg(file)
                .toStdString());
}

void ServiceCommands::openFaq()
{
    Desktop::openUrl(QString::fromUtf16(ProductFaqURL));
}

void ServiceCommands::writeToSupport()
{
    Desktop::sendMail(QString::fromUtf16(SupportEMail), QStringLiteral("Quillmere"), QString());
}
