// The editor object the effect makes: the Editor itself.
#include "../vst/audioeffectx.h"
#include "Editor.h"

EditorObject* createEditorObject(AudioEffectX* effect) { return new Editor(effect); }
