// String resources of a module, read from the resource block embedded in its file.
#pragma once

#include "win32/types.h"

extern "C" {
// Copies string `uID` of the module (null: the program) in the ANSI code page into lpBuffer,
// cut to cchBufferMax - 1 characters and zero-terminated. Returns the number of characters
// copied; 0 when there is no such string (ERROR_RESOURCE_NAME_NOT_FOUND) or no buffer.
int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax);
}
