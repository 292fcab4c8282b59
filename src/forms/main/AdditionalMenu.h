#pragma once
#include <QObject>
#include <QStringList>

class CommandContext;
class ListModel;
class QAction;
class QActionGroup;
class QMenu;
class TreeNode;

// The additional field: its title (the list's last column and the submenu of
// the entry menu) and the values the submenu offers.
class AdditionalMenu : public QObject
{
    Q_OBJECT
public:
    // More values make no usable menu, longer texts no usable caption or
    // entry; the setters keep to them.
    static constexpr int MaxAdValues = 1000;
    static constexpr int MaxAdTextLength = 255;

    AdditionalMenu(CommandContext& context, ListModel& listModel, QObject* parent);

    QString adTitle() const;
    void setAdTitle(const QString& title);
    // The entries, texts as typed (an empty one is a blank entry).
    QStringList adValues() const;
    void setAdValues(const QStringList& values);
    // "Changing of value for category changes values for all subitems".
    bool recursChanging() const { return m_recursChanging; }
    void setRecursChanging(bool on) { m_recursChanging = on; }

    // Text cut to at most length characters, never between the halves of a
    // surrogate pair.
    static QString cutText(const QString& text, qsizetype length);

    // Gives node the value, and with recursive changing on, everything
    // inside it when it is a category.
    void setAdditionalValue(TreeNode* node, const QString& value);

private:
    QAction* addValueEntry(const QString& value);
    // The entry of the target's current value is ticked when the menu opens.
    void tickCurrentValue();
    void chooseValue(QAction* entry);

    CommandContext& m_context;
    QMenu* m_menu;
    QActionGroup* m_values; // the entries: one ticked at a time
    ListModel& m_listModel;
    bool m_recursChanging = false;
};
