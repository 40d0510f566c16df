#include "narrowfont.h"

#include <QDir>
#include <QFont>
#include <QFontDatabase>

void provideNarrowFont(const QString &fontFolder)
{
    if (QFontDatabase().hasFamily(QStringLiteral("Arial Narrow"))) {
        return;
    }
    const QDir folder(fontFolder);
    for (const QString &name : folder.entryList({ QStringLiteral("*.ttf") }, QDir::Files)) {
        QFontDatabase::addApplicationFont(folder.filePath(name));
    }
    QFont::insertSubstitution(QStringLiteral("Arial Narrow"),
                              QStringLiteral("Liberation Sans Narrow"));
}
