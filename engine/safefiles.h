#pragma once

class QFile;
class QString;

// Whether both paths name one existing file or folder once links are followed: the same device
// and inode, or on Windows the same volume serial number and file index. This sees through hard
// links, symbolic links, bind mounts, other spellings and case-folding file systems. False when
// either path does not exist.
bool sameFile(const QString &first, const QString &second);

// Opens file as a new, empty file in folder that did not exist before. Its name starts with "."
// and does not end in ".mp3", so a listing of MP3 files never picks it up. On failure returns
// false and file.errorString() says why.
bool openNewTemporary(const QString &folder, QFile &file);

// Renames from to to, replacing whatever name to was, a link included (the link is replaced,
// not followed). The rename is atomic: to names either its old file or the new one. On failure
// returns false and fills error.
bool replaceFile(const QString &from, const QString &to, QString &error);
