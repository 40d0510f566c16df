#include "mainwindow.h"
#include "ui_mainwindow_form.h"
#include "workstate.h"

#include <QCoreApplication>
#include <QDebug>
#include <QPalette>
#include <QPixmap>

#include <cstdlib>

namespace {

const char progressBarStyleSheet[] =
    " QProgressBar {border: 2px solid grey;border-radius: 5px; text-align: center;}"
    " QProgressBar::chunk {background-color: #6196d1;width: 20px;}";

// No suffix: the image loader finds logo.png by trying the suffixes it knows.
const char logoStyleSheet[] = "background-image:url(:/imgs/logo);";

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
}

void MainWindow::on_pushButton_2_clicked()
{
}

void MainWindow::on_pushBtnQuit_clicked()
{
    // Straight out, as the user asked; the exit handlers stop a running encoder with workState.
    std::exit(0);
}

void MainWindow::on_pushButton_3_clicked()
{
}

void MainWindow::on_pushButton_4_clicked()
{
}

void MainWindow::on_pushButton_5_clicked()
{
}

void MainWindow::on_pushButton_6_clicked()
{
    resetState();
}
