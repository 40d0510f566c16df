#include "fixtures.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <csignal>
#endif

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
    lame.start(QCoreApplication::applicationDirPath() + QStringLiteral("/lame.exe"),
               { "--quiet", "--resample", "44.1", "-b", "192", source, output });
    return lame.waitForFinished(60000) && lame.exitCode() == 0 ? readFile(output) : QByteArray();
}

QByteArray lyricsAndTag()
{
    const QByteArray lyrics = QByteArrayLiteral("LYRICSBEGININD0000211LYR00007la \xE8\0\xFF"
                                                "000033LYRICS200");
    return lyrics + "TAGCanzone \xE8" + QByteArray(111, '\0') + "2026\xFF";
}

bool makeLink(const QString &kind, const QString &target, const QString &link)
{
    const auto path = [](const QString &name) { return std::filesystem::u8path(name.toStdString()); };
    std::error_code code;
    if (kind == QLatin1String("hardlink")) {
        std::filesystem::create_hard_link(path(target), path(link), code);
        return !code;
    }
#ifdef Q_OS_WIN
    // MinGW's library makes no symbolic links; Windows does, for an administrator or in
    // developer mode. Wine 8 reports success and makes none, hence the check that it is there.
    const DWORD flags = (QFileInfo(target).isDir() ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0)
        | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
    CreateSymbolicLinkW(reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(link).utf16()),
                        reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(target).utf16()), flags);
    return QFileInfo(link).isSymLink();
#else
    std::filesystem::create_symlink(path(target), path(link), code);
    return !code;
#endif
}

bool processRunning(qint64 pid)
{
#ifdef Q_OS_WIN
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid));
    DWORD code = 0;
    const bool running = process && GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    if (process) {
        CloseHandle(process);
    }
    return running;
#else
    return kill(pid_t(pid), 0) == 0;
#endif
}

namespace {

void act(QWidget *dialog, const QString &answer)
{
    auto *box = qobject_cast<QMessageBox *>(dialog);
    if (answer == QLatin1String("cancel")) {
        qobject_cast<QDialog *>(dialog)->reject();
    } else if (answer == QLatin1String("Return")) {
        QTest::keyClick(dialog, Qt::Key_Return); // the default button
    } else if (answer.contains(QLatin1Char('/'))) {
        // The whole path at once: typed key by key, the completer could take the Return.
        auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        edit->setText(answer);
        QTest::keyClick(edit, Qt::Key_Return);
    } else if (box) {
        for (QAbstractButton *button : box->buttons()) {
            if (button->text() == answer) {
                button->click();
            }
        }
    }
}

} // namespace

DialogDriver::DialogDriver()
{
    QObject::connect(&timer, &QTimer::timeout, [this] {
        QWidget *dialog = QApplication::activeModalWidget();
        if (!dialog || (dialog == lastAnswered && dialog->isVisible())) {
            return;
        }
        lastAnswered = dialog;
        auto *box = qobject_cast<QMessageBox *>(dialog);
        seen << (box ? box->windowTitle() + QStringLiteral(": ") + box->text()
                     : dialog->windowTitle());
        const QString answer = pending.isEmpty() ? QStringLiteral("cancel") : pending.takeFirst();
        const std::function<void()> before = befores.isEmpty() ? nullptr : befores.takeFirst();
        // Act outside this slot: an answer that opens a further box would block it.
        QTimer::singleShot(0, dialog, [dialog, answer, before] {
            if (before) {
                before();
            }
            act(dialog, answer);
        });
    });
    timer.start(20);
}

DialogDriver &DialogDriver::answer(const QString &answer, const std::function<void()> &before)
{
    pending << answer.split(QLatin1Char(' '));
    while (befores.size() < pending.size() - 1) {
        befores << nullptr;
    }
    befores << before;
    return *this;
}

} // namespace Fixtures
