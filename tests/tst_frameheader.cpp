#include "frameheader.h"

#include <QtTest>

#include <memory>
#include <vector>

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

class TestFrameHeader : public QObject
{
    Q_OBJECT

private slots:
    void headerAtStart_data();
    void headerAtStart();
    void searchWindow_data();
    void searchWindow();
    void everyShortLength();
};

void TestFrameHeader::headerAtStart_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<int>("expected");

    QTest::newRow("mpeg1-layer3-128k-44k") << QByteArray("\xFF\xFB\x90") << 128;
    QTest::newRow("mpeg1-layer2-160k") << QByteArray("\xFF\xFD\x90") << 160;
    QTest::newRow("mpeg1-layer1-288k") << QByteArray("\xFF\xFE\x90") << 288;
    QTest::newRow("mpeg1-64k-is-enough") << QByteArray("\xFF\xFB\x50") << 64;
    QTest::newRow("mpeg1-56k-too-low") << QByteArray("\xFF\xFB\x40") << -3;
    QTest::newRow("mpeg1-48khz") << QByteArray("\xFF\xFB\x94") << 128;
    QTest::newRow("mpeg1-32khz") << QByteArray("\xFF\xFB\x98") << -4;
    QTest::newRow("sample-rate-index-3") << QByteArray("\xFF\xFB\x9C") << -2;
    QTest::newRow("bitrate-index-15") << QByteArray("\xFF\xFB\xF0") << -3;
    QTest::newRow("mpeg2-64k-22khz") << QByteArray("\xFF\xF3\x80") << -4;
    QTest::newRow("mpeg2-32k") << QByteArray("\xFF\xF3\x40") << -3;
    QTest::newRow("mpeg2.5-no-bitrate") << QByteArray("\xFF\xE3\x90") << -3;
    QTest::newRow("mpeg2-layer1-uses-own-column") << QByteArray("\xFF\xF7\xE0") << -4;
    QTest::newRow("free-format-is-no-header") << QByteArray("\xFF\xFB\x00", 3) << -1;
    QTest::newRow("reserved-version-is-no-header") << QByteArray("\xFF\xEB\x90") << -1;
    QTest::newRow("reserved-layer-is-no-header") << QByteArray("\xFF\xF9\x90") << -1;
    QTest::newRow("second-ff-rejected") << QByteArray("\xFF\xFF\xFB\x90") << 128;
    QTest::newRow("sync-needs-three-high-bits") << QByteArray("\xFF\xDB\x90") << -1;
}

void TestFrameHeader::headerAtStart()
{
    QFETCH(QByteArray, header);
    QFETCH(int, expected);

    // Zeros around the header, as at the start of a file with nothing else that looks like sync.
    QByteArray content = header + QByteArray(3000, '\0');
    QCOMPARE(classifyFrameHeader(ExactBuffer(content).view()), expected);
}

void TestFrameHeader::searchWindow_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("expectedSync");

    QTest::newRow("offset-0") << 0 << 0;
    QTest::newRow("last-offset-in-window") << 2303 << 2303;
    QTest::newRow("first-offset-past-window") << 2304 << -1;
}

void TestFrameHeader::searchWindow()
{
    QFETCH(int, offset);
    QFETCH(int, expectedSync);

    QByteArray content(offset + 200, '\0');
    content.replace(offset, 3, "\xFF\xFB\x90");
    const ExactBuffer buffer(content);
    QCOMPARE(frameSyncOffset(buffer.view()), expectedSync);
    QCOMPARE(classifyFrameHeader(buffer.view()), expectedSync < 0 ? -1 : 128);
}

void TestFrameHeader::everyShortLength()
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
        QVERIFY2(classifyFrameHeader(ExactBuffer(complete).view()) == expected,
                 qPrintable(QStringLiteral("complete header, length %1").arg(length)));

        QByteArray cutShort(length, '\0');
        if (length >= 2) {
            cutShort.replace(length - 2, 2, "\xFF\xFB");
        }
        QVERIFY2(classifyFrameHeader(ExactBuffer(cutShort).view()) == -1,
                 qPrintable(QStringLiteral("cut-short header, length %1").arg(length)));

        QVERIFY2(frameSyncOffset(ExactBuffer(QByteArray(length, '\xFF')).view()) == -1,
                 qPrintable(QStringLiteral("all 0xFF, length %1").arg(length)));
    }
}

QTEST_APPLESS_MAIN(TestFrameHeader)
#include "tst_frameheader.moc"
