#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <cstdint>

class QIODevice;

// A run of the source's bytes, by position, so a job need not hold them while its encoder runs.
struct SourceRange
{
    qint64 start = 0;
    qint64 size = 0;
};

// What the tag scan found in one source. Positions are byte offsets in the source; 1 means
// "not found" (and so an occurrence at offset 1 is read as none; see FirstMarker).
struct TagScan
{
    int32_t tagPos = 1;
    int32_t lyricsPos = 1;
    int32_t lyricsEndPos = 1;
    // A "TAG" was seen, even the one at offset 1 that leaves tagPos at 1.
    bool hasTag = false;
    // Source bytes lyricsPos .. lyricsEndPos + 8 (the last byte of "LYRICS200"), clipped to
    // the source; empty when lyricsPos is 1.
    SourceRange lyricsBlock;
    // Source bytes from tagPos to the end when hasTag, else empty.
    SourceRange tagTail;
};

// How much of a source the scan reads at once.
const int scanPieceSize = 1 << 20;

// Records the first "TAG", "LYRICS" and "LYRICS200" anywhere in source (not only in the last
// 128 bytes), reading it from its current position to the end in pieces of pieceSize bytes, and
// locates the Lyrics3 block and the tag tail that the encoder will drop. Returns false when a
// read fails. An empty source gives the defaults; refusing it is the caller's business.
bool scanTags(QIODevice &source, TagScan &scan, int pieceSize = scanPieceSize);

// The same on bytes in memory.
TagScan scanTags(const QByteArray &source, int pieceSize = scanPieceSize);
