#include "playback/keys.h"

namespace hybridsim {

const KeyCommand* findKey(std::string_view key)
{
    for (const KeyCommand& c : keyCommands)
        if (key == c.key) return &c;
    return nullptr;
}

const KeyCommand* findKey(unsigned char c)
{
    if (c == escapeKey) return findKey(std::string_view("Escape"));
    if (c == 0) return nullptr;
    const char name = static_cast<char>(c);
    return findKey(std::string_view(&name, 1));
}

const char* actionName(KeyAction a)
{
    switch (a) {
    case KeyAction::robot: return "robot";
    case KeyAction::contour: return "contour";
    case KeyAction::dialogue: return "dialogue";
    case KeyAction::dialogueKeepingErrorGain: return "dialogueKeepingErrorGain";
    case KeyAction::step: return "step";
    case KeyAction::firstSample: return "firstSample";
    case KeyAction::zoomOut: return "zoomOut";
    case KeyAction::zoomIn: return "zoomIn";
    case KeyAction::quit: return "quit";
    case KeyAction::playPause: return "playPause";
    case KeyAction::faster: return "faster";
    case KeyAction::slower: return "slower";
    case KeyAction::saveTask: return "saveTask";
    case KeyAction::pin: return "pin";
    case KeyAction::clearPins: return "clearPins";
    case KeyAction::overlay: return "overlay";
    case KeyAction::stepBack: return "stepBack";
    case KeyAction::stepForward: return "stepForward";
    case KeyAction::jumpFirst: return "jumpFirst";
    case KeyAction::jumpLast: return "jumpLast";
    }
    return "";
}

std::optional<StepKey> stepKeyOf(KeyAction a)
{
    switch (a) {
    case KeyAction::stepBack: return StepKey::left;
    case KeyAction::stepForward: return StepKey::right;
    case KeyAction::jumpFirst: return StepKey::home;
    case KeyAction::jumpLast: return StepKey::end;
    default: return std::nullopt;
    }
}

bool isViewAction(KeyAction a)
{
    return a == KeyAction::step || a == KeyAction::firstSample || a == KeyAction::zoomOut ||
           a == KeyAction::zoomIn;
}

KeyResult onKey(SimSettings& s, unsigned char k, const std::function<void()>& dialogue)
{
    s.key = static_cast<char>(k);
    const KeyCommand* command = findKey(k);
    if (command == nullptr) return KeyResult::Ignored;
    auto runDialogue = [&] {
        if (dialogue) dialogue();
        return KeyResult::DialogueRan;
    };
    auto restart = [&](bool restoreErrorGain) {
        s.frame = 0;
        if (restoreErrorGain) s.errorGain = s.errorGainDefault;
    };

    switch (command->action) {
    case KeyAction::robot:
        s.type = static_cast<char>(k);
        restart(true);
        return runDialogue();
    case KeyAction::contour:
        s.curve = static_cast<char>(k);
        restart(true);
        return runDialogue();
    case KeyAction::dialogue:
        restart(true);
        return runDialogue();
    case KeyAction::dialogueKeepingErrorGain:
        restart(false);
        return runDialogue();
    case KeyAction::step:
        // one sample on, held within 0..nsteps
        s.frame = s.frame >= s.nsteps ? s.nsteps : s.frame + 1;
        if (s.frame < 0) s.frame = 0;
        return KeyResult::Redraw;
    case KeyAction::firstSample:
        s.frame = 0;
        return KeyResult::Redraw;
    case KeyAction::zoomOut:
        s.viewScale *= zoomStep;
        return KeyResult::Redraw;
    case KeyAction::zoomIn:
        s.viewScale /= zoomStep;
        return KeyResult::Redraw;
    case KeyAction::quit:
        return KeyResult::Quit;
    default:  // the playback's, the pins' and the overlay's commands
        return KeyResult::Ignored;
    }
}

bool onPinKey(PinSet& pins, const SimSettings& s, const RunSeries& run, unsigned char k)
{
    const KeyCommand* command = findKey(k);
    if (command == nullptr) return false;
    if (command->action == KeyAction::pin) {
        pins.pin(s, run);
        return true;
    }
    if (command->action == KeyAction::clearPins && !pins.empty()) {
        pins.clear();
        return true;
    }
    return false;
}

bool onOverlayKey(bool& overlay, unsigned char k)
{
    const KeyCommand* command = findKey(k);
    if (command == nullptr || command->action != KeyAction::overlay) return false;
    overlay = !overlay;
    return true;
}

}  // namespace hybridsim
