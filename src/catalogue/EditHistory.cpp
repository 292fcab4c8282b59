#include "catalogue/EditHistory.h"
#include "catalogue/TreeEdits.h"

#include <QScopeGuard>
#include <QUndoCommand>

class EditHistory::Command : public QUndoCommand
{
public:
    Command(EditHistory& history, const QString& text, std::unique_ptr<TreeEdits> edits)
        : QUndoCommand(text), m_history(history), m_edits(std::move(edits))
    {
    }

    // A step whose new node awaits its first name takes in the rename that
    // follows it; the stack offers every step to the one before.
    static constexpr int StepId = 1;
    int id() const override { return StepId; }
    bool mergeWith(const QUndoCommand* other) override
    {
        auto* next = static_cast<const Command*>(other);
        if (!m_namePath || next->m_namePath || !next->m_edits->onlyRenamed(*m_namePath))
            return false;
        m_edits->append(std::move(*next->m_edits));
        if (const TreeNode* node = m_history.m_nodes.nodeAt(*m_namePath))
            setText(m_named.arg(node->text()));
        m_namePath.reset();
        return true;
    }

    void undo() override
    {
        m_namePath.reset();
        replay(true);
    }
    void redo() override
    {
        if (m_done) {
            m_done = false; // pushed after it was made
            return;
        }
        m_namePath.reset(); // a replayed step takes in nothing more
        replay(false);
    }

    std::optional<NodePath> m_namePath;
    QString m_named;

private:
    void replay(bool reverse)
    {
        // A real file that could not follow leaves the step as it stands;
        // it cannot be replayed any more, the steps before it still can. Nor
        // can it when its question let a change of the tree through that no
        // step recorded (the end of the run's save).
        m_history.m_replaying = true;
        m_history.m_invalidated = false;
        const bool through = m_edits->replayOutside(reverse) && !m_history.m_invalidated;
        if (through)
            m_edits->replay(m_history.m_nodes, reverse);
        m_history.m_replaying = false;
        if (!through)
            setObsolete(true);
        else
            Q_EMIT m_history.replayed(m_edits->bulk());
        if (!m_history.busy())
            Q_EMIT m_history.idle();
    }

    EditHistory& m_history;
    std::unique_ptr<TreeEdits> m_edits;
    bool m_done = true;
};

EditHistory::EditHistory(NodeTree& nodes, QObject* parent) : QObject(parent), m_nodes(nodes)
{
    nodes.setStepScopes(this);
    connect(&nodes, &NodeTree::unrecordedChange, this, &EditHistory::clear);
    connect(&m_stack, &QUndoStack::indexChanged, this, &EditHistory::holdAddresses);
    connect(&m_stack, &QUndoStack::cleanChanged, this, &EditHistory::holdAddresses);
}

EditHistory::~EditHistory()
{
    // Those who follow the stack may be gone already, or go after it.
    m_stack.blockSignals(true);
    if (m_nodes.stepScopes() == this)
        m_nodes.setStepScopes(nullptr);
    if (m_nodes.recorder() == m_open.get())
        m_nodes.setRecorder(nullptr);
    m_nodes.setAddressesHeld(false);
}

void EditHistory::clear()
{
    if (!m_replaying) {
        m_stack.clear();
        return;
    }
    // Not under the command that is replaying (a question of its own).
    m_invalidated = true;
    QMetaObject::invokeMethod(
        this, [this] { m_stack.clear(); }, Qt::QueuedConnection);
}

void EditHistory::holdAddresses()
{
    m_nodes.setAddressesHeld(m_stack.count() > 0);
}

void EditHistory::open(const QString& text)
{
    if (m_depth++ > 0)
        return;
    m_text = text;
    m_open = std::make_unique<TreeEdits>();
    m_nodes.setRecorder(m_open.get());
}

void EditHistory::close()
{
    if (--m_depth > 0)
        return;
    const auto done = qScopeGuard([this] {
        if (!busy())
            Q_EMIT idle();
    });
    m_nodes.setRecorder(nullptr);
    std::unique_ptr<TreeEdits> edits = std::move(m_open);
    std::optional<NodePath> namePath = std::exchange(m_namePath, std::nullopt);
    const bool discarded = std::exchange(m_discarded, false);
    if (edits->empty() || discarded)
        return;
    auto* command = new Command(*this, m_text, std::move(edits));
    command->m_namePath = std::move(namePath);
    command->m_named = m_named;
    m_stack.push(command);
    holdAddresses();
}

void EditHistory::addOutside(std::function<bool()> reverse, std::function<bool()> repeat)
{
    if (m_open)
        m_open->addOutside(std::move(reverse), std::move(repeat));
}

EditHistory::Step::Step(EditHistory& history, const QString& text) : m_history(history)
{
    m_history.open(text);
}

EditHistory::Step::~Step()
{
    m_history.close();
}

void EditHistory::Step::setText(const QString& text)
{
    m_history.m_text = text;
}

void EditHistory::Step::joinFirstName(const TreeNode* node, const QString& named)
{
    m_history.m_namePath = m_history.m_nodes.pathOf(node);
    m_history.m_named = named;
}

void EditHistory::Step::discard()
{
    m_history.m_discarded = true;
}
