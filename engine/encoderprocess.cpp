#include "encoderprocess.h"

#include <QCoreApplication>

#ifdef Q_OS_WIN
#include <windows.h>
#elif defined(Q_OS_LINUX)
#include <csignal>
#include <cstdlib>
#include <sys/prctl.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_WIN
// One job for the program's life, never closed by us: Windows closes it when the program ends,
// however it ends, and then kills every encoder in it.
HANDLE encoderJob()
{
    static const HANDLE job = [] {
        const HANDLE created = CreateJobObjectW(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(created, JobObjectExtendedLimitInformation, &limits,
                                sizeof(limits));
        return created;
    }();
    return job;
}
#endif

} // namespace

EncoderProcess::EncoderProcess(QObject *parent)
    : QProcess(parent)
    , programId(QCoreApplication::applicationPid())
{
}

void EncoderProcess::startEncoder(const QString &program, const QStringList &arguments)
{
    start(program, arguments);
#ifdef Q_OS_WIN
    // Without a process (it did not start) or without a job, the calls below fail harmlessly.
    const HANDLE encoder = OpenProcess(PROCESS_SET_QUOTA | PROCESS_TERMINATE, FALSE,
                                       DWORD(processId()));
    if (encoder) {
        AssignProcessToJobObject(encoderJob(), encoder);
        CloseHandle(encoder);
    }
#endif
}

void EncoderProcess::setupChildProcess()
{
#ifdef Q_OS_LINUX
    // Runs in the child between fork and exec. If the program died before the line above took
    // effect, the child already has another parent: it must not run on alone.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != programId) {
        _exit(EXIT_FAILURE);
    }
#endif
}
