#include "AStatusLine.h"

#include "ControlsAccessible.h"

AStatusLine::AStatusLine(QWidget *parent)
    : QLabel(parent)
    , m_announcer(new QWidget(this))
{
    installControlsAccessibility();
    setWordWrap(true);
    setTextFormat(Qt::PlainText);
    setAccessibleDescription(tr("Status"));
    // Qt's at-spi bridge passes on no announcement or alert, and Orca speaks a status bar's
    // change of name only while it has the focus. What it does speak is a notification that
    // appears: this one is empty and takes no room, and appears anew for each piece of news.
    m_announcer->setProperty("announcer", true);
    m_announcer->setGeometry(0, 0, 0, 0);
    m_announcer->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_announcer->hide();
}

void AStatusLine::setMessage(const QString &message)
{
    if (message == text())
        return;
    setText(message);
    setToolTip(message);
    if (!message.isEmpty())
        announce(message);
}

void AStatusLine::announce(const QString &news)
{
    m_announcer->hide();
    m_announcer->setAccessibleName(news);
    if (isVisible())
        m_announcer->show();
}
