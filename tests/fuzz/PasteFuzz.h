#pragma once
// What the two paste harnesses share: a headless application, and a grid over a modifiable record
// set with a field of every kind a pasted value may meet, into which one input is pasted.

#include "TDBGridEhImport.h"

#include <cstddef>
#include <cstdint>

void StartPasteFuzzing();

// The first byte chooses where the paste goes (the selection, insert state, the current column)
// and how the error box answers; the other bytes are what the reader reads.
void PasteInput(TDBGridEhImportClass reader, const std::uint8_t* data, std::size_t size);
