#include "encoderjob.h"
#include "fixtures.h"
#include "mainwindow.h"

#include <QDesktopServices>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include <unistd.h>

using namespace Fixtures;

namespace {

const QString yes = QString::fromUtf8("S\xC3\xAC");
const QString samePath = "Attenzione: Attenzione: i due percorsi dei file coincidono, impossibile "
                         "procedere.\nCambiare uno dei due percorsi e riprovare.";
const QString failed = "Errore: Errore durante lo svolgimento dell'operazione, riprovare con "
                       "file diversi\n";
const QString overwrite = "Attenzione: Attenzione: I file con lo stesso nome presenti nel "
                          "percorso di destinazione verranno sovrascritti.\nProseguire ugualmente?";
const QString done = "Operazione completata";

bool isEmptyFolder(const QString &path)
{
    return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty();
}

// What a person sees: the six buttons, the bar, the three labels; then the shared record.
QStringList view(MainWindow &window)
{
    QString buttons;
    const QRegularExpression stepButtons(QStringLiteral("^pushButton"));
    for (const auto *button : window.findChildren<QPushButton *>(stepButtons)) {
        buttons += button->isEnabled() ? '1' : '0';
    }
    const auto *bar = window.findChild<QProgressBar *>();
    QStringList shown = { buttons, QStringLiteral("%1 %2-%3").arg(bar->value()).arg(bar->minimum())
                                       .arg(bar->maximum()) };
    for (const char *name : { "label", "label_2", "label_Bar" }) {
        shown << window.findChild<QLabel *>(name)->text();
    }
    const WorkState &s = window.workState();
    return shown + QStringList({ s.inputPath, s.outputPath, s.sourceFileName, s.sourceMode,
                                 s.sourceFolderPath, s.destDirName, s.destDir.path(),
                                 s.resultInfo.filePath(), QString::number(s.fileList.size()) });
}

// Drops path on the window as a file manager would; returns whether the window took it.
bool drop(MainWindow &window, const QString &path)
{
    QMimeData data;
    data.setUrls({ QUrl::fromLocalFile(path) });
    QDragEnterEvent enter(QPoint(9, 9), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    QDropEvent dropped(QPointF(9, 9), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    return enter.isAccepted() && QApplication::sendEvent(&window, &dropped);
}

// Takes the steps in turn while the driver answers their dialogs: a button's name, drop=PATH,
// open=PATH (as from the command line) or forget-destination. After INIZIA, waits until the
// run has ended, or INIZIA is still on because the run was declined.
void take(MainWindow &window, const QString &steps)
{
    for (const QString &step : steps.split(' ')) {
        if (step.startsWith("drop=")) {
            drop(window, step.mid(5));
        } else if (step.startsWith("open=")) {
            window.openPath(step.mid(5));
            QCoreApplication::sendPostedEvents(); // shows a queued box, and waits for its answer
        } else if (step == "forget-destination") {
            window.workState().destDirName.clear(); // a state the buttons cannot reach
        } else {
            QTest::mouseClick(window.findChild<QPushButton *>(step), Qt::LeftButton);
        }
    }
    if (steps.endsWith("pushButton_4")) {
        QVERIFY(QTest::qWaitFor([&] { return view(window).at(4) == done
                                             || view(window).first().at(3) == '1'; }, 20000));
    }
}

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

public slots:
    void recordUrl(const QUrl &url) { openedUrls.append(url); }

private slots:
    void initTestCase();
    void singleFile();
    void folderRun_data();
    void folderRun();
    void steps_data();
    void steps();
    void quitDuringRun_data();
    void quitDuringRun();

private:
    QString folder(const QString &name);

    QTemporaryDir directory;
    QList<QUrl> openedUrls;
};

QString TestWindow::folder(const QString &name)
{
    QDir(directory.filePath(name)).removeRecursively();
    QDir().mkpath(directory.filePath(name));
    return directory.filePath(name);
}

void TestWindow::initTestCase()
{
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "recordUrl");
    // The same file and folder reached by other routes; a hundred-file selection; a folder
    // where a run converts two files of three.
    const QString same = folder("same");
    QVERIFY(writeFile(same + "/x.mp3", sample("low.mp3")));
    QVERIFY(QFile::link(same + "/x.mp3", folder("links") + "/file-symlink"));
    QVERIFY(QFile::link(same, directory.filePath("links/folder-symlink")));
    QCOMPARE(link(QFile::encodeName(same + "/x.mp3").constData(),
                  QFile::encodeName(directory.filePath("links/hard-link")).constData()), 0);
    const QString many = folder("many");
    for (int i = 0; i < 99; ++i) {
        QVERIFY(writeFile(many + QStringLiteral("/%1.mp3").arg(i), "x"));
    }
    const QString three = folder("three");
    for (const char *name : { "1.mp3", "3.mp3" }) {
        QVERIFY(writeFile(three + '/' + name, sample("low.mp3")));
    }
    QVERIFY(writeFile(three + "/2.mp3", sample("good.mp3")));
    folder("no-mp3");
}

void TestWindow::singleFile()
{
    const QString source = folder("single") + "/song.mp3";
    const QString output = folder("single-out") + "/result.mp3";
    QVERIFY(writeFile(source, sample("low.mp3") + lyricsAndTag()));
    QVERIFY(writeFile(output, "an older result, replaced after the confirmation"));

    MainWindow window;
    window.resize(900, 600);
    QCOMPARE(window.size(), QSize(750, 750));
    QStringList expected = view(window);
    QCOMPARE(expected.mid(0, 5),
             QStringList({ "110000", "0 0-100", "Nessun percorso selezionato",
                           "Nessun percorso di destinazione selezionato", "" }));
    // As painted: the background's border, the bar's grey border, a disabled button's face and
    // the logo.
    const QImage shown = window.grab().toImage();
    const QPoint logoAt = window.findChild<QWidget *>("frame")->geometry().topLeft();
    const QRect bar = window.findChild<QProgressBar *>()->geometry();
    QCOMPARE(shown.pixelColor(0, 0), QColor(51, 51, 51));
    QCOMPARE(shown.pixelColor(bar.x() + 1, bar.center().y()), QColor(128, 128, 128));
    QVERIFY(qAbs(shown.pixelColor(254, 325).red() - 0xBB) < 24);
    QCOMPARE(shown.pixel(logoAt + QPoint(21, 21)), QImage(":/imgs/logo.png").pixel(20, 20));

    DialogDriver driver;
    driver.answer({ source, output, "&Yes", "Return" }); // "Sì" is the default button
    take(window, "pushButton pushButton_3 pushButton_4");
    QCOMPARE(driver.seen.first(), QStringLiteral("Scegli il file MP3 originale"));
    QCOMPARE(driver.seen.last(), overwrite);
    QCOMPARE(view(window).mid(0, 5),
             QStringList({ "000011", "100 0-100",
                           "Percorso del file: " + source
                               + "\nClicca su CONTINUA per scegliere la cartella di destinazione",
                           "Percorso del file di destinazione: " + output
                               + "\nClicca su VAI per iniziare la conversione",
                           done }));
    QVERIFY(readFile(output) == lameOutput(source) + lyricsAndTag());
    QVERIFY(readFile(source) == sample("low.mp3") + lyricsAndTag());

    take(window, "pushButton_5");
    QCOMPARE(openedUrls, QList<QUrl>({ QUrl::fromLocalFile(QFileInfo(output).path()) }));
    // "Nuovo" gives the start state back, but for what the next pick sets again.
    take(window, "pushButton_6");
    expected[8] = QStringLiteral("file");
    expected[12] = output;
    QCOMPARE(view(window), expected);
}

void TestWindow::folderRun_data()
{
    QTest::addColumn<QByteArray>("jobs");

    QTest::newRow("one-at-a-time") << QByteArray("1");
    QTest::newRow("four-at-once") << QByteArray("4");
}

void TestWindow::folderRun()
{
    QFETCH(QByteArray, jobs);

    // Listed by name without regard to case. Converted: b (tagged), d, G and g; failing: c
    // (empty) and e (a link to a device, which must not be read); skipped: a and f.
    const QString source = folder("folder");
    const QString output = folder("folder-out");
    const QByteArray low = sample("low.mp3");
    const QByteArray tagged = low + lyricsAndTag();
    const QMap<QString, QByteArray> files = {
        { "a.MP3", sample("good.mp3") }, { "b.Mp3", tagged }, { "c.mp3", "" }, { "d.mP3", low },
        { "f.mp3", sample("good.mp3") }, { "G.mp3", tagged }, { "g.mp3", low },
        { "song.mp3.bak", tagged }, { ".hidden.mp3", tagged },
    };
    for (auto file = files.cbegin(); file != files.cend(); ++file) {
        QVERIFY(writeFile(source + '/' + file.key(), file.value()));
    }
    QVERIFY(QFile::link(QStringLiteral("/dev/zero"), source + "/e.mp3"));
    qputenv("TUNEWRIGHT_JOBS", jobs);

    MainWindow window;
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
    DialogDriver driver;
    // The first box must not hold up the other files: they are all done before it is answered.
    driver.answer({ source, output, yes }).answer("OK", [&] {
        QVERIFY(!drop(window, source)); // and no new source while a run goes on
        QVERIFY(QTest::qWaitFor([&] { return QFile::exists(output + "/g.mp3"); }, 20000));
    });
    driver.answer("OK");
    take(window, "pushButton_2 pushButton_3 pushButton_4");
    record();

    QCOMPARE(driver.seen.mid(3), QStringList({ failed + source + "/c.mp3",
                                               failed + source + "/e.mp3" }));
    // A refused file's text gives way at once to the next file's, so it is never seen.
    const QString progress = "Elaborazione dei file in corso: %1/8";
    if (jobs == "1") {
        QCOMPARE(texts, QStringList({ "", progress.arg(2), progress.arg(4), progress.arg(7),
                                      progress.arg(8), done }));
    }
    QCOMPARE(view(window).mid(0, 2), QStringList({ "000011", "100 0-100" }));
    QVERIFY(bars.contains("0 0-0")); // busy while the encoders ran
    QCOMPARE(QDir(output).entryList(QDir::Files | QDir::Hidden, QDir::Name),
             QStringList({ "G.mp3", "b.Mp3", "d.mP3", "g.mp3" }));
    QVERIFY(readFile(output + "/b.Mp3") == lameOutput(source + "/b.Mp3") + lyricsAndTag());
    QVERIFY(readFile(output + "/d.mP3") == lameOutput(source + "/d.mP3"));
    QVERIFY(readFile(output + "/G.mp3") == readFile(output + "/b.Mp3"));
    QVERIFY(readFile(output + "/g.mp3") == readFile(output + "/d.mP3"));
    for (auto file = files.cbegin(); file != files.cend(); ++file) {
        QVERIFY(readFile(source + '/' + file.key()) == file.value());
    }
    take(window, "pushButton_5");
    QCOMPARE(openedUrls.last(), QUrl::fromLocalFile(output));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(window.findChildren<EncoderJob *>().size(), 0); // every job deleted after its end
    // "Nuovo" gives the start state back, but for what the next pick sets again.
    take(window, "pushButton_6");
    MainWindow fresh;
    QStringList expected = view(fresh);
    expected[8] = QStringLiteral("folder");
    expected[9] = source;
    // The last file started, in the listing's order (G and g tie when case is ignored).
    expected[12] = output + '/' + QDir(source, "*.mp3").entryList(QDir::Files).last();
    QCOMPARE(view(window), expected);
}

void TestWindow::steps_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("answers");     // % stands for the test's folder
    QTest::addColumn<QString>("states");      // of the six buttons, afterwards
    QTest::addColumn<QString>("destination"); // what label_2 shows, "" for none
    QTest::addColumn<QString>("lastDialog");

    // A destination is accepted first, so each refusal must turn INIZIA off again.
    const QString again = "pushButton_3 pushButton_3";
    const QString hundred = "pushButton_2 pushButton pushButton_3 pushButton_4";
    const QString start = "pushButton_2 pushButton_3 forget-destination pushButton_4";
    const QString manyFiles = QString::fromUtf8("Attenzione: Attenzione, pi\xC3\xB9 di 100 file "
                                                "selezionati.\nL'operazione potrebbe richiedere "
                                                "diversi minuti.\n Proseguire ugualmente?");
    QTest::newRow("file-pick-cancelled") << "pushButton" << "cancel" << "110000" << ""
                                         << "Scegli il file MP3 originale";
    QTest::newRow("folder-pick-cancelled") << "pushButton_2" << "cancel" << "110000" << ""
                                           << "Selezione Cartella";
    QTest::newRow("folder-without-mp3") << "pushButton_2" << "%/no-mp3" << "110000" << ""
                                        << "Selezione Cartella";
    QTest::newRow("new-source-after-destination") << "pushButton_2 pushButton_3 pushButton"
        << "%/same %/out %/same/x.mp3" << "111000" << "" << "Scegli il file MP3 originale";
    QTest::newRow("save-cancelled") << "pushButton " + again << "%/same/x.mp3 %/out/x.mp3 cancel"
                                    << "111000" << "%/out/x.mp3" << "Dove vuoi salvare il File?";
    QTest::newRow("destination-cancelled") << "pushButton_2 " + again << "%/same %/out cancel"
                                           << "111000" << "%/out" << "Dove vuoi salvare i file?";
    QTest::newRow("file-itself") << "pushButton " + again
        << "%/same/x.mp3 %/out/x.mp3 %/same/x.mp3 &Yes OK" << "111000" << "%/out/x.mp3"
        << samePath;
    QTest::newRow("file-by-symlink") << "pushButton " + again
        << "%/same/x.mp3 %/out/x.mp3 %/links/file-symlink &Yes OK" << "111000" << "%/out/x.mp3"
        << samePath;
    QTest::newRow("file-by-hard-link") << "pushButton " + again
        << "%/same/x.mp3 %/out/x.mp3 %/links/hard-link &Yes OK" << "111000" << "%/out/x.mp3"
        << samePath;
    QTest::newRow("folder-itself") << "pushButton_2 " + again << "%/same %/out %/same OK"
                                   << "111000" << "%/out" << samePath;
    QTest::newRow("folder-by-symlink") << "pushButton_2 " + again
        << "%/same %/out %/links/folder-symlink OK" << "111000" << "%/out" << samePath;
    QTest::newRow("99-files-no-to-overwrite") << "pushButton_2 pushButton_3 pushButton_4"
        << "%/many %/out No" << "111100" << "%/out" << overwrite;
    QTest::newRow("100-files-no-to-many") << hundred << "%/many %/same/x.mp3 %/out/x.mp3 No"
                                          << "111100" << "%/out/x.mp3" << manyFiles;
    QTest::newRow("100-files-no-to-overwrite") << hundred
        << "%/many %/same/x.mp3 %/out/x.mp3 Return No" << "111100" << "%/out/x.mp3"
        << overwrite;
    QTest::newRow("argument-file") << "open=%/same/x.mp3" << "" << "111000" << "" << "";
    QTest::newRow("argument-folder") << "open=%/same" << "" << "111000" << "" << "";
    QTest::newRow("argument-missing") << "open=%/none.mp3" << "OK" << "110000" << ""
                                      << failed + "%/none.mp3";
    QTest::newRow("argument-not-mp3") << "open=%/links/hard-link" << "OK" << "110000" << ""
                                      << failed + "%/links/hard-link";
    QTest::newRow("drop-file") << "drop=%/same/x.mp3" << "" << "111000" << "" << "";
    QTest::newRow("drop-folder") << "drop=%/same" << "" << "111000" << "" << "";
    QTest::newRow("drop-not-mp3-refused") << "drop=%/links/hard-link" << "" << "110000" << ""
                                          << "";
    // Without a recorded destination folder, the run asks for one before the first file.
    QTest::newRow("loop-chooser-cancelled") << start << "%/three %/out " + yes + " cancel"
        << "000011" << "%/out" << "Dove vuoi salvare i file?";
    QTest::newRow("loop-chooser-source-refused") << start << "%/three %/out " + yes + " %/three OK"
        << "000011" << "%/out" << samePath;
    QTest::newRow("loop-chooser-folder") << start << "%/three %/out " + yes + " %/chosen"
        << "000011" << "%/out" << "Dove vuoi salvare i file?";
}

void TestWindow::steps()
{
    QFETCH(QString, steps);
    QFETCH(QString, answers);
    QFETCH(QString, destination);
    QFETCH(QString, lastDialog);

    folder("out");
    folder("chosen");
    MainWindow window;
    DialogDriver driver;
    const QString root = directory.path();
    if (!answers.isEmpty()) {
        driver.answer(answers.replace('%', root).split(' '));
    }
    take(window, steps.replace('%', root));
    QVERIFY(driver.pending.isEmpty());
    QCOMPARE(driver.seen.value(driver.seen.size() - 1), lastDialog.replace('%', root));
    QTEST(view(window).first(), "states");
    QCOMPARE(view(window).at(3), destination.isEmpty()
                                     ? "Nessun percorso di destinazione selezionato"
                                     : "Percorso del file di destinazione: "
                                           + destination.replace('%', root)
                                           + "\nClicca su VAI per iniziare la conversione");
    // A source from outside shows as if picked, made absolute.
    if (steps.contains('=') && view(window).at(0) == "111000") {
        QVERIFY(view(window).at(2).contains(": " + steps.section('=', 1) + "\n"));
    }
    // Only a run that went to its end wrote, and only into the folder chosen inside it.
    QVERIFY(isEmptyFolder(directory.filePath("out")));
    QCOMPARE(QDir(directory.filePath("chosen")).entryList(QDir::Files),
             QTest::currentDataTag() == QByteArray("loop-chooser-folder")
                 ? QStringList({ "1.mp3", "3.mp3" }) : QStringList());
}

void TestWindow::quitDuringRun_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("jobs");
    QTest::addColumn<int>("encoders");

    const QStringList four = { "1.mp3", "2.mp3", "3.mp3", "4.mp3" };
    // A single-file run is a run of one all the same.
    QTest::newRow("single-file") << QStringList("1.mp3") << "2" << 1;
    QTest::newRow("folder-two-at-once") << four << "2" << 2;
    // Not a positive number: one encoder per core.
    QTest::newRow("folder-jobs-0-ignored") << four << "0" << qMin(4, QThread::idealThreadCount());
    // Names equal but for case are one file on a case-folding disk: never two at once.
    QTest::newRow("case-twins-one-at-a-time") << QStringList({ "a.mp3", "A.mp3", "b.mp3" })
                                              << "2" << 1;
}

void TestWindow::quitDuringRun()
{
    QFETCH(QStringList, names);
    QFETCH(QString, jobs);
    QFETCH(int, encoders);

    // The stand-in encoder beside the spy sleeps until stopped and leaves its pid in pids/.
    const QString source = folder("quit");
    const QString output = folder("quit-out");
    const QString pids = folder("pids");
    for (const QString &name : names) {
        QVERIFY(writeFile(source + '/' + name, "not yet a good MP3"));
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TUNEWRIGHT_TEST_DESTINATION",
                       names.size() > 1 ? output : output + "/1.mp3");
    environment.insert("TUNEWRIGHT_TEST_ENCODERS", QString::number(encoders));
    environment.insert("TUNEWRIGHT_JOBS", jobs);
    environment.insert("STANDIN_MODE", "slow");
    environment.insert("STANDIN_PID_DIR", pids);
    QProcess program;
    program.setProcessEnvironment(environment);
    // The source as a terminal passes it, relative; arguments after the first are ignored.
    program.setWorkingDirectory(source);
    program.start(QStringLiteral(PROGRAM_SPY), { names.size() > 1 ? "." : "1.mp3", "ignored" });
    QVERIFY2(program.waitForFinished(20000), "the program did not end after X");
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    // main() makes the window frameless (Qt::Window | Qt::FramelessWindowHint) before showing it.
    // Only as many encoders started as allowed: the last one started is the last shown.
    QCOMPARE(program.readAllStandardOutput(), QStringLiteral("0x801 Elaborazione dei file in "
                                                             "corso: %1/%2\n")
                                                  .arg(encoders).arg(names.size()).toLatin1());
    QVERIFY(program.readAllStandardError().contains(
        "App path :  \"" + QFileInfo(PROGRAM_SPY).path().toUtf8() + "\"\n"));

    // Every encoder started is gone, and so is every temporary file.
    const QStringList pidFiles = QDir(pids).entryList(QDir::Files);
    QCOMPARE(pidFiles.size(), encoders);
    for (const QString &pid : pidFiles) {
        QVERIFY2(!QFileInfo::exists("/proc/" + pid), qPrintable(pid));
    }
    QVERIFY(isEmptyFolder(output));
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
