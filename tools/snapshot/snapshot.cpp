// velmora-snapshot: opens the plug-in's editor in a window of its own, sets the given
// parameter values, lets the host's idle calls advance the animation, and writes the
// painted panel to a PNG file with GDI+'s own encoder.
//
//   velmora-snapshot OUTPUT.png [INDEX=VALUE ...] [--idle N] [--plugin PATH]
//
// INDEX is a parameter number 0..7, VALUE its normalised value. Exit status 0 when the
// file was written and reads back with the pixels the window showed.
#include <windows.h>

#include <gdiplus.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/vst2_abi.h"
#include "tools/panel_picture_options.h"
#include "tools/snapshot/window_capture.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

int fail(const char* what) {
    std::fprintf(stderr, "velmora-snapshot: %s\n", what);
    return 1;
}

// The plug-in beside this program unless one is named.
std::string defaultPluginPath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    folder.erase(folder.find_last_of("\\/") + 1);
    return folder + "Tolvan_Velmora.dll";
}

bool pngEncoder(CLSID& clsid) {
    UINT count = 0;
    UINT bytes = 0;
    if (GdipGetImageEncodersSize(&count, &bytes) != Ok || bytes == 0) return false;
    std::vector<unsigned char> storage(bytes);
    auto* codecs = reinterpret_cast<ImageCodecInfo*>(storage.data());
    if (GdipGetImageEncoders(count, bytes, codecs) != Ok) return false;
    for (UINT i = 0; i < count; ++i)
        if (std::wcscmp(codecs[i].MimeType, L"image/png") == 0) {
            clsid = codecs[i].Clsid;
            return true;
        }
    return false;
}

// Writes the pixels as a 24-bit PNG, then decodes the file again and compares.
bool writePng(const WindowPixels& pixels, const wchar_t* path) {
    CLSID encoder;
    if (!pngEncoder(encoder)) return false;
    GpBitmap* bitmap = nullptr;
    std::vector<uint32_t> rows = pixels.rgb;
    if (GdipCreateBitmapFromScan0(pixels.width, pixels.height, pixels.width * 4,
                                  PixelFormat32bppRGB, reinterpret_cast<BYTE*>(rows.data()),
                                  &bitmap) != Ok)
        return false;
    const bool saved = GdipSaveImageToFile(bitmap, path, &encoder, nullptr) == Ok;
    GdipDisposeImage(bitmap);
    if (!saved) return false;

    GpBitmap* decoded = nullptr;
    if (GdipCreateBitmapFromFile(path, &decoded) != Ok) return false;
    UINT width = 0;
    UINT height = 0;
    GdipGetImageWidth(decoded, &width);
    GdipGetImageHeight(decoded, &height);
    bool same = static_cast<int>(width) == pixels.width && static_cast<int>(height) == pixels.height;
    for (int y = 0; same && y < pixels.height; y += 7)
        for (int x = 0; same && x < pixels.width; x += 5) {
            ARGB colour = 0;
            GdipBitmapGetPixel(decoded, x, y, &colour);
            same = (colour & 0x00ffffff) == pixels.at(x, y);
        }
    GdipDisposeImage(decoded);
    return same;
}

}  // namespace

int main(int argc, char** argv) {
    PanelPictureOptions options;
    if (!parsePanelPictureOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: velmora-snapshot OUTPUT.png [INDEX=VALUE ...] [--idle N] "
                     "[--plugin PATH]\n");
        return 2;
    }
    if (options.scale != 1.0) return fail("the VST 2.4 editor has one size: no --scale");
    if (options.plugin.empty()) options.plugin = defaultPluginPath();

    GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (GdiplusStartup(&token, &input, nullptr) != Ok) return fail("GDI+ did not start");

    HMODULE library = LoadLibraryA(options.plugin.c_str());
    if (!library) return fail("cannot load the plug-in");
    auto entry = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(
        reinterpret_cast<void*>(GetProcAddress(library, "VSTPluginMain")));
    AEffect* effect = entry ? entry(quietHost) : nullptr;
    if (!effect) return fail("the plug-in made no instance");
    for (const auto& [index, value] : options.values) effect->setParameter(effect, index, value);

    ERect* rect = nullptr;
    effect->dispatcher(effect, effEditGetRect, 0, 0, &rect, 0.0f);
    const int width = rect ? rect->right - rect->left : 840;
    const int height = rect ? rect->bottom - rect->top : 520;

    HWND host = createTopLevelWindow("VelmoraSnapshotHost", width, height);
    if (!host || effect->dispatcher(effect, effEditOpen, 0, 0, host, 0.0f) != 1)
        return fail("the editor did not open");
    HWND editor = GetWindow(host, GW_CHILD);
    for (int i = 0; i < options.idleCalls; ++i)
        effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);

    const WindowPixels pixels = captureWindow(editor);
    wchar_t path[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, options.output.c_str(), -1, path, MAX_PATH);
    const bool written = pixels.width > 0 && writePng(pixels, path);

    effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    DestroyWindow(host);
    FreeLibrary(library);
    GdiplusShutdown(token);
    if (!written) return fail("the picture was not written");
    std::printf("velmora-snapshot: wrote %s (%d x %d)\n", options.output.c_str(), pixels.width,
                pixels.height);
    return 0;
}
