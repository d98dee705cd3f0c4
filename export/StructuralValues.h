#pragma once

#include "reader/ExtractionRequest.h"
#include "reader/OutputFileModel.h"
#include "reader/Services.h"
#include "reader/ValueTable.h"

namespace vx {

// Reads one structural result variable for every selected time step into `table`:
// for each step one seek to its position, a search for the variable's block header,
// then the whole block, record line after record line (row r = the r-th record; the
// node or element number printed on the line is never read). Failures are shown as
// "N: description" without an icon and end the reading; what was read stays.
//
// "Beam Stresses" and "Beam Tangent Modulus" offer one vector kind per block of the
// first time step, in file order. Entry k (0-based) reads the (k+1)-th block of that
// kind counted from the step's position, so each entry keeps reading the same beam
// point in every step as long as the listing prints the blocks in the same order.
void ReadStructuralValues(const OutputFileModel& model, const ExtractionRequest& request,
                          ValueTable& table, Services& services);

}  // namespace vx
