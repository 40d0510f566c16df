// Linked with the program's real main(). When the window shows, it reports its window flags on
// stdout. With TUNEWRIGHT_TEST_SOURCE and TUNEWRIGHT_TEST_DESTINATION set it then picks them
// through the dialogs, starts the run, waits until as many stand-in encoders as the run may
// keep busy have reported in STANDIN_PID_DIR, reports the progress text and presses "X".
// Without them it closes the window, so the program ends the ordinary way.

#include "fixtures.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

namespace {

void report(const QByteArray &line)
{
    std::printf("%s\n", line.constData());
    std::fflush(stdout);
}

void click(QMainWindow *window, const char *name)
{
    window->findChild<QPushButton *>(name)->click();
}

void runAndQuit(QMainWindow *window)
{
    const QString source = qEnvironmentVariable("TUNEWRIGHT_TEST_SOURCE");
    auto *driver = new Fixtures::DialogDriver;
    driver->typePath(source);
    click(window, QFileInfo(source).isDir() ? "pushButton_2" : "pushButton");
    driver->typePath(qEnvironmentVariable("TUNEWRIGHT_TEST_DESTINATION"));
    click(window, "pushButton_3");
    driver->press(QString::fromUtf8("S\xC3\xAC"));

    const int encoders = qMax(1, qEnvironmentVariableIntValue("TUNEWRIGHT_JOBS"));
    auto *poll = new QTimer(window);
    QObject::connect(poll, &QTimer::timeout, window, [window, poll, encoders] {
        if (QDir(qEnvironmentVariable("STANDIN_PID_DIR")).count() - 2 >= uint(encoders)) {
            poll->stop();
            report("progress " + window->findChild<QLabel *>("label_Bar")->text().toUtf8());
            click(window, "pushBtnQuit");
        }
    });
    poll->start(10);
    QTimer::singleShot(0, window, [window] { click(window, "pushButton_4"); });
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
            if (qEnvironmentVariableIsSet("TUNEWRIGHT_TEST_SOURCE")) {
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
