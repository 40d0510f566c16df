#include "rebuild.h"
#include "tagscan.h"

RebuildLayout rebuildLayout(const TagScan &scan)
{
    if (scan.lyricsPos > 2) {
        return { QByteArray(), scan.lyricsBlock + scan.tagTail };
    }
    return { scan.lyricsBlock, scan.tagTail };
}

QByteArray rebuildOutput(const QByteArray &encoded, const TagScan &scan)
{
    const RebuildLayout layout = rebuildLayout(scan);
    return layout.beforeAudio + encoded + layout.afterAudio;
}
