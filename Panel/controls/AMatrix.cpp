#include "AMatrix.h"

#include "AButton.h"

AMatrix::AMatrix(QWidget *parent)
    : QWidget(parent)
{
}

std::vector<AButton *> AMatrix::cells() const
{
    std::vector<AButton *> result;
    for (QObject *child : children())
        if (auto *cell = qobject_cast<AButton *>(child))
            result.push_back(cell);
    return result;
}

AButton *AMatrix::selectedCell() const
{
    for (AButton *cell : cells())
        if (cell->state())
            return cell;
    return nullptr;
}

void AMatrix::deselectAllCells()
{
    for (AButton *cell : cells())
        cell->setState(0);
}

bool AMatrix::selectCellWithTag(int tag)
{
    bool found = false;
    for (AButton *cell : cells()) {
        const bool match = !found && cell->tag() == tag;
        cell->setState(match ? 1 : 0);
        found = found || match;
    }
    return found;
}

void AMatrix::cellClicked(AButton *cell)
{
    // A click on the selected cell keeps it selected; any other click moves the selection.
    for (AButton *other : cells())
        other->setState(other == cell ? 1 : 0);
    emit action(this);
}
