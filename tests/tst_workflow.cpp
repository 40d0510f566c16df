#include "fixtures.h"
#include "mainwindow.h"
#include "workstate.h"

#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

using namespace Fixtures;

namespace {

const QString yes = QString::fromUtf8("S\xC3\xAC");
const QString chooseHint = QStringLiteral("\nClicca su CONTINUA per scegliere la cartella di destinazione");
const QString startHint = QStringLiteral("\nClicca su VAI per iniziare la conversione");

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
QStringList snapshot(const MainWindow &window)
{
    const WorkState &s = workState;
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

// Presses INIZIA and returns the progress texts shown while the run went on.
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
    record();
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
    void folderRunConvertsOnlyWhatFailsTheProbe();
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
    workState.resultInfo = QFileInfo();
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

    MainWindow window;
    DialogDriver driver;
    choose(window, driver, source, output, false);
    QCOMPARE(labelText(window, "label"), QStringLiteral("Percorso del file: ") + source + chooseHint);
    QCOMPARE(labelText(window, "label_2"),
             QStringLiteral("Percorso del file di destinazione: ") + output + startHint);
    QCOMPARE(buttonStates(window), QStringLiteral("111100"));

    driver.press(yes);
    QCOMPARE(runAndWatch(window), QStringList({ QStringLiteral("Elaborazione dei file in corso: 1/1"),
                                                QStringLiteral("Operazione completata") }));
    QCOMPARE(buttonStates(window), QStringLiteral("000011"));
    QCOMPARE(driver.pending(), 0);
    QCOMPARE(driver.seen.at(0).title, QStringLiteral("Scegli il file MP3 originale"));
    QCOMPARE(driver.seen.at(0).text, QStringLiteral("/home"));
    QCOMPARE(driver.seen.at(0).buttons, QStringList(QStringLiteral("*.mp3")));
    QCOMPARE(driver.seen.at(1).title, QStringLiteral("Dove vuoi salvare il File?"));
    QCOMPARE(driver.seen.at(1).buttons, QStringList(QStringLiteral("MP3 (*.mp3 *.Mp3 *.MP3)")));
    QCOMPARE(driver.seen.at(2).buttons, QStringList({ yes, QStringLiteral("No") }));

    QVERIFY(readFile(output) == referenceEncoding(source) + tail);
    QVERIFY(readFile(source) == lowQuality + tail);

    click(window, "pushButton_5");
    QCOMPARE(openedUrls, QList<QUrl>({ QUrl::fromLocalFile(QFileInfo(output).absolutePath()) }));

    click(window, "pushButton_6");
    const QStringList afterOnce = snapshot(window);
    QCOMPARE(afterOnce.first(), QStringLiteral("110000"));
    window.findChild<QPushButton *>("pushButton_6")->setEnabled(true);
    click(window, "pushButton_6");
    QCOMPARE(snapshot(window), afterOnce);

    // resultInfo survives "Nuovo"; with nothing ever recorded the bare "file:///" goes out.
    workState.resultInfo = QFileInfo();
    window.findChild<QPushButton *>("pushButton_5")->setEnabled(true);
    click(window, "pushButton_5");
    QCOMPARE(openedUrls.last(), QUrl(QStringLiteral("file:///")));
}

void TestWorkflow::folderRunConvertsOnlyWhatFailsTheProbe()
{
    const QString source = makeFolder(QStringLiteral("folder"));
    const QString output = makeFolder(QStringLiteral("folder-out"));
    // Listed by name without regard to case: the second and the fifth need converting.
    const QList<QPair<QString, QByteArray>> files = {
        { "a.MP3", goodQuality }, { "b.Mp3", lowQuality }, { "c.mP3", goodQuality },
        { "D.mp3", goodQuality }, { "e.mp3", lowQuality + id3v1Tag() },
        { "song.mp3.bak", lowQuality }, { ".hidden.mp3", lowQuality },
    };
    for (const auto &file : files) {
        QVERIFY(writeFile(source + QLatin1Char('/') + file.first, file.second));
    }
    QVERIFY(QDir(source).mkdir(QStringLiteral("sub.mp3")));

    MainWindow window;
    DialogDriver driver;
    choose(window, driver, source, output, true);
    QCOMPARE(workState.fileList.size(), 5);
    QCOMPARE(labelText(window, "label"), QStringLiteral("Percorso dei file: ") + source + chooseHint);
    QCOMPARE(labelText(window, "label_2"),
             QStringLiteral("Percorso del file di destinazione: ") + output + startHint);
    QCOMPARE(workState.outputPath, output + QLatin1Char('/'));

    driver.press(yes);
    QCOMPARE(runAndWatch(window), QStringList({ QStringLiteral("Elaborazione dei file in corso: 2/5"),
                                                QStringLiteral("Elaborazione dei file in corso: 5/5"),
                                                QStringLiteral("Operazione completata") }));
    QCOMPARE(driver.seen.at(0).title, QStringLiteral("Selezione Cartella"));
    QCOMPARE(driver.seen.at(1).title, QStringLiteral("Dove vuoi salvare i file?"));
    QCOMPARE(QDir(output).entryList(QDir::Files | QDir::Hidden), QStringList({ "b.Mp3", "e.mp3" }));
    QVERIFY(readFile(output + "/b.Mp3") == referenceEncoding(source + "/b.Mp3"));
    // Only e.mp3 had a tag: the scan state is cleared between files.
    QVERIFY(readFile(output + "/e.mp3") == referenceEncoding(source + "/e.mp3") + id3v1Tag());
    for (const auto &file : files) {
        QVERIFY(readFile(source + QLatin1Char('/') + file.first) == file.second);
    }

    click(window, "pushButton_5");
    QCOMPARE(openedUrls, QList<QUrl>({ QUrl::fromLocalFile(output) }));
}

void TestWorkflow::declinedRunChangesNothing_data()
{
    QTest::addColumn<int>("entries");
    QTest::addColumn<QStringList>("answers");

    QTest::newRow("99-entries-no-to-overwrite") << 99 << QStringList({ "No" });
    QTest::newRow("100-entries-no-to-many-files") << 100 << QStringList({ "No" });
    QTest::newRow("100-entries-no-to-overwrite") << 100 << QStringList({ yes, "No" });
}

void TestWorkflow::declinedRunChangesNothing()
{
    QFETCH(int, entries);
    QFETCH(QStringList, answers);

    MainWindow window;
    const QString output = makeFolder(QStringLiteral("declined")) + QStringLiteral("/out.mp3");
    workState.sourceMode = QStringLiteral("file");
    workState.inputPath = directory.filePath(QStringLiteral("low/tone.mp3"));
    workState.outputPath = output;
    for (int i = 0; i < entries; ++i) {
        workState.fileList.append(QFileInfo(workState.inputPath));
    }
    window.findChild<QPushButton *>("pushButton_3")->setEnabled(true);
    window.findChild<QPushButton *>("pushButton_4")->setEnabled(true);
    const QStringList before = snapshot(window);

    DialogDriver driver;
    for (const QString &answer : answers) {
        driver.press(answer);
    }
    click(window, "pushButton_4");

    QCOMPARE(driver.seen.size(), answers.size());
    QCOMPARE(driver.seen.first().text.startsWith(QString::fromUtf8("Attenzione, pi\xC3\xB9 di 100")),
             entries >= 100);
    QCOMPARE(snapshot(window), before);
    QVERIFY(!QFile::exists(output));
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
        expected[5] = folder ? workState.outputPath : QString();
        if (folder) {
            expected[9] = expected[10] = QString();
        }
    }
    QCOMPARE(snapshot(window), expected);
}

void TestWorkflow::samePathRefused_data()
{
    QTest::addColumn<bool>("folder");
    QTest::addColumn<bool>("throughLink");

    QTest::newRow("file-exact") << false << false;
    QTest::newRow("file-through-symlink") << false << true;
    QTest::newRow("folder-exact") << true << false;
    QTest::newRow("folder-through-symlink") << true << true;
}

void TestWorkflow::samePathRefused()
{
    QFETCH(bool, folder);
    QFETCH(bool, throughLink);

    const QString source = makeFolder(QStringLiteral("same"));
    const QString file = source + QStringLiteral("/x.mp3");
    QVERIFY(writeFile(file, lowQuality));
    const QString picked = folder ? source : file;
    QString destination = picked;
    if (throughLink) {
        destination = makeFolder(QStringLiteral("links")) + QStringLiteral("/link");
        QVERIFY(QFile::link(picked, destination));
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
    workState.destDirName.clear();
    driver.press(yes);
    if (answer == QLatin1String("cancel")) {
        driver.cancel();
    } else {
        driver.typePath(answer == QLatin1String("source") ? source : chosen);
    }
    if (answer == QLatin1String("source")) {
        driver.press(QStringLiteral("OK"));
    }
    click(window, "pushButton_4");

    QCOMPARE(driver.pending(), 0);
    QCOMPARE(driver.seen.at(3).title, QStringLiteral("Dove vuoi salvare i file?"));
    QCOMPARE(QDir(chosen).entryList(QDir::Files).size(), written);
    QVERIFY(QDir(first).entryList(QDir::Files).isEmpty());
    QCOMPARE(QDir(source).entryList(QDir::Files).size(), 3);
    QVERIFY(readFile(source + QStringLiteral("/1.mp3")) == lowQuality);
    QCOMPARE(labelText(window, "label_Bar"), QStringLiteral("Operazione completata"));
    QCOMPARE(buttonStates(window), QStringLiteral("000011"));
}

QTEST_MAIN(TestWorkflow)
#include "tst_workflow.moc"
