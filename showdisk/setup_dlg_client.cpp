#include "setup_dlg_client.h"

#include <shellapi.h>

#include <string>

#include "disc_items.h"
#include "framework/response_table.h"
#include "setup_app.h"
#include "transparent_button.h"

namespace {

// The buttons are made and enabled in this order (not the template's).
const int ButtonOrder[] = {IDC_MENDIT_SETUP, IDC_PRODUCT_INFO, IDC_VORNAX_SETUP, IDC_WIRESCOPE_DEMO,
                            IDC_IE4_SETUP,    IDC_EXIT,         IDC_PPVIEW_SETUP, IDC_VORNAX_SHOW};

}  // namespace

TSetupDlgClient::TSetupDlgClient(TWindow* parent, int resourceId, HINSTANCE module)
    : TDialog(parent, resourceId, module) {
  static_assert(sizeof ButtonOrder / sizeof ButtonOrder[0] == ButtonCount, "one button per id");
  for (int i = 0; i < ButtonCount; ++i) Buttons[i].reset(new TTransparentButton(this, ButtonOrder[i]));
}

TSetupDlgClient::~TSetupDlgClient() = default;

void TSetupDlgClient::SetupWindow() {
  TDialog::SetupWindow();
  for (auto& button : Buttons) button->EnableWindow(true);
}

bool TSetupDlgClient::Respond(const TMessage& msg, LRESULT& result) {
  using R = TResponse<TSetupDlgClient>;
  // Button 1 has no entry: it is OK, which the dialog answers by closing.
  static const R table[] = {
      R::Command(IDC_VORNAX_SETUP, &TSetupDlgClient::CmVornaxSetup),
      R::Command(IDC_WIRESCOPE_DEMO, &TSetupDlgClient::CmWirescopeDemo),
      R::Command(IDC_IE4_SETUP, &TSetupDlgClient::CmIe4Setup),
      R::Command(IDC_MENDIT_SETUP, &TSetupDlgClient::CmMenditSetup),
      R::Command(IDC_PRODUCT_INFO, &TSetupDlgClient::CmProductInfo),
      R::Command(IDC_PPVIEW_SETUP, &TSetupDlgClient::CmPpViewSetup),
      R::Command(IDC_VORNAX_SHOW, &TSetupDlgClient::CmVornaxShow),
  };
  return R::Find(this, table, msg, result) || TDialog::Respond(msg, result);
}

void TSetupDlgClient::CmVornaxSetup() { StartItem(IDC_VORNAX_SETUP); }
void TSetupDlgClient::CmWirescopeDemo() { StartItem(IDC_WIRESCOPE_DEMO); }
void TSetupDlgClient::CmIe4Setup() { StartItem(IDC_IE4_SETUP); }
void TSetupDlgClient::CmMenditSetup() { StartItem(IDC_MENDIT_SETUP); }
void TSetupDlgClient::CmProductInfo() { StartItem(IDC_PRODUCT_INFO); }
void TSetupDlgClient::CmPpViewSetup() { StartItem(IDC_PPVIEW_SETUP); }
void TSetupDlgClient::CmVornaxShow() { StartItem(IDC_VORNAX_SHOW); }

void TSetupDlgClient::StartItem(int id) {
  const TDiscItem* item = FindDiscItem(id);
  if (!item) return;
  HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  auto* app = static_cast<TSetupApp*>(GetApplication());
  // ModuleDir ends in a backslash (or is empty): no separator to add.
  std::string path = app->ModuleDir + item->Path;
  HINSTANCE started = ShellExecuteA(nullptr, item->Verb, path.c_str(), nullptr, nullptr, item->ShowMode);
  // Values up to 32 are the shell's error codes. The launcher stays as it is either way.
  if (reinterpret_cast<INT_PTR>(started) <= 32) MessageBox(item->Message, "Blad", MB_OK | MB_ICONHAND);
  SetCursor(previous);
}
