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
const QByteArray encoded = "<encoded audio>";

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
        QTest::newRow("second-ff-rejected") << headerAt(0, "\xFF\xFF\xFB\x90") << 128;
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
        QTest::newRow("lyrics-and-tag") << x + lyrics + tag << encoded + lyrics + tag;
        QTest::newRow("lyrics-only") << x + lyrics << encoded + lyrics;
        QTest::newRow("neither") << x << encoded;
        QTest::newRow("first-tag-wins") << x + "TAG" + x + tag << encoded + "TAG" + x + tag;
        QTest::newRow("tag-at-0") << "TAG" + x + tag << encoded + "TAG" + x + tag;
        QTest::newRow("tag-at-1-only") << "xTAG" + x << encoded + "TAG" + x;
        QTest::newRow("tag-at-1-then-later") << "xTAG" + x + tag << encoded + tag;
        QTest::newRow("overlapping-tag") << "xxTATAGAG" + x << encoded + "TAGAG" + x;
        QTest::newRow("tag-in-last-bytes") << x + "TAG" << encoded + "TAG";
        QTest::newRow("lyrics-at-0") << lyrics + x + tag << lyrics + encoded + tag;
        QTest::newRow("lyrics-at-2") << QByteArray(2, '\0') + lyrics + x << lyrics + encoded;
        QTest::newRow("lyrics-at-1-passed-over") << "x" + lyrics + x << encoded + "LYRICS200";
        QTest::newRow("first-lyrics-wins") << x + lyrics + x + lyrics << encoded + lyrics;
        QTest::newRow("v1-block-not-captured") << x + "LYRICSBEGINtextLYRICSEND" << encoded;
        QTest::newRow("v1-block-at-9-one-byte") << "123456789LYRICSBEGIN" + x << encoded + "L";
    }

    void rebuild()
    {
        QFETCH(QByteArray, source);
        QFETCH(QByteArray, expected);
        QCOMPARE(rebuildOutput(encoded, scanTags(ExactBuffer(source).view())), expected);
    }

    void marker_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("marker");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("expected");
        QTest::newRow("one-byte-marker") << QByteArray("abcb") << QByteArray("b") << 2 << 3;
        QTest::newRow("ends-on-last-byte") << QByteArray("xTAG") << QByteArray("TAG") << 1 << 1;
        QTest::newRow("first-byte-repeats") << QByteArray("TTTAG") << QByteArray("TAG") << 0 << 2;
        // QByteArray's terminating NUL would complete this marker if the search ran past the end.
        QTest::newRow("never-past-the-end") << QByteArray("xT") << QByteArray("T\0", 2) << 0 << -1;
    }

    void marker()
    {
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, marker);
        QFETCH(int, from);
        QTEST(findMarker(content, marker, from), "expected");
    }

    void probeFile()
    {
        QTemporaryDir directory;
        QVERIFY(writeFile(directory.filePath("good.mp3"), sample("good.mp3")));
        QCOMPARE(::probeFile(directory.filePath("good.mp3")), 128);
        QCOMPARE(::probeFile(directory.filePath("missing.mp3")), -1);
        QCOMPARE(::probeFile(directory.path()), -1);
    }

    void job_data()
    {
        // The encoder (lame, missing or a stand-in's mode), how src/song.mp3 is made, what
        // out/song.mp3 is before the job, and how the job ends.
        QTest::addColumn<QString>("row");
        QTest::newRow("replaces-an-output") << "lame mp3 file converted";
        QTest::newRow("replaces-a-link-not-its-target") << "lame mp3 symlink-elsewhere converted";
        QTest::newRow("lyrics-in-front") << "lame lyrics-first none converted";
        QTest::newRow("encoder-missing") << "missing mp3 file failed";
        QTest::newRow("exit-1-after-a-fragment") << "fragment mp3 file failed";
        QTest::newRow("crash-after-a-fragment") << "crash mp3 file failed";
        QTest::newRow("exit-0-writing-nothing") << "nothing mp3 file failed";
        QTest::newRow("source-of-2-gib") << "lame huge file refused";
        QTest::newRow("output-folder-missing") << "lame mp3 no-folder refused";
        QTest::newRow("fifo-source") << "lame fifo file refused";
        QTest::newRow("output-hard-link-of-source") << "lame mp3 hardlink refused";
        QTest::newRow("output-symlink-to-source") << "lame mp3 symlink refused";
    }

    void job()
    {
        QFETCH(QString, row);
        const QStringList part = row.split(' ');
        QTemporaryDir directory;
        const QString source = directory.filePath("song.mp3");
        const QString output = directory.filePath("out/song.mp3");
        const QString elsewhere = directory.filePath("elsewhere");
        QVERIFY(QDir(directory.path()).mkdir("out") && writeFile(elsewhere, "another file"));
        const QByteArray tail = lyricsAndTag();
        const int lyricsSize = tail.indexOf("LYRICS200") + 9;
        const QMap<QString, QByteArray> sources = {
            { "mp3", sample("low.mp3") + tail },
            { "lyrics-first", tail.left(lyricsSize) + sample("low.mp3") + tail.mid(lyricsSize) } };
        if (sources.contains(part[1])) {
            QVERIFY(writeFile(source, sources[part[1]]));
        } else if (part[1] == "huge") {
            QFile huge(source); // sparse: no disk space, and it must not be read
            QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(qint64(1) << 31));
        } else {
#ifdef Q_OS_WIN
            QSKIP("Windows has no FIFOs");
#else
            QVERIFY(mkfifo(QFile::encodeName(source).constData(), 0600) == 0);
#endif
        }
        if (part[2] == "file") {
            QVERIFY(writeFile(output, "an earlier output that must survive"));
        } else if (part[2] == "no-folder") {
            QVERIFY(QDir(directory.filePath("out")).removeRecursively());
        } else if (part[2] != "none"
                   && !makeLink(part[2] == "hardlink",
                                part[2].endsWith("elsewhere") ? elsewhere : source, output)) {
            QSKIP("This system makes no symbolic links");
        }
        const QByteArray outputBefore = readFile(output);
        qputenv("STANDIN_MODE", part[0].toLatin1());
        const QString lame = QCoreApplication::applicationDirPath() + "/lame.exe";
        const QString program = part[0] == "lame" ? lame
            : part[0] == "missing"                ? directory.filePath("lame.exe")
                                                  : QStringLiteral(STANDIN_PROGRAM);
        EncoderJob job(program, source, output);
        QSignalSpy finished(&job, &EncoderJob::finished);
        const bool started = job.start();
        QVERIFY(!started || finished.wait(20000));
        const bool converted = started && finished.first().first().toBool();
        QCOMPARE(!started ? "refused" : converted ? "converted" : "failed", part[3]);
        QVERIFY(!finished.wait(50) && finished.size() == int(started)); // ends once

        QVERIFY(!sources.contains(part[1]) || readFile(source) == sources[part[1]]);
        QCOMPARE(readFile(elsewhere), QByteArray("another file"));
        // Nothing but the output is left: no temporary file.
        const QDir out(directory.filePath("out"));
        const auto everything = QDir::AllEntries | QDir::Hidden | QDir::System;
        QCOMPARE(out.entryList(everything | QDir::NoDotAndDotDot),
                 part[2] == "no-folder" ? QStringList() : QStringList("song.mp3"));
        const QByteArray audio = converted ? lameOutput(source) : QByteArray();
        QVERIFY(!converted || !QFileInfo(output).isSymLink());
        QVERIFY(readFile(output) == (!converted       ? outputBefore
                                     : part[1] == "mp3" ? audio + tail
                                                        : tail.left(lyricsSize) + audio
                                                            + tail.mid(lyricsSize)));
    }
};

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
