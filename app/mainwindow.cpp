#include "mainwindow.h"
#include "ui_mainwindow_form.h"
#include "workstate.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPalette>
#include <QPixmap>
#include <QUrl>

#include <cstdlib>

namespace {

const char progressBarStyleSheet[] =
    " QProgressBar {border: 2px solid grey;border-radius: 5px; text-align: center;}"
    " QProgressBar::chunk {background-color: #6196d1;width: 20px;}";

// No suffix: the image loader finds logo.png by trying the suffixes it knows.
const char logoStyleSheet[] = "background-image:url(:/imgs/logo);";

const char chooseAgainHint[] = "\nClicca su CONTINUA per scegliere la cartella di destinazione";
const char startHint[] = "\nClicca su VAI per iniziare la conversione";

// Windows' usual file systems ignore letter case, so "Song.mp3" and "song.mp3" are one file.
#ifdef Q_OS_WIN
const Qt::CaseSensitivity fileNameCase = Qt::CaseInsensitive;
#else
const Qt::CaseSensitivity fileNameCase = Qt::CaseSensitive;
#endif

// The path with links resolved; for a file that does not exist yet, its folder's resolved path
// plus its name. Empty when not even the folder exists.
QString resolvedPath(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists()) {
        return info.canonicalFilePath();
    }
    const QString folder = info.absoluteDir().canonicalPath();
    return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + info.fileName();
}

// Whether writing to destination would write over source: the same text, or the same file or
// folder reached through a link or in another letter case.
bool sameFileOrFolder(const QString &destination, const QString &source)
{
    if (destination == source) {
        return true;
    }
    const QString resolvedDestination = resolvedPath(destination);
    return !resolvedDestination.isEmpty()
        && resolvedDestination.compare(resolvedPath(source), fileNameCase) == 0;
}

void refuseSamePath(QWidget *parent)
{
    QMessageBox::critical(parent, QStringLiteral("Attenzione"),
                          QStringLiteral("Attenzione: i due percorsi dei file coincidono, "
                                         "impossibile procedere.\n"
                                         "Cambiare uno dei due percorsi e riprovare."),
                          QMessageBox::Ok, QMessageBox::NoButton);
}

QFileInfoList listMp3Files(QDir &folder, const QStringList &nameFilters)
{
    // Setting the filters again also makes QDir list afresh instead of from its cache.
    folder.setNameFilters(nameFilters);
    return folder.entryInfoList(QDir::Files);
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    setFixedSize(size());
    qDebug() << "App path : " << QCoreApplication::applicationDirPath();

    const QPixmap background(QStringLiteral(":/imgs/sfondo_prog.png"));
    QPalette palette;
    palette.setBrush(QPalette::All, QPalette::Window, QBrush(background));
    setPalette(palette);

    ui->progressBar->setStyleSheet(QString::fromLatin1(progressBarStyleSheet));
    ui->frame->setStyleSheet(QString::fromLatin1(logoStyleSheet));
    resetState();
}

MainWindow::~MainWindow()
{
    delete ui;
}

void MainWindow::resetState()
{
    ui->label->setText(QStringLiteral("Nessun percorso selezionato"));
    ui->label_2->setText(QStringLiteral("Nessun percorso di destinazione selezionato"));
    ui->label_Bar->setText(QString());
    ui->progressBar->setValue(0);
    ui->progressBar->setMinimum(0);
    ui->progressBar->setMaximum(100);
    ui->pushButton->setEnabled(true);
    ui->pushButton_2->setEnabled(true);
    ui->pushButton_3->setEnabled(false);
    ui->pushButton_4->setEnabled(false);
    ui->pushButton_5->setEnabled(false);
    ui->pushButton_6->setEnabled(false);

    workState.copyIndex = 0;
    workState.searchPos = 0;
    workState.endSearchPos = 0;
    workState.lyricsPos = 1;
    workState.lyricsEndPos = 1;
    workState.tagPos = 1;
    workState.outputPath.clear();
    workState.inputPath.clear();
    workState.lyricsText.clear();
    workState.tagText.clear();
    workState.sourceFileName.clear();
    workState.destDirName.clear();
    workState.hasTag = false;
    workState.probeBytes.clear();
    workState.encodedBytes.clear();
    workState.sourceBytes.clear();
    workState.fileList.clear();
    workState.destDir.setPath(QString());
}

void MainWindow::on_pushButton_clicked()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Scegli il file MP3 originale"),
                                                      QStringLiteral("/home"),
                                                      QStringLiteral("*.mp3"));
    if (path.isEmpty()) {
        return;
    }
    WorkState &state = workState;
    ui->pushButton_3->setEnabled(false);
    ui->pushButton_4->setEnabled(false);
    ui->label_2->setText(QStringLiteral("Nessun percorso di destinazione selezionato"));
    state.inputPath = path;
    state.sourceFileName = path;
    state.fileList.append(QFileInfo(path));
    ui->label->setText(QStringLiteral("Percorso del file: ") + path
                       + QString::fromLatin1(chooseAgainHint));
    state.sourceMode = QStringLiteral("file");
    ui->pushButton_3->setEnabled(true);
}

void MainWindow::on_pushButton_2_clicked()
{
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Selezione Cartella"),
                                                             QStringLiteral("/home"),
                                                             QFileDialog::ShowDirsOnly);
    // A cancel gives "." and a drive root gives "": neither is a folder to work on.
    const QString folderName = QDir(folder).dirName();
    if (folderName.isEmpty() || folderName == QLatin1String(".")) {
        return;
    }
    WorkState &state = workState;
    state.sourceDir = QDir(folder);
    ui->pushButton_3->setEnabled(false);
    ui->pushButton_4->setEnabled(false);
    ui->label_2->setText(QStringLiteral("Nessun percorso di destinazione selezionato"));
    state.fileList = listMp3Files(state.sourceDir, { QStringLiteral("*.mp3"),
                                                     QStringLiteral("*.MP3"),
                                                     QStringLiteral("*.Mp3") });
    if (state.fileList.isEmpty()) {
        return;
    }
    state.sourceFolderPath = state.fileList.first().absolutePath();
    ui->label->setText(QStringLiteral("Percorso dei file: ") + state.sourceDir.path()
                       + QString::fromLatin1(chooseAgainHint));
    state.sourceMode = QStringLiteral("folder");
    ui->pushButton_3->setEnabled(true);
}

void MainWindow::on_pushBtnQuit_clicked()
{
    // Straight out, as the user asked; the exit handlers stop a running encoder with workState.
    std::exit(0);
}

void MainWindow::on_pushButton_3_clicked()
{
    WorkState &state = workState;

    if (state.sourceMode == QLatin1String("file")) {
        state.outputPath = QFileDialog::getSaveFileName(
            this, tr("Dove vuoi salvare il File?"),
            QStringLiteral("/home/Desktop/") + state.sourceFileName, tr("MP3 (*.mp3 *.Mp3 *.MP3)"));
        if (state.outputPath.isEmpty()) {
            ui->pushButton_4->setEnabled(false);
            return;
        }
        if (sameFileOrFolder(state.outputPath, state.inputPath)) {
            ui->pushButton_4->setEnabled(false);
            refuseSamePath(this);
            return;
        }
        state.resultInfo = QFileInfo(state.outputPath);
        ui->label_2->setText(QStringLiteral("Percorso del file di destinazione: ")
                             + state.outputPath + QString::fromLatin1(startHint));
        ui->pushButton_4->setEnabled(true);
        return;
    }

    state.destDir.setPath(QFileDialog::getExistingDirectory(
        this, tr("Dove vuoi salvare i file?"), QStringLiteral("/home"),
        QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks));
    state.destDirName = state.destDir.dirName();
    state.outputPath = state.destDir.absolutePath() + QLatin1Char('/');
    if (state.destDirName.isEmpty() || state.destDirName == QLatin1String(".")) {
        ui->pushButton_4->setEnabled(false);
        return;
    }
    if (sameFileOrFolder(state.destDir.absolutePath(), state.sourceFolderPath)) {
        ui->pushButton_4->setEnabled(false);
        refuseSamePath(this);
        return;
    }
    ui->label_2->setText(QStringLiteral("Percorso del file di destinazione: ")
                         + state.destDir.absolutePath() + QString::fromLatin1(startHint));
    ui->pushButton_4->setEnabled(true);
}

void MainWindow::on_pushButton_4_clicked()
{
    WorkState &state = workState;
    const QString title = QStringLiteral("Attenzione");
    const QString yes = QStringLiteral("S\u00EC");
    const QString no = QStringLiteral("No");
    if (state.fileList.size() > 99
        && QMessageBox::information(this, title,
                                    QStringLiteral("Attenzione, pi\u00F9 di 100 file selezionati.\n"
                                                   "L'operazione potrebbe richiedere diversi "
                                                   "minuti.\n Proseguire ugualmente?"),
                                    yes, no, QString(), 0, -1)
            == 1) {
        return;
    }
    if (QMessageBox::information(this, title,
                                 QStringLiteral("Attenzione: I file con lo stesso nome presenti "
                                                "nel percorso di destinazione verranno "
                                                "sovrascritti.\nProseguire ugualmente?"),
                                 yes, no, QString(), 0, -1)
        == 1) {
        return;
    }

    // The encoder's wait keeps the window live; a second run, a new pick or a new destination
    // started from there would change the state under this run, so those wait for its end.
    ui->pushButton->setEnabled(false);
    ui->pushButton_2->setEnabled(false);
    ui->pushButton_3->setEnabled(false);
    ui->pushButton_4->setEnabled(false);

    if (state.sourceMode == QLatin1String("file")) {
        ui->label_Bar->setText(QStringLiteral("Elaborazione dei file in corso: 1/1"));
        scanTags();
    } else {
        const QFileInfoList listing = listMp3Files(state.sourceDir, { QStringLiteral("*.mp3") });
        const int count = listing.size();
        for (int i = 1; i <= count; ++i) {
            const QFileInfo &entry = listing.at(i - 1);
            state.inputPath = entry.absoluteFilePath();
            QFile source(state.inputPath);
            state.probeBytes = source.open(QIODevice::ReadOnly) ? source.readAll() : QByteArray();
            source.close();
            // A good MPEG-1 header at 44.1/48 kHz and 64 kbit/s or more: already playable.
            if (probeFrameHeader(state.probeBytes) > 0) {
                continue;
            }
            if (state.destDirName.isEmpty()) {
                state.destDir.setPath(QFileDialog::getExistingDirectory(
                    this, tr("Dove vuoi salvare i file?"), QStringLiteral("/home"),
                    QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks));
                state.destDirName = state.destDir.dirName();
                if (!state.destDirName.isEmpty()
                    && sameFileOrFolder(state.destDir.absolutePath(), state.sourceFolderPath)) {
                    // Never write over the sources: the source folder counts as no choice.
                    refuseSamePath(this);
                    state.destDirName.clear();
                }
            }
            state.outputPath = state.destDir.absolutePath() + QLatin1Char('/') + entry.fileName();
            if (state.destDirName.isEmpty() || state.destDirName == QLatin1String(".")) {
                break;
            }
            state.resultInfo = QFileInfo(state.outputPath);
            ui->label_Bar->setText(
                QStringLiteral("Elaborazione dei file in corso: %1/%2").arg(i).arg(count));
            scanTags();

            // The scan expects a clean slate for the next file.
            state.lyricsText.clear();
            state.tagText.clear();
            state.searchPos = 0;
            state.endSearchPos = 0;
            state.lyricsPos = 1;
            state.lyricsEndPos = 1;
            state.tagPos = 1;
            state.hasTag = false;
        }
    }

    // The selection buttons have been off since the run began; only the finishing ones open up.
    ui->pushButton_5->setEnabled(true);
    ui->pushButton_6->setEnabled(true);
    ui->label_Bar->setText(QStringLiteral("Operazione completata"));
}

void MainWindow::on_pushButton_5_clicked()
{
    // "file:///" + "/home/..." would carry four slashes and name no folder on Linux;
    // fromLocalFile() gives "file:///C:/..." on Windows and "file:///home/..." here.
    const QString folder = workState.resultInfo.absolutePath();
    const QUrl url = folder.isEmpty() ? QUrl(QStringLiteral("file:///"), QUrl::TolerantMode)
                                      : QUrl::fromLocalFile(folder);
    QDesktopServices::openUrl(url);
}

void MainWindow::on_pushButton_6_clicked()
{
    resetState();
}
