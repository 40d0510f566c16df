#pragma once

#include <QProcess>

// The encoder's process, tied to the program's life: if the program dies, killed or crashed,
// before it can stop the encoder, the system ends the encoder too, so it cannot go on writing
// into the destination. On Linux the kernel kills it when the program's thread that started it
// ends (so encoders must be started from the GUI thread, which lasts as long as the program); on
// Windows it goes into a job object that ends its processes when the program's last handle to
// it closes.
class EncoderProcess : public QProcess
{
    Q_OBJECT

public:
    explicit EncoderProcess(QObject *parent = nullptr);

    // QProcess::start(), then on Windows the job object; a process that cannot be put in it
    // still runs.
    void startEncoder(const QString &program, const QStringList &arguments);

protected:
    void setupChildProcess() override;

private:
    qint64 programId;
};
