#pragma once

#include <QWidget>
#include <vector>

class AButton;

// A group of tagged cells of which at most one is selected. Unlike an exclusive button group
// it can have none selected, which the panel relies on to clear it.
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

signals:
    void action(QObject *sender);
};
