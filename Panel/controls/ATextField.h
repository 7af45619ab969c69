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
    QString unit() const { return m_unit; }
    void setUnit(const QString &unit);
    // The text as assistive technologies read it: with its unit.
    QString spokenText() const;

private:
    void announceDescription();
    QString m_unit;
};
