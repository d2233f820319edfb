// The grid's paste on arbitrary clipboard text: the shape of the table and
// its fixed cells never change, and only the frequency column is written.
#include <cstdlib>
#include <string>

#include "GridCtrl_src/GridCore.h"

using namespace orvex::grid;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    GridCore g;
    int notifications = 0;
    g.Hooks().notify = [&](const NotifyRecord&) { ++notifications; };
    g.SetRows(11);
    g.SetCols(3);
    g.SetFixedRows(1);
    g.SetFixedCols(2);
    for (int r = 0; r < 11; ++r)
        for (int c = 0; c < 3; ++c) g.SetCell(r, c, "r" + std::to_string(r) + "c" + std::to_string(c), DT_CENTER);
    g.SetTransferBusy((data[0] & 0x80) != 0);
    g.Selection().SetFocus({1 + data[0] % 10, 2}, false, false);
    if (data[1] & 1) g.Selection().Select({1 + data[1] % 10, 2}, true);
    g.SetPastePolicy({.decimalComma = (data[1] & 2) != 0});
    const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
    g.PasteText(text);
    if (g.Shape().GetRows() != 11 || g.Shape().GetCols() != 3) std::abort();
    for (int r = 0; r < 11; ++r)
        for (int c = 0; c < 3; ++c)
            if ((r == 0 || c < 2) && g.GetCellText(r, c) != "r" + std::to_string(r) + "c" + std::to_string(c)) std::abort();
    if (g.IsTransferBusy() && notifications != 0) std::abort();
    (void)SplitPasteText(text);
    (void)SplitPasteText(text, true);
    return 0;
}
