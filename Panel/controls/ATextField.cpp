#include "ATextField.h"

#include "ControlsAccessible.h"

#include <QAccessible>

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
    announceDescription();
}

QString ATextField::spokenText() const
{
    const QString shown = text();
    return shown.isEmpty() || m_unit.isEmpty() ? shown : shown + QLatin1Char(' ') + m_unit;
}

void ATextField::setUnit(const QString &unit)
{
    m_unit = unit;
    announceDescription();
}

void ATextField::announceDescription()
{
    if (!QAccessible::isActive())
        return;
    QAccessibleEvent event(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&event);
}
