#pragma once

#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <functional>

namespace Fixtures {

QByteArray readFile(const QString &path);
bool writeFile(const QString &path, const QByteArray &bytes);

// tests/data/low.mp3 (MPEG-2, 22.05 kHz, 32 kbit/s: converted) or good.mp3 (MPEG-1, 44.1 kHz,
// 128 kbit/s: skipped in a folder run), one second of tone each, made by lame.
QByteArray sample(const char *name);

// What the lame.exe beside the test writes for source with the program's arguments.
QByteArray lameOutput(const QString &source);

// A Lyrics3 v2.00 block and a 128-byte ID3v1 tag, with the bytes 0x00, 0xE8 and 0xFF in them.
QByteArray lyricsAndTag();

// Makes link a "symlink" or "hardlink" to target. Returns false where the system cannot: on
// Windows only an administrator, or anyone in developer mode, makes symbolic links.
bool makeLink(const QString &kind, const QString &target, const QString &link);

bool processRunning(qint64 pid);

// Answers modal dialogs in the order they open, as a person would, and records each one as
// "title: text" (a file dialog as its caption). An answer is a path to type (it holds a "/"),
// "cancel", "Return" (the default button) or a button's text; before, if given, runs just
// before it is given. A dialog nobody expected is recorded and closed.
class DialogDriver
{
public:
    DialogDriver();
    DialogDriver &answer(const QString &answer, const std::function<void()> &before = {});
    QStringList seen;
    QStringList pending;

private:
    QTimer timer;
    QPointer<QWidget> lastAnswered;
    QList<std::function<void()>> befores;
};

} // namespace Fixtures
