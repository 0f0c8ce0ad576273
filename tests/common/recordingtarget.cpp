#include "tests/common/recordingtarget.h"

#include "support/apperror.h"
#include "support/pointer.h"

namespace {

class RecordingWorkbook : public SpreadsheetWorkbook {
public:
    explicit RecordingWorkbook(Recording &r) : m_r(r) {}
    ~RecordingWorkbook() override { m_r.log << QStringLiteral("release workbook"); }
    void setCell(int row, int column, const QString &text) override
    {
        m_r.busyAtCall << IsBusy(m_r.window);
        if (m_r.onCell)
            m_r.onCell(row, column);
        if (CellKey{row, column} == m_r.failAt)
            throw AppError(QStringLiteral("Automation error"));
        m_r.log << QStringLiteral("cell %1,%2 %3").arg(row).arg(column).arg(text.left(12));
    }
    void autoFitColumns() override { m_r.log << QStringLiteral("autofit"); }
    void makeVisible() override
    {
        m_r.busyAtCall << IsBusy(m_r.window);
        m_r.log << QStringLiteral("visible");
    }

private:
    Recording &m_r;
};

class RecordingApplication : public SpreadsheetApplication {
public:
    explicit RecordingApplication(Recording &r) : m_r(r) {}
    ~RecordingApplication() override { m_r.log << QStringLiteral("release application"); }
    std::unique_ptr<SpreadsheetWorkbook> addWorkbook() override
    {
        m_r.log << QStringLiteral("add workbook");
        return std::make_unique<RecordingWorkbook>(m_r);
    }

private:
    Recording &m_r;
};

} // namespace

bool RecordingTarget::isAvailable()
{
    m_r.log << QStringLiteral("detect");
    return m_r.available;
}

std::unique_ptr<SpreadsheetApplication> RecordingTarget::createApplication()
{
    m_r.log << QStringLiteral("create application");
    if (m_r.failCreate)
        throw AppError(QStringLiteral("ActiveX component can't create object"));
    return std::make_unique<RecordingApplication>(m_r);
}
