#include "runcontroller.h"
#include "encoderjob.h"
#include "runfolder.h"
#include "safefiles.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>
#include <QMessageBox>
#include <QThread>

namespace {

QString foldedName(const QString &path)
{
    return QFileInfo(path).fileName().toCaseFolded();
}

} // namespace

void showErrorBox(QWidget *parent, const QString &path)
{
    QMessageBox::critical(parent, QStringLiteral("Errore"),
                          QStringLiteral("Errore durante lo svolgimento dell'operazione, "
                                         "riprovare con file diversi\n")
                              + path,
                          QMessageBox::Ok, QMessageBox::NoButton);
}

RunController::RunController(QWidget *window)
    : QObject(window)
    , window(window)
{
}

RunController::~RunController()
{
    stop();
}

int RunController::jobLimit()
{
    bool valid;
    // Base 10: "010" means ten encoders, not eight.
    const int requested = qEnvironmentVariable("TUNEWRIGHT_JOBS").toInt(&valid);
    if (valid && requested > 0) {
        return requested;
    }
    return QThread::idealThreadCount();
}

void RunController::start(const QList<RunTask> &runTasks, int listed, const SourceFolder &source)
{
    tasks = runTasks;
    sourceFolder = source;
    outcomes = QVector<Outcome>(tasks.size(), Outcome::Waiting);
    nextToStart = 0;
    nextToReport = 0;
    count = listed;
    limit = jobLimit();
    // Gone since the pick, the folder lists as empty or not at all: that is no empty run.
    if (sourceGone()) {
        failFolder(0, sourceFolder.path);
    }
    startMore();
    finishIfDone();
}

void RunController::stop()
{
    // A job stops its encoder and removes its temporary as it goes.
    qDeleteAll(running.keys());
    running.clear();
    // The jobs are stopped, so nothing writes in the folder any more: its lock file goes.
    folder.reset();
    updateEncoding();
}

std::function<void()> RunController::abandon()
{
    QStringList temporaries;
    for (EncoderJob *job : running.keys()) {
        temporaries << job->abandon();
    }
    running.clear();
    std::shared_ptr<RunFolder> held(folder.release());
    return [temporaries, held]() mutable {
        removeFiles(temporaries, QDeadlineTimer(1000));
        // The lock file last: until it goes, a later run leaves the temporaries alone.
        held.reset();
    };
}

void RunController::startMore()
{
    while (nextToStart < tasks.size() && running.size() < limit
           && !waitsForRunningJob(tasks.at(nextToStart))) {
        startTask(nextToStart++);
    }
    updateEncoding();
}

void RunController::startTask(int index)
{
    const RunTask &task = tasks.at(index);
    emit fileStarted(task.position, count, task.output);
    if (!folder) {
        // Taken at the first file to convert: a run that skips every file writes nothing.
        folder = std::make_unique<RunFolder>(QFileInfo(task.output).absolutePath());
        folder->open();
    }
    const QString appPath = QCoreApplication::applicationDirPath();
    auto *job = new EncoderJob(appPath + QStringLiteral("/lame.exe"), task.source, task.output,
                               *folder, this);
    if (!job->start()) {
        const bool destination = job->destinationFailed();
        delete job;
        fileFailed(index, destination);
        return;
    }
    qDebug() << "App path : " << appPath;
    connect(job, &EncoderJob::finished, this,
            [this, job](bool converted) { jobFinished(job, converted); });
    running.insert(job, index);
    outcomes[index] = Outcome::Running;
}

bool RunController::waitsForRunningJob(const RunTask &task) const
{
    const QString name = foldedName(task.source);
    for (const int index : running) {
        if (foldedName(tasks.at(index).source) == name) {
            return true;
        }
    }
    return false;
}

void RunController::jobFinished(EncoderJob *job, bool converted)
{
    const int index = running.take(job);
    job->deleteLater();
    if (converted) {
        recordOutcome(index, Outcome::Converted);
    } else {
        fileFailed(index, job->destinationFailed());
    }
    startMore();
    finishIfDone();
}

void RunController::fileFailed(int index, bool destinationFailed)
{
    if (destinationFailed) {
        failFolder(index, QFileInfo(tasks.at(index).output).absolutePath());
    } else if (sourceGone()) {
        failFolder(index, sourceFolder.path);
    } else {
        recordOutcome(index, Outcome::Failed);
    }
}

bool RunController::sourceGone() const
{
    // An unplugged stick leaves its mount point behind: an empty folder on another device.
    return !sourceFolder.path.isEmpty()
        && (folderIdentity(sourceFolder.path) != sourceFolder.identity
            || !QFileInfo(sourceFolder.path).isReadable());
}

void RunController::recordOutcome(int index, Outcome outcome)
{
    outcomes[index] = outcome;
    // A failure is shown once every file before it in the listing has ended, so the boxes come
    // in listing order however the encoders finish. Past the last file, value() says Waiting.
    while (outcomes.value(nextToReport) == Outcome::Converted
           || outcomes.value(nextToReport) == Outcome::Failed) {
        if (outcomes.at(nextToReport) == Outcome::Failed) {
            queueBox(tasks.at(nextToReport).source);
        }
        ++nextToReport;
    }
}

void RunController::failFolder(int index, const QString &path)
{
    // Every further file would fail there too: the run ends with the failures before this one
    // and one box for the folder. Files stopped or never started get none.
    stop();
    for (int i = nextToReport; i < index; ++i) {
        if (outcomes.at(i) == Outcome::Failed) {
            queueBox(tasks.at(i).source);
        }
    }
    queueBox(path);
    nextToStart = tasks.size();
    nextToReport = tasks.size();
}

void RunController::queueBox(const QString &path)
{
    boxes.append(path);
    // Never a box inside a job's signal: the box's own event loop would run the next handlers
    // nested in this one. The event loop shows it once this handler has returned; boxes queued
    // before then, or while a box is up, are shown after it.
    if (boxes.size() == 1 && !showingBox) {
        QMetaObject::invokeMethod(this, &RunController::showBoxes, Qt::QueuedConnection);
    }
}

void RunController::showBoxes()
{
    // Jobs keep ending and starting while a box is up; their failures queue behind it.
    while (!boxes.isEmpty()) {
        const QString path = boxes.takeFirst();
        showingBox = true;
        showErrorBox(window, path);
        showingBox = false;
    }
    finishIfDone();
}

void RunController::updateEncoding()
{
    if (encoding != !running.isEmpty()) {
        encoding = !running.isEmpty();
        emit encodingChanged(encoding);
    }
}

void RunController::finishIfDone()
{
    if (nextToReport == tasks.size() && running.isEmpty() && boxes.isEmpty() && !showingBox) {
        folder.reset();
        emit finished();
    }
}
