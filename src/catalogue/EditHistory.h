#pragma once
#include "catalogue/NodeTree.h"

#include <QObject>
#include <QUndoStack>
#include <functional>
#include <memory>
#include <optional>

class TreeEdits;

// The run's undo history: one command per user step, each made of the
// tree's own changes (insert, remove-and-keep, move, new record fields)
// recorded while the step was open. A change of the tree that no step
// recorded ends the history, as its addresses may no longer hold.
class EditHistory : public QObject, public StepScopes
{
    Q_OBJECT
public:
    explicit EditHistory(NodeTree& nodes, QObject* parent = nullptr);
    ~EditHistory() override;

    QUndoStack& stack() { return m_stack; }

    // The scope of one user step named Text ("Remove "Reports""): what the
    // tree does meanwhile becomes one command. Steps opened inside it join it.
    class Step
    {
    public:
        Step(EditHistory& history, const QString& text);
        ~Step();
        Step(const Step&) = delete;
        Step& operator=(const Step&) = delete;
        // Names the step after the fact.
        void setText(const QString& text);
        // The first name the new Node gets, right after this step, joins
        // it (a new category and its name are one step); Named is the
        // step's text then, with "%1" for the name.
        void joinFirstName(const TreeNode* node, const QString& named);
        // The tree is as it was when the step opened (a restore that read
        // nothing): the step is none.
        void discard();

    private:
        EditHistory& m_history;
    };

    // A change outside the tree (a real file) made in the open step; see
    // TreeEdits::addOutside. Ignored when no step is open.
    void addOutside(std::function<bool()> reverse, std::function<bool()> repeat);
    bool recording() const { return m_depth > 0; }
    // A step is open or being replayed: no other may be replayed now.
    bool busy() const { return m_depth > 0 || m_replaying; }
    // Forgets every step (the end of the run; a change no step recorded).
    void clear();

    void openStep(const QString& text) override { open(text); }
    void closeStep() override { close(); }

Q_SIGNALS:
    // A step was reversed or made again; Bulk when views heard of it as a
    // reset and must list again.
    void replayed(bool bulk);
    // No step is open or being replayed any more.
    void idle();

private:
    class Command;
    void open(const QString& text);
    void close();
    void holdAddresses();

    NodeTree& m_nodes;
    QUndoStack m_stack;
    int m_depth = 0;
    bool m_replaying = false;   // a step's undo or redo is under way
    bool m_invalidated = false; // ...and the tree changed outside it
    QString m_text;
    std::unique_ptr<TreeEdits> m_open;
    std::optional<NodePath> m_namePath; // the open step's node awaiting its first name
    bool m_discarded = false;
    QString m_named;
};
