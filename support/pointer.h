#pragma once

#include <QString>

class QWidget;

// A window's mouse pointer as the commands see it: the busy hourglass is the sign that a long
// command runs (Clear List reads it). The hand is the custom pointer from HAND-M.CUR.
enum class PointerShape { Default, Busy, Hand };

void SetPointer(QWidget *window, PointerShape shape);
PointerShape Pointer(const QWidget *window);
bool IsBusy(const QWidget *window);

// Loads a .cur file as the window's hand pointer (hotspot from the file). Throws AppError
// "Invalid picture" when the file is no cursor that can be read. Without one the hand shows as
// the default arrow.
void LoadHandPointer(QWidget *window, const QString &curFile);
