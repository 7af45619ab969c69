#pragma once

#include <QWidget>
#include <vector>

class AButton;

// A group of tagged cells of which at most one is selected. Unlike an exclusive button group
// it can have none selected, which the panel relies on to clear it. To the keyboard it is one
// radio group: one Tab stop, the selected cell (or the first), and the arrow keys select.
class AMatrix : public QWidget {
    Q_OBJECT

public:
    explicit AMatrix(QWidget *parent = nullptr);

    // The cells are the matrix's AButton children, in creation order.
    std::vector<AButton *> cells() const;
    AButton *selectedCell() const;
    void deselectAllCells();
    // False, with nothing selected, when no cell carries the tag.
    bool selectCellWithTag(int tag);

    // A click on one of the cells: it becomes the one selected cell, then the matrix sends
    // its action.
    void cellClicked(AButton *cell);
    // The arrow keys on `from`: the enabled cell `step` places on (wrapping round) takes the
    // focus and is clicked.
    void chooseNext(AButton *from, int step);
    void updateTabStop();

signals:
    void action(QObject *sender);
};
