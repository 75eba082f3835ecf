// The library's DllMain: the loader's attach and detach, handed to the instance layer.
#include <windows.h>

#include "host/plugin_instance.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH)
        moduleAttach(module);
    else if (reason == DLL_PROCESS_DETACH)
        moduleDetach();
    return TRUE;
}
