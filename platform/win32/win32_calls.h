// SPDX-License-Identifier: MIT
// The Win32 calls of the hosts file's read and save paths, behind one seam so that a test can make
// any of them fail. Each call asks Fault() first; the real implementation never fails there. A
// failed call returns the API's own failure value with the error set for GetLastError().
#pragma once

#include <windows.h>

#include <string_view>

class Win32Calls {
 public:
  virtual ~Win32Calls() = default;

  UINT GetSystemDirectory(wchar_t* buffer, UINT size);
  HANDLE CreateFile(const wchar_t* path, DWORD access, DWORD share, DWORD disposition);
  BOOL ReadFile(HANDLE file, void* buffer, DWORD size, DWORD* read);
  BOOL WriteFile(HANDLE file, const void* buffer, DWORD size, DWORD* written);
  BOOL SetFilePointerEx(HANDLE file, LONGLONG offset);  // from the start of the file
  BOOL SetEndOfFile(HANDLE file);
  BOOL FlushFileBuffers(HANDLE file);
  BOOL CloseHandle(HANDLE handle);
  // Waits before retrying a file that another program holds. Never fails.
  virtual void Sleep(DWORD milliseconds);

 protected:
  // A Win32 error code to fail `call` with, or 0 to make the real call.
  virtual DWORD Fault(std::string_view call) {
    static_cast<void>(call);
    return 0;
  }
};
