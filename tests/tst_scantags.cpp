#include "fixtures.h"
#include "mainwindow.h"
#include "workstate.h"

#include <QProgressBar>
#include <QtTest>

using namespace Fixtures;

// Built with no lame.exe beside it: the scan's findings, and what the rebuild writes when the
// encoder is missing (only the text pieces, with no message).
class TestScanTags : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void markers_data();
    void markers();
    void emptyOrUnreadableSourceIsRefused_data();
    void emptyOrUnreadableSourceIsRefused();
    void noDestinationDoesNothing();

private:
    QTemporaryDir directory;
    // One window for all tests; init() resets it and sets the paths each test uses.
    MainWindow window;
};

void TestScanTags::init()
{
    // The start state a run begins from; it also puts the bar back to 0.
    window.resetState();
    WorkState &s = workState;
    s.inputPath = directory.filePath(QStringLiteral("in.mp3"));
    s.outputPath = directory.filePath(QStringLiteral("out.mp3"));
    QFile::remove(s.outputPath);
}

void TestScanTags::markers_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("tagPos");
    QTest::addColumn<bool>("hasTag");
    QTest::addColumn<int>("lyricsPos");
    QTest::addColumn<int>("lyricsEndPos");
    QTest::addColumn<QByteArray>("output");

    const QByteArray audio(700, '\x55');
    const QByteArray tag = id3v1Tag();
    const QByteArray lyrics = lyrics3Block("testo");

    QTest::newRow("lyrics-and-tag") << audio + lyrics + tag << 700 + lyrics.size() << true << 700
                                    << 700 + lyrics.size() - 9 << lyrics + tag;
    // A version 1 block has no "LYRICS200": lyricsEndPos stays 1 and nothing is captured.
    QTest::newRow("lyrics-v1-block") << audio + "LYRICSBEGINtestoLYRICSEND" + tag
                                     << 725 << true << 700 << 1 << tag;
    QTest::newRow("lyrics-at-2-goes-first") << "xx" + lyrics + audio << 1 << false << 2
                                            << 2 + lyrics.size() - 9 << lyrics;
    // Shorter than the sentinel range 1..9: captured only up to the last byte, then dropped,
    // since no "LYRICS" was found.
    QTest::newRow("shorter-than-10-bytes") << QByteArray("abcde") << 1 << false << 1 << 1 << QByteArray();
}

void TestScanTags::markers()
{
    QFETCH(QByteArray, content);
    QFETCH(int, tagPos);
    QFETCH(bool, hasTag);
    QFETCH(int, lyricsPos);
    QFETCH(int, lyricsEndPos);
    QFETCH(QByteArray, output);

    QVERIFY(writeFile(workState.inputPath, content));
    DialogDriver driver;
    window.scanTags();

    QVERIFY(driver.seen.isEmpty());
    QCOMPARE(workState.tagPos, tagPos);
    QCOMPARE(workState.hasTag, hasTag);
    QCOMPARE(workState.lyricsPos, lyricsPos);
    QCOMPARE(workState.lyricsEndPos, lyricsEndPos);
    QCOMPARE(workState.searchPos, -1);
    QCOMPARE(workState.endSearchPos, -1);
    QVERIFY(workState.sourceBytes == content);
    // No encoder: no audio, only the pieces it would have dropped, and a full bar.
    QCOMPARE(readFile(workState.outputPath).toHex(), output.toHex());
    const auto *bar = window.findChild<QProgressBar *>("progressBar");
    QVERIFY(bar->maximum() == 100 && bar->value() == 100);
}

void TestScanTags::emptyOrUnreadableSourceIsRefused_data()
{
    QTest::addColumn<bool>("exists");
    QTest::newRow("empty-file") << true;
    QTest::newRow("missing-file") << false;
}

void TestScanTags::emptyOrUnreadableSourceIsRefused()
{
    QFETCH(bool, exists);
    if (exists) {
        QVERIFY(writeFile(workState.inputPath, QByteArray()));
    } else {
        QFile::remove(workState.inputPath);
    }
    QVERIFY(writeFile(workState.outputPath, "keep me"));
    workState.lyricsText = QStringLiteral("before");

    DialogDriver driver;
    driver.press(QStringLiteral("OK"));
    window.scanTags();

    QCOMPARE(driver.seen.size(), 1);
    QCOMPARE(driver.seen.first().title, QStringLiteral("Errore"));
    QCOMPARE(driver.seen.first().text, QStringLiteral("Errore durante lo svolgimento "
                                                      "dell'operazione, riprovare con file diversi"));
    QCOMPARE(driver.seen.first().buttons, QStringList(QStringLiteral("OK")));
    QCOMPARE(readFile(workState.outputPath), QByteArray("keep me"));
    QCOMPARE(workState.tagPos, 1);
    QCOMPARE(workState.searchPos, 0);
    QCOMPARE(workState.endSearchPos, 0);
    QCOMPARE(workState.lyricsText, QStringLiteral("before"));
    const auto *bar = window.findChild<QProgressBar *>("progressBar");
    QCOMPARE(bar->value(), 0);
}

void TestScanTags::noDestinationDoesNothing()
{
    QVERIFY(writeFile(workState.inputPath, "TAG"));
    workState.outputPath.clear();
    workState.searchPos = 42;
    DialogDriver driver;
    window.scanTags();
    QVERIFY(driver.seen.isEmpty());
    QCOMPARE(workState.searchPos, 42);
    QVERIFY(workState.sourceBytes.isEmpty());
}

QTEST_MAIN(TestScanTags)
#include "tst_scantags.moc"
