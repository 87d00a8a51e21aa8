#pragma once
// On-screen input components: a rectangle with pointer and key handlers
// (TMouseObject), the container that ProcessEvents offers every input event
// to (TMouseObjects), and components that keep their configuration as setup
// commands under a unique name (TVisualComponent).

#include <cstdint>
#include <string>
#include <vector>

#include "ZR_SDL.h"

class TMouseObject {
 public:
  TMouseObject() = default;
  virtual ~TMouseObject();
  TMouseObject(const TMouseObject&) = delete;
  TMouseObject& operator=(const TMouseObject&) = delete;

  // Offers one event; true when this object consumed it.
  virtual bool HandleEvent(const TInputEvent& event);
  virtual void MouseDown(int x, int y, int buttons);
  // Sets Clicked and calls Click.
  virtual void MouseUp(int x, int y, int buttons);
  virtual void MouseMove(int x, int y, int buttons);
  virtual void MouseEnter(int x, int y, int buttons);
  virtual void MouseLeave(int x, int y, int buttons);
  virtual void Click(int x, int y, int buttons);
  // Both clear Handled: a plain object uses no key.
  virtual void KeyDown(int key);
  virtual void KeyUp(int key);
  virtual void Draw() {}

  bool Inside(int x, int y) const { return x >= Left && x <= Right && y >= Top && y <= Bottom; }

  bool Clicked = false;
  int32_t Left = -1;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
  bool Hovered = false;
  bool Handled = false;
  // Texts the handlers post to ComponentMessages; an empty text posts nothing.
  std::string ClickMessage;
  std::string DownMessage;
  std::string UpMessage;
  std::string EnterMessage;
  std::string LeaveMessage;
  std::string MoveMessage;

 private:
  void Post(const std::string& message);
};

// The objects that see input events before the key-state table does. It does
// not own them; an object leaves the container when it is destroyed.
class TMouseObjects : public TMouseObjectsBase {
 public:
  // Offers the event to each object in order until one consumes it.
  bool HandleEvent(const TInputEvent& event) override;
  void Add(TMouseObject* object);
  void Remove(TMouseObject* object);
  std::size_t Count() const { return Objects_.size(); }

 private:
  std::vector<TMouseObject*> Objects_;
};

// A component configured through setup commands under the name NamePrefix +
// ID, where ID is unique for the run.
class TVisualComponent : public TMouseObject {
 public:
  TVisualComponent();

  // Adds configuration; the settings are re-read before the next use.
  void Setup(const std::string& command);
  // Forgets every setting of this component.
  void ClearSetup();
  std::string GetSetting(const std::string& property) const;
  // The setting as a decimal integer; 0 when empty or not a number.
  int32_t GetSettingInt(const std::string& property) const;
  std::vector<std::string> GetSettingList(const std::string& property) const;
  std::string SetupName() const { return NamePrefix + std::to_string(ID); }

  int32_t ID = 0;
  std::string Kind;
  std::string NamePrefix;
  bool Dirty = false;
};

// The next ID a component gets (a test may reset it).
extern int32_t NextComponentID;

// Parses an optional sign and decimal digits within 32 bits; false otherwise.
bool ParseDecimal(const std::string& text, int32_t& value);

void VisualComponentUnit_Startup();
void VisualComponentUnit_Shutdown();
