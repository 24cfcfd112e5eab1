// The encoder's dynamic-Huffman block, written from a chunk's symbol list.
#pragma once

#include "kor/Utils/UDeflateBitWriter.h"

namespace kor {

// Writes the symbols (a list that ends with the end-of-block symbol) as one
// dynamic block at position, the final-block bit set when final is. Returns
// false as soon as the next header item or symbol would take the block past
// budget bytes; the bits written so far stay in the buffer. On success
// position moves to the end of the block.
bool WriteDynamicBlock(const int* symbols, int count, bool final, int budget,
                       UBitPosition& position);

}  // namespace kor
