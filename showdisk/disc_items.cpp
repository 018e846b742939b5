#include "disc_items.h"

#include <windows.h>

#include "resource_ids.h"

namespace {

// The messages name the program the user knows (WS.EXE), not the file started (WS.PIF).
const TDiscItem Items[] = {
    {IDC_PRODUCT_INFO, "OPISY.URL", "open", SW_SHOWMAXIMIZED, "Nie potrafie uruchomic przegladarki HTML !"},
    {IDC_VORNAX_SETUP, "VORNAX\\SETUP.EXE", nullptr, SW_SHOWNORMAL, "Nie potrafie uruchomic \\VORNAX\\SETUP.EXE !"},
    {IDC_WIRESCOPE_DEMO, "WSDEMO\\WS.PIF", nullptr, SW_SHOWNORMAL, "Nie potrafie uruchomic \\WSDEMO\\WS.EXE !"},
    {IDC_MENDIT_SETUP, "MENDIT\\SETUP.EXE", nullptr, SW_SHOWNORMAL, "Nie potrafie uruchomic \\MENDIT\\SETUP.EXE !"},
    {IDC_VORNAX_SHOW, "VORNAX.PPT", "open", SW_SHOWMAXIMIZED, "Nie potrafie uruchomic przegladarki PowerPoint !"},
    {IDC_IE4_SETUP, "WIN95\\EN\\PACKAGES\\IE4SETUP.EXE", nullptr, SW_SHOWNORMAL, "Nie moge uruchomic instalacji MS-IE !"},
    {IDC_PPVIEW_SETUP, "PPV\\PPView97.EXE", nullptr, SW_SHOWNORMAL,
     "Nie moge uruchomic instalacji PowerPoint Viewer !"},
};

}  // namespace

const TDiscItem* FindDiscItem(int id) {
  for (const TDiscItem& item : Items)
    if (item.Id == id) return &item;
  return nullptr;
}
