#include "encoderjob.h"
#include "rebuild.h"
#include "safefiles.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace {

bool writeAll(QFile &file, const QByteArray &bytes)
{
    return file.write(bytes) == bytes.size();
}

// One QByteArray holds a little less than 2 GiB, and asking for more aborts the program; so
// the limit keeps a margin below it.
const qint64 largestSource = (qint64(1) << 31) - (qint64(1) << 20);

} // namespace

EncoderJob::EncoderJob(const QString &encoder, const QString &source, const QString &output,
                       QObject *parent)
    : QObject(parent)
    , encoder(encoder)
    , sourcePath(source)
    , outputPath(output)
{
}

EncoderJob::~EncoderJob()
{
    stop();
}

QString EncoderJob::source() const
{
    return sourcePath;
}

QString EncoderJob::errorString() const
{
    return error;
}

bool EncoderJob::start()
{
    if (!readSource()) {
        return false;
    }
    QFile encoded;
    if (!openNewTemporary(QFileInfo(outputPath).absolutePath(), encoded)) {
        return fail(encoded.errorString());
    }
    encodedPath = encoded.fileName();
    encoded.close();

    // Nothing is read from the encoder and it reads nothing from us: no pipe to fill up.
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    connect(&process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
            &EncoderJob::encoderFinished);
    connect(&process, &QProcess::errorOccurred, this, &EncoderJob::encoderError);
    process.start(encoder, { QStringLiteral("--resample"), QStringLiteral("44.1"),
                             QStringLiteral("-b"), QStringLiteral("192"), sourcePath,
                             encodedPath });
    return true;
}

bool EncoderJob::readSource()
{
    // Checked before any open: opening a FIFO would wait for a writer, and a device never ends.
    const QFileInfo info(sourcePath);
    if (!info.isFile()) {
        return fail(QStringLiteral("not a regular file"));
    }
    if (info.size() > largestSource) {
        return fail(QStringLiteral("larger than 2 GiB"));
    }
    if (sameFile(outputPath, sourcePath)) {
        return fail(QStringLiteral("the output is the source itself"));
    }
    QFile source(sourcePath);
    if (!source.open(QIODevice::ReadOnly)) {
        return fail(source.errorString());
    }
    const QByteArray bytes = source.readAll();
    if (source.error() != QFileDevice::NoError) {
        return fail(source.errorString());
    }
    if (bytes.isEmpty()) {
        return fail(QStringLiteral("the source is empty"));
    }
    scan = scanTags(bytes);
    return true;
}

void EncoderJob::stop()
{
    ended = true;
    disconnect(&process, nullptr, this, nullptr);
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(-1);
    }
    removeTemporaryFile();
}

void EncoderJob::encoderError(QProcess::ProcessError processError)
{
    // A crash is followed by finished(), which reports it; only a failed start ends here. Qt may
    // report that from inside start(), so the end waits for the event loop.
    if (processError == QProcess::FailedToStart) {
        fail(process.errorString());
        QMetaObject::invokeMethod(this, [this] { end(false); }, Qt::QueuedConnection);
    }
}

void EncoderJob::encoderFinished(int exitCode, QProcess::ExitStatus exitStatus)
{
    if (exitStatus != QProcess::NormalExit) {
        fail(QStringLiteral("the encoder crashed or was killed"));
        end(false);
    } else if (exitCode != 0) {
        fail(QStringLiteral("the encoder ended with code %1").arg(exitCode));
        end(false);
    } else {
        end(writeOutput());
    }
}

bool EncoderJob::writeOutput()
{
    // The encoder's file is ours alone and not yet under the output's name, so it is completed
    // in place: in the usual layout the pieces only follow the audio, which is never copied.
    QFile file(encodedPath);
    if (!file.open(QIODevice::ReadWrite)) {
        return fail(file.errorString());
    }
    if (file.size() == 0) {
        return fail(QStringLiteral("the encoder wrote nothing"));
    }
    const RebuildLayout layout = rebuildLayout(scan);
    if (!layout.beforeAudio.isEmpty()) {
        const QByteArray audio = file.readAll();
        if (file.error() != QFileDevice::NoError || !file.seek(0)
            || !writeAll(file, layout.beforeAudio + audio)) {
            return fail(file.errorString());
        }
    } else if (!file.seek(file.size())) {
        return fail(file.errorString());
    }
    // A full disk may only show when the buffer goes out, so flush and close are checked too.
    if (!writeAll(file, layout.afterAudio) || !file.flush()) {
        return fail(file.errorString());
    }
    file.close();
    if (file.error() != QFileDevice::NoError) {
        return fail(file.errorString());
    }
    QString renameError;
    if (!replaceFile(encodedPath, outputPath, renameError)) {
        return fail(renameError);
    }
    encodedPath.clear();
    return true;
}

bool EncoderJob::fail(const QString &reason)
{
    error = reason;
    return false;
}

void EncoderJob::end(bool converted)
{
    if (ended) {
        return;
    }
    ended = true;
    disconnect(&process, nullptr, this, nullptr);
    removeTemporaryFile();
    emit finished(converted);
}

void EncoderJob::removeTemporaryFile()
{
    if (!encodedPath.isEmpty()) {
        QFile::remove(encodedPath);
        encodedPath.clear();
    }
}
