#include "fixtures.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

// "X" in the middle of a conversion, on the program in a process of its own: it ends with
// status 0 and takes the encoder with it.
class TestQuit : public QObject
{
    Q_OBJECT

private slots:
    void quitDuringConversionStopsTheEncoder();
};

void TestQuit::quitDuringConversionStopsTheEncoder()
{
    if (!QFile::exists(QStringLiteral("/proc/self/stat"))) {
        QSKIP("needs /proc to look at the encoder's process");
    }
    QTemporaryDir directory;
    // Three minutes of tone keep the real encoder busy well past the click.
    const QByteArray wav = Fixtures::toneWav(180, 44100);
    const QString input = directory.filePath(QStringLiteral("long.wav"));
    QVERIFY(Fixtures::writeFile(input, wav));

    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("TUNEWRIGHT_TEST_INPUT"), input);
    environment.insert(QStringLiteral("TUNEWRIGHT_TEST_OUTPUT"), directory.filePath(QStringLiteral("out.mp3")));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(QUIT_SPY), QStringList());
    QVERIFY2(program.waitForFinished(60000), "the program did not end after X");
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);

    const QString report = QString::fromLatin1(program.readAllStandardOutput()).trimmed();
    QVERIFY2(report.startsWith(QLatin1String("encoder ")), qPrintable(report));

    // Every process still working on our output file, the encoder and anything it may have
    // started: each must be gone, or at most a zombie waiting for its reaper.
    const QByteArray output = directory.filePath(QStringLiteral("out.mp3")).toLocal8Bit();
    const QStringList processes = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &pid : processes) {
        if (pid.toInt() <= 0 || !Fixtures::readFile("/proc/" + pid + "/cmdline").contains(output)) {
            continue;
        }
        const QByteArray fields = Fixtures::readFile("/proc/" + pid + "/stat");
        const QByteArray state = fields.mid(fields.lastIndexOf(')') + 2, 1);
        QVERIFY2(fields.isEmpty() || state == "Z", fields.constData());
    }
}

QTEST_GUILESS_MAIN(TestQuit)
#include "tst_quit.moc"
