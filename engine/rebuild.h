#pragma once

#include "tagscan.h"

#include <QByteArray>
#include <QList>

// The source's pieces that the encoder drops, as they go around its audio. A Lyrics3 block found
// past offset 2 follows the audio; one at offset 0 or 2 goes in front of it. The tag tail always
// comes last. Empty ranges are left out.
struct RebuildLayout
{
    QList<SourceRange> beforeAudio;
    QList<SourceRange> afterAudio;
};

RebuildLayout rebuildLayout(const TagScan &scan);

// The output file's bytes for a source held in memory: the encoder's audio with the pieces of
// rebuildLayout() around it.
QByteArray rebuildOutput(const QByteArray &encoded, const TagScan &scan, const QByteArray &source);
