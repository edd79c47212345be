// vantel shot: the editor panel as a PNG, drawn without any X server, at 100 % or a zoom
// of the editor's.
//
// The plug-in module opens its editor on X11, so this command carries the effect and its
// editor linked in and opens the editor on the toolkit's offscreen backend instead. The
// linked-in effect runs under the same test host as the module does for the other
// commands, so the state options (chunk, bank, program, preset, MIDI, settings) and the
// tempo reach it through the same host calls and the same code.
#include <cstdio>
#include <memory>

#include "../../src/editor/Editor.h"
#include "../../src/editor/Zoom.h"
#include "../../src/host/QEL.h"
#include "Cli.h"
#include "OutputFile.h"
#include "offscreen/OffscreenFrame.h"

namespace vantel {

namespace {

// The effect built into this program, reached as a host reaches a module's entry point.
AEffect* linkedEffect(audioMasterCallback audioMaster) {
    AudioEffect* effect = createEffectInstance(audioMaster);
    return effect ? effect->getAeffect() : nullptr;
}

// What a host hands the editor as its parent window; the offscreen frame only keeps it.
void* const kNoWindow = reinterpret_cast<void*>(0x1);

// The toolkit's clock steps an idle at the editor's own timer period.
constexpr uint32_t kIdleStepMs = 40;

}  // namespace

int runShot(Args args) {
    Args state = takeStateOptions(args);
    std::string tempoText, zoomText;
    args.value("--tempo", tempoText);
    args.value("--zoom", zoomText);
    const auto files = args.positionals();
    if (files.size() != 1) throw Failure("vantel shot writes one picture: vantel shot [options] OUT.png.");
    const double tempo = tempoText.empty() ? 120.0 : parseNumber(tempoText, "tempo in BPM");
    if (tempo <= 0.0 || tempo > 1000.0) throw Failure("The tempo must lie above 0 and at most 1000 BPM.");
    // The picture's zoom is the command's, whatever the user chose for the editor.
    const int zoom = zoomText.empty() ? 100 : static_cast<int>(parseInteger(zoomText, "zoom in per cent", 100, 200));
    if (zoom::indexOf(zoom) < 0)
        throw Failure("The zoom must be 100, 125, 150, 175 or 200 (per cent); " + zoomText + " is not.");
    OutputFile picture(files[0]);

    // Every frame opened from here on draws into memory.
    VSTGUI::OffscreenFrame::install();
    testhost::TestHost host;
    host.config().time.tempo = tempo;
    std::unique_ptr<testhost::Plugin> plugin;
    try {
        plugin = host.adopt(&linkedEffect, "the effect built into vantel");
    } catch (const testhost::LoadError& e) {
        throw Failure(e.what());
    }
    plugin->open();
    plugin->setSampleRate(44100.0f);
    plugin->setBlockSize(512);
    applyStateOptions(*plugin, state);
    plugin->resume();  // the tempo reaches the panel as a host's at the start of playback

    if (plugin->dispatch(effEditOpen, 0, 0, kNoWindow) != 1) throw Failure("The editor could not be opened.");
    auto* effect = static_cast<AudioEffect*>(plugin->effect()->object);
    auto* editor = static_cast<Editor*>(effect->getEditor());
    VSTGUI::OffscreenFrame* screen = VSTGUI::OffscreenFrame::of(editor->getFrame());
    if (!screen) throw Failure("The editor did not open on the offscreen backend.");
    editor->chooseZoom(zoom, false);
    // The mouse is outside the window (the digit display shows the tempo); idle applies
    // what the state set and paints it.
    screen->leave();
    for (int i = 0; i < 3; ++i) {
        screen->advance(kIdleStepMs);
        plugin->dispatch(effEditIdle);
    }
    const bool written = screen->writePng(picture.temporary());
    plugin->dispatch(effEditClose);
    plugin.reset();
    VSTGUI::OffscreenFrame::uninstall();
    if (!written) throw Failure("\"" + files[0] + "\" could not be written.");
    picture.commit();
    return 0;
}

}  // namespace vantel
