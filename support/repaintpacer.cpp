#include "support/repaintpacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

RepaintPacer::RepaintPacer(QWidget *window) : QObject(window), m_window(window)
{
    m_deferred.setSingleShot(true);
    // A coarse timer may fire up to 5% early, which would paint twice within one frame.
    m_deferred.setTimerType(Qt::PreciseTimer);
    connect(&m_deferred, &QTimer::timeout, this, [this] { paintNow(); });
    window->installEventFilter(this);
}

bool RepaintPacer::eventFilter(QObject *watched, QEvent *event)
{
    // Qt asks a top-level widget to paint what is dirty with an update request, posted for
    // update() and sent at once for repaint(). One held back leaves the dirty regions waiting,
    // and the deferred request paints them all.
    if (watched != m_window || event->type() != QEvent::UpdateRequest || m_painting)
        return false;
    if (!m_sincePaint.isValid() || m_sincePaint.elapsed() >= FrameMs) {
        // This paint takes in what the deferred one would: a late timer must not paint again.
        m_deferred.stop();
        m_sincePaint.start();
        return false;
    }
    if (!m_deferred.isActive())
        m_deferred.start(int(FrameMs - m_sincePaint.elapsed()));
    return true;
}

void RepaintPacer::paintNow()
{
    m_sincePaint.start();
    m_painting = true;
    QEvent update(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(m_window, &update);
    m_painting = false;
}
