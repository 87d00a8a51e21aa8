#pragma once
// What the browser build needs around SDL 1.2, which has no driver for a web
// page: the display surface is copied onto the page's canvas, the canvas's
// keys and focus become SDL events, the sound callback is pulled by the
// page's audio, and every wait hands the thread back to the browser. The
// native build compiles all of this to plain SDL calls.

#include <SDL.h>

#include <cstdint>

// Shows the display surface: SDL_Flip, and on the web the copy to the page.
void PresentSurface(SDL_Surface* surface);

// Waits ms milliseconds. On the web the browser runs meanwhile (the wait is
// asynchronous underneath), so the page is drawn and keys arrive.
void WaitMilliseconds(uint32_t ms);

// Called once per frame that does not wait (a timedemo): on the web, hands
// the thread to the browser when it has not had it for a while, so the page
// stays alive; the game's frames do not notice.
void YieldNowAndThen();

// SDL_OpenAudio; on the web the page's audio then asks the callback for sound.
int OpenAudioDevice(SDL_AudioSpec* wanted);

// Starts listening to the page's keys and focus (nothing natively).
void StartWebInput();
