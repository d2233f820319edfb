#pragma once
#include "GridCtrl_src/GridCellBase.h"

namespace orvex::grid {

// The cell class every grid cell is.
class CGridCell : public CGridCellBase {};

// Holds what a new cell starts with.
class CGridDefaultCell : public CGridCellBase {
public:
    CGridDefaultCell() { m_format = DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS; }
};

}  // namespace orvex::grid
