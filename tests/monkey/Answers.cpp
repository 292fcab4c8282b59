#include "Answers.h"
#include "Monkey.h"
#include "World.h"
#include "components/FileOperationDialogs.h"
#include "components/MessageDialogs.h"
#include "forms/MainWindow.h"
#include "utils/Desktop.h"
#include "utils/TextUtils.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>
#include <cerrno>
#include <climits>
#include <cstring>

namespace
{

QString brief(const QString& text)
{
    return TextUtils::excerpt(TextUtils::singleLine(text), 100);
}

// A library's own words in a message: an exception no command should let
// through reached the user.
bool looksInternal(const QString& text)
{
    static const char* const marks[] = {
        "std::",        "vector::",          "basic_string", "bad_alloc",   "_M_",
        "out_of_range", "bad_function_call", "Assertion",    "bad_optional"};
    for (const char* mark : marks)
        if (text.contains(QLatin1String(mark)))
            return true;
    return false;
}

QString buttonName(QMessageBox::StandardButton b)
{
    switch (b) {
    case QMessageBox::Yes:
        return QStringLiteral("Yes");
    case QMessageBox::No:
        return QStringLiteral("No");
    case QMessageBox::Cancel:
        return QStringLiteral("Cancel");
    case QMessageBox::Ok:
        return QStringLiteral("OK");
    default:
        return QStringLiteral("(none: the run ended)");
    }
}

QString randomUrl(Rng& rng)
{
    switch (rng.below(10)) {
    case 0:
    case 1:
    case 2:
        return QStringLiteral("https://example.org/%1").arg(World::randomWord(rng));
    case 3:
        return QStringLiteral("www.example.com/%1").arg(rng.below(100));
    case 4:
        return QStringLiteral("someone%1@example.org").arg(rng.below(10));
    case 5:
        return World::randomName(rng); // no address at all
    case 6:
        return QString();
    case 7:
        return QStringLiteral("https://example.org/") +
               QString(5000, u'x'); // past a field's length
    case 8:
        return QStringLiteral("https://example.org/a\nb");
    default: {
        const QString first = World::randomWord(rng);
        return QStringLiteral("ftp://example.net/%1 %2").arg(first, World::randomWord(rng));
    }
    }
}

} // namespace

Answers::Answers(Monkey& monkey)
    : QObject(nullptr), m_monkey(monkey),
      m_pickFile(Opening::pickFileHook(),
                 [this](const QString&, const QString&) { return pickFile(); }),
      m_pickFiles(Intake::pickFilesHook(),
                  [this](const QString&, const QString&) { return pickFiles(); }),
      m_pickBookmarks(
          BrowserBookmarks::pickPathHook(),
          [this](bool save, const QString&, const QString&) { return pickBookmarkFile(save); }),
      m_searchRoots(Relinking::searchRootsOverride(), QStringList{monkey.world().files()})
{
    MessageDialogs::setHandler(
        [this](QMessageBox::Icon icon, const QString& text) { return message(icon, text); });
    Desktop::setOpener([this](const QString& target) {
        ++m_opened;
        m_monkey.note(QStringLiteral("desktop opens %1").arg(brief(target)));
        return true;
    });
    // A file operation's progress dialog would come and go with the
    // machine's speed, and so would the run's choices.
    DialogFileOpUi::setProgressDelay(INT_MAX);
    qApp->installEventFilter(this);
}

Answers::~Answers()
{
    qApp->removeEventFilter(this);
    MessageDialogs::setHandler({});
    Desktop::setOpener({});
}

// ---------------------------------------------------------------- messages

QMessageBox::StandardButton Answers::message(QMessageBox::Icon icon, const QString& text)
{
    ++m_count;
    m_messages << text;
    if (text.contains(QString::fromLocal8Bit(std::strerror(EROFS))))
        m_monkey.fault(QStringLiteral("a write outside the scratch folder was tried: ") +
                       brief(text));
    if (looksInternal(text))
        m_monkey.fault(QStringLiteral("an internal error reached the user: ") + brief(text));
    if (m_monkey.ending()) {
        // After the end of the run every dialog returns at once.
        m_monkey.note(QStringLiteral("? %1 -> %2").arg(brief(text), buttonName({})));
        return QMessageBox::NoButton;
    }
    if (m_agreeing) {
        const QMessageBox::StandardButton answer =
            icon == QMessageBox::Question ? QMessageBox::Yes : QMessageBox::Ok;
        m_monkey.note(QStringLiteral("? %1 -> %2").arg(brief(text), buttonName(answer)));
        return answer;
    }
    Rng& rng = m_monkey.rng();
    // Now and then the session ends while the question is up: the logoff's
    // save, or a termination signal (both reach the window as in main()).
    static bool nested = false;
    if (m_endsAllowed && !nested && rng.chance(2)) {
        nested = true;
        auto unnest = qScopeGuard([] { nested = false; });
        if (rng.chance(50)) {
            m_monkey.note(QStringLiteral("  (the session saves for a logoff while this is asked)"));
            m_monkey.window().queryEndSession();
        } else {
            m_monkey.note(QStringLiteral("  (a termination signal arrives while this is asked)"));
            m_monkey.window().endRun();
            if (m_monkey.ending()) {
                m_monkey.note(QStringLiteral("? %1 -> %2").arg(brief(text), buttonName({})));
                return QMessageBox::NoButton;
            }
        }
    }
    QMessageBox::StandardButton answer = QMessageBox::Ok;
    if (icon == QMessageBox::Question) {
        const int roll = rng.below(100);
        answer = roll < 45 ? QMessageBox::Yes : roll < 85 ? QMessageBox::No : QMessageBox::Cancel;
        // A way around a known fault, to look past it.
        for (const QString& avoided : m_monkey.options().noTo)
            if (text.contains(avoided))
                answer = QMessageBox::No;
    }
    m_monkey.note(QStringLiteral("? %1 -> %2").arg(brief(text), buttonName(answer)));
    return answer;
}

QStringList Answers::pickFiles()
{
    ++m_count;
    Rng& rng = m_monkey.rng();
    World& world = m_monkey.world();
    QStringList names;
    if (!rng.chance(20))
        for (int n = rng.between(1, 4); n > 0; --n) {
            const int roll = rng.below(100);
            names << (roll < 70   ? world.randomDocument(rng)
                      : roll < 85 ? world.randomFolder(rng)
                                  : world.missingPath(rng));
        }
    m_monkey.note(
        QStringLiteral("add file chooses %1").arg(brief(names.join(QStringLiteral(" | ")))));
    return names;
}

QString Answers::pickFile()
{
    ++m_count;
    Rng& rng = m_monkey.rng();
    World& world = m_monkey.world();
    const int roll = rng.below(100);
    const QString picked = roll < 35   ? world.randomDocument(rng)
                           : roll < 45 ? world.missingPath(rng)
                           : roll < 50 ? world.randomFolder(rng)
                                       : QString();
    m_monkey.note(QStringLiteral("new location chosen: %1")
                      .arg(picked.isEmpty() ? QStringLiteral("(cancel)") : brief(picked)));
    return picked;
}

QString Answers::pickBookmarkFile(bool save)
{
    ++m_count;
    Rng& rng = m_monkey.rng();
    World& world = m_monkey.world();
    const QString exported = world.work() + QStringLiteral("/bookmarks.html");
    const int roll = rng.below(100);
    QString picked;
    if (save)
        picked = roll < 70 ? exported : QString();
    else
        picked = roll < 35   ? exported                  // what an earlier export wrote, if any
                 : roll < 50 ? world.randomDocument(rng) // not a bookmark file
                 : roll < 60 ? world.missingPath(rng)
                             : QString();
    m_monkey.note(QStringLiteral("bookmark file chosen: %1")
                      .arg(picked.isEmpty() ? QStringLiteral("(cancel)") : brief(picked)));
    return picked;
}

// ---------------------------------------------------------------- dialogs

bool Answers::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Show || !watched->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (!widget->isWindow())
        return false;
    if (auto* dialog = qobject_cast<QDialog*>(widget)) {
        if (dialog->windowModality() == Qt::NonModal || qobject_cast<QProgressDialog*>(dialog))
            return false;
        QTimer::singleShot(0, dialog,
                           [this, d = QPointer<QDialog>(dialog)] { answerDialog(d, 0); });
    } else if (auto* menu = qobject_cast<QMenu*>(widget);
               menu && menu->objectName() == u"DragFolderMenu") {
        m_monkey.note(QStringLiteral("the folder menu shows"));
        QTimer::singleShot(0, menu, [this, m = QPointer<QMenu>(menu)] { answerMenu(m); });
    }
    return false;
}

void Answers::answerDialog(QPointer<QDialog> dialog, int attempt)
{
    if (!dialog || !dialog->isVisible())
        return;
    ++m_count;
    Rng& rng = m_monkey.rng();
    const QString name = dialog->objectName().isEmpty()
                             ? QString::fromLatin1(dialog->metaObject()->className())
                             : dialog->objectName();
    if (qobject_cast<QFileDialog*>(dialog))
        m_monkey.fault(QStringLiteral("a file dialog was shown past its hook"));
    // A dialog that refused its OK three times (a wrong address) is closed.
    if (m_monkey.ending() || attempt >= 3) {
        m_monkey.note(QStringLiteral("dialog %1 closed").arg(name));
        dialog->reject();
        return;
    }
    if (name == u"CommentDialog") {
        auto* input = static_cast<QInputDialog*>(dialog.data());
        const int roll = rng.below(100);
        if (roll < 60)
            input->setTextValue(World::randomName(rng));
        m_monkey.note(QStringLiteral("comment \"%1\" %2")
                          .arg(brief(input->textValue()),
                               roll < 85 ? QStringLiteral("-> OK") : QStringLiteral("-> Cancel")));
        if (roll < 85)
            input->accept();
        else
            input->reject();
    } else if (name == u"TPropertiesF") {
        fillProperties(*dialog);
    } else if (name == u"OptionsF") {
        fillOptions(*dialog);
    } else if (name == u"PasteUrlF") {
        fillPasteUrl(*dialog);
    } else if (auto* balloon = qobject_cast<MessageDialogs::BalloonDialog*>(dialog)) {
        const QList<QPushButton*> buttons = balloon->findChildren<QPushButton*>();
        m_monkey.note(QStringLiteral("balloon shown past its hook: %1")
                          .arg(brief(balloon->message ? balloon->message->text() : QString())));
        if (buttons.isEmpty())
            static_cast<QDialog*>(balloon)->reject();
        else
            rng.pick(buttons)->click();
    } else {
        m_monkey.note(QStringLiteral("dialog %1 closed").arg(name));
        dialog->reject();
    }
    // Still up (an OK it refused): answered again on the next turn.
    QTimer::singleShot(0, dialog, [this, dialog, attempt] { answerDialog(dialog, attempt + 1); });
}

QString Answers::randomLocation(const QString& current)
{
    Rng& rng = m_monkey.rng();
    World& world = m_monkey.world();
    const QString folder = QFileInfo(current).path();
    const QString name = World::randomName(rng).replace(u'/', u'-');
    switch (rng.below(12)) {
    case 0: // the same place spelt otherwise
        return rng.chance(50) ? current + u'/'
                              : folder + QStringLiteral("/./") + QFileInfo(current).fileName();
    case 1:
    case 2: // renamed where it is
        return folder + u'/' + name;
    case 3:
    case 4: { // into a folder
        const QString into = world.randomFolder(rng);
        return into + (rng.chance(50) ? QStringLiteral("/") : QString());
    }
    case 5: // onto a document that exists
        return world.randomDocument(rng);
    case 6: { // into a folder to be made
        const QString into = world.randomFolder(rng);
        return into + QStringLiteral("/new ") + World::randomWord(rng) + u'/' + name;
    }
    case 7: { // relative: from the working folder
        if (rng.chance(50))
            return name;
        const QString first = World::randomWord(rng);
        return first + u'/' + World::randomWord(rng);
    }
    case 8: // into itself
        return current + u'/' + World::randomWord(rng) + u'/';
    case 9:
        return QString();
    case 10:
        return world.missingPath(rng) + u'/';
    default:
        return folder + u'/' + name + QChar(0x202E) + QStringLiteral("fdp.exe");
    }
}

void Answers::fillProperties(QDialog& dialog)
{
    Rng& rng = m_monkey.rng();
    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("edName"));
    auto* location = dialog.findChild<QLineEdit*>(QStringLiteral("edLocation"));
    auto* comment = dialog.findChild<QLineEdit*>(QStringLiteral("edComment"));
    auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("btnOK"));
    auto* cancel = dialog.findChild<QPushButton*>(QStringLiteral("btnCancel"));
    if (!name || !location || !comment || !ok || !cancel) {
        m_monkey.fault(QStringLiteral("the properties dialog lacks its fields"));
        dialog.reject();
        return;
    }
    QStringList changes;
    if (rng.chance(30)) {
        name->setText(World::randomName(rng));
        changes << QStringLiteral("name \"%1\"").arg(brief(name->text()));
    }
    if (rng.chance(20)) {
        comment->setText(World::randomName(rng));
        changes << QStringLiteral("comment \"%1\"").arg(brief(comment->text()));
    }
    if (rng.chance(35)) {
        location->setText(randomLocation(location->text()));
        changes << QStringLiteral("location \"%1\"").arg(brief(location->text()));
    }
    const int roll = rng.below(100);
    const bool okPressed = roll < 70 && ok->isEnabled();
    m_monkey.note(QStringLiteral("properties: %1 -> %2")
                      .arg(changes.isEmpty() ? QStringLiteral("unchanged") : changes.join(u", "),
                           okPressed ? QStringLiteral("OK") : QStringLiteral("Cancel")));
    if (okPressed)
        ok->click();
    else if (roll < 90)
        cancel->click();
    else
        dialog.reject(); // Escape or its close box
}

void Answers::fillOptions(QDialog& dialog)
{
    Rng& rng = m_monkey.rng();
    QStringList changes;
    for (const auto& [box, percent] :
         {std::pair{"cbDelNonActual", 35}, std::pair{"cbRecursChanging", 30},
          std::pair{"cbAutoStart", 10}})
        if (auto* check = dialog.findChild<QCheckBox*>(QLatin1String(box));
            check && rng.chance(percent)) {
            check->click();
            changes << QStringLiteral("%1 %2").arg(QLatin1String(box),
                                                   check->isChecked() ? u"on" : u"off");
        }
    if (auto* values = dialog.findChild<QPlainTextEdit*>(QStringLiteral("mmAdValues"));
        values && rng.chance(25)) {
        QStringList lines;
        for (int n = rng.below(7); n > 0; --n) {
            const QString mark = rng.chance(15) ? QStringLiteral("&") : QString();
            lines << mark + World::randomName(rng);
        }
        values->setPlainText(lines.join(u'\n'));
        changes << QStringLiteral("values \"%1\"").arg(brief(lines.join(u'|')));
    }
    if (auto* title = dialog.findChild<QLineEdit*>(QStringLiteral("edAdTitle"));
        title && rng.chance(10)) {
        title->setText(rng.chance(20) ? QString() : World::randomName(rng));
        changes << QStringLiteral("title \"%1\"").arg(brief(title->text()));
    }
    if (auto* fields = dialog.findChild<QListWidget*>(QStringLiteral("AvailableList"));
        fields && fields->count() > 0 && rng.chance(15)) {
        QListWidgetItem* item = fields->item(rng.below(fields->count()));
        item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
        changes << QStringLiteral("column \"%1\" %2")
                       .arg(item->text(), item->checkState() == Qt::Checked ? u"shown" : u"hidden");
    }
    const bool ok = rng.chance(70);
    m_monkey.note(QStringLiteral("options: %1 -> %2")
                      .arg(changes.isEmpty() ? QStringLiteral("unchanged") : changes.join(u", "),
                           ok ? QStringLiteral("OK") : QStringLiteral("Cancel")));
    auto* button =
        dialog.findChild<QPushButton*>(ok ? QStringLiteral("OKBtn") : QStringLiteral("CancelBtn"));
    if (button)
        button->click();
    else
        dialog.reject();
}

void Answers::fillPasteUrl(QDialog& dialog)
{
    Rng& rng = m_monkey.rng();
    auto* url = dialog.findChild<QLineEdit*>(QStringLiteral("edURL"));
    auto* title = dialog.findChild<QLineEdit*>(QStringLiteral("edTitle"));
    auto* category = dialog.findChild<QComboBox*>(QStringLiteral("cbCategory"));
    if (!url || !title || !category) {
        m_monkey.fault(QStringLiteral("the add URL dialog lacks its fields"));
        dialog.reject();
        return;
    }
    if (rng.chance(10)) {
        QApplication::clipboard()->setText(randomUrl(rng));
        if (auto* paste = dialog.findChild<QPushButton*>(QStringLiteral("btnPaste")))
            paste->click();
    } else {
        url->setText(randomUrl(rng));
    }
    if (rng.chance(50))
        title->setText(rng.chance(20) ? QString() : World::randomName(rng));
    if (category->count() > 0)
        category->setCurrentIndex(rng.below(category->count() + 1) - 1);
    const bool ok = rng.chance(75);
    m_monkey.note(QStringLiteral("add URL \"%1\" titled \"%2\" in %3 -> %4")
                      .arg(brief(url->text()), brief(title->text()), brief(category->currentText()),
                           ok ? QStringLiteral("OK") : QStringLiteral("Cancel")));
    auto* button =
        dialog.findChild<QPushButton*>(ok ? QStringLiteral("btnOk") : QStringLiteral("btnCancel"));
    if (button)
        button->click();
    else
        dialog.reject();
}

void Answers::answerMenu(QPointer<QMenu> menu)
{
    if (!menu || !menu->isVisible())
        return;
    ++m_count;
    Rng& rng = m_monkey.rng();
    const int roll = rng.below(100);
    const char* choice = roll < 35   ? "AsSingleFolder1"
                         : roll < 70 ? "AsSepDocs1"
                         : roll < 80 ? "NoDragDrop1"
                                     : nullptr;
    QAction* chosen = nullptr;
    for (QAction* a : menu->actions())
        if (choice && a->objectName() == QLatin1String(choice))
            chosen = a;
    m_monkey.note(QStringLiteral("folder menu -> %1")
                      .arg(chosen ? chosen->text() : QStringLiteral("dismissed")));
    // As a click does: the menu closes with the entry chosen.
    if (!chosen) {
        menu->hide();
        return;
    }
    menu->setActiveAction(chosen);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(menu, &enter);
}
