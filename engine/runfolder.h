#pragma once

#include <QSet>
#include <QString>

#include <memory>

class QFile;
class QLockFile;

// One run's hold on its destination folder. While the run lasts it holds a lock file there,
// ".tunewright-<token>.lock", and names its temporaries ".tunewright-<token>-<number>.part", so a
// later run can tell the temporaries of a program that no longer runs (killed, or the power
// went) from those another running program is still writing. Token and number have 8 hex digits
// each: a temporary's name is 34 characters, so it fits wherever an output's short name fits.
class RunFolder
{
public:
    explicit RunFolder(const QString &path);
    ~RunFolder();

    // Takes the lock file, then removes the temporaries and lock files that runs no longer
    // running left in the folder. Where no lock file can be made, no file can be written
    // either: the run's first file fails there and cannotTakeFiles() says why.
    void open();

    QString path() const;

    // Whether writing path would replace a file this run wrote under another spelling of its
    // name: in a folder that ignores letter case, as FAT, exFAT and NTFS do, "Song.mp3" and
    // "song.mp3" are one file.
    bool wouldReplaceWritten(const QString &path) const;
    void addWritten(const QString &path);

    // Opens a new temporary of this run in the folder. Its name starts with "." and does not
    // end in ".mp3", so a listing of MP3 files never picks it up. On failure returns false and
    // file.errorString() says why.
    bool openNewTemporary(QFile &file);

    // Asked after a failure: whether the folder itself cannot take files, because it is gone or
    // not a folder, has next to no room left, or a new file cannot be created and written there.
    bool cannotTakeFiles();

private:
    void sweep() const;
    QString lockPath(const QString &token) const;

    const QString folder;
    QString token;
    quint32 temporaries = 0;
    std::unique_ptr<QLockFile> lock;
    // The names this run wrote, case folded, where the folder folds case.
    QSet<QString> written;
    bool folds = false;
};
