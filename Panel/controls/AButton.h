#pragma once

#include <QPushButton>

// A push button in the panel's vocabulary: a two-state `state`, a `tag`, and an action that
// carries the button as its sender. Return and Enter press it as Space does. A cell of an
// AMatrix is one choice of a radio group.
class AButton : public QPushButton {
    Q_OBJECT
    Q_PROPERTY(int state READ state WRITE setState)
    Q_PROPERTY(int tag READ tag WRITE setTag)
    // Off: a click leaves the state to the action, as a menu item with a check mark does.
    Q_PROPERTY(bool autoToggle READ autoToggle WRITE setAutoToggle)

public:
    explicit AButton(QWidget *parent = nullptr);

    int state() const { return isChecked() ? 1 : 0; }
    // Any non-zero state shows the button on.
    void setState(int state) { setChecked(state != 0); }
    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }
    bool autoToggle() const { return m_autoToggle; }
    void setAutoToggle(bool on) { m_autoToggle = on; }

signals:
    void action(QObject *sender);

protected:
    void nextCheckState() override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    int m_tag = 0;
    bool m_autoToggle = true;
};
