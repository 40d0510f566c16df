#include "runfolder.h"
#include "safefiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSet>
#include <QStorageInfo>
#include <QUuid>

namespace {

const QString prefix = QStringLiteral(".tunewright-");

// Below this much free room a failed file is taken as the destination's fault: no encoded file
// of any use fits in it.
const qint64 roomMargin = qint64(1) << 18; // 256 KiB

// The token in ".tunewright-<token>.lock" and ".tunewright-<token>-<number>.part", or in the
// longer or single-part names of older versions.
QString tokenOf(const QString &fileName)
{
    const QString name = QFileInfo(fileName).completeBaseName();
    return name.mid(prefix.size()).section(QLatin1Char('-'), 0, 0);
}

} // namespace

RunFolder::RunFolder(const QString &path)
    : folder(path)
{
}

// Out of line: QLockFile is complete only here. Its destructor removes the lock file.
RunFolder::~RunFolder() = default;

QString RunFolder::path() const
{
    return folder;
}

bool RunFolder::wouldReplaceWritten(const QString &path) const
{
    return written.contains(QFileInfo(path).fileName().toCaseFolded());
}

void RunFolder::addWritten(const QString &path)
{
    if (folds) {
        written.insert(QFileInfo(path).fileName().toCaseFolded());
    }
}

QString RunFolder::lockPath(const QString &name) const
{
    return folder + QLatin1Char('/') + prefix + name + QStringLiteral(".lock");
}

void RunFolder::open()
{
    // A random token: no other run, live or dead, is likely to have used it, and a file of the
    // same name is never replaced (openNewFile() makes only new files).
    token = QUuid::createUuid().toString(QUuid::Id128).left(8);
    lock = std::make_unique<QLockFile>(lockPath(token));
    lock->tryLock();
    // The token is lower-case hex, so the upper-case name is another spelling of the lock file.
    folds = QFileInfo::exists(lockPath(token.toUpper()).replace(prefix, prefix.toUpper()));
    sweep();
}

void RunFolder::sweep() const
{
    const QDir directory(folder);
    const QStringList parts = directory.entryList({ prefix + QStringLiteral("*.part") },
                                                  QDir::Files | QDir::Hidden | QDir::System);
    QSet<QString> owners;
    for (const QString &part : parts) {
        owners.insert(tokenOf(part));
    }
    const QString lockFilter = prefix + QStringLiteral("*.lock");
    const QStringList locks = directory.entryList({ lockFilter }, QDir::Files | QDir::Hidden);
    for (const QString &lockName : locks) {
        owners.insert(tokenOf(lockName));
    }
    // This run is alive: its own temporaries are left out by name, whatever QLockFile would make
    // of a lock that its own process holds.
    owners.remove(token);
    for (const QString &owner : qAsConst(owners)) {
        // A lock file can be taken only when the program that made it has gone; without a lock
        // file, nothing is writing the temporaries (a run takes its lock before its first one).
        QLockFile ownerLock(lockPath(owner));
        ownerLock.setStaleLockTime(0);
        if (QFileInfo::exists(lockPath(owner)) && !ownerLock.tryLock()) {
            continue;
        }
        for (const QString &part : parts) {
            if (tokenOf(part) == owner) {
                QFile::remove(directory.filePath(part));
            }
        }
    }
}

bool RunFolder::openNewTemporary(QFile &file)
{
    const QString number = QStringLiteral("%1").arg(++temporaries, 8, 16, QLatin1Char('0'));
    return openNewFile(folder + QLatin1Char('/') + prefix + token + QLatin1Char('-') + number
                           + QStringLiteral(".part"),
                       file);
}

bool RunFolder::cannotTakeFiles()
{
    if (!QFileInfo(folder).isDir()) {
        return true;
    }
    const QStorageInfo storage(folder);
    if (storage.isValid() && storage.bytesAvailable() < roomMargin) {
        return true;
    }
    QFile probe;
    const bool written = openNewTemporary(probe) && probe.write("probe", 5) == 5 && probe.flush();
    if (probe.isOpen()) {
        probe.remove();
    }
    return !written;
}
