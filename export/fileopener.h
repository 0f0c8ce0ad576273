#pragma once

#include <QString>

// "Open this file in the desktop's default application". Tests install their own.
class FileOpener {
public:
    virtual ~FileOpener() = default;
    // True when a program was started on the file; otherwise failure says why not.
    virtual bool open(const QString &path, QString &failure) = 0;

    static FileOpener &current();
    static void install(FileOpener *opener); // nullptr puts the desktop opener back
};
