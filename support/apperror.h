#pragma once

#include <QString>
#include <QByteArray>
#include <exception>

// The one error type of the program: carries a description a user can read.
// Trapped commands show it in the error report and carry on.
class AppError : public std::exception {
public:
    explicit AppError(QString description);
    const QString &description() const { return m_description; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_description;
    QByteArray m_utf8;
};
