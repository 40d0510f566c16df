// Linked with the program's real main(), which takes the source from the command line. Once the
// window shows, the spy picks TUNEWRIGHT_TEST_DESTINATION through the dialog and starts the run.
// When TUNEWRIGHT_TEST_ENCODERS stand-in encoders have reported in STANDIN_PID_DIR, or with no
// count when the run has ended, it prints the window flags, the family a button's font resolved
// to and the progress text on stdout, and presses "X".

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
    auto button = [window](const char *name) { return window->findChild<QPushButton *>(name); };
    auto *driver = new Fixtures::DialogDriver;
    driver->answer(qEnvironmentVariable("TUNEWRIGHT_TEST_DESTINATION"));
    driver->answer(QString::fromUtf8("S\xC3\xAC"));
    button("pushButton_3")->click();
    auto *poll = new QTimer(window);
    QObject::connect(poll, &QTimer::timeout, window, [window, button] {
        const int encoders = qEnvironmentVariableIntValue("TUNEWRIGHT_TEST_ENCODERS");
        const QDir pids(qEnvironmentVariable("STANDIN_PID_DIR"));
        if (encoders > 0 ? pids.entryList(QDir::Files).size() >= encoders
                         : button("pushButton_6")->isEnabled()) {
            std::printf("0x%x %s %s\n", unsigned(window->windowFlags()),
                        qPrintable(QFontInfo(button("pushButton")->font()).family()),
                        qPrintable(window->findChild<QLabel *>("label_Bar")->text()));
            std::fflush(stdout);
            button("pushBtnQuit")->click();
        }
    });
    poll->start(10);
    QTimer::singleShot(0, window, [button] { button("pushButton_4")->click(); });
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
