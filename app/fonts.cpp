#include "fonts.h"

#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QMap>

void provideFonts(const QString &fontFolder)
{
    const QMap<QString, QString> standIns = {
        { QStringLiteral("Arial Narrow"), QStringLiteral("Liberation Sans Narrow") },
        { QStringLiteral("Arial"), QStringLiteral("Liberation Sans") },
    };
    const QFontDatabase database;
    QStringList missing;
    for (auto family = standIns.cbegin(); family != standIns.cend(); ++family) {
        if (!database.hasFamily(family.key())) {
            missing << family.key();
        }
    }
    if (missing.isEmpty()) {
        return;
    }
    const QDir folder(fontFolder);
    for (const QString &name : folder.entryList({ QStringLiteral("*.ttf") }, QDir::Files)) {
        QFontDatabase::addApplicationFont(folder.filePath(name));
    }
    for (const QString &family : qAsConst(missing)) {
        QFont::insertSubstitution(family, standIns.value(family));
    }
}
