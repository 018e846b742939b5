// TExListBox in a window of this process: painting of the three row kinds, the erase of only
// the area below the rows, and the log file formats with their "File error" box.

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/driver/e2e_message_box.h"
#include "mendit/ex_list_box.h"
#include "framework/application.h"
#include "framework/dc.h"
#include "framework/frame_window.h"
#include "mendit/resource_ids.h"

namespace {

const COLORREF White = RGB(255, 255, 255), Red = RGB(255, 0, 0), Yellow = RGB(255, 255, 0),
               Blue = RGB(0, 0, 255);

struct TLogWindow {
  TLogWindow() {
    Frame = std::make_unique<TFrameWindow>(nullptr, "log test");
    Frame->GetAttr().Style = WS_POPUP | WS_VISIBLE;
    Frame->GetAttr().X = 0;
    Frame->GetAttr().Y = 0;
    Frame->GetAttr().W = 400;
    Frame->GetAttr().H = 200;
    List = std::make_unique<TExListBox>(Frame.get(), 106, 0, 0, 400, 200);
    Frame->Create();
    Pump();
  }
  static void Pump() { TApplication::PumpWaitingMessages(); }
  COLORREF Pixel(int x, int y) {
    UpdateWindow(List->GetHandle());
    HDC dc = GetDC(List->GetHandle());
    COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(List->GetHandle(), dc);
    return colour;
  }
  // Near the right end of the rows, where no text reaches.
  int RightX() {
    RECT client = List->GetClientRect();
    return client.right - 3;
  }
  int RowMiddle(int index) {
    RECT r;
    List->GetItemRect(index, r);
    return (r.top + r.bottom) / 2;
  }

  TApplication App{"log test"};
  std::unique_ptr<TFrameWindow> Frame;
  std::unique_ptr<TExListBox> List;
  HINSTANCE Self = GetModuleHandleA(nullptr);
  TExListBoxPar Info{Self, IDB_INFO, White, RGB(0, 0, 0), ""};
  TExListBoxPar Error{Self, IDB_ERROR, Red, White, "ERROR"};
  TExListBoxPar Warning{Self, IDB_WARNING, Yellow, RGB(0, 0, 0), "WARNING"};
};

TEST(ExListBox, RowsPaintTheirKindAndOnlyTheRestIsErased) {
  TLogWindow w;
  ASSERT_NE(nullptr, w.List->GetHandle());
  EXPECT_EQ(White, w.Pixel(200, 100));  // empty list: window colour everywhere
  EXPECT_EQ(0, w.List->AddItem("information", &w.Info));
  EXPECT_EQ(1, w.List->AddItem("error", &w.Error));
  EXPECT_EQ(2, w.List->AddItem("warning", &w.Warning));
  w.List->AddString("no kind");  // item data 0: not painted
  InvalidateRect(w.List->GetHandle(), nullptr, TRUE);
  struct Row {
    int index;
    COLORREF background;
    COLORREF picture;  // at (4, 5) of the row's 16 x 16 picture
  } rows[] = {{0, White, White}, {1, Red, Red}, {2, Yellow, Blue}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.index);
    RECT r;
    w.List->GetItemRect(row.index, r);
    EXPECT_EQ(row.background, w.Pixel(w.RightX(), w.RowMiddle(row.index)));
    EXPECT_EQ(row.picture, w.Pixel(4, r.top + 5));
  }
  // Selecting the warning row inverts its text area, not its picture.
  w.List->SendMessage(LB_SETCURSEL, 2);
  RECT r;
  w.List->GetItemRect(2, r);
  EXPECT_EQ(Blue, w.Pixel(w.RightX(), w.RowMiddle(2)));  // yellow inverted
  EXPECT_EQ(Blue, w.Pixel(4, r.top + 5));         // the disc stays blue

  // Erasing paints below the last row only: a colour put on the rows survives it.
  HDC dc = GetDC(w.List->GetHandle());
  SetPixel(dc, w.RightX(), w.RowMiddle(0), RGB(0, 255, 0));
  SetPixel(dc, w.RightX(), 150, RGB(0, 255, 0));
  w.List->SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc));
  EXPECT_EQ(RGB(0, 255, 0), GetPixel(dc, w.RightX(), w.RowMiddle(0)));
  EXPECT_EQ(White, GetPixel(dc, w.RightX(), 150));
  ReleaseDC(w.List->GetHandle(), dc);
}

std::string ReadFile(const std::string& path) {
  std::string text;
  if (FILE* file = std::fopen(path.c_str(), "rb")) {
    char chunk[512];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
    std::fclose(file);
  }
  return text;
}

std::string TempPath(const char* name) {
  char dir[MAX_PATH];
  GetTempPathA(MAX_PATH, dir);
  return std::string(dir) + name;
}

TEST(ExListBox, SaveAndAppendWriteLabelledLines) {
  TLogWindow w;
  w.List->AddItem("first", &w.Info);
  w.List->AddItem("broken", &w.Error);
  w.List->AddItem("odd", &w.Warning);
  w.List->AddString("plain");
  const std::string path = TempPath("ex_list_box_test.log");
  const std::string lines = "\tfirst\r\n[ERROR]\tbroken\r\n[WARNING]\todd\r\n\tplain\r\n";
  EXPECT_EQ(0, w.List->SaveToFile(path.c_str()));
  EXPECT_EQ(lines, ReadFile(path));
  EXPECT_EQ(0, w.List->AppendToFile(path.c_str()));
  EXPECT_EQ(lines + lines, ReadFile(path));
  EXPECT_EQ(0, w.List->SaveToFile(path.c_str()));
  EXPECT_EQ(lines, ReadFile(path));
  DeleteFileA(path.c_str());
}

TEST(ExListBox, UnopenableFileAsksRetryOrCancel) {
  TLogWindow w;
  w.List->AddItem("row", &w.Info);
  const std::string path = TempPath("no such directory\\x.log");
  struct Case {
    bool append;
    const wchar_t* text;
  } cases[] = {{false, L"Cannot open file for writing"}, {true, L"Cannot open file for appending"}};
  for (const Case& c : cases) {
    // Another thread answers the boxes: retry once, then cancel.
    std::vector<std::wstring> texts;
    std::thread answerer([&] {
      for (int answer : {IDRETRY, IDCANCEL}) {
        HWND box = nullptr;
        for (int i = 0; i < 500 && !box; ++i, Sleep(20)) box = FindWindowW(L"#32770", L"File error");
        if (!box) return;
        texts.push_back(e2e::MessageBoxText(box));
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
        while (IsWindow(box)) Sleep(20);
      }
    });
    int result = c.append ? w.List->AppendToFile(path.c_str()) : w.List->SaveToFile(path.c_str());
    answerer.join();
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_EQ(std::vector<std::wstring>(2, c.text), texts);
  }
}

}  // namespace
