// Linked with the program's real main(), which takes the source from the command line. Once the
// window shows, the spy picks TUNEWRIGHT_TEST_DESTINATION through the dialog and starts the run;
// when TUNEWRIGHT_TEST_ENCODERS stand-in encoders have reported in STANDIN_PID_DIR, it prints
// the window flags and the progress text on stdout and presses "X".

#include "fixtures.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

namespace {

void runAndQuit(QMainWindow *window)
{
    auto click = [window](const char *name) { window->findChild<QPushButton *>(name)->click(); };
    auto *driver = new Fixtures::DialogDriver;
    driver->answer({ qEnvironmentVariable("TUNEWRIGHT_TEST_DESTINATION"),
                     QString::fromUtf8("S\xC3\xAC") });
    click("pushButton_3");
    auto *poll = new QTimer(window);
    QObject::connect(poll, &QTimer::timeout, window, [window, click] {
        const int encoders = qEnvironmentVariableIntValue("TUNEWRIGHT_TEST_ENCODERS");
        const QDir pids(qEnvironmentVariable("STANDIN_PID_DIR"));
        if (pids.entryList(QDir::Files).size() >= encoders) {
            std::printf("0x%x %s\n", unsigned(window->windowFlags()),
                        qPrintable(window->findChild<QLabel *>("label_Bar")->text()));
            std::fflush(stdout);
            click("pushBtnQuit");
        }
    });
    poll->start(10);
    QTimer::singleShot(0, window, [click] { click("pushButton_4"); });
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
            QTimer::singleShot(0, window, [window] { runAndQuit(window); });
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
