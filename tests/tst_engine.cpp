#include "encoderjob.h"
#include "fixtures.h"
#include "frameheader.h"
#include "rebuild.h"
#include "runfolder.h"
#include "safefiles.h"
#include "tagscan.h"

#include <QtTest>

#ifndef Q_OS_WIN
#include <fcntl.h>
#endif

using namespace Fixtures;

namespace {

// Zeros with header at offset: the start of a file with nothing else that looks like sync.
QByteArray headerAt(int offset, const QByteArray &header = "\xFF\xFB\x90")
{
    return QByteArray(offset + 200, '\0').replace(offset, header.size(), header);
}

// A header whose last byte lies just past the end of what is read: a probe must not see it.
const char headerPastTheEnd[] = "\0\0\xFF\xFB\x90";

// What the encoder wrote, in the rebuild rows.
const QByteArray audio = "<encoded audio>";

// A source whose reads fail after the first, as a stick's bad cluster fails partway through.
class BadCluster : public QBuffer
{
protected:
    qint64 readData(char *data, qint64 size) override
    {
        return pos() > 0 ? -1 : QBuffer::readData(data, size);
    }
};

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
        QTest::newRow("mpeg1-layer1-288k") << headerAt(0, "\xFF\xFE\x90") << 288;
        QTest::newRow("mpeg1-64k-is-enough") << headerAt(0, "\xFF\xFB\x50") << 64;
        QTest::newRow("mpeg1-56k-too-low") << headerAt(0, "\xFF\xFB\x40") << -3;
        QTest::newRow("mpeg1-48khz") << headerAt(0, "\xFF\xFB\x94") << 128;
        QTest::newRow("mpeg1-32khz") << headerAt(0, "\xFF\xFB\x98") << -4;
        QTest::newRow("sample-rate-index-3") << headerAt(0, "\xFF\xFB\x9C") << -2;
        QTest::newRow("bitrate-index-15") << headerAt(0, "\xFF\xFB\xF0") << -3;
        QTest::newRow("mpeg2-layer1-64k-own-column") << headerAt(0, "\xFF\xF7\x40") << -4;
        QTest::newRow("mpeg2-layer3-64k-22khz") << headerAt(0, "\xFF\xF3\x80") << -4;
        QTest::newRow("mpeg2-layer3-32k") << headerAt(0, "\xFF\xF3\x40") << -3;
        QTest::newRow("free-format-no-header") << headerAt(0, QByteArray("\xFF\xFB\0", 3)) << -1;
        QTest::newRow("bitrate-index-1-a-header") << headerAt(0, "\xFF\xFB\x10") << -3;
        QTest::newRow("reserved-version-no-header") << headerAt(0, "\xFF\xEB\x90") << -1;
        QTest::newRow("rejected-then-real") << headerAt(0, QByteArray("\xFF\xFB\0\xFF\xFB\x98", 6))
                                            << -4;
        QTest::newRow("last-offset-in-window") << headerAt(2303) << 128;
        QTest::newRow("first-offset-past-window") << headerAt(2304) << -1;
        QTest::newRow("header-ends-on-last-byte") << QByteArray("\0\xFF\xFB\x90", 4) << 128;
        QTest::newRow("header-cut-short") << QByteArray::fromRawData(headerPastTheEnd, 4) << -1;
        QTest::newRow("reserved-layer-no-header") << headerAt(0, "\xFF\xF9\x90") << -1;
        QTest::newRow("padding-then-header") << QByteArray("\xFF\xFF\xFB\x90", 4) << 128;
        QTest::newRow("mpeg25-bitrate-taken-as-0") << headerAt(0, "\xFF\xE3\x90") << -3;
    }

    void probe()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, expected);
        QCOMPARE(probeFrameHeader(content), expected);
        QCOMPARE(findFrameSync(content) == -1, expected == -1); // -1, and only -1, for none
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
        QTest::newRow("tag-after-its-first-byte") << "TTTAG" + x << audio + "TAG" + x;
        QTest::newRow("lyrics-at-0") << lyrics + x + tag << lyrics + audio + tag;
        QTest::newRow("lyrics-at-2") << QByteArray(2, '\0') + lyrics + x << lyrics + audio;
        QTest::newRow("lyrics-at-3-after") << QByteArray(3, '\0') + lyrics + x << audio + lyrics;
        QTest::newRow("lyrics-at-1-passed-over") << "x" + lyrics + x << audio + "LYRICS200";
        QTest::newRow("first-lyrics-wins") << x + lyrics + x + lyrics << audio + lyrics;
        QTest::newRow("v1-block-not-captured") << x + "LYRICSBEGINtextLYRICSEND" << audio;
        QTest::newRow("lyrics-to-the-end-of-a-short-file")
            << QByteArray("LYRICS") << "LYRICS" + audio;
        QTest::newRow("v1-block-at-9-one-byte") << "123456789LYRICSBEGIN" + x << audio + "L";
    }

    void rebuild()
    {
        QFETCH(QByteArray, source);
        QFETCH(QByteArray, expected);
        // Read in pieces of one byte, every marker lies across the border of two windows.
        for (const int pieceSize : { scanPieceSize, 1 }) {
            QCOMPARE(rebuildOutput(audio, scanTags(source, pieceSize), source), expected);
        }
    }

    // What was read before a failed read is not the whole source.
    void readFailsPartway()
    {
        BadCluster source;
        source.setData(QByteArray(600, 'x') + tag);
        QVERIFY(source.open(QIODevice::ReadOnly));
        TagScan scan;
        QVERIFY(!scanTags(source, scan, 100));
    }

    void encoderFailure_data()
    {
        // The encoder program's content; none: there is no encoder.
        QTest::addColumn<QByteArray>("encoder");
        QTest::newRow("missing") << QByteArray();
#ifndef Q_OS_WIN
        QTest::newRow("crashing") << QByteArray("#!/bin/sh\nkill -9 $$\n");
        QTest::newRow("exit-0-writing-nothing") << QByteArray("#!/bin/sh\n");
        // The source keeps its size but not its time: its pieces may have moved meanwhile.
        QTest::newRow("touching-the-source")
            << QByteArray("#!/bin/sh\ntouch -d @0 \"$5\"\necho encoded > \"$6\"\n");
#endif
    }

    // The file fails, reported once through finished(), and no temporary is left behind.
    void encoderFailure()
    {
        QFETCH(QByteArray, encoder);
        QTemporaryDir directory;
        const QString encoderPath = directory.filePath("lame.exe");
        const QString source = directory.filePath("a.mp3");
        if (!encoder.isEmpty()) {
            QVERIFY(writeFile(encoderPath, encoder));
            QVERIFY(QFile::setPermissions(encoderPath,
                                          QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        }
        QVERIFY(writeFile(source, sample("low.mp3")));
        RunFolder folder(directory.path());
        folder.open();
        EncoderJob job(encoderPath, source, directory.filePath("b.mp3"), folder);
        QSignalSpy finished(&job, &EncoderJob::finished);
        QVERIFY(job.start());
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(finished.first(), QVariantList { false });
        QCOMPARE(QDir(directory.path()).entryList({ "*.part" }, QDir::Hidden), QStringList());
    }

    void windowsPath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected"); // with "/" for "\\"
        const QString deep = QString(247, 'd') + "/abcd"; // "C:/" + deep + ".mp3": 259 characters
        QTest::newRow("259-characters") << "C:/" + deep + ".mp3" << "C:/" + deep + ".mp3";
        QTest::newRow("260-characters") << "C:/" + deep + "e.mp3" << "//?/C:/" + deep + "e.mp3";
        QTest::newRow("share")
            << "//nas/music/" + deep + ".mp3" << "//?/UNC/nas/music/" + deep + ".mp3";
    }

    // Paths that Windows takes outside Qt: over 259 characters only behind the long-path prefix.
    void windowsPath()
    {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QCOMPARE(::windowsPath(path), expected.replace('/', '\\'));
    }

    // The program's end waits for what it hands to another thread only as long as that takes.
    void runWithinEndsEarly()
    {
        QElapsedTimer clock;
        clock.start();
        bool ran = false;
        runWithin([&ran] { ran = true; }, 10000);
        QVERIFY(ran && clock.elapsed() < 5000);
    }

    void sync()
    {
        QString error;
        QVERIFY2(syncFolder(QDir::tempPath(), error), qPrintable(error));
#ifndef Q_OS_WIN
        // A file system that cannot sync at all (EINVAL, as /dev/null says) must not fail every
        // conversion on it; any other refusal fails: a write that cannot be flushed, a descriptor
        // that only names a file, a folder that cannot be opened. A synced folder is closed
        // again: a run syncs one for every file.
        QFile device("/dev/null");
        QFile full("/dev/full");
        QFile named;
        QVERIFY(device.open(QIODevice::WriteOnly) && device.write("x") == 1);
        QVERIFY2(syncFile(device, error), qPrintable(error));
        QVERIFY(full.open(QIODevice::WriteOnly) && full.write("x") == 1 && !syncFile(full, error));
        QVERIFY(named.open(::open("/dev/null", O_PATH), QIODevice::WriteOnly,
                           QFileDevice::AutoCloseHandle) && !syncFile(named, error));
        QVERIFY(!syncFolder(device.fileName(), error));
        const uint descriptors = QDir("/proc/self/fd").count();
        QVERIFY(syncFolder(QDir::tempPath(), error));
        QCOMPARE(QDir("/proc/self/fd").count(), descriptors); // none left open
#endif
    }
};

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
