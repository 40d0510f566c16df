#include "frameheader.h"
#include "rebuild.h"
#include "tagscan.h"

#include <QtTest>

#include <vector>

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

    QCOMPARE(probeFrameHeader(ExactBuffer(content).view()), expected);
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

QTEST_APPLESS_MAIN(TestEngine)
#include "tst_engine.moc"
