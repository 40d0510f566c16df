#include "encoderjob.h"
#include "fixtures.h"

#include <QtTest>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

using namespace Fixtures;

class TestEncoderJob : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void job_data();
    void job();

private:
    QTemporaryDir directory;
};

void TestEncoderJob::init()
{
    for (const char *name : { "src", "out" }) {
        QDir(directory.filePath(name)).removeRecursively();
        QVERIFY(QDir(directory.path()).mkdir(name));
    }
    QVERIFY(writeFile(directory.filePath("elsewhere"), "another file"));
}

void TestEncoderJob::job_data()
{
    QTest::addColumn<QByteArray>("standIn"); // its mode, or empty for the real lame
    QTest::addColumn<QString>("source");     // how src/song.mp3 is made
    QTest::addColumn<QString>("output");     // what out/song.mp3 is before the job
    QTest::addColumn<QString>("result");

    QTest::newRow("converts") << QByteArray() << "mp3" << "none" << "converted";
    QTest::newRow("replaces-an-output") << QByteArray() << "mp3" << "file" << "converted";
    QTest::newRow("replaces-a-link-not-its-target") << QByteArray() << "mp3" << "link"
                                                    << "converted";
    QTest::newRow("lyrics-in-front") << QByteArray() << "lyrics-first" << "none" << "converted";
    QTest::newRow("encoder-missing") << QByteArray("missing") << "mp3" << "file" << "failed";
    QTest::newRow("encoder-not-executable") << QByteArray("plain-file") << "mp3" << "file"
                                            << "failed";
    QTest::newRow("exit-1-after-a-fragment") << QByteArray("fragment") << "mp3" << "file"
                                             << "failed";
    QTest::newRow("crash-after-a-fragment") << QByteArray("crash") << "mp3" << "file" << "failed";
    QTest::newRow("destination-deleted") << QByteArray("rmdir") << "mp3" << "file" << "failed";
    QTest::newRow("encoder-rejects-it") << QByteArray() << "text" << "file" << "failed";
    QTest::newRow("empty-source") << QByteArray() << "empty" << "file" << "refused";
    QTest::newRow("missing-source") << QByteArray() << "missing" << "file" << "refused";
    QTest::newRow("source-of-2-gib") << QByteArray() << "huge" << "file" << "refused";
    QTest::newRow("output-folder-missing") << QByteArray() << "mp3" << "no-folder" << "refused";
    QTest::newRow("fifo-source") << QByteArray() << "fifo" << "file" << "refused";
    QTest::newRow("source-links-to-a-device") << QByteArray() << "device" << "file" << "refused";
    QTest::newRow("output-hard-link-of-source") << QByteArray() << "mp3" << "hardlink"
                                                << "refused";
    QTest::newRow("output-symlink-to-source") << QByteArray() << "mp3" << "symlink" << "refused";
}

void TestEncoderJob::job()
{
    QFETCH(QByteArray, standIn);
    QFETCH(QString, source);
    QFETCH(QString, output);

    const QString sourcePath = directory.filePath("src/song.mp3");
    const QString outputPath = directory.filePath("out/song.mp3");
    const int lyricsSize = lyricsAndTag().indexOf("LYRICS200") + 9;
    const QMap<QString, QByteArray> sources = {
        { "mp3", sample("low.mp3") + lyricsAndTag() }, { "text", QByteArray(5000, 'x') },
        { "lyrics-first", lyricsAndTag().left(lyricsSize) + sample("low.mp3")
                              + lyricsAndTag().mid(lyricsSize) },
        { "empty", QByteArray() },
    };
    if (sources.contains(source)) {
        QVERIFY(writeFile(sourcePath, sources.value(source)));
    } else if (source == QLatin1String("huge")) {
        QFile huge(sourcePath); // sparse: no disk space, and it must not be read
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(qint64(1) << 31));
    } else if (source != QLatin1String("missing")) {
#ifdef Q_OS_WIN
        QSKIP("Windows has no FIFOs or device files among ordinary files");
#else
        QVERIFY(source == QLatin1String("fifo")
                    ? mkfifo(QFile::encodeName(sourcePath).constData(), 0600) == 0
                    : makeLink("symlink", QStringLiteral("/dev/zero"), sourcePath));
#endif
    }
    const QMap<QString, QString> links = { { "link", directory.filePath("elsewhere") },
                                           { "symlink", sourcePath },
                                           { "hardlink", sourcePath } };
    if (output == QLatin1String("file")) {
        QVERIFY(writeFile(outputPath, "an earlier output that must survive"));
    } else if (output == QLatin1String("no-folder")) {
        QVERIFY(QDir(directory.filePath("out")).removeRecursively());
    } else if (links.contains(output)
               && !makeLink(output == "hardlink" ? output : "symlink", links.value(output),
                            outputPath)) {
        QSKIP("MinGW's library cannot make symbolic links on Windows");
    }
    const QByteArray outputBefore = readFile(outputPath);
    const QString encoder = standIn.isEmpty() ? QCoreApplication::applicationDirPath() + "/lame.exe"
        : standIn == "missing"                ? directory.filePath("lame.exe")
        : standIn == "plain-file"             ? directory.filePath("elsewhere")
                                              : QStringLiteral(STANDIN_PROGRAM);
    qputenv("STANDIN_MODE", standIn);

    EncoderJob job(encoder, sourcePath, outputPath);
    QSignalSpy finished(&job, &EncoderJob::finished);
    const bool started = job.start();
    QVERIFY(!started || finished.wait(20000));
    const bool converted = started && finished.first().first().toBool();
    QTEST(QString(!started ? "refused" : converted ? "converted" : "failed"), "result");
    QVERIFY(!finished.wait(50) && finished.size() == int(started));

    if (sources.contains(source)) {
        QVERIFY(readFile(sourcePath) == sources.value(source));
    }
    QCOMPARE(readFile(directory.filePath("elsewhere")), QByteArray("another file"));
    const QStringList left = QDir(directory.filePath("out")).entryList(QDir::Files | QDir::Hidden
                                                                       | QDir::System);
    const bool noFolder = standIn == "rmdir" || output == QLatin1String("no-folder");
    QCOMPARE(left, noFolder ? QStringList() : QStringList("song.mp3"));
    if (!converted) {
        QVERIFY(noFolder || readFile(outputPath) == outputBefore);
        return;
    }
    const QByteArray audio = lameOutput(sourcePath);
    const QByteArray tail = lyricsAndTag();
    QVERIFY(!audio.isEmpty() && !QFileInfo(outputPath).isSymLink());
    QVERIFY(readFile(outputPath) == (source == QLatin1String("lyrics-first")
                                         ? tail.left(lyricsSize) + audio + tail.mid(lyricsSize)
                                         : audio + tail));
}

QTEST_GUILESS_MAIN(TestEncoderJob)
#include "tst_encoderjob.moc"
