// The length and distance ranges of RFC 1951 section 3.2.5, shared by the
// decoder (extra bits and first value) and the encoder (which searches the
// ranges).
#include "kor/Utils/UCompressor.h"

namespace kor {

// Symbol 284 covers 227 to 257 with five extra bits, so its largest extra
// value decodes to 258; the encoder never chooses it for 258, symbol 285 does.
const unsigned int g_deflateLengthTable[29][3] = {
    {0, 3, 3},       {0, 4, 4},       {0, 5, 5},       {0, 6, 6},       {0, 7, 7},
    {0, 8, 8},       {0, 9, 9},       {0, 10, 10},     {1, 11, 12},     {1, 13, 14},
    {1, 15, 16},     {1, 17, 18},     {2, 19, 22},     {2, 23, 26},     {2, 27, 30},
    {2, 31, 34},     {3, 35, 42},     {3, 43, 50},     {3, 51, 58},     {3, 59, 66},
    {4, 67, 82},     {4, 83, 98},     {4, 99, 114},    {4, 115, 130},   {5, 131, 162},
    {5, 163, 194},   {5, 195, 226},   {5, 227, 257},   {0, 258, 258},
};

const unsigned int g_deflateDistanceTable[30][3] = {
    {0, 1, 1},           {0, 2, 2},           {0, 3, 3},           {0, 4, 4},
    {1, 5, 6},           {1, 7, 8},           {2, 9, 12},          {2, 13, 16},
    {3, 17, 24},         {3, 25, 32},         {4, 33, 48},         {4, 49, 64},
    {5, 65, 96},         {5, 97, 128},        {6, 129, 192},       {6, 193, 256},
    {7, 257, 384},       {7, 385, 512},       {8, 513, 768},       {8, 769, 1024},
    {9, 1025, 1536},     {9, 1537, 2048},     {10, 2049, 3072},    {10, 3073, 4096},
    {11, 4097, 6144},    {11, 6145, 8192},    {12, 8193, 12288},   {12, 12289, 16384},
    {13, 16385, 24576},  {13, 24577, 32768},
};

const unsigned char g_deflateCodeLengthOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                    11, 4,  12, 3, 13, 2, 14, 1, 15};

}  // namespace kor
