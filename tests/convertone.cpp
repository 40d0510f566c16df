// One conversion through the engine's job, for rows that must run inside a mount namespace of
// their own. Usage: convertone ENCODER SOURCE OUTPUT; exits 0 when the output is in place.
#include "encoderjob.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() != 4) {
        return 2;
    }
    EncoderJob job(arguments.at(1), arguments.at(2), arguments.at(3));
    if (!job.start()) {
        return 1;
    }
    QObject::connect(&job, &EncoderJob::finished, &application,
                     [](bool converted) { QCoreApplication::exit(converted ? 0 : 1); });
    return application.exec();
}
