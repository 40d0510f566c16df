#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QMessageBox;

namespace Fixtures {

QByteArray readFile(const QString &path);
bool writeFile(const QString &path, const QByteArray &bytes);

// Runs Debian's lame directly, as a person would from a shell; returns its exit code.
int runLame(const QStringList &arguments);

// A mono sine tone, encoded by lame with extraArguments into an MP3 in directory.
QByteArray toneMp3(const QString &directory, double seconds, const QStringList &extraArguments);

// A Lyrics3 v2.00 block around text: "LYRICSBEGIN", fields, size, "LYRICS200".
QByteArray lyrics3Block(const QByteArray &text);

// A 128-byte ID3v1 tag whose fields hold zero padding, an accented letter and genre 0xFF.
QByteArray id3v1Tag();

// Answers the next modal message box: records its title, text and buttons, then presses Ok.
class MessageBoxAnswerer
{
public:
    MessageBoxAnswerer();
    ~MessageBoxAnswerer();
    bool seen = false;
    QString title;
    QString text;
    QStringList buttons;

private:
    struct Private;
    Private *d;
};

} // namespace Fixtures
