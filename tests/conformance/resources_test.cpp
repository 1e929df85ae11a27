// The resources of Mordelt.exe and setup.exe: strings, menu, accelerators,
// About box, icon groups and manifest, all in language 1033, and no version
// resource. Each program is loaded as a data file and its resources are read
// as the system stores them.
#include <cstring>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "common/resource_ids.h"
#include "tests/conformance/harness.h"

namespace conformance {
namespace {

// The numbers that both programs use for their resources.
static_assert(IDS_APP_TITLE == 103 && IDS_HELLO == 106 && IDC_MAIN_CLASS == 109, "strings");
static_assert(IDR_MAIN_MENU == 109 && IDR_ACCELERATORS == 109 && IDD_ABOUTBOX == 103, "ids");
static_assert(IDM_ABOUT == 104 && IDM_EXIT == 105 && IDC_ABOUT_ICON == 2, "commands");
static_assert(IDI_LARGE_ICON == 107 && IDI_SMALL_ICON == 108, "icons");

constexpr WORD kEnglishUs = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);  // 1033

struct Program {
  const char* label;
  std::string (*path)();
  const char* title;         // string 103
  const char* class_name;    // string 109
  const char* about_line;    // first text line of the About box
  std::set<WORD> icon_bits;  // colour depths of every icon size
};

const Program kMordelt = {"Mordelt", &MordeltExe,          "Tavrix",
                          "TAVRIX",  "Tavrix Version 1.0", {8, 32}};
const Program kSetup = {"setup", &SetupExe, "setup", "SETUP", "setup Version 1.0", {4, 8, 32}};

// The program loaded as a data file (no code runs), freed at the end.
class DataModule {
 public:
  explicit DataModule(const Program& program) {
    path_ = program.path();
    module_ = LoadLibraryExA(path_.c_str(), nullptr,
                             LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (module_ == nullptr) {
      ReportFailure(CONFORMANCE_HERE, "LoadLibraryExA(" + path_ + ") failed, error " +
                                          std::to_string(GetLastError()));
      throw TestAborted{};
    }
  }
  ~DataModule() { FreeLibrary(module_); }
  DataModule(const DataModule&) = delete;
  DataModule& operator=(const DataModule&) = delete;

  HMODULE get() const { return module_; }

  // The bytes of one resource in language 1033; empty when it is missing.
  std::string Resource(LPCSTR type, WORD id) const {
    HRSRC found = FindResourceExA(module_, type, MAKEINTRESOURCEA(id), kEnglishUs);
    if (found == nullptr) return std::string();
    HGLOBAL loaded = LoadResource(module_, found);
    const void* data = loaded == nullptr ? nullptr : LockResource(loaded);
    if (data == nullptr) return std::string();
    return std::string(static_cast<const char*>(data), SizeofResource(module_, found));
  }

 private:
  std::string path_;
  HMODULE module_ = nullptr;
};

// Reads little-endian fields out of a resource, in order.
class Reader {
 public:
  explicit Reader(const std::string& bytes) : bytes_(bytes) {}

  bool ok() const { return ok_; }
  size_t offset() const { return offset_; }

  WORD Word() {
    unsigned char b[2] = {};
    Take(b, 2);
    return static_cast<WORD>(b[0] | (b[1] << 8));
  }
  DWORD Dword() {
    WORD low = Word();
    WORD high = Word();
    return static_cast<DWORD>(low | (static_cast<DWORD>(high) << 16));
  }
  short Short() { return static_cast<short>(Word()); }
  BYTE Byte() {
    unsigned char b = 0;
    Take(&b, 1);
    return b;
  }
  // A NUL-terminated UTF-16 string, as 8-bit text (the tests use ASCII).
  std::string WideString() {
    std::string out;
    for (WORD c = Word(); ok_ && c != 0; c = Word()) {
      out += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return out;
  }
  void AlignDword() {
    while (ok_ && offset_ % 4 != 0) Byte();
  }
  void Skip(size_t count) {
    if (offset_ + count > bytes_.size()) {
      ok_ = false;
      return;
    }
    offset_ += count;
  }

 private:
  void Take(unsigned char* out, size_t count) {
    if (!ok_ || offset_ + count > bytes_.size()) {
      ok_ = false;
      std::memset(out, 0, count);
      return;
    }
    std::memcpy(out, bytes_.data() + offset_, count);
    offset_ += count;
  }

  const std::string& bytes_;
  size_t offset_ = 0;
  bool ok_ = true;
};

// A field that is either absent, an ordinal or a string (sz_Or_Ord).
struct NameOrOrdinal {
  bool present = false;
  bool is_ordinal = false;
  WORD ordinal = 0;
  std::string text;
};

NameOrOrdinal ReadNameOrOrdinal(Reader& reader) {
  NameOrOrdinal result;
  WORD first = reader.Word();
  if (first == 0x0000) return result;
  result.present = true;
  if (first == 0xFFFF) {
    result.is_ordinal = true;
    result.ordinal = reader.Word();
    return result;
  }
  result.text += first < 0x80 ? static_cast<char>(first) : '?';
  result.text += reader.WideString();
  return result;
}

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// True when a control's class is the predefined class with this ordinal
// (0x0080 BUTTON, 0x0082 STATIC), stored as ordinal or by name.
bool IsClass(const NameOrOrdinal& window_class, WORD ordinal, const char* name) {
  if (window_class.is_ordinal) return window_class.ordinal == ordinal;
  return Upper(window_class.text) == name;
}

// ---------------------------------------------------------------------------
// Strings.
// ---------------------------------------------------------------------------

std::string StringResource(HMODULE module, UINT id) {
  char buffer[100] = {};
  int length = LoadStringA(module, id, buffer, sizeof buffer);
  return std::string(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

void CheckStrings(const Program& program) {
  DataModule module(program);
  CHECK_EQ(StringResource(module.get(), IDS_APP_TITLE), program.title);
  CHECK_EQ(StringResource(module.get(), IDS_HELLO), "Hello World!");
  CHECK_EQ(StringResource(module.get(), IDC_MAIN_CLASS), program.class_name);
  // String table block 7 holds strings 96 to 111; the other strings of the
  // block are empty.
  for (UINT id = 96; id < 112; ++id) {
    if (id == IDS_APP_TITLE || id == IDS_HELLO || id == IDC_MAIN_CLASS) continue;
    CHECK_EQ(StringResource(module.get(), id), "");
  }
}

CONFORMANCE_TEST(ResourcesMordeltStrings) { CheckStrings(kMordelt); }
CONFORMANCE_TEST(ResourcesSetupStrings) { CheckStrings(kSetup); }

// ---------------------------------------------------------------------------
// Menu 109.
// ---------------------------------------------------------------------------

struct MenuItem {
  WORD flags;
  WORD id;  // 0 for pop-ups
  std::string text;
  std::vector<MenuItem> children;
};

// Reads the items of one menu level of a standard menu template.
std::vector<MenuItem> ReadMenuItems(Reader& reader) {
  std::vector<MenuItem> items;
  while (reader.ok()) {
    MenuItem item;
    item.flags = reader.Word();
    item.id = (item.flags & MF_POPUP) ? 0 : reader.Word();
    item.text = reader.WideString();
    if (item.flags & MF_POPUP) item.children = ReadMenuItems(reader);
    const bool last = (item.flags & MF_END) != 0;
    items.push_back(item);
    if (last) break;
  }
  return items;
}

void CheckMenu(const Program& program) {
  DataModule module(program);
  std::string bytes = module.Resource(RT_MENU, IDR_MAIN_MENU);
  REQUIRE(!bytes.empty());
  Reader reader(bytes);
  CHECK_EQ(reader.Word(), 0);  // version: standard menu template
  CHECK_EQ(reader.Word(), 0);  // header size
  std::vector<MenuItem> bar = ReadMenuItems(reader);
  REQUIRE(reader.ok());
  REQUIRE(bar.size() == 2u);

  CHECK_EQ(bar[0].text, "&File");
  CHECK(bar[0].flags & MF_POPUP);
  REQUIRE(bar[0].children.size() == 1u);
  CHECK_EQ(bar[0].children[0].text, "E&xit");
  CHECK_EQ(bar[0].children[0].id, IDM_EXIT);
  CHECK_EQ(bar[0].children[0].id, 105);
  CHECK_EQ(bar[0].children[0].flags & ~MF_END, 0);

  CHECK_EQ(bar[1].text, "&Help");
  CHECK(bar[1].flags & MF_POPUP);
  REQUIRE(bar[1].children.size() == 1u);
  CHECK_EQ(bar[1].children[0].text, "&About ...");
  CHECK_EQ(bar[1].children[0].id, IDM_ABOUT);
  CHECK_EQ(bar[1].children[0].id, 104);
  CHECK_EQ(bar[1].children[0].flags & ~MF_END, 0);

  // The system builds the same menu from it.
  HMENU menu = LoadMenuA(module.get(), MAKEINTRESOURCEA(IDR_MAIN_MENU));
  REQUIRE(menu != nullptr);
  CHECK_EQ(GetMenuItemCount(menu), 2);
  HMENU file = GetSubMenu(menu, 0);
  HMENU help = GetSubMenu(menu, 1);
  CHECK(file != nullptr && GetMenuItemID(file, 0) == IDM_EXIT);
  CHECK(help != nullptr && GetMenuItemID(help, 0) == IDM_ABOUT);
  DestroyMenu(menu);
}

CONFORMANCE_TEST(ResourcesMordeltMenu) { CheckMenu(kMordelt); }
CONFORMANCE_TEST(ResourcesSetupMenu) { CheckMenu(kSetup); }

// ---------------------------------------------------------------------------
// Accelerator table 109.
// ---------------------------------------------------------------------------

void CheckAccelerators(const Program& program) {
  DataModule module(program);

  // As stored: two 8-byte entries, the last one marked with 0x80.
  std::string bytes = module.Resource(RT_ACCELERATOR, IDR_ACCELERATORS);
  REQUIRE(bytes.size() == 16u);
  Reader reader(bytes);
  const WORD keys[2] = {'?', '/'};
  for (int i = 0; i < 2; ++i) {
    WORD flags = reader.Word();
    WORD key = reader.Word();
    WORD command = reader.Word();
    reader.Word();  // padding
    CHECK_EQ(flags & 0x7F, FALT);
    CHECK_EQ(flags & 0x80, i == 1 ? 0x80 : 0);
    CHECK_EQ(key, keys[i]);
    CHECK_EQ(command, IDM_ABOUT);
  }

  // As the system loads it.
  HACCEL table = LoadAcceleratorsA(module.get(), MAKEINTRESOURCEA(IDR_ACCELERATORS));
  REQUIRE(table != nullptr);
  ACCEL entries[4] = {};
  int count = CopyAcceleratorTableA(table, entries, 4);
  CHECK_EQ(count, 2);
  for (int i = 0; i < 2 && i < count; ++i) {
    CHECK_EQ(entries[i].fVirt, FALT);  // character code, not FVIRTKEY
    CHECK_EQ(entries[i].key, keys[i]);
    CHECK_EQ(entries[i].cmd, IDM_ABOUT);
  }
  DestroyAcceleratorTable(table);
}

CONFORMANCE_TEST(ResourcesMordeltAccelerators) { CheckAccelerators(kMordelt); }
CONFORMANCE_TEST(ResourcesSetupAccelerators) { CheckAccelerators(kSetup); }

// ---------------------------------------------------------------------------
// About box, dialog 103.
// ---------------------------------------------------------------------------

struct DialogControl {
  DWORD style = 0;
  DWORD ex_style = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  int id = 0;
  NameOrOrdinal window_class;
  NameOrOrdinal text;
};

struct Dialog {
  DWORD style = 0;
  DWORD ex_style = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  NameOrOrdinal menu;
  NameOrOrdinal window_class;
  std::string caption;
  WORD point_size = 0;
  std::string font;
  std::vector<DialogControl> controls;
};

// Parses a DLGTEMPLATE or a DLGTEMPLATEEX with its controls.
Dialog ParseDialog(const std::string& bytes, bool* ok) {
  Dialog dialog;
  Reader reader(bytes);
  const bool extended = bytes.size() >= 4 && static_cast<unsigned char>(bytes[2]) == 0xFF &&
                        static_cast<unsigned char>(bytes[3]) == 0xFF;
  WORD count = 0;
  if (extended) {
    reader.Word();   // dlgVer
    reader.Word();   // signature
    reader.Dword();  // helpID
    dialog.ex_style = reader.Dword();
    dialog.style = reader.Dword();
  } else {
    dialog.style = reader.Dword();
    dialog.ex_style = reader.Dword();
  }
  count = reader.Word();
  dialog.x = reader.Short();
  dialog.y = reader.Short();
  dialog.cx = reader.Short();
  dialog.cy = reader.Short();
  dialog.menu = ReadNameOrOrdinal(reader);
  dialog.window_class = ReadNameOrOrdinal(reader);
  dialog.caption = reader.WideString();
  if (dialog.style & (DS_SETFONT | DS_SHELLFONT)) {
    dialog.point_size = reader.Word();
    if (extended) {
      reader.Word();  // weight
      reader.Byte();  // italic
      reader.Byte();  // charset
    }
    dialog.font = reader.WideString();
  }
  for (WORD i = 0; i < count && reader.ok(); ++i) {
    reader.AlignDword();
    DialogControl control;
    if (extended) {
      reader.Dword();  // helpID
      control.ex_style = reader.Dword();
      control.style = reader.Dword();
    } else {
      control.style = reader.Dword();
      control.ex_style = reader.Dword();
    }
    control.x = reader.Short();
    control.y = reader.Short();
    control.cx = reader.Short();
    control.cy = reader.Short();
    control.id = extended ? static_cast<int>(reader.Dword()) : reader.Short();
    control.window_class = ReadNameOrOrdinal(reader);
    control.text = ReadNameOrOrdinal(reader);
    WORD extra = reader.Word();
    reader.Skip(extra);
    dialog.controls.push_back(control);
  }
  *ok = reader.ok() && dialog.controls.size() == count;
  return dialog;
}

void CheckControlFrame(const Location& where, const DialogControl& control, int id, short x,
                       short y, short cx, short cy) {
  CHECK_EQ_AT(where, control.id, id);
  CHECK_EQ_AT(where, control.x, x);
  CHECK_EQ_AT(where, control.y, y);
  CHECK_EQ_AT(where, control.cx, cx);
  CHECK_EQ_AT(where, control.cy, cy);
  CHECK_AT(where, (control.style & (WS_CHILD | WS_VISIBLE)) == (WS_CHILD | WS_VISIBLE));
  CHECK_EQ_AT(where, control.ex_style, 0u);
}

void CheckDialog(const Program& program) {
  DataModule module(program);
  std::string bytes = module.Resource(RT_DIALOG, IDD_ABOUTBOX);
  REQUIRE(!bytes.empty());
  bool ok = false;
  Dialog dialog = ParseDialog(bytes, &ok);
  REQUIRE(ok);

  const DWORD required = WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
  CHECK_EQ(dialog.style & required, required);
  // Nothing else but, where a resource compiler adds it, WS_POPUP.
  CHECK_EQ(dialog.style & ~(required | WS_POPUP), 0u);
  CHECK_EQ(dialog.ex_style, 0u);
  CHECK_EQ(dialog.x, 22);
  CHECK_EQ(dialog.y, 17);
  CHECK_EQ(dialog.cx, 230);
  CHECK_EQ(dialog.cy, 75);
  CHECK(!dialog.menu.present);
  CHECK(!dialog.window_class.present);
  CHECK_EQ(dialog.caption, "About");
  CHECK_EQ(dialog.point_size, 8);
  CHECK_EQ(dialog.font, "System");
  REQUIRE(dialog.controls.size() == 4u);

  // Static icon showing icon group 107.
  const DialogControl& icon = dialog.controls[0];
  CheckControlFrame(CONFORMANCE_HERE, icon, IDC_ABOUT_ICON, 14, 9, 16, 16);
  CHECK(IsClass(icon.window_class, 0x0082, "STATIC"));
  CHECK_EQ(icon.style & SS_TYPEMASK, static_cast<DWORD>(SS_ICON));
  CHECK(icon.text.present && icon.text.is_ordinal);
  CHECK_EQ(icon.text.ordinal, IDI_LARGE_ICON);

  // First text line: no mnemonic prefix, starts a group.
  const DialogControl& line1 = dialog.controls[1];
  CheckControlFrame(CONFORMANCE_HERE, line1, -1, 49, 10, 119, 8);
  CHECK(IsClass(line1.window_class, 0x0082, "STATIC"));
  CHECK_EQ(line1.style & SS_TYPEMASK, static_cast<DWORD>(SS_LEFT));
  CHECK(line1.style & SS_NOPREFIX);
  CHECK(line1.style & WS_GROUP);
  CHECK(!line1.text.is_ordinal);
  CHECK_EQ(line1.text.text, program.about_line);

  // Second text line: left-aligned, starts a group, some text.
  const DialogControl& line2 = dialog.controls[2];
  CheckControlFrame(CONFORMANCE_HERE, line2, -1, 49, 20, 119, 8);
  CHECK(IsClass(line2.window_class, 0x0082, "STATIC"));
  CHECK_EQ(line2.style & SS_TYPEMASK, static_cast<DWORD>(SS_LEFT));
  CHECK(line2.style & WS_GROUP);
  CHECK(!line2.text.is_ordinal && !line2.text.text.empty());

  // Default push button OK.
  const DialogControl& button = dialog.controls[3];
  CheckControlFrame(CONFORMANCE_HERE, button, IDOK, 195, 6, 30, 11);
  CHECK(IsClass(button.window_class, 0x0080, "BUTTON"));
  CHECK_EQ(button.style & BS_TYPEMASK, static_cast<DWORD>(BS_DEFPUSHBUTTON));
  CHECK(button.style & WS_TABSTOP);
  CHECK(button.style & WS_GROUP);
  CHECK(!button.text.is_ordinal);
  CHECK_EQ(button.text.text, "OK");
}

CONFORMANCE_TEST(ResourcesMordeltAboutDialog) { CheckDialog(kMordelt); }
CONFORMANCE_TEST(ResourcesSetupAboutDialog) { CheckDialog(kSetup); }

// ---------------------------------------------------------------------------
// Icon groups 107 and 108.
// ---------------------------------------------------------------------------

void CheckIconGroup(const Location& where, const DataModule& module, const Program& program,
                    WORD group) {
  std::string bytes = module.Resource(RT_GROUP_ICON, group);
  REQUIRE_AT(where, !bytes.empty());
  Reader reader(bytes);
  CHECK_EQ_AT(where, reader.Word(), 0);  // reserved
  CHECK_EQ_AT(where, reader.Word(), 1);  // icons, not cursors
  WORD count = reader.Word();

  std::set<std::pair<int, WORD>> found;  // (size, bits)
  for (WORD i = 0; i < count && reader.ok(); ++i) {
    BYTE width = reader.Byte();
    BYTE height = reader.Byte();
    BYTE colours = reader.Byte();
    reader.Byte();  // reserved
    WORD planes = reader.Word();
    WORD bits = reader.Word();
    DWORD size = reader.Dword();
    WORD id = reader.Word();
    CHECK_EQ_AT(where, width, height);
    CHECK_EQ_AT(where, planes, 1);
    CHECK_EQ_AT(where, colours, bits == 4 ? 16 : 0);
    CHECK_AT(where, found.insert({width, bits}).second);
    // The image itself is there, with the size that the group gives.
    std::string image = module.Resource(RT_ICON, id);
    CHECK_EQ_AT(where, image.size(), static_cast<size_t>(size));
    if (image.size() >= 40) {
      Reader header(image);
      CHECK_EQ_AT(where, header.Dword(), 40u);  // BITMAPINFOHEADER
      CHECK_EQ_AT(where, static_cast<int>(header.Dword()), static_cast<int>(width));
      CHECK_EQ_AT(where, static_cast<int>(header.Dword()), 2 * width);
      header.Word();
      CHECK_EQ_AT(where, header.Word(), bits);
    }
  }
  CHECK_AT(where, reader.ok());

  std::set<std::pair<int, WORD>> expected;
  for (int size : {48, 32, 16}) {
    for (WORD bits : program.icon_bits) expected.insert({size, bits});
  }
  CHECK_AT(where, found == expected);
  CHECK_EQ_AT(where, static_cast<size_t>(count), expected.size());

  // The system can make an icon of it.
  HICON icon =
      static_cast<HICON>(LoadImageA(module.get(), MAKEINTRESOURCEA(group), IMAGE_ICON, 32, 32, 0));
  CHECK_AT(where, icon != nullptr);
  if (icon != nullptr) DestroyIcon(icon);
}

void CheckIcons(const Program& program) {
  DataModule module(program);
  CheckIconGroup(CONFORMANCE_HERE, module, program, IDI_LARGE_ICON);
  CheckIconGroup(CONFORMANCE_HERE, module, program, IDI_SMALL_ICON);
}

CONFORMANCE_TEST(ResourcesMordeltIcons) { CheckIcons(kMordelt); }
CONFORMANCE_TEST(ResourcesSetupIcons) { CheckIcons(kSetup); }

// ---------------------------------------------------------------------------
// Manifest, no version resource, languages, and nothing else.
// ---------------------------------------------------------------------------

struct ResourceEntry {
  std::string type;
  std::string name;
  WORD language;
  bool operator<(const ResourceEntry& other) const {
    return std::tie(type, name, language) < std::tie(other.type, other.name, other.language);
  }
};

std::string IdText(LPCSTR id) {
  if (IS_INTRESOURCE(id)) return "#" + std::to_string(reinterpret_cast<ULONG_PTR>(id));
  return id;
}

struct Enumeration {
  std::vector<ResourceEntry>* entries;
  std::string type;
  std::string name;
};

BOOL CALLBACK OnLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR parameter) {
  auto* state = reinterpret_cast<Enumeration*>(parameter);
  state->entries->push_back(ResourceEntry{state->type, state->name, language});
  return TRUE;
}

BOOL CALLBACK OnName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR parameter) {
  auto* state = reinterpret_cast<Enumeration*>(parameter);
  Enumeration inner{state->entries, IdText(type), IdText(name)};
  EnumResourceLanguagesA(module, type, name, &OnLanguage, reinterpret_cast<LONG_PTR>(&inner));
  return TRUE;
}

BOOL CALLBACK OnType(HMODULE module, LPSTR type, LONG_PTR parameter) {
  EnumResourceNamesA(module, type, &OnName, parameter);
  return TRUE;
}

std::vector<ResourceEntry> AllResources(const DataModule& module) {
  std::vector<ResourceEntry> entries;
  Enumeration state{&entries, "", ""};
  EnumResourceTypesA(module.get(), &OnType, reinterpret_cast<LONG_PTR>(&state));
  return entries;
}

void CheckManifestAndLanguages(const Program& program) {
  DataModule module(program);

  std::string manifest = module.Resource(RT_MANIFEST, 1);
  REQUIRE(!manifest.empty());
  CHECK(manifest.find("<assembly") != std::string::npos);
  CHECK(manifest.find("manifestVersion=\"1.0\"") != std::string::npos);
  // No content: no dependency, no execution level, no other element.
  size_t open = manifest.find("<assembly");
  size_t close = manifest.find('>', open);
  size_t end = manifest.find("</assembly>");
  CHECK(close != std::string::npos && end != std::string::npos);
  if (close != std::string::npos && end != std::string::npos && end > close) {
    std::string inside = manifest.substr(close + 1, end - close - 1);
    CHECK_EQ(inside.find_first_not_of(" \t\r\n"), std::string::npos);
  }

  // No version resource, in any language.
  CHECK(FindResourceA(module.get(), MAKEINTRESOURCEA(1), RT_VERSION) == nullptr);

  std::vector<ResourceEntry> entries = AllResources(module);
  CHECK(!entries.empty());
  std::set<std::string> types;
  int manifests = 0;
  for (const ResourceEntry& entry : entries) {
    if (entry.language != kEnglishUs) {
      ReportFailure(CONFORMANCE_HERE, "resource type " + entry.type + " name " + entry.name +
                                          " has language " + std::to_string(entry.language));
    }
    types.insert(entry.type);
    if (entry.type == "#24") ++manifests;
  }
  CHECK_EQ(manifests, 1);
  const std::set<std::string> expected_types = {
      "#3",   // RT_ICON
      "#4",   // RT_MENU
      "#5",   // RT_DIALOG
      "#6",   // RT_STRING
      "#9",   // RT_ACCELERATOR
      "#14",  // RT_GROUP_ICON
      "#24",  // RT_MANIFEST
  };
  CHECK(types == expected_types);
  if (types != expected_types) {
    std::string list;
    for (const std::string& type : types) list += type + " ";
    ReportFailure(CONFORMANCE_HERE, "resource types found: " + list);
  }
}

CONFORMANCE_TEST(ResourcesMordeltManifestAndLanguages) { CheckManifestAndLanguages(kMordelt); }
CONFORMANCE_TEST(ResourcesSetupManifestAndLanguages) { CheckManifestAndLanguages(kSetup); }

}  // namespace
}  // namespace conformance
