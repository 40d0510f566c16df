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
    void quitDuringConversionStopsTheEncoder();

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

void TestProgram::quitDuringConversionStopsTheEncoder()
{
    QTemporaryDir directory;
    // Three minutes of tone keep the real encoder busy well past the click.
    const QString input = directory.filePath(QStringLiteral("long.wav"));
    const QString output = directory.filePath(QStringLiteral("out.mp3"));
    QVERIFY(Fixtures::writeFile(input, Fixtures::toneWav(180, 44100)));

    QProcess program;
    QProcessEnvironment withRun = environment();
    withRun.insert(QStringLiteral("TUNEWRIGHT_TEST_INPUT"), input);
    withRun.insert(QStringLiteral("TUNEWRIGHT_TEST_OUTPUT"), output);
    program.setProcessEnvironment(withRun);
    program.start(QStringLiteral(PROGRAM_SPY), QStringList());
    QVERIFY2(program.waitForFinished(60000), "the program did not end after X");
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QVERIFY2(program.readAllStandardOutput().contains("\nencoder "), "X came before the encoder");

    // Every process still working on our output, the encoder and anything it may have started,
    // must be gone, or at most a zombie waiting for its reaper.
    const QStringList processes = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &pid : processes) {
        if (!Fixtures::readFile("/proc/" + pid + "/cmdline").contains(output.toLocal8Bit())) {
            continue;
        }
        const QByteArray fields = Fixtures::readFile("/proc/" + pid + "/stat");
        QVERIFY2(fields.isEmpty() || fields.mid(fields.lastIndexOf(')') + 2, 1) == "Z",
                 fields.constData());
    }
}

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
