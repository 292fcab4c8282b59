#pragma once
#include <QLocalServer>
#include <QObject>
#include <QStringList>
#include <memory>

// One running copy per executable: a second copy started from the same file
// hands its request (show the window, or file some items) to the first and
// quits before it touches the catalogue. Copies started from different
// folders keep separate catalogues.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    // What a copy asks the running one for: to show its window, and with
    // items, to file them (absolute paths and addresses) into the category
    // at Category (a path as the command line writes it; empty for the main
    // category).
    struct Request {
        QStringList items;
        QString category;
    };
    enum class HandOver { NoCopy, Taken, NoAnswer };

    explicit SingleInstance(const QString& executablePath, QObject* parent = nullptr);
    ~SingleInstance() override;

    // The local socket name for an executable path.
    static QString serverName(const QString& executablePath);

    // True when this is the first copy (it now listens); false when another
    // copy was found and given the request (handOverResult says whether it
    // answered).
    bool claim(const Request& request = {});
    HandOver handOverResult() const { return m_handOver; }
    // Gives Request to a running copy without becoming one (no lock taken).
    HandOver handOver(const Request& request);

Q_SIGNALS:
    // Another copy asks to be shown; it waits until the receivers return
    // (the first copy saves pending edits before it answers).
    void showRequested();
    void fileRequested(const QStringList& items, const QString& category);

private:
    void serve();

    QString m_executable; // canonical path
    QString m_name;
    std::unique_ptr<QLocalServer> m_server;
    HandOver m_handOver = HandOver::NoCopy;
};
