#include "encoderjob.h"
#include "fixtures.h"
#include "frameheader.h"
#include "markerbytes.h"
#include "rebuild.h"
#include "runfolder.h"
#include "safefiles.h"
#include "tagscan.h"

#include <QtTest>

#include <filesystem>

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

// Holds bytes but cannot give them, as a failing disk.
class UnreadableDevice : public QBuffer
{
protected:
    qint64 readData(char *, qint64) override { return -1; }
};

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

    // Tags the scan could not read would be lost without a word: such a source fails.
    void unreadableSource()
    {
        UnreadableDevice device;
        device.setData(lyrics + tag);
        TagScan scan;
        QVERIFY(device.open(QIODevice::ReadOnly) && !scanTags(device, scan));
    }

    // QByteArray's terminating NUL would complete the marker if the search ran past the end.
    void marker() { QCOMPARE(findMarker("xT", QByteArray("T\0", 2), 0), -1); }

    void sync()
    {
        QString error;
#ifndef Q_OS_WIN
        // A file that cannot be synced (a device says EINVAL, as some file systems do) counts as
        // synced: it must not fail every conversion there.
        QFile device("/dev/null");
        QVERIFY(device.open(QIODevice::WriteOnly) && device.write("x") == 1);
        QVERIFY2(syncFile(device, error), qPrintable(error));
        // Any other refusal fails: a descriptor that only names a file cannot be synced.
        QFile named;
        QVERIFY(named.open(::open("/dev/null", O_PATH), QIODevice::WriteOnly,
                           QFileDevice::AutoCloseHandle) && !syncFile(named, error));
        // Nor can a folder that cannot even be opened.
        QVERIFY(!syncFolder(device.fileName(), error));
#endif
        QVERIFY2(syncFolder(QDir::tempPath(), error), qPrintable(error));
    }

    void sameFile_data()
    {
        // The other path to Song.mp3, in the test's folder, which may be a FAT stick; Song.mp3
        // and b/song.mp3 are there.
        QTest::addColumn<QString>("other");
        QTest::addColumn<bool>("onStick");
        QTest::addColumn<bool>("same");
        QTest::newRow("one-path") << "Song.mp3" << false << true;
        // Windows folds case on every disk.
#ifndef Q_OS_WIN
        QTest::newRow("other-case-not-there") << "song.mp3" << false << false;
#endif
        QTest::newRow("other-case-other-folder") << "b/song.mp3" << false << false;
        // Each spelling has its own inode number there, yet both name one file.
        QTest::newRow("other-case-on-stick") << "song.mp3" << true << true;
    }

    void sameFile()
    {
        QFETCH(QString, other);
        QFETCH(bool, onStick);
        QFETCH(bool, same);
        QTemporaryDir directory;
        const QString folder = directory.filePath("folder");
        StickMount stick;
        const QString failure = onStick ? stick.mount("fat", folder + ".img", folder) : QString();
        if (!failure.isEmpty()) {
            QSKIP(qPrintable("no FAT stick: " + failure));
        }
        QVERIFY(QDir().mkpath(folder + "/b") && writeFile(folder + "/Song.mp3", "Song")
                && writeFile(folder + "/b/song.mp3", "song"));
        QCOMPARE(::sameFile(folder + "/Song.mp3", folder + '/' + other), same);
    }

    // Two runs writing into one folder at once: neither sweeps away the other's temporaries,
    // while an older version's lock-less temporary goes, and so does the lock file of a run
    // killed before its first temporary.
    void sweep()
    {
        QTemporaryDir directory;
        RunFolder first(directory.path());
        QFile part;
        first.open();
        QVERIFY(first.openNewTemporary(part));
        const QString older = directory.filePath(".tunewright-0123456789abcdef.part");
        QProcess ended;
        ended.start(STANDIN_PROGRAM, { "none" });
        const QByteArray pid = QByteArray::number(ended.waitForStarted() ? ended.processId() : 0);
        const QString deadLock = directory.filePath(".tunewright-fedcba9876543210.lock");
        QVERIFY(ended.waitForFinished() && writeFile(deadLock, pid + "\n\n\n"));
        QVERIFY(writeFile(older, "older"));
        RunFolder second(directory.path());
        second.open();
        QVERIFY(part.exists() && !QFileInfo::exists(older) && !QFileInfo::exists(deadLock));
    }

    void job_data()
    {
        // None of these may leave anything but the earlier out/song.mp3, untouched.
        QTest::addColumn<QString>("encoder");
        QTest::addColumn<bool>("outputIsSource");
        // The source is rewritten while the encoder runs: its pieces may no longer be there.
        QTest::addColumn<bool>("sourceChanges");
        // For the stand-in: "" (writes nothing, ends well) or "crash" (writes a part, crashes).
        QTest::addColumn<QString>("standinMode");
        QTest::newRow("encoder-missing") << "missing/lame.exe" << false << false << "";
        QTest::newRow("exit-0-writing-nothing") << STANDIN_PROGRAM << false << false << "";
        QTest::newRow("encoder-crashing") << STANDIN_PROGRAM << false << false << "crash";
        QTest::newRow("output-hard-link-of-source") << "lame.exe" << true << false << "";
        QTest::newRow("source-changed-meanwhile") << "lame.exe" << false << true << "";
    }

    void job()
    {
        QFETCH(QString, encoder);
        QFETCH(bool, outputIsSource);
        QFETCH(bool, sourceChanges);
        QFETCH(QString, standinMode);
        qputenv("STANDIN_MODE", standinMode.toUtf8());
        QTemporaryDir directory;
        const QString source = directory.filePath("song.mp3");
        const QString output = directory.filePath("out/song.mp3");
        QByteArray content = sample("low.mp3") + tag;
        QVERIFY(writeFile(source, content) && QDir(directory.path()).mkdir("out"));
        std::error_code linked;
        if (outputIsSource) {
            std::filesystem::create_hard_link(source.toStdString(), output.toStdString(), linked);
        }
        QVERIFY(!linked && (outputIsSource || writeFile(output, "earlier")));
        const QByteArray outputBefore = readFile(output);
        {
            RunFolder folder(directory.filePath("out"));
            folder.open();
            EncoderJob job(QDir(QCoreApplication::applicationDirPath()).filePath(encoder), source,
                           output, folder);
            QSignalSpy finished(&job, &EncoderJob::finished);
            const bool started = job.start();
            if (sourceChanges) {
                content[content.size() - 1] = 'z'; // the same size: only the time tells
                QVERIFY(started && writeFile(source, content));
            }
            QVERIFY(!started || (finished.wait(20000) && !finished.first().first().toBool()));
            QVERIFY(!finished.wait(50) && finished.size() <= 1); // ends once, if it started
            QVERIFY(!job.destinationFailed());
        } // the run's lock file goes with its folder
        QCOMPARE(readFile(source), content);
        const auto everything = QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot;
        QCOMPARE(QDir(directory.filePath("out")).entryList(everything), QStringList("song.mp3"));
        QCOMPARE(readFile(output), outputBefore);
    }
};

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
