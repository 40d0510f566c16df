#include "folderlisting.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {

QFileInfoList undecodableMp3Files(const QDir &folder)
{
    QFileInfoList files;
#ifndef Q_OS_WIN
    std::error_code code;
    const std::filesystem::directory_iterator end;
    std::filesystem::directory_iterator entry(QFile::encodeName(folder.absolutePath())
                                                  .toStdString(),
                                              code);
    for (; !code && entry != end; entry.increment(code)) {
        const std::string raw = entry->path().filename().string();
        const QByteArray name(raw.data(), int(raw.size()));
        const QString decoded = QFile::decodeName(name);
        std::error_code typeCode;
        if (QFile::encodeName(decoded) != name && !name.startsWith('.')
            && name.toLower().endsWith(".mp3") && entry->is_regular_file(typeCode)) {
            files.append(QFileInfo(folder, decoded));
        }
    }
#else
    Q_UNUSED(folder)
#endif
    return files;
}

} // namespace

QFileInfoList listMp3Files(const QDir &folder, const QStringList &nameFilters)
{
    QDir listing(folder);
    // Setting the filters again also makes QDir list afresh instead of from its cache.
    listing.setNameFilters(nameFilters);
    QFileInfoList files = listing.entryInfoList(QDir::Files, QDir::Name | QDir::IgnoreCase);
    const QFileInfoList undecodable = undecodableMp3Files(folder);
    if (!undecodable.isEmpty()) {
        files += undecodable;
        std::stable_sort(files.begin(), files.end(), [](const QFileInfo &a, const QFileInfo &b) {
            return a.fileName().compare(b.fileName(), Qt::CaseInsensitive) < 0;
        });
    }
    return files;
}
