#pragma once

#include <QLabel>

// One line (two when it must wrap) at the foot of the window that says what the panel cannot
// do and what the user can do about it; empty when all is well. Anything that has such news
// routes it through setMessage.
class AStatusLine : public QLabel {
    Q_OBJECT

public:
    explicit AStatusLine(QWidget *parent = nullptr);

    QString message() const { return text(); }
    // An empty message clears the line.
    void setMessage(const QString &message);
};
