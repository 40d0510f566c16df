#include "safefiles.h"

#include <QFile>
#include <QRandomGenerator>
#include <QString>

#include <filesystem>
#include <system_error>

namespace {

// The bytes (or on Windows, the UTF-16 name) QFile itself would use for path.
std::filesystem::path nativePath(const QString &path)
{
#ifdef Q_OS_WIN
    return path.toStdWString();
#else
    return QFile::encodeName(path).toStdString();
#endif
}

} // namespace

bool sameFile(const QString &first, const QString &second)
{
    // Device and inode, or on Windows volume serial number and file index; an error (neither
    // exists) is no match either.
    std::error_code code;
    return std::filesystem::equivalent(nativePath(first), nativePath(second), code) && !code;
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
    // rename() on POSIX, MoveFileExW(MOVEFILE_REPLACE_EXISTING) on Windows.
    std::error_code code;
    std::filesystem::rename(nativePath(from), nativePath(to), code);
    if (code) {
        error = QString::fromLocal8Bit(code.message().c_str());
        return false;
    }
    return true;
}
