#pragma once

#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <functional>

namespace Fixtures {

// A Lyrics3 v2.00 block and a 128-byte ID3v1 tag, with the bytes 0x00, 0xE8 and 0xFF in them.
const QByteArray lyrics = QByteArrayLiteral("LYRICSBEGINLYR00005l\xE0\0\xFFx000025LYRICS200");
const QByteArray tag = QByteArrayLiteral("TAG\0\xE8\xFF") + QByteArray(122, '\0');

QByteArray readFile(const QString &path);
bool writeFile(const QString &path, const QByteArray &bytes);

// tests/data/low.mp3 (MPEG-2, 22.05 kHz, 32 kbit/s: converted) or good.mp3 (MPEG-1, 44.1 kHz,
// 128 kbit/s: skipped in a folder run), one second of tone each, made by lame.
QByteArray sample(const char *name);

// Answers modal dialogs in the order they open, as a person would, and records each as
// "title: text" (a file dialog as its caption). An answer is a path to type (it holds a "/"),
// a key ("Return" for the default button, "Escape") or a button's text; a dialog nobody expected
// is answered with "Escape". before(n), if set, runs just before dialog n (from 0) is answered.
class DialogDriver
{
public:
    explicit DialogDriver(const QString &answers);
    QStringList seen;
    QStringList pending;
    std::function<void(int)> before;

private:
    QTimer timer;
    QPointer<QWidget> lastAnswered;
};

// A USB stick: a FAT file system in an image, mounted through FUSE, and unmounted with
// the object, also after a failed check.
class StickMount
{
public:
    // kind: "fat", "fat-read-only", "fat-full" (a file takes up all room but a few kilobytes)
    // or "fat-large" (40 MiB instead of 4).
    // Returns why the stick cannot be had here, or nothing.
    QString mount(const QString &kind, const QString &image, const QString &folder);
    // Stops the stick's file system process, or lets it go on: a stick, a phone or a share
    // that stops answering.
    void pause(bool stopped);
    // Pulls the stick out: its files already open still read, its folder is an empty one.
    void unplug();
    ~StickMount();

private:
    QString mounted;
    QString image;
};

} // namespace Fixtures
