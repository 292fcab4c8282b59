#pragma once
#include <QChar>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <memory>
#include <stdexcept>

// Kinds of catalogue entries; the numbers are the codes in the catalogue file.
enum class NodeKind : std::uint8_t { None = 0, Category = 1, Doc = 2, Folder = 3, Url = 4 };

// Text of a kind in the list's "Type" column and the properties dialog.
QString nodeKindText(NodeKind kind);

class ConvertError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// A text that most entries leave empty (a comment, an additional value): one
// pointer in the record, and the string out of line only when there is text.
// Reads as a QString; an empty text reads as a null one.
class NoteText
{
public:
    NoteText() = default;
    NoteText(QString text) { set(std::move(text)); }
    NoteText(const NoteText& other) { set(other.text()); }
    NoteText(NoteText&&) noexcept = default;
    NoteText& operator=(const NoteText& other)
    {
        set(other.text());
        return *this;
    }
    NoteText& operator=(NoteText&&) noexcept = default;
    NoteText& operator=(QString text)
    {
        set(std::move(text));
        return *this;
    }

    const QString& text() const { return m_text ? *m_text : empty(); }
    operator const QString&() const { return text(); }
    operator QStringView() const { return text(); }
    bool isEmpty() const { return !m_text; }
    qsizetype size() const { return text().size(); }
    const QChar* constData() const { return text().constData(); }

    friend bool operator==(const NoteText& a, const NoteText& b) { return a.text() == b.text(); }
    friend bool operator==(const NoteText& a, const QString& b) { return a.text() == b; }

private:
    void set(QString text);
    static const QString& empty();

    std::unique_ptr<QString> m_text; // null while empty
};

// The record of a node: what it links to and its notes. Held inside its tree
// node, so it is kept small: the notes out of line, no virtual base.
class NodeInfo
{
public:
    QString fullName; // path of a document or folder, or an address; empty for categories
    NoteText comments;
    NoteText sAdditional; // value of the user-defined additional field
    NodeKind kind = NodeKind::None;

    QChar getsKind() const;
    void setsKind(QChar code);

    // Takes Source's fields; a missing record cannot be taken.
    void assign(const NodeInfo* source);
};
