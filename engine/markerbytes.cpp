#include "markerbytes.h"

#include <cstring>

int findMarker(const QByteArray &content, const QByteArray &marker, int from)
{
    // memchr is vectorised, so jumping from one first byte to the next beats a generic search
    // on audio data, where the markers' first bytes are rare.
    const char *data = content.constData();
    const int lastStart = content.size() - marker.size();
    for (int start = from; start <= lastStart; ++start) {
        const void *hit = std::memchr(data + start, marker.at(0), size_t(lastStart - start) + 1);
        if (!hit) {
            break;
        }
        start = int(static_cast<const char *>(hit) - data);
        if (std::memcmp(data + start + 1, marker.constData() + 1, size_t(marker.size()) - 1) == 0) {
            return start;
        }
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
        if (hit == -1) {
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
