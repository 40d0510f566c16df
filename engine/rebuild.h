#pragma once

#include <QByteArray>

struct TagScan;

// The output file's bytes: the encoder's audio with the source's Lyrics3 block and tag tail
// put back, which the encoder drops. A block found past offset 2 follows the audio; one at
// offset 0 or 2 goes in front of it. The tag tail always comes last.
QByteArray rebuildOutput(const QByteArray &encoded, const TagScan &scan);
