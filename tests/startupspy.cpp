// Linked with the program's real main(): reports on stdout the window flags of the window that
// main() shows, as it is shown, then ends the program normally.

#include <QCoreApplication>
#include <QEvent>
#include <QMainWindow>
#include <QTimer>

#include <cstdio>

namespace {

class ShowSpy : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *window = qobject_cast<QMainWindow *>(watched);
        if (window && event->type() == QEvent::Show) {
            std::printf("windowFlags 0x%x\n", unsigned(window->windowFlags()));
            std::fflush(stdout);
            QTimer::singleShot(0, window, &QMainWindow::close);
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
