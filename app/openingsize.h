#pragma once

#include <QSize>

class QAbstractItemView;
class QLayout;

// The size the main window opens at, its column layout holding the list: the layout as it asks,
// with the list tall enough for fifteen whole rows and wide enough for its columns (the date
// column showing a long date); within the screen's room, less the frame the desktop puts around
// the window.
QSize MainWindowOpeningSize(const QLayout *column, const QAbstractItemView *list);
