// The status window's search line tells why serial ports give no board.
#pragma once

// After what the search line says of the search: the first port without a board, its cause in a
// few words, and how many more there are. Sets the line only when its text changes.
void ShowPortCausesOnSearchLine();
