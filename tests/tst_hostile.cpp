#include "fixtures.h"
#include "frameheader.h"
#include "mainwindow.h"
#include "workstate.h"

#include <QCryptographicHash>
#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <QtTest>

#include <unistd.h>

using namespace Fixtures;

// A folder run over files that are broken, strange or huge: it must finish, convert exactly
// what the probe asks for, leave every source as it was and write only into the destination.
class TestHostile : public QObject
{
    Q_OBJECT

private slots:
    void folderRunSurvivesHostileFiles();
    void unreadableFileGetsTheErrorBox();

private:
    void runFolder(const QString &source, const QString &output, DialogDriver &driver,
                   const std::function<void()> &duringRun = {});
};

void TestHostile::runFolder(const QString &source, const QString &output, DialogDriver &driver,
                            const std::function<void()> &duringRun)
{
    MainWindow window;
    workState.sourceMode = QStringLiteral("folder");
    workState.sourceDir.setPath(source);
    workState.sourceFolderPath = source;
    workState.destDir.setPath(output);
    workState.destDirName = QDir(output).dirName();
    QTimer hook;
    if (duringRun) {
        // Once, as soon as the first file is being converted.
        hook.callOnTimeout([&] {
            if (!window.findChild<QLabel *>("label_Bar")->text().isEmpty()) {
                hook.stop();
                duringRun();
            }
        });
        hook.start(5);
    }
    window.findChild<QPushButton *>("pushButton_4")->setEnabled(true);
    QTest::mouseClick(window.findChild<QPushButton *>("pushButton_4"), Qt::LeftButton);
    QCOMPARE(window.findChild<QLabel *>("label_Bar")->text(), QStringLiteral("Operazione completata"));
}

void TestHostile::folderRunSurvivesHostileFiles()
{
    QTemporaryDir scratch;
    const QString source = scratch.filePath(QStringLiteral("src"));
    const QString output = scratch.filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(source) && QDir().mkpath(output));
    const QByteArray audio = toneMp3(scratch.path(), 1.0, { QStringLiteral("-b"), QStringLiteral("32") });
    QVERIFY(!audio.isEmpty());
    QFile::remove(scratch.filePath(QStringLiteral("tone.mp3")));
    QFile::remove(scratch.filePath(QStringLiteral("tone.wav")));

    QByteArray noise(50000, '\0');
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    // A 20 MB ID3v2 block: syncsafe size, seven bits per byte.
    const int id3Size = 20 * 1024 * 1024;
    QByteArray id3 = QByteArray("ID3\x03\x00\x00", 6);
    for (int shift = 21; shift >= 0; shift -= 7) {
        id3 += char((id3Size >> shift) & 0x7F);
    }
    QByteArray markersInAudio = audio;
    markersInAudio.insert(audio.size() / 2, "TAG-LYRICS-TAG");
    QMap<QString, QByteArray> files = {
        { QStringLiteral("empty.mp3"), QByteArray() },
        { QStringLiteral("cut-good.mp3"), QByteArray("\xFF\xFB\x90\x64") + QByteArray(200, '\x11') },
        { QStringLiteral("cut-low.mp3"), audio.left(audio.size() / 3 + 7) },
        { QStringLiteral("noise.mp3"), noise },
        { QStringLiteral("big-id3v2.mp3"), id3 + QByteArray(id3Size, '\0') + audio },
        { QStringLiteral("markers-in-audio.mp3"), markersInAudio },
        { QString::fromUtf8("citt\xC3\xA0 d\xC3\xA8 blu.mp3"), audio },
        { QStringLiteral("zz-vanishing.mp3"), audio },
    };
    for (auto file = files.cbegin(); file != files.cend(); ++file) {
        QVERIFY(writeFile(source + QLatin1Char('/') + file.key(), file.value()));
    }
    // 300 MB that pass the probe: one silent MPEG-1 Layer III frame, 128 kbit/s at 44.1 kHz
    // (417 bytes), over and over. It is read whole, probed and left alone.
    const QByteArray frame = QByteArray("\xFF\xFB\x90\x64", 4) + QByteArray(413, '\0');
    QFile big(source + QStringLiteral("/big-good.mp3"));
    QVERIFY(big.open(QIODevice::WriteOnly));
    const QByteArray block = frame.repeated(2500);
    for (qint64 written = 0; written < 300000000; written += block.size()) {
        QVERIFY(big.write(block) == block.size());
    }
    big.close();
    const QByteArray bigHash = QCryptographicHash::hash(readFile(big.fileName()), QCryptographicHash::Sha256);

    DialogDriver driver;
    driver.press(QString::fromUtf8("S\xC3\xAC")).press(QStringLiteral("OK")).press(QStringLiteral("OK"));
    runFolder(source, output, driver,
              [&] { QFile::remove(source + QStringLiteral("/zz-vanishing.mp3")); });

    // Two "Errore" boxes: the empty file and the one that vanished before it was read.
    QCOMPARE(driver.pending(), 0);
    QCOMPARE(driver.seen.size(), 3);
    QCOMPARE(driver.seen.last().title, QStringLiteral("Errore"));
    QStringList expected;
    for (auto file = files.cbegin(); file != files.cend(); ++file) {
        const bool vanished = file.key() == QLatin1String("zz-vanishing.mp3");
        if (!vanished) {
            QVERIFY2(readFile(source + QLatin1Char('/') + file.key()) == file.value(),
                     qPrintable(file.key()));
        }
        if (!vanished && !file.value().isEmpty() && classifyFrameHeader(file.value()) <= 0) {
            expected << file.key();
        }
    }
    QVERIFY(expected.contains(QStringLiteral("big-id3v2.mp3")));
    QCOMPARE(QDir(output).entryList(QDir::Files | QDir::Hidden, QDir::Name), expected);
    QCOMPARE(QCryptographicHash::hash(readFile(big.fileName()), QCryptographicHash::Sha256), bigHash);
    QCOMPARE(QDir(scratch.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList({ "out", "src" }));
}

void TestHostile::unreadableFileGetsTheErrorBox()
{
    if (geteuid() == 0) {
        QSKIP("running as root, who reads files of mode 000 anyway");
    }
    QTemporaryDir scratch;
    const QString source = scratch.filePath(QStringLiteral("src"));
    const QString output = scratch.filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(source) && QDir().mkpath(output));
    const QString locked = source + QStringLiteral("/locked.mp3");
    QVERIFY(writeFile(locked, QByteArray("\xFF\xF3\x40\x00", 4) + QByteArray(500, '\0')));
    QVERIFY(QFile::setPermissions(locked, QFileDevice::Permissions()));

    DialogDriver driver;
    driver.press(QString::fromUtf8("S\xC3\xAC")).press(QStringLiteral("OK"));
    runFolder(source, output, driver);
    QCOMPARE(driver.seen.last().title, QStringLiteral("Errore"));
    QVERIFY(QDir(output).entryList(QDir::Files).isEmpty());
}

QTEST_MAIN(TestHostile)
#include "tst_hostile.moc"
