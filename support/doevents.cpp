#include "support/doevents.h"

#include <QCoreApplication>

void DoEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void PacedDoEvents::operator()()
{
    if (m_sinceYield.isValid() && m_sinceYield.elapsed() < FrameMs)
        return;
    DoEvents();
    m_sinceYield.start();
}
