#include "fixtures.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

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

QByteArray sample(const char *name)
{
    return readFile(QStringLiteral(TEST_DATA "/") + QLatin1String(name));
}

QByteArray lameOutput(const QString &source)
{
    QTemporaryDir directory;
    const QString output = directory.filePath(QStringLiteral("reference.mp3"));
    QProcess lame;
    lame.start(QStringLiteral(LAME_PROGRAM), { "--quiet", "--resample", "44.1", "-b", "192",
                                               source, output });
    return lame.waitForFinished(60000) && lame.exitCode() == 0 ? readFile(output) : QByteArray();
}

QByteArray lyricsAndTag()
{
    const QByteArray lyrics = QByteArrayLiteral("LYRICSBEGININD0000211LYR00007la \xE8\0\xFF"
                                                "000033LYRICS200");
    return lyrics + "TAGCanzone \xE8" + QByteArray(111, '\0') + "2026\xFF";
}

DialogDriver::DialogDriver()
{
    QObject::connect(&timer, &QTimer::timeout, [this] {
        QWidget *dialog = QApplication::activeModalWidget();
        if (!dialog || (dialog == lastAnswered && dialog->isVisible())) {
            return;
        }
        lastAnswered = dialog;
        // A dialog nobody expected is recorded and closed, so the test fails instead of hanging.
        const std::function<void(QWidget *)> action = pending.isEmpty()
            ? [](QWidget *unexpected) { qobject_cast<QDialog *>(unexpected)->reject(); }
            : pending.takeFirst();
        auto *box = qobject_cast<QMessageBox *>(dialog);
        seen << (box ? box->windowTitle() + QStringLiteral(": ") + box->text()
                     : dialog->windowTitle());
        // Act outside this slot: an answer that opens a further box would block it.
        QTimer::singleShot(0, dialog, [action, dialog] { action(dialog); });
    });
    timer.start(20);
}

DialogDriver &DialogDriver::answer(const QString &answer, const std::function<void()> &before)
{
    pending.append([answer, before](QWidget *dialog) {
        if (before) {
            before();
        }
        if (answer == QLatin1String("cancel")) {
            qobject_cast<QDialog *>(dialog)->reject();
        } else if (answer == QLatin1String("Return")) {
            QTest::keyClick(dialog, Qt::Key_Return); // the default button
        } else if (answer.startsWith(QLatin1Char('/'))) {
            // The whole path at once: typed key by key, the completer could take the Return.
            auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            edit->setText(answer);
            QTest::keyClick(edit, Qt::Key_Return);
        } else {
            for (QAbstractButton *button : qobject_cast<QMessageBox *>(dialog)->buttons()) {
                if (button->text() == answer) {
                    button->click();
                }
            }
        }
    });
    return *this;
}

DialogDriver &DialogDriver::answer(const QStringList &answers)
{
    for (const QString &text : answers) {
        answer(text);
    }
    return *this;
}

} // namespace Fixtures
