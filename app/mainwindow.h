#pragma once

#include "workstate.h"

#include <QMainWindow>
#include <QPixmap>

#include <optional>

class FormScale;
class QDragEnterEvent;
class QDropEvent;
class QScreen;
class RunController;
struct RunTask;

namespace Ui {
class MainWindow;
}

// The one window. Its buttons reach their slots by name only; the slots share their results
// through the state record, never through arguments.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Brings the step widgets and the shared state back to their start values. Keeps
    // sourceMode, sourceFolderPath, sourceDir and resultInfo.
    void resetState();

    // Picks the first of paths as the source, as "SCEGLI UN FILE" or "SCEGLI UNA CARTELLA"
    // would: a folder, or a file whose name ends in ".mp3". Anything else gets the "Errore" box;
    // so does the second path, when there is one and the first was taken.
    void openPaths(const QStringList &paths);

    // Ends the program with status 0, as "X" does: a run in progress is stopped and leaves
    // nothing behind.
    void quit();

private slots:
    void on_pushButton_clicked();
    void on_pushButton_2_clicked();
    void on_pushBtnQuit_clicked();
    void on_pushButton_3_clicked();
    void on_pushButton_4_clicked();
    void on_pushButton_5_clicked();
    void on_pushButton_6_clicked();

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    // Scales the window to its screen's factor, as much of it as the screen's free area holds.
    void fitScreen();
    void followScreen(QScreen *screen);
    void placeWithin(const QRect &available);
    void showLogo(qreal factor);
    bool takePath(const QString &path);
    void pickFile(const QString &path);
    // False when the folder holds no MP3 file at its top; a cancelled dialog ("") is no failure.
    bool pickFolder(const QString &folder);
    QList<RunTask> folderTasks(const QFileInfoList &listing) const;
    void showProgress(int position, int count, const QString &output);
    void showEncoding(bool encoding);
    void showRunEnd();

    Ui::MainWindow *ui;
    WorkState state;
    RunController *run;
    FormScale *scale = nullptr;
    QPixmap scaledLogo;
    bool followsScreen = false;
    QMetaObject::Connection dpiChange;
    // Where the mouse took the window, while we move it ourselves.
    std::optional<QPoint> moveOrigin;
};
