// A button matrix: the upload's first matrix range are the rows, its second range the columns.
// The rows are pulled to ground one at a time (left floating otherwise), the columns are pulled
// up; button number row x columns + column + 1 (rows and columns counted from 0 in pin order)
// is reported as B and the number with '+' and '-'. A change counts when two scans of its row
// agree. The fifth matrix pin is not used.
#ifndef CORVANE_MATRIX_H
#define CORVANE_MATRIX_H

#include "corvane_limits.h"

namespace corvane {

void setUpMatrix();
// Scans one row when its turn has come.
void scanNextMatrixRow();
// Begins sending the position of every matrix button (the request for all inputs).
void sweepMatrix();
void sendMatrixSweep();

}  // namespace corvane

#endif
