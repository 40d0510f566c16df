#pragma once

#include <QByteArray>

#include <cstdint>

// What the tag scan found in one source. Positions are byte offsets in the source; 1 means
// "not found" (and so an occurrence at offset 1 is read as none; see recordFirstMarker()).
struct TagScan
{
    int32_t tagPos = 1;
    int32_t lyricsPos = 1;
    int32_t lyricsEndPos = 1;
    // A "TAG" was recorded, even the one at offset 1 that leaves tagPos at 1.
    bool hasTag = false;
    // Source bytes lyricsPos .. lyricsEndPos + 8 (the last byte of "LYRICS200"), clipped to
    // the source; empty when lyricsPos is 1.
    QByteArray lyricsBlock;
    // Source bytes from tagPos to the end when hasTag, else empty.
    QByteArray tagTail;
};

// Records the first "TAG", "LYRICS" and "LYRICS200" anywhere in source (not only in the last
// 128 bytes) and takes the Lyrics3 block and the tag tail that the encoder will drop. An empty
// source gives the defaults; refusing it is the caller's business.
TagScan scanTags(const QByteArray &source);
