#include "quitsignals.h"

#include <QSocketNotifier>

#ifndef Q_OS_WIN
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

#ifndef Q_OS_WIN
// A socket pair: the handler writes to one end, the notifier watches the other.
enum SocketEnd { HandlerEnd, NotifierEnd, SocketEnds };
int signalSockets[SocketEnds];

void writeSignal(int)
{
    const char byte {};
    [[maybe_unused]] const ssize_t written = ::write(signalSockets[HandlerEnd], &byte, sizeof byte);
}
#endif

} // namespace

QuitSignals::QuitSignals(QObject *parent)
    : QObject(parent)
{
#ifndef Q_OS_WIN
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalSockets) != 0) {
        return;
    }
    notifier = new QSocketNotifier(signalSockets[NotifierEnd], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &QuitSignals::readSignal);
    struct sigaction action = {};
    action.sa_handler = writeSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : { SIGTERM, SIGINT, SIGHUP }) {
        sigaction(signal, &action, nullptr);
    }
#endif
}

void QuitSignals::readSignal()
{
#ifndef Q_OS_WIN
    char byte;
    [[maybe_unused]] const ssize_t read = ::read(signalSockets[NotifierEnd], &byte, sizeof byte);
#endif
    emit received();
}
