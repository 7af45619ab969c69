#pragma once

#include <QLabel>

// A read-only text field with its own background and text colours.
class ATextField : public QLabel {
    Q_OBJECT
    // Appended to the text in what assistive technologies read ("-12.7" reads "-12.7 dB"); the
    // visible text stays bare.
    Q_PROPERTY(QString unit READ unit WRITE setUnit)

public:
    explicit ATextField(QWidget *parent = nullptr);

    void setBackgroundColor(const QColor &color);
    void setTextColor(const QColor &color);
    QString stringValue() const { return text(); }
    void setStringValue(const QString &value);
    void setStringValue(QLatin1String value);
    const QString &unit() const { return m_unit; }
    void setUnit(const QString &unit);
    // The text with its unit, as assistive technologies read it.
    QString spokenValue() const;
    // Why the text says what it says. While there is one, the field is a Tab stop that shows
    // it on taking the focus, so that the keyboard reaches what the pointer's tool tip shows.
    void setExplanation(const QString &why);

protected:
    void focusInEvent(QFocusEvent *event) override;

private:
    void announce();
    QString m_unit;
};
