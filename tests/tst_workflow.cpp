#include "fixtures.h"
#include "mainwindow.h"
#include "workstate.h"

#include <QCryptographicHash>
#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

using namespace Fixtures;

namespace {

const QString yes = QString::fromUtf8("S\xC3\xAC");

QString buttonStates(const MainWindow &window)
{
    QString states;
    for (const char *name : { "pushButton", "pushButton_2", "pushButton_3", "pushButton_4",
                              "pushButton_5", "pushButton_6" }) {
        states += window.findChild<QPushButton *>(name)->isEnabled() ? '1' : '0';
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

QByteArray sha256(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

} // namespace

class TestWorkflow : public QObject
{
    Q_OBJECT

public slots:
    void recordUrl(const QUrl &url) { openedUrls.append(url); }
    void recordProgress(MainWindow *window);

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
    void showWithNothingConverted();

private:
    QString makeFolder(const QString &name);
    QByteArray referenceEncoding(const QString &source);

    QTemporaryDir directory;
    QByteArray lowQuality;
    QByteArray goodQuality;
    QList<QUrl> openedUrls;
    QStringList progressTexts;
};

void TestWorkflow::recordProgress(MainWindow *window)
{
    const QString text = labelText(*window, "label_Bar");
    if (!text.isEmpty() && (progressTexts.isEmpty() || progressTexts.last() != text)) {
        progressTexts.append(text);
    }
}

void TestWorkflow::initTestCase()
{
    QVERIFY(directory.isValid());
    QVERIFY(QDir(directory.path()).mkpath(QStringLiteral("tones/low")));
    QVERIFY(QDir(directory.path()).mkpath(QStringLiteral("tones/good")));
    // MPEG-2 at 22.05 kHz and 32 kbit/s fails the probe; MPEG-1 at 44.1 kHz, 128 kbit/s passes.
    lowQuality = toneMp3(directory.filePath(QStringLiteral("tones/low")), 1.0,
                         { QStringLiteral("-b"), QStringLiteral("32") });
    goodQuality = toneMp3(directory.filePath(QStringLiteral("tones/good")), 1.0,
                          { QStringLiteral("--resample"), QStringLiteral("44.1"),
                            QStringLiteral("-b"), QStringLiteral("128") });
    QVERIFY(!lowQuality.isEmpty() && !goodQuality.isEmpty());
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "recordUrl");
}

void TestWorkflow::init()
{
    openedUrls.clear();
    progressTexts.clear();
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
    if (runLame({ QStringLiteral("--resample"), QStringLiteral("44.1"), QStringLiteral("-b"),
                  QStringLiteral("192"), source, reference }) != 0) {
        return QByteArray();
    }
    return readFile(reference);
}

void TestWorkflow::singleFileEndToEnd()
{
    const QString source = makeFolder(QStringLiteral("single")) + QStringLiteral("/song.mp3");
    const QString output = makeFolder(QStringLiteral("single-out")) + QStringLiteral("/result.mp3");
    const QByteArray lyrics = lyrics3Block("[00:01]la la \xE8");
    const QByteArray sourceBytes = lowQuality + lyrics + id3v1Tag();
    QVERIFY(writeFile(source, sourceBytes));

    MainWindow window;
    DialogDriver driver;
    driver.typePath(source);
    click(window, "pushButton");
    QCOMPARE(labelText(window, "label"), QStringLiteral("Percorso del file: ") + source
                 + QStringLiteral("\nClicca su CONTINUA per scegliere la cartella di destinazione"));
    QCOMPARE(buttonStates(window), QStringLiteral("111000"));

    driver.typePath(output);
    click(window, "pushButton_3");
    QCOMPARE(labelText(window, "label_2"), QStringLiteral("Percorso del file di destinazione: ")
                 + output + QStringLiteral("\nClicca su VAI per iniziare la conversione"));
    QCOMPARE(buttonStates(window), QStringLiteral("111100"));

    QTimer watcher;
    connect(&watcher, &QTimer::timeout, this, [this, &window] { recordProgress(&window); });
    watcher.start(5);
    driver.press(yes);
    click(window, "pushButton_4");
    watcher.stop();
    recordProgress(&window);

    QCOMPARE(driver.pending(), 0);
    QCOMPARE(driver.seen.size(), 3);
    QCOMPARE(driver.seen.at(0).title, QStringLiteral("Scegli il file MP3 originale"));
    QCOMPARE(driver.seen.at(0).buttons, QStringList(QStringLiteral("*.mp3")));
    QCOMPARE(driver.seen.at(0).text, QStringLiteral("/home"));
    QCOMPARE(driver.seen.at(1).title, QStringLiteral("Dove vuoi salvare il File?"));
    QCOMPARE(driver.seen.at(1).buttons, QStringList(QStringLiteral("MP3 (*.mp3 *.Mp3 *.MP3)")));
    QCOMPARE(driver.seen.at(2).buttons, QStringList({ yes, QStringLiteral("No") }));
    QCOMPARE(progressTexts, QStringList({ QStringLiteral("Elaborazione dei file in corso: 1/1"),
                                          QStringLiteral("Operazione completata") }));
    QCOMPARE(buttonStates(window), QStringLiteral("000011"));

    const QByteArray encoded = referenceEncoding(source);
    QVERIFY(!encoded.isEmpty());
    QVERIFY(readFile(output) == encoded + lyrics + id3v1Tag());
    QCOMPARE(sha256(readFile(source)), sha256(sourceBytes));

    click(window, "pushButton_5");
    QCOMPARE(openedUrls, QList<QUrl>({ QUrl::fromLocalFile(QFileInfo(output).absolutePath()) }));

    click(window, "pushButton_6");
    const QStringList afterOnce = snapshot(window);
    QCOMPARE(buttonStates(window), QStringLiteral("110000"));
    QCOMPARE(labelText(window, "label_Bar"), QString());
    window.findChild<QPushButton *>("pushButton_6")->setEnabled(true);
    click(window, "pushButton_6");
    QCOMPARE(snapshot(window), afterOnce);
}

void TestWorkflow::folderRunConvertsOnlyWhatFailsTheProbe()
{
    const QString source = makeFolder(QStringLiteral("folder"));
    const QString output = makeFolder(QStringLiteral("folder-out"));
    // Listed by name without regard to case: the second and the fifth need converting.
    const QList<QPair<QString, QByteArray>> files = {
        { QStringLiteral("a.MP3"), goodQuality }, { QStringLiteral("b.Mp3"), lowQuality },
        { QStringLiteral("c.mP3"), goodQuality }, { QStringLiteral("D.mp3"), goodQuality },
        { QStringLiteral("e.mp3"), lowQuality + id3v1Tag() },
        { QStringLiteral("song.mp3.bak"), lowQuality }, { QStringLiteral(".hidden.mp3"), lowQuality },
    };
    for (const auto &file : files) {
        QVERIFY(writeFile(source + QLatin1Char('/') + file.first, file.second));
    }
    QVERIFY(QDir(source).mkdir(QStringLiteral("sub.mp3")));

    MainWindow window;
    DialogDriver driver;
    driver.typePath(source);
    click(window, "pushButton_2");
    QCOMPARE(workState.fileList.size(), 5);
    QCOMPARE(workState.sourceMode, QStringLiteral("folder"));
    QCOMPARE(labelText(window, "label"), QStringLiteral("Percorso dei file: ") + source
                 + QStringLiteral("\nClicca su CONTINUA per scegliere la cartella di destinazione"));

    driver.typePath(output);
    click(window, "pushButton_3");
    QCOMPARE(workState.outputPath, output + QLatin1Char('/'));
    QCOMPARE(labelText(window, "label_2"), QStringLiteral("Percorso del file di destinazione: ")
                 + output + QStringLiteral("\nClicca su VAI per iniziare la conversione"));
    QCOMPARE(buttonStates(window), QStringLiteral("111100"));

    QTimer watcher;
    connect(&watcher, &QTimer::timeout, this, [this, &window] { recordProgress(&window); });
    watcher.start(5);
    driver.press(yes);
    click(window, "pushButton_4");
    watcher.stop();
    recordProgress(&window);

    QCOMPARE(driver.seen.at(0).title, QStringLiteral("Selezione Cartella"));
    QCOMPARE(driver.seen.at(1).title, QStringLiteral("Dove vuoi salvare i file?"));
    QCOMPARE(progressTexts, QStringList({ QStringLiteral("Elaborazione dei file in corso: 2/5"),
                                          QStringLiteral("Elaborazione dei file in corso: 5/5"),
                                          QStringLiteral("Operazione completata") }));
    QCOMPARE(QDir(output).entryList(QDir::Files | QDir::Hidden),
             QStringList({ QStringLiteral("b.Mp3"), QStringLiteral("e.mp3") }));
    QVERIFY(readFile(output + QStringLiteral("/b.Mp3")) == referenceEncoding(source + QStringLiteral("/b.Mp3")));
    // Only e.mp3 had a tag: the scan state is cleared between files.
    QVERIFY(readFile(output + QStringLiteral("/e.mp3"))
            == referenceEncoding(source + QStringLiteral("/e.mp3")) + id3v1Tag());
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
    QTest::addColumn<int>("boxes");

    QTest::newRow("99-entries-no-to-overwrite") << 99 << QStringList({ "No" }) << 1;
    QTest::newRow("100-entries-no-to-many-files") << 100 << QStringList({ "No" }) << 1;
    QTest::newRow("100-entries-no-to-overwrite") << 100 << QStringList({ yes, "No" }) << 2;
}

void TestWorkflow::declinedRunChangesNothing()
{
    QFETCH(int, entries);
    QFETCH(QStringList, answers);
    QFETCH(int, boxes);

    MainWindow window;
    const QString output = makeFolder(QStringLiteral("declined")) + QStringLiteral("/out.mp3");
    workState.sourceMode = QStringLiteral("file");
    workState.inputPath = directory.filePath(QStringLiteral("tones/low/tone.mp3"));
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

    QCOMPARE(driver.seen.size(), boxes);
    if (entries >= 100) {
        QCOMPARE(driver.seen.first().text,
                 QString::fromUtf8("Attenzione, pi\xC3\xB9 di 100 file selezionati.\nL'operazione "
                                   "potrebbe richiedere diversi minuti.\n Proseguire ugualmente?"));
    }
    QCOMPARE(driver.seen.last().title, QStringLiteral("Attenzione"));
    QCOMPARE(snapshot(window), before);
    QVERIFY(!QFile::exists(output));
}

void TestWorkflow::cancelledDialogChangesNothing_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("mode");

    QTest::newRow("file-pick") << "pushButton" << "file";
    QTest::newRow("folder-pick") << "pushButton_2" << "folder";
    QTest::newRow("save-dialog") << "pushButton_3" << "file";
    QTest::newRow("destination-folder") << "pushButton_3" << "folder";
}

void TestWorkflow::cancelledDialogChangesNothing()
{
    QFETCH(QString, button);
    QFETCH(QString, mode);

    const QString source = makeFolder(QStringLiteral("cancel"));
    QVERIFY(writeFile(source + QStringLiteral("/x.mp3"), lowQuality));
    const QString accepted = makeFolder(QStringLiteral("cancel-out"));

    // A source and an accepted destination first, so there is something to lose.
    MainWindow window;
    DialogDriver driver;
    if (mode == QLatin1String("file")) {
        driver.typePath(source + QStringLiteral("/x.mp3"));
        click(window, "pushButton");
        driver.typePath(accepted + QStringLiteral("/y.mp3"));
    } else {
        driver.typePath(source);
        click(window, "pushButton_2");
        driver.typePath(accepted);
    }
    click(window, "pushButton_3");
    QCOMPARE(buttonStates(window), QStringLiteral("111100"));
    QStringList expected = snapshot(window);

    driver.cancel();
    click(window, button.toLatin1().constData());
    QCOMPARE(driver.seen.size(), 3);
    if (button == QLatin1String("pushButton_3")) {
        // Only INIZIA and the refused answer change; the label keeps the earlier destination.
        expected[0] = QStringLiteral("111000");
        if (mode == QLatin1String("file")) {
            expected[5] = QString();
        } else {
            expected[5] = workState.outputPath;
            expected[9] = QString();
            expected[10] = QString();
        }
    }
    QCOMPARE(snapshot(window), expected);
}

void TestWorkflow::samePathRefused_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("throughLink");

    QTest::newRow("file-exact") << "file" << false;
    QTest::newRow("file-through-symlink") << "file" << true;
    QTest::newRow("folder-exact") << "folder" << false;
    QTest::newRow("folder-through-symlink") << "folder" << true;
}

void TestWorkflow::samePathRefused()
{
    QFETCH(QString, mode);
    QFETCH(bool, throughLink);

    const QString source = makeFolder(QStringLiteral("same"));
    const QString file = source + QStringLiteral("/x.mp3");
    QVERIFY(writeFile(file, lowQuality));
    const QString links = makeFolder(QStringLiteral("links"));
    const bool isFile = mode == QLatin1String("file");
    QString destination = isFile ? file : source;
    if (throughLink) {
        destination = links + (isFile ? QStringLiteral("/link.mp3") : QStringLiteral("/linkdir"));
        QVERIFY(QFile::link(isFile ? file : source, destination));
    }

    MainWindow window;
    DialogDriver driver;
    driver.typePath(isFile ? file : source);
    click(window, isFile ? "pushButton" : "pushButton_2");
    const QString labelBefore = labelText(window, "label_2");
    driver.typePath(destination);
    if (isFile) {
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
    QVERIFY(writeFile(source + QStringLiteral("/1.mp3"), lowQuality));
    QVERIFY(writeFile(source + QStringLiteral("/2.mp3"), goodQuality));
    QVERIFY(writeFile(source + QStringLiteral("/3.mp3"), lowQuality));

    MainWindow window;
    DialogDriver driver;
    driver.typePath(source);
    click(window, "pushButton_2");
    driver.typePath(first);
    click(window, "pushButton_3");
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

void TestWorkflow::showWithNothingConverted()
{
    MainWindow window;
    window.findChild<QPushButton *>("pushButton_5")->setEnabled(true);
    click(window, "pushButton_5");
    QCOMPARE(openedUrls, QList<QUrl>({ QUrl(QStringLiteral("file:///")) }));
}

QTEST_MAIN(TestWorkflow)
#include "tst_workflow.moc"
