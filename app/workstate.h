#pragma once

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QList>
#include <QProcess>
#include <QString>

#include <cstdint>

// What the slots share: the current selection, the file contents in flight, the marker positions
// found in the current source and the one encoder process. Slots never pass these to one another;
// each reads what an earlier one left here.
//
// The three marker positions use 1 for "not found" (see scanTags()).
struct WorkState
{
    QProcess encoderProcess;
    QString outputPath;
    QString inputPath;
    QString sourceFolderPath;
    QString lyricsText;
    QString tagText;
    QString sourceFileName;
    QString destDirName;
    QString sourceMode;
    QByteArray probeBytes;
    QByteArray encodedBytes;
    QByteArray sourceBytes;
    QDir destDir{QString()};
    QFileInfo resultInfo;
    QDir sourceDir{QString()};
    QList<QFileInfo> fileList;
    bool hasTag = false;
    int32_t tagPos = 1;
    int32_t lyricsPos = 1;
    int32_t lyricsEndPos = 1;
    int32_t searchPos = 0;
    int32_t endSearchPos = 0;
    int32_t copyIndex = 0;
};

// Built during static initialisation, after the resources are registered, and destroyed at
// process exit, so an encoder still running then is stopped with it.
extern WorkState workState;
