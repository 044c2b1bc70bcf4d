#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ThumbGrid.h"

namespace {

// A grid of `count` cells keyed "1", "2", ... in the window's 481-pixel box.
struct Fixture {
    std::vector<std::string> selected;
    TThumbGrid grid{selected, 481};
    std::vector<std::size_t> changed;
    explicit Fixture(int count) {
        for (int i = 1; i <= count; ++i) grid.AddCell(std::to_string(i));
        grid.OnSelectedChanged = [this](std::size_t i) { changed.push_back(i); };
    }
    std::vector<std::string> Flags() const {
        std::vector<std::string> keys;
        for (const auto& c : grid.Cells())
            if (c.Selected) keys.push_back(c.Key);
        return keys;
    }
};

using Keys = std::vector<std::string>;

}  // namespace

TEST(ThumbGrid, SixCellsARowAtTheWindowsWidth) {
    Fixture f(13);
    std::vector<int> lefts, tops;
    for (const auto& c : f.grid.Cells()) {
        lefts.push_back(c.Left);
        tops.push_back(c.Top);
        EXPECT_EQ(c.Width, 61);
        EXPECT_EQ(c.Height, 61);
    }
    EXPECT_EQ(lefts, (std::vector<int>{10, 81, 152, 223, 294, 365, 10, 81, 152, 223, 294, 365, 10}));
    EXPECT_EQ(tops, (std::vector<int>{10, 10, 10, 10, 10, 10, 81, 81, 81, 81, 81, 81, 152}));
    EXPECT_EQ(f.grid.ContentHeight(), 152 + 61 + 10);
}

TEST(ThumbGrid, OneCellPerKeyLetterCaseAside) {
    std::vector<std::string> selected;
    TThumbGrid grid(selected, 481);
    EXPECT_TRUE(grid.AddCell("100APPLEIMG_0001"));
    EXPECT_FALSE(grid.AddCell("100appleimg_0001"));
    EXPECT_TRUE(grid.AddCell("7"));
    EXPECT_FALSE(grid.AddCell("7"));
    ASSERT_EQ(grid.Count(), 2u);
    EXPECT_EQ(grid[1].Left, 81);  // no gap where the duplicate was refused
    grid.Clear();
    EXPECT_TRUE(grid.AddCell("7"));
    EXPECT_EQ(grid[0].Left, 10);
}

TEST(ThumbGrid, PointSelections) {
    // Cell 1 spans 10..71 across and down, cell 2 81..142 across, cell 7 starts a row at 81 down.
    struct Case {
        const char* what;
        Keys before;  // keys selected first, by toggling their cells
        int x, y;
        bool hit;
        Keys after;
    } cases[] = {
        {"inside a cell selects it", {}, 40, 40, true, {"1"}},
        {"on a selected cell unselects it", {"1"}, 40, 40, true, {}},
        {"the others keep their order", {"3", "1", "2"}, 40, 40, true, {"3", "2"}},
        {"left edge is no hit", {}, 10, 40, false, {}},
        {"top edge is no hit", {}, 40, 10, false, {}},
        {"right edge is no hit", {}, 71, 40, false, {}},
        {"one pixel in from the corner", {}, 11, 11, true, {"1"}},
        {"between two cells", {"2"}, 76, 40, false, {"2"}},
        {"second row", {}, 100, 100, true, {"8"}},
    };
    for (const Case& c : cases) {
        Fixture f(12);
        for (const auto& key : c.before) {
            const int i = std::stoi(key) - 1;
            f.grid.ToggleAtPoint(f.grid[i].Left + 30, f.grid[i].Top + 30);
        }
        EXPECT_EQ(f.grid.ToggleAtPoint(c.x, c.y), c.hit) << c.what;
        EXPECT_EQ(f.selected, c.after) << c.what;
    }
}

TEST(ThumbGrid, RectangleSelections) {
    struct Case {
        const char* what;
        int ax, ay, ex, ey;
        Keys after;
    } cases[] = {
        {"first cell of a row to the third of the next", 40, 40, 180, 110, {"1", "2", "3", "7", "8", "9"}},
        {"the same, dragged backwards", 180, 110, 40, 40, {"1", "2", "3", "7", "8", "9"}},
        {"one pixel move inside a cell", 40, 40, 41, 40, {"1"}},
        {"from the corner of the grid (no anchor yet)", 0, 0, 100, 40, {"1", "2"}},
        {"a band between rows touches nothing", 0, 73, 480, 79, {}},
        {"a rectangle around a whole cell", 5, 5, 75, 75, {"1"}},
        {"ending on an edge line touches nothing beyond", 40, 40, 81, 40, {"1"}},
    };
    for (const Case& c : cases) {
        Fixture f(12);
        f.grid.SelectByRectangle(c.ax, c.ay, c.ex, c.ey);
        EXPECT_EQ(f.selected, c.after) << c.what;
        EXPECT_EQ(f.Flags(), c.after) << c.what;
    }
    // A rectangle adds to what is selected and unselects nothing.
    Fixture f(12);
    f.grid.ToggleAtPoint(300, 100);  // "11"
    f.grid.SelectByRectangle(40, 40, 100, 40);
    f.grid.SelectByRectangle(40, 40, 100, 40);
    EXPECT_EQ(f.selected, (Keys{"11", "1", "2"}));
}

TEST(ThumbGrid, MenuSelections) {
    Fixture f(4);
    f.grid.SelectAll();
    EXPECT_EQ(f.selected, (Keys{"1", "2", "3", "4"}));
    f.grid.InvertSelect();
    EXPECT_TRUE(f.selected.empty());
    EXPECT_TRUE(f.Flags().empty());

    f.grid.SelectCell(2);
    f.grid.SelectCell(0);
    f.grid.InvertSelect();  // the newly selected in grid order
    EXPECT_EQ(f.selected, (Keys{"2", "4"}));
    f.grid.InvertSelect();
    EXPECT_EQ(f.selected, (Keys{"1", "3"}));
    f.grid.ClearSelect();
    EXPECT_TRUE(f.selected.empty());

    f.grid.InvertSelect();  // on an empty selection: all, in grid order
    EXPECT_EQ(f.selected, (Keys{"1", "2", "3", "4"}));
}

TEST(ThumbGrid, EveryChangeOfAFlagIsReportedAndOnlyThose) {
    Fixture f(3);
    f.grid.SelectCell(1);
    f.grid.SelectCell(1);  // already selected: nothing happens
    f.grid.SelectAll();
    f.grid.UnselectCell(0);
    f.grid.UnselectCell(0);
    EXPECT_EQ(f.changed, (std::vector<std::size_t>{1, 0, 2, 0}));
    EXPECT_EQ(f.selected, (Keys{"2", "3"}));
}

TEST(ThumbGrid, CellAtFindsOnlyStrictInsides) {
    Fixture f(7);
    EXPECT_EQ(f.grid.CellAt(11, 11), 0);
    EXPECT_EQ(f.grid.CellAt(70, 70), 0);
    EXPECT_EQ(f.grid.CellAt(71, 70), -1);
    EXPECT_EQ(f.grid.CellAt(20, 90), 6);
    EXPECT_EQ(f.grid.CellAt(100, 90), -1);  // no cell there yet
    EXPECT_EQ(f.grid.CellAt(-5, -5), -1);
}
