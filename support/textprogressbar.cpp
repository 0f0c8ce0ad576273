#include "support/textprogressbar.h"

TextProgressBar::TextProgressBar(QWidget *parent) : QProgressBar(parent)
{
    setTextVisible(true);
    setAlignment(Qt::AlignCenter);
    setRange(0, 100);
    setValue(0);
}

void TextProgressBar::setText(const QString &text)
{
    m_text = text;
    // The bar is the window's status line: a screen reader reads it by its name, and setting
    // the name announces the change.
    setAccessibleName(text);
    update();
}
