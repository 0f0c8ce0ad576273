#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Runs a helper program (openssl, doveadm) to its end and returns its standard output.
// A start failure, a crash, a non-zero exit or more than 30 s throws std::runtime_error
// carrying the command line and the program's error output.
QByteArray RunTool(const QString &program, const QStringList &arguments, const QByteArray &input = QByteArray());
