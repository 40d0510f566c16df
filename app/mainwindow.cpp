#include "mainwindow.h"
#include "ui_mainwindow_form.h"
#include "folderlisting.h"
#include "formscale.h"
#include "frameheader.h"
#include "runcontroller.h"
#include "safefiles.h"
#include "screenscale.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QScreen>
#include <QStyle>
#include <QStyleFactory>
#include <QUrl>
#include <QWindow>

#include <cstdlib>

// The resources live in a static library, so they must be registered by hand; a static object
// does it before main() runs and undoes it after everything else has gone. (Outside the
// anonymous namespace: Q_INIT_RESOURCE declares a global function.)
struct ResourceRegistration
{
    ResourceRegistration() { Q_INIT_RESOURCE(resources); }
    ~ResourceRegistration() { Q_CLEANUP_RESOURCE(resources); }
};

static const ResourceRegistration resourceRegistration;

namespace {

// A styled bar takes its face and text colours from the application's palette, not the
// window's, so they are named here: a dark theme would paint it dark otherwise.
const char progressBarStyleSheet[] =
    " QProgressBar {border: 2px solid grey;border-radius: 5px; text-align: center;"
    " background-color: white; color: black;}"
    " QProgressBar::chunk {background-color: #6196d1;width: 20px;}";

// No suffix: the image loader finds logo.png by trying the suffixes it knows.
const char logoStyleSheet[] = "background-image:url(:/imgs/logo);";

const char chooseAgainHint[] = "\nClicca su CONTINUA per scegliere la cartella di destinazione";
const char startHint[] = "\nClicca su VAI per iniziare la conversione";

void refuseSamePath(QWidget *parent)
{
    QMessageBox::critical(parent, QStringLiteral("Attenzione"),
                          QStringLiteral("Attenzione: i due percorsi dei file coincidono, "
                                         "impossibile procedere.\n"
                                         "Cambiare uno dei due percorsi e riprovare."),
                          QMessageBox::Ok, QMessageBox::NoButton);
}

// Asks with "Sì" (the default button) and "No"; only "No" declines.
bool declined(QWidget *parent, const QString &question)
{
    return QMessageBox::information(parent, QStringLiteral("Attenzione"), question,
                                    QStringLiteral("S\u00EC"), QStringLiteral("No"))
        == 1;
}

bool isMp3File(const QFileInfo &info)
{
    return info.isFile() && info.fileName().endsWith(QLatin1String(".mp3"), Qt::CaseInsensitive);
}

// The background is a fixed light image, so the texts, the bar and the buttons keep the light
// colours they were drawn for, whatever palette a dark system theme hands out.
QPalette lightPalette(const QBrush &background)
{
    const QScopedPointer<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    QPalette palette = fusion->standardPalette();
    palette.setBrush(QPalette::All, QPalette::Window, background);
    return palette;
}

// An image of the design drawn at factor from its artwork for twice the size, so it stays
// sharp; at factor 1 the design's own image, pixel for pixel.
QPixmap designImage(const QString &name, const QSize &designSize, qreal factor)
{
    if (qFuzzyCompare(factor, 1.0)) {
        return QPixmap(QStringLiteral(":/imgs/%1.png").arg(name));
    }
    QPixmap artwork(QStringLiteral(":/imgs/%1@2x.png").arg(name));
    // Qt takes "@2x" for a ratio of 2, but we scale by hand: one image pixel per screen pixel.
    artwork.setDevicePixelRatio(1);
    return artwork.scaled(designSize * factor, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , run(nullptr)
{
    ui->setupUi(this);
    setFixedSize(size());
    qDebug() << "App path : " << QCoreApplication::applicationDirPath();

    ui->progressBar->setStyleSheet(QString::fromLatin1(progressBarStyleSheet));
    ui->frame->setStyleSheet(QString::fromLatin1(logoStyleSheet));
    setAcceptDrops(true);
    resetState();
    // Held by the window itself, so no button shows the focus until the keyboard moves it
    // there (Tab), and Qt does not hand it to the first button either.
    setFocus();
    scale = new FormScale(this);
    ui->frame->installEventFilter(this);
    fitScreen();

    run = new RunController(this);
    // However the program ends (a logoff too), no encoder runs on and no temporary file stays.
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
            &MainWindow::quit);
    connect(run, &RunController::fileStarted, this, &MainWindow::showProgress);
    connect(run, &RunController::encodingChanged, this, &MainWindow::showEncoding);
    connect(run, &RunController::finished, this, &MainWindow::showRunEnd);
}

MainWindow::~MainWindow()
{
    // Stopped while the widgets still exist, so no report of the run reaches a dead one.
    delete run;
    delete scale;
    delete ui;
}

void MainWindow::fitScreen()
{
    const QScreen *screen = windowHandle() ? windowHandle()->screen()
                                           : QGuiApplication::primaryScreen();
    qreal factor = ScreenScale::systemFactor(screen);
    // The offscreen platform's fixed 800 × 600 is no desktop to fit into.
    const bool fits = screen && QGuiApplication::platformName() != QLatin1String("offscreen");
    if (fits) {
        factor = ScreenScale::fittingFactor(factor, screen->availableGeometry().size());
    }
    scale->apply(factor);
    setPalette(lightPalette(designImage(QStringLiteral("sfondo_prog"), QSize(750, 750), factor)));
    showLogo(factor);
    if (fits) {
        placeWithin(screen->availableGeometry());
    }
}

void MainWindow::placeWithin(const QRect &available)
{
    // Centred when it first shows; later, moved to another screen, only as far as it must.
    QRect placed(pos(), size());
    if (!isVisible()) {
        placed.moveCenter(available.center());
    }
    placed.moveLeft(qBound(available.left(), placed.left(), available.right() - width() + 1));
    placed.moveTop(qBound(available.top(), placed.top(), available.bottom() - height() + 1));
    move(placed.topLeft());
}

void MainWindow::showLogo(qreal factor)
{
    // The style sheet draws the logo at its own size only; scaled, eventFilter() draws it.
    const bool designSize = qFuzzyCompare(factor, 1.0);
    ui->frame->setStyleSheet(designSize ? QString::fromLatin1(logoStyleSheet) : QString());
    scaledLogo = designSize ? QPixmap()
                            : designImage(QStringLiteral("logo"), QSize(46, 50), factor);
    ui->frame->update();
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    // Under the frame's own panel, and repeated over its width, as the style sheet draws it.
    if (watched == ui->frame && event->type() == QEvent::Paint && !scaledLogo.isNull()) {
        QPainter painter(ui->frame);
        painter.drawTiledPixmap(ui->frame->rect(), scaledLogo);
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // Moved to a screen of another DPI, or the screen's DPI changed: the window follows. Only
    // the first time: a window restored from the taskbar keeps its focus.
    if (!followsScreen) {
        followsScreen = true;
        // Again: main()'s setWindowFlags() lets go of the focus, and on activation Qt would give
        // it to the first button.
        setFocus();
        connect(windowHandle(), &QWindow::screenChanged, this, &MainWindow::followScreen);
        followScreen(windowHandle()->screen());
    }
}

void MainWindow::followScreen(QScreen *screen)
{
    disconnect(dpiChange);
    if (screen) {
        dpiChange = connect(screen, &QScreen::logicalDotsPerInchChanged, this,
                            &MainWindow::fitScreen);
    }
    fitScreen();
}

void MainWindow::keyPressEvent(QKeyEvent *event)
{
    // Buttons outside a dialog take only Space; Enter and Return reach the window instead.
    auto *button = qobject_cast<QPushButton *>(focusWidget());
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && button && button->isEnabled()) {
        button->click();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void MainWindow::mousePressEvent(QMouseEvent *event)
{
    // Frameless, so the background is the handle. The window system moves the window where it
    // can; otherwise (no window manager, or one without the move request) we follow the mouse.
    moveOrigin.reset();
    if (event->button() != Qt::LeftButton) {
        QMainWindow::mousePressEvent(event);
        return;
    }
    if (!windowHandle() || !windowHandle()->startSystemMove()) {
        moveOrigin.emplace(event->globalPos() - pos());
    }
}

void MainWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (moveOrigin && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPos() - *moveOrigin);
    }
}

void MainWindow::mouseReleaseEvent(QMouseEvent *event)
{
    moveOrigin.reset();
    QMainWindow::mouseReleaseEvent(event);
}

void MainWindow::resetState()
{
    ui->label->setText(QStringLiteral("Nessun percorso selezionato"));
    ui->label_2->setText(QStringLiteral("Nessun percorso di destinazione selezionato"));
    ui->label_Bar->setText(QString());
    // The form's range is 0 to 100; a run that made the bar busy has given it back by its end.
    ui->progressBar->setValue(0);
    ui->pushButton->setEnabled(true);
    ui->pushButton_2->setEnabled(true);
    ui->pushButton_3->setEnabled(false);
    ui->pushButton_4->setEnabled(false);
    ui->pushButton_5->setEnabled(false);
    ui->pushButton_6->setEnabled(false);

    // What the last picks recorded goes with them; the mode, the source folder and the last
    // output stay, so "Mostra i file generati" still shows where the last run wrote.
    WorkState kept;
    kept.sourceMode = state.sourceMode;
    kept.sourceFolderPath = state.sourceFolderPath;
    kept.sourceDir = state.sourceDir;
    kept.sourceFolderIdentity = state.sourceFolderIdentity;
    kept.resultInfo = state.resultInfo;
    state = kept;
}

void MainWindow::on_pushButton_clicked()
{
    pickFile(QFileDialog::getOpenFileName(this, tr("Scegli il file MP3 originale"),
                                          QStringLiteral("/home"), QStringLiteral("*.mp3")));
}

void MainWindow::pickFile(const QString &path)
{
    if (path.isEmpty()) {
        return;
    }
    ui->pushButton_4->setEnabled(false);
    ui->label_2->setText(QStringLiteral("Nessun percorso di destinazione selezionato"));
    state.inputPath = path;
    state.sourceFileName = path;
    state.fileList.append(QFileInfo(path));
    ui->label->setText(QStringLiteral("Percorso del file: ") + path
                       + QString::fromLatin1(chooseAgainHint));
    state.sourceMode = QStringLiteral("file");
    ui->pushButton_3->setEnabled(true);
    ui->pushButton_3->setFocus();
}

void MainWindow::on_pushButton_2_clicked()
{
    const QString folder = QFileDialog::getExistingDirectory(
        this, tr("Selezione Cartella"), QStringLiteral("/home"), QFileDialog::ShowDirsOnly);
    if (!pickFolder(folder)) {
        showErrorBox(this, folder);
    }
}

bool MainWindow::pickFolder(const QString &folder)
{
    // A cancel gives "." and a drive root gives "": neither is a folder to work on.
    const QString folderName = QDir(folder).dirName();
    if (folderName.isEmpty() || folderName == QLatin1String(".")) {
        return true;
    }
    state.sourceDir = QDir(folder);
    ui->pushButton_3->setEnabled(false);
    ui->pushButton_4->setEnabled(false);
    ui->label_2->setText(QStringLiteral("Nessun percorso di destinazione selezionato"));
    state.fileList = listMp3Files(state.sourceDir, { QStringLiteral("*.mp3"),
                                                     QStringLiteral("*.MP3"),
                                                     QStringLiteral("*.Mp3") });
    if (state.fileList.isEmpty()) {
        return false;
    }
    state.sourceFolderPath = state.fileList.first().absolutePath();
    state.sourceFolderIdentity = folderIdentity(state.sourceFolderPath);
    ui->label->setText(QStringLiteral("Percorso dei file: ") + state.sourceDir.path()
                       + QString::fromLatin1(chooseAgainHint));
    state.sourceMode = QStringLiteral("folder");
    ui->pushButton_3->setEnabled(true);
    ui->pushButton_3->setFocus();
    return true;
}

void MainWindow::openPaths(const QStringList &paths)
{
    // One source per run. The first path is taken; the first one left out gets the box, so no
    // path goes without a word, and a whole selection costs one box at most.
    const QString refused = paths.isEmpty() || takePath(paths.first()) ? paths.value(1)
                                                                       : paths.first();
    if (!refused.isEmpty()) {
        // Named as a whole path: a terminal may have passed ".".
        const QString named = QFileInfo(refused).absoluteFilePath();
        // Queued, so the box comes once the window is up.
        QMetaObject::invokeMethod(this, [this, named] { showErrorBox(this, named); },
                                  Qt::QueuedConnection);
    }
}

bool MainWindow::takePath(const QString &path)
{
    // Made absolute with forward slashes, as the dialogs give paths: "Send to" passes
    // backslashes and a terminal relative paths.
    const QFileInfo info(path);
    if (info.isDir()) {
        return pickFolder(info.absoluteFilePath());
    }
    if (isMp3File(info)) {
        pickFile(info.absoluteFilePath());
        return true;
    }
    return false;
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    // One MP3 file or one folder, and only while a source may be picked: never during a run.
    const QList<QUrl> urls = event->mimeData()->urls();
    const QFileInfo dropped(urls.value(0).toLocalFile());
    // Left unaccepted, the drop is refused and the cursor says so.
    if (urls.size() == 1 && ui->pushButton->isEnabled()
        && (dropped.isDir() || isMp3File(dropped))) {
        event->acceptProposedAction();
    }
}

void MainWindow::dropEvent(QDropEvent *event)
{
    openPaths({ event->mimeData()->urls().value(0).toLocalFile() });
    event->acceptProposedAction();
}

void MainWindow::on_pushBtnQuit_clicked()
{
    quit();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // Alt+F4, the taskbar's menu, a logoff: all end the program as "X" does.
    Q_UNUSED(event)
    quit();
}

void MainWindow::quit()
{
    // Gone at once whatever the disks do: hidden first, and then nothing waits without bound.
    // An encoder stuck on a disk that stopped answering is killed, not waited for; what cannot
    // be removed within a second is left to the next run's sweep. std::exit() destroys nothing
    // on main()'s stack, so no job's destructor waits either.
    hide();
    runWithin(run->abandon(), 1000);
    std::exit(0);
}

void MainWindow::on_pushButton_3_clicked()
{
    if (state.sourceMode == QLatin1String("file")) {
        state.outputPath = QFileDialog::getSaveFileName(
            this, tr("Dove vuoi salvare il File?"),
            QStringLiteral("/home/Desktop/") + state.sourceFileName, tr("MP3 (*.mp3 *.Mp3 *.MP3)"));
        if (state.outputPath.isEmpty()) {
            ui->pushButton_4->setEnabled(false);
            return;
        }
        // The source itself, also by a link or another spelling of its name: never written over.
        if (sameFile(state.outputPath, state.inputPath)) {
            ui->pushButton_4->setEnabled(false);
            refuseSamePath(this);
            return;
        }
        state.resultInfo = QFileInfo(state.outputPath);
        ui->label_2->setText(QStringLiteral("Percorso del file di destinazione: ")
                             + state.outputPath + QString::fromLatin1(startHint));
        ui->pushButton_4->setEnabled(true);
        ui->pushButton_4->setFocus();
        return;
    }

    state.destDir.setPath(QFileDialog::getExistingDirectory(
        this, tr("Dove vuoi salvare i file?"), QStringLiteral("/home"),
        QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks));
    state.destDirName = state.destDir.dirName();
    if (state.destDirName.isEmpty() || state.destDirName == QLatin1String(".")) {
        ui->pushButton_4->setEnabled(false);
        return;
    }
    if (sameFile(state.destDir.absolutePath(), state.sourceFolderPath)) {
        ui->pushButton_4->setEnabled(false);
        refuseSamePath(this);
        return;
    }
    ui->label_2->setText(QStringLiteral("Percorso del file di destinazione: ")
                         + state.destDir.absolutePath() + QString::fromLatin1(startHint));
    ui->pushButton_4->setEnabled(true);
    ui->pushButton_4->setFocus();
}

void MainWindow::on_pushButton_4_clicked()
{
    if (state.fileList.size() > 99
        && declined(this, QStringLiteral("Attenzione, pi\u00F9 di 100 file selezionati.\n"
                                         "L'operazione potrebbe richiedere diversi minuti.\n"
                                         " Proseguire ugualmente?"))) {
        return;
    }
    if (declined(this, QStringLiteral("Attenzione: I file con lo stesso nome presenti nel "
                                      "percorso di destinazione verranno sovrascritti.\n"
                                      "Proseguire ugualmente?"))) {
        return;
    }

    // A second run, a new pick or a new destination during this one would change what it works
    // on, so those wait for its end. The window holds the focus meanwhile, not "X".
    setFocus();
    ui->pushButton->setEnabled(false);
    ui->pushButton_2->setEnabled(false);
    ui->pushButton_3->setEnabled(false);
    ui->pushButton_4->setEnabled(false);

    if (state.sourceMode == QLatin1String("file")) {
        run->start({ { 1, state.inputPath, state.outputPath } }, 1);
        return;
    }
    const QFileInfoList listing = listMp3Files(state.sourceDir, { QStringLiteral("*.mp3") });
    run->start(folderTasks(listing), listing.size(),
               { state.sourceFolderPath, state.sourceFolderIdentity });
}

QList<RunTask> MainWindow::folderTasks(const QFileInfoList &listing) const
{
    // INIZIA is on only once a destination folder has been accepted: destDir is set.
    QList<RunTask> tasks;
    for (int i = 0; i < listing.size(); ++i) {
        const QFileInfo &entry = listing.at(i);
        // A good MPEG-1 header at 44.1/48 kHz and 64 kbit/s or more: already playable.
        if (probeFile(entry.absoluteFilePath()) > 0) {
            continue;
        }
        tasks.append({ i + 1, entry.absoluteFilePath(),
                       state.destDir.absolutePath() + QLatin1Char('/') + entry.fileName() });
    }
    return tasks;
}

void MainWindow::showProgress(int position, int count, const QString &output)
{
    state.resultInfo = QFileInfo(output);
    ui->label_Bar->setText(
        QStringLiteral("Elaborazione dei file in corso: %1/%2").arg(position).arg(count));
}

void MainWindow::showEncoding(bool encoding)
{
    // Maximum 0 makes the bar busy; 100 of 100 is full.
    ui->progressBar->setMaximum(encoding ? 0 : 100);
    ui->progressBar->setValue(ui->progressBar->maximum());
}

void MainWindow::showRunEnd()
{
    // The selection buttons have been off since the run began; only the finishing ones open up.
    ui->pushButton_5->setEnabled(true);
    ui->pushButton_6->setEnabled(true);
    ui->pushButton_5->setFocus();
    ui->label_Bar->setText(QStringLiteral("Operazione completata"));
}

void MainWindow::on_pushButton_5_clicked()
{
    // "file:///" + "/home/..." would carry four slashes and name no folder on Linux;
    // fromLocalFile() gives "file:///C:/..." on Windows and "file:///home/..." here.
    const QString folder = state.resultInfo.absolutePath();
    const QUrl url = folder.isEmpty() ? QUrl(QStringLiteral("file:///"), QUrl::TolerantMode)
                                      : QUrl::fromLocalFile(folder);
    QDesktopServices::openUrl(url);
}

void MainWindow::on_pushButton_6_clicked()
{
    // Before "Nuovo" goes off under the focus, which would then fall onto "X".
    ui->pushButton->setFocus();
    resetState();
}
