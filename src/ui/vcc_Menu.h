#pragma once
// The menu component: a vertical list of text rows on the back buffer with a
// cursor moved by configurable keys, option rows whose value changes with
// left and right, sub-lists that open and close, and a confirm key. It is
// configured entirely by setup commands of the kind "Menu".

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "StackUnit.h"
#include "VisualComponentUnit.h"

class TBMPFont;

// One menu row.
struct TLineData {
  std::string Text;
  uint8_t Kind = 0;  // 0 plain, 1 option, 2 header
  bool HasChildren = false;
  int32_t Parent = -1;  // index in Lines; -1 for the top level
  std::string Value;    // plain rows: the value; option rows: the option's name
  int32_t Current = 0;  // the chosen entry of an option row
  std::vector<std::string> Captions;
  std::vector<std::string> Values;
};

// Row kinds.
constexpr uint8_t lkPlain = 0, lkOption = 1, lkHeader = 2;

// Parses one row text: "@Header", "%name%Caption {shown=value<NUL>...}",
// or "Text" / "Text=Value".
TLineData ParseMenuRow(const std::string& text);

class TMenu : public TVisualComponent {
 public:
  TMenu();
  ~TMenu() override;

  // Forgets rows and settings.
  void Clear();
  // Re-reads every setting and rebuilds the rows.
  void Refresh();
  // Handles the configured keys of one frame.
  void Process();
  void Draw() override;
  // The Lines index of the row under the cursor; -1 when the list is empty.
  int32_t SelectedLine();
  // Shows the list holding that row with the cursor on it.
  void SetItem(int32_t lineIndex);
  // The value chosen in the first option row named exactly `name`.
  std::string GetOptionValue(const std::string& name);
  // Lists the rows whose Parent is `parent`, headers first.
  void FillItems(int32_t parent);

  void MouseDown(int x, int y, int buttons) override;
  void MouseMove(int x, int y, int buttons) override;

  TBMPFont* Font1 = nullptr;
  TBMPFont* Font2 = nullptr;
  TBMPFont* Font3 = nullptr;
  int32_t TextAlign = 0;  // 0 left, 1 centre, 2 right
  int32_t TextOffset = 0;
  int32_t RowHeight = 0;
  uint16_t KeyUp = 0;
  uint16_t KeyDown = 0;
  uint16_t KeyLeft = 0;
  uint16_t KeyRight = 0;
  uint16_t KeySelect = 0;
  uint16_t KeyEscape = 0;
  int32_t BackgroundColor = -1;  // 0xRRGGBB used as a pixel value; -1 none
  int32_t SelectedColor = -1;
  int32_t HeaderColor = -1;
  int32_t TextX = 0;
  std::vector<TLineData> Lines;
  std::vector<int32_t> Visible;  // Lines indexes in display order
  int32_t PageRows = 0;
  std::unique_ptr<TStack> ParentStack;
  int32_t Cursor = 0;  // index into Visible
  bool Done = false;
  int32_t LastKey = 0;
  int32_t HeaderCount = 0;

 private:
  // True when the configured key is held; a key left unconfigured (0) never is.
  static bool Held(uint16_t key);
  static void Release(uint16_t key);
  // The Parent of the rows now listed.
  int32_t ListParent_ = -1;
};

// The program's numbered fonts that menus refer to by number; the screens
// that show menus fill and empty the entries.
constexpr int kMenuFontCount = 16;
extern std::array<std::unique_ptr<TBMPFont>, kMenuFontCount> Fonts;

// The program's one menu, present between its unit's start-up and end.
extern std::unique_ptr<TMenu> Menu;

void vcc_Menu_Startup();
void vcc_Menu_Shutdown();
