// The byte functions on any content. libFuzzer's buffer has exactly the input's size, so the
// sanitizers catch a read past it; the probe must answer with one of its codes, the scan must
// find the same in small pieces as in one, and the rebuild must keep all that the scan found.
#include "frameheader.h"
#include "rebuild.h"
#include "tagscan.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray content = QByteArray::fromRawData(reinterpret_cast<const char *>(data),
                                                       static_cast<int>(size));
    const int code = probeFrameHeader(content);
    const TagScan scan = scanTags(content);
    const TagScan pieces = scanTags(content, 3);
    const qint64 rebuilt = rebuildOutput("audio", scan, content).size();
    if ((findFrameSync(content) < 0) != (code == -1) || code < -4 || (code >= 0 && code < 64)
        || rebuilt != 5 + scan.lyricsBlock.size + scan.tagTail.size
        || pieces.tagPos != scan.tagPos || pieces.lyricsPos != scan.lyricsPos
        || pieces.lyricsEndPos != scan.lyricsEndPos || pieces.hasTag != scan.hasTag) {
        std::abort();
    }
    return 0;
}
