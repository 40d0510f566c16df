#include "frameheader.h"
#include "rebuild.h"
#include "tagscan.h"

#include <QtTest>

#include <memory>

namespace {

// Content in a heap block of exactly its own size: a QByteArray keeps a spare byte after its end,
// which would hide a read one past it from the sanitizer.
class ExactBuffer
{
public:
    explicit ExactBuffer(const QByteArray &bytes)
        : storage(new char[std::max(bytes.size(), 1)])
        , size(bytes.size())
    {
        std::copy(bytes.cbegin(), bytes.cend(), storage.get());
    }
    QByteArray view() const { return QByteArray::fromRawData(storage.get(), size); }

private:
    std::unique_ptr<char[]> storage;
    int size;
};

QByteArray headerAt(int offset, const QByteArray &header = "\xFF\xFB\x90")
{
    QByteArray content(offset + 200, '\0');
    return content.replace(offset, header.size(), header);
}

// Filler without any marker's first letter, with "TAG" at the given offsets.
QByteArray withTagsAt(const QList<int> &offsets)
{
    QByteArray content(600, 'x');
    for (const int offset : offsets) {
        content.replace(offset, 3, "TAG");
    }
    return content;
}

} // namespace

class TestEngine : public QObject
{
    Q_OBJECT

private slots:
    void probe_data();
    void probe();
    void probeNeverReadsPastTheEnd();
    void scan_data();
    void scan();
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
    QTest::newRow("mpeg2.5-no-bitrate") << headerAt(0, "\xFF\xE3\x90") << -3;
    QTest::newRow("mpeg2-layer1-own-column") << headerAt(0, "\xFF\xF7\xE0") << -4;
    QTest::newRow("free-format-is-no-header") << headerAt(0, QByteArray("\xFF\xFB\x00", 3)) << -1;
    QTest::newRow("reserved-version-no-header") << headerAt(0, "\xFF\xEB\x90") << -1;
    QTest::newRow("reserved-layer-no-header") << headerAt(0, "\xFF\xF9\x90") << -1;
    QTest::newRow("sync-needs-three-high-bits") << headerAt(0, "\xFF\xDB\x90") << -1;
    QTest::newRow("second-ff-rejected") << headerAt(0, "\xFF\xFF\xFB\x90") << 128;
    QTest::newRow("rejected-then-real") << headerAt(0, QByteArray("\xFF\xFB\x00\xFF\xFB\x98", 6)) << -4;
    QTest::newRow("last-offset-in-window") << headerAt(2303) << 128;
    QTest::newRow("first-offset-past-window") << headerAt(2304) << -1;
    QTest::newRow("empty") << QByteArray() << -1;
}

void TestEngine::probe()
{
    QFETCH(QByteArray, content);
    QFETCH(int, expected);

    QCOMPARE(probeFrameHeader(ExactBuffer(content).view()), expected);
}

void TestEngine::probeNeverReadsPastTheEnd()
{
    // For every length up to just past the window: a header ending on the last byte is found
    // while it starts inside the window, one cut short by a byte is no header, and a run of 0xFF
    // reaching the end is never one. Under the sanitizer build any read past the end aborts.
    for (int length = 0; length <= 2310; ++length) {
        QByteArray complete(length, '\0');
        if (length >= 3) {
            complete.replace(length - 3, 3, "\xFF\xFB\x90");
        }
        const int expected = (length >= 3 && length - 3 <= 2303) ? 128 : -1;
        QByteArray cutShort(length, '\0');
        if (length >= 2) {
            cutShort.replace(length - 2, 2, "\xFF\xFB");
        }
        QVERIFY2(probeFrameHeader(ExactBuffer(complete).view()) == expected
                     && probeFrameHeader(ExactBuffer(cutShort).view()) == -1
                     && findFrameSync(ExactBuffer(QByteArray(length, '\xFF')).view()) == -1,
                 qPrintable(QStringLiteral("length %1").arg(length)));
    }
}

void TestEngine::scan_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<int>("tagPos");
    QTest::addColumn<bool>("hasTag");
    QTest::addColumn<int>("lyricsPos");
    QTest::addColumn<int>("lyricsEndPos");
    QTest::addColumn<QByteArray>("lyricsBlock");

    const QByteArray audio(700, 'a');
    const QByteArray lyrics = "LYRICSBEGININD0000211LYR00004la la000036LYRICS200";
    const QByteArray tag = "TAG" + QByteArray(124, '\0') + '\xFF';
    QTest::newRow("none") << withTagsAt({}) << 1 << false << 1 << 1 << QByteArray();
    QTest::newRow("empty") << QByteArray() << 1 << false << 1 << 1 << QByteArray();
    QTest::newRow("tag-at-0") << withTagsAt({ 0, 500 }) << 0 << true << 1 << 1 << QByteArray();
    QTest::newRow("tag-at-1-reads-as-1") << withTagsAt({ 1 }) << 1 << true << 1 << 1 << QByteArray();
    QTest::newRow("tag-at-1-then-500") << withTagsAt({ 1, 500 }) << 500 << true << 1 << 1
                                       << QByteArray();
    QTest::newRow("first-tag-wins") << withTagsAt({ 40, 497 }) << 40 << true << 1 << 1
                                    << QByteArray();
    QTest::newRow("tag-at-last-offset") << withTagsAt({ 597 }) << 597 << true << 1 << 1
                                        << QByteArray();
    QTest::newRow("overlapping-run") << QByteArray("xxTATAGAG") << 4 << true << 1 << 1
                                     << QByteArray();
    QTest::newRow("lyrics-and-tag") << audio + lyrics + tag << 700 + lyrics.size() << true << 700
                                    << 700 + lyrics.size() - 9 << lyrics;
    QTest::newRow("lyrics-v1-block-not-captured")
        << audio + "LYRICSBEGINtestoLYRICSEND" + tag << 725 << true << 700 << 1 << QByteArray();
    QTest::newRow("lyrics-at-2") << "xx" + lyrics + audio << 1 << false << 2 << lyrics.size() - 7
                                 << lyrics;
    QTest::newRow("lyrics-v1-at-3-captured-to-9")
        << QByteArray("xxxLYRICSBEGIN") << 1 << false << 3 << 1 << QByteArray("LYRICSB");
    QTest::newRow("end-marker-cut-short") << QByteArray("xxxLYRICS20") << 1 << false << 3 << 1
                                          << QByteArray("LYRICS2");
}

void TestEngine::scan()
{
    QFETCH(QByteArray, source);

    const TagScan scan = scanTags(ExactBuffer(source).view());
    QTEST(int(scan.tagPos), "tagPos");
    QTEST(scan.hasTag, "hasTag");
    QTEST(int(scan.lyricsPos), "lyricsPos");
    QTEST(int(scan.lyricsEndPos), "lyricsEndPos");
    QTEST(scan.lyricsBlock, "lyricsBlock");
    // The tail runs from the first "TAG" to the end, whatever follows the tag itself.
    QCOMPARE(scan.tagTail, scan.hasTag ? source.mid(scan.tagPos) : QByteArray());
}

void TestEngine::rebuild_data()
{
    QTest::addColumn<QByteArray>("lead");
    QTest::addColumn<QByteArray>("tail");
    QTest::addColumn<bool>("lyricsFirst");

    // Every byte value must come through, the zeros of ID3v1 fields and 0xFF included.
    QByteArray tag = "TAG";
    for (int i = 0; i < 125; ++i) {
        tag += char(i * 2 + 1);
    }
    tag[40] = '\0';
    const QByteArray lyrics = QByteArrayLiteral("LYRICSBEGININD0000211LYR00004l\xE0\0\xFF"
                                                "000036LYRICS200");
    QTest::newRow("lyrics-and-tag") << QByteArray() << lyrics + tag << false;
    QTest::newRow("lyrics-only") << QByteArray() << lyrics << false;
    QTest::newRow("tag-only") << QByteArray() << tag << false;
    QTest::newRow("neither") << QByteArray() << QByteArray() << false;
    QTest::newRow("lyrics-at-0-and-tag") << QByteArray() << lyrics + tag << true;
    QTest::newRow("lyrics-at-2-no-tag") << QByteArray("\0\0", 2) << lyrics << true;
    QTest::newRow("bytes-after-tag") << QByteArray() << tag + QByteArray("\0tail\xFF", 6) << false;
}

void TestEngine::rebuild()
{
    QFETCH(QByteArray, lead);
    QFETCH(QByteArray, tail);
    QFETCH(bool, lyricsFirst);

    // The source: whatever leads, then (for lyrics-first rows) the Lyrics3 block, then audio
    // without any marker, then the tail.
    const QByteArray sourceAudio(3000, 'a');
    const int lyricsEnd = tail.indexOf("LYRICS200") + 9;
    const QByteArray lyrics = lyricsEnd > 8 ? tail.left(lyricsEnd) : QByteArray();
    const QByteArray source = lyricsFirst ? lead + lyrics + sourceAudio + tail.mid(lyrics.size())
                                          : lead + sourceAudio + tail;
    const QByteArray encoded(1500, 'e');
    const QByteArray expected = lyricsFirst ? lyrics + encoded + tail.mid(lyrics.size())
                                            : encoded + tail;
    QCOMPARE(rebuildOutput(encoded, scanTags(source)), expected);
}

QTEST_APPLESS_MAIN(TestEngine)
#include "tst_engine.moc"
