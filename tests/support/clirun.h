#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

/// Runs the command line tool; its exit status, -1 when it crashed or hung. What it wrote goes to
/// out and err when they are given, standard output read as JSON to json.
int runCli(const QStringList& arguments, QString* out = nullptr, QString* err = nullptr);
int runCli(const QStringList& arguments, QJsonObject* json, QString* err = nullptr);

/// The same with the arguments split as a shell splits a command line.
int runCli(const QString& commandLine, QString* out = nullptr, QString* err = nullptr);
