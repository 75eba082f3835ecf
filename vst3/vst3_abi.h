// The VST 3 binary interface this plug-in implements and the test host drives: the basic
// types, result codes, interface identifiers, records and the interfaces' function tables,
// written from the published interface descriptions. Interfaces are plain records whose first
// member points at a table of functions; each function takes the interface pointer first.
// On x86-64 the Windows and System V conventions both pass that pointer like C++'s "this",
// and every record below is laid out naturally (the published packing never narrows them).
#pragma once

#include <cstddef>
#include <cstdint>

namespace vst3 {

#if defined(_WIN32)
// On Windows the interfaces are COM interfaces: COM's result codes and identifier layout.
#define VELMORA_VST3_COM_COMPATIBLE 1
#define VELMORA_VST3_CALL __stdcall
#else
#define VELMORA_VST3_COM_COMPATIBLE 0
#define VELMORA_VST3_CALL
#endif

using tresult = int32_t;
using TBool = uint8_t;
using TUID = char[16];
using FIDString = const char*;
using TChar = char16_t;
using String128 = TChar[128];
using ParamID = uint32_t;
using ParamValue = double;
using Sample32 = float;
using Sample64 = double;
using SpeakerArrangement = uint64_t;

#if VELMORA_VST3_COM_COMPATIBLE
constexpr tresult kNoInterface = static_cast<tresult>(0x80004002u);
constexpr tresult kResultOk = 0;
constexpr tresult kResultFalse = 1;
constexpr tresult kInvalidArgument = static_cast<tresult>(0x80070057u);
constexpr tresult kNotImplemented = static_cast<tresult>(0x80004001u);
constexpr tresult kInternalError = static_cast<tresult>(0x80004005u);
constexpr tresult kNotInitialized = static_cast<tresult>(0x8000FFFFu);
constexpr tresult kOutOfMemory = static_cast<tresult>(0x8007000Eu);
#else
constexpr tresult kNoInterface = -1;
constexpr tresult kResultOk = 0;
constexpr tresult kResultFalse = 1;
constexpr tresult kInvalidArgument = 2;
constexpr tresult kNotImplemented = 3;
constexpr tresult kInternalError = 4;
constexpr tresult kNotInitialized = 5;
constexpr tresult kOutOfMemory = 6;
#endif
constexpr tresult kResultTrue = kResultOk;

// An identifier as its four 32-bit words are written in the published declarations. COM
// stores the first word little-endian and the next two as little-endian 16-bit halves; every
// other platform stores all sixteen bytes in the order written.
struct Uid {
    char bytes[16];
};

constexpr Uid makeUid(uint32_t l1, uint32_t l2, uint32_t l3, uint32_t l4) {
    const uint32_t words[4] = {l1, l2, l3, l4};
    Uid uid{};
    for (int w = 0; w < 4; ++w)
        for (int b = 0; b < 4; ++b)
            uid.bytes[w * 4 + b] = static_cast<char>((words[w] >> (24 - 8 * b)) & 0xFF);
#if VELMORA_VST3_COM_COMPATIBLE
    const Uid written = uid;
    const int comOrder[8] = {3, 2, 1, 0, 5, 4, 7, 6};
    for (int i = 0; i < 8; ++i) uid.bytes[i] = written.bytes[comOrder[i]];
#endif
    return uid;
}

inline bool sameUid(const char* a, const Uid& b) {
    for (int i = 0; i < 16; ++i)
        if (a[i] != b.bytes[i]) return false;
    return true;
}

// Points `slot` at `object` (or at nothing): holds a reference to the new interface and lets
// the one it held go, in that order, so handing over the same interface again is safe.
template <typename Interface>
void holdReference(Interface*& slot, Interface* object) {
    if (object) object->vtbl->addRef(object);
    if (slot) slot->vtbl->release(slot);
    slot = object;
}

inline constexpr Uid FUnknown_iid = makeUid(0x00000000, 0x00000000, 0xC0000000, 0x00000046);
inline constexpr Uid IPluginBase_iid = makeUid(0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625);
inline constexpr Uid IPluginFactory_iid = makeUid(0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F);
inline constexpr Uid IPluginFactory2_iid = makeUid(0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB);
inline constexpr Uid IPluginFactory3_iid = makeUid(0x4555A2AB, 0xC1234E57, 0x9B122910, 0x36878931);
inline constexpr Uid IComponent_iid = makeUid(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);
inline constexpr Uid IAudioProcessor_iid = makeUid(0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D);
inline constexpr Uid IEditController_iid = makeUid(0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E);
inline constexpr Uid IComponentHandler_iid = makeUid(0x93A0BEA3, 0x0BD045DB, 0x8E890B0C, 0xC1E46AC6);
inline constexpr Uid IBStream_iid = makeUid(0xC3BF6EA2, 0x30994752, 0x9B6BF990, 0x1EE33E9B);
inline constexpr Uid IParamValueQueue_iid = makeUid(0x01263A18, 0xED074F6F, 0x98C9D356, 0x4686F9BA);
inline constexpr Uid IParameterChanges_iid = makeUid(0xA4779663, 0x0BB64A56, 0xB44384A8, 0x466FEB9D);
inline constexpr Uid IPlugView_iid = makeUid(0x5BC32507, 0xD06049EA, 0xA6151B52, 0x2B755B29);
inline constexpr Uid IPlugFrame_iid = makeUid(0x367FAF01, 0xAFA94693, 0x8D4DA2A0, 0xED0882A3);
inline constexpr Uid IRunLoop_iid = makeUid(0x18C35366, 0x97764F1A, 0x9C5B8385, 0x7A871389);
inline constexpr Uid IEventHandler_iid = makeUid(0x561E65C9, 0x13A0496F, 0x813A2C35, 0x654D7983);
inline constexpr Uid IPlugViewContentScaleSupport_iid =
    makeUid(0x65ED9690, 0x8AC44525, 0x8AADEF7A, 0x72EA703F);
inline constexpr Uid ITimerHandler_iid = makeUid(0x10BDD94F, 0x41424774, 0x821FAD8F, 0xECA72CA9);
inline constexpr Uid IProcessContextRequirements_iid =
    makeUid(0x2A654303, 0xEF764E3D, 0x95B5FE83, 0x730EF6D0);

// Records.

struct PFactoryInfo {
    char vendor[64];
    char url[256];
    char email[128];
    int32_t flags;
};
constexpr int32_t kFactoryUnicode = 1 << 4;

struct PClassInfo {
    TUID cid;
    int32_t cardinality;
    char category[32];
    char name[64];
};
constexpr int32_t kManyInstances = 0x7FFFFFFF;

struct PClassInfo2 {
    TUID cid;
    int32_t cardinality;
    char category[32];
    char name[64];
    uint32_t classFlags;
    char subCategories[128];
    char vendor[64];
    char version[64];
    char sdkVersion[64];
};

struct PClassInfoW {
    TUID cid;
    int32_t cardinality;
    char category[32];
    char16_t name[64];
    uint32_t classFlags;
    char subCategories[128];
    char16_t vendor[64];
    char16_t version[64];
    char16_t sdkVersion[64];
};

enum MediaType : int32_t { kAudio = 0, kEvent = 1 };
enum BusDirection : int32_t { kInput = 0, kOutput = 1 };
enum BusType : int32_t { kMain = 0, kAux = 1 };
constexpr uint32_t kBusDefaultActive = 1;

struct BusInfo {
    int32_t mediaType;
    int32_t direction;
    int32_t channelCount;
    String128 name;
    int32_t busType;
    uint32_t flags;
};

struct RoutingInfo {
    int32_t mediaType;
    int32_t busIndex;
    int32_t channel;
};

enum SymbolicSampleSize : int32_t { kSample32 = 0, kSample64 = 1 };
enum ProcessMode : int32_t { kRealtime = 0, kPrefetch = 1, kOffline = 2 };
constexpr SpeakerArrangement kSpeakerStereo = 0x3;  // left and right
constexpr SpeakerArrangement kSpeakerMono = 1 << 19;  // the centre speaker alone

struct ProcessSetup {
    int32_t processMode;
    int32_t symbolicSampleSize;
    int32_t maxSamplesPerBlock;
    double sampleRate;
};

struct AudioBusBuffers {
    int32_t numChannels;
    uint64_t silenceFlags;
    union {
        Sample32** channelBuffers32;
        Sample64** channelBuffers64;
    };
};

struct IParameterChanges;
struct IEventList;
struct ProcessContext;

struct ProcessData {
    int32_t processMode;
    int32_t symbolicSampleSize;
    int32_t numSamples;
    int32_t numInputs;
    int32_t numOutputs;
    AudioBusBuffers* inputs;
    AudioBusBuffers* outputs;
    IParameterChanges* inputParameterChanges;
    IParameterChanges* outputParameterChanges;
    IEventList* inputEvents;
    IEventList* outputEvents;
    ProcessContext* processContext;
};

struct ParameterInfo {
    ParamID id;
    String128 title;
    String128 shortTitle;
    String128 units;
    int32_t stepCount;
    ParamValue defaultNormalizedValue;
    int32_t unitId;
    int32_t flags;
};
constexpr int32_t kParameterCanAutomate = 1 << 0;
constexpr int32_t kParameterIsList = 1 << 3;
constexpr int32_t kParameterIsBypass = 1 << 16;
constexpr int32_t kLatencyChanged = 1 << 3;  // IComponentHandler::restartComponent's flags
constexpr int32_t kRootUnitId = 0;

struct ViewRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

constexpr const char* kVstAudioEffectClass = "Audio Module Class";
constexpr const char* kPlatformTypeHWND = "HWND";
constexpr const char* kPlatformTypeX11EmbedWindowID = "X11EmbedWindowID";
constexpr const char* kEditorViewType = "editor";
enum SeekMode : int32_t { kIBSeekSet = 0, kIBSeekCur = 1, kIBSeekEnd = 2 };

// Interfaces: a record holding the table, and the table with the functions of every
// interface it derives from first.

#define VELMORA_VST3_UNKNOWN_FUNCTIONS(Self)                                                \
    tresult(VELMORA_VST3_CALL* queryInterface)(Self * self, const TUID iid, void** object); \
    uint32_t(VELMORA_VST3_CALL* addRef)(Self * self);                                      \
    uint32_t(VELMORA_VST3_CALL* release)(Self * self)

#define VELMORA_VST3_PLUGIN_BASE_FUNCTIONS(Self)                                    \
    tresult(VELMORA_VST3_CALL* initialize)(Self * self, struct FUnknown * context); \
    tresult(VELMORA_VST3_CALL* terminate)(Self * self)

#define VELMORA_VST3_INTERFACE(Name) \
    struct Name##Vtbl;               \
    struct Name {                    \
        const Name##Vtbl* vtbl;      \
    };                               \
    struct Name##Vtbl

VELMORA_VST3_INTERFACE(FUnknown) { VELMORA_VST3_UNKNOWN_FUNCTIONS(FUnknown); };

VELMORA_VST3_INTERFACE(IPluginBase) {
    VELMORA_VST3_UNKNOWN_FUNCTIONS(IPluginBase);
    VELMORA_VST3_PLUGIN_BASE_FUNCTIONS(IPluginBase);
};

// IPluginFactory, IPluginFactory2 and IPluginFactory3 share one table: each adds functions
// at the end of the one before.
VELMORA_VST3_INTERFACE(IPluginFactory) {
    VELMORA_VST3_UNKNOWN_FUNCTIONS(IPluginFactory);
    tresult(VELMORA_VST3_CALL* getFactoryInfo)(IPluginFactory* self, PFactoryInfo* info);
    int32_t(VELMORA_VST3_CALL* countClasses)(IPluginFactory* self);
    tresult(VELMORA_VST3_CALL* getClassInfo)(IPluginFactory* self, int32_t index, PClassInfo* info);
    tresult(VELMORA_VST3_CALL* createInstance)(IPluginFactory* self, FIDString cid,
                                               FIDString iid, void** object);
    tresult(VELMORA_VST3_CALL* getClassInfo2)(IPluginFactory* self, int32_t index,
                                              PClassInfo2* info);
    tresult(VELMORA_VST3_CALL* getClassInfoUnicode)(IPluginFactory* self, int32_t index,
                                                    PClassInfoW* info);
    tresult(VELMORA_VST3_CALL* setHostContext)(IPluginFactory* self, FUnknown* context);
};

VELMORA_VST3_INTERFACE(IBStream) {
    VELMORA_VST3_UNKNOWN_FUNCTIONS(IBStream);
    tresult(VELMORA_VST3_CALL* read)(IBStream* self, void* buffer, int32_t numBytes,
                                     int32_t* numBytesRead);
    tresult(VELMORA_VST3_CALL* write)(IBStream* self, void* buffer, int32_t numBytes,
                                      int32_t* numBytesWritten);
    tresult(VELMORA_VST3_CALL* seek)(IBStream* self, int64_t pos, int32_t mode, int64_t* result);
    tresult(VELMORA_VST3_CALL* tell)(IBStream* self, int64_t* pos);
};

VELMORA_VST3_INTERFACE(IComponent) {
    VELMORA_VST3_UNKNOWN_FUNCTIONS(IComponent);
    VELMORA_VST3_PLUGIN_BASE_FUNCTIONS(IComponent);
    tresult(VELMORA_VST3_CALL* getControllerClassId)(IComponent* self, TUID classId);
    tresult(VELMORA_VST3_CALL* setIoMode)(IComponent* self, int32_t mode);
    int32_t(VELMORA_VST3_CALL* getBusCount)(IComponent* self, int32_t type, int32_t dir);
    tresult(VELMORA_VST3_CALL* getBusInfo)(IComponent* self, int32_t type, int32_t dir,
                                           int32_t index, BusInfo* bus);
    tresult(VELMORA_VST3_CALL* getRoutingInfo)(IComponent* self, RoutingInfo* inInfo,
                                               RoutingInfo* outInfo);
    tresult(VELMORA_VST3_CALL* activateBus)(IComponent* self, int32_t type, int32_t dir,
                                            int32_t index, TBool state);
    tresult(VELMORA_VST3_CALL* setActive)(IComponent* self, TBool state);
    tresult(VELMORA_VST3_CALL* setState)(IComponent* self, IBStream* state);
    tresult(VELMORA_VST3_CALL* getState)(IComponent* self, IBStream* state);
};

VELMORA_VST3_INTERFACE(IAudioProcessor) {
    VELMORA_VST3_UNKNOWN_FUNCTIONS(IAudioProcessor);
    tresult(VELMORA_VST3_CALL* setBusArrangements)(IAudioProcessor* self,
                                                   SpeakerArrangement* inputs, int32_t numIns,
                                                   SpeakerArrangement* outputs, int32_t numOuts);
    tresult(VELMORA_VST3_CALL* getBusArrangement)(IAudioProcessor* self, int32_t dir,
                                                  int32_t index, SpeakerArrangement* arr);
    tresult(VELMORA_VST3_CALL* canProcessSampleSize)(IAudioProcessor* self, int32_t size);
    uint32_t(VELMORA_VST3_CALL* getLatencySamples)(IAudioProcessor* self);
    tresult(VELMORA_VST3_CALL* setupProcessing)(IAudioProcessor* self, ProcessSetup* setup);
    tresult(VELMORA_VST3_CALL* setProcessing)(IAudioProcessor* self, TBool state);
    tresult(VELMORA_VST3_CALL* process)(IAudioProcessor* self, ProcessData* data);
    uint32_t(VELMORA_VST3_CALL* getTailSamples)(IAudioProcessor* self);
};

// Which parts of ProcessContext the processor reads: a flag word, 0 for none.
VELMORA_VST3_INTERFACE(IProcessContextRequirements) {
    VELMORA_VST3_UNKNOWN_FUNCTIONS(IProcessContextRequirements);
    uint32_t(VELMORA_VST3_CALL* getProcessContextRequirements)(IProcessContextRequirements* self);
};

VELMORA_VST3_INTERFACE(IParamValueQueue) {
    VELMORA_VST3_UNKNOWN_FUNCTIONS(IParamValueQueue);
    ParamID(VELMORA_VST3_CALL* getParameterId)(IParamValueQueue* self);
    int32_t(VELMORA_VST3_CALL* getPointCount)(IParamValueQueue* self);
    tresult(VELMORA_VST3_CALL* getPoint)(IParamValueQueue* self, int32_t index,
                                         int32_t* sampleOffset, ParamValue* value);
    tresult(VELMORA_VST3_CALL* addPoint)(IParamValueQueue* self, int32_t sampleOffset,
                                         ParamValue value, int32_t* index);
};

VELMORA_VST3_INTERFACE(IParameterChanges) {
    VELMORA_VST3_UNKNOWN_FUNCTIONS(IParameterChanges);
    int32_t(VELMORA_VST3_CALL* getParameterCount)(IParameterChanges* self);
    IParamValueQueue*(VELMORA_VST3_CALL* getParameterData)(IParameterChanges* self, int32_t index);
    IParamValueQueue*(VELMORA_VST3_CALL* addParameterData)(IParameterChanges* self,
                                                           const ParamID* id, int32_t* index);
};

VELMORA_VST3_INTERFACE(IComponentHandler) {
    VELMORA_VST3_UNKNOWN_FUNCTIONS(IComponentHandler);
    tresult(VELMORA_VST3_CALL* beginEdit)(IComponentHandler* self, ParamID id);
    tresult(VELMORA_VST3_CALL* performEdit)(IComponentHandler* self, ParamID id, ParamValue value);
    tresult(VELMORA_VST3_CALL* endEdit)(IComponentHandler* self, ParamID id);
    tresult(VELMORA_VST3_CALL* restartComponent)(IComponentHandler* self, int32_t flags);
};

struct IPlugView;

VELMORA_VST3_INTERFACE(IEditController) {
    VELMORA_VST3_UNKNOWN_FUNCTIONS(IEditController);
    VELMORA_VST3_PLUGIN_BASE_FUNCTIONS(IEditController);
    tresult(VELMORA_VST3_CALL* setComponentState)(IEditController* self, IBStream* state);
    tresult(VELMORA_VST3_CALL* setState)(IEditController* self, IBStream* state);
    tresult(VELMORA_VST3_CALL* getState)(IEditController* self, IBStream* state);
    int32_t(VELMORA_VST3_CALL* getParameterCount)(IEditController* self);
    tresult(VELMORA_VST3_CALL* getParameterInfo)(IEditController* self, int32_t index,
                                                 ParameterInfo* info);
    tresult(VELMORA_VST3_CALL* getParamStringByValue)(IEditController* self, ParamID id,
                                                      ParamValue value, TChar* string);
    tresult(VELMORA_VST3_CALL* getParamValueByString)(IEditController* self, ParamID id,
                                                      TChar* string, ParamValue* value);
    ParamValue(VELMORA_VST3_CALL* normalizedParamToPlain)(IEditController* self, ParamID id,
                                                          ParamValue value);
    ParamValue(VELMORA_VST3_CALL* plainParamToNormalized)(IEditController* self, ParamID id,
                                                          ParamValue plain);
    ParamValue(VELMORA_VST3_CALL* getParamNormalized)(IEditController* self, ParamID id);
    tresult(VELMORA_VST3_CALL* setParamNormalized)(IEditController* self, ParamID id,
                                                   ParamValue value);
    tresult(VELMORA_VST3_CALL* setComponentHandler)(IEditController* self,
                                                    IComponentHandler* handler);
    IPlugView*(VELMORA_VST3_CALL* createView)(IEditController* self, FIDString name);
};

struct IPlugFrame;

VELMORA_VST3_INTERFACE(IPlugView) {
    VELMORA_VST3_UNKNOWN_FUNCTIONS(IPlugView);
    tresult(VELMORA_VST3_CALL* isPlatformTypeSupported)(IPlugView* self, FIDString type);
    tresult(VELMORA_VST3_CALL* attached)(IPlugView* self, void* parent, FIDString type);
    tresult(VELMORA_VST3_CALL* removed)(IPlugView* self);
    tresult(VELMORA_VST3_CALL* onWheel)(IPlugView* self, float distance);
    tresult(VELMORA_VST3_CALL* onKeyDown)(IPlugView* self, char16_t key, int16_t keyCode,
                                          int16_t modifiers);
    tresult(VELMORA_VST3_CALL* onKeyUp)(IPlugView* self, char16_t key, int16_t keyCode,
                                        int16_t modifiers);
    tresult(VELMORA_VST3_CALL* getSize)(IPlugView* self, ViewRect* size);
    tresult(VELMORA_VST3_CALL* onSize)(IPlugView* self, ViewRect* newSize);
    tresult(VELMORA_VST3_CALL* onFocus)(IPlugView* self, TBool state);
    tresult(VELMORA_VST3_CALL* setFrame)(IPlugView* self, IPlugFrame* frame);
    tresult(VELMORA_VST3_CALL* canResize)(IPlugView* self);
    tresult(VELMORA_VST3_CALL* checkSizeConstraint)(IPlugView* self, ViewRect* rect);
};

// The host's display scale for the view (physical pixels per logical one).
VELMORA_VST3_INTERFACE(IPlugViewContentScaleSupport) {
    VELMORA_VST3_UNKNOWN_FUNCTIONS(IPlugViewContentScaleSupport);
    tresult(VELMORA_VST3_CALL* setContentScaleFactor)(IPlugViewContentScaleSupport* self,
                                                      float factor);
};

VELMORA_VST3_INTERFACE(IPlugFrame) {
    VELMORA_VST3_UNKNOWN_FUNCTIONS(IPlugFrame);
    tresult(VELMORA_VST3_CALL* resizeView)(IPlugFrame* self, IPlugView* view, ViewRect* newSize);
};

// The Linux host's run loop, which the editor's timer and file descriptor are added to.
VELMORA_VST3_INTERFACE(IEventHandler) {
    VELMORA_VST3_UNKNOWN_FUNCTIONS(IEventHandler);
    void(VELMORA_VST3_CALL* onFDIsSet)(IEventHandler* self, int fd);
};

VELMORA_VST3_INTERFACE(ITimerHandler) {
    VELMORA_VST3_UNKNOWN_FUNCTIONS(ITimerHandler);
    void(VELMORA_VST3_CALL* onTimer)(ITimerHandler* self);
};

VELMORA_VST3_INTERFACE(IRunLoop) {
    VELMORA_VST3_UNKNOWN_FUNCTIONS(IRunLoop);
    tresult(VELMORA_VST3_CALL* registerEventHandler)(IRunLoop* self, IEventHandler* handler,
                                                     int fd);
    tresult(VELMORA_VST3_CALL* unregisterEventHandler)(IRunLoop* self, IEventHandler* handler);
    tresult(VELMORA_VST3_CALL* registerTimer)(IRunLoop* self, ITimerHandler* handler,
                                              uint64_t milliseconds);
    tresult(VELMORA_VST3_CALL* unregisterTimer)(IRunLoop* self, ITimerHandler* handler);
};

#undef VELMORA_VST3_INTERFACE

// The layouts hosts compile against.
constexpr size_t slot = sizeof(void*);
static_assert(sizeof(TUID) == 16 && sizeof(TChar) == 2 && sizeof(String128) == 256);
static_assert(sizeof(PFactoryInfo) == 452);
static_assert(sizeof(PClassInfo) == 116 && offsetof(PClassInfo, name) == 52);
static_assert(sizeof(PClassInfo2) == 440 && offsetof(PClassInfo2, classFlags) == 116 &&
              offsetof(PClassInfo2, sdkVersion) == 376);
static_assert(sizeof(PClassInfoW) == 696 && offsetof(PClassInfoW, classFlags) == 180 &&
              offsetof(PClassInfoW, sdkVersion) == 568);
static_assert(sizeof(BusInfo) == 276 && offsetof(BusInfo, busType) == 268);
static_assert(sizeof(ProcessSetup) == 24 && offsetof(ProcessSetup, sampleRate) == 16);
static_assert(sizeof(AudioBusBuffers) == 24 && offsetof(AudioBusBuffers, channelBuffers32) == 16);
static_assert(sizeof(ProcessData) == 80 && offsetof(ProcessData, inputs) == 24 &&
              offsetof(ProcessData, processContext) == 72);
static_assert(sizeof(ParameterInfo) == 792 && offsetof(ParameterInfo, stepCount) == 772 &&
              offsetof(ParameterInfo, defaultNormalizedValue) == 776 &&
              offsetof(ParameterInfo, flags) == 788);
static_assert(sizeof(ViewRect) == 16);
static_assert(offsetof(IPluginFactoryVtbl, createInstance) == 6 * slot &&
              offsetof(IPluginFactoryVtbl, setHostContext) == 9 * slot);
static_assert(offsetof(IComponentVtbl, getControllerClassId) == 5 * slot &&
              offsetof(IComponentVtbl, getState) == 13 * slot);
static_assert(offsetof(IAudioProcessorVtbl, process) == 9 * slot &&
              offsetof(IAudioProcessorVtbl, getTailSamples) == 10 * slot);
static_assert(offsetof(IEditControllerVtbl, setComponentState) == 5 * slot &&
              offsetof(IEditControllerVtbl, createView) == 17 * slot);
static_assert(offsetof(IPlugViewVtbl, attached) == 4 * slot &&
              offsetof(IPlugViewVtbl, checkSizeConstraint) == 14 * slot);
static_assert(offsetof(IParamValueQueueVtbl, getPoint) == 5 * slot);
static_assert(offsetof(IParameterChangesVtbl, getParameterData) == 4 * slot);
static_assert(offsetof(IComponentHandlerVtbl, endEdit) == 5 * slot);
static_assert(offsetof(IBStreamVtbl, tell) == 6 * slot);
static_assert(offsetof(IRunLoopVtbl, unregisterTimer) == 6 * slot);
static_assert(offsetof(IProcessContextRequirementsVtbl, getProcessContextRequirements) == 3 * slot);
static_assert(offsetof(IPlugViewContentScaleSupportVtbl, setContentScaleFactor) == 3 * slot);

}  // namespace vst3
