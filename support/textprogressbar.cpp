#include "support/textprogressbar.h"

TextProgressBar::TextProgressBar(QWidget *parent) : QProgressBar(parent)
{
    setTextVisible(true);
    setAlignment(Qt::AlignCenter);
}

void TextProgressBar::setText(const QString &text)
{
    m_text = text;
    update();
}
