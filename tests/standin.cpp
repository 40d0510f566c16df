// Stands in for lame.exe where the real encoder cannot fail on purpose. Called with lame's six
// arguments; STANDIN_MODE picks what it does with the output (the sixth):
//   fragment - writes a few bytes there and ends with code 1
//   crash    - writes a few bytes there and aborts
//   rmdir    - deletes the output's folder and ends with code 0
//   nothing  - writes nothing and ends with code 0
//   slow     - writes its process id as a file name into STANDIN_PID_DIR, then sleeps
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cstdlib>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() != 7) {
        return 2;
    }
    const QString output = arguments.at(6);
    const QByteArray mode = qgetenv("STANDIN_MODE");
    if (mode == "nothing") {
        return 0;
    }
    if (mode == "rmdir") {
        return QFileInfo(output).dir().removeRecursively() ? 0 : 3;
    }
    if (mode == "slow") {
        QFile pid(qEnvironmentVariable("STANDIN_PID_DIR") + QLatin1Char('/')
                  + QString::number(QCoreApplication::applicationPid()));
        pid.open(QIODevice::WriteOnly);
        pid.close();
        QThread::sleep(600);
        return 0;
    }
    QFile file(output);
    file.open(QIODevice::WriteOnly);
    file.write("\xFF\xFB\x90 a fragment of audio");
    file.close();
    if (mode == "crash") {
        std::abort();
    }
    return 1;
}
