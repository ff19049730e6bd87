// SPDX-License-Identifier: MIT
// Text at the Win32 boundary: the program's strings are UTF-8, the API's are UTF-16.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// The system's own description of a Win32 error code in the user's language, without the line
// end FormatMessageW adds; empty when the system has none.
std::string SystemMessage(DWORD code);
