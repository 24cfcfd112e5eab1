// lumconv encode: reads an image with the registry and writes it with the
// loader its output extension names.
#pragma once

#include "kor/CoreServices/Interfaces/ICoreServices.h"

// argv holds the words after "encode"; returns the exit code.
int Encode(kor::ICoreServices& services, int argc, char** argv);
