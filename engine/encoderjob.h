#pragma once

#include "encoderprocess.h"
#include "tagscan.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <QObject>
#include <QString>

class RunFolder;

// Converts one source file: the encoder writes into a new temporary file of the run in the
// output's folder, the Lyrics3 block and tag tail it drops are put back into that file from the
// source, and the file is synced and renamed over the output's name. So nothing but a finished
// file ever appears under the output's name, an existing output survives every failure, and the
// source is never opened for writing. The job keeps the source open and holds only positions in
// it, never its bytes, so a source of any size costs little memory. Each job owns its encoder
// process, so several can run at once.
class EncoderJob : public QObject
{
    Q_OBJECT

public:
    // folder is the output's folder, opened; it must outlive the job.
    EncoderJob(const QString &encoder, const QString &source, const QString &output,
               RunFolder &folder, QObject *parent = nullptr);
    // Ends the job for good without a report: kills the encoder, waits for it and removes the
    // temporary file.
    ~EncoderJob() override;

    // Reads and checks the source, then starts the encoder. Returns false, with errorString()
    // saying why, when the file cannot be converted: not a regular file once links are
    // followed, empty, unreadable, near 2 GiB or larger, the source itself as output, an
    // output that would replace one this run wrote under another spelling (see RunFolder), or
    // no temporary file to be made. finished() then never comes.
    bool start();

    // For the program's end, where nothing may wait: kills the encoder without waiting for it
    // and gives up the job, which must then never be destroyed (that would wait). Returns the
    // temporary file left to remove.
    QString abandon();

    QString source() const;
    QString errorString() const;

    // After a failure: whether the output's folder, not the file, is to blame (see
    // RunFolder::cannotTakeFiles()). Any file would fail there.
    bool destinationFailed() const;

signals:
    // Exactly once after a successful start(): converted is true when the output is in place,
    // false when it is not (errorString() says why) and its name holds what it held before.
    void finished(bool converted);

private:
    void encoderFinished(int exitCode, QProcess::ExitStatus exitStatus);
    void encoderError(QProcess::ProcessError error);
    bool openSource();
    bool sourceUnchanged();
    void completeOutput();
    void replaceOutput();
    void retryLater(void (EncoderJob::*step)(), const QString &reason);
    bool writeOutput(QFile &file);
    bool completeEncodedFile(QFile &file);
    bool fail(const QString &reason);
    void end(bool converted);
    void removeTemporaryFile();

    const QString encoder;
    const QString sourcePath;
    const QString outputPath;
    RunFolder &folder;
    QString error;
    EncoderProcess process;
    QFile sourceFile;
    qint64 sourceSize = 0;
    QDateTime sourceModified;
    TagScan scan;
    QString encodedPath;
    bool destinationFault = false;
    // Until when a file that another program holds is tried again.
    QDeadlineTimer busyUntil;
};
