#include "ThumbGrid.h"

#include <algorithm>

#include "Utf8.h"

namespace {

std::string LowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// Strictly inside on one axis, or spanning the cell.
bool Overlaps(int lo, int hi, int a1, int a2) { return (lo < a1 && a1 < hi) || (lo < a2 && a2 < hi) || (a1 < lo && hi < a2); }

}  // namespace

TThumbGrid::TThumbGrid(std::vector<std::string>& selected, int boxWidth) : Selected_(selected), BoxWidth_(boxWidth) {}

bool TThumbGrid::AddCell(const std::string& key) {
    if (!Keys_.insert(LowerAscii(key)).second) return false;
    Cells_.push_back({key, NextLeft_, NextTop_, CellWidth, CellHeight, false});
    NextLeft_ += CellWidth + Margin;
    if (NextLeft_ + CellWidth > BoxWidth_ - 6) {
        NextLeft_ = Margin;
        NextTop_ += CellHeight + Margin;
    }
    return true;
}

void TThumbGrid::Clear() {
    Cells_.clear();
    Keys_.clear();
    NextLeft_ = NextTop_ = Margin;
}

int TThumbGrid::ContentHeight() const {
    if (Cells_.empty()) return 0;
    return Cells_.back().Top + CellHeight + Margin;
}

int TThumbGrid::CellAt(int x, int y) const {
    for (std::size_t i = 0; i < Cells_.size(); ++i) {
        const TGridCell& c = Cells_[i];
        if (c.Left < x && x < c.Left + c.Width && c.Top < y && y < c.Top + c.Height) return static_cast<int>(i);
        if (c.Top > y) break;  // row order: nothing further down can hold it
    }
    return -1;
}

void TThumbGrid::SetSelected(std::size_t i, bool selected) {
    Cells_[i].Selected = selected;
    if (OnSelectedChanged) OnSelectedChanged(i);
}

void TThumbGrid::SelectCell(std::size_t i) {
    // A cell's key is unique in the grid, so its flag tells whether the key is listed.
    if (Cells_[i].Selected) return;
    SetSelected(i, true);
    Selected_.push_back(Cells_[i].Key);
}

void TThumbGrid::UnselectCell(std::size_t i) {
    if (!Cells_[i].Selected) return;
    SetSelected(i, false);
    const std::string& key = Cells_[i].Key;
    auto it = std::find_if(Selected_.begin(), Selected_.end(), [&](const std::string& s) { return px::AsciiCaseEqual(s, key); });
    if (it != Selected_.end()) Selected_.erase(it);
}

bool TThumbGrid::ToggleAtPoint(int x, int y) {
    const int i = CellAt(x, y);
    if (i < 0) return false;
    if (Cells_[i].Selected)
        UnselectCell(i);
    else
        SelectCell(i);
    return true;
}

void TThumbGrid::SelectByRectangle(int anchorX, int anchorY, int endX, int endY) {
    const int x1 = std::min(anchorX, endX), x2 = std::max(anchorX, endX);
    const int y1 = std::min(anchorY, endY), y2 = std::max(anchorY, endY);
    for (std::size_t i = 0; i < Cells_.size(); ++i) {
        const TGridCell& c = Cells_[i];
        if (c.Top > y2) break;
        if (Overlaps(c.Left, c.Left + c.Width, x1, x2) && Overlaps(c.Top, c.Top + c.Height, y1, y2)) SelectCell(i);
    }
}

void TThumbGrid::SelectAll() {
    for (std::size_t i = 0; i < Cells_.size(); ++i) SelectCell(i);
}

void TThumbGrid::InvertSelect() {
    for (std::size_t i = 0; i < Cells_.size(); ++i) {
        if (Cells_[i].Selected)
            UnselectCell(i);
        else
            SelectCell(i);
    }
}

void TThumbGrid::ClearSelect() {
    for (std::size_t i = 0; i < Cells_.size() && !Selected_.empty(); ++i) UnselectCell(i);
}
