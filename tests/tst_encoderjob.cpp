#include "encoderjob.h"
#include "fixtures.h"

#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace Fixtures;

namespace {

const QByteArray oldOutput = "an earlier output that must survive";

// Runs one job to its end; "refused" when start() said no, else what finished() said.
QString convert(const QString &encoder, const QString &source, const QString &output)
{
    EncoderJob job(encoder, source, output);
    if (!job.start()) {
        return QStringLiteral("refused");
    }
    QSignalSpy finished(&job, &EncoderJob::finished);
    if (!finished.wait(60000)) {
        return QStringLiteral("no end");
    }
    return finished.size() == 1 && finished.first().first().toBool() ? QStringLiteral("converted")
                                                                      : QStringLiteral("failed");
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

} // namespace

class TestEncoderJob : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void convertsAndReplacesTheName_data();
    void convertsAndReplacesTheName();
    void failureLeavesEverythingAsItWas_data();
    void failureLeavesEverythingAsItWas();
    void mountedDestination_data();
    void mountedDestination();

private:
    QTemporaryDir directory;
    QString source;
    QString output;
    QByteArray tone;
    QByteArray sourceBytes;
};

void TestEncoderJob::initTestCase()
{
    tone = toneMp3(directory.path(), 1.0, { QStringLiteral("-b"), QStringLiteral("32") });
    QVERIFY(!tone.isEmpty());
    sourceBytes = tone + lyrics3Block("[00:01]la \xE8") + id3v1Tag();
}

void TestEncoderJob::init()
{
    for (const char *name : { "src", "out" }) {
        QDir(directory.filePath(name)).removeRecursively();
        QVERIFY(QDir(directory.path()).mkdir(name));
    }
    source = directory.filePath(QStringLiteral("src/song.mp3"));
    output = directory.filePath(QStringLiteral("out/song.mp3"));
    QVERIFY(writeFile(source, sourceBytes));
    qunsetenv("STANDIN_MODE");
}

void TestEncoderJob::convertsAndReplacesTheName_data()
{
    QTest::addColumn<QString>("before");

    QTest::newRow("no-output-yet") << "none";
    QTest::newRow("output-exists") << "file";
    QTest::newRow("output-is-a-link-elsewhere") << "link";
    QTest::newRow("lyrics-in-front-of-the-audio") << "lyrics-first";
}

void TestEncoderJob::convertsAndReplacesTheName()
{
    QFETCH(QString, before);

    const QString elsewhere = directory.filePath(QStringLiteral("elsewhere.mp3"));
    QVERIFY(writeFile(elsewhere, oldOutput));
    if (before == QLatin1String("file")) {
        QVERIFY(writeFile(output, oldOutput));
    } else if (before == QLatin1String("link")) {
        QVERIFY(QFile::link(elsewhere, output));
    }
    // A Lyrics3 block at offset 0 goes in front of the audio; the tag still comes last.
    const QByteArray lyrics = lyrics3Block("[00:01]la \xE8");
    const bool lyricsFirst = before == QLatin1String("lyrics-first");
    if (lyricsFirst) {
        QVERIFY(writeFile(source, lyrics + tone + id3v1Tag()));
    }
    const QByteArray sourceBefore = readFile(source);

    QCOMPARE(convert(QStringLiteral(LAME_PROGRAM), source, output), QStringLiteral("converted"));
    const QString reference = directory.filePath(QStringLiteral("reference.mp3"));
    QCOMPARE(runLame({ "--resample", "44.1", "-b", "192", source, reference }), 0);
    const QByteArray expected = lyricsFirst ? lyrics + readFile(reference) + id3v1Tag()
                                            : readFile(reference) + lyrics + id3v1Tag();
    QVERIFY(readFile(output) == expected);
    QVERIFY(!QFileInfo(output).isSymLink());
    QVERIFY(readFile(elsewhere) == oldOutput);
    QVERIFY(readFile(source) == sourceBefore);
    QCOMPARE(entries(directory.filePath(QStringLiteral("out"))), QStringList(QStringLiteral("song.mp3")));
}

void TestEncoderJob::failureLeavesEverythingAsItWas_data()
{
    QTest::addColumn<QString>("encoder");
    QTest::addColumn<QByteArray>("mode");
    QTest::addColumn<QString>("sourceKind");
    QTest::addColumn<QString>("result");

    const QString lame = QStringLiteral(LAME_PROGRAM);
    const QString standIn = QStringLiteral(STANDIN_PROGRAM);
    QTest::newRow("encoder-missing") << directory.filePath("none/lame.exe") << QByteArray() << "mp3"
                                     << "failed";
    QTest::newRow("encoder-not-executable") << directory.filePath("src/song.mp3") << QByteArray() << "mp3" << "failed";
    QTest::newRow("exit-1-after-a-fragment") << standIn << QByteArray("fragment") << "mp3"
                                             << "failed";
    QTest::newRow("crash-after-a-fragment") << standIn << QByteArray("crash") << "mp3" << "failed";
    QTest::newRow("destination-deleted") << standIn << QByteArray("rmdir") << "mp3" << "failed";
    QTest::newRow("not-an-mp3") << lame << QByteArray() << "text" << "failed";
    QTest::newRow("empty-source") << lame << QByteArray() << "empty" << "refused";
    QTest::newRow("missing-source") << lame << QByteArray() << "missing" << "refused";
    QTest::newRow("fifo-source") << lame << QByteArray() << "fifo" << "refused";
    QTest::newRow("source-links-to-a-device") << lame << QByteArray() << "device" << "refused";
    QTest::newRow("output-hard-link-of-source") << lame << QByteArray() << "hardlink" << "refused";
    QTest::newRow("output-symlink-to-source") << lame << QByteArray() << "symlink" << "refused";
}

void TestEncoderJob::failureLeavesEverythingAsItWas()
{
    QFETCH(QString, encoder);
    QFETCH(QByteArray, mode);
    QFETCH(QString, sourceKind);

    QByteArray expectedSource = sourceBytes;
    QByteArray expectedOutput = oldOutput;
    QFile::remove(source);
    if (sourceKind == QLatin1String("mp3") || sourceKind == QLatin1String("hardlink")
        || sourceKind == QLatin1String("symlink")) {
        QVERIFY(writeFile(source, sourceBytes));
    } else if (sourceKind == QLatin1String("text")) {
        expectedSource = QByteArray(5000, 'x');
        QVERIFY(writeFile(source, expectedSource));
    } else if (sourceKind == QLatin1String("empty") || sourceKind == QLatin1String("missing")) {
        expectedSource.clear();
        QVERIFY(sourceKind == QLatin1String("missing") || writeFile(source, expectedSource));
    } else if (sourceKind == QLatin1String("fifo")) {
        QCOMPARE(mkfifo(QFile::encodeName(source).constData(), 0600), 0);
    } else if (sourceKind == QLatin1String("device")) {
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), source));
    }
    if (sourceKind == QLatin1String("hardlink")) {
        QCOMPARE(link(QFile::encodeName(source).constData(), QFile::encodeName(output).constData()), 0);
        expectedOutput = sourceBytes;
    } else if (sourceKind == QLatin1String("symlink")) {
        QVERIFY(QFile::link(source, output));
        expectedOutput = sourceBytes;
    } else {
        QVERIFY(writeFile(output, oldOutput));
    }
    qputenv("STANDIN_MODE", mode);

    QTEST(convert(encoder, source, output), "result");
    const bool outputFolderGone = mode == "rmdir";
    QCOMPARE(readFile(output), outputFolderGone ? QByteArray() : expectedOutput);
    QCOMPARE(entries(directory.filePath(QStringLiteral("out"))),
             outputFolderGone ? QStringList() : QStringList(QStringLiteral("song.mp3")));
    if (sourceKind != QLatin1String("fifo") && sourceKind != QLatin1String("device")) {
        QVERIFY(readFile(source) == expectedSource);
    }
}

void TestEncoderJob::mountedDestination_data()
{
    QTest::addColumn<QString>("script");

    // $1 source folder, $2 destination folder, $3 convertone, $4 the encoder. Exit 77: the
    // mount was not permitted here; 0: the conversion failed as it should (convertone ended
    // with 1) and nothing changed.
    QTest::newRow("bind-mount-of-the-source-folder")
        << "mount --bind \"$1\" \"$2\" || exit 77; "
           "\"$3\" \"$4\" \"$1/song.mp3\" \"$2/song.mp3\"; [ $? = 1 ] || exit 10";
    QTest::newRow("full-tmpfs") << "mount -t tmpfs -o size=64k tmpfs \"$2\" || exit 77; "
                                   "printf old > \"$2/song.mp3\"; "
                                   "dd if=/dev/zero of=\"$2/fill\" bs=4k 2>/dev/null; "
                                   "\"$3\" \"$4\" \"$1/song.mp3\" \"$2/song.mp3\"; "
                                   "[ $? = 1 ] || exit 10; "
                                   "[ \"$(cat \"$2/song.mp3\")\" = old ] || exit 11; "
                                   "[ \"$(ls -A \"$2\" | wc -l)\" = 2 ] || exit 12; exit 0";
}

void TestEncoderJob::mountedDestination()
{
    QFETCH(QString, script);

    // The mounts live in a namespace of the child's own, so none outlives a failed row.
    QProcess child;
    child.start(QStringLiteral("unshare"),
                { "--mount", "sh", "-c", script, "sh", directory.filePath("src"),
                  directory.filePath("out"), QStringLiteral(CONVERTONE_PROGRAM),
                  QStringLiteral(LAME_PROGRAM) });
    QVERIFY(child.waitForFinished(60000));
    if (child.error() == QProcess::FailedToStart || child.exitCode() == 77
        || child.readAllStandardError().contains("unshare failed")) {
        QSKIP("mount namespaces are not permitted here");
    }
    QCOMPARE(child.exitCode(), 0);
    QVERIFY(readFile(source) == sourceBytes);
    QCOMPARE(entries(directory.filePath(QStringLiteral("out"))), QStringList());
}

QTEST_GUILESS_MAIN(TestEncoderJob)
#include "tst_encoderjob.moc"
