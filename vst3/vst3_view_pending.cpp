// Builds without an editor view: createView answers that there is none.
#include "vst3/vst3_plugin.h"

vst3::IPlugView* createVst3View(Vst3Plugin*) { return nullptr; }
