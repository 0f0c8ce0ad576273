#pragma once

#include <QPoint>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>

// A private X server (Xvfb on a free display, no window manager: windows sit where they ask)
// and real input events sent to it through xdotool. Throws std::runtime_error on any failure.
class XSession {
public:
    XSession();
    ~XSession(); // stops the server

    QString display() const { return m_display; } // ":N"
    static QRect screen() { return {0, 0, 1280, 1024}; }

    void click(const QPoint &at);   // moves the pointer there, then a left click
    void moveTo(const QPoint &at);
    void type(const QString &text); // as key presses, into whatever has the keyboard focus
    void key(const QString &name);  // one key, e.g. "Return"
    // Saves the screen's area as a PNG.
    void screenshot(const QRect &area, const QString &pngPath);
    // The whole screen as an X window dump: equal dumps, an unchanged screen.
    QByteArray screenDump();
    // The titles of the windows on the screen.
    QStringList windowTitles();

    // Starts a child that dies with this process, with DISPLAY set.
    static void dieWithParent(QProcess &process);

private:
    QByteArray run(const QString &program, const QStringList &arguments);

    QProcess m_server;
    QString m_display;
};
