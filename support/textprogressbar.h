#pragma once

#include <QProgressBar>
#include <QString>

// A progress bar whose text is the window's status line, shown as given (no % placeholders).
class TextProgressBar : public QProgressBar {
    Q_OBJECT
public:
    explicit TextProgressBar(QWidget *parent = nullptr);
    QString text() const override { return m_text; }
    void setText(const QString &text);

private:
    QString m_text;
};
