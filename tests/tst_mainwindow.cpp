#include "mainwindow.h"
#include "workstate.h"

#include <QLabel>
#include <QMetaMethod>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

namespace {

QStringList recordedWarnings;

void recordSlotWarnings(QtMsgType, const QMessageLogContext &, const QString &message)
{
    if (message.contains(QLatin1String("connectSlotsByName"))) {
        recordedWarnings.append(message);
    }
}

const char *const stepButtons[] = { "pushButton", "pushButton_2", "pushButton_3",
                                    "pushButton_4", "pushButton_5", "pushButton_6" };

// What resetState() governs, read off the window and the state record.
QStringList resetView(const MainWindow &window)
{
    QStringList view;
    for (const char *name : { "label", "label_2", "label_Bar" }) {
        view << QStringLiteral("%1=%2").arg(name, window.findChild<QLabel *>(name)->text());
    }
    const auto *bar = window.findChild<QProgressBar *>("progressBar");
    view << QStringLiteral("bar=%1 %2-%3").arg(bar->value()).arg(bar->minimum()).arg(bar->maximum());
    for (const char *name : stepButtons) {
        view << QStringLiteral("%1=%2").arg(name).arg(window.findChild<QPushButton *>(name)->isEnabled());
    }
    const WorkState &s = workState;
    view << QStringLiteral("positions=%1 %2 %3 %4 %5 %6 %7")
                .arg(s.copyIndex).arg(s.searchPos).arg(s.endSearchPos)
                .arg(s.lyricsPos).arg(s.lyricsEndPos).arg(s.tagPos).arg(s.hasTag);
    view << s.outputPath << s.inputPath << s.lyricsText << s.tagText << s.sourceFileName
         << s.destDirName << QString::fromLatin1(s.probeBytes + s.encodedBytes + s.sourceBytes)
         << QString::number(s.fileList.size()) << QStringLiteral("destDir=") + s.destDir.path();
    return view;
}

QColor pixelAt(const QImage &image, int x, int y)
{
    return QColor(image.pixel(x, y));
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void slotsBoundByNameOnly();
    void resetRestoresStartState();
    void resetKeepsSourceAndResult();
    void renderedPixels_data();
    void renderedPixels();
    void logoShowsInFrame();
    void buttonColours_data();
    void buttonColours();
    void fixedSizeAndTexts();
    void closeImageFromWorkingDirectoryOnly_data();
    void closeImageFromWorkingDirectoryOnly();
};

void TestMainWindow::slotsBoundByNameOnly()
{
    recordedWarnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(recordSlotWarnings);
    {
        MainWindow window;
    }
    qInstallMessageHandler(previous);
    QVERIFY2(recordedWarnings.isEmpty(), qPrintable(recordedWarnings.join('\n')));

    const QMetaObject &meta = MainWindow::staticMetaObject;
    QCOMPARE(meta.className(), "MainWindow");
    QStringList slotList;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        const QMetaMethod method = meta.method(i);
        QCOMPARE(method.methodType(), QMetaMethod::Slot);
        QCOMPARE(method.access(), QMetaMethod::Private);
        slotList << QString::fromLatin1(method.methodSignature());
    }
    QCOMPARE(slotList, QStringList({ "on_pushButton_clicked()", "on_pushButton_2_clicked()",
                                     "on_pushBtnQuit_clicked()", "on_pushButton_3_clicked()",
                                     "on_pushButton_4_clicked()", "on_pushButton_5_clicked()",
                                     "on_pushButton_6_clicked()" }));
    QCOMPARE(meta.propertyCount(), meta.propertyOffset());
    QCOMPARE(meta.enumeratorCount(), meta.enumeratorOffset());
}

void TestMainWindow::resetRestoresStartState()
{
    MainWindow window;
    const QStringList startView = resetView(window);
    QVERIFY(startView.contains(QStringLiteral("label_Bar=")));
    QVERIFY(startView.contains(QStringLiteral("destDir=")));

    // Disturb everything the reset governs, the way a finished run leaves it.
    for (const char *name : { "label", "label_2", "label_Bar" }) {
        window.findChild<QLabel *>(name)->setText(QStringLiteral("changed"));
    }
    auto *bar = window.findChild<QProgressBar *>("progressBar");
    bar->setValue(100);
    for (const char *name : stepButtons) {
        auto *button = window.findChild<QPushButton *>(name);
        button->setEnabled(!button->isEnabled());
    }
    WorkState &s = workState;
    s.copyIndex = s.searchPos = s.endSearchPos = -1;
    s.lyricsPos = s.lyricsEndPos = s.tagPos = 700;
    s.hasTag = true;
    for (QString *text : { &s.outputPath, &s.inputPath, &s.lyricsText, &s.tagText,
                           &s.sourceFileName, &s.destDirName }) {
        *text = QStringLiteral("x");
    }
    s.probeBytes = s.encodedBytes = s.sourceBytes = "bytes";
    s.fileList = { QFileInfo(QStringLiteral("/tmp/a.mp3")) };
    s.destDir.setPath(QStringLiteral("/tmp"));
    QVERIFY(resetView(window) != startView);

    window.findChild<QPushButton *>("pushButton_6")->setEnabled(true);
    QTest::mouseClick(window.findChild<QPushButton *>("pushButton_6"), Qt::LeftButton);
    QCOMPARE(resetView(window), startView);
    window.resetState();
    QCOMPARE(resetView(window), startView);
    QCOMPARE(bar->text(), QStringLiteral("0%"));
}

void TestMainWindow::resetKeepsSourceAndResult()
{
    MainWindow window;
    workState.sourceMode = QStringLiteral("folder");
    workState.sourceFolderPath = QStringLiteral("/music");
    workState.sourceDir.setPath(QStringLiteral("/music"));
    workState.resultInfo = QFileInfo(QStringLiteral("/out/song.mp3"));
    window.resetState();
    QCOMPARE(workState.sourceMode, QStringLiteral("folder"));
    QCOMPARE(workState.sourceFolderPath, QStringLiteral("/music"));
    QCOMPARE(workState.sourceDir.path(), QStringLiteral("/music"));
    QCOMPARE(workState.resultInfo.filePath(), QStringLiteral("/out/song.mp3"));
}

void TestMainWindow::renderedPixels_data()
{
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<QColor>("expected");

    const QColor darkGrey(51, 51, 51);
    QTest::newRow("outer-border-top-left") << QPoint(0, 0) << darkGrey;
    QTest::newRow("outer-border-right") << QPoint(749, 300) << darkGrey;
    QTest::newRow("inner-line") << QPoint(1, 300) << QColor(97, 97, 96);
    QTest::newRow("inner-line-top") << QPoint(300, 1) << QColor(97, 97, 96);
    QTest::newRow("bottom-strip-first-row") << QPoint(10, 736) << darkGrey;
    QTest::newRow("bottom-strip-last-row") << QPoint(400, 749) << darkGrey;
}

void TestMainWindow::renderedPixels()
{
    QFETCH(QPoint, point);
    QFETCH(QColor, expected);

    MainWindow window;
    const QImage image = window.grab().toImage();
    QCOMPARE(pixelAt(image, point.x(), point.y()), expected);
    // Just above the strip the panel is light grey, not the strip's colour.
    const QColor panel = pixelAt(image, 10, 735);
    QVERIFY2(panel.red() > 180 && panel.red() == panel.blue(), qPrintable(panel.name()));
}

void TestMainWindow::logoShowsInFrame()
{
    MainWindow window;
    const QImage logo(QStringLiteral(":/imgs/logo.png"));
    QCOMPARE(logo.size(), QSize(46, 50));
    QVERIFY(!logo.hasAlphaChannel());

    auto *frame = window.findChild<QWidget *>("frame");
    const QImage shown = window.grab(frame->geometry()).toImage();
    // Inside the frame's 1-pixel edge the logo starts at (1, 1) and fills the frame's width.
    int matching = 0;
    const int rows = frame->height() - 2;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < logo.width(); ++x) {
            matching += shown.pixel(x + 1, y + 1) == logo.pixel(x, y);
        }
    }
    QVERIFY2(matching > logo.width() * rows * 95 / 100, qPrintable(QString::number(matching)));
}

void TestMainWindow::buttonColours_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<QColor>("text");

    QTest::newRow("enabled") << "pushButton" << QColor(51, 51, 51) << QColor(97, 150, 209);
    QTest::newRow("disabled") << "pushButton_3" << QColor(0xBB, 0xBB, 0xBB) << QColor(0x99, 0x99, 0x99);
    QTest::newRow("disabled-small") << "pushButton_5" << QColor(0xBB, 0xBB, 0xBB) << QColor(0x99, 0x99, 0x99);
}

void TestMainWindow::buttonColours()
{
    QFETCH(QString, name);
    QFETCH(QColor, background);
    QFETCH(QColor, text);

    MainWindow window;
    auto *button = window.findChild<QPushButton *>(name);
    QVERIFY(button);
    const QImage image = button->grab().toImage();
    // The style shades the face a little around its colour; the text is drawn in its own.
    auto near = [](const QColor &a, const QColor &b) {
        return qMax(qAbs(a.red() - b.red()), qMax(qAbs(a.green() - b.green()),
                                                   qAbs(a.blue() - b.blue()))) <= 24;
    };
    const QColor face = pixelAt(image, 4, image.height() / 2);
    QVERIFY2(near(face, background), qPrintable(face.name()));
    int textPixels = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            textPixels += near(pixelAt(image, x, y), text);
        }
    }
    QVERIFY2(textPixels > 20, qPrintable(QString::number(textPixels)));
}

void TestMainWindow::fixedSizeAndTexts()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.size(), QSize(750, 750));
    QCOMPARE(window.minimumSize(), QSize(750, 750));
    QCOMPARE(window.maximumSize(), QSize(750, 750));
    window.resize(900, 600);
    QCOMPARE(window.size(), QSize(750, 750));

    // The texts whose bytes are easy to get wrong: an accented letter and a double blank.
    QVERIFY(window.findChild<QLabel *>("label_4")->text().contains(QString::fromUtf8("qualit\xC3\xA0,")));
    QVERIFY(window.findChild<QLabel *>("label_5")->text().endsWith(QStringLiteral("due  bottoni:")));
}

void TestMainWindow::closeImageFromWorkingDirectoryOnly_data()
{
    QTest::addColumn<bool>("inWorkingDirectory");
    QTest::addColumn<bool>("expectImage");

    QTest::newRow("in-working-directory") << true << true;
    QTest::newRow("beside-the-program-only") << false << false;
}

void TestMainWindow::closeImageFromWorkingDirectoryOnly()
{
    QFETCH(bool, inWorkingDirectory);
    QFETCH(bool, expectImage);

    QTemporaryDir workingDirectory;
    QImage red(16, 16, QImage::Format_RGB32);
    red.fill(Qt::red);
    const QString imageDirectory = inWorkingDirectory ? workingDirectory.path()
                                                      : QCoreApplication::applicationDirPath();
    const QString imagePath = imageDirectory + QStringLiteral("/chiudi.png");
    QVERIFY(red.save(imagePath));

    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(workingDirectory.path()));
    QColor centre;
    {
        MainWindow window;
        const QImage shown = window.findChild<QPushButton *>("pushBtnQuit")->grab().toImage();
        centre = pixelAt(shown, 1, 8);
    }
    QDir::setCurrent(previous);
    if (!inWorkingDirectory) {
        QFile::remove(imagePath);
    }
    QCOMPARE(centre == QColor(Qt::red), expectImage);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
