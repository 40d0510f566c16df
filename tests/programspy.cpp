// Linked with the program's real main(). Once its event loop runs, the spy picks
// TUNEWRIGHT_TEST_DESTINATION and starts the run. When TUNEWRIGHT_TEST_ENCODERS stand-in encoders
// hold their lock files in STANDIN_LOCK_DIR (with no count: when the run has ended), it prints
// the window flags, the family a button's font resolved to, the bar's maximum and the progress
// text, and presses "X".
#include "fixtures.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>

#include <cstdio>

static void runAndQuit(QMainWindow *window)
{
    const auto button = [window](const char *name) {
        return window->findChild<QPushButton *>(name);
    };
    new Fixtures::DialogDriver(qEnvironmentVariable("TUNEWRIGHT_TEST_DESTINATION")
                               + QString::fromUtf8(" S\xC3\xAC"));
    auto *poll = new QTimer(window);
    QObject::connect(poll, &QTimer::timeout, window, [window, button] {
        const int encoders = qEnvironmentVariableIntValue("TUNEWRIGHT_TEST_ENCODERS");
        // A lock file is complete once it has content: the process id comes after the create.
        const QDir locks(qEnvironmentVariable("STANDIN_LOCK_DIR"));
        int locked = 0;
        for (const QFileInfo &lock : locks.entryInfoList(QDir::Files)) {
            locked += lock.size() > 0;
        }
        if (encoders > 0 ? locked >= encoders : button("pushButton_6")->isEnabled()) {
            std::printf("0x%x %s %d %s\n", unsigned(window->windowFlags()),
                        qPrintable(QFontInfo(button("pushButton")->font()).family()),
                        window->findChild<QProgressBar *>()->maximum(),
                        qPrintable(window->findChild<QLabel *>("label_Bar")->text()));
            std::fflush(stdout);
            button("pushBtnQuit")->click();
        }
    });
    poll->start(10);
    button("pushButton_3")->click();
    QTimer::singleShot(0, window, [button] { button("pushButton_4")->click(); });
}

static void installSpy()
{
    QMetaObject::invokeMethod(qApp, [] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *window = qobject_cast<QMainWindow *>(widget)) {
                runAndQuit(window);
            }
        }
    }, Qt::QueuedConnection);
}

Q_COREAPP_STARTUP_FUNCTION(installSpy)
