// Input objects, their container as ProcessEvents sees it, and components
// that keep their settings as setup commands.
#include <gtest/gtest.h>

#include "Lists.h"
#include "SetupCommandUnit.h"
#include "SystemUnit.h"
#include "TestSupport.h"
#include "VisualComponentUnit.h"
#include "ZR_SDL.h"

namespace {

TInputEvent Key(TInputEvent::TKind kind, int sym) {
  TInputEvent e;
  e.Kind = kind;
  e.Sym = sym;
  return e;
}

TInputEvent Pointer(TInputEvent::TKind kind, int x, int y) {
  TInputEvent e;
  e.Kind = kind;
  e.X = x;
  e.Y = y;
  e.Button = 1;
  return e;
}

// Keeps the keys it is given, as an edit box would.
class TKeyEater : public TMouseObject {
 public:
  void KeyDown(int key) override { Keys.push_back(key); }
  std::vector<int> Keys;
};

class MouseObjects_ : public ::testing::Test {
 protected:
  void SetUp() override {
    ComponentMessages = std::make_unique<TFIFOStringList>();
    Object.Left = 10;
    Object.Top = 20;
    Object.Right = 19;
    Object.Bottom = 29;
    Object.ClickMessage = "click";
    Object.DownMessage = "down";
    Object.UpMessage = "up";
    Object.EnterMessage = "enter";
    Object.LeaveMessage = "leave";
  }
  void TearDown() override { ComponentMessages.reset(); }
  std::vector<std::string> Messages() {
    std::vector<std::string> out;
    while (ComponentMessages->Count() > 0) out.push_back(ComponentMessages->GetNextItem());
    return out;
  }
  TMouseObject Object;
};

TEST_F(MouseObjects_, PlainObjectUsesNoKey) {
  EXPECT_EQ(Object.Left, 10);
  EXPECT_FALSE(Object.HandleEvent(Key(TInputEvent::KeyDown, 32)));
  EXPECT_FALSE(Object.HandleEvent(Key(TInputEvent::KeyUp, 32)));
  EXPECT_FALSE(Object.Handled);
  TKeyEater eater;
  EXPECT_TRUE(eater.HandleEvent(Key(TInputEvent::KeyDown, 97)));
  EXPECT_EQ(eater.Keys, std::vector<int>{97});
  EXPECT_EQ(TMouseObject().Left, -1);
}

TEST_F(MouseObjects_, PointerEntersMovesAndLeaves) {
  EXPECT_FALSE(Object.HandleEvent(Pointer(TInputEvent::MouseMotion, 5, 25)));
  EXPECT_FALSE(Object.Hovered);
  EXPECT_FALSE(Object.HandleEvent(Pointer(TInputEvent::MouseMotion, 10, 20)));
  EXPECT_TRUE(Object.Hovered);
  Object.HandleEvent(Pointer(TInputEvent::MouseMotion, 19, 29));
  Object.HandleEvent(Pointer(TInputEvent::MouseMotion, 20, 29));
  EXPECT_FALSE(Object.Hovered);
  Object.HandleEvent(Pointer(TInputEvent::MouseMotion, 30, 29));
  // The move text is empty, so moves post nothing.
  EXPECT_EQ(Messages(), (std::vector<std::string>{"enter", "leave"}));
}

TEST_F(MouseObjects_, ButtonsInsideAreConsumedAndReleaseClicks) {
  EXPECT_FALSE(Object.HandleEvent(Pointer(TInputEvent::MouseButtonDown, 9, 20)));
  EXPECT_FALSE(Object.HandleEvent(Pointer(TInputEvent::MouseButtonUp, 9, 20)));
  EXPECT_FALSE(Object.Clicked);
  EXPECT_TRUE(Object.HandleEvent(Pointer(TInputEvent::MouseButtonDown, 15, 25)));
  EXPECT_FALSE(Object.Clicked);
  EXPECT_TRUE(Object.HandleEvent(Pointer(TInputEvent::MouseButtonUp, 15, 25)));
  EXPECT_TRUE(Object.Clicked);
  EXPECT_EQ(Messages(), (std::vector<std::string>{"down", "up", "click"}));
}

TEST_F(MouseObjects_, ContainerOffersInOrderUntilConsumed) {
  TMouseObjects objects;
  TKeyEater first, second;
  objects.Add(&Object);
  objects.Add(&first);
  objects.Add(&second);
  objects.Add(&first);  // once only
  EXPECT_EQ(objects.Count(), 3u);
  EXPECT_TRUE(objects.HandleEvent(Key(TInputEvent::KeyDown, 50)));
  EXPECT_EQ(first.Keys, std::vector<int>{50});
  EXPECT_TRUE(second.Keys.empty());
  objects.Remove(&first);
  EXPECT_TRUE(objects.HandleEvent(Key(TInputEvent::KeyDown, 51)));
  EXPECT_EQ(second.Keys, std::vector<int>{51});
  objects.Remove(&second);
  EXPECT_FALSE(objects.HandleEvent(Key(TInputEvent::KeyDown, 52)));
}

// The display offers every event to the container first; a consumed key
// never reaches the key-state table, and an object leaves when it goes.
TEST(MouseObjectsInProcessEvents, ConsumedKeysDoNotReachKeyState) {
  vgrtest::TScopedLog log;
  VisualComponentUnit_Startup();
  ClearKeys();
  Initialize(640, 400, 32, VF_BACKBUFFER);
  auto* objects = dynamic_cast<TMouseObjects*>(MouseObjects.get());
  ASSERT_NE(objects, nullptr);
  {
    TKeyEater eater;
    objects->Add(&eater);
    PushKeyEvent(SYM_SPACE, true);
    ProcessEvents();
    EXPECT_EQ(eater.Keys, std::vector<int>{SYM_SPACE});
    EXPECT_FALSE(KeyState[SYM_SPACE]);
  }
  EXPECT_EQ(objects->Count(), 0u);
  PushKeyEvent(SYM_SPACE, true);
  ProcessEvents();
  EXPECT_TRUE(KeyState[SYM_SPACE]);
  Finalize();
  VisualComponentUnit_Shutdown();
  ClearKeys();
  ASSERT_FALSE(log.Lines().empty());
  EXPECT_EQ(log.Lines().front(), "(uses) VisualComponentUnit, version 1.05");
}

class TTestComponent : public TVisualComponent {
 public:
  TTestComponent() { Kind = "Menu"; }
};

TEST(VisualComponent, IdsNamesAndSettings) {
  KeyNames_Startup();
  SetupCommands = std::make_unique<TSetupCommandHandler>();
  NextComponentID = 0;
  TTestComponent a, b;
  EXPECT_EQ(a.ID, 0);
  EXPECT_EQ(b.ID, 1);
  EXPECT_EQ(a.SetupName(), "0");
  b.NamePrefix = "Opt";
  EXPECT_EQ(b.SetupName(), "Opt1");
  EXPECT_FALSE(a.Dirty);
  a.Setup("X=120|Width=1.5|Y=-7|Item=A|Item=B|KeyUp=Up");
  b.Setup("X=5");
  EXPECT_TRUE(a.Dirty);
  EXPECT_EQ(SetupCommands->Entries.back().Text, "Opt1.X");
  EXPECT_EQ(a.GetSetting("x"), "120");
  EXPECT_EQ(a.GetSettingInt("X"), 120);
  EXPECT_EQ(a.GetSettingInt("Y"), -7);
  EXPECT_EQ(a.GetSettingInt("Width"), 0);   // not a whole number
  EXPECT_EQ(a.GetSettingInt("Height"), 0);  // not set
  EXPECT_EQ(a.GetSettingInt("KeyUp"), 273);
  EXPECT_EQ(a.GetSettingList("Item"), (std::vector<std::string>{"A", "B"}));
  a.ClearSetup();
  EXPECT_EQ(a.GetSetting("X"), "");
  EXPECT_EQ(b.GetSettingInt("X"), 5);
  SetupCommands.reset();
  KeyNames_Shutdown();
}

TEST(ParseDecimal, WholeNumbersWithin32Bits) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"0", true},  {"-12", true}, {"+3", true},          {"2147483647", true}, {"-2147483648", true},
      {"", false},  {"-", false},  {"2147483648", false}, {"1.5", false},       {" 1", false}};
  for (const auto& [text, ok] : cases) {
    int32_t v = 99;
    EXPECT_EQ(ParseDecimal(text, v), ok) << text;
  }
  int32_t v = 0;
  ASSERT_TRUE(ParseDecimal("-2147483648", v));
  EXPECT_EQ(v, INT32_MIN);
}

}  // namespace
