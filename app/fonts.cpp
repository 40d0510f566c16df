#include "fonts.h"

#include <QDir>
#include <QFont>
#include <QFontDatabase>

namespace {

struct StandIn
{
    QString family;    // what the system may lack
    QString requested; // the name the form asks for
    QString standIn;   // what takes its place
};

} // namespace

void provideFonts(const QString &fontFolder)
{
    // Windows' default font is asked for as "MS Shell Dlg 2", its name for Tahoma; Wine has no
    // Tahoma, and Qt there resolves the name to whatever family comes first.
    const QList<StandIn> standIns = {
        { QStringLiteral("Arial Narrow"), QStringLiteral("Arial Narrow"),
          QStringLiteral("Liberation Sans Narrow") },
        { QStringLiteral("Arial"), QStringLiteral("Arial"), QStringLiteral("Liberation Sans") },
        { QStringLiteral("Tahoma"), QStringLiteral("MS Shell Dlg 2"),
          QStringLiteral("Liberation Sans") },
    };
    const QFontDatabase database;
    QList<StandIn> missing;
    for (const StandIn &font : standIns) {
        if (!database.hasFamily(font.family)) {
            missing << font;
        }
    }
    if (missing.isEmpty()) {
        return;
    }
    const QDir folder(fontFolder);
    for (const QString &name : folder.entryList({ QStringLiteral("*.ttf") }, QDir::Files)) {
        QFontDatabase::addApplicationFont(folder.filePath(name));
    }
    for (const StandIn &font : qAsConst(missing)) {
        QFont::insertSubstitution(font.requested, font.standIn);
    }
}
