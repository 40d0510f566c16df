#include "encoderjob.h"
#include "fixtures.h"
#include "frameheader.h"
#include "markerbytes.h"
#include "rebuild.h"
#include "tagscan.h"

#include <QtTest>

#include <vector>

using namespace Fixtures;

namespace {

// Bytes in a heap block of exactly their size: QByteArray's spare byte after the end would hide
// a read one past it from the sanitizer.
struct ExactBuffer
{
    explicit ExactBuffer(const QByteArray &bytes) : storage(bytes.cbegin(), bytes.cend()) {}
    QByteArray view() const { return QByteArray::fromRawData(storage.data(), int(storage.size())); }
    std::vector<char> storage;
};

// Zeros with header at offset: the start of a file with nothing else that looks like sync.
QByteArray headerAt(int offset, const QByteArray &header = "\xFF\xFB\x90")
{
    return QByteArray(offset + 200, '\0').replace(offset, header.size(), header);
}

// What the encoder wrote, in the rebuild rows.
const QByteArray audio = "<encoded audio>";

} // namespace

class TestEngine : public QObject
{
    Q_OBJECT

private slots:
    void probe_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("expected");
        QTest::newRow("mpeg1-layer3-128k-44khz") << headerAt(0) << 128;
        QTest::newRow("mpeg1-layer2-160k") << headerAt(0, "\xFF\xFD\x90") << 160;
        QTest::newRow("mpeg1-layer1-288k") << headerAt(0, "\xFF\xFE\x90") << 288;
        QTest::newRow("mpeg1-64k-is-enough") << headerAt(0, "\xFF\xFB\x50") << 64;
        QTest::newRow("mpeg1-56k-too-low") << headerAt(0, "\xFF\xFB\x40") << -3;
        QTest::newRow("mpeg1-48khz") << headerAt(0, "\xFF\xFB\x94") << 128;
        QTest::newRow("mpeg1-32khz") << headerAt(0, "\xFF\xFB\x98") << -4;
        QTest::newRow("sample-rate-index-3") << headerAt(0, "\xFF\xFB\x9C") << -2;
        QTest::newRow("bitrate-index-15") << headerAt(0, "\xFF\xFB\xF0") << -3;
        QTest::newRow("mpeg2-64k-22khz") << headerAt(0, "\xFF\xF3\x80") << -4;
        QTest::newRow("mpeg2-layer1-64k-own-column") << headerAt(0, "\xFF\xF7\x40") << -4;
        QTest::newRow("mpeg2.5-no-bitrate") << headerAt(0, "\xFF\xE3\x90") << -3;
        QTest::newRow("free-format-no-header") << headerAt(0, QByteArray("\xFF\xFB\0", 3)) << -1;
        QTest::newRow("reserved-version-no-header") << headerAt(0, "\xFF\xEB\x90") << -1;
        QTest::newRow("reserved-layer-no-header") << headerAt(0, "\xFF\xF9\x90") << -1;
        QTest::newRow("sync-needs-three-high-bits") << headerAt(0, "\xFF\xDB\x90") << -1;
        QTest::newRow("rejected-then-real") << headerAt(0, QByteArray("\xFF\xFB\0\xFF\xFB\x98", 6))
                                            << -4;
        QTest::newRow("last-offset-in-window") << headerAt(2303) << 128;
        QTest::newRow("first-offset-past-window") << headerAt(2304) << -1;
        // Under the sanitizer build a read past the end aborts.
        QTest::newRow("header-ends-on-last-byte") << QByteArray("\0\xFF\xFB\x90", 4) << 128;
        QTest::newRow("header-cut-short") << QByteArray("\0\0\xFF\xFB", 4) << -1;
    }

    void probe()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, expected);
        const ExactBuffer buffer(content);
        QCOMPARE(probeFrameHeader(buffer.view()), expected);
        QCOMPARE(findFrameSync(buffer.view()) == -1, expected == -1); // -1, and only -1, for none
    }

    void rebuild_data()
    {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QByteArray>("expected");
        // The scan's rules show in what the rebuild puts around the encoder's audio: the first
        // "TAG" anywhere starts the tail, 1 means "not found" (so an occurrence at offset 1 is
        // passed over), and a Lyrics3 block at offset 0 or 2 goes in front of the audio.
        const QByteArray x = QByteArray(600, 'x');
        QTest::newRow("lyrics-and-tag") << x + lyrics + tag << audio + lyrics + tag;
        QTest::newRow("neither") << x << audio;
        QTest::newRow("first-tag-wins") << x + "TAG" + x + tag << audio + "TAG" + x + tag;
        QTest::newRow("tag-at-1-only") << "xTAG" + x << audio + "TAG" + x;
        QTest::newRow("tag-at-1-then-later") << "xTAG" + x + tag << audio + tag;
        QTest::newRow("overlapping-tag") << "xxTATAGAG" + x << audio + "TAGAG" + x;
        QTest::newRow("tag-in-last-bytes") << x + "TAG" << audio + "TAG";
        QTest::newRow("lyrics-at-0") << lyrics + x + tag << lyrics + audio + tag;
        QTest::newRow("lyrics-at-2") << QByteArray(2, '\0') + lyrics + x << lyrics + audio;
        QTest::newRow("lyrics-at-1-passed-over") << "x" + lyrics + x << audio + "LYRICS200";
        QTest::newRow("first-lyrics-wins") << x + lyrics + x + lyrics << audio + lyrics;
        QTest::newRow("v1-block-not-captured") << x + "LYRICSBEGINtextLYRICSEND" << audio;
        QTest::newRow("v1-block-at-9-one-byte") << "123456789LYRICSBEGIN" + x << audio + "L";
    }

    void rebuild()
    {
        QFETCH(QByteArray, source);
        QFETCH(QByteArray, expected);
        QCOMPARE(rebuildOutput(audio, scanTags(ExactBuffer(source).view())), expected);
    }

    void marker()
    {
        QCOMPARE(findMarker("xTAG", "TAG", 0), 1);
        QCOMPARE(findMarker("TTTAG", "TAG", 0), 2); // the first byte repeats
        // QByteArray's terminating NUL would complete this marker if the search ran past the end.
        QCOMPARE(findMarker("xT", QByteArray("T\0", 2), 0), -1);
    }

    void job_data()
    {
        // The encoder (lame, missing or a stand-in's mode), how src/song.mp3 is made, what
        // out/song.mp3 is before the job, and how the job ends.
        QTest::addColumn<QString>("row");
        QTest::newRow("replaces-an-output-lyrics-in-front") << "lame lyrics-first file converted";
        QTest::newRow("encoder-missing") << "missing mp3 file failed";
        QTest::newRow("crash-after-a-fragment") << "crash mp3 file failed";
        QTest::newRow("exit-0-writing-nothing") << "nothing mp3 file failed";
        QTest::newRow("output-hard-link-of-source") << "lame mp3 hard-link refused";
    }

    void job()
    {
        QFETCH(QString, row);
        const QStringList part = row.split(' ');
        QTemporaryDir directory;
        const QString source = directory.filePath("song.mp3");
        const QString output = directory.filePath("out/song.mp3");
        const QByteArray content = part[1] == "lyrics-first" ? lyrics + sample("low.mp3") + tag
                                                             : sample("low.mp3") + lyrics + tag;
        QVERIFY(writeFile(source, content) && QDir(directory.path()).mkdir("out"));
        QVERIFY(part[2] == "file" ? writeFile(output, "an earlier output that must survive")
                                  : makeHardLink(source, output));
        const QByteArray outputBefore = readFile(output);
        qputenv("STANDIN_MODE", part[0].toLatin1());
        const QString program = part[0] == "lame" ? QCoreApplication::applicationDirPath()
                + "/lame.exe" : part[0] == "missing" ? directory.filePath("lame.exe")
                                                     : QStringLiteral(STANDIN_PROGRAM);
        EncoderJob job(program, source, output);
        QSignalSpy finished(&job, &EncoderJob::finished);
        const bool started = job.start();
        QVERIFY(!started || finished.wait(20000));
        const bool converted = started && finished.first().first().toBool();
        QCOMPARE(!started ? "refused" : converted ? "converted" : "failed", part[3]);
        QVERIFY(!finished.wait(50) && finished.size() == int(started)); // ends once

        QVERIFY(readFile(source) == content);
        // Nothing but the output is left: no temporary file.
        const auto everything = QDir::AllEntries | QDir::Hidden | QDir::System;
        QCOMPARE(QDir(directory.filePath("out")).entryList(everything | QDir::NoDotAndDotDot),
                 QStringList("song.mp3"));
        QVERIFY(readFile(output) == (converted ? lyrics + lameOutput(source) + tag : outputBefore));
    }
};

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
