#include "patch_dlg_client.h"

#include <commdlg.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "console/command_line.h"
#include "framework/application.h"
#include "framework/response_table.h"
#include "install/installation_run.h"
#include "log_rules.h"
#include "report/formatting_reporter.h"
#include "menditor_app.h"
#include "resource_ids.h"
#include "signature/signature.h"

TPatchDlgClient::TPatchDlgClient(TWindow* parent, int resourceId, HINSTANCE module)
    : TDialog(parent, resourceId, module) {
  PathField = std::make_unique<TEdit>(this, IDC_PATH, PathFieldLimit);
  Log = std::make_unique<TExListBox>(this, IDC_LOG);
  InstallButton = std::make_unique<TButton>(this, IDC_INSTALL);
  ProgressBar = std::make_unique<TProgressBar>(this, IDC_PROGRESS);
  HINSTANCE self = GetModuleHandleA(nullptr);
  InfoKind = std::make_unique<TExListBoxPar>(self, IDB_INFO, RGB(255, 255, 255), RGB(0, 0, 0), "");
  ErrorKind = std::make_unique<TExListBoxPar>(self, IDB_ERROR, RGB(255, 0, 0), RGB(255, 255, 255), "ERROR");
  WarningKind = std::make_unique<TExListBoxPar>(self, IDB_WARNING, RGB(255, 255, 0), RGB(0, 0, 0), "WARNING");
}

TPatchDlgClient::~TPatchDlgClient() = default;

TMenditorApp* TPatchDlgClient::App() const { return static_cast<TMenditorApp*>(GetApplication()); }

void TPatchDlgClient::SetupWindow() {
  TDialog::SetupWindow();
  std::string path = App()->DefaultPath + App()->Name;
  PathField->SetText(path.c_str());
  Log->SetSaveName(LogFileNameFor(App()->Patch));
  // What the patch is, before anything is pressed: the vendor's product in the title, the
  // row "Updates PRODUCT from X to Y", and who signed a self-applying program (the run
  // repeats that row as its first).
  const TMenditorApp* app = App();
  const std::string product = ProductText(app->Vendor);
  if (!product.empty()) {
    const std::string title = App()->GetName() + " - " + product;
    ::SetWindowTextA(::GetParent(Handle), title.c_str());
  }
  const std::string updates = UpdatesText(app->Vendor);
  if (!updates.empty()) ReportInfo("%s", updates.c_str());
  if (app->Carried) {
    const TSignature signature = ReadSignature(app->Carried->Cabinet.File);
    if (signature.State == TSignatureState::Signed)
      ReportInfo("%s", SignatureRow(signature).c_str());
    else
      ReportWarning("%s", SignatureRow(signature).c_str());
  }
  // Start in the path field, so that Enter presses the default button, "Install patch",
  // rather than "Quit", the first tab stop.
  SetFocus(PathField->GetHandle());
}

bool TPatchDlgClient::CanClose() {
  if (Running) {
    CloseRequested = true;
    return false;
  }
  return TDialog::CanClose();
}

bool TPatchDlgClient::Respond(const TMessage& msg, LRESULT& result) {
  using R = TResponse<TPatchDlgClient>;
  static const R table[] = {
      R::Command(IDC_INSTALL, &TPatchDlgClient::CmInstall),
      R::Command(IDC_BROWSE, &TPatchDlgClient::CmBrowse),
      R::Command(IDC_ABOUT, &TPatchDlgClient::CmAbout),
  };
  return R::Find(this, table, msg, result) || TDialog::Respond(msg, result);
}

void TPatchDlgClient::CmInstall() {
  // Enter reaches the default button's command even while it is disabled.
  if (Running) return;
  char path[PathBufferSize + 1] = "";
  PathField->GetText(path, PathBufferSize);
  // Disabling the focused button leaves the window without a focus; remember where it was.
  const HWND focusAtStart = ::GetFocus();
  InstallButton->EnableWindow(false);
  Running = true;

  TMenditorApp* app = App();
  TInstallationRun run;
  run.TargetPath = path;
  run.MainName = app->Name.c_str();
  run.Patch = app->Patch.c_str();
  if (app->Carried) run.Within = &app->Carried->Cabinet;
  run.Macros = &app->Macros;
  run.Reporter = this;
  run.Files = Files;
  run.MessageHook = &TPatchDlgClient::DispatchWaitingMessages;
  run.MessageContext = this;
  run.ClearLog = [this] { Log->ClearList(); };
  // Files held by other programs: one question, Retry or Cancel. The box is modal and runs
  // its own message loop, so the dialog behind it keeps repainting.
  run.FilesInUse = [this](const std::vector<TFileInUse>& files) {
    const int answer = MessageBox(FilesInUseQuestion(files).c_str(), "Files in use", MB_RETRYCANCEL | MB_ICONWARNING);
    return answer == IDRETRY ? TInUseAnswer::Retry : TInUseAnswer::Cancel;
  };
  // A patch with content checks that does not fit the installation (files of another version)
  // is named in one question before the first change; the safe answer is the default.
  run.Misfits = [this](const std::vector<TRecordResult>& misfits) {
    const int answer = MessageBox(MisfitQuestion(misfits).c_str(), "Patch does not fit",
                                  MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
    return answer == IDYES ? TFitAnswer::Install : TFitAnswer::Stop;
  };
  // A signature that does not hold: one box that can only be dismissed; nothing is installed.
  run.SignatureRefused = [this](const std::string& row) {
    const std::string text = row + "\n\nThe patch may have been changed by someone other than its maker, so it is "
                                   "not installed. Nothing has been changed; get the patch again from its maker.";
    MessageBox(text.c_str(), "Signature not valid", MB_OK | MB_ICONHAND);
  };
  // Whatever ends the run, the window stays usable: Running cleared (or CanClose would refuse
  // every close from then on) and "Install patch" enabled again.
  struct TRunGuard {
    TPatchDlgClient& Dialog;
    ~TRunGuard() {
      Dialog.Running = false;
      Dialog.InstallButton->EnableWindow(true);
    }
  } guard{*this};
  // An exception (no memory left, an internal error) ends the run with a row, as in menditcon.
  try {
    RunInstallation(run);
  } catch (const std::bad_alloc&) {
    ReportError("%s", InternalErrorRow(nullptr).c_str());
  } catch (const std::exception& e) {
    ReportError("%s", InternalErrorRow(e.what()).c_str());
  }

  Running = false;
  InstallButton->EnableWindow(true);
  RestoreFocus(focusAtStart);
  if (CloseRequested) {
    CloseRequested = false;
    CloseWindow(IDOK);
  }
}

void TPatchDlgClient::RestoreFocus(HWND focusAtStart) {
  // Only when nothing has the focus (a click elsewhere during the run keeps its place) and
  // the window is the active one (the focus must not pull it in front of another program).
  if (::GetFocus() || !GetActiveWindow() || !IsChild(GetActiveWindow(), Handle)) return;
  HWND target = focusAtStart == PathField->GetHandle() ? PathField->GetHandle() : InstallButton->GetHandle();
  SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(target), TRUE);
}

void TPatchDlgClient::DispatchWaitingMessages(void* context) {
  auto* self = static_cast<TPatchDlgClient*>(context);
  const DWORD now = GetTickCount();
  if (now - self->LastPump < 10) return;
  self->LastPump = now;
  TApplication::PumpWaitingMessages();
}

void TPatchDlgClient::CmBrowse() {
  TMenditorApp* app = App();
  // The filter's '|' separators become the zeros the dialog expects.
  char filter[] = "Program files (*.exe)|*.exe|";
  for (char& c : filter)
    if (c == '|') c = '\0';
  char fileName[260];
  std::snprintf(fileName, sizeof fileName, "%s", app->Name.c_str());

  OPENFILENAMEA request = {};
  request.lStructSize = sizeof request;
  request.hwndOwner = Handle;
  request.lpstrFilter = filter;
  request.nFilterIndex = 1;
  request.lpstrFile = fileName;
  request.nMaxFile = sizeof fileName;
  request.lpstrInitialDir = app->DefaultPath.c_str();
  request.lpstrDefExt = "EXE";
  request.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  if (GetOpenFileNameA(&request)) PathField->SetText(fileName);
}

void TPatchDlgClient::CmAbout() {
  // The vendor's product and publisher on a line of their own; the box's texts stay.
  class TAboutBox : public TDialog {
   public:
    TAboutBox(TWindow* parent, HINSTANCE module, std::string vendor)
        : TDialog(parent, IDD_ABOUT, module), Vendor(std::move(vendor)) {}
    void SetupWindow() override {
      TDialog::SetupWindow();
      ::SetDlgItemTextA(GetHandle(), IDC_ABOUT_VENDOR, Vendor.c_str());
    }

   private:
    std::string Vendor;
  };
  const TVendorIdentity& vendor = App()->Vendor;
  std::string line = ProductText(vendor);
  if (!vendor.Publisher.empty()) line += (line.empty() ? "" : " - ") + vendor.Publisher;
  TAboutBox about(this, Module, line);
  about.Execute();
}

void TPatchDlgClient::ReportProgress(int32_t done, int32_t total) {
  int position = ProgressPosition(done, total);
  if (position >= 0) ProgressBar->SetValue(position);
}

void TPatchDlgClient::Report(TReportKind kind, const char* format, va_list args) {
  switch (kind) {
    case TReportKind::Info:
      AddMessage(InfoKind.get(), format, args);
      break;
    case TReportKind::Warning:
      AddMessage(WarningKind.get(), format, args);
      break;
    case TReportKind::Error:
      AddMessage(ErrorKind.get(), format, args);
      break;
  }
}

void TPatchDlgClient::AddMessage(TExListBoxPar* kind, const char* format, va_list args) {
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[MessageBufferSize]);
  int last = -1;
  if (!buffer) {
    last = Log->AddString("ERROR: Not enough memory to display!");
    if (last >= 0) Log->SetItemData(last, reinterpret_cast<LPARAM>(kind));
  } else {
    // A longer message is cut to the buffer.
    std::vsnprintf(buffer.get(), MessageBufferSize, format, args);
    for (const std::string& line : SplitLogLines(buffer.get())) {
      int index = AddRow(line.c_str(), kind);
      if (index >= 0) last = index;
    }
  }
  if (last >= 0) ShowRow(last);
}

int TPatchDlgClient::AddRow(const char* text, TExListBoxPar* kind) {
  int index = Log->AddString(text);
  if (index < 0) {
    Log->DeleteString(0);
    index = Log->AddString(text);
  }
  if (index >= 0) Log->SetItemData(index, reinterpret_cast<LPARAM>(kind));
  return index;
}

void TPatchDlgClient::ShowRow(int lastIndex) {
  RECT area = Log->GetClientRect();
  int top = ScrollTopIndex(lastIndex, area.bottom - area.top, Log->GetItemHeight(0));
  if (top > 0) Log->SetTopIndex(top);
}
