// mendit's main dialog in a window of this process, its run's files throwing: the run ends
// with its row, and the window stays usable ("Install patch" enabled, closing allowed).

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "cabinet/cab_pack_files.h"
#include "files/disk_file_system.h"
#include "files/whole_file.h"
#include "framework/frame_window.h"
#include "mendit/menditor_app.h"
#include "mendit/patch_dlg_client.h"
#include "mendit/resource_ids.h"
#include "patch/patch_writer.h"
#include "tests/support/killing_file_system.h"
#include "tests/support/test_folders.h"

namespace {

std::wstring LastRow(HWND list) {
  const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  if (count <= 0) return L"";
  wchar_t text[1024] = L"";
  SendMessageW(list, LB_GETTEXT, count - 1, reinterpret_cast<LPARAM>(text));
  return text;
}

TEST(PatchDlgClient, AnExceptionInTheRunLeavesTheWindowUsable) {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  const std::string folder = std::string(temp) + "mendit-dlg-test";
  RemoveFolderTree(folder);
  MakeFolders(folder + "\\APP");
  TDiskFileSystem disk;
  ASSERT_TRUE(WriteWholeFile(disk, folder + "\\APP\\TOOL.EXE", std::vector<uint8_t>(10, 1)));
  TPatchWriter writer;
  writer.AddCopy("&ROOT&\\NEW.DAT", MakeDosStamp(2002, 1, 2, 3, 4, 6), std::vector<uint8_t>(100, 2));
  TCABPacker::SetConsoleMode(true);
  {
    TCABPacker packer;
    ASSERT_TRUE(PackData(packer, folder + "\\APP.CAB", writer.Bytes(), "APP.PAT"));
  }

  TMenditorApp app;
  app.Name = "TOOL.EXE";
  app.DefaultPath = folder + "\\APP\\";
  app.Patch = folder + "\\APP.CAB";
  auto* client = new TPatchDlgClient(nullptr, IDD_PATCH_CLIENT);  // the frame owns it
  TFrameWindow frame(nullptr, "dialog test", client, true);
  frame.GetAttr().Style = WS_POPUP | WS_VISIBLE;
  ASSERT_TRUE(frame.Create());
  TPatchDlgClient& dialog = *client;
  ASSERT_NE(nullptr, dialog.GetHandle());
  const HWND button = GetDlgItem(dialog.GetHandle(), IDC_INSTALL);
  const HWND log = GetDlgItem(dialog.GetHandle(), IDC_LOG);

  const struct {
    std::function<void()> Throw;
    std::wstring Row;
  } cases[] = {
      {[] { throw std::bad_alloc(); }, L"Cannot install patch: not enough memory"},
      {[] { throw std::runtime_error("disk on fire"); }, L"Cannot install patch: internal error: disk on fire"},
  };
  for (const auto& c : cases) {
    TKillingFileSystem throwing(disk, 0, c.Throw);
    dialog.Files = &throwing;
    SendMessageW(dialog.GetHandle(), WM_COMMAND, MAKEWPARAM(IDC_INSTALL, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    EXPECT_EQ(c.Row, LastRow(log));
    EXPECT_EQ(1, throwing.Changes);
    EXPECT_FALSE(dialog.IsRunning());
    EXPECT_TRUE(IsWindowEnabled(button));
    EXPECT_TRUE(dialog.CanClose());
  }
  EXPECT_FALSE(disk.FileExists((folder + "\\APP\\NEW.DAT").c_str()));
  dialog.Files = nullptr;
  RemoveFolderTree(folder);
}

}  // namespace
