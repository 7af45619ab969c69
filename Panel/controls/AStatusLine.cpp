#include "AStatusLine.h"

AStatusLine::AStatusLine(QWidget *parent)
    : QLabel(parent)
{
    setWordWrap(true);
    setTextFormat(Qt::PlainText);
    setAccessibleDescription(tr("Status"));
}

void AStatusLine::setMessage(const QString &message)
{
    if (message == text())
        return;
    setText(message);
    // QLabel tells assistive technologies that its text, its accessible name, changed.
    setToolTip(message);
}
