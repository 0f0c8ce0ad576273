#pragma once

#include "export/spreadsheettarget.h"
#include "tests/common/exportharness.h"

#include <QList>
#include <QStringList>
#include <functional>

class QWidget;

// What a recording spreadsheet was asked to do, and where it is told to fail.
struct Recording {
    QStringList log;
    QList<bool> busyAtCall; // the window's pointer at every cell write and at makeVisible
    QWidget *window = nullptr;
    bool available = true;
    bool failCreate = false;
    CellKey failAt{0, 0};
    int maxColumn = 16384;
    std::function<void(int, int)> onCell; // runs at every cell write, before it is logged
};

// A spreadsheet that only writes down what is asked of it, and fails where it is told to.
class RecordingTarget : public SpreadsheetTarget {
public:
    explicit RecordingTarget(Recording &r) : m_r(r) {}
    bool isAvailable() override;
    std::unique_ptr<SpreadsheetApplication> createApplication() override;
    int maxColumn() const override { return m_r.maxColumn; }

private:
    Recording &m_r;
};
