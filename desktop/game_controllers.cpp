// SPDX-License-Identifier: GPL-3.0-or-later
// GameControllers: SDL's game controllers opened as they come and go, their buttons mapped onto the game's keys,
// each key held while any pad holds one of its buttons.
#include "desktop/game_controllers.h"

#include <SDL.h>

#include <array>
#include <initializer_list>
#include <utility>

namespace {

static_assert(SDL_CONTROLLER_BUTTON_MAX <= 32, "a pad's held buttons are one 32-bit mask");

constexpr std::uint32_t bits(std::initializer_list<SDL_GameControllerButton> buttons)
{
    std::uint32_t mask = 0;
    for (const SDL_GameControllerButton button : buttons)
        mask |= std::uint32_t{1} << button;
    return mask;
}

struct Binding {
    Qt::Key key;
    const char* text;
    std::uint32_t buttons;
};

// The four lanes of a rhythm game: the d-pad and the face buttons mirror each other. SDL names the face
// buttons by where they sit on an Xbox pad (A south, B east, X west, Y north). South is also a box's OK,
// which Return presses; the game itself does nothing with Return.
constexpr std::array bindings{
    Binding{Qt::Key_A, "a", bits({SDL_CONTROLLER_BUTTON_DPAD_LEFT, SDL_CONTROLLER_BUTTON_X})},
    Binding{Qt::Key_S, "s", bits({SDL_CONTROLLER_BUTTON_DPAD_DOWN, SDL_CONTROLLER_BUTTON_A})},
    Binding{Qt::Key_D, "d", bits({SDL_CONTROLLER_BUTTON_DPAD_UP, SDL_CONTROLLER_BUTTON_Y})},
    Binding{Qt::Key_F, "f", bits({SDL_CONTROLLER_BUTTON_DPAD_RIGHT, SDL_CONTROLLER_BUTTON_B})},
    Binding{Qt::Key_Space, " ", bits({SDL_CONTROLLER_BUTTON_START})},
    Binding{Qt::Key_F1, "", bits({SDL_CONTROLLER_BUTTON_BACK})},
    Binding{Qt::Key_Return, "\r", bits({SDL_CONTROLLER_BUTTON_A})},
};

} // namespace

GameControllers::Subsystem::Subsystem()
    : up([] {
          // Otherwise SDL turns SIGTERM and SIGINT into a quit event that the game never reads.
          SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
          // By position: a Nintendo pad's bottom button is south, whatever its label. SDL's mapping
          // database reads this as its joysticks start, so before they do.
          SDL_SetHint(SDL_HINT_GAMECONTROLLER_USE_BUTTON_LABELS, "0");
          return SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
      }())
{
}

GameControllers::Subsystem::~Subsystem()
{
    if (up)
        SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

void GameControllers::ControllerCloser::operator()(_SDL_GameController* controller) const
{
    SDL_GameControllerClose(controller);
}

GameControllers::GameControllers(KeyPress press) : press(std::move(press))
{
    // Without the subsystem the game plays on the keyboard alone, without a word.
    if (!subsystem.up)
        return;
    QObject::connect(&pumpTimer, &QTimer::timeout, [this] { pump(); });
    pumpTimer.start(idlePumpMs);
}

void GameControllers::pump()
{
    if (!subsystem.up)
        return;
    // One pump per call: SDL stops at the end of what it had when asked.
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0)
        handle(event);
    const int interval = controllers.empty() ? idlePumpMs : attachedPumpMs;
    if (pumpTimer.interval() != interval)
        pumpTimer.setInterval(interval);
}

void GameControllers::handle(const SDL_Event& event)
{
    switch (event.type) {
    case SDL_CONTROLLERDEVICEADDED:
        open(event.cdevice.which);
        break;
    case SDL_CONTROLLERDEVICEREMOVED:
        controllers.erase(event.cdevice.which);
        break;
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP:
        changeButton(event.cbutton.which, event.cbutton.button, event.cbutton.state == SDL_PRESSED);
        break;
    default:
        break;
    }
}

void GameControllers::open(int deviceIndex)
{
    // SDL may announce a pad twice as the subsystem starts: the second handle is closed at once.
    if (_SDL_GameController* const handle = SDL_GameControllerOpen(deviceIndex))
        controllers.emplace(SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(handle)), Controller{{handle, {}}, 0});
}

void GameControllers::changeButton(std::int32_t controller, int button, bool down)
{
    const auto found = controllers.find(controller);
    if (found == controllers.end())
        return;
    const std::uint32_t before = heldByAny();
    const std::uint32_t bit = std::uint32_t{1} << button;
    found->second.heldButtons = down ? found->second.heldButtons | bit : found->second.heldButtons & ~bit;
    const std::uint32_t after = heldByAny();
    // A key acts when it goes from held by no pad to held by some: a pad shown twice (Steam's beside the
    // real one) or both of a key's buttons held at once make one press.
    for (const Binding& binding : bindings)
        if ((before & binding.buttons) == 0 && (after & binding.buttons) != 0)
            press(binding.key, QString::fromLatin1(binding.text));
}

std::uint32_t GameControllers::heldByAny() const
{
    std::uint32_t held = 0;
    for (const auto& [id, controller] : controllers)
        held |= controller.heldButtons;
    return held;
}
