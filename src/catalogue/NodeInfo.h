#pragma once
#include <QChar>
#include <QString>
#include <cstdint>
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

// Base of copyable records: refuses what the concrete class cannot take.
class Persistent
{
public:
    virtual ~Persistent() = default;
    virtual void assign(const Persistent* source);
    virtual const char* className() const { return "Persistent"; }
};

// The record each tree node owns.
class NodeInfo final : public Persistent
{
public:
    QString fullName; // path of a document or folder, or an address; empty for categories
    QString comments;
    NodeKind kind = NodeKind::None;
    QString sAdditional; // value of the user-defined additional field

    QChar getsKind() const;
    void setsKind(QChar code);

    void assign(const Persistent* source) override;
    const char* className() const override { return "NodeInfo"; }
};
