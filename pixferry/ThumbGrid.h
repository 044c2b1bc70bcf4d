// The thumbnail grid without its widgets: where each cell stands, which cells
// are selected, and the mouse and menu selections. The window keeps one
// picture control per cell in the same order and mirrors `Selected` through
// OnSelectedChanged.
//
// Coordinates are those of the grid's content (the visible area plus the
// vertical scroll position), so a selection swept across a scroll stays right.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

struct TGridCell {
    std::string Key;
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    bool Selected = false;
};

class TThumbGrid {
public:
    static constexpr int CellWidth = 61;
    static constexpr int CellHeight = 61;
    static constexpr int Margin = 10;  // first cell's left and top, and the gap between cells

    // `selected` is the reader's selection list, kept in step with the cells.
    TThumbGrid(std::vector<std::string>& selected, int boxWidth);

    // Places a cell for `key` after the last one. A key that is already in the
    // grid (letter case aside) gets no second cell: returns false.
    bool AddCell(const std::string& key);
    void Clear();

    std::size_t Count() const { return Cells_.size(); }
    const TGridCell& operator[](std::size_t i) const { return Cells_[i]; }
    const std::vector<TGridCell>& Cells() const { return Cells_; }
    // The height the content needs for the cells placed so far.
    int ContentHeight() const;
    // The first cell that holds the point strictly inside its edges, or -1.
    int CellAt(int x, int y) const;

    void SelectCell(std::size_t i);
    void UnselectCell(std::size_t i);
    // Toggles the cell under the point; false when there is none.
    bool ToggleAtPoint(int x, int y);
    // Adds every cell the rectangle between the two points touches.
    void SelectByRectangle(int anchorX, int anchorY, int endX, int endY);
    void SelectAll();
    void InvertSelect();
    void ClearSelect();

    std::function<void(std::size_t)> OnSelectedChanged;

private:
    void SetSelected(std::size_t i, bool selected);

    std::vector<std::string>& Selected_;
    int BoxWidth_;
    int NextLeft_ = Margin;
    int NextTop_ = Margin;
    std::vector<TGridCell> Cells_;
    std::unordered_set<std::string> Keys_;  // lower-case
};
