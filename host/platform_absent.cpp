// Linux has no editor window and no GDI+: every platform call is a no-op.
#include "host/platform.h"

namespace {

void noStart(uintptr_t*) {}
void noShutdown(uintptr_t) {}
void noModuleCall(void*) {}
bool noWindow(void*) { return false; }
void noWindowCall(void*) {}
void* noEditor(const EditorView*, void*, void*) { return nullptr; }

const PlatformSeam absentSeam{false,        noStart,      noShutdown,   noModuleCall, noWindow,
                              noWindowCall, noWindowCall, noModuleCall, noModuleCall, noEditor};

}  // namespace

const PlatformSeam& nativePlatformSeam() { return absentSeam; }
const PlatformSeam* platform = &absentSeam;
