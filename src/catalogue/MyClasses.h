#pragma once
#include <QChar>
#include <QString>
#include <cstdint>
#include <stdexcept>

// Kinds of catalogue entries; the numbers are the codes in the catalogue file.
enum TNodeKind : std::uint8_t { nkNone = 0, nkCategory = 1, nkDoc = 2, nkFolder = 3, nkURL = 4 };

// Text of a kind in the list's "Type" column and the properties dialog.
QString NodeKindText(TNodeKind Kind);

class EConvertError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Base of copyable records: refuses what the concrete class cannot take.
class TPersistent
{
public:
    virtual ~TPersistent() = default;
    virtual void Assign(const TPersistent* Source);
    virtual const char* ClassName() const { return "TPersistent"; }
};

// The record each tree node owns.
class TNodeInfo final : public TPersistent
{
public:
    QString FullName; // path of a document or folder, or an address; empty for categories
    QString Comments;
    TNodeKind Kind = nkNone;
    QString sAdditional; // value of the user-defined additional field

    QChar GetsKind() const;
    void SetsKind(QChar Code);

    void Assign(const TPersistent* Source) override;
    const char* ClassName() const override { return "TNodeInfo"; }
};
