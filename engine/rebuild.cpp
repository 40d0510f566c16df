#include "rebuild.h"

namespace {

void appendRange(QList<SourceRange> &pieces, const SourceRange &range)
{
    if (range.size > 0) {
        pieces.append(range);
    }
}

QByteArray joined(const QList<SourceRange> &pieces, const QByteArray &source)
{
    QByteArray bytes;
    for (const SourceRange &piece : pieces) {
        bytes += source.mid(int(piece.start), int(piece.size));
    }
    return bytes;
}

} // namespace

RebuildLayout rebuildLayout(const TagScan &scan)
{
    RebuildLayout layout;
    appendRange(scan.lyricsPos > 2 ? layout.afterAudio : layout.beforeAudio, scan.lyricsBlock);
    appendRange(layout.afterAudio, scan.tagTail);
    return layout;
}

QByteArray rebuildOutput(const QByteArray &encoded, const TagScan &scan, const QByteArray &source)
{
    const RebuildLayout layout = rebuildLayout(scan);
    return joined(layout.beforeAudio, source) + encoded + joined(layout.afterAudio, source);
}
