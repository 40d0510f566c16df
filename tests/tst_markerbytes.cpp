#include "markerbytes.h"

#include <QtTest>

class TestMarkerBytes : public QObject
{
    Q_OBJECT

private slots:
    void firstOccurrence_data();
    void firstOccurrence();
    void findMarkerEdges_data();
    void findMarkerEdges();
    void slices_data();
    void slices();
};

void TestMarkerBytes::firstOccurrence_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("positionBefore");
    QTest::addColumn<int>("expectedPosition");
    QTest::addColumn<bool>("expectedRecorded");

    const QByteArray filler(600, 'x');
    auto withTagsAt = [&filler](std::initializer_list<int> offsets) {
        QByteArray content = filler;
        for (const int offset : offsets) {
            content.replace(offset, 3, "TAG");
        }
        return content;
    };

    QTest::newRow("none") << filler << 1 << 1 << false;
    QTest::newRow("empty-content") << QByteArray() << 1 << 1 << false;
    QTest::newRow("at-0") << withTagsAt({ 0 }) << 1 << 0 << true;
    QTest::newRow("at-0-and-500-keeps-0") << withTagsAt({ 0, 500 }) << 1 << 0 << true;
    QTest::newRow("at-1-reads-as-1") << withTagsAt({ 1 }) << 1 << 1 << true;
    QTest::newRow("at-1-then-500-takes-500") << withTagsAt({ 1, 500 }) << 1 << 500 << true;
    QTest::newRow("first-wins-not-last") << withTagsAt({ 40, 497 }) << 1 << 40 << true;
    QTest::newRow("at-last-possible-offset") << withTagsAt({ 597 }) << 1 << 597 << true;
    QTest::newRow("overlapping-run") << QByteArray("xxTATAGAG") << 1 << 4 << true;
    QTest::newRow("position-already-set-is-kept") << withTagsAt({ 300 }) << 7 << 7 << false;
}

void TestMarkerBytes::firstOccurrence()
{
    QFETCH(QByteArray, content);
    QFETCH(int, positionBefore);
    QFETCH(int, expectedPosition);
    QFETCH(bool, expectedRecorded);

    int32_t cursor = 0;
    int32_t position = positionBefore;
    QCOMPARE(recordFirstMarker(content, "TAG", cursor, position), expectedRecorded);
    QCOMPARE(position, expectedPosition);
    QCOMPARE(cursor, -1);
}

void TestMarkerBytes::findMarkerEdges_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("marker");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("expected");

    QTest::newRow("marker-ends-on-last-byte") << QByteArray("abcLYRICS") << QByteArray("LYRICS") << 0 << 3;
    QTest::newRow("marker-cut-by-end") << QByteArray("abcLYRIC") << QByteArray("LYRICS") << 0 << -1;
    QTest::newRow("prefix-is-not-the-longer-marker") << QByteArray("LYRICS2000") << QByteArray("LYRICS200") << 1 << -1;
    QTest::newRow("longer-marker-found") << QByteArray("LYRICSBEGINxLYRICS200") << QByteArray("LYRICS200") << 0 << 12;
    QTest::newRow("from-skips-earlier") << QByteArray("TAGTAG") << QByteArray("TAG") << 1 << 3;
    QTest::newRow("from-past-end") << QByteArray("TAG") << QByteArray("TAG") << 4 << -1;
}

void TestMarkerBytes::findMarkerEdges()
{
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, marker);
    QFETCH(int, from);
    QFETCH(int, expected);

    // A copy holds no spare bytes of the literal, so the sanitizer sees any read past the end.
    QCOMPARE(findMarker(QByteArray(content.constData(), content.size()), marker, from), expected);
}

void TestMarkerBytes::slices_data()
{
    QTest::addColumn<qint64>("first");
    QTest::addColumn<qint64>("last");
    QTest::addColumn<int>("expectedFirst");
    QTest::addColumn<int>("expectedSize");

    QTest::newRow("clipped-at-end") << qint64(250) << qint64(264) << 250 << 6;
    QTest::newRow("starts-past-end") << qint64(256) << qint64(300) << 0 << 0;
    QTest::newRow("first-after-last") << qint64(20) << qint64(9) << 0 << 0;
}

void TestMarkerBytes::slices()
{
    QFETCH(qint64, first);
    QFETCH(qint64, last);
    QFETCH(int, expectedFirst);
    QFETCH(int, expectedSize);

    QByteArray everyByte;
    for (int value = 0; value < 256; ++value) {
        everyByte.append(char(value));
    }
    const QString slice = latin1Slice(everyByte, first, last);
    QCOMPARE(slice.size(), expectedSize);
    // One character per byte both ways: every value, 0x00 and 0xFF included, survives.
    QCOMPARE(slice.toLatin1(), everyByte.mid(expectedFirst, expectedSize));
}

QTEST_APPLESS_MAIN(TestMarkerBytes)
#include "tst_markerbytes.moc"
