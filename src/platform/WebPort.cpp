#include "WebPort.h"

#ifdef __EMSCRIPTEN__

#include <emscripten.h>

#include <cstring>
#include <vector>

#include "ZRWindowUnit.h"

namespace {

double LastYield = 0;
// The browser gets the thread at least this often during frames that never
// wait, enough to keep the page alive and show progress; each turn costs
// the frames tens of milliseconds in a busy browser.
constexpr double kYieldPeriodMs = 1000;
// Frames that never wait are shown only when the browser gets the thread.
bool DeferPresents = false;

SDL_AudioSpec AudioSpec;
bool AudioOpen = false;
std::vector<int16_t> AudioMix;
std::vector<float> AudioOut;

}  // namespace

// Notes a presented 32-bit surface (byte offsets of red, green and blue
// within a pixel given) and copies it onto the page's canvas, sized to the
// surface (the page scales it), now or, with draw 0, when the browser next
// gets the thread: frames that never wait are not copied one by one when
// only the last before a pause can be seen. Module.vgrDraw() draws the last
// one at once (the page's picture of a given frame).
EM_JS(void, vgr_web_present, (const uint8_t* pixels, int w, int h, int pitch, int r, int g, int b, int draw), {
  Module.vgrPending = [pixels, w, h, pitch, r, g, b];
  if (!Module.vgrDraw) {
    Module.vgrDraw = function() {
      var a = Module.vgrPending;
      var canvas = Module["canvas"];
      if (!a || !canvas) return;
      Module.vgrPending = null;
      var pixels = a[0], w = a[1], h = a[2], pitch = a[3], r = a[4], g = a[5], b = a[6];
      if (!Module.vgrImage || canvas.width != w || canvas.height != h) {
        canvas.width = w;
        canvas.height = h;
        Module.vgrContext = canvas.getContext("2d");
        Module.vgrImage = Module.vgrContext.createImageData(w, h);
      }
      var out = Module.vgrImage.data;
      var o = 0;
      for (var y = 0; y < h; ++y) {
        var p = pixels + y * pitch;
        for (var x = 0; x < w; ++x, p += 4, o += 4) {
          out[o] = HEAPU8[p + r];
          out[o + 1] = HEAPU8[p + g];
          out[o + 2] = HEAPU8[p + b];
          out[o + 3] = 255;
        }
      }
      Module.vgrContext.putImageData(Module.vgrImage, 0, 0);
    };
  }
  if (draw) Module.vgrDraw();
  if (Module["onPresent"]) Module["onPresent"]();
});

EM_JS(void, vgr_web_draw_pending, (), {
  if (Module.vgrDraw) Module.vgrDraw();
});

// The canvas's keys as SDL 1.2 key symbols and modifiers; focus changes as
// focus events once the canvas had the keyboard.
EM_JS(void, vgr_web_listen, (), {
  var canvas = Module["canvas"];
  if (!canvas || Module.vgrListening) return;
  Module.vgrListening = true;
  var named = {
    Backspace: 8, Tab: 9, Enter: 13, NumpadEnter: 271, Escape: 27, Space: 32, Delete: 127,
    ArrowUp: 273, ArrowDown: 274, ArrowRight: 275, ArrowLeft: 276, Insert: 277, Home: 278, End: 279,
    PageUp: 280, PageDown: 281, NumpadAdd: 270, NumpadSubtract: 269, NumpadMultiply: 268,
    NumpadDivide: 267, NumpadDecimal: 266, ShiftLeft: 304, ShiftRight: 303, ControlLeft: 306,
    ControlRight: 305, AltLeft: 308, AltRight: 307, Minus: 45, Equal: 61, Comma: 44, Period: 46,
    Slash: 47, Semicolon: 59, Quote: 39, BracketLeft: 91, BracketRight: 93, Backslash: 92, Backquote: 96
  };
  function sym(e) {
    var c = e.code || "";
    if (named[c] !== undefined) return named[c];
    var m = /^Key([A-Z])$/.exec(c);
    if (m) return m[1].toLowerCase().charCodeAt(0);
    m = /^Digit([0-9])$/.exec(c);
    if (m) return 48 + (+m[1]);
    m = /^Numpad([0-9])$/.exec(c);
    if (m) return 256 + (+m[1]);
    m = /^F([0-9]+)$/.exec(c);
    if (m && +m[1] >= 1 && +m[1] <= 15) return 281 + (+m[1]);
    return 0;
  }
  function mod(e) {
    return (e.shiftKey ? 0x0001 : 0) | (e.ctrlKey ? 0x0040 : 0) | (e.altKey ? 0x0100 : 0);
  }
  function key(e, down) {
    var s = sym(e);
    if (!s) return;
    e.preventDefault();
    if (down && e.repeat) return;
    Module["_vgr_web_key"](s, down ? 1 : 0, mod(e));
  }
  canvas.addEventListener("keydown", function(e) { key(e, true); });
  canvas.addEventListener("keyup", function(e) { key(e, false); });
  canvas.addEventListener("focus", function() { Module["_vgr_web_focus"](1); });
  canvas.addEventListener("blur", function() { Module["_vgr_web_focus"](0); });
});

// The page's audio at the program's rate, pulling the callback block by
// block; a browser lets it sound from the first key or click on.
EM_JS(void, vgr_web_audio_start, (int rate, int frames), {
  var AC = window.AudioContext || window.webkitAudioContext;
  if (!AC || Module.vgrAudio) return;
  var context;
  try {
    context = new AC({sampleRate: rate});
  } catch (e) {
    return;
  }
  var node = context.createScriptProcessor(frames, 0, 2);
  node.onaudioprocess = function(e) {
    var out = e.outputBuffer;
    var n = out.length;
    var p = Module["_vgr_web_audio_fill"](n) >> 2;
    out.getChannelData(0).set(HEAPF32.subarray(p, p + n));
    out.getChannelData(1).set(HEAPF32.subarray(p + n, p + 2 * n));
  };
  node.connect(context.destination);
  Module.vgrAudio = context;
  var resume = function() {
    if (context.state != "running") context.resume();
  };
  ["keydown", "mousedown", "touchstart"].forEach(function(type) {
    document.addEventListener(type, resume, true);
  });
});

extern "C" {

EMSCRIPTEN_KEEPALIVE void vgr_web_key(int sym, int down, int mod) {
  SDL_Event e;
  std::memset(&e, 0, sizeof e);
  e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.sym = static_cast<SDLKey>(sym);
  e.key.keysym.mod = static_cast<SDLMod>(mod);
  SDL_PushEvent(&e);
}

EMSCRIPTEN_KEEPALIVE void vgr_web_focus(int gained) { PushFocusEvent(gained != 0); }

// Fills one block of both channels, left then right, and returns it.
EMSCRIPTEN_KEEPALIVE float* vgr_web_audio_fill(int frames) {
  AudioOut.assign(static_cast<size_t>(frames) * 2, 0.0f);
  if (!AudioOpen || SDL_GetAudioStatus() != SDL_AUDIO_PLAYING) return AudioOut.data();
  AudioMix.assign(static_cast<size_t>(frames) * 2, 0);
  AudioSpec.callback(AudioSpec.userdata, reinterpret_cast<Uint8*>(AudioMix.data()), frames * 4);
  for (int i = 0; i < frames; ++i) {
    AudioOut[static_cast<size_t>(i)] = AudioMix[static_cast<size_t>(2 * i)] / 32768.0f;
    AudioOut[static_cast<size_t>(frames + i)] = AudioMix[static_cast<size_t>(2 * i + 1)] / 32768.0f;
  }
  return AudioOut.data();
}

}  // extern "C"

void PresentSurface(SDL_Surface* surface) {
  SDL_Flip(surface);
  const SDL_PixelFormat* f = surface->format;
  if (f->BytesPerPixel != 4) return;
  vgr_web_present(static_cast<const uint8_t*>(surface->pixels), surface->w, surface->h, surface->pitch,
                  f->Rshift / 8, f->Gshift / 8, f->Bshift / 8, DeferPresents ? 0 : 1);
}

void WaitMilliseconds(uint32_t ms) {
  vgr_web_draw_pending();
  emscripten_sleep(ms);
  LastYield = emscripten_get_now();
  DeferPresents = false;
}

void YieldNowAndThen() {
  if (emscripten_get_now() - LastYield >= kYieldPeriodMs) WaitMilliseconds(0);
  DeferPresents = true;
}

int OpenAudioDevice(SDL_AudioSpec* wanted) {
  // The program mixes in the format it asks for; the page plays 16-bit stereo.
  if (wanted->format != AUDIO_S16SYS || wanted->channels != 2) return -1;
  if (SDL_OpenAudio(wanted, nullptr) < 0) return -1;
  AudioSpec = *wanted;
  AudioOpen = true;
  vgr_web_audio_start(wanted->freq, 2048);
  return 0;
}

void StartWebInput() { vgr_web_listen(); }

#else

void PresentSurface(SDL_Surface* surface) { SDL_Flip(surface); }
void WaitMilliseconds(uint32_t ms) { SDL_Delay(ms); }
void YieldNowAndThen() {}
int OpenAudioDevice(SDL_AudioSpec* wanted) { return SDL_OpenAudio(wanted, nullptr); }
void StartWebInput() {}

#endif
