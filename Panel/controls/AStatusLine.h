#pragma once

#include <QLabel>

// One line (two when it must wrap) at the foot of the window that says what the panel cannot
// do and what the user can do about it; empty when all is well. Anything that has such news
// routes it through setMessage. To assistive technologies it is the window's status bar.
class AStatusLine : public QLabel {
    Q_OBJECT

public:
    explicit AStatusLine(QWidget *parent = nullptr);

    QString message() const { return text(); }
    // An empty message clears the line; any other is also announced.
    void setMessage(const QString &message);
    // Has screen readers speak `news` now, whether or not the line shows it.
    void announce(const QString &news);

private:
    QWidget *m_announcer;
};
