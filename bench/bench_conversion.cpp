// A folder run through the real window against the bare encoder: sixteen 3-minute tones that
// all convert, run by the program (dialogs answered, timed from "Sì" to "Operazione
// completata") with TUNEWRIGHT_JOBS = N and = 1, by a sequential shell loop over lame and by
// xargs -P N. Prints the medians of interleaved rounds: wall-time ratios, the program's own CPU
// time as a share of its wall time, and its peak memory against the shown window's.
// Run under a real display (xvfb-run) so the program paints as it would for a person.
// Usage: bench_conversion [ROUNDS] [FILES] [SECONDS]

#include "fixtures.h"
#include "mainwindow.h"
#include "runcontroller.h"

#include <QApplication>
#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

using namespace Fixtures;

namespace {

double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double peakMegabytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

// A mono 16-bit sine tone at 22.05 kHz, as a WAV file's bytes.
QByteArray toneWav(double seconds)
{
    const int rate = 22050;
    const int samples = int(seconds * rate);
    QByteArray wav;
    QDataStream stream(&wav, QIODevice::WriteOnly);
    stream.setByteOrder(QDataStream::LittleEndian);
    stream.writeRawData("RIFF", 4);
    stream << quint32(36 + samples * 2);
    stream.writeRawData("WAVEfmt ", 8);
    stream << quint32(16) << quint16(1) << quint16(1) << quint32(rate) << quint32(rate * 2)
           << quint16(2) << quint16(16);
    stream.writeRawData("data", 4);
    stream << quint32(samples * 2);
    for (int i = 0; i < samples; ++i) {
        stream << qint16(8000 * std::sin(2 * M_PI * 440 * i / rate));
    }
    return wav;
}

// The tone as a low-quality MP3 (MPEG-2, 32 kbit/s), which a folder run converts.
QByteArray toneMp3(const QString &folder, double seconds)
{
    const QString wav = folder + QStringLiteral("/tone.wav");
    const QString mp3 = folder + QStringLiteral("/tone.mp3");
    writeFile(wav, toneWav(seconds));
    QProcess lame;
    lame.start(QStringLiteral("lame"), { "--quiet", "-b", "32", wav, mp3 });
    lame.waitForFinished(-1);
    return readFile(mp3);
}

QString freshFolder(const QString &path)
{
    QDir(path).removeRecursively();
    QDir().mkpath(path);
    return path;
}

// The same lame command the program runs, from a shell: one after another, or xargs -P jobs.
double timeShell(const QString &source, const QString &output, int jobs)
{
    const QString each = QStringLiteral("lame --resample 44.1 -b 192 \"$0\" "
                                        "\"%1/$(basename \"$0\")\" >/dev/null 2>&1")
                             .arg(output);
    const QString script = jobs == 1
        ? QStringLiteral("for f in \"%1\"/*.mp3; do sh -c '%2' \"$f\"; done").arg(source, each)
        : QStringLiteral("ls \"%1\"/*.mp3 | xargs -P %2 -I{} sh -c '%3' {}")
              .arg(source)
              .arg(jobs)
              .arg(each);
    QElapsedTimer timer;
    timer.start();
    QProcess shell;
    shell.start(QStringLiteral("sh"), { QStringLiteral("-c"), script });
    shell.waitForFinished(-1);
    return timer.nsecsElapsed() / 1e9;
}

struct ProgramRun
{
    double wall = 0;
    double cpu = 0;
};

ProgramRun timeProgram(MainWindow &window, const QString &source, const QString &output, int jobs)
{
    qputenv("TUNEWRIGHT_JOBS", QByteArray::number(jobs));
    window.resetState();
    DialogDriver driver(source + ' ' + output + QString::fromUtf8(" S\xC3\xAC"));
    QTest::mouseClick(window.findChild<QPushButton *>("pushButton_2"), Qt::LeftButton);
    QTest::mouseClick(window.findChild<QPushButton *>("pushButton_3"), Qt::LeftButton);
    ProgramRun run;
    QElapsedTimer timer;
    double cpuBefore = 0;
    driver.before = [&](int index) {
        if (index == 2) { // the question before the run starts
            timer.start();
            cpuBefore = cpuSeconds();
        }
    };
    // Waiting on the run's own end signal, not polling, so the wait adds no CPU of its own.
    QSignalSpy finished(window.findChild<RunController *>(), &RunController::finished);
    QTest::mouseClick(window.findChild<QPushButton *>("pushButton_4"), Qt::LeftButton);
    if (finished.isEmpty() && !finished.wait(600000)) {
        std::printf("the run did not end\n");
    }
    run.wall = timer.nsecsElapsed() / 1e9;
    run.cpu = cpuSeconds() - cpuBefore;
    return run;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    const int rounds = arguments.value(1, QStringLiteral("5")).toInt();
    const int files = arguments.value(2, QStringLiteral("16")).toInt();
    const double seconds = arguments.value(3, QStringLiteral("180")).toDouble();
    const int jobs = RunController::jobLimit();

    QTemporaryDir root;
    const QString source = freshFolder(root.filePath(QStringLiteral("source")));
    const QByteArray tone = toneMp3(root.path(), seconds);
    for (int i = 0; i < files; ++i) {
        writeFile(source + QStringLiteral("/tone%1.mp3").arg(i, 2, 10, QLatin1Char('0')), tone);
    }

    MainWindow window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        return 1;
    }
    const double baseline = peakMegabytes();

    QList<double> sequential, parallel, programN, program1, cpuN, cpu1;
    for (int round = 0; round < rounds; ++round) {
        // Each round runs the four in another order, so drift hits them alike.
        for (int turn = 0; turn < 4; ++turn) {
            const QString output = freshFolder(root.filePath(QStringLiteral("out")));
            switch ((turn + round) % 4) {
            case 0:
                sequential << timeShell(source, output, 1);
                break;
            case 1:
                parallel << timeShell(source, output, jobs);
                break;
            case 2: {
                const ProgramRun run = timeProgram(window, source, output, jobs);
                programN << run.wall;
                cpuN << run.cpu / run.wall;
                break;
            }
            default: {
                const ProgramRun run = timeProgram(window, source, output, 1);
                program1 << run.wall;
                cpu1 << run.cpu / run.wall;
            }
            }
        }
    }
    std::printf("%d files of %.0f s (%.2f MB each), %d rounds, N = %d\n", files, seconds,
                tone.size() / 1e6, rounds, jobs);
    std::printf("medians (s): sequential lame %.2f, xargs -P %d %.2f, program N=%d %.2f, "
                "program N=1 %.2f\n", median(sequential), jobs, median(parallel), jobs,
                median(programN), median(program1));
    std::printf("program N=%d: %.3f of sequential (goal <= %.3f), %.3f of xargs (goal <= 1.05), "
                "CPU %.1f %% of wall\n", jobs, median(programN) / median(sequential),
                1.1 / jobs + 0.05, median(programN) / median(parallel), 100 * median(cpuN));
    std::printf("program N=1: %.3f of sequential, %.3f of xargs, CPU %.1f %% of wall\n",
                median(program1) / median(sequential), median(program1) / median(parallel),
                100 * median(cpu1));
    std::printf("peak memory %.1f MB against %.1f MB with the window shown\n", peakMegabytes(),
                baseline);
    return 0;
}
