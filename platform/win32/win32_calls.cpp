// SPDX-License-Identifier: MIT
#include "win32_calls.h"

namespace {

template <typename T>
T FailWith(DWORD error, T failure) {
  ::SetLastError(error);
  return failure;
}

}  // namespace

#define LINESEL_FAULT(call, failure) \
  if (const DWORD injected = Fault(call)) return FailWith(injected, failure)

UINT Win32Calls::GetSystemDirectory(wchar_t* buffer, UINT size) {
  LINESEL_FAULT("GetSystemDirectory", 0u);
  return ::GetSystemDirectoryW(buffer, size);
}

HANDLE Win32Calls::CreateFile(const wchar_t* path, DWORD access, DWORD share, DWORD disposition) {
  LINESEL_FAULT("CreateFile", INVALID_HANDLE_VALUE);
  return ::CreateFileW(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

BOOL Win32Calls::ReadFile(HANDLE file, void* buffer, DWORD size, DWORD* read) {
  LINESEL_FAULT("ReadFile", FALSE);
  return ::ReadFile(file, buffer, size, read, nullptr);
}

BOOL Win32Calls::WriteFile(HANDLE file, const void* buffer, DWORD size, DWORD* written) {
  LINESEL_FAULT("WriteFile", FALSE);
  return ::WriteFile(file, buffer, size, written, nullptr);
}

BOOL Win32Calls::SetFilePointerEx(HANDLE file, LONGLONG offset) {
  LINESEL_FAULT("SetFilePointerEx", FALSE);
  LARGE_INTEGER position;
  position.QuadPart = offset;
  return ::SetFilePointerEx(file, position, nullptr, FILE_BEGIN);
}

BOOL Win32Calls::SetEndOfFile(HANDLE file) {
  LINESEL_FAULT("SetEndOfFile", FALSE);
  return ::SetEndOfFile(file);
}

BOOL Win32Calls::FlushFileBuffers(HANDLE file) {
  LINESEL_FAULT("FlushFileBuffers", FALSE);
  return ::FlushFileBuffers(file);
}

BOOL Win32Calls::CloseHandle(HANDLE handle) {
  // The handle is released even when the close reports an error.
  if (const DWORD injected = Fault("CloseHandle")) {
    ::CloseHandle(handle);
    return FailWith(injected, FALSE);
  }
  return ::CloseHandle(handle);
}

void Win32Calls::Sleep(DWORD milliseconds) {
  ::Sleep(milliseconds);
}
