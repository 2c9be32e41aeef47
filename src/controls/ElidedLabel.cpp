// A one-line label that shortens a long text in the middle.
#include "ElidedLabel.h"

#include <QFontMetrics>

ElidedLabel::ElidedLabel(const QString &text, QWidget *parent) : QLabel(parent)
{
    SetFullText(text);
}

void ElidedLabel::SetFullText(const QString &text)
{
    m_full = text;
    setToolTip(text);
    elide();
}

QSize ElidedLabel::minimumSizeHint() const
{
    return {fontMetrics().horizontalAdvance(QStringLiteral("…")) * 4, QLabel::minimumSizeHint().height()};
}

void ElidedLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    elide();
}

void ElidedLabel::elide()
{
    // The middle goes: the start and the end of a path say most about it.
    setText(fontMetrics().elidedText(m_full, Qt::ElideMiddle, contentsRect().width()));
}
