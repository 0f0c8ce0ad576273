#include "tests/common/secretservice.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>

namespace {
const QString Destination = QStringLiteral("org.freedesktop.secrets");

QDBusMessage call(const QString &path, const QString &interface, const QString &method, const QVariantList &arguments)
{
    QDBusInterface object(Destination, path, QStringLiteral("org.freedesktop.Secret.") + interface,
                          QDBusConnection::sessionBus());
    return object.callWithArgumentList(QDBus::Block, method, arguments);
}
} // namespace

QStringList SecretsMatching(const QMap<QString, QString> &attributes)
{
    qDBusRegisterMetaType<QMap<QString, QString>>();
    const QString service = QStringLiteral("/org/freedesktop/secrets");
    // "plain": the secrets travel unencrypted over this private bus.
    const QDBusMessage session = call(service, QStringLiteral("Service"), QStringLiteral("OpenSession"),
                                      {QStringLiteral("plain"), QVariant::fromValue(QDBusVariant(QString()))});
    const QDBusMessage found =
        call(service, QStringLiteral("Service"), QStringLiteral("SearchItems"), {QVariant::fromValue(attributes)});
    if (session.type() != QDBusMessage::ReplyMessage || found.type() != QDBusMessage::ReplyMessage)
        return {};
    const QDBusObjectPath sessionPath = session.arguments().at(1).value<QDBusObjectPath>();
    QStringList secrets;
    for (const QDBusObjectPath &item : qdbus_cast<QList<QDBusObjectPath>>(found.arguments().at(0))) {
        const QDBusMessage reply = call(item.path(), QStringLiteral("Item"), QStringLiteral("GetSecret"),
                                        {QVariant::fromValue(sessionPath)});
        if (reply.type() != QDBusMessage::ReplyMessage)
            continue;
        const QDBusArgument secret = reply.arguments().at(0).value<QDBusArgument>();
        QDBusObjectPath itsSession;
        QByteArray parameters, value;
        QString contentType;
        secret.beginStructure();
        secret >> itsSession >> parameters >> value >> contentType;
        secret.endStructure();
        secrets << QString::fromUtf8(value);
    }
    call(sessionPath.path(), QStringLiteral("Session"), QStringLiteral("Close"), {});
    return secrets;
}
