#pragma once

#include <QLabel>

// A read-only text field with its own background and text colours.
class ATextField : public QLabel {
    Q_OBJECT

public:
    explicit ATextField(QWidget *parent = nullptr);

    void setBackgroundColor(const QColor &color);
    void setTextColor(const QColor &color);
    QString stringValue() const { return text(); }
    void setStringValue(const QString &value) { setText(value); }
};
