// Stands in for lame.exe where a run must still be busy when the program is ended: it holds a
// lock file in STANDIN_LOCK_DIR, which records its process id, and sleeps.
#include <QtCore>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QLockFile lock(qEnvironmentVariable("STANDIN_LOCK_DIR") + QLatin1Char('/')
                   + QString::number(QCoreApplication::applicationPid()));
    lock.lock();
    QThread::sleep(600);
    return 0;
}
