#include "frameheader.h"
#include "mainwindow.h"

int MainWindow::probeFrameHeader(const QByteArray &content) const
{
    return classifyFrameHeader(content);
}
