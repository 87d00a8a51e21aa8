#include <gtest/gtest.h>
#include <SDL.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "ZRWindowUnit.h"
#include "ZR_SDL.h"

namespace {

class Window : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearKeys();
    ClearKeyBuffer();
    Initialize(640, 400, 32, VF_BACKBUFFER);
  }
  void TearDown() override {
    if (ScreenSurface) Finalize();
    ClearKeys();
  }
  vgrtest::TScopedLog Log_;
};

}  // namespace

TEST(WindowScale, ChosenFromSwitchEnvironmentAndDesktop) {
  struct Case {
    int desktopW, desktopH;
    const char* requested;  // the -scale value, null when the switch is not given
    const char* environment;
    int expected;
    const char* note;
  };
  const Case cases[] = {
      {1920, 1080, nullptr, nullptr, 2, ""},  // 1280 x 800 fits 1632 x 918
      {2560, 1440, nullptr, nullptr, 3, ""},
      {3840, 2160, nullptr, nullptr, 4, ""},  // height decides: 2000 > 1836
      {1366, 768, nullptr, nullptr, 1, ""},
      {1280, 800, nullptr, nullptr, 1, ""},   // the original size never shrinks
      {1506, 942, nullptr, nullptr, 2, ""},   // 1280 <= 1280.1 and 800 <= 800.7
      {1506, 941, nullptr, nullptr, 1, ""},   // 800 > 799.85
      {1505, 1080, nullptr, nullptr, 1, ""},  // 1280 > 1279.25
      {30720, 17280, nullptr, nullptr, kMaxWindowScale, ""},
      {0, 0, nullptr, nullptr, 1, ""},        // desktop unknown
      {1920, 1080, "1", nullptr, 1, ""},      // -scale 1: the original size
      {1280, 800, "2", nullptr, 2, ""},       // the player's own choice may fill the desktop
      {1920, 1080, "3", nullptr, 2, "-scale 3: the desktop is 1920x1080; using 2"},
      {1366, 768, "8", nullptr, 1, "-scale 8: the desktop is 1366x768; using 1"},
      {3840, 2160, "8", nullptr, 5, "-scale 8: the desktop is 3840x2160; using 5"},
      {0, 0, "3", nullptr, 3, ""},            // desktop unknown: taken as asked
      {1920, 1080, "0", nullptr, 2, "-scale 0: not a whole number from 1 to 8; using 2"},
      {1920, 1080, "-1", nullptr, 2, "-scale -1: not a whole number from 1 to 8; using 2"},
      {1920, 1080, "x", nullptr, 2, "-scale x: not a whole number from 1 to 8; using 2"},
      {1920, 1080, "9", nullptr, 2, "-scale 9: not a whole number from 1 to 8; using 2"},
      {1920, 1080, "+2", nullptr, 2, "-scale +2: not a whole number from 1 to 8; using 2"},
      {1920, 1080, "", nullptr, 2, "-scale: not a whole number from 1 to 8; using 2"},
      {1920, 1080, nullptr, "3", 0, ""},      // the environment's choice is left alone
      {1920, 1080, nullptr, "", 2, ""},       // an empty variable counts as unset
      {1920, 1080, "1", "3", 1, ""},          // the switch outranks the environment
      {1920, 1080, "x", "3", 0, "-scale x: not a whole number from 1 to 8; using SDL12COMPAT_WINDOW_SCALING=3"},
  };
  for (const Case& c : cases) {
    const TWindowScale choice = ChooseWindowScale(c.desktopW, c.desktopH, 640, 400, c.requested, c.environment);
    EXPECT_EQ(choice.Scale, c.expected) << c.desktopW << "x" << c.desktopH << " -scale "
                                        << (c.requested ? c.requested : "absent") << " env "
                                        << (c.environment ? c.environment : "unset");
    EXPECT_EQ(choice.Note, c.note);
  }
}

// OpenGL that draws in software costs more than SDL's own software renderer
// for the same picture; a player's SDL_RENDER_DRIVER is never overruled.
TEST(RendererChoice, SoftwareInsteadOfOpenGLDrawnInSoftware) {
  struct Case {
    const char* player;
    const char* reason;
    const char* driver;
    const char* line;
  };
  const Case cases[] = {
      {nullptr, "the X server offers no direct rendering", "software",
       "Renderer: software (OpenGL would draw in software: the X server offers no direct rendering)"},
      {nullptr, "no GPU device in /dev/dri", "software",
       "Renderer: software (OpenGL would draw in software: no GPU device in /dev/dri)"},
      {nullptr, "", "", "Renderer: SDL's choice"},
      {"opengl", "the X server offers no direct rendering", "", "Renderer: opengl (SDL_RENDER_DRIVER)"},
      {"software", "", "", "Renderer: software (SDL_RENDER_DRIVER)"},
      {"", "LIBGL_ALWAYS_SOFTWARE is set", "software",  // an empty variable counts as unset
       "Renderer: software (OpenGL would draw in software: LIBGL_ALWAYS_SOFTWARE is set)"},
  };
  for (const Case& c : cases) {
    const TRendererChoice choice = ChooseRenderer(c.player, c.reason);
    EXPECT_EQ(choice.Driver, c.driver) << c.reason;
    EXPECT_EQ(choice.LogLine, c.line);
  }
}

TEST(DisplayCheck, NeedsADriverOrAnXOrWaylandDisplay) {
  using TEnv = std::map<std::string, std::string>;
  const std::pair<TEnv, bool> cases[] = {
      {{}, false},
      {{{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}}, false},
      {{{"DISPLAY", ":0"}}, true},
      {{{"WAYLAND_DISPLAY", "wayland-0"}}, true},
      {{{"SDL_VIDEODRIVER", "dummy"}}, true},
      {{{"HOME", "/root"}, {"TERM", "xterm"}}, false},
  };
  for (const auto& [env, expected] : cases) {
    auto lookup = [&env = env](const char* name) -> const char* {
      auto it = env.find(name);
      return it == env.end() ? nullptr : it->second.c_str();
    };
    EXPECT_EQ(DisplayAvailable(lookup), expected) << env.size();
  }
}

// Controllers drive the same key table as the keyboard: buttons, d-pad, hat
// and left stick, each key held while any of its sources holds it.
TEST_F(Window, ControllerEventsPressAndReleaseTheGameKeys) {
  struct Step {
    std::function<void()> Push;
    std::vector<int> Held;  // every game key held afterwards
  };
  const int kGameKeys[] = {SYM_SPACE, SYM_RETURN, SYM_ESCAPE, SYM_UP, SYM_DOWN, SYM_LEFT, SYM_RIGHT};
  const std::vector<Step> steps = {
      {[] { PushPadButton(0, 0, true); }, {SYM_SPACE}},
      {[] { PushPadButton(0, 6, true); }, {SYM_SPACE, SYM_RETURN}},
      {[] { PushPadButton(0, 0, false); PushPadButton(0, 6, false); }, {}},
      {[] { PushPadButton(0, 1, true); PushPadButton(0, 4, true); }, {SYM_ESCAPE}},
      {[] { PushPadButton(0, 1, false); }, {SYM_ESCAPE}},  // Back still holds it
      {[] { PushPadButton(0, 4, false); }, {}},
      {[] { PushPadButton(0, 11, true); PushPadButton(0, 13, true); }, {SYM_UP, SYM_LEFT}},
      {[] { PushPadButton(0, 11, false); PushPadButton(0, 13, false); PushPadButton(0, 12, true); }, {SYM_DOWN}},
      {[] { PushPadButton(0, 12, false); PushPadButton(0, 14, true); }, {SYM_RIGHT}},
      {[] { PushPadAxis(0, 0, 20000); PushPadButton(0, 14, false); }, {SYM_RIGHT}},  // the stick holds it
      {[] { PushPadAxis(0, 0, 12000); }, {SYM_RIGHT}},   // between release and press: unchanged
      {[] { PushPadAxis(0, 0, 4000); }, {}},
      {[] { PushPadAxis(0, 0, -32768); PushPadAxis(0, 1, 32767); }, {SYM_LEFT, SYM_DOWN}},
      {[] { PushPadAxis(0, 0, 0); PushPadAxis(0, 1, 0); }, {}},
      {[] { PushPadHat(0, 0, SDL_HAT_UP | SDL_HAT_RIGHT); }, {SYM_UP, SYM_RIGHT}},
      {[] { PushPadHat(1, 0, SDL_HAT_UP); PushPadHat(0, 0, SDL_HAT_CENTERED); }, {SYM_UP}},  // a second pad
      {[] { PushPadHat(1, 0, SDL_HAT_CENTERED); PushPadButton(0, 2, true); }, {}},  // X means nothing
  };
  int n = 0;
  for (const Step& s : steps) {
    s.Push();
    ProcessEvents();
    for (int key : kGameKeys) {
      const bool expected = std::find(s.Held.begin(), s.Held.end(), key) != s.Held.end();
      EXPECT_EQ(KeyState[key], expected) << "step " << n << " key " << key;
    }
    ++n;
  }
}

// Alt+Enter is the window's, not the game's: Return never shows as held.
TEST_F(Window, AltEnterIsNeverAReturnPress) {
  PushKeyEvent(SYM_RETURN, true, KMOD_LALT);
  ProcessEvents();
  EXPECT_FALSE(KeyState[SYM_RETURN]);
  PushKeyEvent(SYM_RETURN, false, KMOD_LALT);
  PushKeyEvent(SYM_RETURN, true, KMOD_RALT);
  ProcessEvents();
  EXPECT_FALSE(KeyState[SYM_RETURN]);
  // Alt let go before Return: the release is still the toggle's.
  PushKeyEvent(SYM_RETURN, false);
  ProcessEvents();
  EXPECT_FALSE(KeyState[SYM_RETURN]);
  uint8_t typed = 0;
  EXPECT_FALSE(KeyBuffer.Pop(typed)) << int{typed};
  // Return alone is the game's as ever.
  PushKeyEvent(SYM_RETURN, true);
  ProcessEvents();
  EXPECT_TRUE(KeyState[SYM_RETURN]);
}
