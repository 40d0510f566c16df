#include "safefiles.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QString>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <sys/stat.h>
#include <filesystem>
#include <system_error>
#endif

namespace {

#ifdef Q_OS_WIN
// MinGW's stat() reports every inode as 0, so ask Windows for the file's identity itself.
bool fileIdentity(const QString &path, BY_HANDLE_FILE_INFORMATION &information)
{
    const QString native = QDir::toNativeSeparators(path);
    // FILE_FLAG_BACKUP_SEMANTICS lets folders be opened too; no access right is needed.
    const HANDLE handle = CreateFileW(reinterpret_cast<const wchar_t *>(native.utf16()), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool known = GetFileInformationByHandle(handle, &information) != 0;
    CloseHandle(handle);
    return known;
}
#endif

} // namespace

bool sameFile(const QString &first, const QString &second)
{
#ifdef Q_OS_WIN
    BY_HANDLE_FILE_INFORMATION a;
    BY_HANDLE_FILE_INFORMATION b;
    return fileIdentity(first, a) && fileIdentity(second, b)
        && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber
        && a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
#else
    struct stat a;
    struct stat b;
    return stat(QFile::encodeName(first).constData(), &a) == 0
        && stat(QFile::encodeName(second).constData(), &b) == 0 && a.st_dev == b.st_dev
        && a.st_ino == b.st_ino;
#endif
}

bool openNewTemporary(const QString &folder, QFile &file)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const quint64 token = QRandomGenerator::global()->generate64();
        file.setFileName(folder + QStringLiteral("/.tunewright-%1.part").arg(token, 16, 16,
                                                                           QLatin1Char('0')));
        // NewOnly creates the file exclusively: never an existing file, never through a link.
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            return true;
        }
        if (!file.exists()) {
            return false;
        }
    }
    return false;
}

bool replaceFile(const QString &from, const QString &to, QString &error)
{
#ifdef Q_OS_WIN
    const QString nativeFrom = QDir::toNativeSeparators(from);
    const QString nativeTo = QDir::toNativeSeparators(to);
    if (MoveFileExW(reinterpret_cast<const wchar_t *>(nativeFrom.utf16()),
                    reinterpret_cast<const wchar_t *>(nativeTo.utf16()),
                    MOVEFILE_REPLACE_EXISTING)) {
        return true;
    }
    error = QStringLiteral("MoveFileEx failed with error %1").arg(GetLastError());
    return false;
#else
    std::error_code code;
    std::filesystem::rename(QFile::encodeName(from).toStdString(),
                            QFile::encodeName(to).toStdString(), code);
    if (code) {
        error = QString::fromLocal8Bit(code.message().c_str());
        return false;
    }
    return true;
#endif
}
