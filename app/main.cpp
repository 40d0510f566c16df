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
    // "Open with", "Send to" and the folder entry pass the source.
    window.openPaths(application.arguments().mid(1));
    return application.exec();
}
