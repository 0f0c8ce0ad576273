#pragma once

#include <QList>
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
// The same with HAND-M.CUR from the program's folder, when that file is there; false when not.
bool LoadProgramHandPointer(QWidget *window);

// Pointer feedback as the mouse enters the window or one of its controls: the hand over a
// button, the default arrow elsewhere, both only while the window does not show the hourglass.
// The controls in handWhileBusy show the hand even then.
void ShowPointerOnHover(QWidget *window, const QList<QWidget *> &controls, const QList<QWidget *> &handWhileBusy = {});
