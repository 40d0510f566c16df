#include "mainwindow.h"
#include "markerbytes.h"
#include "ui_mainwindow_form.h"
#include "workstate.h"

#include <QCoreApplication>
#include <QDebug>
#include <QEventLoop>
#include <QFile>
#include <QStringList>

namespace {

// The encoder drops the ID3v1 tail; take it from the source, from the first "TAG" to the end.
void copyTagTail(WorkState &state)
{
    if (!state.hasTag) {
        return;
    }
    state.tagText += latin1Slice(state.sourceBytes, state.tagPos, state.sourceBytes.size() - 1);
    state.copyIndex = state.sourceBytes.size();
}

} // namespace

void MainWindow::rebuildOutput()
{
    WorkState &state = workState;
    const QString appPath = QCoreApplication::applicationDirPath();
    qDebug() << "App path : " << appPath;

    const QString program = appPath + QStringLiteral("/lame.exe");
    const QStringList arguments = { QStringLiteral("--resample"), QStringLiteral("44.1"),
                                    QStringLiteral("-b"), QStringLiteral("192"),
                                    state.inputPath, state.outputPath };

    ui->progressBar->setMaximum(0);
    ui->progressBar->setValue(0);
    state.encoderProcess.start(program, arguments, QIODevice::ReadWrite);

    // Keep the window live while the encoder works, but sleep between events instead of
    // spinning: the encoder needs that core. repaint() paints at once; update() would post an
    // event that wakes the wait straight away and turn it back into a spin.
    while (state.encoderProcess.state() != QProcess::NotRunning) {
        ui->progressBar->repaint();
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }

    ui->progressBar->setMaximum(100);
    ui->progressBar->setValue(100);

    QFile output(state.outputPath);
    state.encodedBytes = output.open(QIODevice::ReadOnly) ? output.readAll() : QByteArray();
    output.close();

    if (state.lyricsPos == 1) {
        state.lyricsText.clear();
    }

    // Text pieces go back through Latin-1, one byte per character, so they come out as the very
    // bytes they were read from (0x00 and 0xFF included).
    if (state.lyricsPos > 2) {
        // Lyrics found where they belong: audio, then the Lyrics3 block, then the tag.
        copyTagTail(state);
        if (output.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            output.write(state.encodedBytes);
            output.close();
        }
        if (output.open(QIODevice::ReadWrite | QIODevice::Append)) {
            output.write((state.lyricsText + state.tagText).toLatin1());
            output.close();
        }
    } else {
        // No lyrics (or a marker at offset 0 or 2, which lands in front of the audio).
        if (output.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            output.write(state.lyricsText.toLatin1());
            output.close();
        }
        copyTagTail(state);
        if (output.open(QIODevice::ReadWrite | QIODevice::Append)) {
            output.write(state.encodedBytes);
            output.write(state.tagText.toLatin1());
            output.close();
        }
    }
}
