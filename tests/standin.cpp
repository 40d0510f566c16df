// Stands in for lame.exe where the real encoder cannot fail on purpose: it writes nothing and ends
// with code 0, or with STANDIN_MODE=slow holds a lock file in STANDIN_LOCK_DIR, which records its
// process id, and sleeps.
#include <QCoreApplication>
#include <QLockFile>
#include <QThread>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    if (qgetenv("STANDIN_MODE") == "slow") {
        QLockFile lock(qEnvironmentVariable("STANDIN_LOCK_DIR") + QLatin1Char('/')
                       + QString::number(QCoreApplication::applicationPid()));
        lock.lock();
        QThread::sleep(600);
    }
    return 0;
}
