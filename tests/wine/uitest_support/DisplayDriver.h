// Under Wine a process loads its display driver (winex11.drv) on the first
// window call that needs it, once. When a test's second thread makes that
// first call while the first thread is inside a DLL's initialisation that
// registers a window class (the shell's browse window loads such DLLs), the
// two wait on each other for good: the load needs the loader lock the first
// thread holds, and the first thread waits for the load. A test that starts
// a thread to drive its windows calls this first, before the thread exists.
#pragma once

void LoadDisplayDriverBeforeThreads();
