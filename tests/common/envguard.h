#pragma once

#include <QByteArray>
#include <QtGlobal>

// Sets or clears one environment variable for the life of the guard, then puts it back.
class EnvGuard {
public:
    explicit EnvGuard(const char *name) : m_name(name), m_saved(qgetenv(name)), m_wasSet(qEnvironmentVariableIsSet(name)) {}
    EnvGuard(const char *name, const QByteArray &value) : EnvGuard(name) { qputenv(m_name, value); }
    ~EnvGuard()
    {
        if (m_wasSet)
            qputenv(m_name, m_saved);
        else
            qunsetenv(m_name);
    }
    void unset() const { qunsetenv(m_name); }
    EnvGuard(const EnvGuard &) = delete;
    EnvGuard &operator=(const EnvGuard &) = delete;

private:
    const char *m_name;
    QByteArray m_saved;
    bool m_wasSet;
};
