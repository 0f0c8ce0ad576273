#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

// Lives inside the program under test (loaded as a Qt generic plugin, so the program itself has
// no test code): a few times a second it writes every visible window's widgets, with their global
// geometry and state, as JSON to a file that the end-to-end test reads to know where to click.
// A test that only needs the program to come up names a window class to close once it shows,
// the way a user closes it.
class WindowProbe : public QObject {
    Q_OBJECT
public:
    WindowProbe(const QString &path, const QString &closeClass, QObject *parent = nullptr);

private:
    void dump();

    QString m_path;
    QString m_closeClass;
    QByteArray m_last;
    QTimer m_timer;
};
