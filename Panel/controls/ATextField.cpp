#include "ATextField.h"

ATextField::ATextField(QWidget *parent)
    : QLabel(parent)
{
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

void ATextField::setStringValue(const QString &value)
{
    setText(value);
    const QString spoken = value.isEmpty() || m_unit.isEmpty() ? value : value + QLatin1Char(' ') + m_unit;
    setAccessibleDescription(spoken);
}

void ATextField::setUnit(const QString &unit)
{
    m_unit = unit;
    setStringValue(text());
}
