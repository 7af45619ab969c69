#include "AMatrix.h"

#include "AButton.h"

#include <algorithm>

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

void AMatrix::chooseNext(AButton *from, int step)
{
    const std::vector<AButton *> list = cells();
    const auto at = std::find(list.begin(), list.end(), from);
    if (at == list.end())
        return;
    const auto count = static_cast<std::ptrdiff_t>(list.size());
    std::ptrdiff_t i = at - list.begin();
    for (std::ptrdiff_t tried = 1; tried < count; ++tried) {
        i = ((i + step) % count + count) % count;
        AButton *next = list[static_cast<std::size_t>(i)];
        if (next->isEnabled() && next->isVisibleTo(this)) {
            next->setFocus(Qt::TabFocusReason);
            cellClicked(next);
            return;
        }
    }
}

void AMatrix::updateTabStop()
{
    const std::vector<AButton *> list = cells();
    if (list.empty())
        return;
    AButton *stop = selectedCell();
    if (!stop)
        stop = list.front();
    for (AButton *cell : list)
        cell->setFocusPolicy(cell == stop ? Qt::StrongFocus : Qt::ClickFocus);
}
