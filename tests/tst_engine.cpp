#include "encoderjob.h"
#include "fixtures.h"
#include "frameheader.h"
#include "markerbytes.h"
#include "rebuild.h"
#include "tagscan.h"

#include <QtTest>

#include <vector>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

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

const QByteArray lyrics = QByteArrayLiteral("LYRICSBEGINLYR00005l\xE0\0\xFFx000025LYRICS200");
const QByteArray tag = QByteArrayLiteral("TAG\0\xE8\xFF") + QByteArray(122, '\0');
const QByteArray audio(700, 'a');
const QByteArray encoded = "<encoded audio>";

} // namespace

class TestEngine : public QObject
{
    Q_OBJECT

private slots:
    void probe_data();
    void probe();
    void rebuild_data();
    void rebuild();
    void probeFile();
    void marker_data();
    void marker();
    void job_data();
    void job();
};

void TestEngine::probe_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("expected");

    QTest::newRow("mpeg1-layer3-128k-44k") << headerAt(0) << 128;
    QTest::newRow("mpeg1-layer2-160k") << headerAt(0, "\xFF\xFD\x90") << 160;
    QTest::newRow("mpeg1-layer1-288k") << headerAt(0, "\xFF\xFE\x90") << 288;
    QTest::newRow("mpeg1-64k-is-enough") << headerAt(0, "\xFF\xFB\x50") << 64;
    QTest::newRow("mpeg1-56k-too-low") << headerAt(0, "\xFF\xFB\x40") << -3;
    QTest::newRow("mpeg1-48khz") << headerAt(0, "\xFF\xFB\x94") << 128;
    QTest::newRow("mpeg1-32khz") << headerAt(0, "\xFF\xFB\x98") << -4;
    QTest::newRow("sample-rate-index-3") << headerAt(0, "\xFF\xFB\x9C") << -2;
    QTest::newRow("bitrate-index-15") << headerAt(0, "\xFF\xFB\xF0") << -3;
    QTest::newRow("mpeg2-64k-22khz") << headerAt(0, "\xFF\xF3\x80") << -4;
    QTest::newRow("mpeg2-32k") << headerAt(0, "\xFF\xF3\x40") << -3;
    QTest::newRow("mpeg2-layer2-56k-24khz") << headerAt(0, "\xFF\xF5\x74") << -3;
    QTest::newRow("mpeg2.5-no-bitrate") << headerAt(0, "\xFF\xE3\x90") << -3;
    QTest::newRow("mpeg2.5-8khz") << headerAt(0, "\xFF\xE3\x98") << -3;
    QTest::newRow("mpeg2-layer1-64k-own-column") << headerAt(0, "\xFF\xF7\x40") << -4;
    QTest::newRow("free-format-is-no-header") << headerAt(0, QByteArray("\xFF\xFB\x00", 3)) << -1;
    QTest::newRow("reserved-version-no-header") << headerAt(0, "\xFF\xEB\x90") << -1;
    QTest::newRow("reserved-layer-no-header") << headerAt(0, "\xFF\xF9\x90") << -1;
    QTest::newRow("sync-needs-three-high-bits") << headerAt(0, "\xFF\xDB\x90") << -1;
    QTest::newRow("second-ff-rejected") << headerAt(0, "\xFF\xFF\xFB\x90") << 128;
    QTest::newRow("rejected-then-real") << headerAt(0, QByteArray("\xFF\xFB\x00\xFF\xFB\x98", 6))
                                        << -4;
    QTest::newRow("last-offset-in-window") << headerAt(2303) << 128;
    QTest::newRow("first-offset-past-window") << headerAt(2304) << -1;
    // Under the sanitizer build a read past the end aborts.
    QTest::newRow("header-ends-on-last-byte") << QByteArray("\0\xFF\xFB\x90", 4) << 128;
    QTest::newRow("header-cut-short") << QByteArray("\0\0\xFF\xFB", 4) << -1;
    QTest::newRow("only-ff") << QByteArray(3000, '\xFF') << -1;
}

void TestEngine::probe()
{
    QFETCH(QByteArray, content);
    QFETCH(int, expected);

    const ExactBuffer buffer(content);
    QCOMPARE(probeFrameHeader(buffer.view()), expected);
    QCOMPARE(findFrameSync(buffer.view()) == -1, expected == -1); // -1, and only -1, for none
}

void TestEngine::rebuild_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QByteArray>("expected");

    // The scan's rules show in what the rebuild puts around the encoder's audio: the first
    // "TAG" anywhere starts the tail, 1 means "not found" (so an occurrence at offset 1 is
    // passed over), and a Lyrics3 block at offset 0 or 2 goes in front of the audio.
    const QByteArray x = QByteArray(600, 'x');
    QTest::newRow("lyrics-and-tag") << audio + lyrics + tag << encoded + lyrics + tag;
    QTest::newRow("lyrics-only") << audio + lyrics << encoded + lyrics;
    QTest::newRow("tag-only") << audio + tag << encoded + tag;
    QTest::newRow("neither") << audio << encoded;
    QTest::newRow("empty") << QByteArray() << encoded;
    const QByteArray afterTag("\0tail", 5);
    QTest::newRow("bytes-after-tag") << audio + tag + afterTag << encoded + tag + afterTag;
    QTest::newRow("first-tag-wins") << audio + "TAG" + x + tag << encoded + "TAG" + x + tag;
    QTest::newRow("tag-at-0") << "TAG" + x + tag << encoded + "TAG" + x + tag;
    QTest::newRow("tag-at-1-only") << "xTAG" + x << encoded + "TAG" + x;
    QTest::newRow("tag-at-1-then-later") << "xTAG" + x + tag << encoded + tag;
    QTest::newRow("overlapping-tag") << "xxTATAGAG" + x << encoded + "TAGAG" + x;
    QTest::newRow("tag-in-last-bytes") << x + "TAG" << encoded + "TAG";
    QTest::newRow("near-miss-at-the-end") << x + "TAH" << encoded;
    QTest::newRow("lyrics-at-0") << lyrics + audio + tag << lyrics + encoded + tag;
    QTest::newRow("lyrics-at-2") << QByteArray(2, '\0') + lyrics + audio << lyrics + encoded;
    QTest::newRow("lyrics-at-1-passed-over") << "x" + lyrics + audio << encoded + "LYRICS200";
    QTest::newRow("first-lyrics-wins") << audio + lyrics + audio + lyrics << encoded + lyrics;
    QTest::newRow("v1-block-not-captured") << audio + "LYRICSBEGINtextLYRICSEND" << encoded;
    QTest::newRow("v1-block-at-9-one-byte") << "123456789LYRICSBEGIN" + audio << encoded + "L";
    QTest::newRow("v1-block-at-3-to-byte-9") << "xxxLYRICSBEGIN" + audio << encoded + "LYRICSB";
    QTest::newRow("end-marker-cut-short") << x + "LYRICSBEGINLYRICS20" << encoded;
    QTest::newRow("lone-end-marker-at-0") << "LYRICS200" + audio << "LYRICS200" + encoded;
}

void TestEngine::rebuild()
{
    QFETCH(QByteArray, source);
    QFETCH(QByteArray, expected);

    QCOMPARE(rebuildOutput(encoded, scanTags(ExactBuffer(source).view())), expected);
}

void TestEngine::probeFile()
{
    QTemporaryDir directory;
    QVERIFY(writeFile(directory.filePath("good.mp3"), sample("good.mp3")));
    QCOMPARE(::probeFile(directory.filePath("good.mp3")), 128);
    QCOMPARE(::probeFile(directory.filePath("missing.mp3")), -1);
    QCOMPARE(::probeFile(directory.path()), -1);
}

void TestEngine::marker_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("marker");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("expected");

    QTest::newRow("one-byte-marker") << QByteArray("abcb") << QByteArray("b") << 2 << 3;
    QTest::newRow("at-the-start") << QByteArray("TAGx") << QByteArray("TAG") << 0 << 0;
    QTest::newRow("ends-on-last-byte") << QByteArray("xTAG") << QByteArray("TAG") << 1 << 1;
    QTest::newRow("from-past-it") << QByteArray("xTAG") << QByteArray("TAG") << 2 << -1;
    QTest::newRow("from-negative") << QByteArray("TAG") << QByteArray("TAG") << -1 << -1;
    QTest::newRow("empty-marker") << QByteArray("TAG") << QByteArray() << 0 << -1;
    QTest::newRow("first-byte-repeats") << QByteArray("TTTAG") << QByteArray("TAG") << 0 << 2;
    // QByteArray's terminating NUL would complete this marker if the search ran past the end.
    QTest::newRow("never-past-the-end") << QByteArray("xT") << QByteArray("T\0", 2) << 0 << -1;
}

void TestEngine::marker()
{
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, marker);
    QFETCH(int, from);

    QTEST(findMarker(content, marker, from), "expected");
}

void TestEngine::job_data()
{
    // The encoder (lame, missing, plain-file or a stand-in's mode), how src/song.mp3 is made,
    // what out/song.mp3 is before the job, and how the job ends.
    QTest::addColumn<QString>("row");

    QTest::newRow("converts") << "lame mp3 none converted";
    QTest::newRow("replaces-an-output") << "lame mp3 file converted";
    QTest::newRow("replaces-a-link-not-its-target") << "lame mp3 link converted";
    QTest::newRow("lyrics-in-front") << "lame lyrics-first none converted";
    QTest::newRow("encoder-missing") << "missing mp3 file failed";
    QTest::newRow("encoder-not-executable") << "plain-file mp3 file failed";
    QTest::newRow("exit-1-after-a-fragment") << "fragment mp3 file failed";
    QTest::newRow("crash-after-a-fragment") << "crash mp3 file failed";
    QTest::newRow("destination-deleted") << "rmdir mp3 file failed";
    QTest::newRow("exit-0-writing-nothing") << "nothing mp3 file failed";
    QTest::newRow("encoder-rejects-it") << "lame text file failed";
    QTest::newRow("empty-source") << "lame empty file refused";
    QTest::newRow("missing-source") << "lame missing file refused";
    QTest::newRow("source-of-2-gib") << "lame huge file refused";
    QTest::newRow("output-folder-missing") << "lame mp3 no-folder refused";
    QTest::newRow("fifo-source") << "lame fifo file refused";
    QTest::newRow("source-links-to-a-device") << "lame device file refused";
    QTest::newRow("output-hard-link-of-source") << "lame mp3 hardlink refused";
    QTest::newRow("output-symlink-to-source") << "lame mp3 symlink refused";
    QTest::newRow("output-name-is-a-folder") << "lame mp3 folder failed";
}

void TestEngine::job()
{
    QFETCH(QString, row);
    const QString encoder = row.section(' ', 0, 0);
    const QString source = row.section(' ', 1, 1);
    const QString output = row.section(' ', 2, 2);

    QTemporaryDir directory;
    QVERIFY(QDir(directory.path()).mkdir("out"));
    const QString sourcePath = directory.filePath("song.mp3");
    const QString outputPath = directory.filePath("out/song.mp3");
    const QString elsewhere = directory.filePath("elsewhere");
    QVERIFY(writeFile(elsewhere, "another file"));
    const int lyricsSize = lyricsAndTag().indexOf("LYRICS200") + 9;
    const QMap<QString, QByteArray> sources = {
        { "mp3", sample("low.mp3") + lyricsAndTag() }, { "text", QByteArray(5000, 'x') },
        { "lyrics-first", lyricsAndTag().left(lyricsSize) + sample("low.mp3")
                              + lyricsAndTag().mid(lyricsSize) },
        { "empty", QByteArray() },
    };
    if (sources.contains(source)) {
        QVERIFY(writeFile(sourcePath, sources.value(source)));
    } else if (source == "huge") {
        QFile huge(sourcePath); // sparse: no disk space, and it must not be read
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(qint64(1) << 31));
    } else if (source != "missing") {
#ifdef Q_OS_WIN
        QSKIP("Windows has no FIFOs or device files among ordinary files");
#else
        QVERIFY(source == "fifo" ? mkfifo(QFile::encodeName(sourcePath).constData(), 0600) == 0
                                 : makeLink("symlink", "/dev/zero", sourcePath));
#endif
    }
    if (output == "file") {
        QVERIFY(writeFile(outputPath, "an earlier output that must survive"));
    } else if (output == "no-folder") {
        QVERIFY(QDir(directory.filePath("out")).removeRecursively());
    } else if (output == "folder") {
        QVERIFY(QDir(directory.path()).mkpath("out/song.mp3/inside"));
    } else if (output != "none"
               && !makeLink(output == "hardlink" ? output : "symlink",
                            output == "link" ? elsewhere : sourcePath, outputPath)) {
        QSKIP("This system makes no symbolic links (Windows: only for administrators or in "
              "developer mode; Wine 8: never)");
    }
    const QByteArray outputBefore = readFile(outputPath);
    qputenv("STANDIN_MODE", encoder.toLatin1());

    EncoderJob job(encoder == "lame"          ? QCoreApplication::applicationDirPath() + "/lame.exe"
                       : encoder == "missing"    ? directory.filePath("lame.exe")
                       : encoder == "plain-file" ? elsewhere
                                                 : QStringLiteral(STANDIN_PROGRAM),
                   sourcePath, outputPath);
    QSignalSpy finished(&job, &EncoderJob::finished);
    const bool started = job.start();
    QVERIFY(!started || finished.wait(20000));
    const bool converted = started && finished.first().first().toBool();
    QCOMPARE(!started ? "refused" : converted ? "converted" : "failed", row.section(' ', 3));
    QVERIFY(!finished.wait(50) && finished.size() == int(started)); // ends once

    QVERIFY(!sources.contains(source) || readFile(sourcePath) == sources.value(source));
    QCOMPARE(readFile(elsewhere), QByteArray("another file"));
    const bool noFolder = encoder == "rmdir" || output == "no-folder";
    // Nothing but the output is left: no temporary file.
    QCOMPARE(QDir(directory.filePath("out")).entryList(QDir::AllEntries | QDir::Hidden
                                                           | QDir::System | QDir::NoDotAndDotDot),
             noFolder ? QStringList() : QStringList("song.mp3"));
    if (!converted) {
        QVERIFY(noFolder || readFile(outputPath) == outputBefore);
        return;
    }
    const QByteArray audio = lameOutput(sourcePath);
    const QByteArray tail = lyricsAndTag();
    QVERIFY(!audio.isEmpty() && !QFileInfo(outputPath).isSymLink());
    QVERIFY(readFile(outputPath) == (source == "lyrics-first"
                                         ? tail.left(lyricsSize) + audio + tail.mid(lyricsSize)
                                         : audio + tail));
}

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
