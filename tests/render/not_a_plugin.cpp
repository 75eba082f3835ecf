// A shared library that loads fine but is no VST 2.4 plug-in: it has no VSTPluginMain.
extern "C" __attribute__((visibility("default"))) int velmoraNotAPlugin() { return 42; }
