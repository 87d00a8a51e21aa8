#include "SetupCommandUnit.h"

#include <clocale>

#include "Logger.h"
#include "SystemUnit.h"
#include "ZRINIFile.h"
#include "ZRStream3.h"

std::unique_ptr<TSetupCommandHandler> SetupCommands;
std::vector<std::string> KeyNames;

namespace {

const char* const kAddCommandLoc = "SetupCommandUnit, TSetupCommandHandler.AddCommand";

// The component kinds, their properties and the value kind of each; "+"
// after a property marks values that accumulate.
const char* const kGrammar =
    "[*Components]\r\n"
    "EditBox\r\nListBox\r\nMenu\r\nScrollBox\r\n"
    "\r\n"
    "[*EditBox]\r\n"
    "X=n\r\nY=n\r\nWidth=n\r\nHeight=n\r\nAlignX=s\r\nAlignY=s\r\nFont=n\r\nTextAlign=s\r\n"
    "TextOffsetY=n\r\nTextCase=s\r\nPasswordChar=c\r\nMaxLength=n\r\nBackground=rrggbb\r\n"
    "Transparent=b\r\nCursorChar=c\r\nCursorBlinkRate=n\r\n"
    "\r\n"
    "[*ListBox]\r\n"
    "X=n\r\nY=n\r\nWidth=n\r\nHeight=n\r\nAlignX=s\r\nAlignY=s\r\nFont=n\r\nTextAlign=s\r\n"
    "TextOffsetY=n\r\nRowHeight=n\r\nBackground=rrggbb\r\nBackground2=rrggbb\r\nCursor1=rrggbb\r\n"
    "Cursor2=rrggbb\r\nScrollBar=n\r\nSBColor1=rrggbb\r\nSBColor2=rrggbb\r\nKeyUp=SDLK_keyname\r\n"
    "KeyDown=SDLK_keyname\r\nKeySelect=SDLK_keyname\r\nKeyEscape=SDLK_keyname\r\nItem+=s\r\n"
    "\r\n"
    "[*Menu]\r\n"
    "X=n\r\nY=n\r\nWidth=n\r\nHeight=n\r\nAlignX=s\r\nAlignY=s\r\nFont1=n\r\nFont2=n\r\nFont3=n\r\n"
    "TextAlign=s\r\nTextOffsetY=n\r\nRowHeight=n\r\nKeyUp=SDLK_keyname\r\nKeyDown=SDLK_keyname\r\n"
    "KeyLeft=SDLK_keyname\r\nKeyRight=SDLK_keyname\r\nKeySelect=SDLK_keyname\r\n"
    "KeyEscape=SDLK_keyname\r\nBackground=rrggbb\r\nSelectedBackground=rrggbb\r\n"
    "HeaderBackground=rrggbb\r\nItem+=s\r\nItemExt+=s\r\n"
    "\r\n"
    "[*ScrollBox]\r\n"
    "X=n\r\nY=n\r\nWidth=n\r\nHeight=n\r\nAlignX=s\r\nAlignY=s\r\nRealWidth=n\r\nRealHeight=n\r\n"
    "ViewTop=n\r\nViewLeft=n\r\n";

// SDL 1.2's key symbols without their "SDLK_" prefix.
const char* const kKeyNameTable =
    "UNKNOWN=0\r\nFIRST=0\r\nBACKSPACE=8\r\nTAB=9\r\nCLEAR=12\r\nRETURN=13\r\nPAUSE=19\r\n"
    "ESCAPE=27\r\nSPACE=32\r\nEXCLAIM=33\r\nQUOTEDBL=34\r\nHASH=35\r\nDOLLAR=36\r\nAMPERSAND=38\r\n"
    "QUOTE=39\r\nLEFTPAREN=40\r\nRIGHTPAREN=41\r\nASTERISK=42\r\nPLUS=43\r\nCOMMA=44\r\nMINUS=45\r\n"
    "PERIOD=46\r\nSLASH=47\r\n0=48\r\n1=49\r\n2=50\r\n3=51\r\n4=52\r\n5=53\r\n6=54\r\n7=55\r\n"
    "8=56\r\n9=57\r\nCOLON=58\r\nSEMICOLON=59\r\nLESS=60\r\nEQUALS=61\r\nGREATER=62\r\n"
    "QUESTION=63\r\nAT=64\r\nLEFTBRACKET=91\r\nBACKSLASH=92\r\nRIGHTBRACKET=93\r\nCARET=94\r\n"
    "UNDERSCORE=95\r\nBACKQUOTE=96\r\nA=97\r\nB=98\r\nC=99\r\nD=100\r\nE=101\r\nF=102\r\nG=103\r\n"
    "H=104\r\nI=105\r\nJ=106\r\nK=107\r\nL=108\r\nM=109\r\nN=110\r\nO=111\r\nP=112\r\nQ=113\r\n"
    "R=114\r\nS=115\r\nT=116\r\nU=117\r\nV=118\r\nW=119\r\nX=120\r\nY=121\r\nZ=122\r\nDELETE=127\r\n"
    "KP0=256\r\nKP1=257\r\nKP2=258\r\nKP3=259\r\nKP4=260\r\nKP5=261\r\nKP6=262\r\nKP7=263\r\n"
    "KP8=264\r\nKP9=265\r\nKP_PERIOD=266\r\nKP_DIVIDE=267\r\nKP_MULTIPLY=268\r\nKP_MINUS=269\r\n"
    "KP_PLUS=270\r\nKP_ENTER=271\r\nKP_EQUALS=272\r\nUP=273\r\nDOWN=274\r\nRIGHT=275\r\nLEFT=276\r\n"
    "INSERT=277\r\nHOME=278\r\nEND=279\r\nPAGEUP=280\r\nPAGEDOWN=281\r\nF1=282\r\nF2=283\r\n"
    "F3=284\r\nF4=285\r\nF5=286\r\nF6=287\r\nF7=288\r\nF8=289\r\nF9=290\r\nF10=291\r\nF11=292\r\n"
    "F12=293\r\nF13=294\r\nF14=295\r\nF15=296\r\nNUMLOCK=300\r\nCAPSLOCK=301\r\nSCROLLOCK=302\r\n"
    "RSHIFT=303\r\nLSHIFT=304\r\nRCTRL=305\r\nLCTRL=306\r\nRALT=307\r\nLALT=308\r\nRMETA=309\r\n"
    "LMETA=310\r\nLSUPER=311\r\nRSUPER=312\r\nMODE=313\r\nCOMPOSE=314\r\nHELP=315\r\nPRINT=316\r\n"
    "SYSREQ=317\r\nBREAK=318\r\nMENU=319\r\nPOWER=320\r\nEURO=321\r\n";

// The value of the first "name=value" line whose name matches (case ignored).
bool FindNamedValue(const std::vector<std::string>& lines, const std::string& name, std::string& value) {
  for (const std::string& line : lines) {
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    if (SameTextASCII(line.substr(0, eq), name)) {
      value = line.substr(eq + 1);
      return true;
    }
  }
  return false;
}

bool Contains(const std::vector<std::string>& list, const std::string& s) {
  for (const std::string& item : list) {
    if (SameTextASCII(item, s)) return true;
  }
  return false;
}

char DecimalSeparator() {
  const std::lconv* lc = std::localeconv();
  return lc && lc->decimal_point && lc->decimal_point[0] ? lc->decimal_point[0] : '.';
}

bool IsNumeric(const std::string& v) {
  std::size_t i = v.size() > 0 && v[0] == '-' ? 1 : 0;
  if (i >= v.size()) return false;
  const char sep = DecimalSeparator();
  for (; i < v.size(); ++i) {
    if (!((v[i] >= '0' && v[i] <= '9') || v[i] == sep)) return false;
  }
  return true;
}

bool IsRGB(const std::string& v) {
  if (v.size() != 6) return false;
  for (char c : v) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

[[noreturn]] void Fatal(const std::string& msg) {
  Log->Error(msg, kAddCommandLoc);
  Halt(1, "a screen's setup is faulty: " + msg);
}

// "NAME" of a stored entry "NAME.PROPERTY": properties never hold a dot, so
// the component name is everything before the last one.
std::string ComponentOf(const std::string& entry) {
  const std::size_t dot = entry.rfind('.');
  return dot == std::string::npos ? entry : entry.substr(0, dot);
}

}  // namespace

bool FindKeyCode(const std::string& name, int32_t& code) {
  std::string value;
  if (!FindNamedValue(KeyNames, name, value)) return false;
  code = std::stoi(value);
  return true;
}

TSetupCommandHandler::TSetupCommandHandler() {
  const std::string text = kGrammar;
  TMemoryStream stream(std::vector<uint8_t>(text.begin(), text.end()));
  TIniFile ini(stream);
  const int32_t kinds = ini.ListItemCount("Components");
  for (int32_t k = 0; k < kinds; ++k) {
    const std::string kind = ini.ReadListItem("Components", k);
    const int32_t lines = ini.ListItemCount(kind);
    for (int32_t l = 0; l < lines; ++l) Syntax.push_back(UpperCase(kind + "." + ini.ReadListItem(kind, l)));
  }
  for (std::string& line : Syntax) {
    if (line.find('+') == std::string::npos) continue;
    std::string cleaned;
    for (char c : line) {
      if (c != '+') cleaned += c;
    }
    line = cleaned;
    MultiValued.push_back(line.substr(0, line.find('=')));
  }
  BoolWords = {"TRUE", "YES", "Y", "I", "1", "FALSE", "NO", "N", "0"};
}

int32_t TSetupCommandHandler::AddCommand(const std::string& kind, const std::string& name,
                                         const std::string& command) {
  // Every command before a "|" is handled in turn; the rest is the last one.
  std::size_t start = 0;
  for (std::size_t bar = command.find('|'); bar != std::string::npos; bar = command.find('|', start)) {
    AddOne(kind, name, command.substr(start, bar - start));
    start = bar + 1;
  }
  return AddOne(kind, name, command.substr(start));
}

int32_t TSetupCommandHandler::AddOne(const std::string& kind, const std::string& name, const std::string& command) {
  std::string property;
  std::string value;
  const std::size_t eq = command.find('=');
  if (eq == std::string::npos) {
    // A bare property name switches a boolean on.
    property = UpperCase(command);
    value = "Y";
  } else {
    property = UpperCase(command.substr(0, eq));
    value = command.substr(eq + 1);
  }
  const std::string key = UpperCase(kind) + "." + property;
  std::string valueKind;
  FindNamedValue(Syntax, key, valueKind);
  valueKind = UpperCase(valueKind);

  if (valueKind == "S") {
    // Any text.
  } else if (valueKind == "N") {
    if (!IsNumeric(value)) Fatal("Numeric value expected! (" + property + "=" + value + ")");
  } else if (valueKind == "C") {
    if (value.size() != 1) Fatal("Char value expected! (" + property + "=" + value + ")");
  } else if (valueKind == "B") {
    if (!Contains(BoolWords, value)) Fatal("Boolean value expected! (" + property + "=" + value + ")");
  } else if (valueKind == "RRGGBB") {
    if (!IsRGB(value)) Fatal("RGB value expected (6 hex digits: rrggbb)! (" + property + "=" + value + ")");
  } else if (valueKind == "SDLK_KEYNAME") {
    if (value.size() > 5 && SameTextASCII(value.substr(0, 5), "SDLK_")) value.erase(0, 5);
    int32_t code = 0;
    if (!FindKeyCode(value, code)) {
      Fatal("SDLK_KeyName value expected (see them in SDL)! (" + property + "=" + value + ")");
    }
    value = std::to_string(code);
  } else {
    Fatal("Unknown identifier! (" + property + "=" + value + ")");
  }

  const std::string text = name + "." + property;
  int32_t index = IndexOf(text);
  if (index < 0) {
    Entries.push_back(TEntry{text, std::make_unique<TSetupCommandItem>()});
    index = Count() - 1;
  }
  TSetupCommandItem& item = *Entries[static_cast<std::size_t>(index)].Item;
  if (!Contains(MultiValued, key)) item.Values.clear();
  item.Values.push_back(value);
  return index;
}

void TSetupCommandHandler::RemoveComponent(const std::string& name) {
  for (std::size_t i = Entries.size(); i-- > 0;) {
    if (SameTextASCII(ComponentOf(Entries[i].Text), name)) Entries.erase(Entries.begin() + static_cast<long>(i));
  }
}

int32_t TSetupCommandHandler::IndexOf(const std::string& text) const {
  for (std::size_t i = 0; i < Entries.size(); ++i) {
    if (SameTextASCII(Entries[i].Text, text)) return static_cast<int32_t>(i);
  }
  return -1;
}

std::string TSetupCommandHandler::GetValue(const std::string& name, const std::string& property) const {
  const int32_t i = IndexOf(name + "." + property);
  if (i < 0) return "";
  const auto& values = Entries[static_cast<std::size_t>(i)].Item->Values;
  return values.empty() ? "" : values.front();
}

std::vector<std::string> TSetupCommandHandler::GetValues(const std::string& name, const std::string& property) const {
  const int32_t i = IndexOf(name + "." + property);
  if (i < 0) return {};
  return Entries[static_cast<std::size_t>(i)].Item->Values;
}

void KeyNames_Startup() {
  KeyNames.clear();
  const std::string table = kKeyNameTable;
  std::size_t start = 0;
  while (start < table.size()) {
    std::size_t end = table.find("\r\n", start);
    if (end == std::string::npos) end = table.size();
    if (end > start) KeyNames.push_back(table.substr(start, end - start));
    start = end + 2;
  }
}

void KeyNames_Shutdown() { KeyNames.clear(); }

void SetupCommandUnit_Startup() {
  LogUnitVersion("SetupCommandUnit", "1.05");
  SetupCommands = std::make_unique<TSetupCommandHandler>();
}

void SetupCommandUnit_Shutdown() { SetupCommands.reset(); }
