#pragma once

#include <QObject>

class QSocketNotifier;

// Turns the signals by which a session or a user ends a program (SIGTERM at logout or from
// kill, SIGINT from Ctrl+C, SIGHUP when the terminal goes) into received(), delivered by the
// event loop, where it is safe to stop a run. A signal handler may do next to nothing, so it
// only writes a byte into a socket pair, which a QSocketNotifier reads. Where there are no such
// signals (Windows) received() never comes.
class QuitSignals : public QObject
{
    Q_OBJECT

public:
    explicit QuitSignals(QObject *parent = nullptr);

signals:
    void received();

private:
    void readSignal();

    QSocketNotifier *notifier = nullptr;
};
