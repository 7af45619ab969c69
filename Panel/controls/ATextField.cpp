#include "ATextField.h"

#include "ControlsAccessible.h"

#include <QAccessible>
#include <QToolTip>

ATextField::ATextField(QWidget *parent)
    : QLabel(parent)
{
    installControlsAccessibility();
}

void ATextField::setBackgroundColor(const QColor &color)
{
    QPalette p = palette();
    p.setColor(QPalette::Window, color);
    setPalette(p);
    setAutoFillBackground(true);
}

void ATextField::setTextColor(const QColor &color)
{
    QPalette p = palette();
    p.setColor(QPalette::WindowText, color);
    setPalette(p);
}

// A read-out is set on every step of a drag, often to the text it already shows (the two
// channels of a linked pair read the same): an unchanged text costs nothing, and the spoken
// form is built only when an assistive technology asks for it.
void ATextField::setStringValue(const QString &value)
{
    if (value == text())
        return;
    setText(value);
    announce();
}

// Compared before a string is made: a drag step's figure mostly equals the one shown.
void ATextField::setStringValue(QLatin1String value)
{
    if (text() != value)
        setStringValue(QString(value));
}

void ATextField::setUnit(const QString &unit)
{
    m_unit = unit;
    announce();
}

QString ATextField::spokenValue() const
{
    return withUnit(text(), m_unit);
}

void ATextField::setExplanation(const QString &why)
{
    setToolTip(why);
    setFocusPolicy(why.isEmpty() ? Qt::NoFocus : Qt::TabFocus);
    if (hasFocus() && !why.isEmpty())
        QToolTip::showText(mapToGlobal(rect().bottomLeft()), why, this);
}

void ATextField::focusInEvent(QFocusEvent *event)
{
    QLabel::focusInEvent(event);
    if (!toolTip().isEmpty())
        QToolTip::showText(mapToGlobal(rect().bottomLeft()), toolTip(), this);
}

void ATextField::announce()
{
    // The accessible name carries the text (ControlsAccessible.cpp); QLabel announces a new
    // text only while no name is set, and the read-outs have one.
    // Nothing to tell while no assistive technology listens: a fader step sets a read-out.
    if (!QAccessible::isActive())
        return;
    QAccessibleEvent event(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}
