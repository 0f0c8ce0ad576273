#include "tests/e2e/probestate.h"

#include <QFile>
#include <QJsonDocument>

ProbeState ProbeState::read(const QString &path)
{
    ProbeState state;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        state.m_windows = QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("windows")).toArray();
    return state;
}

std::optional<QJsonObject> ProbeState::window(const QString &className) const
{
    for (const QJsonValue &value : m_windows) {
        const QJsonObject window = value.toObject();
        if (window.value(QStringLiteral("class")).toString() == className
            || window.value(QStringLiteral("name")).toString() == className)
            return window;
    }
    return std::nullopt;
}

std::optional<QJsonObject> ProbeState::widget(const QString &name) const
{
    for (const QJsonValue &window : m_windows) {
        for (const QJsonValue &value : window.toObject().value(QStringLiteral("widgets")).toArray()) {
            const QJsonObject widget = value.toObject();
            if (widget.value(QStringLiteral("name")).toString() == name)
                return widget;
        }
    }
    return std::nullopt;
}

QString ProbeState::text(const QString &name) const
{
    return property(name, QStringLiteral("text")).toString();
}

QJsonValue ProbeState::property(const QString &name, const QString &key) const
{
    const auto found = widget(name);
    return found ? found->value(key) : QJsonValue(QJsonValue::Undefined);
}

std::optional<QString> ProbeState::messageBox() const
{
    const auto box = window(QStringLiteral("QMessageBox"));
    if (!box)
        return std::nullopt;
    return box->value(QStringLiteral("title")).toString() + QStringLiteral(": ")
        + box->value(QStringLiteral("text")).toString();
}

QRect ProbeState::rect(const QJsonObject &entry)
{
    const QJsonArray r = entry.value(QStringLiteral("rect")).toArray();
    return QRect(r.at(0).toInt(), r.at(1).toInt(), r.at(2).toInt(), r.at(3).toInt());
}

QString ProbeState::dump() const
{
    QString out;
    for (const QJsonValue &value : m_windows) {
        const QJsonObject window = value.toObject();
        out += QStringLiteral("[%1 \"%2\" %3]").arg(window.value(QStringLiteral("class")).toString(),
                                                    window.value(QStringLiteral("title")).toString(),
                                                    window.value(QStringLiteral("text")).toString());
        for (const QJsonValue &w : window.value(QStringLiteral("widgets")).toArray()) {
            const QJsonObject widget = w.toObject();
            if (!widget.value(QStringLiteral("name")).toString().isEmpty())
                out += QStringLiteral(" %1=\"%2\"").arg(widget.value(QStringLiteral("name")).toString(),
                                                       widget.value(QStringLiteral("text")).toString());
        }
        out += QLatin1Char('\n');
    }
    return out.isEmpty() ? QStringLiteral("(no window shown)") : out;
}
