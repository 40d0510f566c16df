#include "encoderjob.h"
#include "fixtures.h"
#include "mainwindow.h"

#include <QtTest>
#include <QtWidgets>

using namespace Fixtures;

namespace {

const QString done = "Operazione completata";
const QString yes = QString::fromUtf8("S\xC3\xAC");

// What a person sees: which of the six step buttons are on, the bar, the three texts.
QStringList view(MainWindow &window)
{
    QString buttons;
    const QRegularExpression steps("^pushButton");
    for (const auto *button : window.findChildren<QPushButton *>(steps)) {
        buttons += button->isEnabled() ? '1' : '0';
    }
    const auto *bar = window.findChild<QProgressBar *>();
    QStringList shown = { buttons, QStringLiteral("%1 %2").arg(bar->value()).arg(bar->maximum()) };
    for (const char *name : { "label", "label_2", "label_Bar" }) {
        shown << window.findChild<QLabel *>(name)->text();
    }
    return shown;
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
// drop-refused=PATH, open=PATH (as from the command line) or forget-destination. After "start",
// waits until the run has ended, or INIZIA is on again because the run was declined.
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
        } else if (step == "forget-destination") {
            window.workState().destDirName.clear(); // a state the buttons cannot reach
        } else {
            const QString name = index > 0 ? QString("pushButton_%1").arg(index + 1) : "pushButton";
            QTest::mouseClick(window.findChild<QPushButton *>(name), Qt::LeftButton);
        }
        QVERIFY(step != "start" || QTest::qWaitFor([&] {
            return view(window).at(4) == done || view(window).first().at(3) == '1'; }, 30000));
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
        // A folder where a run converts two files of three (one tagged), a hard link to one of
        // them, a 99-file folder, a folder without MP3 files and one with a file that is no MP3.
        const QString src = folder("src");
        QVERIFY(writeFile(src + "/1.mp3", sample("low.mp3") + lyricsAndTag()));
        QVERIFY(writeFile(src + "/2.mp3", sample("good.mp3")));
        QVERIFY(writeFile(src + "/3.mp3", sample("low.mp3")));
        QVERIFY(makeLink(true, src + "/3.mp3", directory.filePath("link")));
        const QString many = folder("many");
        for (int i = 0; i < 99; ++i) {
            QVERIFY(writeFile(many + QStringLiteral("/%1.mp3").arg(i), "x"));
        }
        folder("no-mp3");
        QVERIFY(writeFile(folder("bad") + "/x.mp3", "not an MP3 at all"));
    }

    void steps_data()
    {
        // Steps | answers | the dialogs seen (f, d: the file and folder choosers; s, t: the save
        // and destination choosers; o, m, c: "Attenzione" on overwriting, many files, same
        // path; e: "Errore") | the six buttons afterwards, with the bar's value after a colon if
        // not 0 | the source and destination shown | files written under out/ and chosen/.
        // % stands for the test's folder.
        QTest::addColumn<QString>("row");
        QTest::newRow("single-file") << "file next start|%/src/1.mp3 %/out/1.mp3 Return|fso|"
                                        "000011:100|%/src/1.mp3|%/out/1.mp3|out/1.mp3";
        QTest::newRow("single-file-failing") << "file next start|%/bad/x.mp3 %/out/x.mp3 Return OK|"
                                                "fsoe|000011:100|%/bad/x.mp3|%/out/x.mp3|";
        QTest::newRow("nothing-picked") << "open=%/none.mp3 file folder folder|OK cancel cancel "
                                           "%/no-mp3|efdd|110000|||";
        QTest::newRow("new-source-after-destination") << "folder next file|%/src %/out %/src/3.mp3|"
                                                         "dtf|111000|%/src/3.mp3||";
        QTest::newRow("save-cancelled") << "file next next|%/src/3.mp3 %/out/3.mp3 cancel|fss|"
                                           "111000|%/src/3.mp3|%/out/3.mp3|";
        // A destination is accepted first, so each refusal must turn INIZIA off again. The save
        // dialog asks before it replaces the existing link.
        QTest::newRow("file-by-hard-link") << "file next next|%/src/3.mp3 %/out/3.mp3 %/link "
                                              "&Yes OK|fsssc|111000|%/src/3.mp3|%/out/3.mp3|";
        QTest::newRow("folder-itself") << "folder next next|%/src %/out %/src OK|dttc|111000|%/src|"
                                          "%/out|";
        QTest::newRow("99-files-no-to-overwrite") << "folder next start|%/many %/out No|dto|111100|"
                                                     "%/many|%/out|";
        QTest::newRow("100-files-no-to-many") << "folder file next start|%/many %/src/3.mp3 "
            "%/out/3.mp3 No|dfsm|111100|%/src/3.mp3|%/out/3.mp3|";
        QTest::newRow("argument-folder") << "open=%/src|||111000|%/src||";
        QTest::newRow("drops") << "drop-refused=%/link drop=%/src/3.mp3|||111000|%/src/3.mp3||";
        // Without a recorded destination folder, the run asks for one before the first file.
        const QString loop = "folder next forget-destination start|%/src %/out " + yes;
        QTest::newRow("loop-chooser-cancelled") << loop + " cancel|dtot|000011|%/src|%/out|";
        QTest::newRow("loop-chooser-source-refused") << loop + " %/src OK|dtotc|000011|%/src|"
                                                               "%/out|";
        QTest::newRow("loop-chooser-folder") << loop + " %/chosen|dtot|000011:100|%/src|%/out|"
                                                       "chosen/1.mp3 chosen/3.mp3";
    }

    void steps()
    {
        QFETCH(QString, row);
        const QStringList column = row.replace('%', directory.path()).split('|');
        folder("out");
        folder("chosen");
        MainWindow window;
        DialogDriver driver(column[1]);
        take(window, column[0]);
        QVERIFY(driver.pending.isEmpty());
        const QMap<QChar, QString> dialogs = {
            { 'f', "originale" }, { 'd', "Cartella" }, { 's', "il File?" }, { 't', "i file?" },
            { 'o', "sovrascritti" }, { 'm', "100 file" }, { 'c', "coincidono" }, { 'e', "Errore" }
        };
        QCOMPARE(driver.seen.size(), column[2].size());
        for (int i = 0; i < column[2].size(); ++i) {
            QVERIFY2(driver.seen[i].contains(dialogs[column[2][i]]), qPrintable(driver.seen[i]));
        }
        const QString source = column[4];
        const QString destination = column[5];
        const QString buttons = column[3].section(':', 0, 0);
        const QString sourceKind = source.endsWith(".mp3") ? "del file: " : "dei file: ";
        QCOMPARE(view(window), QStringList({
            buttons, QString::number(column[3].section(':', 1).toInt()) + " 100",
            source.isEmpty() ? "Nessun percorso selezionato"
                             : "Percorso " + sourceKind + source
                    + "\nClicca su CONTINUA per scegliere la cartella di destinazione",
            destination.isEmpty() ? "Nessun percorso di destinazione selezionato"
                                  : "Percorso del file di destinazione: " + destination
                                        + "\nClicca su VAI per iniziare la conversione",
            buttons.endsWith("11") ? done : "" }));
        // Only a run that went to its end wrote, and only into the folder chosen for it.
        QCOMPARE(written(directory.filePath("src"), { "out", "chosen" }), column[6]);
    }

    void folderRun_data()
    {
        QTest::addColumn<QByteArray>("jobs");
        QTest::newRow("one-at-a-time") << QByteArray("1");
        QTest::newRow("four-at-once") << QByteArray("4");
    }

    void folderRun()
    {
        QFETCH(QByteArray, jobs);
        // Listed by name without regard to case. Converted: b and G (tagged), d; failing: c (empty,
        // refused before the encoder) and e (the encoder rejects it); skipped: a and f.
        const QString source = folder("mix");
        const QString output = folder("mix-out");
        const QMap<QString, QByteArray> files = {
            { "a.MP3", sample("good.mp3") }, { "b.Mp3", sample("low.mp3") + lyricsAndTag() },
            { "c.mp3", "" }, { "d.mP3", sample("low.mp3") }, { "e.mp3", QByteArray(5000, 'x') },
            { "f.mp3", sample("good.mp3") }, { "G.mp3", sample("low.mp3") + lyricsAndTag() },
            { "song.mp3.bak", sample("low.mp3") }, { ".hidden.mp3", sample("low.mp3") } };
        for (auto file = files.cbegin(); file != files.cend(); ++file) {
            QVERIFY(writeFile(source + '/' + file.key(), file.value()));
        }
        qputenv("TUNEWRIGHT_JOBS", jobs);
        MainWindow window;
        QCOMPARE(window.grab().toImage().pixelColor(0, 0), QColor(51, 51, 51)); // the background
        QStringList texts;
        QSet<QString> bars;
        const auto record = [&] {
            if (texts.isEmpty() || texts.last() != view(window).at(4)) {
                texts << view(window).at(4);
            }
            bars << view(window).at(1);
        };
        QTimer watcher;
        connect(&watcher, &QTimer::timeout, record);
        watcher.start(5);
        DialogDriver driver(source + ' ' + output + ' ' + yes + " OK OK");
        // The first box must not hold up the other files: they are all done before it is answered.
        driver.before = [&](int index) {
            if (index == 3) {
                QVERIFY(!drop(window, source)); // and no new source while a run goes on
                QVERIFY(QTest::qWaitFor([&] { return QFile::exists(output + "/G.mp3"); }, 30000));
            QVERIFY(view(window).at(4) != done); // and the run is not over while a box is up
            }
        };
        take(window, "folder next start");
        record();
        const QString error = "Errore: Errore durante lo svolgimento dell'operazione, riprovare "
                              "con file diversi\n" + source;
        QCOMPARE(driver.seen.mid(3), QStringList({ error + "/c.mp3", error + "/e.mp3" }));
        // A refused file's text gives way at once to the next file's, so it is never seen.
        const QString progress = "Elaborazione dei file in corso: %1/7";
        QVERIFY(jobs != "1" || texts == QStringList({ "", progress.arg(2), progress.arg(4),
                                                      progress.arg(5), progress.arg(7), done }));
        QCOMPARE(view(window).mid(0, 2), QStringList({ "000011", "100 100" }));
        QVERIFY(bars.contains("0 0")); // busy while the encoders ran
        QCOMPARE(written(source, { "mix-out" }), "mix-out/G.mp3 mix-out/b.Mp3 mix-out/d.mP3");
        for (auto file = files.cbegin(); file != files.cend(); ++file) {
            QVERIFY(readFile(source + '/' + file.key()) == file.value());
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(window.findChildren<EncoderJob *>().size(), 0); // every job deleted after its end
        take(window, "show new");
        QCOMPARE(openedUrls.last(), QUrl::fromLocalFile(output));
        MainWindow fresh;
        QCOMPARE(view(window), view(fresh)); // "Nuovo" gives the start state back
    }

    void quitDuringRun_data()
    {
        // The sources, TUNEWRIGHT_JOBS, and how many encoders run at once.
        QTest::addColumn<QString>("row");
        // A single-file run is a run of one all the same.
        QTest::newRow("single-file") << "1.mp3|2|1";
        QTest::newRow("folder-two-at-once") << "1.mp3 2.mp3 3.mp3 4.mp3|2|2";
        // Not a positive number: one encoder per core.
        const int cores = qMin(4, QThread::idealThreadCount());
        QTest::newRow("folder-jobs-0-ignored") << "1.mp3 2.mp3 3.mp3 4.mp3|0|"
                                                      + QString::number(cores);
        // Names equal but for case are one file on a case-folding disk: never two at once.
        QTest::newRow("case-twins-one-at-a-time") << "a.mp3 A.mp3 b.mp3|2|1";
    }

    void quitDuringRun()
    {
        QFETCH(QString, row);
        const QStringList names = row.section('|', 0, 0).split(' ');
        const int encoders = row.section('|', 2).toInt();
#ifdef Q_OS_WIN
        if (names.contains("A.mp3")) {
            QSKIP("A Windows folder cannot hold two names that differ only in case");
        }
#endif
        // The stand-in encoder beside the spy sleeps until stopped, holding a lock file in locks/.
        const QString source = folder("quit");
        const QString output = folder("quit-out");
        for (const QString &name : names) {
            QVERIFY(writeFile(source + '/' + name, "not yet a good MP3"));
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        const QString destination = output + (names.size() > 1 ? "" : "/1.mp3");
        environment.insert("TUNEWRIGHT_TEST_DESTINATION", destination);
        environment.insert("TUNEWRIGHT_TEST_ENCODERS", QString::number(encoders));
        environment.insert("TUNEWRIGHT_JOBS", row.section('|', 1, 1));
        environment.insert("STANDIN_MODE", "slow");
        environment.insert("STANDIN_LOCK_DIR", folder("locks"));
        QProcess program;
        program.setProcessEnvironment(environment);
        // The source as a terminal passes it, relative; arguments after the first are ignored.
        program.setWorkingDirectory(source);
        program.start(QStringLiteral(PROGRAM_SPY), { names.size() > 1 ? "." : "1.mp3", "ignored" });
        QVERIFY2(program.waitForFinished(30000), "the program did not end after X");
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        // main() makes the window frameless (Qt::Window | Qt::FramelessWindowHint) and sees that
        // the narrow font is there; only as many encoders started as allowed, the last one shown.
        QCOMPARE(QString::fromUtf8(program.readAllStandardOutput()).trimmed(),
                 QString("0x801 Liberation Sans Narrow Elaborazione dei file in corso: %1/%2")
                     .arg(encoders).arg(names.size()));
        // The program's folder is logged once at start and once for each encoder started.
        QCOMPARE(program.readAllStandardError().count(
                     "App path :  \"" + QFileInfo(PROGRAM_SPY).absolutePath().toUtf8() + "\""),
                 1 + encoders);
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

    // The files in the given folders as "folder/name", each checked to be the encoder's audio of
    // the source of that name followed by the source's Lyrics3 block and tag, if it had them.
    QString written(const QString &source, const QStringList &folders)
    {
        QStringList names;
        for (const QString &name : folders) {
            const QDir output(directory.filePath(name));
            for (const QString &file : output.entryList(QDir::Files | QDir::Hidden, QDir::Name)) {
                const QByteArray tail = readFile(source + '/' + file).endsWith(lyricsAndTag())
                    ? lyricsAndTag() : QByteArray();
                const bool right = readFile(output.filePath(file))
                    == lameOutput(source + '/' + file) + tail;
                names << name + '/' + file + (right ? "" : "(wrong bytes)");
            }
        }
        return names.join(' ');
    }

    QTemporaryDir directory;
    QList<QUrl> openedUrls;
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
