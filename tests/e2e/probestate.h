#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QPoint>
#include <QRect>
#include <QString>
#include <optional>

// One snapshot of the windows that the program under test shows, as its probe wrote them.
class ProbeState {
public:
    static ProbeState read(const QString &path); // empty when the file is missing or unreadable

    // The visible window of that class ("Form1", "QMessageBox", "QComboBoxPrivateContainer").
    std::optional<QJsonObject> window(const QString &className) const;
    // A visible widget, by object name, in any window.
    std::optional<QJsonObject> widget(const QString &name) const;
    QString text(const QString &name) const; // a widget's text; empty when not shown
    // Another of a widget's values ("checked", "enabled", "length", "count"); undefined when not shown.
    QJsonValue property(const QString &name, const QString &key) const;
    // The text of the message box on screen, if one is.
    std::optional<QString> messageBox() const;

    static QRect rect(const QJsonObject &entry);
    static QPoint centre(const QJsonObject &entry) { return rect(entry).center(); }

    QString dump() const; // for failure messages

private:
    QJsonArray m_windows;
};
