#include "fixtures.h"
#include "mainwindow.h"
#include "workstate.h"

#include <QCryptographicHash>
#include <QProgressBar>
#include <QtTest>

using namespace Fixtures;

// End to end through the real encoder: every output is compared byte for byte with what an
// independent lame run on the same source gives, plus the pieces the encoder drops.
class TestRebuild : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void layouts_data();
    void layouts();
    void secondConversionOverwrites();

private:
    void convert(const QString &input, const QString &output);

    QTemporaryDir directory;
    QByteArray audio;
};

void TestRebuild::initTestCase()
{
    QVERIFY(directory.isValid());
    // A low-quality source, like the files the program is for.
    audio = toneMp3(directory.path(), 1.5, { QStringLiteral("-b"), QStringLiteral("32") });
    QVERIFY2(!audio.isEmpty(), "lame could not make the fixture");
    QVERIFY2(!audio.contains("TAG") && !audio.contains("LYRICS"), "the tone holds a marker");
}

void TestRebuild::init()
{
    WorkState &s = workState;
    s.lyricsPos = s.lyricsEndPos = 1;
    s.lyricsText.clear();
    s.tagText.clear();
    s.hasTag = false;
}

void TestRebuild::convert(const QString &input, const QString &output)
{
    MainWindow window;
    init();
    workState.inputPath = input;
    workState.outputPath = output;
    window.scanTags();
    // The bar goes from busy to full once the encoder has ended.
    const auto *bar = window.findChild<QProgressBar *>("progressBar");
    QVERIFY(bar->maximum() == 100 && bar->value() == 100);
}

void TestRebuild::layouts_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<QByteArray>("lyrics");
    QTest::addColumn<QByteArray>("tag");
    QTest::addColumn<bool>("lyricsFirst");

    const QByteArray lyrics = lyrics3Block("[00:01]Una riga\r\ncon \xE8 e \xFF e \0 zero");
    const QByteArray tag = id3v1Tag();
    QTest::newRow("lyrics-and-tag") << QByteArray() << lyrics + tag << lyrics << tag << false;
    QTest::newRow("lyrics-only") << QByteArray() << lyrics << lyrics << QByteArray() << false;
    QTest::newRow("tag-only") << QByteArray() << tag << QByteArray() << tag << false;
    QTest::newRow("neither") << QByteArray() << QByteArray() << QByteArray() << QByteArray() << false;
    QTest::newRow("lyrics-at-0-and-tag") << lyrics << tag << lyrics << tag << true;
    QTest::newRow("lyrics-at-2-no-tag") << "\0\0" + lyrics << QByteArray() << lyrics << QByteArray() << true;
    // Whatever follows the first "TAG" rides along, trailing bytes included.
    QTest::newRow("bytes-after-tag") << QByteArray() << tag + "\0tail\xFF" << QByteArray()
                                     << tag + "\0tail\xFF" << false;
}

void TestRebuild::layouts()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QFETCH(QByteArray, lyrics);
    QFETCH(QByteArray, tag);
    QFETCH(bool, lyricsFirst);

    const QString source = directory.filePath(QStringLiteral("source.mp3"));
    const QString output = directory.filePath(QStringLiteral("output.mp3"));
    const QString reference = directory.filePath(QStringLiteral("reference.mp3"));
    QFile::remove(output);
    const QByteArray sourceBytes = before + audio + after;
    QVERIFY(writeFile(source, sourceBytes));
    QCOMPARE(runLame({ QStringLiteral("--resample"), QStringLiteral("44.1"), QStringLiteral("-b"),
                       QStringLiteral("192"), source, reference }), 0);
    const QByteArray encoded = readFile(reference);
    QVERIFY(encoded.size() > 10000);

    convert(source, output);

    const QByteArray expected = lyricsFirst ? lyrics + encoded + tag : encoded + lyrics + tag;
    const QByteArray rebuilt = readFile(output);
    QCOMPARE(rebuilt.size(), expected.size());
    QVERIFY(rebuilt == expected);
    QCOMPARE(QCryptographicHash::hash(readFile(source), QCryptographicHash::Sha256),
             QCryptographicHash::hash(sourceBytes, QCryptographicHash::Sha256));
    // What the scan and the rebuild leave behind.
    QCOMPARE(workState.searchPos, -1);
    QCOMPARE(workState.endSearchPos, -1);
    QVERIFY(workState.encodedBytes == encoded);
    QCOMPARE(workState.tagText.toLatin1(), tag);
}

void TestRebuild::secondConversionOverwrites()
{
    const QString source = directory.filePath(QStringLiteral("again.mp3"));
    const QString output = directory.filePath(QStringLiteral("again-out.mp3"));
    QVERIFY(writeFile(source, audio + lyrics3Block("testo") + id3v1Tag()));
    QVERIFY(writeFile(output, QByteArray(500000, 'z')));

    convert(source, output);
    const QByteArray first = readFile(output);
    convert(source, output);
    QVERIFY(readFile(output) == first);
    QVERIFY(first.endsWith(lyrics3Block("testo") + id3v1Tag()));
    QVERIFY(!first.contains("zzzz"));

}

QTEST_MAIN(TestRebuild)
#include "tst_rebuild.moc"
