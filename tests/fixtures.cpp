#include "fixtures.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDataStream>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QTest>
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

QByteArray toneWav(double seconds, int sampleRate)
{
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
    return wav;
}

QByteArray toneMp3(const QString &directory, double seconds, const QStringList &extraArguments)
{
    const QByteArray wav = toneWav(seconds, 22050);
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

struct DialogDriver::Private
{
    QTimer timer;
    QList<std::function<void(QWidget *)>> actions;
    QPointer<QWidget> lastAnswered;
};

DialogDriver::DialogDriver()
    : d(new Private)
{
    QObject::connect(&d->timer, &QTimer::timeout, [this] {
        QWidget *dialog = QApplication::activeModalWidget();
        if (!dialog || (dialog == d->lastAnswered && dialog->isVisible())) {
            return;
        }
        d->lastAnswered = dialog;
        // A dialog nobody expected is recorded and closed, so the test fails instead of hanging.
        const std::function<void(QWidget *)> action = d->actions.isEmpty()
            ? [](QWidget *unexpected) { qobject_cast<QDialog *>(unexpected)->reject(); }
            : d->actions.takeFirst();
        SeenDialog entry;
        entry.title = dialog->windowTitle();
        if (auto *box = qobject_cast<QMessageBox *>(dialog)) {
            entry.kind = QStringLiteral("box");
            entry.text = box->text();
            for (QAbstractButton *button : box->buttons()) {
                entry.buttons << button->text();
            }
        } else if (auto *fileDialog = qobject_cast<QFileDialog *>(dialog)) {
            entry.kind = QStringLiteral("file");
            entry.text = fileDialog->directory().absolutePath();
            entry.buttons = fileDialog->nameFilters();
        }
        seen.append(entry);
        // Act outside this slot: an answer that opens a further box would block it.
        QTimer::singleShot(0, dialog, [action, dialog] { action(dialog); });
    });
    d->timer.start(20);
}

DialogDriver::~DialogDriver()
{
    delete d;
}

DialogDriver &DialogDriver::typePath(const QString &path)
{
    d->actions.append([path](QWidget *dialog) {
        // The whole path at once: typed key by key, the completer's popup could take the Return.
        auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        edit->setText(path);
        QTest::keyClick(edit, Qt::Key_Return);
    });
    return *this;
}

DialogDriver &DialogDriver::cancel()
{
    d->actions.append([](QWidget *dialog) { qobject_cast<QDialog *>(dialog)->reject(); });
    return *this;
}

DialogDriver &DialogDriver::press(const QString &buttonText, const std::function<void()> &before)
{
    d->actions.append([buttonText, before](QWidget *dialog) {
        for (QAbstractButton *button : qobject_cast<QMessageBox *>(dialog)->buttons()) {
            if (button->text() == buttonText) {
                if (before) {
                    before();
                }
                button->click();
                return;
            }
        }
    });
    return *this;
}

int DialogDriver::pending() const
{
    return d->actions.size();
}

} // namespace Fixtures
