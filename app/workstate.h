#pragma once

#include <QDir>
#include <QFileInfo>
#include <QList>
#include <QString>

// What the window's slots share: the current selection and destination. Slots never pass these
// to one another; each reads what an earlier one left here. The bytes of a conversion live in
// its encoder job, not here.
struct WorkState
{
    QString outputPath;
    QString inputPath;
    QString sourceFolderPath;
    QString sourceFileName;
    QString destDirName;
    QString sourceMode;
    QDir destDir{QString()};
    QFileInfo resultInfo;
    QDir sourceDir{QString()};
    QList<QFileInfo> fileList;
    // The source folder as it was picked (see folderIdentity()), to tell when it is gone.
    QByteArray sourceFolderIdentity;
};
