#include "support/clirun.h"

#include <QJsonDocument>
#include <QProcess>

int runCli(const QStringList& arguments, QString* out, QString* err)
{
    QProcess process;
    process.start(QStringLiteral(ZEL_CLI_PATH), arguments);
    const bool exited = process.waitForFinished(300000) && process.exitStatus() == QProcess::NormalExit;
    if (out)
        *out = QString::fromUtf8(process.readAllStandardOutput());
    if (err)
        *err = QString::fromUtf8(process.readAllStandardError());
    return exited ? process.exitCode() : -1;
}

int runCli(const QStringList& arguments, QJsonObject* json, QString* err)
{
    QString out;
    const int status = runCli(arguments, &out, err);
    *json = QJsonDocument::fromJson(out.toUtf8()).object();
    return status;
}

int runCli(const QString& commandLine, QString* out, QString* err)
{
    return runCli(QProcess::splitCommand(commandLine), out, err);
}
