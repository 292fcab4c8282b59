#pragma once
#include "components/DropTarget.h"

// Takes a hyperlink (what a browser drags), a shortcut file or plain text:
// an address and a title. Allows the link effect and reads at the enter.
class UrlDropTarget : public DropTarget
{
    Q_OBJECT
public:
    explicit UrlDropTarget(QObject* parent = nullptr);
    QString url;
    QString title;

protected:
    bool readData(const QMimeData* data) override;
    void resetData() override;
    bool acceptsFormats(const QMimeData* data) const override;
};
