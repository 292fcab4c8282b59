#include "forms/main/WindowSettings.h"
#include "catalogue/Catalogue.h"
#include "catalogue/Settings.h"
#include "forms/main/AdditionalMenu.h"
#include "forms/main/CategoryView.h"
#include "forms/main/CommandActions.h"
#include "forms/main/FoldersPanel.h"
#include "forms/main/Intake.h"
#include "utils/Bounded.h"

#include <QAction>
#include <QGuiApplication>
#include <QMainWindow>
#include <QScopeGuard>
#include <QScreen>
#include <QWindow>
#include <algorithm>
#include <optional>

using Commands::Id;

namespace
{

// View styles as the settings store codes them.
constexpr int StoreCodeOfStyle[] = {0, 3, 1, 2}; // large, small, list, details
static_assert(std::size(StoreCodeOfStyle) == CategoryView::StyleCount);

int styleOfStoreCode(int code)
{
    for (int s = 0; s < CategoryView::StyleCount; ++s)
        if (StoreCodeOfStyle[s] == code)
            return s;
    return -1;
}

// Without a screen a column may be as wide as this.
constexpr int WidestWithoutScreen = 4096;
// A shortcut word has 16 bits.
constexpr int MaxShortcutWord = 0xFFFF;

struct WindowBounds {
    QPoint at;  // the frame's top left corner, as move() takes it
    QSize size; // the client area, as resize() takes it
};

// The stored bounds moved and cut so that the window lies on the available
// area of the screen it overlaps most, or of the primary screen: screens
// change in size, scale and number between runs, and a hand-edited store
// may hold anything.
std::optional<WindowBounds> boundsOnScreen(const QWidget* window, int left, int top, int width,
                                           int height)
{
    QScreen* target = QGuiApplication::primaryScreen();
    qint64 most = 0;
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect g = screen->geometry();
        const qint64 w =
            std::min<qint64>(qint64(left) + std::max(width, 0), qint64(g.x()) + g.width()) -
            std::max<qint64>(left, g.x());
        const qint64 h =
            std::min<qint64>(qint64(top) + std::max(height, 0), qint64(g.y()) + g.height()) -
            std::max<qint64>(top, g.y());
        if (w > 0 && h > 0 && w * h > most) {
            most = w * h;
            target = screen;
        }
    }
    if (!target)
        return std::nullopt;
    const QRect area = target->availableGeometry();
    // Known once the window has been shown; before that the frame is taken as none.
    const QMargins frame =
        window->windowHandle() ? window->windowHandle()->frameMargins() : QMargins();
    const QSize minimum = window->minimumSizeHint().expandedTo(window->minimumSize());
    const int heldWidth =
        bounded(width, minimum.width(), area.width() - frame.left() - frame.right());
    const int heldHeight =
        bounded(height, minimum.height(), area.height() - frame.top() - frame.bottom());
    const int heldLeft = bounded(
        left, area.x(), qint64(area.x()) + area.width() - frame.left() - frame.right() - heldWidth);
    const int heldTop =
        bounded(top, area.y(),
                qint64(area.y()) + area.height() - frame.top() - frame.bottom() - heldHeight);
    return WindowBounds{QPoint(heldLeft, heldTop), QSize(heldWidth, heldHeight)};
}

// The window's frame is known only once the window manager has framed the
// shown window: then the restored bounds are held to the screen once more,
// frame included, and the watch ends.
class FrameOnScreen : public QObject
{
public:
    explicit FrameOnScreen(QWidget* window) : QObject(window), m_window(window)
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if (watched == m_window &&
            (type == QEvent::Show || type == QEvent::Move || type == QEvent::Resize)) {
            const QWindow* handle = m_window->windowHandle();
            if (handle && !handle->frameMargins().isNull()) {
                m_window->removeEventFilter(this);
                deleteLater();
                if (const auto bounds = boundsOnScreen(m_window, m_window->x(), m_window->y(),
                                                       m_window->width(), m_window->height())) {
                    if (bounds->size != m_window->size())
                        m_window->resize(bounds->size);
                    if (bounds->at != m_window->pos())
                        m_window->move(bounds->at);
                }
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget* m_window;
};

} // namespace

WindowSettings::WindowSettings(CommandContext& context, const Parts& parts)
    : QObject(&context.window()), m_context(context), m_parts(parts),
      m_hotKey(Setting::HotKey.defaultValue)
{
    setObjectName(QStringLiteral("WindowSettings"));
    context.catalogue().writeSettingsHook = [this] { writeSettings(); };
}

void WindowSettings::readSettings()
{
    if (const QString why = SettingsStore::unusableReason(SettingsStore::defaultFileName());
        !why.isEmpty()) {
        Q_EMIT problem(why);
        SettingsStore none{QString()}; // the defaults: a store with no file behind it
        readSettings(none);
        return;
    }
    SettingsStore store;
    if (store.damaged()) {
        // Left in place, the file would be rewritten from the part that parsed.
        const QString file = store.fileName();
        const QString aside = store.keepDamagedAside();
        Q_EMIT problem(
            aside.isEmpty()
                ? QStringLiteral(
                      "The settings file \"%1\" is damaged and could not be moved aside; "
                      "the program starts with its default settings.")
                      .arg(file)
                : QStringLiteral("The settings file \"%1\" is damaged. It was moved to \"%2\"; "
                                 "the program starts with its default settings.")
                      .arg(file, aside));
    }
    try {
        readSettings(store);
    } catch (const SettingsError& e) {
        // Shown once the window is up, like the other start-up errors.
        Q_EMIT problem(e.text());
    }
}

void WindowSettings::readSettings(SettingsStore& store)
{
    QMainWindow& window = m_context.window();
    CategoryView& view = m_parts.view;
    AdditionalMenu& additional = m_parts.additional;
    int style = styleOfStoreCode(Setting::ListStyle.defaultValue);
    // The style and the hot key are applied even when a value stops the
    // reading, so the window is in a known style and the hot key works.
    auto finish = qScopeGuard([&] {
        view.setViewStyle(CategoryView::ViewStyle(style));
        Q_EMIT hotKeyRead(m_hotKey);
    });
    if (!store.exists()) {
        m_hotKey = Setting::HotKey.defaultValue;
        return;
    }

    // Every number is held to what the screen and the controls can show:
    // the store may come from another screen or from a hand-edited file.
    const auto formLeft = store.read(Setting::FormLeft);
    const auto formTop = store.read(Setting::FormTop);
    const auto formWidth = store.read(Setting::FormWidth);
    const auto formHeight = store.read(Setting::FormHeight);
    if (formLeft && formTop && formWidth && formHeight)
        if (const auto bounds =
                boundsOnScreen(&window, *formLeft, *formTop, *formWidth, *formHeight)) {
            window.move(bounds->at);
            window.resize(bounds->size);
            new FrameOnScreen(&window);
        }
    if (const auto v = store.read(Setting::TreeWidth))
        view.setTreeWidth(*v, window.width() - m_parts.dropStrip.width());
    if (const auto v = store.read(Setting::ListStyle)) {
        const int s = styleOfStoreCode(*v);
        if (s >= 0)
            style = s;
    }
    CommandActions& commands = m_context.commands();
    if (const auto v = store.read(Setting::ShowFolders); v && *v)
        commands.action(Id::ShowFolders)->trigger();
    // The floating panel stays inside the window.
    if (const auto v = store.read(Setting::FoldersLeft))
        m_parts.folders.moveLeftWithin(*v);
    if (const auto v = store.read(Setting::FoldersTop))
        m_parts.folders.moveTopWithin(*v);
    if (const auto v = store.read(Setting::RemoveOnAbsent))
        commands.action(Id::RemoveMissingLinks)->setChecked(*v);
    // A column is hidden (0) or at most as wide as the screen.
    const int widest =
        window.screen() ? window.screen()->availableGeometry().width() : WidestWithoutScreen;
    for (int c = 1; c <= Setting::ColumnWidthCount; ++c)
        if (const auto v = store.read(Setting::ColumnWidths[c - 1]))
            view.setColumnWidth(c, *v <= 0 ? 0 : bounded(*v, view.minimumColumnWidth(), widest));
    constexpr int MaxAdTextLength = AdditionalMenu::MaxAdTextLength;
    constexpr int MaxAdValues = AdditionalMenu::MaxAdValues;
    if (const auto v = store.read(Setting::AdTitle)) {
        if (v->size() > MaxAdTextLength)
            Q_EMIT problem(
                QStringLiteral(
                    "The title of the additional field in the settings has %1 characters; "
                    "only the first %2 were kept.")
                    .arg(v->size())
                    .arg(MaxAdTextLength));
        additional.setAdTitle(*v);
    }
    if (const auto v = store.read(Setting::RecursChanging))
        additional.setRecursChanging(*v);
    if (const auto v = store.read(Setting::AddFileFolder))
        m_parts.intake.setAddFileFolder(*v);

    // Anything else is no key this program wrote.
    const int key = store.read(Setting::HotKey).value_or(Setting::HotKey.defaultValue);
    m_hotKey = key >= 0 && key <= MaxShortcutWord ? key : Setting::HotKey.defaultValue;

    qsizetype stored = 0;
    if (const auto kept = store.readAdValues(MaxAdValues, &stored)) {
        if (stored > MaxAdValues)
            Q_EMIT problem(
                QStringLiteral(
                    "The settings hold %1 values of the additional field; only the first %2 "
                    "were kept.")
                    .arg(stored)
                    .arg(MaxAdValues));
        const auto cut = std::count_if(kept->begin(), kept->end(),
                                       [](const QString& v) { return v.size() > MaxAdTextLength; });
        if (cut > 0)
            Q_EMIT problem(
                QStringLiteral(
                    "%1 values of the additional field in the settings were longer than %2 "
                    "characters and were cut to that length.")
                    .arg(cut)
                    .arg(MaxAdTextLength));
        additional.setAdValues(*kept);
    }
}

void WindowSettings::writeSettings()
{
    // Told at the start (or the file turned into something else meanwhile):
    // nothing but a regular file is ever replaced.
    if (!SettingsStore::unusableReason(SettingsStore::defaultFileName()).isEmpty())
        return;
    SettingsStore store;
    if (store.damaged()) {
        // Damaged during the run: kept aside as at the start, and written afresh.
        if (const QString aside = store.keepDamagedAside(); !aside.isEmpty())
            qWarning("The damaged settings file was moved to %s", qPrintable(aside));
    }
    // The file is the program's own: it holds what the program writes and
    // nothing else (a stray key can make the INI writer produce a file it
    // cannot read back).
    store.clear();
    const QMainWindow& window = m_context.window();
    const CategoryView& view = m_parts.view;
    const QPoint at = window.pos();
    store.write(Setting::FormLeft, at.x());
    store.write(Setting::FormTop, at.y());
    store.write(Setting::FormWidth, window.width());
    store.write(Setting::FormHeight, window.height());
    store.write(Setting::TreeWidth, view.treeWidth());
    store.write(Setting::ListStyle, StoreCodeOfStyle[view.viewStyle()]);
    store.write(Setting::ShowFolders, m_parts.folders.isShown());
    store.write(Setting::FoldersLeft, m_parts.folders.position().x());
    store.write(Setting::FoldersTop, m_parts.folders.position().y());
    store.write(Setting::RemoveOnAbsent,
                m_context.commands().action(Id::RemoveMissingLinks)->isChecked());
    for (int c = 1; c <= Setting::ColumnWidthCount; ++c)
        store.write(Setting::ColumnWidths[c - 1], view.columnWidth(c));
    store.write(Setting::AdTitle, m_parts.additional.adTitle());
    store.write(Setting::RecursChanging, m_parts.additional.recursChanging());
    store.write(Setting::HotKey, m_hotKey);
    store.write(Setting::AddFileFolder, m_parts.intake.addFileFolder());
    store.writeAdValues(m_parts.additional.adValues());
    if (!store.flush())
        qWarning("The settings could not be written to %s", qPrintable(store.fileName()));
}
