#include "mainwindow.h"
#include "narrowfont.h"
#include "quitsignals.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    provideNarrowFont(QCoreApplication::applicationDirPath() + QStringLiteral("/fonts"));
    MainWindow window;
    window.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    window.show();
    // A logout or kill ends the program as "X" does.
    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::received, &window, &MainWindow::quit);
    // "Open with" and "Send to" pass the source; the first path counts.
    const QStringList arguments = application.arguments();
    if (arguments.size() > 1) {
        window.openPath(arguments.at(1));
    }
    return application.exec();
}
