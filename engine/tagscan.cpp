#include "tagscan.h"
#include "markerbytes.h"

#include <QBuffer>

#include <algorithm>

namespace {

const QByteArray lyricsEndMarker = QByteArrayLiteral("LYRICS200");

// Each window starts with the last bytes of the one before, so a marker across their border is
// seen whole: as many as the longest marker has bytes less one.
const int overlap = lyricsEndMarker.size() - 1;

TagScan locateBlocks(const FirstMarker &tag, const FirstMarker &lyrics,
                     const FirstMarker &lyricsEnd, qint64 size)
{
    TagScan scan;
    scan.tagPos = tag.position();
    scan.hasTag = tag.seen();
    scan.lyricsPos = lyrics.position();
    scan.lyricsEndPos = lyricsEnd.position();
    // A Lyrics3 v2.00 block runs from its "LYRICSBEGIN" to the last byte of "LYRICS200".
    const qint64 lastLyricsByte = std::min<qint64>(qint64(scan.lyricsEndPos) + overlap, size - 1);
    if (scan.lyricsPos != 1 && scan.lyricsPos <= lastLyricsByte) {
        scan.lyricsBlock = { scan.lyricsPos, lastLyricsByte - scan.lyricsPos + 1 };
    }
    if (scan.hasTag) {
        scan.tagTail = { scan.tagPos, size - scan.tagPos };
    }
    return scan;
}

} // namespace

bool scanTags(QIODevice &source, TagScan &scan, int pieceSize)
{
    FirstMarker tag(QByteArrayLiteral("TAG"));
    FirstMarker lyrics(QByteArrayLiteral("LYRICS"));
    FirstMarker lyricsEnd(lyricsEndMarker);
    QByteArray window;
    qint64 windowStart = 0;
    for (;;) {
        const QByteArray piece = source.read(pieceSize);
        if (piece.isEmpty()) {
            break;
        }
        const int kept = std::min(overlap, window.size());
        windowStart += window.size() - kept;
        window = window.right(kept) + piece;
        tag.search(window, windowStart);
        lyrics.search(window, windowStart);
        lyricsEnd.search(window, windowStart);
    }
    if (!source.atEnd()) {
        return false;
    }
    scan = locateBlocks(tag, lyrics, lyricsEnd, windowStart + window.size());
    return true;
}

TagScan scanTags(const QByteArray &source, int pieceSize)
{
    QByteArray bytes = source;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    TagScan scan;
    scanTags(buffer, scan, pieceSize);
    return scan;
}
