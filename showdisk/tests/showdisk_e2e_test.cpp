// showdisk end to end: the real program started from a test disc, driven with real
// pointer and keyboard input, checked through its windows and the pixels on the screen.
// Screenshots go to screenshots/ in the working directory.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "tests/driver/e2e_driver.h"
#include "showdisk/resource_ids.h"
#include "test_disc.h"

namespace {

const wchar_t Title[] = L"Tarvel DEMO PACK";
const unsigned TimeoutMs = 8000;

std::string Shot(const char* name) { return std::string("screenshots\\") + name + ".png"; }

// Number of pixels in which two images differ (all of them if the sizes differ).
size_t Differences(const e2e::Image& a, const e2e::Image& b) {
  if (a.width != b.width || a.height != b.height) return a.pixels.size() + b.pixels.size();
  size_t count = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) count += a.pixels[i] != b.pixels[i];
  return count;
}

e2e::Image WithInverted(e2e::Image image, const RECT& area) {
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x) {
      e2e::Rgb& pixel = image.pixels[static_cast<size_t>(y) * image.width + x];
      pixel = e2e::Inverted(pixel);
    }
  return image;
}

POINT Centre(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

const int ButtonIds[] = {105, 103, 102, 104, 106, 101, 1, 107};

INT_PTR CALLBACK QuietDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// The launcher's own dialog template, created hidden in this process, to measure what its
// font makes of dialog units (MapDialogRect works only on a dialog of one's own process).
class TemplateUnits {
 public:
  explicit TemplateUnits(const std::string& launcher) {
    module = LoadLibraryExA(launcher.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC found = module ? FindResourceA(module, MAKEINTRESOURCEA(IDD_CLIENT), MAKEINTRESOURCEA(5)) : nullptr;
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    auto* dialogTemplate = loaded ? static_cast<LPCDLGTEMPLATEA>(LockResource(loaded)) : nullptr;
    header = reinterpret_cast<const DLGTEMPLATE*>(dialogTemplate);
    if (dialogTemplate)
      // The wide function: the captions come from the template as written, whatever
      // this process's ANSI code page.
      dialog = CreateDialogIndirectParamW(GetModuleHandleA(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(dialogTemplate),
                                          nullptr, QuietDialogProc, 0);
  }
  ~TemplateUnits() {
    if (dialog) DestroyWindow(dialog);
    if (module) FreeLibrary(module);
  }
  bool Ok() const { return dialog != nullptr; }
  HWND Dialog() const { return dialog; }
  const DLGTEMPLATE* Header() const { return header; }
  // Position and size as the dialog manager places a control: each mapped on its own.
  RECT Place(int x, int y, int w, int h) const {
    RECT at = {x, y, x, y};
    RECT size = {0, 0, w, h};
    MapDialogRect(dialog, &at);
    MapDialogRect(dialog, &size);
    return {at.left, at.top, at.left + size.right, at.top + size.bottom};
  }

 private:
  HMODULE module = nullptr;
  HWND dialog = nullptr;
  const DLGTEMPLATE* header = nullptr;
};

class ShowdiskTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    CreateDirectoryA("screenshots", nullptr);
    ASSERT_TRUE(disc.Build("disc"));
  }

  void TearDown() override {
    if (HasFailure()) e2e::SavePng(e2e::CaptureWholeScreen(), Shot("failure"));
    launcher.End();
  }

  // Starts the launcher (from a working directory other than the disc, so that only its
  // own directory can lead to the items) and waits for its picture with the pointer away.
  void Start(WORD showCommand = SW_SHOWNORMAL) {
    MoveAway();
    ASSERT_TRUE(launcher.Start("\"" + disc.Launcher() + "\"", "", showCommand));
    frame = e2e::WaitForTopWindow(launcher.Id(), nullptr, Title, TimeoutMs);
    ASSERT_NE(nullptr, frame);
    dialog = FindWindowExW(frame, nullptr, L"#32770", nullptr);
    ASSERT_NE(nullptr, dialog);
    if (showCommand == SW_HIDE) return;
    // The buttons are enabled once the dialog is set up.
    ASSERT_TRUE(e2e::WaitUntil([&] { return IsWindowEnabled(GetDlgItem(dialog, 106)) != 0; }, TimeoutMs));
    ASSERT_TRUE(e2e::WaitUntil([&] { return CaptureDialog() == ExpectedPicture(); }, TimeoutMs))
        << Differences(CaptureDialog(), ExpectedPicture()) << " pixels differ from the picture";
    baseline = CaptureDialog();
  }

  static void MoveAway() { e2e::MovePointer(1, 1); }

  e2e::Image CaptureDialog() const { return e2e::CaptureScreen(e2e::ClientRectOnScreen(dialog)); }

  // Bitmap 3 at its real size, centred in the dialog-sized picture control, the rest in
  // the colour of its top-left pixel (how a centred bitmap fills its control). The control
  // centres by halving each size on its own (half the control less half the picture): where
  // the dialog's font makes the dialog smaller than the picture by an odd count, halving the
  // difference instead would put the picture one row or column off.
  e2e::Image ExpectedPicture() const {
    e2e::Image picture = e2e::LoadBitmapResource(disc.Launcher(), IDB_BACKGROUND);
    RECT client = {};
    GetClientRect(dialog, &client);
    e2e::Image want;
    if (picture.width == 0) return want;
    want.width = client.right;
    want.height = client.bottom;
    want.pixels.assign(static_cast<size_t>(want.width) * want.height, picture.At(0, 0));
    const int left = want.width / 2 - picture.width / 2;
    const int top = want.height / 2 - picture.height / 2;
    for (int y = 0; y < picture.height; ++y)
      for (int x = 0; x < picture.width; ++x) {
        int wx = left + x, wy = top + y;
        if (wx >= 0 && wy >= 0 && wx < want.width && wy < want.height)
          want.pixels[static_cast<size_t>(wy) * want.width + wx] = picture.At(x, y);
      }
    return want;
  }

  HWND Button(int id) const { return GetDlgItem(dialog, id); }

  // A button's rectangle in the dialog's client coordinates.
  RECT InDialog(int id) const {
    RECT r = e2e::WindowRect(Button(id));
    MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
  }

  // A point of the button on the screen, dx pixels right of its centre.
  POINT OnButton(int id, int dx = 0) const {
    POINT p = Centre(e2e::WindowRect(Button(id)));
    p.x += dx;
    return p;
  }

  bool ScreenBecomes(const e2e::Image& want) {
    return e2e::WaitUntil([&] { return CaptureDialog() == want; }, TimeoutMs);
  }

  bool Highlights(int id) { return ScreenBecomes(WithInverted(baseline, InDialog(id))); }

  static TestDisc disc;
  e2e::Process launcher;
  HWND frame = nullptr;
  HWND dialog = nullptr;
  e2e::Image baseline;
};

TestDisc ShowdiskTest::disc;

TEST_F(ShowdiskTest, FixedFrameCentredAroundThePicture) {
  ASSERT_NO_FATAL_FAILURE(Start());
  e2e::SavePng(e2e::CaptureWholeScreen(), Shot("launcher"));

  const LONG style = GetWindowLongA(frame, GWL_STYLE);
  const LONG absent = WS_CHILD | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
  EXPECT_EQ(0, style & absent);
  EXPECT_EQ(WS_VISIBLE | WS_CLIPCHILDREN, style & (WS_VISIBLE | WS_CLIPCHILDREN));

  // The frame is exactly the dialog, and the dialog is 372 x 250 dialog units.
  TemplateUnits units(disc.Launcher());
  ASSERT_TRUE(units.Ok());
  const RECT want = units.Place(0, 0, 372, 250);
  const RECT window = e2e::WindowRect(frame);
  const RECT client = e2e::ClientRectOnScreen(frame);
  const RECT dialogArea = e2e::WindowRect(dialog);
  EXPECT_EQ(want.right, window.right - window.left);
  EXPECT_EQ(want.bottom, window.bottom - window.top);
  EXPECT_EQ(0, memcmp(&window, &client, sizeof window)) << "the frame has a border or caption";
  EXPECT_EQ(0, memcmp(&window, &dialogArea, sizeof window)) << "the dialog does not fill the frame";

  const int w = window.right - window.left, h = window.bottom - window.top;
  EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - w) / 2, window.left);
  EXPECT_EQ((GetSystemMetrics(SM_CYSCREEN) - h) / 2, window.top);

}

// The dialog's controls by rule, not as a copy of the .rc: the picture first, filling the
// dialog; then the item buttons, each a visible, owner-drawn tab stop inside the picture, none
// overlapping another, in tab order from top to bottom and, on one line, from left to right.
TEST_F(ShowdiskTest, DialogControlsFollowTheRules) {
  ASSERT_NO_FATAL_FAILURE(Start());
  TemplateUnits units(disc.Launcher());
  ASSERT_TRUE(units.Ok());
  HWND control = GetWindow(dialog, GW_CHILD);
  ASSERT_NE(nullptr, control);
  EXPECT_EQ(0, _wcsicmp(L"Static", e2e::ClassName(control).c_str()));
  EXPECT_EQ(static_cast<DWORD>(SS_BITMAP), static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE)) & 0x1F);
  RECT picture = e2e::WindowRect(control);
  MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&picture), 2);
  const RECT whole = units.Place(0, 0, 372, 250);
  EXPECT_EQ(0, memcmp(&picture, &whole, sizeof picture)) << "the picture does not fill the dialog";

  std::vector<RECT> buttons;
  std::vector<int> ids;
  for (control = GetWindow(control, GW_HWNDNEXT); control; control = GetWindow(control, GW_HWNDNEXT)) {
    const int id = GetDlgCtrlID(control);
    SCOPED_TRACE(id);
    EXPECT_EQ(0, _wcsicmp(L"Button", e2e::ClassName(control).c_str()));
    const DWORD style = static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE));
    const DWORD flags = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
    EXPECT_EQ(flags, style & flags);
    EXPECT_EQ(static_cast<DWORD>(BS_OWNERDRAW), style & 0x0F);  // the button type
    RECT place = e2e::WindowRect(control);
    MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&place), 2);
    EXPECT_TRUE(place.left >= picture.left && place.top >= picture.top && place.right <= picture.right &&
                place.bottom <= picture.bottom)
        << "outside the picture";
    for (const RECT& other : buttons) {
      RECT common;
      EXPECT_FALSE(IntersectRect(&common, &place, &other)) << "overlaps another button";
    }
    if (!buttons.empty()) {
      const RECT& before = buttons.back();
      EXPECT_TRUE(place.top > before.top || (place.top == before.top && place.left > before.left))
          << "out of tab order";
    }
    buttons.push_back(place);
    ids.push_back(id);
  }
  std::vector<int> want(std::begin(ButtonIds), std::end(ButtonIds));
  std::sort(want.begin(), want.end());
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(want, ids) << "one button per disc item";

  const struct {
    int id;
    const wchar_t* text;
  } captions[] = {
      {105, L"Informacje techniczne i handlowe"},
      {103, L"Zainstaluj DEMO programu VORNAX"},
      {102, L"Uruchom demo programu \"Wirescope\""},
      {106, L"Uruchom prezentacje programu VORNAX"},
      {101, L"Zainstaluj Microsoft Internet Explorer 4.00"},
      {1, L"Wyj\u015Bcie z programu"},
      {107, L"Zainstaluj PP Viewer"},
  };
  // The template's own texts (the live buttons get theirs through the ANSI code page
  // under Wine, which has no letter for the Polish one).
  for (const auto& caption : captions)
    EXPECT_EQ(std::wstring(caption.text), e2e::WindowText(GetDlgItem(units.Dialog(), caption.id)));
  EXPECT_EQ(L"Dialog Client", e2e::WindowText(units.Dialog()));

  const DLGTEMPLATE& header = *units.Header();
  EXPECT_EQ(static_cast<DWORD>(WS_POPUP | WS_CAPTION | DS_CENTER | DS_MODALFRAME | DS_SETFONT), header.style);
  EXPECT_EQ(9, header.cdit);
  EXPECT_EQ(45, header.x);
  EXPECT_EQ(25, header.y);
  EXPECT_EQ(372, header.cx);
  EXPECT_EQ(250, header.cy);
}

// The resources as stored: sizes and colour depths of the pictures and the icon.
TEST(ShowdiskResources, PicturesAndIcon) {
  HMODULE module = LoadLibraryExA(e2e::WinePath(SHOWDISK_EXE).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(nullptr, module);
  auto raw = [&](int id, int type) -> const unsigned char* {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(type));
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    return loaded ? static_cast<const unsigned char*>(LockResource(loaded)) : nullptr;
  };
  const struct {
    int id, width, height, bits;
  } bitmaps[] = {{IDB_BACKGROUND, 556, 398, 24}, {IDB_BUTTON, 22, 22, 8}};
  for (const auto& want : bitmaps) {
    SCOPED_TRACE(want.id);
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(raw(want.id, 2 /* RT_BITMAP */));
    ASSERT_NE(nullptr, header);
    EXPECT_EQ(want.width, header->biWidth);
    EXPECT_EQ(want.height, header->biHeight);
    EXPECT_EQ(want.bits, header->biBitCount);
    EXPECT_EQ(static_cast<DWORD>(BI_RGB), header->biCompression);
  }
  // Icon group: count, then per image width, height, colours, reserved, planes, bits,
  // bytes (4) and id (2): 14 bytes each after a 6-byte header.
  const unsigned char* group = raw(IDI_SHOWDISK, 14 /* RT_GROUP_ICON */);
  ASSERT_NE(nullptr, group);
  ASSERT_EQ(2, group[4]);
  const int sizes[] = {32, 16};
  for (int i = 0; i < 2; ++i) {
    const unsigned char* entry = group + 6 + 14 * i;
    EXPECT_EQ(sizes[i], entry[0]);
    EXPECT_EQ(sizes[i], entry[1]);
    EXPECT_EQ(16, entry[2]);
  }
  FreeLibrary(module);
}

TEST_F(ShowdiskTest, HoverInvertsExactlyTheButtonAndLeavingRestoresThePicture) {
  ASSERT_NO_FATAL_FAILURE(Start());
  for (int id : ButtonIds) {
    SCOPED_TRACE(id);
    ASSERT_TRUE(e2e::MovePointer(OnButton(id).x, OnButton(id).y));
    EXPECT_TRUE(Highlights(id)) << Differences(CaptureDialog(), WithInverted(baseline, InDialog(id)));
    if (id == 104) e2e::SavePng(e2e::CaptureWholeScreen(), Shot("highlight"));
    // Off the buttons but inside the window (the logo), then back on and out of the
    // window altogether: the capture lets the button see both.
    RECT logo = {10, 10, 11, 11};
    MapWindowPoints(dialog, HWND_DESKTOP, reinterpret_cast<POINT*>(&logo), 2);
    e2e::MovePointer(logo.left, logo.top);
    EXPECT_TRUE(ScreenBecomes(baseline)) << Differences(CaptureDialog(), baseline);
    e2e::MovePointer(OnButton(id, 5).x, OnButton(id, 5).y);
    EXPECT_TRUE(Highlights(id));
    MoveAway();
    EXPECT_TRUE(ScreenBecomes(baseline)) << Differences(CaptureDialog(), baseline);
  }
}

TEST_F(ShowdiskTest, MovingStraightToANeighbourMovesTheHighlight) {
  ASSERT_NO_FATAL_FAILURE(Start());
  const int path[] = {105, 103, 102, 104, 106, 101, 1, 107, 101};
  int previous = 0;
  for (int id : path) {
    SCOPED_TRACE(id);
    e2e::MovePointer(OnButton(id).x, OnButton(id).y);
    if (previous) {
      // The move onto the neighbour reaches the button that holds the capture: it lets go.
      RECT old = InDialog(previous);
      EXPECT_TRUE(e2e::WaitUntil([&] { return CaptureDialog().Crop(old) == baseline.Crop(old); }, TimeoutMs));
    }
    // The next move goes to the neighbour.
    e2e::MovePointer(OnButton(id, 3).x, OnButton(id, 3).y);
    EXPECT_TRUE(Highlights(id)) << Differences(CaptureDialog(), WithInverted(baseline, InDialog(id)));
    previous = id;
  }
  MoveAway();
  EXPECT_TRUE(ScreenBecomes(baseline));
}

TEST_F(ShowdiskTest, RepeatedEnterAndLeaveLeavesThePictureUnchanged) {
  ASSERT_NO_FATAL_FAILURE(Start());
  const POINT on = OnButton(1);
  for (int round = 0; round < 10; ++round) {
    e2e::MovePointer(on.x + round % 3, on.y);
    e2e::MovePointer(on.x + round % 3, 1);
  }
  MoveAway();
  EXPECT_TRUE(ScreenBecomes(baseline)) << Differences(CaptureDialog(), baseline);
}

TEST_F(ShowdiskTest, ClickStartsTheItemAndTheLauncherStays) {
  ASSERT_NO_FATAL_FAILURE(Start());
  const struct {
    int id;
    const char* target;
  } items[] = {
      {103, "VORNAX\\SETUP.EXE"},
      {104, "MENDIT\\SETUP.EXE"},
      {101, "WIN95\\EN\\PACKAGES\\IE4SETUP.EXE"},
      {107, "PPV\\PPView97.EXE"},
      {103, "VORNAX\\SETUP.EXE"},  // again: several starts one after another
  };
  for (const auto& item : items) {
    SCOPED_TRACE(item.target);
    disc.RemoveMarker(item.target);
    ASSERT_TRUE(e2e::Click(OnButton(item.id).x, OnButton(item.id).y));
    EXPECT_TRUE(e2e::WaitUntil([&] { return !disc.ReadMarker(item.target).empty(); }, TimeoutMs));
    EXPECT_EQ("show=1\nargs=\n", disc.ReadMarker(item.target));
    // Still there, unchanged, once the pointer has gone.
    MoveAway();
    EXPECT_TRUE(ScreenBecomes(baseline)) << Differences(CaptureDialog(), baseline);
    EXPECT_TRUE(launcher.Running());
    EXPECT_TRUE(IsWindowVisible(frame));
  }
}

TEST_F(ShowdiskTest, FailedStartShowsTheItemsMessage) {
  ASSERT_NO_FATAL_FAILURE(Start());
  // The MENDIT installer goes missing for this test.
  const std::string mendit = disc.Path("MENDIT\\SETUP.EXE");
  ASSERT_TRUE(MoveFileA(mendit.c_str(), (mendit + ".away").c_str()));
  const struct {
    int id;
    const wchar_t* message;
  } items[] = {
      {105, L"Nie potrafie uruchomic przegladarki HTML !"},          // no OPISY.URL
      {102, L"Nie potrafie uruchomic \\WSDEMO\\WS.EXE !"},            // no WSDEMO\WS.PIF
      {104, L"Nie potrafie uruchomic \\MENDIT\\SETUP.EXE !"},         // moved away
      {106, L"Nie potrafie uruchomic przegladarki PowerPoint !"},  // no program for .PPT
  };
  for (const auto& item : items) {
    SCOPED_TRACE(item.id);
    ASSERT_TRUE(e2e::Click(OnButton(item.id).x, OnButton(item.id).y));
    HWND box = e2e::WaitForMessageBox(launcher.Id(), L"Blad", TimeoutMs);
    ASSERT_NE(nullptr, box);
    if (item.id == 102) {
      e2e::Pause(700);  // let the box paint itself
      e2e::SavePng(e2e::CaptureWholeScreen(), Shot("message"));
    }
    EXPECT_EQ(std::wstring(item.message), e2e::MessageBoxText(box));
    EXPECT_EQ(frame, GetWindow(box, GW_OWNER));
    EXPECT_TRUE(e2e::PressMessageBoxButton(box, IDOK));
    MoveAway();
    EXPECT_TRUE(ScreenBecomes(baseline)) << Differences(CaptureDialog(), baseline);
    EXPECT_TRUE(launcher.Running());
  }
  MoveFileA((mendit + ".away").c_str(), mendit.c_str());
}

// A document type registered for the length of one test (HKEY_CLASSES_ROOT: Wine's shell
// does not look at the user's own classes).
class DocumentType {
 public:
  DocumentType(const char* extension, const std::string& command) : Extension(extension) {
    Ok = Set(Extension, ProgId) && Set(std::string(ProgId) + "\\shell\\open\\command", command);
  }
  ~DocumentType() {
    for (const char* sub : {"\\shell\\open\\command", "\\shell\\open", "\\shell", ""})
      RegDeleteKeyA(HKEY_CLASSES_ROOT, (std::string(ProgId) + sub).c_str());
    RegDeleteKeyA(HKEY_CLASSES_ROOT, Extension.c_str());
  }
  bool Ok = false;

 private:
  static constexpr const char* ProgId = "ShowdiskTest.Document";
  static bool Set(const std::string& path, const std::string& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != 0)
      return false;
    LONG set = RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                              static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
    return set == ERROR_SUCCESS;
  }
  std::string Extension;
};

// With a program for presentations, the VORNAX show opens through "open", maximised.
TEST_F(ShowdiskTest, PresentationOpensMaximised) {
  const std::string viewer = "PPV\\VIEWER.EXE";
  ASSERT_TRUE(CopyFileA(disc.Path("PPV\\PPView97.EXE").c_str(), disc.Path(viewer).c_str(), FALSE));
  disc.RemoveMarker(viewer);
  DocumentType presentation(".ppt", "\"" + disc.Path(viewer) + "\" \"%1\"");
  ASSERT_TRUE(presentation.Ok);

  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_TRUE(e2e::Click(OnButton(IDC_VORNAX_SHOW).x, OnButton(IDC_VORNAX_SHOW).y));
  EXPECT_TRUE(e2e::WaitUntil([&] { return !disc.ReadMarker(viewer).empty(); }, TimeoutMs));
  EXPECT_EQ("show=3\nargs=\"" + disc.Path("VORNAX.PPT") + "\"\n", disc.ReadMarker(viewer));
  EXPECT_EQ(nullptr, e2e::FindTopWindow(launcher.Id(), L"#32770", L"Blad"));
}

TEST_F(ShowdiskTest, ExitButtonEndsTheProgram) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_TRUE(e2e::Click(OnButton(IDC_EXIT).x, OnButton(IDC_EXIT).y));
  DWORD code = 1;
  EXPECT_TRUE(launcher.WaitForExit(TimeoutMs, &code));
  EXPECT_EQ(0u, code);
}

TEST_F(ShowdiskTest, TabShowsNothingAndEscEndsTheProgram) {
  ASSERT_NO_FATAL_FAILURE(Start());
  // A click on the picture (not on a button) brings the launcher to the front.
  RECT logo = {10, 10, 11, 11};
  MapWindowPoints(dialog, HWND_DESKTOP, reinterpret_cast<POINT*>(&logo), 2);
  e2e::Click(logo.left, logo.top);
  ASSERT_TRUE(e2e::WaitUntil([&] { return GetForegroundWindow() == frame; }, TimeoutMs));
  // Tab moves the focus through the buttons, with no mark to be seen.
  for (int i = 0; i < 3; ++i) e2e::PressKey(VK_TAB);
  e2e::Pause(300);
  EXPECT_TRUE(ScreenBecomes(baseline)) << Differences(CaptureDialog(), baseline);
  e2e::PressKey(VK_ESCAPE);
  DWORD code = 1;
  EXPECT_TRUE(launcher.WaitForExit(TimeoutMs, &code));
  EXPECT_EQ(0u, code);
}

TEST_F(ShowdiskTest, NeverStartsMaximised) {
  ASSERT_NO_FATAL_FAILURE(Start(SW_SHOWMAXIMIZED));
  EXPECT_FALSE(IsZoomed(frame));
  const RECT window = e2e::WindowRect(frame);
  const int w = window.right - window.left, h = window.bottom - window.top;
  EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - w) / 2, window.left);
  EXPECT_EQ((GetSystemMetrics(SM_CYSCREEN) - h) / 2, window.top);
  EXPECT_LT(w, GetSystemMetrics(SM_CXSCREEN));
}

TEST_F(ShowdiskTest, HiddenStartStaysHidden) {
  ASSERT_NO_FATAL_FAILURE(Start(SW_HIDE));
  e2e::Pause(500);
  EXPECT_FALSE(IsWindowVisible(frame));
}

}  // namespace
