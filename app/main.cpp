#include "fonts.h"
#include "mainwindow.h"
#include "qttranslation.h"
#include "quitsignals.h"
#include "screenscale.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    ScreenScale::prepare();
    QApplication application(argc, argv);
    provideFonts(QCoreApplication::applicationDirPath() + QStringLiteral("/fonts"));
    installQtTranslation();
    MainWindow window;
    // Frameless, yet Windows gives it a taskbar button that minimises and a system menu.
    window.setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint
                          | Qt::WindowSystemMenuHint);
    window.show();
    // A logout or kill ends the program as "X" does.
    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::received, &window, &MainWindow::quit);
    // "Open with", "Send to" and the folder entry pass the source.
    window.openPaths(application.arguments().mid(1));
    return application.exec();
}
