#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GridCtrl_src/GridCore.h"

namespace orvex::grid {
namespace {

using Lines = std::vector<std::vector<std::string>>;

// A grid shaped like the channel table: a title row, two label columns and
// one editable column, plus an optional fourth column for paste tests.
class GridCoreTest : public ::testing::Test {
protected:
    void Build(int rows, int cols, int fixedRows, int fixedCols) {
        core.Hooks().notify = [this](const NotifyRecord& n) { notes.push_back(n); };
        core.Hooks().controlId = 1013;
        core.SetRows(rows);
        core.SetCols(cols);
        core.SetFixedRows(fixedRows);
        core.SetFixedCols(fixedCols);
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c) core.SetCell(r, c, "r" + std::to_string(r) + "c" + std::to_string(c), DT_CENTER);
        notes.clear();
    }
    void SetUp() override { Build(11, 3, 1, 2); }

    bool Modified(int r, int c) const { return core.Cell(r, c)->Has(GVIS_MODIFIED); }
    // The notifications as "code@row,col" for readable failures.
    std::vector<std::string> Codes() const {
        std::vector<std::string> out;
        for (const NotifyRecord& n : notes)
            out.push_back(std::to_string(n.code) + "@" + std::to_string(n.row) + "," + std::to_string(n.col));
        return out;
    }
    static std::string At(int code, int r, int c) {
        return std::to_string(code) + "@" + std::to_string(r) + "," + std::to_string(c);
    }

    GridCore core;
    std::vector<NotifyRecord> notes;
};

// ---- Fixed counts ------------------------------------------------------

TEST_F(GridCoreTest, RaisingFixedColsMarksTheColumnAndDropsFocusAndSelection) {
    core.Selection().SetFocus({4, 2}, false, false);
    ASSERT_TRUE(core.Cell(4, 2)->Has(GVIS_FOCUSED));

    EXPECT_TRUE(core.SetFixedCols(3));
    EXPECT_EQ(core.Shape().GetCols(), 3);
    EXPECT_FALSE(core.Selection().Focus().IsValid());
    EXPECT_TRUE(core.Selection().Cells().empty());
    for (int r = 0; r < core.Shape().GetRows(); ++r) {
        const CGridCell* cell = core.Cell(r, 2);
        EXPECT_TRUE(cell->Has(GVIS_FIXED) && cell->Has(GVIS_FIXEDCOL)) << "row " << r;
        EXPECT_FALSE(cell->Has(GVIS_FOCUSED) || cell->Has(GVIS_SELECTED)) << "row " << r;
        EXPECT_FALSE(core.IsCellEditable(r, 2));
    }
    // A locked column can be neither focused nor edited.
    core.Selection().SetFocus({4, 2}, true, true);
    EXPECT_FALSE(core.Selection().Focus().IsValid());
    EXPECT_TRUE(notes.empty());

    EXPECT_TRUE(core.SetFixedCols(2));
    for (int r = 1; r < core.Shape().GetRows(); ++r) {
        const CGridCell* cell = core.Cell(r, 2);
        EXPECT_FALSE(cell->Has(GVIS_FIXED) || cell->Has(GVIS_FIXEDCOL)) << "row " << r;
        EXPECT_TRUE(core.IsCellEditable(r, 2));
        EXPECT_EQ(cell->GetText(), "r" + std::to_string(r) + "c2");
        EXPECT_EQ(cell->GetFormat(), unsigned(DT_CENTER));
    }
    // The title row stays fixed while the columns unlock.
    EXPECT_TRUE(core.Cell(0, 2)->Has(GVIS_FIXED) && core.Cell(0, 2)->Has(GVIS_FIXEDROW));
    EXPECT_FALSE(core.Cell(0, 2)->Has(GVIS_FIXEDCOL));
}

TEST_F(GridCoreTest, SettingTheFixedCountItAlreadyHasKeepsFocusAndSelection) {
    core.Selection().SetFocus({6, 2}, false, false);
    core.Selection().Select({7, 2}, true);
    int repaints = 0, reshapes = 0;
    core.Hooks().changed = [&repaints] { ++repaints; };
    core.Hooks().reshaped = [&reshapes] { ++reshapes; };

    EXPECT_TRUE(core.SetFixedCols(2));
    EXPECT_TRUE(core.SetFixedRows(1));
    EXPECT_EQ(core.Selection().Focus(), (CellId{6, 2}));
    EXPECT_TRUE(core.Selection().Contains(6, 2));
    EXPECT_TRUE(core.Selection().Contains(7, 2));
    EXPECT_EQ(repaints, 0);
    EXPECT_EQ(reshapes, 0);
    // A front end lays itself out anew after every change of a count or a
    // size.
    EXPECT_TRUE(core.SetRows(12));
    EXPECT_TRUE(core.SetCols(4));
    EXPECT_TRUE(core.SetFixedCols(3));
    EXPECT_FALSE(core.SetRows(-1));
    core.SetRowHeight(2, 0);
    core.SetColWidth(1, 0);
    core.SetRowHeight(12, 0);
    EXPECT_EQ(reshapes, 5);
}

TEST_F(GridCoreTest, FixedCountsAboveTheShapeAddColumnsAndRows) {
    EXPECT_TRUE(core.SetFixedCols(5));
    EXPECT_EQ(core.Shape().GetCols(), 5);
    EXPECT_EQ(core.GetCellText(3, 1), "r3c1");  // existing cells keep their text
    EXPECT_EQ(core.GetCellText(3, 4), "");
    EXPECT_TRUE(core.Cell(3, 4)->Has(GVIS_FIXEDCOL));

    EXPECT_TRUE(core.SetFixedRows(13));
    EXPECT_EQ(core.Shape().GetRows(), 13);
    EXPECT_TRUE(core.Cell(12, 0)->Has(GVIS_FIXEDROW));
    EXPECT_EQ(core.GetCellText(12, 0), "");

    EXPECT_FALSE(core.SetFixedCols(-1));
    EXPECT_EQ(core.Shape().GetFixedCols(), 5);
}

// ---- Cell access ---------------------------------------------------------

TEST_F(GridCoreTest, OutsideTheGridReadsEmptyAndWritesNothing) {
    for (const CellId& c : {CellId{-1, 2}, CellId{11, 2}, CellId{3, -1}, CellId{3, 3}, CellId{99, 99}}) {
        EXPECT_EQ(core.GetCellText(c.row, c.col), "") << c.row << "," << c.col;
        EXPECT_FALSE(core.SetCellText(c.row, c.col, "27.0000"));
        EXPECT_FALSE(core.SetCell(c.row, c.col, "27.0000", DT_LEFT));
        EXPECT_FALSE(core.EndEdit(c.row, c.col, "27.0000"));
        EXPECT_EQ(core.Cell(c.row, c.col), nullptr);
    }
    EXPECT_EQ(core.Shape().GetRows(), 11);
    EXPECT_EQ(core.Shape().GetCols(), 3);
    EXPECT_TRUE(notes.empty());
}

TEST_F(GridCoreTest, SetCellTextMarksModifiedButSetCellDoesNot) {
    EXPECT_FALSE(Modified(2, 2));
    core.SetCell(2, 2, "26.0000", DT_CENTER);
    EXPECT_FALSE(Modified(2, 2));
    core.SetCellText(3, 2, "26.0000");
    EXPECT_TRUE(Modified(3, 2));
}

TEST_F(GridCoreTest, AnUnchangedEditStillEndsButLeavesTheCellUnmodified) {
    EXPECT_FALSE(core.EndEdit(5, 2, "r5c2"));
    EXPECT_FALSE(Modified(5, 2));
    EXPECT_TRUE(core.EndEdit(6, 2, "27.1250"));
    EXPECT_TRUE(Modified(6, 2));
    EXPECT_EQ(core.GetCellText(6, 2), "27.1250");
    EXPECT_EQ(Codes(), (std::vector<std::string>{At(LVN_ENDLABELEDIT, 5, 2), At(LVN_ENDLABELEDIT, 6, 2)}));
    EXPECT_EQ(notes.front().controlId, 1013);
}

// ---- Copy ------------------------------------------------------------------

TEST_F(GridCoreTest, CopyCoversTheSelectionRectangleWithGapsForUnselectedCells) {
    Build(6, 4, 1, 1);
    core.Selection().Select({2, 1}, true);
    core.Selection().Select({3, 3}, true);
    core.Selection().Select({4, 2}, true);
    // Rows 2..4 by columns 1..3; only the three selected cells carry text.
    EXPECT_EQ(core.CopyText(), "r2c1\t\t\n\t\tr3c3\n\tr4c2\t");
}

TEST_F(GridCoreTest, CopyLeavesOutHiddenRowsAndColumnsAndEndsWithoutLineFeed) {
    Build(6, 4, 1, 1);
    core.Selection().SelectAll();
    core.SetRowHeight(2, 0);
    core.SetColWidth(1, 0);
    EXPECT_EQ(core.CopyText(),
              "r0c0\tr0c2\tr0c3\n"
              "r1c0\tr1c2\tr1c3\n"
              "r3c0\tr3c2\tr3c3\n"
              "r4c0\tr4c2\tr4c3\n"
              "r5c0\tr5c2\tr5c3");
}

TEST_F(GridCoreTest, NothingSelectedCopiesNothing) {
    EXPECT_FALSE(core.Abilities().copy);
    EXPECT_EQ(core.CopyText(), "");
    core.Selection().Select({4, 2}, true);
    EXPECT_EQ(core.CopyText(), "r4c2");
}

// ---- Paste text splitting ------------------------------------------------

TEST(SplitPasteText, LinesAtLineFeedsPiecesAtTabsAndCommas) {
    EXPECT_EQ(SplitPasteText("26.0000\n27.0000"), (Lines{{"26.0000"}, {"27.0000"}}));
    EXPECT_EQ(SplitPasteText("a\tb,c\nd"), (Lines{{"a", "b", "c"}, {"d"}}));
    EXPECT_EQ(SplitPasteText("a,,b"), (Lines{{"a", "", "b"}}));
    EXPECT_EQ(SplitPasteText("a\t"), (Lines{{"a", ""}}));
}

TEST(SplitPasteText, PiecesAreTrimmedAndCarriageReturnsDropped) {
    EXPECT_EQ(SplitPasteText("  26.0000 ,\t 27.0000  \r\n28.0000\r\n"),
              (Lines{{"26.0000", "", "27.0000"}, {"28.0000"}}));
    EXPECT_EQ(SplitPasteText("26.0000\r\n27.0000"), (Lines{{"26.0000"}, {"27.0000"}}));
    EXPECT_EQ(SplitPasteText("   "), (Lines{{""}}));
}

TEST(SplitPasteText, OnlyTheFinalLineFeedIsNotALine) {
    EXPECT_EQ(SplitPasteText("26.0000\n"), (Lines{{"26.0000"}}));
    // An empty line inside the text is a line the user meant.
    EXPECT_EQ(SplitPasteText("26.0000\n\n27.0000\n"), (Lines{{"26.0000"}, {""}, {"27.0000"}}));
    EXPECT_EQ(SplitPasteText("26.0000\n\n"), (Lines{{"26.0000"}, {""}}));
    EXPECT_EQ(SplitPasteText("\n"), (Lines{{""}}));
}

// ---- Delete and paste --------------------------------------------------------

TEST_F(GridCoreTest, DeleteOfEmptyCellsNotifiesEachCellButModifiesNothing) {
    for (int r = 1; r <= 10; ++r) core.SetCell(r, 2, "", DT_CENTER);
    core.Selection().SelectAll();
    notes.clear();
    core.DeleteSelection();
    std::vector<std::string> expected;
    for (int r = 1; r <= 10; ++r) {
        expected.push_back(At(LVN_BEGINLABELEDIT, r, 2));
        expected.push_back(At(LVN_ENDLABELEDIT, r, 2));
        EXPECT_FALSE(Modified(r, 2)) << "row " << r;
    }
    EXPECT_EQ(Codes(), expected);  // fixed cells are not touched
    EXPECT_EQ(core.GetCellText(3, 0), "r3c0");
}

TEST_F(GridCoreTest, DeleteClearsOnlySelectedEditableCells) {
    core.Selection().SetFocus({3, 2}, false, false);
    core.Selection().Select({5, 2}, true);
    core.Selection().Select({5, 1}, true);
    core.SetCellReadOnly(5, 2, true);
    notes.clear();
    core.DeleteSelection();
    EXPECT_EQ(core.GetCellText(3, 2), "");
    EXPECT_TRUE(Modified(3, 2));
    EXPECT_EQ(core.GetCellText(5, 2), "r5c2");
    EXPECT_EQ(core.GetCellText(5, 1), "r5c1");
    EXPECT_EQ(Codes(), (std::vector<std::string>{At(LVN_BEGINLABELEDIT, 3, 2), At(LVN_ENDLABELEDIT, 3, 2)}));
}

TEST_F(GridCoreTest, DeleteAndPasteDoNothingDuringATransferOrWithoutEditing) {
    core.Selection().SetFocus({3, 2}, false, false);
    notes.clear();
    for (int mode = 0; mode < 2; ++mode) {
        core.SetTransferBusy(mode == 0);
        core.SetPermissions({.editing = mode == 0});
        core.DeleteSelection();
        EXPECT_FALSE(core.Abilities().paste);
        EXPECT_FALSE(core.PasteText("26.0000").pasted);
        EXPECT_EQ(core.GetCellText(3, 2), "r3c2");
        EXPECT_FALSE(Modified(3, 2));
    }
    EXPECT_TRUE(notes.empty());
}

TEST_F(GridCoreTest, PasteFillsDownFromTheFocusAndStopsAtTheLastRow) {
    core.Selection().SetFocus({3, 2}, false, false);
    notes.clear();
    EXPECT_TRUE(core.PasteText("26.0000\n27.0000\n").pasted);
    EXPECT_EQ(core.GetCellText(3, 2), "26.0000");
    EXPECT_EQ(core.GetCellText(4, 2), "27.0000");
    EXPECT_EQ(core.GetCellText(5, 2), "r5c2");  // the final line feed clears nothing
    EXPECT_FALSE(core.Selection().Contains(3, 2));  // pasted cells are unselected
    EXPECT_EQ(Codes(), (std::vector<std::string>{At(LVN_BEGINLABELEDIT, 3, 2), At(LVN_ENDLABELEDIT, 3, 2),
                                                 At(LVN_BEGINLABELEDIT, 4, 2), At(LVN_ENDLABELEDIT, 4, 2)}));

    core.Selection().SetFocus({10, 2}, false, false);
    EXPECT_TRUE(core.PasteText("28.0000\n29.0000").pasted);
    EXPECT_EQ(core.GetCellText(10, 2), "28.0000");
    EXPECT_EQ(core.Shape().GetRows(), 11);
}

TEST_F(GridCoreTest, PasteStartsAtTheSelectionsTopLeftAndSkipsHiddenRows) {
    Build(8, 4, 1, 2);
    core.Selection().SetFocus({6, 3}, false, false);
    core.Selection().Select({2, 2}, true);
    core.SetRowHeight(3, 0);
    EXPECT_EQ(core.Selection().PasteStart(), (CellId{2, 2}));
    EXPECT_TRUE(core.PasteText("a, b, c\nd").pasted);
    EXPECT_EQ(core.GetCellText(2, 2), "a");
    EXPECT_EQ(core.GetCellText(2, 3), "b");  // "c" has no column
    EXPECT_EQ(core.GetCellText(3, 2), "r3c2");
    EXPECT_EQ(core.GetCellText(4, 2), "d");
    EXPECT_EQ(core.Shape().GetCols(), 4);
}

TEST(SplitPasteText, DecimalCommaKeepsADigitsCommaDigitsFieldWhole) {
    EXPECT_EQ(SplitPasteText("26,5000", true), (Lines{{"26.5000"}}));
    EXPECT_EQ(SplitPasteText(" 26,5 \t27,125\n1,2,3", true), (Lines{{"26.5", "27.125"}, {"1", "2", "3"}}));
    // Not a number with a decimal comma: split as before.
    EXPECT_EQ(SplitPasteText("26.0,27.0\t,5\t5,\ta,b", true), (Lines{{"26.0", "27.0", "", "5", "5", "", "a", "b"}}));
    EXPECT_EQ(SplitPasteText("26,5000"), (Lines{{"26", "5000"}}));
}

TEST_F(GridCoreTest, PasteLeavesCellsWhosePieceTheCheckRefuses) {
    core.Selection().SetFocus({2, 2}, false, false);
    std::vector<std::string> seen;
    core.Hooks().checkCell = [&](int row, int col, const std::string& text) {
        seen.push_back(At(0, row, col) + "=" + text);
        return CellCheck{text != "bad", "<" + text + ">"};
    };
    notes.clear();
    const PasteOutcome outcome = core.PasteText("a\nbad\nc");
    EXPECT_TRUE(outcome.pasted);
    EXPECT_EQ(core.GetCellText(2, 2), "<a>");
    EXPECT_EQ(core.GetCellText(3, 2), "r3c2");
    EXPECT_FALSE(Modified(3, 2));
    EXPECT_EQ(core.GetCellText(4, 2), "<c>");
    EXPECT_EQ(outcome.refused, (std::vector<CellId>{{3, 2}}));
    EXPECT_EQ(Codes(), (std::vector<std::string>{At(LVN_BEGINLABELEDIT, 2, 2), At(LVN_ENDLABELEDIT, 2, 2),
                                                 At(LVN_BEGINLABELEDIT, 4, 2), At(LVN_ENDLABELEDIT, 4, 2)}));
    // Fixed cells are not asked about; a later paste starts a new account.
    EXPECT_EQ(seen.size(), 3u);
    const PasteOutcome again = core.PasteText("z");
    EXPECT_TRUE(again.pasted);
    EXPECT_TRUE(again.refused.empty());
}

TEST_F(GridCoreTest, PasteStartsOnlyInTheColumnsTheOwnerNames) {
    Build(5, 5, 1, 0);
    for (const bool named : {false, true}) {
        if (named) core.SetPastePolicy({.startColumns = {2, 3}});
        for (int c = 0; c < 5; ++c) {
            core.Selection().SetFocus({2, c}, false, false);
            EXPECT_EQ(core.Abilities().paste, !named || c == 2 || c == 3) << "column " << c;
        }
    }
    core.Selection().SetFocus({2, 1}, false, false);
    EXPECT_FALSE(core.PasteText("x").pasted);
    EXPECT_EQ(core.GetCellText(2, 1), "r2c1");
}

TEST_F(GridCoreTest, PasteWithNothingFocusedIsRefused) {
    EXPECT_FALSE(core.Abilities().paste);
    EXPECT_FALSE(core.PasteText("26.0000").pasted);
    EXPECT_TRUE(notes.empty());
}

// ---- Keyboard moves ----------------------------------------------------------

TEST_F(GridCoreTest, MovesStayInsideTheUnfixedCells) {
    // One after the other, from row 1 of column 2; pages are 5 rows.
    const struct {
        MoveKey key;
        bool ctrl;
        CellId to;
    } moves[] = {
        {MoveKey::Up, false, {1, 2}},       {MoveKey::Left, false, {1, 2}},     {MoveKey::Down, false, {2, 2}},
        {MoveKey::PageDown, false, {7, 2}}, {MoveKey::PageDown, false, {10, 2}}, {MoveKey::Home, true, {1, 2}},
        {MoveKey::End, true, {10, 2}},
    };
    core.Selection().SetFocus({1, 2}, false, false);
    notes.clear();
    for (const auto& m : moves) {
        const CellId from = core.Selection().Focus();
        core.Selection().Move(m.key, m.ctrl, 5);
        EXPECT_EQ(core.Selection().Focus(), m.to) << "from " << from.row << "," << from.col;
        // The selection moves with the focus.
        EXPECT_TRUE(core.Selection().Contains(m.to.row, m.to.col));
        if (from != m.to) {
            EXPECT_FALSE(core.Selection().Contains(from.row, from.col));
        }
    }
    EXPECT_EQ(notes.size(), 2u * std::size(moves));  // each move: changing, then changed
    EXPECT_EQ(notes[0].code, LVN_ITEMCHANGING);
    EXPECT_EQ(notes[1].code, LVN_ITEMCHANGED);
}

TEST_F(GridCoreTest, TabWrapsToTheFirstUnfixedColumnOfTheNextRow) {
    Build(5, 5, 1, 2);
    core.Selection().SetFocus({1, 3}, false, false);
    core.Selection().Move(MoveKey::Tab, false, 1);
    EXPECT_EQ(core.Selection().Focus(), (CellId{1, 4}));
    core.Selection().Move(MoveKey::Tab, false, 1);
    EXPECT_EQ(core.Selection().Focus(), (CellId{2, 2}));
    core.Selection().Move(MoveKey::BackTab, false, 1);
    EXPECT_EQ(core.Selection().Focus(), (CellId{1, 4}));
    core.Selection().SetFocus({4, 4}, false, false);
    core.Selection().Move(MoveKey::Tab, false, 1);
    EXPECT_EQ(core.Selection().Focus(), (CellId{4, 4}));  // nowhere to go from the last cell
}

TEST_F(GridCoreTest, MovesNeverLandOnHiddenRowsOrColumns) {
    Build(8, 5, 1, 1);
    core.SetRowHeight(3, 0);
    core.SetRowHeight(7, 0);
    core.SetColWidth(4, 0);
    core.Selection().SetFocus({2, 2}, false, false);
    core.Selection().Move(MoveKey::Down, false, 1);
    EXPECT_EQ(core.Selection().Focus(), (CellId{4, 2}));
    core.Selection().SetFocus({6, 2}, false, false);
    core.Selection().Move(MoveKey::Down, false, 1);
    EXPECT_EQ(core.Selection().Focus(), (CellId{6, 2}));  // only a hidden row below
    core.Selection().Move(MoveKey::PageDown, false, 5);
    EXPECT_EQ(core.Selection().Focus(), (CellId{6, 2}));
    core.Selection().SetFocus({6, 3}, false, false);
    core.Selection().Move(MoveKey::Right, false, 1);
    EXPECT_EQ(core.Selection().Focus(), (CellId{6, 3}));
    core.Selection().SetFocus({5, 1}, false, false);
    core.Selection().Move(MoveKey::End, false, 1);
    EXPECT_EQ(core.Selection().Focus(), (CellId{5, 3}));
    core.Selection().Move(MoveKey::End, true, 1);
    EXPECT_EQ(core.Selection().Focus(), (CellId{6, 3}));
    core.Selection().SetFocus({5, 3}, false, false);
    core.Selection().Move(MoveKey::Tab, false, 1);
    EXPECT_EQ(core.Selection().Focus(), (CellId{6, 1}));  // the hidden last column does not hold the wrap
}

TEST_F(GridCoreTest, SelectAllNotifiesAroundSelectingEveryCell) {
    core.Selection().SetFocus({4, 2}, false, false);
    notes.clear();
    core.Selection().SelectAll();
    EXPECT_EQ(core.Selection().Cells().size(), 33u);
    EXPECT_EQ(Codes(), (std::vector<std::string>{At(LVN_ITEMCHANGING, 4, 2), At(LVN_ITEMCHANGED, 4, 2)}));
}

}  // namespace
}  // namespace orvex::grid
