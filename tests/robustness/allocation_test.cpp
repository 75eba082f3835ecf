// The audio path allocates nothing. This program replaces the global allocator (or, in
// sanitizer builds, whose runtimes own malloc, installs their allocation hook) and counts
// every allocation made anywhere in the process while counting is on, the plug-in library
// loaded with dlopen included.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <lv2/core/lv2.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "parameters/parameter_index.h"
#include "robustness/block_helpers.h"
#include "support/plugin_library.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define VELMORA_SANITIZER_ALLOCATOR 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VELMORA_SANITIZER_ALLOCATOR 1
#endif

namespace {

std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

void noteAllocation() {
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

#ifdef VELMORA_SANITIZER_ALLOCATOR
// The sanitizer runtimes' hook, declared here: GCC ships the runtime but not the header.
extern "C" int __sanitizer_install_malloc_and_free_hooks(
    void (*onMalloc)(const volatile void*, size_t), void (*onFree)(const volatile void*));

namespace {
void onMalloc(const volatile void*, size_t) { noteAllocation(); }
void onFree(const volatile void*) {}
[[maybe_unused]] const int hooksInstalled = __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree);
}  // namespace
#else
// glibc's own entry points, so the replacements share its heap with free().
extern "C" void* __libc_malloc(size_t size);
extern "C" void* __libc_calloc(size_t count, size_t size);
extern "C" void* __libc_realloc(void* p, size_t size);
extern "C" void* __libc_memalign(size_t alignment, size_t size);

extern "C" void* malloc(size_t size) {
    noteAllocation();
    return __libc_malloc(size);
}
extern "C" void* calloc(size_t count, size_t size) {
    noteAllocation();
    return __libc_calloc(count, size);
}
extern "C" void* realloc(void* p, size_t size) {
    noteAllocation();
    return __libc_realloc(p, size);
}

namespace {
void* allocateOrThrow(size_t size, size_t alignment = alignof(std::max_align_t)) {
    noteAllocation();
    void* p = __libc_memalign(alignment, size ? size : 1);
    if (!p) throw std::bad_alloc();
    return p;
}
}  // namespace

void* operator new(size_t size) { return allocateOrThrow(size); }
void* operator new[](size_t size) { return allocateOrThrow(size); }
void* operator new(size_t size, std::align_val_t a) { return allocateOrThrow(size, static_cast<size_t>(a)); }
void* operator new[](size_t size, std::align_val_t a) { return allocateOrThrow(size, static_cast<size_t>(a)); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    noteAllocation();
    return __libc_malloc(size ? size : 1);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    noteAllocation();
    return __libc_malloc(size ? size : 1);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
#endif

namespace {

struct CountingWindow {
    CountingWindow() {
        allocations.store(0);
        counting.store(true);
    }
    ~CountingWindow() { counting.store(false); }
    long count() const { return allocations.load(); }
};

// The counter must see what the plug-in library allocates, or a zero below proves nothing.
TEST(AudioPathAllocation, CounterSeesTheLibrarysAllocations) {
    PluginLibrary library;
    ASSERT_TRUE(library.loaded());
    AEffect* effect;
    long made;
    {
        CountingWindow window;
        effect = library.create();
        made = window.count();
    }
    ASSERT_NE(effect, nullptr);
    EXPECT_GE(made, 1);
    closeEffect(effect);
}

TEST(AudioPathAllocation, BlocksAfterTheFirstAllocateNothing) {
    PluginLibrary library;
    AEffect* effect = library.create();
    ASSERT_NE(effect, nullptr);
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);

    constexpr int32_t largest = 8192;
    StressSignal signal;
    StereoBlock separate(largest, BufferLayout::separate), inPlace(largest, BufferLayout::inPlace);
    separate.process(effect, 512);  // the first block

    long made;
    {
        CountingWindow window;
        for (int n = 0; n < 4000; ++n) {
            const int32_t frames = 1 + (n * 37) % largest / (n % 3 == 0 ? 1 : 16);
            StereoBlock& block = n % 2 ? inPlace : separate;
            signal.fill(block.inputs[0], block.inputs[1], frames, 48000.0, n % 5 == 0 ? 4.0f : 0.7f);
            effect->setParameter(effect, n % parameterCount == parameterBypass ? parameterMix : n % parameterCount,
                                 static_cast<float>(n % 13) / 12.0f);
            if (n % 400 == 0) dispatch(effect, effSetBypass, 0, (n / 400) % 2);
            block.process(effect, frames);
            effect->getParameter(effect, n % parameterCount);
        }
        made = window.count();
    }
    EXPECT_EQ(made, 0);
    closeEffect(effect);
}

// The LV2 library, opened as lilv opens it: instantiation allocates (and the counter sees
// it), runs after that allocate nothing, whatever the control values.
TEST(AudioPathAllocation, Lv2RunsAllocateNothing) {
    void* library = dlopen(VELMORA_LV2_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    const LV2_Descriptor* lv2 = reinterpret_cast<const LV2_Descriptor* (*)(uint32_t)>(
        dlsym(library, "lv2_descriptor"))(0);
    LV2_Handle handle;
    {
        CountingWindow window;
        handle = lv2->instantiate(lv2, 48000.0, "", nullptr);
        EXPECT_GE(window.count(), 1);
    }
    StressSignal signal;
    StereoBlock block(8192, BufferLayout::separate);
    float controls[parameterCount] = {40, 0.5f, 70, 85, 75, 0, 100, 1};
    for (uint32_t i = 0; i < parameterCount; ++i) lv2->connect_port(handle, i, &controls[i]);
    for (uint32_t c = 0; c < 2; ++c) {
        lv2->connect_port(handle, parameterCount + c, block.inputs[c]);
        lv2->connect_port(handle, parameterCount + 2 + c, block.outputs[c]);
    }
    // The oversampling factor changes every few runs, through every factor.
    float oversampling = 1.0f, latency = -1.0f;
    lv2->connect_port(handle, parameterCount + 4, &oversampling);
    lv2->connect_port(handle, parameterCount + 5, &latency);
    lv2->activate(handle);
    CountingWindow window;
    for (int n = 0; n < 4000; ++n) {
        const int32_t frames = (n * 37) % 8192 / (n % 3 == 0 ? 1 : 16);
        signal.fill(block.inputs[0], block.inputs[1], frames, 48000.0, n % 5 == 0 ? 4.0f : 0.7f);
        controls[n % parameterCount] = n % 11 == 0 ? std::nanf("") : static_cast<float>(n % 13) * 9.0f - 18.0f;
        if (n % 7 == 0) oversampling = static_cast<float>(1 << (n / 7 % 4));
        lv2->run(handle, static_cast<uint32_t>(frames));
    }
    EXPECT_EQ(window.count(), 0);
    EXPECT_GT(latency, 0.0f);
    lv2->deactivate(handle);
    lv2->cleanup(handle);
    dlclose(library);
}

}  // namespace
