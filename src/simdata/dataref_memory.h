// The dataref memory: per-board files in the plug-in folder that store dataref values ("M" inputs)
// and recall them ("P" inputs), newest first.
#pragma once

#include <cstddef>
#include <string>

// Each file is read once and kept; it is read again when its modification time or size shows that
// it changed on the disk (edited by hand), so a press costs a lookup and, for a store, one write.

// The memory file of a board: foldername + "/memory" + board + ".txt" (also left in filepath).
std::string MemoryFilePath(unsigned int board);
// The values a store with this depth keeps, the new one included: a fractional depth rounds up,
// at least 1, at most a million and one.
size_t MemoryValuesKept(double depth);
// Puts the current value of the input's dataref at the head of its key's line, keeping
// InputDefault (the depth) values. The file is rewritten through a temporary file in the same
// folder, so a store that fails leaves the old file as it was.
void SaveDataref(unsigned int board, unsigned int input, unsigned int arrayIndex);
// Drops the kept memory files (the files stay on the disk); the reset does this.
void ForgetMemoryFiles();
// Writes the stored value at the recall cursor (the input's InputDefault, 1-based) into the
// input's dataref and moves the cursor on, back to 1 after the oldest value.
void RestoreDataref(unsigned int board, unsigned int input, unsigned int arrayIndex);
