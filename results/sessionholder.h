#pragma once

#include "mail/clschilkatimap.h"

#include <QObject>
#include <functional>
#include <memory>

// The main window's oChilkat: the current session, or none. A running retrieval keeps its own
// shared_ptr; when the holder changes, the window's handlers move to the new session, so events
// of a released session no longer reach the window.
class SessionHolder : public QObject {
    Q_OBJECT
public:
    using ListingHandler = std::function<void(QString &, QString &, QString &, QString &, QString &,
                                              QString &, QString &, qint32 &)>;
    using ProgressHandler = std::function<void(qint32 &)>;

    SessionHolder(ListingHandler onListing, ProgressHandler onProgress, QObject *parent = nullptr);

    const std::shared_ptr<clsChilkatIMAP> &get() const { return m_session; }
    void set(std::shared_ptr<clsChilkatIMAP> session);
    void reset() { set(nullptr); }
    explicit operator bool() const { return bool(m_session); }
    clsChilkatIMAP *operator->() const { return m_session.get(); }

Q_SIGNALS:
    // Another session, or none, is held now; the handlers have already moved to it.
    void changed();

private:
    std::shared_ptr<clsChilkatIMAP> m_session;
    QMetaObject::Connection m_listing;
    QMetaObject::Connection m_progress;
    ListingHandler m_onListing;
    ProgressHandler m_onProgress;
};
