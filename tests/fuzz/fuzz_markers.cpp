// The tag scan's byte work on any content: the three marker passes with their "1 = not found"
// rule, then the lyrics capture, which must stay inside the content and copy it byte for byte.

#include "markerbytes.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray content = QByteArray::fromRawData(reinterpret_cast<const char *>(data),
                                                       static_cast<int>(size));
    int32_t cursor = 0;
    int32_t tagPos = 1;
    int32_t lyricsPos = 1;
    int32_t lyricsEndPos = 1;
    recordFirstMarker(content, "TAG", cursor, tagPos);
    cursor = 0;
    recordFirstMarker(content, "LYRICS", cursor, lyricsPos);
    cursor = 0;
    recordFirstMarker(content, "LYRICS200", cursor, lyricsEndPos);
    if (cursor != -1 || (lyricsPos != 1 && content.mid(lyricsPos, 6) != "LYRICS")) {
        std::abort();
    }

    const QString lyrics = latin1Slice(content, lyricsPos, qint64(lyricsEndPos) + 8);
    if (lyrics.size() > content.size()
        || (!lyrics.isEmpty() && lyrics.toLatin1() != content.mid(lyricsPos, lyrics.size()))) {
        std::abort();
    }
    return 0;
}
