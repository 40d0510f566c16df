// Stands in for lame.exe where the real encoder cannot fail on purpose. STANDIN_MODE says what it
// does with the output, its last argument:
//   crash   - writes a fragment of audio there, then aborts
//   nothing - writes nothing and ends with code 0
//   slow    - holds a lock file in STANDIN_LOCK_DIR, which records its process id, and sleeps
#include <QCoreApplication>
#include <QFile>
#include <QLockFile>
#include <QThread>

#include <cstdlib>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QByteArray mode = qgetenv("STANDIN_MODE");
    if (mode == "slow") {
        QLockFile lock(qEnvironmentVariable("STANDIN_LOCK_DIR") + QLatin1Char('/')
                       + QString::number(QCoreApplication::applicationPid()));
        lock.lock();
        QThread::sleep(600);
    } else if (mode == "crash") {
        QFile file(QCoreApplication::arguments().constLast());
        if (file.open(QIODevice::WriteOnly)) {
            file.write("\xFF\xFB\x90 a fragment of audio");
        }
        file.close();
        std::abort();
    }
    return 0;
}
