#include "fixtures.h"
#include "mainwindow.h"

#include <QtTest>
#include <QtWidgets>

using namespace Fixtures;

namespace {

const QString done = "Operazione completata";
const QString yes = QString::fromUtf8("S\xC3\xAC");

// What a person sees: which of the six step buttons are on, the bar's value, the bar's text.
QString view(MainWindow &window)
{
    QString shown;
    const QRegularExpression steps("^pushButton");
    for (const auto *button : window.findChildren<QPushButton *>(steps)) {
        shown += button->isEnabled() ? '1' : '0';
    }
    return shown + ' ' + QString::number(window.findChild<QProgressBar *>()->value()) + ' '
        + window.findChild<QLabel *>("label_Bar")->text();
}

// What the lame.exe beside the test writes for source with the program's arguments.
QByteArray lameOutput(const QString &source)
{
    QTemporaryDir directory;
    const QString output = directory.filePath(QStringLiteral("reference.mp3"));
    QProcess lame;
    lame.start(QCoreApplication::applicationDirPath() + QStringLiteral("/lame.exe"),
               { "--quiet", "--resample", "44.1", "-b", "192", source, output });
    return lame.waitForFinished(60000) && lame.exitCode() == 0 ? readFile(output) : QByteArray();
}

// Drops path on the window as a file manager would; returns whether the window took it.
bool drop(MainWindow &window, const QString &path)
{
    QMimeData data;
    data.setUrls({ QUrl::fromLocalFile(path) });
    QDragEnterEvent enter(QPoint(9, 9), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    QDropEvent dropped(QPointF(9, 9), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    return enter.isAccepted() && QApplication::sendEvent(&window, &dropped) && dropped.isAccepted();
}

// Takes the steps in turn: a button (file, folder, next, start, show, new), drop=PATH (taken),
// drop-refused=PATH or open=PATH (as from the command line). After a "start" that INIZIA
// takes, waits until the run has ended, or INIZIA is on again because the run was declined.
void take(MainWindow &window, const QString &steps)
{
    const QStringList buttons = { "file", "folder", "next", "start", "show", "new" };
    for (const QString &step : steps.split(' ')) {
        const int index = buttons.indexOf(step);
        if (step.startsWith("drop")) {
            QCOMPARE(drop(window, step.section('=', 1)), step.startsWith("drop="));
        } else if (step.startsWith("open=")) {
            window.openPath(step.mid(5));
            QCoreApplication::sendPostedEvents(); // shows a queued box, and waits for its answer
        } else {
            const QString name = index > 0 ? QString("pushButton_%1").arg(index + 1) : "pushButton";
            auto *button = window.findChild<QPushButton *>(name);
            const bool starts = step == "start" && button->isEnabled();
            QTest::mouseClick(button, Qt::LeftButton);
            QVERIFY(!starts || QTest::qWaitFor([&] {
                return view(window).endsWith(done) || view(window).at(3) == '1'; }, 30000));
        }
    }
}

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

public slots:
    void recordUrl(const QUrl &url) { openedUrls.append(url); }

private slots:
    void initTestCase()
    {
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "recordUrl");
        // Listed by name without regard to case. A folder run converts b and G (with a Lyrics3
        // block at either end) and d; c (empty, refused before the encoder) and e (the encoder
        // rejects it) fail; a and f are skipped. Beside it a folder without MP3 files.
        const QByteArray low = sample("low.mp3");
        const QByteArray good = sample("good.mp3");
        sources = { { "a.MP3", good }, { "b.Mp3", low + lyrics + tag }, { "c.mp3", "" },
                    { "d.mP3", low }, { "e.mp3", QByteArray(5000, 'x') }, { "f.mp3", good },
                    { "G.mp3", lyrics + low + tag }, { "song.mp3.bak", low }, { ".hid.mp3", low } };
        const QString src = folder("src");
        for (auto file = sources.cbegin(); file != sources.cend(); ++file) {
            QVERIFY(writeFile(src + '/' + file.key(), file.value()));
        }
        folder("no-mp3");
    }

    void steps_data()
    {
        // Name | steps | answers | the dialogs seen (f, d: the file and folder choosers; s, t: the
        // save and destination choosers; o, c: "Attenzione" on overwriting, same path; e:
        // "Errore") | the six buttons and the bar afterwards | the files written to out/.
        // % is the test's folder.
        QTest::addColumn<QString>("row");
        const QString run = "|%/src %/out " + yes + " OK OK|dtoee|";
        const QString converted = "G.mp3 b.Mp3 d.mP3";
        const QStringList rows = {
            "single-file|file next start|%/src/b.Mp3 %/out/b.Mp3 Return|fso|000011 100|b.Mp3",
            "file-failing|file next start|%/src/e.mp3 %/out/e.mp3 Return OK|fsoe|000011 100|",
            "folder|folder next start show new" + run + "110000 0|" + converted,
            "no-source|open=%/none.mp3 file folder folder|OK Escape Escape %/no-mp3|efdd|110000 0|",
            "new-source-after-destination|folder next file|%/src %/out %/src/d.mP3|dtf|111000 0|",
            "save-cancelled|file next next|%/src/d.mP3 %/out/d.mP3 Escape|fss|111000 0|",
            // A destination is accepted first, so the refusal must turn INIZIA off again.
            "folder-itself|folder next next|%/src %/out %/src OK|dttc|111000 0|",
            "declined|folder next start|%/src %/out No|dto|111100 0|",
            "drops|drop-refused=%/src/song.mp3.bak drop=%/src/d.mP3|||111000 0|",
        };
        for (const QString &row : rows) {
            QTest::newRow(qPrintable(row.section('|', 0, 0))) << row.section('|', 1);
        }
    }

    void steps()
    {
        QFETCH(QString, row);
        const QStringList column = row.replace('%', directory.path()).split('|');
        folder("out");
        // One file after another: e fails while G is still to come, so a second box would open
        // while the first is up.
        qputenv("TUNEWRIGHT_JOBS", "1");
        MainWindow window;
        QCOMPARE(window.grab().toImage().pixelColor(0, 0), QColor(51, 51, 51)); // the background
        DialogDriver driver(column[1]);
        // An "Errore" box during a run holds up neither the other files nor the end of the run.
        driver.before = [&](int index) {
            if (driver.seen[index].startsWith("Errore") && view(window).startsWith('0')) {
                QVERIFY(!drop(window, directory.filePath("src"))); // no new source during a run
                QVERIFY(QTest::qWaitFor([&] {
                    return written(false).count(' ') >= column[4].count(' '); }, 30000));
                QVERIFY(!view(window).endsWith(done));
            }
        };
        take(window, column[0]);
        const QStringList dialogs = { "originale", "Cartella", "il File?", "i file?",
                                      "sovrascritti", "coincidono", "Errore" };
        QCOMPARE(driver.seen.size(), column[2].size());
        for (int i = 0; i < column[2].size(); ++i) {
            const QString &expected = dialogs.value(QString("fdstoce").indexOf(column[2][i]));
            QVERIFY2(driver.seen[i].contains(expected), qPrintable(driver.seen[i]));
        }
        QCOMPARE(view(window), column[3] + (column[3].startsWith("0000") ? " " + done : " "));
        const QUrl shown = QUrl::fromLocalFile(directory.filePath("out"));
        QVERIFY(!column[0].contains("show") || openedUrls.last() == shown);
        // Only a run that went to its end wrote.
        QCOMPARE(written(true), column[4]);
    }

    void quitDuringRun_data()
    {
        // The sources, TUNEWRIGHT_JOBS, and how many encoders run at once.
        QTest::addColumn<QString>("row");
        // Not a positive number: one encoder per core.
        QTest::newRow("jobs-0-ignored") << "1.mp3 2.mp3 3.mp3 4.mp3|0|"
                                           + QString::number(qMin(4, QThread::idealThreadCount()));
        // Names equal but for case are one file on a case-folding disk: never two at once, and
        // the files after them wait too. (A Windows folder cannot hold both.)
#ifndef Q_OS_WIN
        QTest::newRow("case-twins-one-at-a-time") << "a.mp3 A.mp3 b.mp3|2|1";
#endif
    }

    void quitDuringRun()
    {
        QFETCH(QString, row);
        const QStringList names = row.section('|', 0, 0).split(' ');
        const int encoders = row.section('|', 2).toInt();
        // The stand-in encoder beside the spy sleeps until stopped, holding a lock file in locks/.
        const QString source = folder("quit");
        const QString output = folder("quit-out");
        for (const QString &name : names) {
            QVERIFY(writeFile(source + '/' + name, "not yet a good MP3"));
        }
        qputenv("TUNEWRIGHT_JOBS", row.section('|', 1, 1).toLatin1());
        qputenv("STANDIN_MODE", "slow");
        qputenv("FONTCONFIG_FILE", NO_SYSTEM_FONTS);
        qputenv("STANDIN_LOCK_DIR", QFile::encodeName(folder("locks")));
        QProcess program;
        // The source as a terminal passes it, relative; the spy's arguments after it are ignored.
        program.setWorkingDirectory(source);
        program.start(QStringLiteral(PROGRAM_SPY), { ".", output, QString::number(encoders) });
        QVERIFY2(program.waitForFinished(30000), "the program did not end after X");
        QVERIFY(program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0);
        // main() makes the window frameless (Qt::Window | Qt::FramelessWindowHint) and, with no
        // system fonts, finds the narrow font beside the program; only as many encoders started
        // as allowed, the last one shown, and the bar is busy.
        QCOMPARE(QString::fromUtf8(program.readAllStandardOutput()).trimmed(),
                 QString("0x801 Liberation Sans Narrow 0 Elaborazione dei file in corso: %1/%2")
                     .arg(encoders).arg(names.size()));
        // Every encoder started is gone: a lock file can be taken once the process id it records
        // names no running process. And so is every temporary file.
        const QDir locks(directory.filePath("locks"));
        QCOMPARE(locks.entryList(QDir::Files).size(), encoders);
        for (const QString &lock : locks.entryList(QDir::Files)) {
            QVERIFY2(QLockFile(locks.filePath(lock)).tryLock(0), qPrintable(lock));
        }
        QVERIFY(QDir(output).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }

private:
    QString folder(const QString &name)
    {
        QDir(directory.filePath(name)).removeRecursively();
        QDir().mkpath(directory.filePath(name));
        return directory.filePath(name);
    }

    // The names of the files in out/. Checked, temporary files count too, and each file must be
    // src/name with its audio replaced by the encoder's: the Lyrics3 block and the tag stay where
    // they were.
    QString written(bool checked)
    {
        QStringList names;
        const QDir output(directory.filePath("out"));
        const auto filter = checked ? QDir::Files | QDir::Hidden : QDir::Files;
        const QByteArray low = checked ? sample("low.mp3") : QByteArray();
        for (const QString &file : output.entryList(filter, QDir::Name)) {
            const QString source = directory.filePath("src/") + file;
            const bool right = !checked || readFile(output.filePath(file))
                == QByteArray(sources.value(file)).replace(low, lameOutput(source));
            names << file + (right ? "" : "(wrong bytes)");
        }
        return names.join(' ');
    }

    QTemporaryDir directory;
    QMap<QString, QByteArray> sources;
    QList<QUrl> openedUrls;
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
