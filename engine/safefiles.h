#pragma once

#include <QDeadlineTimer>
#include <QString>
#include <QStringList>

#include <functional>

class QFile;

// An absolute path as Windows takes it outside Qt: with backslashes and, when it is longer than
// the 259 characters of old Windows paths, behind the "\\?\" prefix that lifts the limit
// ("\\?\UNC\" for a share). Qt adds the prefix to its own calls; the encoder's arguments,
// the rename and the same-file check need it from us. Shorter paths stay as they are, so an
// encoder that knows no prefix still takes them.
QString windowsPath(const QString &absolutePath);

// path as the system's own calls outside Qt take it: windowsPath() of the absolute path on
// Windows, path itself elsewhere.
QString systemPath(const QString &path);

// Whether both paths name one existing file or folder: the same device and inode, or on Windows
// the same volume serial number and file index, once links are followed; or, in one folder, two
// spellings of a name that differ only in case where the folder folds case. (FUSE's FAT and
// exFAT give each spelling its own inode number, so the inode alone misses that.) This sees
// through hard links, symbolic links, bind mounts and other spellings. False when either path
// does not exist.
bool sameFile(const QString &first, const QString &second);

// What tells a folder from any other, also from one mounted or made later under the same path
// (an unplugged stick leaves its empty mount point behind): device and inode, or on Windows the
// volume serial number and file index. Empty where the folder cannot be reached.
QByteArray folderIdentity(const QString &path);

// Opens path as a new, empty file that did not exist before, never through a link. On failure
// returns false and file.errorString() says why.
bool openNewFile(const QString &path, QFile &file);

// Pushes what was written to file, which is open, on to the disk; a file system that cannot
// sync counts as done. On failure returns false and fills error.
bool syncFile(QFile &file, QString &error);

// Pushes folder's list of names to the disk, so a rename in it survives a power cut. Where
// folders cannot be synced (Windows, some file systems) this counts as done.
bool syncFolder(const QString &folder, QString &error);

// How replaceFile() went. Busy: Windows refused only because another program holds one of the
// files open for now (a virus scanner or the search indexer, just after a file is written; a
// player), so a later try may work.
enum class Replaced { Done, Busy, Failed };

// Runs work on a thread of its own and waits for it at most milliseconds: a disk that stopped
// answering must not hold up the program's end. Work not done by then is left behind.
void runWithin(const std::function<void()> &work, int milliseconds);

// Removes the files at paths, trying again until deadline those that cannot be removed yet:
// Windows keeps a killed process's files open a moment longer.
void removeFiles(const QStringList &paths, const QDeadlineTimer &deadline);

// Renames from to to, replacing whatever name to was, a link included (the link is replaced,
// not followed). The rename is atomic: to names either its old file or the new one. On failure
// fills error.
Replaced replaceFile(const QString &from, const QString &to, QString &error);
