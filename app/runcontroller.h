#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class EncoderJob;
class QWidget;

// One file a run converts: its 1-based position in the listing, its source and its output.
struct RunTask
{
    int position;
    QString source;
    QString output;
};

// The "Errore" box for a file that cannot be converted, naming it.
void showErrorBox(QWidget *parent, const QString &path);

// Drives a run: starts the encoder jobs in listing order, keeps up to a limit of them running at
// once, and shows one "Errore" box per failed file, one box at a time.
class RunController : public QObject
{
    Q_OBJECT

public:
    explicit RunController(QWidget *window);
    ~RunController() override;

    // How many encoders a run keeps busy: TUNEWRIGHT_JOBS when it holds a positive integer,
    // else one per core. Read anew for every run.
    static int jobLimit();

    // Starts converting tasks, at most limit at once. Two files whose names are equal ignoring
    // case never run at once: a case-folding destination would make them one file, so the later
    // one waits for the earlier. count is the size of the listing, for "i/n".
    void start(const QList<RunTask> &tasks, int count, int limit);

    // Ends the run for good, for the program's exit: kills every encoder, waits for it and
    // removes its temporary files. Nothing more is shown or reported.
    void stop();

signals:
    void fileStarted(int position, int count, const QString &output);
    // True while at least one encoder runs.
    void encodingChanged(bool encoding);
    // The last job has ended and the last box is closed.
    void finished();

private:
    void startMore();
    void startJob(const RunTask &task);
    bool waitsForRunningJob(const RunTask &task) const;
    void jobFinished(EncoderJob *job, bool converted);
    void reportFailure(const QString &source);
    void showFailures();
    void updateEncoding();
    void finishIfDone();

    QWidget *window;
    QList<RunTask> waiting;
    QList<EncoderJob *> running;
    QStringList failures;
    int count = 0;
    int limit = 1;
    bool encoding = false;
    bool showingBox = false;
};
