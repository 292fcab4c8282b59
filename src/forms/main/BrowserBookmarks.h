#pragma once
#include <QObject>
#include <QString>
#include <functional>

class CategoryView;
class CommandContext;

// "Import bookmarks..." and "Export bookmarks...": a bookmark file of a web
// browser filed as a new category, and a category or the whole catalogue
// written as one.
class BrowserBookmarks : public QObject
{
    Q_OBJECT
public:
    BrowserBookmarks(CommandContext& context, CategoryView& view);

    // Chooses the file to read (Save false) or to write (Save true); an
    // empty result is a cancel.
    using PickPath =
        std::function<QString(bool save, const QString& title, const QString& suggested)>;
    // Tests: when set, answers in place of the file dialogs.
    static PickPath& pickPathHook();

private:
    void importBookmarks();
    void exportBookmarks();
    QString pickPath(bool save, const QString& title, const QString& suggested) const;

    CommandContext& m_context;
    CategoryView& m_view;
};
