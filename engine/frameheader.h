#pragma once

#include <QByteArray>

// Offset of the first plausible MPEG audio frame header whose first byte lies among the first
// 2304 bytes of content, or -1. Reads at most 2306 bytes and never past the end of content: a
// candidate without two bytes after it is no header.
int frameSyncOffset(const QByteArray &content);

// Decodes the first header frameSyncOffset() finds: its bitrate in kbit/s when it is MPEG-1 at
// 44100 or 48000 Hz with at least 64 kbit/s, else -1 (no header), -2 (sample rate 0),
// -3 (bitrate below 64, MPEG-2.5 and the "bad" index 15 included) or -4 (other sample rate).
int classifyFrameHeader(const QByteArray &content);
