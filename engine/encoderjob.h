#pragma once

#include "tagscan.h"

#include <QObject>
#include <QProcess>
#include <QString>

// Converts one source file: the encoder writes into a new temporary file beside the output, the
// Lyrics3 block and tag tail it drops are put back into that file, and it is then renamed over
// the output's name. So nothing but a finished file ever appears under the output's name, an
// existing output survives every failure, and the source is never opened for writing. Each job
// owns its encoder process, so several can run at once.
class EncoderJob : public QObject
{
    Q_OBJECT

public:
    EncoderJob(const QString &encoder, const QString &source, const QString &output,
               QObject *parent = nullptr);
    ~EncoderJob() override;

    // Reads and checks the source, then starts the encoder. Returns false, with errorString()
    // saying why, when the file cannot be converted: not a regular file once links are
    // followed, empty, unreadable, near 2 GiB or larger, the source itself as output, or no
    // temporary file to be made. finished() then never comes.
    bool start();

    // Ends the job for good without a report: kills the encoder, waits for it and removes the
    // temporary file. finished() never comes after it.
    void stop();

    QString source() const;
    QString errorString() const;

signals:
    // Exactly once after a successful start(): converted is true when the output is in place,
    // false when it is not (errorString() says why) and its name holds what it held before.
    void finished(bool converted);

private:
    void encoderFinished(int exitCode, QProcess::ExitStatus exitStatus);
    void encoderError(QProcess::ProcessError error);
    bool readSource();
    bool writeOutput();
    bool fail(const QString &reason);
    void end(bool converted);
    void removeTemporaryFile();

    const QString encoder;
    const QString sourcePath;
    const QString outputPath;
    QString error;
    QProcess process;
    TagScan scan;
    QString encodedPath;
    bool ended = false;
};
