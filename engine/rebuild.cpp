#include "rebuild.h"
#include "tagscan.h"

QByteArray rebuildOutput(const QByteArray &encoded, const TagScan &scan)
{
    if (scan.lyricsPos > 2) {
        return encoded + scan.lyricsBlock + scan.tagTail;
    }
    return scan.lyricsBlock + encoded + scan.tagTail;
}
