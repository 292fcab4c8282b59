#pragma once
#include <QLocalServer>
#include <QObject>
#include <memory>

// One running copy per executable: a second copy started from the same file
// asks the first to show its window and quits before it touches the catalogue.
// Copies started from different folders keep separate catalogues.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(const QString& executablePath, QObject* parent = nullptr);
    ~SingleInstance() override;

    // The local socket name for an executable path.
    static QString serverName(const QString& executablePath);

    // True when this is the first copy (it now listens); false when another
    // copy answered and was asked to show itself.
    bool claim();

Q_SIGNALS:
    // Another copy asks to be shown; it waits until the receivers return
    // (the first copy saves pending edits before it answers).
    void showRequested();

private:
    QString m_executable; // canonical path
    QString m_name;
    std::unique_ptr<QLocalServer> m_server;
};
