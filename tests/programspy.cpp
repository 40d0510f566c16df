// Linked with the program's real main(). When the window shows, it reports its window flags on
// stdout; with TUNEWRIGHT_TEST_INPUT and TUNEWRIGHT_TEST_OUTPUT set it then starts a single-file
// run on them, answers "Sì", reports the encoder's pid once it runs and presses "X". Without
// them it closes the window, so the program ends the ordinary way.

#include "workstate.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

namespace {

void report(const QByteArray &line)
{
    std::printf("%s\n", line.constData());
    std::fflush(stdout);
}

void runAndQuit(QMainWindow *window)
{
    workState.sourceMode = QStringLiteral("file");
    workState.inputPath = qEnvironmentVariable("TUNEWRIGHT_TEST_INPUT");
    workState.outputPath = qEnvironmentVariable("TUNEWRIGHT_TEST_OUTPUT");

    auto *poll = new QTimer(window);
    QObject::connect(poll, &QTimer::timeout, window, [window, poll] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            QTimer::singleShot(0, box->buttons().first(), &QAbstractButton::click); // "Sì"
        } else if (workState.encoderProcess.state() == QProcess::Running) {
            poll->stop();
            report("encoder " + QByteArray::number(workState.encoderProcess.processId()));
            QTimer::singleShot(0, window->findChild<QPushButton *>("pushBtnQuit"),
                               &QAbstractButton::click);
        }
    });
    poll->start(10);
    auto *start = window->findChild<QPushButton *>("pushButton_4");
    start->setEnabled(true);
    start->click();
}

class ShowSpy : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *window = qobject_cast<QMainWindow *>(watched);
        if (window && event->type() == QEvent::Show) {
            report("windowFlags 0x" + QByteArray::number(int(window->windowFlags()), 16));
            if (qEnvironmentVariableIsSet("TUNEWRIGHT_TEST_INPUT")) {
                QTimer::singleShot(0, window, [window] { runAndQuit(window); });
            } else {
                QTimer::singleShot(0, window, &QMainWindow::close);
            }
        }
        return false;
    }
};

void installSpy()
{
    qApp->installEventFilter(new ShowSpy(qApp));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installSpy)
