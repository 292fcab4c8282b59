#pragma once
#include <QObject>
#include <QPoint>
#include <QStringList>

namespace TestUtil
{

// Answers the folder menu of a dropped folder each time it opens with the
// next of Answers: an action's object name, or "Escape".
class FolderMenuAnswers : public QObject
{
public:
    explicit FolderMenuAnswers(QStringList answers);
    ~FolderMenuAnswers() override;
    QList<QPoint> shownAt;
    QStringList firstLines; // each time: the text of the first line, "(enabled)" when it is
    QStringList entries;    // the last time: the object names of the lines
    int left() const { return int(m_answers.size()); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QStringList m_answers;
};

} // namespace TestUtil
