#include "encoderjob.h"
#include "rebuild.h"
#include "runfolder.h"
#include "safefiles.h"

#include <QFileInfo>
#include <QStringList>
#include <QTimer>

namespace {

// Marker positions are signed 32-bit, so a source must stay below 2 GiB; the margin keeps a
// position plus a marker's length from wrapping.
const qint64 largestSource = (qint64(1) << 31) - (qint64(1) << 20);

// The pieces in which bytes are copied: a job never holds more of a file at once.
const qint64 copyPieceSize = scanPieceSize;

// Windows refuses to open or replace a file that another program holds open: a virus scanner
// or the search indexer does so for a moment right after a file is written. Such a refusal is
// tried again for a while; elsewhere a refusal is final at once.
#ifdef Q_OS_WIN
const int busyPatience = 3000;
#else
const int busyPatience = 0;
#endif
const int busyRetryInterval = 100;

// Appends range of from to to, in pieces. A short read (the source shrank) fails.
bool copyRange(QFile &from, const SourceRange &range, QFile &to)
{
    bool copied = from.seek(range.start);
    for (qint64 left = range.size; copied && left > 0;) {
        const QByteArray piece = from.read(qMin(left, copyPieceSize));
        copied = !piece.isEmpty() && to.write(piece) == piece.size();
        left -= piece.size();
    }
    return copied;
}

// Moves the whole content of file by bytes towards its end, leaving room in front; from the
// back, so no piece is overwritten before it has moved.
bool shiftForward(QFile &file, qint64 bytes)
{
    qint64 end = file.size();
    bool moved = file.resize(end + bytes);
    while (moved && end > 0) {
        const qint64 size = qMin(end, copyPieceSize);
        end -= size;
        const QByteArray piece = file.seek(end) ? file.read(size) : QByteArray();
        moved = piece.size() == size && file.seek(end + bytes) && file.write(piece) == size;
    }
    return moved && file.seek(0);
}

qint64 totalSize(const QList<SourceRange> &pieces)
{
    qint64 total = 0;
    for (const SourceRange &piece : pieces) {
        total += piece.size;
    }
    return total;
}

} // namespace

EncoderJob::EncoderJob(const QString &encoder, const QString &source, const QString &output,
                       RunFolder &folder, QObject *parent)
    : QObject(parent)
    , encoder(encoder)
    , sourcePath(source)
    , outputPath(output)
    , folder(folder)
    , process(this)
{
}

EncoderJob::~EncoderJob()
{
    // Disconnected first: the process reports its end while it is waited for.
    disconnect(&process, nullptr, this, nullptr);
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
    }
    removeTemporaryFile();
}

QString EncoderJob::abandon()
{
    disconnect(&process, nullptr, this, nullptr);
    process.kill();
    return encodedPath;
}

QString EncoderJob::source() const
{
    return sourcePath;
}

QString EncoderJob::errorString() const
{
    return error;
}

bool EncoderJob::destinationFailed() const
{
    return destinationFault;
}

bool EncoderJob::start()
{
    if (!openSource()) {
        return false;
    }
    if (folder.wouldReplaceWritten(outputPath)) {
        return fail(QStringLiteral("the folder takes this name for one already written"));
    }
    {
        // Closed again before the encoder writes it: Windows lets no one write a file we hold.
        QFile encoded;
        if (!folder.openNewTemporary(encoded)) {
            destinationFault = folder.cannotTakeFiles();
            return fail(encoded.errorString());
        }
        encodedPath = encoded.fileName();
    }

    // Nothing is read from the encoder: its output goes nowhere, so no pipe fills up.
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    connect(&process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
            &EncoderJob::encoderFinished);
    connect(&process, &QProcess::errorOccurred, this, &EncoderJob::encoderError);
    process.startEncoder(encoder, { QStringLiteral("--resample"), QStringLiteral("44.1"),
                                    QStringLiteral("-b"), QStringLiteral("192"),
                                    systemPath(sourcePath), systemPath(encodedPath) });
    return true;
}

bool EncoderJob::openSource()
{
    // Checked before any open: opening a FIFO would wait for a writer, and a device never ends.
    const QFileInfo info(sourcePath);
    if (!info.isFile()) {
        return fail(QStringLiteral("not a regular file"));
    }
    if (sameFile(outputPath, sourcePath)) {
        return fail(QStringLiteral("the output is the source itself"));
    }
    sourceFile.setFileName(sourcePath);
    if (!sourceFile.open(QIODevice::ReadOnly)) {
        return fail(sourceFile.errorString());
    }
    sourceSize = sourceFile.size();
    sourceModified = sourceFile.fileTime(QFileDevice::FileModificationTime);
    // Known before the encoder runs: on a full disk, an empty file is still its own failure.
    if (sourceSize == 0) {
        return fail(QStringLiteral("the source is empty"));
    }
    if (sourceSize > largestSource) {
        return fail(QStringLiteral("larger than 2 GiB"));
    }
    if (!scanTags(sourceFile, scan)) {
        return fail(QStringLiteral("the source cannot be read whole"));
    }
    return true;
}

bool EncoderJob::sourceUnchanged()
{
    // The pieces are read back by position after the encoder: they must still be where the
    // scan found them.
    return sourceFile.size() == sourceSize
        && sourceFile.fileTime(QFileDevice::FileModificationTime) == sourceModified;
}

void EncoderJob::encoderError(QProcess::ProcessError processError)
{
    // A crash is followed by finished(), which reports it; only a failed start ends here. Qt may
    // report that from inside start(), so the end waits for the event loop.
    if (processError == QProcess::FailedToStart) {
        fail(QStringLiteral("the encoder did not start: ") + process.errorString());
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
        busyUntil = QDeadlineTimer(busyPatience);
        completeOutput();
    }
}

void EncoderJob::completeOutput()
{
    QFile file(encodedPath);
    if (!file.open(QIODevice::ReadWrite)) {
        retryLater(&EncoderJob::completeOutput, file.errorString());
    } else if (!writeOutput(file)) {
        end(false);
    } else {
        replaceOutput();
    }
}

void EncoderJob::replaceOutput()
{
    QString error;
    const Replaced replaced = replaceFile(encodedPath, outputPath, error);
    if (replaced == Replaced::Busy) {
        retryLater(&EncoderJob::replaceOutput, error);
        return;
    }
    if (replaced == Replaced::Failed) {
        fail(error);
        end(false);
        return;
    }
    folder.addWritten(outputPath);
    end(syncFolder(folder.path(), error) || fail(error));
}

void EncoderJob::retryLater(void (EncoderJob::*step)(), const QString &reason)
{
    // The event loop runs meanwhile, and a job stopped by "X" takes its timer with it.
    if (busyUntil.hasExpired()) {
        fail(reason);
        end(false);
    } else {
        QTimer::singleShot(busyRetryInterval, this, step);
    }
}

bool EncoderJob::writeOutput(QFile &file)
{
    if (file.size() == 0) {
        return fail(QStringLiteral("the encoder wrote nothing"));
    }
    if (!sourceUnchanged()) {
        return fail(QStringLiteral("the source changed while it was converted"));
    }
    if (!completeEncodedFile(file)) {
        return fail(QStringLiteral("the source's blocks could not be copied back"));
    }
    // Durable before visible: a power cut must never leave a short file under the output's name.
    QString syncError;
    if (!syncFile(file, syncError)) {
        return fail(syncError);
    }
    file.close();
    return file.error() == QFileDevice::NoError || fail(file.errorString());
}

bool EncoderJob::completeEncodedFile(QFile &file)
{
    // The encoder's file is ours alone and not yet under the output's name, so it is completed
    // in place: in the usual layout the pieces only follow the audio, which then never moves.
    const RebuildLayout layout = rebuildLayout(scan);
    bool complete = layout.beforeAudio.isEmpty()
        || shiftForward(file, totalSize(layout.beforeAudio));
    for (const SourceRange &piece : layout.beforeAudio) {
        complete = complete && copyRange(sourceFile, piece, file);
    }
    complete = complete && file.seek(file.size());
    for (const SourceRange &piece : layout.afterAudio) {
        complete = complete && copyRange(sourceFile, piece, file);
    }
    return complete;
}

bool EncoderJob::fail(const QString &reason)
{
    error = reason;
    return false;
}

// Called once: the process reports either a failed start or its end, never both.
void EncoderJob::end(bool converted)
{
    // Asked while the temporary still takes its room: a disk that the encoder filled has room
    // again once it is gone.
    destinationFault = !converted && folder.cannotTakeFiles();
    removeTemporaryFile();
    emit finished(converted);
}

void EncoderJob::removeTemporaryFile()
{
    // After the rename nothing is left under the temporary's name, which no one else uses.
    if (!encodedPath.isEmpty()) {
        QFile::remove(encodedPath);
    }
}
