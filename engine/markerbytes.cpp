#include "markerbytes.h"

#include <cstring>

int findMarker(const QByteArray &content, const QByteArray &marker, int from)
{
    const int size = content.size();
    const int markerSize = marker.size();
    if (markerSize > size - from) {
        return -1;
    }
    // memchr is vectorised, so jumping from one first byte to the next beats a generic search
    // on audio data, where the markers' first bytes are rare.
    const char *data = content.constData();
    const char *const lastStart = data + (size - markerSize);
    const char first = marker.at(0);
    const char *candidate = data + from;
    while (candidate <= lastStart) {
        const auto remaining = static_cast<size_t>(lastStart - candidate) + 1;
        const void *hit = std::memchr(candidate, first, remaining);
        if (!hit) {
            return -1;
        }
        candidate = static_cast<const char *>(hit);
        if (std::memcmp(candidate + 1, marker.constData() + 1, markerSize - 1) == 0) {
            return static_cast<int>(candidate - data);
        }
        ++candidate;
    }
    return -1;
}

FirstMarker::FirstMarker(const QByteArray &marker)
    : marker(marker)
{
}

void FirstMarker::search(const QByteArray &window, qint64 windowStart)
{
    // Offsets below nextStart were looked at in an earlier window.
    int from = int(qMax<qint64>(0, nextStart - windowStart));
    while (found == 1) {
        const int hit = findMarker(window, marker, from);
        if (hit < 0) {
            break;
        }
        anySeen = true;
        found = int32_t(windowStart + hit);
        // None of the markers can begin again inside itself.
        from = hit + marker.size();
    }
    nextStart = qMax(nextStart, windowStart + window.size() - marker.size() + 1);
}

int32_t FirstMarker::position() const
{
    return found;
}

bool FirstMarker::seen() const
{
    return anySeen;
}
