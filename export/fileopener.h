#pragma once

#include <QString>

// "Open this file in the desktop's default application". Tests install their own.
class FileOpener {
public:
    virtual ~FileOpener() = default;
    virtual bool open(const QString &path) = 0;

    static FileOpener &current();
    static void install(FileOpener *opener); // nullptr puts the desktop opener back
};
