// The editor object of builds whose effect has the editor window: the Editor itself.
#include "../vst/audioeffectx.h"
#include "Editor.h"

EditorObject* createEditorObject(AudioEffectX* effect) { return new Editor(effect); }
