#pragma once

#include <QByteArray>

#include <cstdint>

// Offset of the first occurrence of marker, which is not empty, in content at or after from
// (0 or more), or -1.
int findMarker(const QByteArray &content, const QByteArray &marker, int from);

// Follows one marker through a file that arrives in pieces, so a file is searched without
// being held whole. The first occurrence wins, except that one at offset 1 leaves room for the
// next: 1 is the "not found" position.
class FirstMarker
{
public:
    explicit FirstMarker(const QByteArray &marker);

    // Searches window, the file's bytes from windowStart on. Windows must overlap by at least
    // the marker's size less one byte, or an occurrence across their border is missed.
    void search(const QByteArray &window, qint64 windowStart);

    // The occurrence that counts, or 1.
    int32_t position() const;
    // Whether any occurrence was seen, the one at offset 1 included.
    bool seen() const;

private:
    QByteArray marker;
    qint64 nextStart = 0;
    int32_t found = 1;
    bool anySeen = false;
};
