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

    // Takes only a browser's links: no plain text, no shortcut files (where
    // a file target serves the same widget, files are its own).
    bool webLinksOnly() const { return m_webLinksOnly; }
    void setWebLinksOnly(bool on) { m_webLinksOnly = on; }

protected:
    bool readData(const QMimeData* data) override;
    void resetData() override;
    bool acceptsFormats(const QMimeData* data) const override;

private:
    bool m_webLinksOnly = false;
};
