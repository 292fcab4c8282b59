#pragma once
#include <QObject>
#include <QSocketNotifier>
#include <memory>

// Turns SIGTERM, SIGHUP and SIGINT into a Qt signal on the GUI thread (a
// self-pipe written by the handler and watched by a socket notifier).
class UnixSignals : public QObject
{
    Q_OBJECT
public:
    explicit UnixSignals(QObject* parent = nullptr);
    ~UnixSignals() override;

Q_SIGNALS:
    void terminationRequested(int signal);

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
};
