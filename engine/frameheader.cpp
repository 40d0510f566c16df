#include "frameheader.h"

#include <QFile>
#include <QFileInfo>

namespace {

// Header candidates start at offsets 0 to 2303; each needs the two bytes after it.
const int syncWindow = probeWindowBytes - 2;

enum Version { Mpeg25 = 0, Reserved = 1, Mpeg2 = 2, Mpeg1 = 3 };

// kbit/s by bitrate index; index 0 ("free format") holds 0 and index 15 holds -1.
// Columns: MPEG-1 Layer I, II, III; MPEG-2 (lower sampling frequencies) Layer I, Layers II/III.
const int bitrates[][16] = {
    { 0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, -1 },
    { 0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, -1 },
    { 0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, -1 },
    { 0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, -1 },
    { 0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, -1 },
};

// Hz by sample-rate index for MPEG-1.
const int sampleRates[] = { 44100, 48000, 32000, 0 };

unsigned byteAt(const QByteArray &content, int offset)
{
    return static_cast<unsigned char>(content.at(offset));
}

} // namespace

int findFrameSync(const QByteArray &content)
{
    const char sync = '\xFF';
    for (int i = content.indexOf(sync); i >= 0 && i < syncWindow;
         i = content.indexOf(sync, i + 1)) {
        if (i + 2 >= content.size()) {
            return -1;
        }
        const unsigned b1 = byteAt(content, i + 1);
        const unsigned b2 = byteAt(content, i + 2);
        // b1: sync low bits 111, version (bits 4-3), layer (bits 2-1), protection (bit 0).
        // A second 0xFF would read as MPEG-1 Layer I, but runs of 0xFF are padding, not audio.
        const bool syncBits = (b1 & 0xE0) == 0xE0;
        const bool versionValid = ((b1 >> 3) & 0x03) != Reserved;
        const bool layerValid = ((b1 >> 1) & 0x03) != 0;
        // b2: bitrate index in the high nibble; 0 means free format, which we cannot judge.
        const bool bitrateGiven = (b2 >> 4) != 0;
        if (b1 != 0xFF && syncBits && versionValid && layerValid && bitrateGiven) {
            return i;
        }
    }
    return -1;
}

int probeFrameHeader(const QByteArray &content)
{
    const int offset = findFrameSync(content);
    if (offset < 0) {
        return -1;
    }
    const unsigned b1 = byteAt(content, offset + 1);
    const unsigned b2 = byteAt(content, offset + 2);
    const unsigned version = (b1 >> 3) & 0x03;
    const unsigned layer = (b1 >> 1) & 0x03; // 3 = Layer I, 2 = Layer II, 1 = Layer III
    const unsigned bitrateIndex = (b2 >> 4) & 0x0F;
    const unsigned sampleRateIndex = (b2 >> 2) & 0x03;

    const int sampleRate = sampleRates[sampleRateIndex];
    if (sampleRate == 0) {
        return -2;
    }
    // MPEG-2.5 has no column in the table: its bitrate counts as 0, too low.
    if (version == Mpeg25) {
        return -3;
    }
    const int column = version == Mpeg1 ? 3 - int(layer) : (layer == 3 ? 3 : 4);
    const int bitrate = bitrates[column][bitrateIndex];
    if (bitrate < 64) {
        return -3;
    }
    // MPEG-2 and 2.5 halve and quarter these rates, so only MPEG-1 reaches 44.1 or 48 kHz.
    if (version == Mpeg1 && (sampleRate == 44100 || sampleRate == 48000)) {
        return bitrate;
    }
    return -4;
}

int probeFile(const QString &path)
{
    // A FIFO or a device would block or never end: only regular files are opened. What cannot
    // be read is probed as no bytes at all.
    QFile file(path);
    const bool readable = QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly);
    return probeFrameHeader(readable ? file.read(probeWindowBytes) : QByteArray());
}
