#include "fixtures.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDataStream>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include <cmath>

namespace Fixtures {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

int runLame(const QStringList &arguments)
{
    QProcess lame;
    lame.start(QStringLiteral(LAME_PROGRAM), QStringList{ QStringLiteral("--quiet") } + arguments);
    if (!lame.waitForFinished(120000) || lame.exitStatus() != QProcess::NormalExit) {
        return -1;
    }
    return lame.exitCode();
}

QByteArray toneMp3(const QString &directory, double seconds, const QStringList &extraArguments)
{
    const int sampleRate = 22050;
    const int samples = int(seconds * sampleRate);
    QByteArray wav;
    QDataStream stream(&wav, QIODevice::WriteOnly);
    stream.setByteOrder(QDataStream::LittleEndian);
    stream.writeRawData("RIFF", 4);
    stream << quint32(36 + samples * 2);
    stream.writeRawData("WAVEfmt ", 8);
    stream << quint32(16) << quint16(1) << quint16(1) << quint32(sampleRate)
           << quint32(sampleRate * 2) << quint16(2) << quint16(16);
    stream.writeRawData("data", 4);
    stream << quint32(samples * 2);
    for (int i = 0; i < samples; ++i) {
        stream << qint16(8000 * std::sin(2 * M_PI * 440 * i / sampleRate));
    }
    const QString wavPath = directory + QStringLiteral("/tone.wav");
    const QString mp3Path = directory + QStringLiteral("/tone.mp3");
    if (!writeFile(wavPath, wav) || runLame(extraArguments + QStringList{ wavPath, mp3Path }) != 0) {
        return QByteArray();
    }
    return readFile(mp3Path);
}

QByteArray lyrics3Block(const QByteArray &text)
{
    const QByteArray field = "LYR" + QByteArray::number(text.size()).rightJustified(5, '0') + text;
    const QByteArray body = "LYRICSBEGIN" + QByteArray("IND00003110") + field;
    return body + QByteArray::number(body.size()).rightJustified(6, '0') + "LYRICS200";
}

QByteArray id3v1Tag()
{
    QByteArray tag = "TAG";
    tag += QByteArray("Canzone \xE8 qui").leftJustified(30, '\0');
    tag += QByteArray("Artista").leftJustified(30, '\0');
    tag += QByteArray("Album").leftJustified(30, '\0');
    tag += "2026";
    tag += QByteArray("commento").leftJustified(30, '\0');
    tag += '\xFF';
    return tag;
}

struct MessageBoxAnswerer::Private
{
    QTimer timer;
};

MessageBoxAnswerer::MessageBoxAnswerer()
    : d(new Private)
{
    QObject::connect(&d->timer, &QTimer::timeout, [this] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box) {
            return;
        }
        d->timer.stop();
        // Act outside the timer's own slot, so a box opened by the answer cannot block it.
        QTimer::singleShot(0, box, [this, box] {
            seen = true;
            title = box->windowTitle();
            text = box->text();
            for (QAbstractButton *button : box->buttons()) {
                buttons << button->text();
            }
            box->button(QMessageBox::Ok) ? box->button(QMessageBox::Ok)->click() : box->reject();
        });
    });
    d->timer.start(20);
}

MessageBoxAnswerer::~MessageBoxAnswerer()
{
    delete d;
}

} // namespace Fixtures
