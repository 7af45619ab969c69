#include "AButton.h"

#include "AMatrix.h"
#include "ControlsAccessible.h"

#include <QKeyEvent>

AButton::AButton(QWidget *parent)
    : QPushButton(parent)
{
    installControlsAccessibility();
    connect(this, &QPushButton::clicked, this, [this] {
        // A cell of a matrix speaks through its matrix.
        if (auto *matrix = qobject_cast<AMatrix *>(parentWidget()))
            matrix->cellClicked(this);
        else
            emit action(this);
    });
    if (auto *matrix = qobject_cast<AMatrix *>(parent)) {
        // Until something is selected, the group's Tab stop is its first cell.
        if (matrix->cells().size() > 1)
            setFocusPolicy(Qt::ClickFocus);
        connect(this, &QAbstractButton::toggled, matrix, &AMatrix::updateTabStop);
    }
}

void AButton::nextCheckState()
{
    if (m_autoToggle)
        QPushButton::nextCheckState();
}

void AButton::keyPressEvent(QKeyEvent *event)
{
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        // Outside a dialog Qt presses a button only on Space.
        click();
        event->accept();
        return;
    }
    if (auto *matrix = qobject_cast<AMatrix *>(parentWidget())) {
        switch (event->key()) {
        case Qt::Key_Up:
        case Qt::Key_Left:
            matrix->chooseNext(this, -1);
            event->accept();
            return;
        case Qt::Key_Down:
        case Qt::Key_Right:
            matrix->chooseNext(this, +1);
            event->accept();
            return;
        default: break;
        }
    }
    QPushButton::keyPressEvent(event);
}
