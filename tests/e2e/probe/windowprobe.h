#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

// Lives inside the program under test (loaded as a Qt generic plugin, so the program itself has
// no test code): a few times a second it writes every visible window's widgets, with their global
// geometry and state, as JSON to a file that the end-to-end test reads to know where to click.
class WindowProbe : public QObject {
    Q_OBJECT
public:
    explicit WindowProbe(const QString &path, QObject *parent = nullptr);

private:
    void dump();

    QString m_path;
    QByteArray m_last;
    QTimer m_timer;
};
