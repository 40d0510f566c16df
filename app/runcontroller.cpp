#include "runcontroller.h"
#include "encoderjob.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>
#include <QMessageBox>
#include <QThread>
#include <QTimer>

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
    bool valid = false;
    // Base 10: "010" means ten encoders, not eight.
    const int requested = qEnvironmentVariable("TUNEWRIGHT_JOBS").toInt(&valid);
    if (valid && requested > 0) {
        return requested;
    }
    return qMax(1, QThread::idealThreadCount());
}

void RunController::start(const QList<RunTask> &tasks, int listed, int jobs)
{
    waiting = tasks;
    count = listed;
    limit = qMax(1, jobs);
    startMore();
    finishIfDone();
}

void RunController::stop()
{
    for (EncoderJob *job : qAsConst(running)) {
        disconnect(job, nullptr, this, nullptr);
        job->stop();
        job->deleteLater();
    }
    running.clear();
}

void RunController::startMore()
{
    while (!waiting.isEmpty() && running.size() < limit && !waitsForRunningJob(waiting.first())) {
        startJob(waiting.takeFirst());
    }
    updateEncoding();
}

void RunController::startJob(const RunTask &task)
{
    emit fileStarted(task.position, count, task.output);
    const QString appPath = QCoreApplication::applicationDirPath();
    auto *job = new EncoderJob(appPath + QStringLiteral("/lame.exe"), task.source, task.output,
                               this);
    if (!job->start()) {
        reportFailure(task.source);
        job->deleteLater();
        return;
    }
    qDebug() << "App path : " << appPath;
    connect(job, &EncoderJob::finished, this,
            [this, job](bool converted) { jobFinished(job, converted); });
    running.append(job);
}

bool RunController::waitsForRunningJob(const RunTask &task) const
{
    const QString name = QFileInfo(task.source).fileName();
    for (const EncoderJob *job : running) {
        if (QFileInfo(job->source()).fileName().compare(name, Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}

void RunController::jobFinished(EncoderJob *job, bool converted)
{
    running.removeOne(job);
    job->deleteLater();
    if (!converted) {
        reportFailure(job->source());
    }
    startMore();
    finishIfDone();
}

void RunController::reportFailure(const QString &source)
{
    failures.append(source);
    // Never a box inside a job's signal: the box's own event loop would run the next handlers
    // nested in this one. The event loop shows it once this handler has returned.
    if (failures.size() == 1 && !showingBox) {
        QTimer::singleShot(0, this, &RunController::showFailures);
    }
}

void RunController::showFailures()
{
    // Jobs keep ending and starting while a box is up; their failures queue behind it.
    while (!failures.isEmpty()) {
        const QString source = failures.takeFirst();
        showingBox = true;
        showErrorBox(window, source);
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
    if (waiting.isEmpty() && running.isEmpty() && failures.isEmpty() && !showingBox) {
        emit finished();
    }
}
