#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include "ui/VersionString.h"

QString TraceFileOfCommandLine(const QStringList& arguments) {
    const FileVersion version = ProgramFileVersion();
    QCoreApplication::setApplicationVersion(QString("%1.%2.%3.%4")
                                                .arg(version.major)
                                                .arg(version.minor)
                                                .arg(version.third)
                                                .arg(version.fourth));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Configures and reads the pulse counters of networked digital-I/O units.");
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption trace(
        "trace",
        QString("Write every frame sent and received to <file> (appended). Without this option "
                "the file named by %1 is written, if it is set.")
            .arg(TRACE_VARIABLE),
        "file");
    parser.addOption(trace);
    parser.process(arguments);
    if (parser.isSet(trace)) return parser.value(trace);
    return qEnvironmentVariable(TRACE_VARIABLE);
}
