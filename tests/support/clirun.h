#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <cstddef>

/// Runs the command line tool; its exit status, -1 when it crashed or hung. What it wrote goes to
/// out and err when they are given, standard output read as JSON to json.
int runCli(const QStringList& arguments, QString* out = nullptr, QString* err = nullptr);
int runCli(const QStringList& arguments, QJsonObject* json, QString* err = nullptr);
inline int runCli(const QStringList& arguments, std::nullptr_t, QString* err)
{
    return runCli(arguments, static_cast<QString*>(nullptr), err);
}

/// The same with the arguments split as a shell splits a command line.
int runCli(const QString& commandLine, QString* out = nullptr, QString* err = nullptr);
