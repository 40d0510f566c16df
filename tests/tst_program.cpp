#include "fixtures.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>

// The program as a person starts it: its real main(), in a process of its own.
class TestProgram : public QObject
{
    Q_OBJECT

private slots:
    void framelessWindowAndOneDebugLine();
    void quitDuringRunStopsTheEncoders_data();
    void quitDuringRunStopsTheEncoders();

private:
    QProcessEnvironment environment() const;
};

QProcessEnvironment TestProgram::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.remove(QStringLiteral("QT_LOGGING_RULES"));
    return environment;
}

void TestProgram::framelessWindowAndOneDebugLine()
{
    QProcess program;
    program.setProcessEnvironment(environment());
    // The program has no options of its own; stray arguments change nothing.
    program.start(QStringLiteral(PROGRAM_SPY), { QStringLiteral("--bogus"), QStringLiteral("x.mp3") });
    QVERIFY2(program.waitForFinished(30000), qPrintable(program.errorString()));
    QCOMPARE(program.exitCode(), 0);

    // Qt::Window | Qt::FramelessWindowHint, set by main() before the window is first shown.
    QCOMPARE(program.readAllStandardOutput().trimmed(), QByteArray("windowFlags 0x801"));
    const QString programDir = QFileInfo(QStringLiteral(PROGRAM_SPY)).absolutePath();
    const QStringList debugLines = QString::fromLocal8Bit(program.readAllStandardError())
                                       .split('\n').filter(QStringLiteral("App path"));
    QCOMPARE(debugLines, QStringList(QStringLiteral("App path :  \"%1\"").arg(programDir)));
}

void TestProgram::quitDuringRunStopsTheEncoders_data()
{
    QTest::addColumn<bool>("folder");
    QTest::addColumn<QByteArray>("jobs");
    QTest::addColumn<QString>("progress");

    QTest::newRow("single-file") << false << QByteArray() << "1/1";
    QTest::newRow("folder-two-at-once") << true << QByteArray("2") << "2/4";
}

void TestProgram::quitDuringRunStopsTheEncoders()
{
    QFETCH(bool, folder);
    QFETCH(QByteArray, jobs);
    QFETCH(QString, progress);

    // The stand-in encoder sleeps until it is stopped and leaves its process id in pids/.
    QTemporaryDir directory;
    const QString source = directory.filePath(QStringLiteral("src"));
    const QString output = directory.filePath(QStringLiteral("out"));
    const QString pids = directory.filePath(QStringLiteral("pids"));
    for (const QString &folderPath : { source, output, pids }) {
        QVERIFY(QDir().mkpath(folderPath));
    }
    for (const char *name : { "1.mp3", "2.mp3", "3.mp3", "4.mp3" }) {
        QVERIFY(Fixtures::writeFile(source + '/' + name, "not yet a good MP3"));
    }

    QProcess program;
    QProcessEnvironment withRun = environment();
    withRun.insert(QStringLiteral("TUNEWRIGHT_TEST_SOURCE"), folder ? source : source + "/1.mp3");
    withRun.insert(QStringLiteral("TUNEWRIGHT_TEST_DESTINATION"),
                   folder ? output : output + "/1.mp3");
    withRun.insert(QStringLiteral("TUNEWRIGHT_JOBS"), QString::fromLatin1(jobs));
    withRun.insert(QStringLiteral("STANDIN_MODE"), QStringLiteral("slow"));
    withRun.insert(QStringLiteral("STANDIN_PID_DIR"), pids);
    program.setProcessEnvironment(withRun);
    program.start(QStringLiteral(PROGRAM_SPY), QStringList());
    QVERIFY2(program.waitForFinished(60000), "the program did not end after X");
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    // Only as many encoders as allowed were started before X.
    QVERIFY2(program.readAllStandardOutput().contains(
                 "progress Elaborazione dei file in corso: " + progress.toLatin1()),
             "X came before the encoders, or more of them ran");

    const QStringList started = QDir(pids).entryList(QDir::Files);
    QCOMPARE(started.size(), qMax(1, jobs.toInt()));
    for (const QString &pid : started) {
        QVERIFY2(!QFileInfo::exists(QStringLiteral("/proc/") + pid), qPrintable(pid));
    }
    QCOMPARE(QDir(output).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList());
}

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
