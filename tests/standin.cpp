// Stands in for lame.exe where the real encoder cannot fail on purpose: it writes nothing and ends
// with code 0; with STANDIN_MODE=crash it writes part of an output and crashes; with
// STANDIN_MODE=slow it holds a lock file in STANDIN_LOCK_DIR, which records its process id, and
// sleeps.
#include <QCoreApplication>
#include <QFile>
#include <QLockFile>
#include <QThread>

#include <cstdlib>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    if (qgetenv("STANDIN_MODE") == "crash") {
        QFile output(QCoreApplication::arguments().last());
        if (output.open(QIODevice::WriteOnly)) {
            output.write("part of an MP3");
            output.flush();
        }
        std::abort();
    }
    if (qgetenv("STANDIN_MODE") == "slow") {
        QLockFile lock(qEnvironmentVariable("STANDIN_LOCK_DIR") + QLatin1Char('/')
                       + QString::number(QCoreApplication::applicationPid()));
        lock.lock();
        QThread::sleep(600);
    }
    return 0;
}
