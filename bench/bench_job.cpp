// Peak memory of one conversion job on a large source, where the job's own work is all there is
// to measure: a 1.2 GB crafted file ("LYRICS" near its start, "LYRICS200" at its end, so the
// Lyrics3 block is nearly the whole file) and a 200 MB recording whose first "TAG" comes early
// (so the tag tail is nearly the whole file). The encoder here is a shell script that writes one
// second of lame's audio at once: lame itself would spend minutes on such sources without
// changing what the job holds. Prints the process's peak resident size before and after each job.
// Usage: bench_job [FOLDER]   (default: a temporary folder; needs about 3 GB free there)

#include "encoderjob.h"
#include "runfolder.h"

#include <QCoreApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>

namespace {

double peakMegabytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// head, then size bytes of zeros in 1 MiB pieces, then tail.
bool writeSource(const QString &path, const QByteArray &head, qint64 size,
                 const QByteArray &tail)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(head) != head.size()) {
        return false;
    }
    const QByteArray zeros(1 << 20, '\0');
    for (qint64 left = size; left > 0; left -= zeros.size()) {
        if (file.write(zeros.constData(), qMin<qint64>(left, zeros.size())) < 0) {
            return false;
        }
    }
    return file.write(tail) == tail.size() && file.flush();
}

bool writeEncoder(const QString &path, const QString &audio)
{
    QFile file(path);
    const QByteArray script = "#!/bin/sh\nexec cp '" + QFile::encodeName(audio) + "' \"$6\"\n";
    return file.open(QIODevice::WriteOnly) && file.write(script) == script.size()
        && file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
}

void runJob(const char *what, const QString &encoder, const QString &source,
            const QString &output, RunFolder &folder)
{
    const double before = peakMegabytes();
    EncoderJob job(encoder, source, output, folder);
    QSignalSpy finished(&job, &EncoderJob::finished);
    const bool converted =
        job.start() && finished.wait(600000) && finished.first().first().toBool();
    std::printf("%s: %s, output %.0f MB, peak resident %.1f MB before the job, %.1f MB after\n",
                what, converted ? "converted" : qPrintable("failed: " + job.errorString()),
                QFile(output).size() / 1e6, before, peakMegabytes());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QTemporaryDir scratch(argc > 1 ? QString::fromLocal8Bit(argv[1]) + "/bench-job-XXXXXX"
                                   : QString());
    const QString audio = QStringLiteral(TEST_DATA "/low.mp3");
    const QString encoder = scratch.filePath("encoder");
    RunFolder folder(scratch.path());
    folder.open();
    if (!writeEncoder(encoder, audio)) {
        std::fprintf(stderr, "cannot prepare %s\n", qPrintable(scratch.path()));
        return 1;
    }
    const QString crafted = scratch.filePath("crafted.mp3");
    const QString recording = scratch.filePath("recording.mp3");
    if (!writeSource(crafted, QByteArray(100, 'x') + "LYRICSBEGIN", 1200000000, "LYRICS200")
        || !writeSource(recording, QByteArray(1000, 'a') + "TAG", 200000000, "TAG")) {
        std::fprintf(stderr, "no room for the sources in %s\n", qPrintable(scratch.path()));
        return 1;
    }
    runJob("1.2 GB crafted source", encoder, crafted, scratch.filePath("crafted-out.mp3"),
           folder);
    QFile::remove(scratch.filePath("crafted-out.mp3"));
    runJob("200 MB recording", encoder, recording, scratch.filePath("recording-out.mp3"), folder);
    return 0;
}
