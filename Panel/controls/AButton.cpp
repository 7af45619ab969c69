#include "AButton.h"

#include "AMatrix.h"

AButton::AButton(QWidget *parent)
    : QPushButton(parent)
{
    connect(this, &QPushButton::clicked, this, [this] {
        // A cell of a matrix speaks through its matrix.
        if (auto *matrix = qobject_cast<AMatrix *>(parentWidget()))
            matrix->cellClicked(this);
        else
            emit action(this);
    });
}

void AButton::nextCheckState()
{
    if (m_autoToggle)
        QPushButton::nextCheckState();
}
