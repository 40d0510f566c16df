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
