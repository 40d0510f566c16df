#include "mainwindow.h"
#include "markerbytes.h"
#include "workstate.h"

#include <QFile>
#include <QMessageBox>

void MainWindow::scanTags()
{
    WorkState &state = workState;
    if (state.outputPath.isEmpty()) {
        return;
    }
    state.searchPos = 0;
    state.endSearchPos = 0;
    state.tagPos = 1;

    QFile source(state.inputPath);
    state.sourceBytes = source.open(QIODevice::ReadOnly) ? source.readAll() : QByteArray();
    source.close();

    // The first "TAG" anywhere counts, not only one in the last 128 bytes: the tail from there
    // on is what the encoder drops and we put back.
    if (recordFirstMarker(state.sourceBytes, QByteArrayLiteral("TAG"), state.searchPos,
                          state.tagPos)) {
        state.hasTag = true;
    }
    state.searchPos = 0;

    if (state.sourceBytes.isEmpty()) {
        QMessageBox::critical(this, QStringLiteral("Errore"),
                              QStringLiteral("Errore durante lo svolgimento dell'operazione, "
                                             "riprovare con file diversi"),
                              QMessageBox::Ok, QMessageBox::NoButton);
        return;
    }

    recordFirstMarker(state.sourceBytes, QByteArrayLiteral("LYRICS"), state.searchPos,
                      state.lyricsPos);
    recordFirstMarker(state.sourceBytes, QByteArrayLiteral("LYRICS200"), state.endSearchPos,
                      state.lyricsEndPos);

    // A Lyrics3 v2.00 block runs from its "LYRICSBEGIN" to the last byte of "LYRICS200".
    const qint64 lastLyricsByte = qint64(state.lyricsEndPos) + 8;
    const QString lyrics = latin1Slice(state.sourceBytes, state.lyricsPos, lastLyricsByte);
    state.lyricsText += lyrics;
    state.copyIndex = state.lyricsPos + lyrics.size();

    rebuildOutput();
}
