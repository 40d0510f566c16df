// The byte functions on any content. libFuzzer's buffer has exactly the input's size, so the
// sanitizers catch a read past it; the probe must answer with one of its codes, the tag tail
// must be the content's end, and the rebuild must keep all that the scan found.
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
    const QByteArray rebuilt = rebuildOutput("audio", scan);
    if ((findFrameSync(content) < 0) != (probed == -1) || probed < -4 || (probed >= 0 && probed < 64)
        || rebuilt.size() != 5 + scan.lyricsBlock.size() + scan.tagTail.size()
        || (scan.hasTag && !content.endsWith(scan.tagTail))) {
        std::abort();
    }
    return 0;
}
