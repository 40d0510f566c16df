// The byte functions on any content (libFuzzer's buffer has exactly the input's size, so a read
// past it is caught): the probe answers only with one of its codes, the scan takes its pieces byte
// for byte from where its positions say, and the rebuild loses nothing.
#include "frameheader.h"
#include "rebuild.h"
#include "tagscan.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray content = QByteArray::fromRawData(reinterpret_cast<const char *>(data),
                                                       static_cast<int>(size));
    const int probed = probeFrameHeader(content);
    const TagScan scan = scanTags(content);
    const bool lyricsInPlace = scan.lyricsPos == 1
        || content.mid(scan.lyricsPos, scan.lyricsBlock.size()) == scan.lyricsBlock;
    const bool tagInPlace = scan.hasTag ? scan.tagTail == content.mid(scan.tagPos)
                                        : scan.tagTail.isEmpty() && scan.tagPos == 1;
    const QByteArray rebuilt = rebuildOutput("audio", scan);
    if (findFrameSync(content) > 2303 || (findFrameSync(content) < 0) != (probed == -1)
        || probed < -4 || (probed >= 0 && probed < 64) || !lyricsInPlace || !tagInPlace
        || rebuilt.size() != 5 + scan.lyricsBlock.size() + scan.tagTail.size()) {
        std::abort();
    }
    return 0;
}
