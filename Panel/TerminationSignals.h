#pragma once

#include <QObject>
#include <memory>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a signal on the GUI thread, so that a panel asked to
// stop by the system, the terminal or a closed session quits through the event loop like a
// normal quit and saves what it keeps. The handler itself only writes the signal's number to
// a pipe, the one thing safe to do there. One instance per process; its end restores the
// default actions.
class TerminationSignals : public QObject {
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

    // False when the pipe or the handlers could not be set up; the default actions stay.
    bool isActive() const { return m_notifier != nullptr; }

signals:
    void received(int signalNumber);

private:
    void drain();

    std::unique_ptr<QSocketNotifier> m_notifier;
};
