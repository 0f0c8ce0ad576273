#include "support/errortrap.h"

#include "support/apperror.h"
#include "support/messageseam.h"

#include <exception>

QString ErrorReportText(const QString &description, const QString &window, const QString &procedure, int line)
{
    return description + QStringLiteral("\r\n") + QStringLiteral("in Quorvane2021/08/31.") + window + QLatin1Char('.')
        + procedure + QLatin1Char(' ') + QStringLiteral("at line ") + QString::number(line) + QStringLiteral("\r\r")
        + QStringLiteral("Please email screenshot of this message to ") + QLatin1String(SupportAddress);
}

void ShowErrorReport(const QString &description, const QString &window, const QString &procedure, int line)
{
    MessageSeam::current().errorReport(ErrorReportText(description, window, procedure, line));
}

ErrorTrap::ErrorTrap(QString window, QString procedure) : m_window(std::move(window)), m_procedure(std::move(procedure))
{
}

bool ErrorTrap::operator()(int step, const std::function<void()> &body)
{
    QString description;
    try {
        body();
        return true;
    } catch (const AppError &error) {
        description = error.description();
    } catch (const std::bad_alloc &) {
        description = QStringLiteral("Out of memory");
    } catch (const std::exception &error) {
        description = QString::fromUtf8(error.what());
    }
    ShowErrorReport(description, m_window, m_procedure, step);
    return false;
}
