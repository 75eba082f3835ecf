// velmora-panel-picture: the editor panel as a PNG file, painted with Cairo on Linux. It
// loads the plug-in as a host does, sets the given parameter values, reads them back (so
// the plug-in's own defaults and clamping apply), advances the animation by the given
// number of editor idle steps and paints the panel.
//
//   velmora-panel-picture OUTPUT.png [INDEX=VALUE ...] [--idle N] [--plugin PATH] [--scale S]
//
// INDEX is a parameter number 0..7, VALUE its normalised value, S the scale at which the
// CLAP, VST 3 and LV2 editors show the panel. The same arguments but the scale give
// velmora-snapshot's picture of the Windows panel.
#include <dlfcn.h>
#include <unistd.h>

#include <cairo.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "editor/cairo_painter.h"
#include "editor/editor_view.h"
#include "editor/panel_size.h"
#include "host/vst2_abi.h"
#include "tools/panel_picture_options.h"

namespace {

int fail(const char* what) {
    std::fprintf(stderr, "velmora-panel-picture: %s\n", what);
    return 1;
}

// The plug-in beside this program unless one is named.
std::string defaultPluginPath() {
    char path[PATH_MAX] = {};
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string folder = length > 0 ? std::string(path, static_cast<size_t>(length)) : "./";
    folder.erase(folder.find_last_of('/') + 1);
    return folder + "Tolvan_Velmora.so";
}

float readEffectParameter(void* context, int32_t index) {
    auto* effect = static_cast<AEffect*>(context);
    return effect->getParameter(effect, index);
}

void changeEffectParameter(void* context, int32_t index, float value) {
    auto* effect = static_cast<AEffect*>(context);
    effect->setParameter(effect, index, value);
}

}  // namespace

int main(int argc, char** argv) {
    PanelPictureOptions options;
    if (!parsePanelPictureOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: velmora-panel-picture OUTPUT.png [INDEX=VALUE ...] "
                             "[--idle N] [--plugin PATH] [--scale S]\n");
        return 2;
    }
    if (options.plugin.empty()) options.plugin = defaultPluginPath();

    void* library = dlopen(options.plugin.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) return fail("cannot load the plug-in");
    auto entry = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(dlsym(library, "VSTPluginMain"));
    AEffect* effect = entry ? entry(quietHost) : nullptr;
    if (!effect) return fail("the plug-in made no instance");
    for (const auto& [index, value] : options.values) effect->setParameter(effect, index, value);

    EditorDrag drag;
    float phase = 0.0f;
    const EditorView view{effect, readEffectParameter, changeEffectParameter, &drag, &phase,
                          nullptr};
    for (int i = 0; i < options.idleCalls; ++i) advanceAnimation(view);
    const PanelValues values = panelValues(view);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    dlclose(library);

    const PanelSize size = options.scale == 1.0 ? PanelSize{panelWidth, panelHeight} : panelSizeAt(options.scale);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, int(size.width), int(size.height));
    cairo_t* cr = cairo_create(surface);
    if (options.scale != 1.0) cairo_scale(cr, options.scale, options.scale);
    paintPanelCairo(cr, values);
    const bool painted = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    const bool written =
        painted && cairo_surface_write_to_png(surface, options.output.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    releasePanelFonts();
    if (!written) return fail("the picture was not written");
    std::printf("velmora-panel-picture: wrote %s (%u x %u)\n", options.output.c_str(), size.width,
                size.height);
    return 0;
}
