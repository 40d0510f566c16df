#pragma once

#include <QFileInfoList>

class QDir;
class QStringList;

// The files of folder that match nameFilters (letter case ignored), hidden ones left out, sorted
// by name ignoring case, read afresh. Where file names are bytes (Linux), names that end in
// ".mp3" in any case but are no valid text in the system's encoding are listed too, decoded with
// U+FFFD where they cannot be: Qt's own listing drops them, and a listed file that cannot be
// opened gets its "Errore" box instead of vanishing without a word.
QFileInfoList listMp3Files(const QDir &folder, const QStringList &nameFilters);
