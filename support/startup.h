#pragma once

#include <QString>

class QWidget;

inline constexpr const char *ProductTitle = "Quorvane";

// The folder that holds the program's executable.
QString ProgramFolder();

// True when the platform can tell the file's last-modified time; false on any error.
bool FileExists(const QString &path);

// The palette's button-face colour on the window and on its option buttons, check boxes,
// frames and labels; other controls keep theirs.
void ApplySystemFaceColor(QWidget *window);

// When x/o.qss exists in the program's folder: the face colour on the main window and the
// file as the application's style sheet. No file: no change.
void ApplySkin(QWidget *mainWindow);

// Derives the application title from the product title; it captions every plain box.
void SetApplicationTitle();
// The title rule on its own, for any product title.
QString ApplicationTitleFor(const QString &productTitle);
QString ApplicationTitle();
