// Conversion against the bare encoder:
//   rebuild  - rebuildOutput() over ten 30-second tones vs the same lame command run directly;
//   folder   - a folder run through the real window, dialogs answered, over twenty 20-second
//              tones vs the same twenty lame commands one after another.
// Both report the median ratio of interleaved runs and the program's own CPU time while it
// waits, as a share of the wall time; folder also reports the peak memory.
// Run under a real display (xvfb-run) for the CPU figures to include painting.

#include "fixtures.h"
#include "mainwindow.h"
#include "workstate.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include <algorithm>
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

QStringList encoderArguments(const QString &input, const QString &output)
{
    return { QStringLiteral("--resample"), QStringLiteral("44.1"), QStringLiteral("-b"),
             QStringLiteral("192"), input, output };
}

double timeDirect(const QStringList &inputs, const QString &outputFolder)
{
    QElapsedTimer timer;
    timer.start();
    for (const QString &input : inputs) {
        QProcess lame;
        lame.start(QStringLiteral(LAME_PROGRAM),
                   encoderArguments(input, outputFolder + QLatin1Char('/') + QFileInfo(input).fileName()));
        lame.waitForFinished(-1);
    }
    return timer.nsecsElapsed() / 1e9;
}

QStringList makeTones(const QString &folder, int count, double seconds)
{
    QDir().mkpath(folder);
    const QByteArray tone = toneMp3(folder, seconds, { QStringLiteral("-b"), QStringLiteral("32") });
    QFile::remove(folder + QStringLiteral("/tone.mp3"));
    QFile::remove(folder + QStringLiteral("/tone.wav"));
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        paths << folder + QStringLiteral("/tone%1.mp3").arg(i, 2, 10, QLatin1Char('0'));
        writeFile(paths.last(), tone);
    }
    return paths;
}

void benchRebuild(MainWindow &window, const QString &root)
{
    const QStringList tones = makeTones(root + QStringLiteral("/rebuild"), 10, 30);
    QList<double> ratios;
    double waitWall = 0;
    double waitCpu = 0;
    for (int i = 0; i < tones.size(); ++i) {
        const QString output = root + QStringLiteral("/rebuilt.mp3");
        double direct = 0;
        double program = 0;
        // Interleaved, alternating which goes first, so drift hits both alike.
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn + i) % 2 == 0) {
                direct = timeDirect({ tones.at(i) }, root);
            } else {
                window.resetState();
                workState.inputPath = tones.at(i);
                workState.outputPath = output;
                workState.sourceBytes = readFile(tones.at(i));
                QElapsedTimer timer;
                timer.start();
                const double cpuBefore = cpuSeconds();
                window.rebuildOutput();
                waitCpu += cpuSeconds() - cpuBefore;
                program = timer.nsecsElapsed() / 1e9;
                waitWall += program;
            }
        }
        ratios << program / direct;
    }
    std::printf("rebuildOutput vs lame alone, ten 30 s tones: median ratio %.3f; "
                "program CPU while waiting: %.1f %% of wall time\n",
                median(ratios), 100 * waitCpu / waitWall);
}

void benchFolder(MainWindow &window, const QString &root)
{
    const QStringList tones = makeTones(root + QStringLiteral("/folder"), 20, 20);
    const QString directOut = root + QStringLiteral("/direct-out");
    QList<double> ratios;
    double runWall = 0;
    double runCpu = 0;
    double peakBeforeRun = 0;
    for (int round = 0; round < 3; ++round) {
        const QString programOut = root + QStringLiteral("/program-out");
        QDir(programOut).removeRecursively();
        QDir(directOut).removeRecursively();
        QDir().mkpath(programOut);
        QDir().mkpath(directOut);
        double direct = 0;
        double program = 0;
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn + round) % 2 == 0) {
                direct = timeDirect(tones, directOut);
                continue;
            }
            window.resetState();
            DialogDriver driver;
            driver.typePath(root + QStringLiteral("/folder"));
            QTest::mouseClick(window.findChild<QPushButton *>("pushButton_2"), Qt::LeftButton);
            driver.typePath(programOut);
            QTest::mouseClick(window.findChild<QPushButton *>("pushButton_3"), Qt::LeftButton);
            // Timed from the "Sì" to "Operazione completata".
            QElapsedTimer timer;
            double cpuBefore = 0;
            driver.press(QString::fromUtf8("S\xC3\xAC"), [&] {
                timer.start();
                cpuBefore = cpuSeconds();
                peakBeforeRun = std::max(peakBeforeRun, peakMegabytes());
            });
            QTest::mouseClick(window.findChild<QPushButton *>("pushButton_4"), Qt::LeftButton);
            program = timer.nsecsElapsed() / 1e9;
            runCpu += cpuSeconds() - cpuBefore;
            runWall += program;
        }
        ratios << program / direct;
    }
    std::printf("folder run of twenty 20 s tones vs twenty lame commands: median ratio %.3f; "
                "program CPU during the run: %.1f %% of wall time; peak memory %.1f MB, "
                "%.1f MB with the dialogs opened before the run (largest file %.2f MB)\n",
                median(ratios), 100 * runCpu / runWall, peakMegabytes(), peakBeforeRun,
                QFileInfo(tones.first()).size() / 1e6);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    QTemporaryDir root;
    MainWindow window;
    window.show();
    QTest::qWaitForWindowExposed(&window);
    std::printf("window shown; memory so far %.1f MB\n", peakMegabytes());
    if (arguments.size() < 2 || arguments.contains(QStringLiteral("rebuild"))) {
        benchRebuild(window, root.path());
    }
    if (arguments.size() < 2 || arguments.contains(QStringLiteral("folder"))) {
        benchFolder(window, root.path());
    }
    return 0;
}
