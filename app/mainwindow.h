#pragma once

#include <QMainWindow>

class QByteArray;

namespace Ui {
class MainWindow;
}

// The one window. Its buttons reach their slots by name only; the slots share their results
// through the process-wide workState, never through arguments.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Brings the step widgets and workState back to their start values. Keeps sourceMode,
    // sourceFolderPath, sourceDir, resultInfo and the encoder process.
    void resetState();

    // Reads workState.inputPath whole, records the first "TAG", "LYRICS" and "LYRICS200" with
    // 1 meaning "not found", captures the Lyrics3 block into lyricsText and calls rebuildOutput().
    // Returns at once when outputPath is empty; an empty or unreadable source gets the "Errore"
    // box and nothing is encoded.
    void scanTags();

    // Runs lame.exe from the program's own directory on inputPath -> outputPath while the window
    // stays live, then rewrites outputPath as encoder audio plus the source's Lyrics3 block and
    // ID3v1 tail. Reports nothing: a missing or failing encoder just leaves less audio.
    void rebuildOutput();

    // Offset of the first plausible MPEG audio frame header among the first 2304 bytes of
    // content, or -1 when there is none.
    int findFrameSync(const QByteArray &content) const;

    // The first frame header's bitrate in kbit/s when it is MPEG-1 at 44.1/48 kHz with at least
    // 64 kbit/s; otherwise -1 (no header), -2 (sample rate 0), -3 (bitrate below 64) or
    // -4 (other sample rate).
    int probeFrameHeader(const QByteArray &content) const;

private slots:
    void on_pushButton_clicked();
    void on_pushButton_2_clicked();
    void on_pushBtnQuit_clicked();
    void on_pushButton_3_clicked();
    void on_pushButton_4_clicked();
    void on_pushButton_5_clicked();
    void on_pushButton_6_clicked();

private:
    Ui::MainWindow *ui;
};
