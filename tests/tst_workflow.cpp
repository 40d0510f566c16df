#include "fixtures.h"
#include "mainwindow.h"

#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace Fixtures;

namespace {

const QString yes = QString::fromUtf8("S\xC3\xAC");
const QString chooseHint = QStringLiteral("\nClicca su CONTINUA per scegliere la cartella di destinazione");
const QString startHint = QStringLiteral("\nClicca su VAI per iniziare la conversione");
const QString failureText = QStringLiteral("Errore durante lo svolgimento dell'operazione, "
                                           "riprovare con file diversi\n");
const QString progress = QStringLiteral("Elaborazione dei file in corso: %1");
const QString done = QStringLiteral("Operazione completata");

QString buttonStates(const MainWindow &window)
{
    QString states;
    for (const auto *button : window.findChildren<QPushButton *>(QRegularExpression("^pushButton"))) {
        states += button->isEnabled() ? '1' : '0';
    }
    return states;
}

QString labelText(const MainWindow &window, const char *name)
{
    return window.findChild<QLabel *>(name)->text();
}

void click(MainWindow &window, const char *name)
{
    QTest::mouseClick(window.findChild<QPushButton *>(name), Qt::LeftButton);
}

// Everything a person sees of the steps, plus the state fields the steps write.
QStringList snapshot(MainWindow &window)
{
    const WorkState &s = window.workState();
    return { buttonStates(window), labelText(window, "label"), labelText(window, "label_2"),
             labelText(window, "label_Bar"), s.inputPath, s.outputPath, s.sourceFileName,
             s.sourceMode, s.sourceFolderPath, s.destDirName, s.destDir.path(),
             s.resultInfo.filePath(), QString::number(s.fileList.size()) };
}

// Picks the source and the destination through the real dialogs, as a person does.
void choose(MainWindow &window, DialogDriver &driver, const QString &source,
            const QString &destination, bool folder)
{
    driver.typePath(source);
    click(window, folder ? "pushButton_2" : "pushButton");
    driver.typePath(destination);
    click(window, "pushButton_3");
}

// Presses INIZIA and returns the progress texts shown until the run's end state.
QStringList runAndWatch(MainWindow &window)
{
    QStringList texts;
    auto record = [&] {
        const QString text = labelText(window, "label_Bar");
        if (!text.isEmpty() && (texts.isEmpty() || texts.last() != text)) {
            texts << text;
        }
    };
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, record);
    watcher.start(5);
    click(window, "pushButton_4");
    // The run goes on after the slot returns; a run that never ends lacks "done" at the end.
    if (QTest::qWaitFor([&] { return labelText(window, "label_Bar") == done; }, 60000)) {
        record();
    }
    return texts;
}

QStringList boxTexts(const DialogDriver &driver, const QString &title)
{
    QStringList texts;
    for (const SeenDialog &dialog : driver.seen) {
        if (dialog.title == title) {
            texts << dialog.text;
        }
    }
    return texts;
}

} // namespace

class TestWorkflow : public QObject
{
    Q_OBJECT

public slots:
    void recordUrl(const QUrl &url) { openedUrls.append(url); }

private slots:
    void initTestCase();
    void init();
    void singleFileEndToEnd();
    void singleFifoGetsTheErrorBox();
    void folderRun_data();
    void folderRun();
    void declinedRunChangesNothing_data();
    void declinedRunChangesNothing();
    void cancelledDialogChangesNothing_data();
    void cancelledDialogChangesNothing();
    void samePathRefused_data();
    void samePathRefused();
    void chooserInsideTheLoop_data();
    void chooserInsideTheLoop();

private:
    QString makeFolder(const QString &name);
    QByteArray referenceEncoding(const QString &source);

    QTemporaryDir directory;
    QByteArray lowQuality;
    QByteArray goodQuality;
    QList<QUrl> openedUrls;
};

void TestWorkflow::initTestCase()
{
    // MPEG-2 at 22.05 kHz and 32 kbit/s fails the probe; MPEG-1 at 44.1 kHz, 128 kbit/s passes.
    lowQuality = toneMp3(makeFolder(QStringLiteral("low")), 1.0,
                         { QStringLiteral("-b"), QStringLiteral("32") });
    goodQuality = toneMp3(makeFolder(QStringLiteral("good")), 1.0,
                          { QStringLiteral("--resample"), QStringLiteral("44.1"),
                            QStringLiteral("-b"), QStringLiteral("128") });
    QVERIFY(!lowQuality.isEmpty() && !goodQuality.isEmpty());
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "recordUrl");
}

void TestWorkflow::init()
{
    openedUrls.clear();
    qunsetenv("TUNEWRIGHT_JOBS");
}

QString TestWorkflow::makeFolder(const QString &name)
{
    const QString path = directory.filePath(name);
    QDir(path).removeRecursively();
    QDir().mkpath(path);
    return path;
}

QByteArray TestWorkflow::referenceEncoding(const QString &source)
{
    const QString reference = directory.filePath(QStringLiteral("reference.mp3"));
    const int status = runLame({ QStringLiteral("--resample"), QStringLiteral("44.1"),
                                 QStringLiteral("-b"), QStringLiteral("192"), source, reference });
    return status == 0 ? readFile(reference) : QByteArray();
}

void TestWorkflow::singleFileEndToEnd()
{
    const QString source = makeFolder(QStringLiteral("single")) + QStringLiteral("/song.mp3");
    const QString output = makeFolder(QStringLiteral("single-out")) + QStringLiteral("/result.mp3");
    const QByteArray tail = lyrics3Block("[00:01]la la \xE8") + id3v1Tag();
    QVERIFY(writeFile(source, lowQuality + tail));
    QVERIFY(writeFile(output, "an older result, replaced after the confirmation"));

    MainWindow window;
    const QStringList startState = snapshot(window);
    DialogDriver driver;
    driver.typePath(source);
    click(window, "pushButton");
    driver.typePath(output).press(QStringLiteral("&Yes")); // the save dialog's own question
    click(window, "pushButton_3");
    QCOMPARE(labelText(window, "label"), QStringLiteral("Percorso del file: ") + source + chooseHint);
    QCOMPARE(labelText(window, "label_2"),
             QStringLiteral("Percorso del file di destinazione: ") + output + startHint);
    QCOMPARE(buttonStates(window), QStringLiteral("111100"));

    driver.press(yes);
    QCOMPARE(runAndWatch(window), QStringList({ progress.arg("1/1"), done }));
    QCOMPARE(buttonStates(window), QStringLiteral("000011"));
    QCOMPARE(driver.pending(), 0);
    QCOMPARE(driver.seen.at(0).title, QStringLiteral("Scegli il file MP3 originale"));
    QCOMPARE(driver.seen.at(0).text, QStringLiteral("/home"));
    QCOMPARE(driver.seen.at(0).buttons, QStringList(QStringLiteral("*.mp3")));
    QCOMPARE(driver.seen.at(1).title, QStringLiteral("Dove vuoi salvare il File?"));
    QCOMPARE(driver.seen.at(1).buttons, QStringList(QStringLiteral("MP3 (*.mp3 *.Mp3 *.MP3)")));
    QCOMPARE(driver.seen.at(3).buttons, QStringList({ yes, QStringLiteral("No") }));

    QVERIFY(readFile(output) == referenceEncoding(source) + tail);
    QVERIFY(readFile(source) == lowQuality + tail);
    QCOMPARE(QDir(QFileInfo(output).path()).entryList(QDir::Files | QDir::Hidden),
             QStringList(QStringLiteral("result.mp3")));

    click(window, "pushButton_5");
    QCOMPARE(openedUrls, QList<QUrl>({ QUrl::fromLocalFile(QFileInfo(output).absolutePath()) }));

    // "Nuovo" gives the start state back, but for what the next pick sets again.
    click(window, "pushButton_6");
    QStringList expected = startState;
    expected[7] = QStringLiteral("file");
    expected[11] = output;
    QCOMPARE(snapshot(window), expected);

    // With nothing ever recorded the bare "file:///" goes out.
    window.workState().resultInfo = QFileInfo();
    window.findChild<QPushButton *>("pushButton_5")->setEnabled(true);
    click(window, "pushButton_5");
    QCOMPARE(openedUrls.last(), QUrl(QStringLiteral("file:///")));
}

void TestWorkflow::singleFifoGetsTheErrorBox()
{
    // Opening a FIFO waits for a writer: the run must refuse it without opening it.
    const QString source = makeFolder(QStringLiteral("fifo")) + QStringLiteral("/pipe.mp3");
    QCOMPARE(mkfifo(QFile::encodeName(source).constData(), 0600), 0);
    const QString output = makeFolder(QStringLiteral("fifo-out")) + QStringLiteral("/out.mp3");

    MainWindow window;
    DialogDriver driver;
    choose(window, driver, source, output, false);
    driver.press(yes).press(QStringLiteral("OK"));
    QCOMPARE(runAndWatch(window), QStringList({ progress.arg("1/1"), done }));
    QCOMPARE(boxTexts(driver, QStringLiteral("Errore")), QStringList(failureText + source));
    QVERIFY(QDir(makeFolder(QStringLiteral("fifo-out"))).isEmpty());
}

void TestWorkflow::folderRun_data()
{
    QTest::addColumn<QByteArray>("jobs");

    QTest::newRow("one-at-a-time") << QByteArray("1");
    QTest::newRow("four-at-once") << QByteArray("4");
}

void TestWorkflow::folderRun()
{
    QFETCH(QByteArray, jobs);

    const QString source = makeFolder(QStringLiteral("folder"));
    const QString output = makeFolder(QStringLiteral("folder-out"));
    const QByteArray tagged = lowQuality + lyrics3Block("testo") + id3v1Tag();
    // Listed by name without regard to case. Converted: b (tagged), d and both g; failing: c
    // (empty) and e (a link to a device, which is never to be read); skipped: a and f, already
    // good. A FIFO would not even be listed.
    const QList<QPair<QString, QByteArray>> files = {
        { "a.MP3", goodQuality }, { "b.Mp3", tagged }, { "c.mp3", QByteArray() },
        { "d.mP3", lowQuality }, { "f.mp3", goodQuality }, { "G.mp3", tagged },
        { "g.mp3", lowQuality }, { "song.mp3.bak", lowQuality }, { ".hidden.mp3", lowQuality },
    };
    for (const auto &file : files) {
        QVERIFY(writeFile(source + QLatin1Char('/') + file.first, file.second));
    }
    QVERIFY(QFile::link(QStringLiteral("/dev/zero"), source + "/e.mp3"));
    QVERIFY(QDir(source).mkdir(QStringLiteral("sub.mp3")));
    qputenv("TUNEWRIGHT_JOBS", jobs);

    MainWindow window;
    DialogDriver driver;
    choose(window, driver, source, output, true);
    QCOMPARE(labelText(window, "label"), QStringLiteral("Percorso dei file: ") + source + chooseHint);
    QCOMPARE(labelText(window, "label_2"),
             QStringLiteral("Percorso del file di destinazione: ") + output + startHint);
    // The first box must not hold up the other files: they are all done before it is answered.
    driver.press(yes).press(QStringLiteral("OK"), [&] {
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(output + "/g.mp3"), 60000);
    });
    driver.press(QStringLiteral("OK"));
    const QStringList texts = runAndWatch(window);

    QCOMPARE(driver.pending(), 0);
    QCOMPARE(boxTexts(driver, QStringLiteral("Errore")),
             QStringList({ failureText + source + "/c.mp3", failureText + source + "/e.mp3" }));
    // A refused file's text is replaced at once by the next file's, so it is never seen.
    if (jobs == "1") {
        QCOMPARE(texts, QStringList({ progress.arg("2/8"), progress.arg("4/8"),
                                      progress.arg("7/8"), progress.arg("8/8"), done }));
    }
    QCOMPARE(texts.last(), done);
    QCOMPARE(buttonStates(window), QStringLiteral("000011"));
    QCOMPARE(QDir(output).entryList(QDir::Files | QDir::Hidden, QDir::Name),
             QStringList({ "G.mp3", "b.Mp3", "d.mP3", "g.mp3" }));
    QVERIFY(readFile(output + "/b.Mp3") == referenceEncoding(source + "/b.Mp3") + tagged.mid(lowQuality.size()));
    QVERIFY(readFile(output + "/G.mp3") == readFile(output + "/b.Mp3"));
    QVERIFY(readFile(output + "/d.mP3") == referenceEncoding(source + "/d.mP3"));
    QVERIFY(readFile(output + "/g.mp3") == readFile(output + "/d.mP3"));
    for (const auto &file : files) {
        QVERIFY(readFile(source + QLatin1Char('/') + file.first) == file.second);
    }
    click(window, "pushButton_5");
    QCOMPARE(openedUrls, QList<QUrl>({ QUrl::fromLocalFile(output) }));
}

void TestWorkflow::declinedRunChangesNothing_data()
{
    QTest::addColumn<bool>("hundredth");
    QTest::addColumn<QStringList>("answers");

    QTest::newRow("99-entries-no-to-overwrite") << false << QStringList({ "No" });
    QTest::newRow("100-entries-no-to-many-files") << true << QStringList({ "No" });
    QTest::newRow("100-entries-no-to-overwrite") << true << QStringList({ yes, "No" });
}

void TestWorkflow::declinedRunChangesNothing()
{
    QFETCH(bool, hundredth);
    QFETCH(QStringList, answers);

    // 99 files listed from a folder, and one more picked on its own for the hundredth entry.
    const QString source = makeFolder(QStringLiteral("many"));
    for (int i = 0; i < 99; ++i) {
        QVERIFY(writeFile(source + QStringLiteral("/%1.mp3").arg(i), lowQuality));
    }
    const QString output = makeFolder(QStringLiteral("declined"));
    MainWindow window;
    DialogDriver driver;
    driver.typePath(source);
    click(window, "pushButton_2");
    if (hundredth) {
        choose(window, driver, source + QStringLiteral("/0.mp3"), output + "/out.mp3", false);
    } else {
        driver.typePath(output);
        click(window, "pushButton_3");
    }
    const QStringList before = snapshot(window);
    QCOMPARE(before.last(), hundredth ? QStringLiteral("100") : QStringLiteral("99"));

    const int opened = driver.seen.size();
    for (const QString &answer : answers) {
        driver.press(answer);
    }
    click(window, "pushButton_4");

    QCOMPARE(driver.seen.size() - opened, answers.size());
    QCOMPARE(driver.seen.at(opened).text.startsWith(QString::fromUtf8("Attenzione, pi\xC3\xB9 di 100")),
             hundredth);
    QCOMPARE(snapshot(window), before);
    QVERIFY(QDir(output).isEmpty());
}

void TestWorkflow::cancelledDialogChangesNothing_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("folder");

    QTest::newRow("file-pick") << "pushButton" << false;
    QTest::newRow("folder-pick") << "pushButton_2" << true;
    QTest::newRow("save-dialog") << "pushButton_3" << false;
    QTest::newRow("destination-folder") << "pushButton_3" << true;
}

void TestWorkflow::cancelledDialogChangesNothing()
{
    QFETCH(QString, button);
    QFETCH(bool, folder);

    const QString source = makeFolder(QStringLiteral("cancel"));
    QVERIFY(writeFile(source + QStringLiteral("/x.mp3"), lowQuality));
    const QString accepted = makeFolder(QStringLiteral("cancel-out"));

    // A source and an accepted destination first, so there is something to lose.
    MainWindow window;
    DialogDriver driver;
    choose(window, driver, folder ? source : source + "/x.mp3",
           folder ? accepted : accepted + "/y.mp3", folder);
    QStringList expected = snapshot(window);
    QCOMPARE(expected.first(), QStringLiteral("111100"));

    driver.cancel();
    click(window, button.toLatin1().constData());
    QCOMPARE(driver.seen.size(), 3);
    if (button == QLatin1String("pushButton_3")) {
        // INIZIA goes off and the answer is recorded; the label keeps the earlier destination.
        expected[0] = QStringLiteral("111000");
        expected[5] = folder ? window.workState().outputPath : QString();
        if (folder) {
            expected[9] = expected[10] = QString();
        }
    }
    QCOMPARE(snapshot(window), expected);
}

void TestWorkflow::samePathRefused_data()
{
    QTest::addColumn<bool>("folder");
    QTest::addColumn<QString>("route");

    QTest::newRow("file-exact") << false << "exact";
    QTest::newRow("file-through-symlink") << false << "symlink";
    QTest::newRow("file-hard-link") << false << "hardlink";
    QTest::newRow("folder-exact") << true << "exact";
    QTest::newRow("folder-through-symlink") << true << "symlink";
}

void TestWorkflow::samePathRefused()
{
    QFETCH(bool, folder);
    QFETCH(QString, route);

    const QString source = makeFolder(QStringLiteral("same"));
    const QString file = source + QStringLiteral("/x.mp3");
    QVERIFY(writeFile(file, lowQuality));
    const QString picked = folder ? source : file;
    QString destination = picked;
    if (route != QLatin1String("exact")) {
        destination = makeFolder(QStringLiteral("links")) + QStringLiteral("/link");
        QVERIFY(route == QLatin1String("symlink")
                    ? QFile::link(picked, destination)
                    : link(QFile::encodeName(picked).constData(),
                           QFile::encodeName(destination).constData()) == 0);
    }

    MainWindow window;
    DialogDriver driver;
    driver.typePath(picked);
    click(window, folder ? "pushButton_2" : "pushButton");
    const QString labelBefore = labelText(window, "label_2");
    driver.typePath(destination);
    if (!folder) {
        driver.press(QStringLiteral("&Yes")); // the save dialog's own "replace it?" question
    }
    driver.press(QStringLiteral("OK"));
    click(window, "pushButton_3");

    QCOMPARE(driver.pending(), 0);
    QCOMPARE(driver.seen.last().title, QStringLiteral("Attenzione"));
    QCOMPARE(driver.seen.last().text,
             QStringLiteral("Attenzione: i due percorsi dei file coincidono, impossibile "
                            "procedere.\nCambiare uno dei due percorsi e riprovare."));
    QCOMPARE(buttonStates(window), QStringLiteral("111000"));
    QCOMPARE(labelText(window, "label_2"), labelBefore);
    QVERIFY(readFile(file) == lowQuality);
}

void TestWorkflow::chooserInsideTheLoop_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("written");

    QTest::newRow("cancelled") << "cancel" << 0;
    QTest::newRow("folder-chosen") << "folder" << 2;
    QTest::newRow("source-folder-chosen") << "source" << 0;
}

void TestWorkflow::chooserInsideTheLoop()
{
    QFETCH(QString, answer);
    QFETCH(int, written);

    const QString source = makeFolder(QStringLiteral("loop"));
    const QString first = makeFolder(QStringLiteral("loop-first"));
    const QString chosen = makeFolder(QStringLiteral("loop-chosen"));
    for (const char *name : { "1.mp3", "3.mp3" }) {
        QVERIFY(writeFile(source + '/' + name, lowQuality));
    }
    QVERIFY(writeFile(source + QStringLiteral("/2.mp3"), goodQuality));

    MainWindow window;
    DialogDriver driver;
    choose(window, driver, source, first, true);
    // No destination folder recorded: the run asks for one before the first file to convert.
    window.workState().destDirName.clear();
    driver.press(yes);
    if (answer == QLatin1String("cancel")) {
        driver.cancel();
    } else {
        driver.typePath(answer == QLatin1String("source") ? source : chosen);
    }
    if (answer == QLatin1String("source")) {
        driver.press(QStringLiteral("OK"));
    }
    runAndWatch(window);

    QCOMPARE(driver.pending(), 0);
    QCOMPARE(driver.seen.at(3).title, QStringLiteral("Dove vuoi salvare i file?"));
    QCOMPARE(driver.seen.size(), answer == QLatin1String("source") ? 5 : 4);
    QCOMPARE(QDir(chosen).entryList(QDir::Files).size(), written);
    QVERIFY(QDir(first).isEmpty());
    QVERIFY(readFile(source + QStringLiteral("/1.mp3")) == lowQuality);
    QCOMPARE(buttonStates(window), QStringLiteral("000011"));
}

QTEST_MAIN(TestWorkflow)
#include "tst_workflow.moc"
