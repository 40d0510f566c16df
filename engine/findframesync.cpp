#include "frameheader.h"
#include "mainwindow.h"

int MainWindow::findFrameSync(const QByteArray &content) const
{
    return frameSyncOffset(content);
}
