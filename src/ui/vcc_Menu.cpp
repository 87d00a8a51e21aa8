#include "vcc_Menu.h"

#include "LexerUnit.h"
#include "Logger.h"
#include "SetupCommandUnit.h"
#include "ZRFonts.h"
#include "ZRINIFile.h"
#include "ZRToolbox.h"

std::array<std::unique_ptr<TBMPFont>, kMenuFontCount> Fonts;
std::unique_ptr<TMenu> Menu;

namespace {

const char* const kFillItemsLoc = "vcc_Menu, TMenu.FillItems";

// Looks a word up in a "NAME,number,NAME,number,default" list (letter case
// ignored); anything else, also the empty word, gives the default.
int32_t LookUp(const std::string& word, const std::vector<std::pair<const char*, int32_t>>& table, int32_t def) {
  for (const auto& [name, number] : table) {
    if (SameTextASCII(word, name)) return number;
  }
  return def;
}

int32_t Alignment(const std::string& word, const char* second) {
  return LookUp(word, {{"CENTER", 1}, {second, 2}}, 0);
}

// A colour setting "RRGGBB" as 0xRRGGBB; -1 when it is not set.
int32_t HexColor(const std::string& text) {
  if (text.empty()) return -1;
  int32_t v = 0;
  for (char c : text) {
    const int d = HexDigitValue(c);
    if (d < 0) return -1;
    v = v * 16 + d;
  }
  return v;
}

TBMPFont* FontNumber(int32_t n) {
  return n >= 0 && n < kMenuFontCount ? Fonts[static_cast<std::size_t>(n)].get() : nullptr;
}

}  // namespace

TLineData ParseMenuRow(const std::string& text) {
  TLineData row;
  if (!text.empty() && text[0] == '@') {
    row.Kind = lkHeader;
    row.Text = text.substr(1);
    return row;
  }
  if (!text.empty() && text[0] == '%') {
    row.Kind = lkOption;
    // "%" Name "%" Caption "{" Entries "}"; a missing mark ends the part at
    // the end of the text.
    const std::size_t nameEnd = text.find('%', 1);
    row.Value = text.substr(1, nameEnd == std::string::npos ? std::string::npos : nameEnd - 1);
    if (nameEnd == std::string::npos) return row;
    const std::size_t open = text.find('{', nameEnd + 1);
    row.Text = text.substr(nameEnd + 1, open == std::string::npos ? std::string::npos : open - nameEnd - 1);
    if (open == std::string::npos) return row;
    const std::size_t close = text.rfind('}');
    const std::string entries =
        text.substr(open + 1, close == std::string::npos || close < open ? std::string::npos : close - open - 1);
    if (entries.empty()) return row;
    std::size_t start = 0;
    for (;;) {
      const std::size_t sep = entries.find('\0', start);
      const std::string pair = entries.substr(start, sep == std::string::npos ? std::string::npos : sep - start);
      const std::size_t eq = pair.find('=');
      // An entry without "=" shows and returns the same text.
      row.Captions.push_back(eq == std::string::npos ? pair : pair.substr(0, eq));
      row.Values.push_back(eq == std::string::npos ? pair : pair.substr(eq + 1));
      if (sep == std::string::npos) break;
      start = sep + 1;
    }
    return row;
  }
  const std::size_t eq = text.find('=');
  if (eq == std::string::npos) {
    row.Text = text;
    row.Value = text;
  } else {
    row.Text = text.substr(0, eq);
    row.Value = text.substr(eq + 1);
  }
  return row;
}

TMenu::TMenu() : ParentStack(std::make_unique<TStack>()) {
  Kind = "Menu";
  Clear();
  Cursor = 0;
}

TMenu::~TMenu() {
  ParentStack.reset();
  Clear();
}

void TMenu::Clear() {
  ClearSetup();
  Lines.clear();
  Visible.clear();
  Cursor = 0;
  ListParent_ = -1;
  Dirty = true;
}

void TMenu::Refresh() {
  const int32_t x = GetSettingInt("X");
  const int32_t y = GetSettingInt("Y");
  const int32_t width = GetSettingInt("Width");
  const int32_t height = GetSettingInt("Height");
  switch (Alignment(GetSetting("AlignX"), "RIGHT")) {
    case 1: Left = x - width / 2; break;
    case 2: Left = x - width; break;
    default: Left = x; break;
  }
  Right = Left + width - 1;
  switch (Alignment(GetSetting("AlignY"), "BOTTOM")) {
    case 1: Top = y - height / 2; break;
    case 2: Top = y - height; break;
    default: Top = y; break;
  }
  Bottom = Top + height - 1;

  TextAlign = Alignment(GetSetting("TextAlign"), "RIGHT");
  TextX = TextAlign == 1 ? Left + width / 2 : TextAlign == 2 ? Right : Left;

  BackgroundColor = HexColor(GetSetting("Background"));
  SelectedColor = HexColor(GetSetting("SelectedBackground"));
  HeaderColor = HexColor(GetSetting("HeaderBackground"));

  Font1 = FontNumber(GetSettingInt("Font1"));
  Font2 = FontNumber(GetSettingInt("Font2"));
  Font3 = FontNumber(GetSettingInt("Font3"));
  RowHeight = GetSettingInt("RowHeight");
  const int32_t fontHeight = Font1 ? Font1->LineHeight : 0;
  TextOffset = GetSettingInt("TextOffsetY") + (RowHeight - fontHeight) / 2;
  PageRows = RowHeight > 0 ? (Bottom - Top + 1) / RowHeight : 0;

  KeyUp = static_cast<uint16_t>(GetSettingInt("KeyUp"));
  KeyDown = static_cast<uint16_t>(GetSettingInt("KeyDown"));
  KeyLeft = static_cast<uint16_t>(GetSettingInt("KeyLeft"));
  KeyRight = static_cast<uint16_t>(GetSettingInt("KeyRight"));
  KeySelect = static_cast<uint16_t>(GetSettingInt("KeySelect"));
  KeyEscape = static_cast<uint16_t>(GetSettingInt("KeyEscape"));

  Lines.clear();
  for (const std::string& item : GetSettingList("Item")) Lines.push_back(ParseMenuRow(item));

  // The tree written as words: ">" opens the last row added, "<" closes it.
  while (ParentStack->Size() >= 4) ParentStack->Pop4();
  int32_t parent = -1;
  for (const std::string& value : GetSettingList("ItemExt")) {
    for (const std::string& token : SplitTokens(TrimBlanks(value))) {
      if (token == ">") {
        if (Lines.empty()) continue;  // nothing to open yet
        ParentStack->Push4(static_cast<uint32_t>(parent));
        parent = static_cast<int32_t>(Lines.size()) - 1;
        Lines.back().HasChildren = true;
      } else if (token == "<") {
        if (ParentStack->Size() >= 4) parent = static_cast<int32_t>(ParentStack->Pop4());
      } else {
        TLineData row = ParseMenuRow(token);
        row.Parent = parent;
        Lines.push_back(std::move(row));
      }
    }
  }

  FillItems(-1);
  Cursor = HeaderCount;
  Dirty = false;
  Done = false;
}

void TMenu::FillItems(int32_t parent) {
  Log->Debug("Parent=" + std::to_string(parent), kFillItemsLoc);
  ListParent_ = parent;
  Visible.clear();
  std::vector<int32_t> others;
  for (std::size_t i = 0; i < Lines.size(); ++i) {
    if (Lines[i].Parent != parent) continue;
    Log->Debug("Item added: " + std::to_string(i), kFillItemsLoc);
    (Lines[i].Kind == lkHeader ? Visible : others).push_back(static_cast<int32_t>(i));
  }
  HeaderCount = static_cast<int32_t>(Visible.size());
  Visible.insert(Visible.end(), others.begin(), others.end());
}

bool TMenu::Held(uint16_t key) { return key != 0 && key < 512 && KeyState[key]; }

void TMenu::Release(uint16_t key) {
  if (key < 512) KeyState[key] = false;
}

int32_t TMenu::SelectedLine() {
  if (Cursor < 0 || Cursor >= static_cast<int32_t>(Visible.size())) return -1;
  return Visible[static_cast<std::size_t>(Cursor)];
}

void TMenu::Process() {
  if (Dirty) Refresh();
  if (Done) return;
  const int32_t count = static_cast<int32_t>(Visible.size());
  if (Held(KeyUp) && Cursor > HeaderCount) {
    Cursor -= 1;
    Release(KeyUp);
  }
  if (Held(KeyDown) && Cursor < count - 1) {
    Cursor += 1;
    Release(KeyDown);
  }
  const int32_t line = SelectedLine();
  TLineData* row = line >= 0 ? &Lines[static_cast<std::size_t>(line)] : nullptr;
  // An option row without entries has no value to step to.
  const bool stepping = row && row->Kind == lkOption && !row->Captions.empty();
  const int32_t entries = stepping ? static_cast<int32_t>(row->Captions.size()) : 0;
  if (Held(KeyLeft) && stepping) {
    row->Current = row->Current <= 0 || row->Current >= entries ? entries - 1 : row->Current - 1;
    Release(KeyLeft);
  }
  if (Held(KeyRight) && stepping) {
    row->Current = row->Current + 1 >= entries || row->Current < 0 ? 0 : row->Current + 1;
    Release(KeyRight);
  }
  if (Held(KeySelect)) {
    if (row && row->HasChildren) {
      FillItems(line);
      Cursor = HeaderCount;
    } else if (row) {
      Done = true;
      LastKey = KeySelect;
    }
    Release(KeySelect);
  }
  if (Held(KeyEscape)) {
    if (ListParent_ < 0 || ListParent_ >= static_cast<int32_t>(Lines.size())) {
      Done = true;
      LastKey = KeyEscape;
    } else {
      const int32_t opened = ListParent_;
      FillItems(Lines[static_cast<std::size_t>(opened)].Parent);
      for (std::size_t i = 0; i < Visible.size(); ++i) {
        if (Visible[i] == opened) Cursor = static_cast<int32_t>(i);
      }
    }
    Release(KeyEscape);
  }
}

void TMenu::Draw() {
  if (Dirty) Refresh();
  int32_t y = Top;
  for (std::size_t i = 0; i < Visible.size(); ++i, y += RowHeight) {
    const TLineData& row = Lines[static_cast<std::size_t>(Visible[i])];
    TBMPFont* font = Font1;
    int32_t fill = BackgroundColor;
    if (static_cast<int32_t>(i) == Cursor) {
      font = Font2;
      fill = SelectedColor;
    }
    if (fill != -1) BarColor(Left, y, Right, y + RowHeight - 1, static_cast<uint32_t>(fill));
    if (row.Kind == lkHeader) {
      font = Font3;
      if (HeaderColor != -1) BarColor(Left, y, Right, y + RowHeight - 1, static_cast<uint32_t>(HeaderColor));
    }
    std::string text = row.Text;
    if (row.Kind == lkOption && row.Current >= 0 && row.Current < static_cast<int32_t>(row.Captions.size())) {
      text += row.Captions[static_cast<std::size_t>(row.Current)];
    }
    // Texts sit centred in their rows.
    if (font) font->TextOut(text, TextX, y + TextOffset, TextAlign);
  }
}

void TMenu::SetItem(int32_t lineIndex) {
  if (Dirty) Refresh();
  if (lineIndex < 0 || lineIndex >= static_cast<int32_t>(Lines.size())) return;
  FillItems(Lines[static_cast<std::size_t>(lineIndex)].Parent);
  for (std::size_t i = 0; i < Visible.size(); ++i) {
    if (Visible[i] == lineIndex) Cursor = static_cast<int32_t>(i);
  }
}

std::string TMenu::GetOptionValue(const std::string& name) {
  for (const TLineData& row : Lines) {
    if (row.Kind != lkOption || row.Value != name) continue;
    if (row.Current < 0 || row.Current >= static_cast<int32_t>(row.Values.size())) return "";
    return row.Values[static_cast<std::size_t>(row.Current)];
  }
  return "";
}

void TMenu::MouseDown(int, int, int) { LastKey = 13; }

void TMenu::MouseMove(int, int y, int) {
  if (RowHeight <= 0 || y < Top) return;
  const int32_t row = (y - Top) / RowHeight;
  if (row >= 0 && row < static_cast<int32_t>(Visible.size())) Cursor = row;
}

void vcc_Menu_Startup() {
  LogUnitVersion("vcc_Menu", "2.06");
  Menu = std::make_unique<TMenu>();
}

void vcc_Menu_Shutdown() {
  Menu.reset();
  for (auto& f : Fonts) f.reset();
}
