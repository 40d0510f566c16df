#include "safefiles.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QString>
#include <QStringList>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <future>
#include <memory>
#include <system_error>
#include <thread>

namespace {

// The bytes (or on Windows, the UTF-16 name) QFile itself would use for path.
std::filesystem::path nativePath(const QString &path)
{
#ifdef Q_OS_WIN
    return systemPath(path).toStdWString();
#else
    return QFile::encodeName(path).toStdString();
#endif
}

bool equivalent(const QString &first, const QString &second)
{
    std::error_code code;
    return std::filesystem::equivalent(nativePath(first), nativePath(second), code) && !code;
}

#ifndef Q_OS_WIN
// A file system that has no sync of its own (some FUSE ones) says so with these. (ENOTSUP is
// EOPNOTSUPP on Linux.)
bool syncUnsupported(int code)
{
    return QSet<int> { EINVAL, EOPNOTSUPP, ENOSYS }.contains(code);
}

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}
#endif

} // namespace

QString windowsPath(const QString &absolutePath)
{
    // MAX_PATH is 260 with the terminating zero.
    const int longestPlain = 259;
    QString path = QString(absolutePath).replace(QLatin1Char('/'), QLatin1Char('\\'));
    if (path.size() <= longestPlain || path.startsWith(QLatin1String("\\\\?\\"))) {
        return path;
    }
    if (path.startsWith(QLatin1String("\\\\"))) {
        return QStringLiteral("\\\\?\\UNC\\") + path.mid(2);
    }
    return QStringLiteral("\\\\?\\") + path;
}

QString systemPath(const QString &path)
{
#ifdef Q_OS_WIN
    return windowsPath(QFileInfo(path).absoluteFilePath());
#else
    return path;
#endif
}

void runWithin(const std::function<void()> &work, int milliseconds)
{
    auto finished = std::make_shared<std::promise<void>>();
    std::future<void> done = finished->get_future();
    // Detached: a thread blocked in a dead disk can only be left behind.
    std::thread([work, finished] {
        work();
        finished->set_value();
    }).detach();
    done.wait_for(std::chrono::milliseconds(milliseconds));
}

void removeFiles(const QStringList &paths, const QDeadlineTimer &deadline)
{
    QStringList left = paths;
    const auto removed = [](const QString &path) {
        return QFile::remove(path) || !QFile::exists(path);
    };
    left.erase(std::remove_if(left.begin(), left.end(), removed), left.end());
    while (!left.isEmpty() && !deadline.hasExpired()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        left.erase(std::remove_if(left.begin(), left.end(), removed), left.end());
    }
}

bool sameFile(const QString &first, const QString &second)
{
    if (equivalent(first, second)) {
        return true;
    }
    const QFileInfo firstInfo(first);
    const QFileInfo secondInfo(second);
    if (!firstInfo.exists() || !secondInfo.exists()
        || firstInfo.fileName().compare(secondInfo.fileName(), Qt::CaseInsensitive) != 0
        || !equivalent(firstInfo.absolutePath(), secondInfo.absolutePath())) {
        return false;
    }
    // Both spellings exist, but a folder that folds case lists only one of them: the other is
    // that one under another name.
    const QStringList listed = QDir(firstInfo.absolutePath())
                                   .entryList(QDir::AllEntries | QDir::Hidden | QDir::System);
    return !listed.contains(firstInfo.fileName()) || !listed.contains(secondInfo.fileName());
}

QByteArray folderIdentity(const QString &path)
{
#ifdef Q_OS_WIN
    // Backup semantics: the only way CreateFileW opens a folder.
    const HANDLE folder = CreateFileW(reinterpret_cast<const wchar_t *>(systemPath(path).utf16()),
                                      0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    BY_HANDLE_FILE_INFORMATION information;
    const bool known = folder != INVALID_HANDLE_VALUE
        && GetFileInformationByHandle(folder, &information);
    if (folder != INVALID_HANDLE_VALUE) {
        CloseHandle(folder);
    }
    return known ? QByteArray::number(quint64(information.dwVolumeSerialNumber)) + ':'
            + QByteArray::number(quint64(information.nFileIndexHigh) << 32
                                 | information.nFileIndexLow)
                 : QByteArray();
#else
    struct stat status;
    if (::stat(QFile::encodeName(path).constData(), &status) != 0) {
        return QByteArray();
    }
    return QByteArray::number(quint64(status.st_dev)) + ':'
        + QByteArray::number(quint64(status.st_ino));
#endif
}

bool openNewFile(const QString &path, QFile &file)
{
    file.setFileName(path);
    // NewOnly creates the file exclusively: never an existing file, never through a link.
    return file.open(QIODevice::ReadWrite | QIODevice::NewOnly);
}

bool syncFile(QFile &file, QString &error)
{
    if (!file.flush()) {
        error = file.errorString();
        return false;
    }
#ifdef Q_OS_WIN
    if (!FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(file.handle())))
        && GetLastError() != ERROR_INVALID_FUNCTION) {
        error = QStringLiteral("sync failed (Windows error %1)").arg(GetLastError());
        return false;
    }
#else
    if (::fsync(file.handle()) != 0 && !syncUnsupported(errno)) {
        error = systemError(errno);
        return false;
    }
#endif
    return true;
}

bool syncFolder(const QString &folder, QString &error)
{
#ifdef Q_OS_WIN
    Q_UNUSED(folder)
    Q_UNUSED(error)
    return true;
#else
    const int descriptor = ::open(QFile::encodeName(folder).constData(),
                                  O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor == -1) {
        error = systemError(errno);
        return false;
    }
    const bool synced = ::fsync(descriptor) == 0 || syncUnsupported(errno);
    if (!synced) {
        error = systemError(errno);
    }
    ::close(descriptor);
    return synced;
#endif
}

Replaced replaceFile(const QString &from, const QString &to, QString &error)
{
#ifdef Q_OS_WIN
    const std::wstring source = systemPath(from).toStdWString();
    const std::wstring target = systemPath(to).toStdWString();
    if (MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        return Replaced::Done;
    }
    const DWORD code = GetLastError();
    error = QStringLiteral("rename failed (Windows error %1)").arg(code);
    // Access is denied for good to a read-only file or a folder; otherwise, as for a sharing
    // violation, a program has one of the files open without letting it be replaced.
    const DWORD attributes = GetFileAttributesW(target.c_str());
    const bool forGood = attributes != INVALID_FILE_ATTRIBUTES
        && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY));
    const bool busy = code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION
        || (code == ERROR_ACCESS_DENIED && !forGood);
    return busy ? Replaced::Busy : Replaced::Failed;
#else
    std::error_code code;
    std::filesystem::rename(nativePath(from), nativePath(to), code);
    if (code) {
        error = QString::fromLocal8Bit(code.message().c_str());
        return Replaced::Failed;
    }
    return Replaced::Done;
#endif
}
