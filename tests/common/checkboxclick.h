#pragma once

class QAbstractItemView;

// Clicks the check box of a row (1-based) where the user would, scrolling it into view first.
void ClickCheckBox(QAbstractItemView *view, int row);
