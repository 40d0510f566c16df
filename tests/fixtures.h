#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace Fixtures {

QByteArray readFile(const QString &path);
bool writeFile(const QString &path, const QByteArray &bytes);

// Runs Debian's lame directly, as a person would from a shell; returns its exit code.
int runLame(const QStringList &arguments);

// A mono 16-bit sine tone as a WAV file's bytes.
QByteArray toneWav(double seconds, int sampleRate);

// A mono sine tone at 22.05 kHz, encoded by lame with extraArguments into an MP3 in directory.
QByteArray toneMp3(const QString &directory, double seconds, const QStringList &extraArguments);

// A Lyrics3 v2.00 block around text: "LYRICSBEGIN", fields, size, "LYRICS200".
QByteArray lyrics3Block(const QByteArray &text);

// A 128-byte ID3v1 tag whose fields hold zero padding, an accented letter and genre 0xFF.
QByteArray id3v1Tag();

// What a modal dialog showed when the driver answered it.
struct SeenDialog
{
    QString kind; // "file" or "box"
    QString title;
    QString text; // a box's text, or a file dialog's start folder
    QStringList buttons; // a box's buttons, or a file dialog's name filters
};

// Answers modal dialogs in the order they open, as a person would: types a path into a file
// dialog, cancels one, or presses a message box's button by its text.
class DialogDriver
{
public:
    DialogDriver();
    ~DialogDriver();
    DialogDriver &typePath(const QString &path);
    DialogDriver &cancel();
    // before, if given, runs just before the button is pressed.
    DialogDriver &press(const QString &buttonText, const std::function<void()> &before = {});
    QList<SeenDialog> seen;
    int pending() const;

private:
    struct Private;
    Private *d;
};

} // namespace Fixtures
