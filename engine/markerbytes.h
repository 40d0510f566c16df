#pragma once

#include <QByteArray>

#include <cstdint>

// Offset of the first occurrence of marker in content at or after from, or -1.
int findMarker(const QByteArray &content, const QByteArray &marker, int from);

// Walks every occurrence of marker in content with cursor, which ends at -1. An occurrence is
// stored in position only while position still holds 1, the "not found" value: so the first
// occurrence wins, except that one at offset 1 leaves room for the next. Returns whether any
// occurrence was stored.
bool recordFirstMarker(const QByteArray &content, const QByteArray &marker, int32_t &cursor,
                       int32_t &position);

