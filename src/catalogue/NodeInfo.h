#pragma once
#include <QChar>
#include <QString>
#include <cstdint>
#include <stdexcept>

// Kinds of catalogue entries; the numbers are the codes in the catalogue file.
enum NodeKind : std::uint8_t { nkNone = 0, nkCategory = 1, nkDoc = 2, nkFolder = 3, nkURL = 4 };

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
    NodeKind kind = nkNone;
    QString sAdditional; // value of the user-defined additional field

    QChar getsKind() const;
    void setsKind(QChar code);

    void assign(const Persistent* source) override;
    const char* className() const override { return "NodeInfo"; }
};
