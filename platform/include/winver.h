// Version resources: the VS_VERSIONINFO block of a module and the queries over it.
//
// GetFileVersionInfoSizeW and GetFileVersionInfoW read the version block of a module named by its
// path (a loaded module, or a file that is loaded for the call). VerQueryValueW answers "\\" with the
// VS_FIXEDFILEINFO, a path of block names ("\\StringFileInfo\\040904b0\\ProductName") with a text
// value (its length in characters, the terminating zero included) and "\\VarFileInfo\\Translation"
// with binary data (its length in bytes). The pointers point into the caller's buffer.
#pragma once

#include "verrsrc.h"
#include "windef.h"

typedef struct tagVS_FIXEDFILEINFO {
    DWORD dwSignature;
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
} VS_FIXEDFILEINFO;

WINBASEAPI DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR lptstrFilename, LPDWORD lpdwHandle);
WINBASEAPI BOOL WINAPI GetFileVersionInfoW(LPCWSTR lptstrFilename, DWORD dwHandle, DWORD dwLen,
                                           LPVOID lpData);
WINBASEAPI BOOL WINAPI VerQueryValueW(LPCVOID pBlock, LPCWSTR lpSubBlock, LPVOID* lplpBuffer, PUINT puLen);

#define GetFileVersionInfoSize GetFileVersionInfoSizeW
#define GetFileVersionInfo GetFileVersionInfoW
#define VerQueryValue VerQueryValueW
