#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QWidget;

// Paints a window at most once a frame. Long commands yield to the event loop once or twice
// per message or row; without pacing every yield repaints the list and the progress bar, which
// costs far more than the work itself and shows nothing a screen could display.
class RepaintPacer : public QObject {
public:
    static constexpr int FrameMs = 16;

    // Paces the top-level window it is made for, which owns it.
    explicit RepaintPacer(QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void paintNow();

    QWidget *m_window;
    QElapsedTimer m_sincePaint;
    QTimer m_deferred;
    bool m_painting = false;
};
