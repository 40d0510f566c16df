#include "mainwindow.h"

#include <QLabel>
#include <QMetaMethod>
#include <QPushButton>
#include <QtTest>

namespace {

QStringList slotWarnings;

void recordSlotWarnings(QtMsgType, const QMessageLogContext &, const QString &message)
{
    if (message.contains(QLatin1String("connectSlotsByName"))) {
        slotWarnings.append(message);
    }
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void slotsBoundByNameOnly();
    void renderedPixels_data();
    void renderedPixels();
    void logoShowsInFrame();
    void fixedSizeAndTexts();
    void closeImageFromWorkingDirectoryOnly_data();
    void closeImageFromWorkingDirectoryOnly();
};

void TestMainWindow::slotsBoundByNameOnly()
{
    const QtMessageHandler previous = qInstallMessageHandler(recordSlotWarnings);
    delete new MainWindow;
    qInstallMessageHandler(previous);
    QVERIFY2(slotWarnings.isEmpty(), qPrintable(slotWarnings.join('\n')));

    const QMetaObject &meta = MainWindow::staticMetaObject;
    QCOMPARE(meta.className(), "MainWindow");
    QStringList privateSlots;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        const QMetaMethod method = meta.method(i);
        if (method.methodType() == QMetaMethod::Slot && method.access() == QMetaMethod::Private) {
            privateSlots << method.methodSignature();
        }
    }
    QCOMPARE(meta.methodCount() - meta.methodOffset(), 7);
    QCOMPARE(privateSlots, QStringList({ "on_pushButton_clicked()", "on_pushButton_2_clicked()",
                                         "on_pushBtnQuit_clicked()", "on_pushButton_3_clicked()",
                                         "on_pushButton_4_clicked()", "on_pushButton_5_clicked()",
                                         "on_pushButton_6_clicked()" }));
}

void TestMainWindow::renderedPixels_data()
{
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<QColor>("expected");

    const QColor darkGrey(51, 51, 51);
    QTest::newRow("outer-border") << QPoint(0, 0) << darkGrey;
    QTest::newRow("outer-border-right") << QPoint(749, 300) << darkGrey;
    QTest::newRow("inner-line") << QPoint(1, 300) << QColor(97, 97, 96);
    QTest::newRow("bottom-strip-first-row") << QPoint(10, 736) << darkGrey;
    QTest::newRow("bottom-strip-last-row") << QPoint(400, 749) << darkGrey;
    // Button faces: the style shades them a little around the style sheet's colour.
    QTest::newRow("enabled-button-face") << QPoint(34, 196) << darkGrey;
    QTest::newRow("disabled-button-face") << QPoint(254, 325) << QColor(0xBB, 0xBB, 0xBB);
    QTest::newRow("disabled-small-button-face") << QPoint(194, 700) << QColor(0xBB, 0xBB, 0xBB);
}

void TestMainWindow::renderedPixels()
{
    QFETCH(QPoint, point);
    QFETCH(QColor, expected);

    MainWindow window;
    const QColor shown = window.grab().toImage().pixelColor(point);
    const int distance = qMax(qAbs(shown.red() - expected.red()),
                              qMax(qAbs(shown.green() - expected.green()),
                                   qAbs(shown.blue() - expected.blue())));
    QVERIFY2(distance <= 24, qPrintable(shown.name()));
}

void TestMainWindow::logoShowsInFrame()
{
    MainWindow window;
    const QImage logo(QStringLiteral(":/imgs/logo.png"));
    QCOMPARE(logo.size(), QSize(46, 50));
    QVERIFY(!logo.hasAlphaChannel());

    // Inside the frame's 1-pixel edge the logo starts at (1, 1) and fills the frame's width,
    // even though the style sheet names it without its suffix.
    auto *frame = window.findChild<QWidget *>("frame");
    const QImage shown = window.grab(frame->geometry()).toImage();
    int matching = 0;
    const int rows = frame->height() - 2;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < logo.width(); ++x) {
            matching += shown.pixel(x + 1, y + 1) == logo.pixel(x, y);
        }
    }
    QVERIFY2(matching > logo.width() * rows * 95 / 100, qPrintable(QString::number(matching)));
}

void TestMainWindow::fixedSizeAndTexts()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.resize(900, 600);
    QCOMPARE(window.size(), QSize(750, 750));
    QCOMPARE(window.minimumSize(), window.maximumSize());

    // The texts whose bytes are easy to get wrong: an accented letter and a double blank.
    QVERIFY(window.findChild<QLabel *>("label_4")->text().contains(QString::fromUtf8("qualit\xC3\xA0,")));
    QVERIFY(window.findChild<QLabel *>("label_5")->text().endsWith(QStringLiteral("due  bottoni:")));
}

void TestMainWindow::closeImageFromWorkingDirectoryOnly_data()
{
    QTest::addColumn<bool>("inWorkingDirectory");
    QTest::newRow("in-working-directory") << true;
    QTest::newRow("beside-the-program-only") << false;
}

void TestMainWindow::closeImageFromWorkingDirectoryOnly()
{
    QFETCH(bool, inWorkingDirectory);

    QTemporaryDir workingDirectory;
    QImage red(16, 16, QImage::Format_RGB32);
    red.fill(Qt::red);
    const QString imagePath = (inWorkingDirectory ? workingDirectory.path()
                                                  : QCoreApplication::applicationDirPath())
        + QStringLiteral("/chiudi.png");
    QVERIFY(red.save(imagePath));

    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(workingDirectory.path()));
    MainWindow window;
    const QColor shown = window.findChild<QPushButton *>("pushBtnQuit")->grab().toImage().pixelColor(1, 8);
    QDir::setCurrent(previous);
    QFile::remove(imagePath);
    QCOMPARE(shown == QColor(Qt::red), inWorkingDirectory);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
