// The plug-in's only exported symbols: VSTPluginMain, and the same function under the
// name `main` for hosts that look for that first. C++ will not declare a function called
// main that returns a pointer, so the alias gets its symbol name from an asm label.
#include "QEL.h"

#if defined(_WIN32)
#define VANTEL_EXPORT extern "C" __declspec(dllexport)
#else
#define VANTEL_EXPORT extern "C" __attribute__((visibility("default")))
#endif

VANTEL_EXPORT AEffect* VSTPluginMain(audioMasterCallback audioMaster);
VANTEL_EXPORT AEffect* vantelMainAlias(audioMasterCallback audioMaster) __asm__("main");

AEffect* VSTPluginMain(audioMasterCallback audioMaster) {
    if (!audioMaster) return nullptr;
    try {
        if (audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;  // too old
        AudioEffect* effect = createEffectInstance(audioMaster);
        return effect ? effect->getAeffect() : nullptr;
    } catch (...) {
        return nullptr;
    }
}

AEffect* vantelMainAlias(audioMasterCallback audioMaster) { return VSTPluginMain(audioMaster); }
