#pragma once

// Function types shared by the registration calls.
class MSyntax;

typedef void* (*MCreatorFunction)();
typedef MSyntax (*MCreateSyntaxFunction)();
