#include "tagscan.h"
#include "markerbytes.h"

#include <algorithm>

TagScan scanTags(const QByteArray &source)
{
    TagScan scan;
    int32_t cursor = 0;
    scan.hasTag = recordFirstMarker(source, QByteArrayLiteral("TAG"), cursor, scan.tagPos);
    cursor = 0;
    recordFirstMarker(source, QByteArrayLiteral("LYRICS"), cursor, scan.lyricsPos);
    cursor = 0;
    recordFirstMarker(source, QByteArrayLiteral("LYRICS200"), cursor, scan.lyricsEndPos);

    // A Lyrics3 v2.00 block runs from its "LYRICSBEGIN" to the last byte of "LYRICS200"; the
    // 64-bit end keeps a marker near INT_MAX from wrapping.
    const qint64 lastLyricsByte = std::min<qint64>(qint64(scan.lyricsEndPos) + 8,
                                                   source.size() - 1);
    // Copies, not mid(): mid() of the whole would share the caller's bytes, which may be raw
    // data that does not outlive the call.
    if (scan.lyricsPos != 1 && scan.lyricsPos <= lastLyricsByte) {
        scan.lyricsBlock = QByteArray(source.constData() + scan.lyricsPos,
                                      int(lastLyricsByte - scan.lyricsPos + 1));
    }
    if (scan.hasTag) {
        scan.tagTail = QByteArray(source.constData() + scan.tagPos, source.size() - scan.tagPos);
    }
    return scan;
}
