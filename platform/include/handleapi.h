// Closing kernel object handles (mutexes, events, semaphores).
#pragma once

#include "windef.h"

WINBASEAPI BOOL WINAPI CloseHandle(HANDLE hObject);
