#include "VisualComponentUnit.h"

#include <algorithm>

#include "Lists.h"
#include "Logger.h"
#include "SetupCommandUnit.h"
#include "ZRToolbox.h"

int32_t NextComponentID = 0;

TMouseObject::~TMouseObject() {
  // The container only borrows its objects.
  if (auto* objects = dynamic_cast<TMouseObjects*>(MouseObjects.get())) objects->Remove(this);
}

void TMouseObject::Post(const std::string& message) {
  if (!message.empty() && ComponentMessages) ComponentMessages->Add(message);
}

bool TMouseObject::HandleEvent(const TInputEvent& event) {
  switch (event.Kind) {
    case TInputEvent::KeyDown:
      Handled = true;
      KeyDown(event.Sym);
      return Handled;
    case TInputEvent::KeyUp:
      Handled = true;
      KeyUp(event.Sym);
      return Handled;
    case TInputEvent::MouseMotion:
      if (Inside(event.X, event.Y)) {
        MouseMove(event.X, event.Y, event.Button);
        if (!Hovered) {
          MouseEnter(event.X, event.Y, event.Button);
          Hovered = true;
        }
      } else if (Hovered) {
        MouseLeave(event.X, event.Y, event.Button);
        Hovered = false;
      }
      return false;
    case TInputEvent::MouseButtonDown:
      if (!Inside(event.X, event.Y)) return false;
      MouseDown(event.X, event.Y, event.Button);
      return true;
    case TInputEvent::MouseButtonUp:
      if (!Inside(event.X, event.Y)) return false;
      MouseUp(event.X, event.Y, event.Button);
      return true;
    default:
      return false;
  }
}

void TMouseObject::MouseDown(int, int, int) { Post(DownMessage); }

void TMouseObject::MouseUp(int x, int y, int buttons) {
  Post(UpMessage);
  Clicked = true;
  Click(x, y, buttons);
}

void TMouseObject::MouseMove(int, int, int) { Post(MoveMessage); }
void TMouseObject::MouseEnter(int, int, int) { Post(EnterMessage); }
void TMouseObject::MouseLeave(int, int, int) { Post(LeaveMessage); }
void TMouseObject::Click(int, int, int) { Post(ClickMessage); }
void TMouseObject::KeyDown(int) { Handled = false; }
void TMouseObject::KeyUp(int) { Handled = false; }

bool TMouseObjects::HandleEvent(const TInputEvent& event) {
  // A handler may remove objects; walk a copy.
  const std::vector<TMouseObject*> objects = Objects_;
  for (TMouseObject* o : objects) {
    if (std::find(Objects_.begin(), Objects_.end(), o) == Objects_.end()) continue;
    if (o->HandleEvent(event)) return true;
  }
  return false;
}

void TMouseObjects::Add(TMouseObject* object) {
  if (object && std::find(Objects_.begin(), Objects_.end(), object) == Objects_.end()) Objects_.push_back(object);
}

void TMouseObjects::Remove(TMouseObject* object) {
  Objects_.erase(std::remove(Objects_.begin(), Objects_.end(), object), Objects_.end());
}

bool ParseDecimal(const std::string& text, int32_t& value) { return StrToInt32(text, value); }

TVisualComponent::TVisualComponent() : ID(NextComponentID++) {}

void TVisualComponent::Setup(const std::string& command) {
  Dirty = true;
  if (SetupCommands) SetupCommands->AddCommand(Kind, SetupName(), command);
}

void TVisualComponent::ClearSetup() {
  if (SetupCommands) SetupCommands->RemoveComponent(SetupName());
}

std::string TVisualComponent::GetSetting(const std::string& property) const {
  return SetupCommands ? SetupCommands->GetValue(SetupName(), property) : "";
}

int32_t TVisualComponent::GetSettingInt(const std::string& property) const {
  int32_t v = 0;
  return ParseDecimal(GetSetting(property), v) ? v : 0;
}

std::vector<std::string> TVisualComponent::GetSettingList(const std::string& property) const {
  return SetupCommands ? SetupCommands->GetValues(SetupName(), property) : std::vector<std::string>{};
}

void VisualComponentUnit_Startup() {
  LogUnitVersion("VisualComponentUnit", "1.05");
  // The display creates the container when it opens.
  SetMouseObjectsFactory([] { return std::make_unique<TMouseObjects>(); });
}

void VisualComponentUnit_Shutdown() { SetMouseObjectsFactory(nullptr); }
