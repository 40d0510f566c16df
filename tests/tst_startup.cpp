#include <QFileInfo>
#include <QProcess>
#include <QtTest>

// The program as a person starts it: its real main(), in a process of its own.
class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void framelessWindowAndOneDebugLine();
};

void TestStartup::framelessWindowAndOneDebugLine()
{
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.remove(QStringLiteral("QT_LOGGING_RULES"));
    program.setProcessEnvironment(environment);
    // Arguments of its own the program does not have; stray ones change nothing.
    program.start(QStringLiteral(STARTUP_SPY), { QStringLiteral("--bogus"), QStringLiteral("x.mp3") });
    QVERIFY2(program.waitForFinished(30000), qPrintable(program.errorString()));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);

    // Qt::Window | Qt::FramelessWindowHint, set by main() before the window is first shown.
    QCOMPARE(QString::fromLatin1(program.readAllStandardOutput()).trimmed(),
             QStringLiteral("windowFlags 0x801"));

    const QString programDir = QFileInfo(QStringLiteral(STARTUP_SPY)).absolutePath();
    const QStringList debugLines = QString::fromLocal8Bit(program.readAllStandardError())
                                       .split('\n').filter(QStringLiteral("App path"));
    QCOMPARE(debugLines, QStringList(QStringLiteral("App path :  \"%1\"").arg(programDir)));
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
