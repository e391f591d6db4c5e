#pragma once

#include <QString>

// What the plugin says, word for word: every message starts with its prefix, and each failing
// read of the file has its own error.
const QString messagePrefix = QStringLiteral("[ZEL iRacing ibt import plugin plugin] ");
const QString headerError = QStringLiteral("IBT import error:  Error reading irsdk_header");
const QString subHeaderError = QStringLiteral("IBT import error:  Error reading irsdk_diskSubHeader");
const QString sessionInfoError = QStringLiteral("IBT import error:  Failed to read sessionInfoString");
const QString varHeaderError = QStringLiteral("IBT import error:  Failed to read irsdk_varHeader");
