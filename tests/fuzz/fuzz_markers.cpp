// The tag scan and the rebuild on any content: the scan must stay inside the content, take its
// pieces byte for byte from where its positions say, and the rebuild must lose nothing.

#include "rebuild.h"
#include "tagscan.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray content = QByteArray::fromRawData(reinterpret_cast<const char *>(data),
                                                       static_cast<int>(size));
    const TagScan scan = scanTags(content);
    const bool lyricsInPlace = scan.lyricsPos == 1
        || (content.mid(scan.lyricsPos, 6) == "LYRICS"
            && content.mid(scan.lyricsPos, scan.lyricsBlock.size()) == scan.lyricsBlock);
    const bool tagInPlace = scan.hasTag ? scan.tagTail == content.mid(scan.tagPos)
                                        : scan.tagTail.isEmpty() && scan.tagPos == 1;
    const QByteArray audio("\xFF\xFB\x90\x00", 4);
    const QByteArray rebuilt = rebuildOutput(audio, scan);
    if (!lyricsInPlace || !tagInPlace || !rebuilt.contains(audio)
        || rebuilt.size() != audio.size() + scan.lyricsBlock.size() + scan.tagTail.size()) {
        std::abort();
    }
    return 0;
}
