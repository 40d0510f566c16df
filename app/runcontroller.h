#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>

class EncoderJob;
class RunFolder;
class QWidget;

// One file a run converts: its 1-based position in the listing, its source and its output.
struct RunTask
{
    int position;
    QString source;
    QString output;
};

// A folder run's source folder as it was picked (see folderIdentity()); no path for one file.
struct SourceFolder
{
    QString path;
    QByteArray identity;
};

// The "Errore" box for a file that cannot be converted, or a folder that cannot take files,
// naming it.
void showErrorBox(QWidget *parent, const QString &path);

// Drives a run: starts the encoder jobs in listing order, keeps up to a limit of them running at
// once, and shows one "Errore" box per failed file, in listing order, one box at a time. When
// the destination itself cannot take files, the run ends there with one box naming it.
class RunController : public QObject
{
    Q_OBJECT

public:
    explicit RunController(QWidget *window);
    ~RunController() override;

    // How many encoders a run keeps busy: TUNEWRIGHT_JOBS when it holds a positive integer,
    // else one per core. Read anew for every run.
    static int jobLimit();

    // Starts converting tasks, which all write into one folder, at most jobLimit() at once. Two
    // files whose names are equal ignoring case never run at once, and where the destination
    // folds case the later one fails instead of replacing the earlier one's output. count is
    // the size of the listing, for "i/n". When the source folder is gone (removed, unplugged,
    // no longer readable), before or during the run, the run ends as for a destination that
    // cannot take files, with one box naming the source folder.
    void start(const QList<RunTask> &tasks, int count, const SourceFolder &source = {});

    // Stops the run's jobs for good: kills every encoder, waits for it and removes its
    // temporary file. At the program's exit nothing more is shown or reported.
    void stop();

    // For the program's end, where nothing may wait on an encoder or a disk: kills every
    // encoder and gives up the jobs without waiting. Returns what is left to do, which may
    // wait on a disk: removing the temporaries, then the run's lock file.
    std::function<void()> abandon();

signals:
    void fileStarted(int position, int count, const QString &output);
    // True while at least one encoder runs.
    void encodingChanged(bool encoding);
    // The last job has ended and the last box is closed.
    void finished();

private:
    // Waiting comes first: it is what Outcome() and QVector::value() give.
    enum class Outcome { Waiting, Running, Converted, Failed };

    void startMore();
    void startTask(int index);
    bool waitsForRunningJob(const RunTask &task) const;
    void jobFinished(EncoderJob *job, bool converted);
    void recordOutcome(int index, Outcome outcome);
    void fileFailed(int index, bool destinationFailed);
    bool sourceGone() const;
    void failFolder(int index, const QString &path);
    void queueBox(const QString &path);
    void showBoxes();
    void updateEncoding();
    void finishIfDone();

    QWidget *window;
    QList<RunTask> tasks;
    SourceFolder sourceFolder;
    QVector<Outcome> outcomes;
    int nextToStart = 0;
    int nextToReport = 0;
    QMap<EncoderJob *, int> running;
    std::unique_ptr<RunFolder> folder;
    QStringList boxes;
    int count = 0;
    int limit = 1;
    bool encoding = false;
    bool showingBox = false;
};
