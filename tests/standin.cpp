// Stands in for lame.exe where the real encoder cannot fail on purpose. STANDIN_MODE says what it
// does with the output, its last argument:
//   fragment, crash - writes a few bytes there, then ends with code 1, or aborts
//   nothing         - writes nothing and ends with code 0
//   slow            - holds a lock file in STANDIN_LOCK_DIR, which records its process id, and
//                     sleeps
#include <QCoreApplication>
#include <QFile>
#include <QLockFile>
#include <QThread>

#include <cstdlib>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QString output = QCoreApplication::arguments().constLast();
    const QByteArray mode = qgetenv("STANDIN_MODE");
    if (mode == "slow") {
        QLockFile lock(qEnvironmentVariable("STANDIN_LOCK_DIR") + QLatin1Char('/')
                       + QString::number(QCoreApplication::applicationPid()));
        lock.lock();
        QThread::sleep(600);
    } else if (mode != "nothing") {
        QFile file(output);
        if (file.open(QIODevice::WriteOnly)) {
            file.write("\xFF\xFB\x90 a fragment of audio");
        }
        file.close();
        if (mode == "crash") {
            std::abort();
        }
        return 1;
    }
    return 0;
}
