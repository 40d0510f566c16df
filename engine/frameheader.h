#pragma once

#include <QByteArray>

// Offset of the first plausible MPEG audio frame header whose first byte lies among the first
// 2304 bytes of content, or -1. Reads at most 2306 bytes and never past the end of content: a
// candidate without two bytes after it is no header.
int findFrameSync(const QByteArray &content);

// Decodes the first header findFrameSync() finds: its bitrate in kbit/s when it is MPEG-1 at
// 44100 or 48000 Hz with at least 64 kbit/s, else -1 (no header), -2 (sample rate 0),
// -3 (bitrate below 64, MPEG-2.5 and the "bad" index 15 included) or -4 (other sample rate).
int probeFrameHeader(const QByteArray &content);

// How many leading bytes of a file the probe can look at: candidates at 0-2303 plus the two
// header bytes after the last one.
const int probeWindowBytes = 2306;

class QString;

// probeFrameHeader() on the first probeWindowBytes of the file at path, read without the rest.
// A path that is not a regular file once links are followed (a FIFO, a device) is never opened
// and, like an unreadable or empty file, gives -1: such a file is sent to conversion, whose
// own checks then refuse it.
int probeFile(const QString &path);
