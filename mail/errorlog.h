#pragma once

#include <QString>

// The error log: TEMP / errorlog.txt. Without TEMP, or when others can write to that folder, the
// user's own state folder holds it ($XDG_STATE_HOME/Quorvane, ~/.local/state/Quorvane).
QString ErrorLogPath();
// Appends one entry: date text, " : ", text, CR LF, 52 asterisks, CR LF. Every failure is ignored.
void AppendErrorLog(const QString &text);

// The log of one reading run: an entry per fetch, until 1,000 fetches in a row have failed. One
// entry then says so; further failures in that row are only counted, and the count is written
// when a fetch succeeds again or the run ends.
class RunErrorLog {
public:
    static constexpr int FailuresInARowLogged = 1000;

    void fetched(bool ok, const QString &text);
    void end();

private:
    void writeUnlogged();

    int m_failuresInARow = 0;
    qint64 m_unlogged = 0;
};
