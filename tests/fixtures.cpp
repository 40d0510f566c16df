#include "fixtures.h"

#include <QTest>
#include <QtWidgets>

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

static int quiet(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setStandardErrorFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    return process.waitForFinished(20000) ? process.exitCode() : -1;
}

QString StickMount::mount(const QString &kind, const QString &image, const QString &folder)
{
    QDir().mkpath(folder);
    QFile::remove(image);
    const QString mkfs = QStandardPaths::findExecutable("mkfs.vfat", { "/usr/sbin", "/sbin" });
    const QString kibibytes = kind.endsWith("large") ? "40960" : "4096";
    if (mkfs.isEmpty() || quiet(mkfs, { "-C", image, kibibytes }) != 0) {
        return "no mkfs.vfat";
    }
    // fusefat's ro holds even for root, which passes every permission check.
    if (quiet("fusefat", { "-o", kind.endsWith("read-only") ? "ro" : "rw+", image, folder }) != 0) {
        return "fusefat cannot mount here";
    }
    mounted = folder;
    this->image = image;
    const qint64 room = QStorageInfo(folder).bytesAvailable() - (8 << 10);
    if (kind.endsWith("full") && !writeFile(folder + "/fill", QByteArray(int(room), '\0'))) {
        return "cannot fill the image";
    }
    return QString();
}

void StickMount::pause(bool stopped)
{
    quiet("pkill", { stopped ? "-STOP" : "-CONT", "-f", "fusefat.* " + image });
}

void StickMount::unplug()
{
    quiet("fusermount", { "-u", "-z", mounted });
    mounted.clear();
}

StickMount::~StickMount()
{
    if (!mounted.isEmpty()) {
        pause(false); // also after a failed check
        quiet("fusermount", { "-u", mounted });
    }
}

static void answerDialog(QWidget *dialog, const QString &answer)
{
    if (answer.contains(QLatin1Char('/'))) {
        // The whole path at once: typed key by key, the completer could take the Return.
        auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        edit->setText(answer);
        QTest::keyClick(edit, Qt::Key_Return);
    } else if (answer == QLatin1String("Return") || answer == QLatin1String("Escape")) {
        QTest::keyClick(dialog, answer.startsWith('R') ? Qt::Key_Return : Qt::Key_Escape);
    }
    for (QAbstractButton *button : dialog->findChildren<QAbstractButton *>()) {
        if (button->text() == answer) {
            button->click();
        }
    }
}

DialogDriver::DialogDriver(const QString &answers)
    : pending(answers.split(QLatin1Char(' '), Qt::SkipEmptyParts))
{
    QObject::connect(&timer, &QTimer::timeout, [this] {
        QWidget *dialog = QApplication::activeModalWidget();
        if (!dialog || (dialog == lastAnswered && dialog->isVisible())) {
            return;
        }
        lastAnswered = dialog;
        const auto *box = qobject_cast<QMessageBox *>(dialog);
        seen << (box ? box->windowTitle() + QStringLiteral(": ") + box->text()
                     : dialog->windowTitle());
        const QString answer = pending.isEmpty() ? QStringLiteral("Escape") : pending.takeFirst();
        // Answered outside this slot: an answer that opens a further box would block it.
        QTimer::singleShot(0, dialog, [this, dialog, answer, index = seen.size() - 1] {
            if (before) {
                before(index);
            }
            answerDialog(dialog, answer);
        });
    });
    timer.start(20);
}

} // namespace Fixtures
