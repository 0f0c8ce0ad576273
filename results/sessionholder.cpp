#include "results/sessionholder.h"

#include <utility>

SessionHolder::SessionHolder(ListingHandler onListing, ProgressHandler onProgress, QObject *parent)
    : QObject(parent), m_onListing(std::move(onListing)), m_onProgress(std::move(onProgress))
{
}

void SessionHolder::set(std::shared_ptr<clsChilkatIMAP> session)
{
    QObject::disconnect(m_listing);
    QObject::disconnect(m_progress);
    m_listing = {};
    m_progress = {};
    // The old session is released last, when the holder already shows the new one.
    std::shared_ptr<clsChilkatIMAP> old = std::exchange(m_session, std::move(session));
    if (m_session) {
        if (m_onListing)
            m_listing = connect(m_session.get(), &clsChilkatIMAP::MailExtractListing, this, m_onListing,
                                Qt::DirectConnection);
        if (m_onProgress)
            m_progress = connect(m_session.get(), &clsChilkatIMAP::ScrapProgress, this, m_onProgress,
                                 Qt::DirectConnection);
    }
    Q_EMIT changed();
}
