// Linked with the program's real main(), which takes the source from its arguments, as a desktop
// passes them. Once its event loop runs, the spy picks the destination in SPY_DESTINATION and
// starts the run. When as many stand-in encoders as SPY_ENCODERS says hold their lock files in
// STANDIN_LOCK_DIR (with none: when the run has ended), it prints whether the window is shown,
// its flags, how Qt's own dialogs say "Cancel", the family a button's font resolved to, the
// bar's maximum and the progress text, and presses "X"; with SPY_STAY set it leaves the ending to whoever started it.
#include "fixtures.h"

#include <QtWidgets>

#include <cstdio>

static void runAndQuit(QMainWindow *window)
{
    const auto button = [=](const char *name) { return window->findChild<QPushButton *>(name); };
    new Fixtures::DialogDriver(qEnvironmentVariable("SPY_DESTINATION")
                               + QString::fromUtf8(" S\xC3\xAC"));
    auto *poll = new QTimer(window);
    QObject::connect(poll, &QTimer::timeout, window, [window, button, poll] {
        const int encoders = qEnvironmentVariableIntValue("SPY_ENCODERS");
        // A lock file is complete once it has content: the process id comes after the create.
        const QDir locks(qEnvironmentVariable("STANDIN_LOCK_DIR"));
        int locked = 0;
        for (const QFileInfo &lock : locks.entryInfoList(QDir::Files)) {
            locked += lock.size() > 0;
        }
        if (encoders > 0 ? locked >= encoders : button("pushButton_6")->isEnabled()) {
            std::printf("%d 0x%x %s %s %d %s\n", window->isVisible(),
                        unsigned(window->windowFlags()),
                        qPrintable(QCoreApplication::translate("QPlatformTheme", "Cancel")),
                        qPrintable(QFontInfo(button("pushButton")->font()).family()),
                        window->findChild<QProgressBar *>()->maximum(),
                        qPrintable(window->findChild<QLabel *>("label_Bar")->text()));
            std::fflush(stdout);
            poll->stop();
            if (qEnvironmentVariableIsEmpty("SPY_STAY")) {
                button("pushBtnQuit")->click();
            }
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
                // Says "hidden" the moment the window goes.
                QObject::connect(window->windowHandle(), &QWindow::visibleChanged, [](bool shown) {
                    std::printf(shown ? "" : "hidden\n");
                    std::fflush(stdout);
                });
                runAndQuit(window);
            }
        }
    }, Qt::QueuedConnection);
}

Q_COREAPP_STARTUP_FUNCTION(installSpy)
