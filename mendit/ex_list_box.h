#pragma once
// TExListBox: the owner-drawn list of mendit's message log. Each row is a line of text and,
// as its item data, a pointer to the TExListBoxPar of its kind, which gives the row's picture,
// colours and file label. A row with item data 0 or LB_ERR has no kind: it is not painted and
// is written without label. The list erases only the area below its last row (the rows paint
// their whole width themselves), and writes its rows to text files.
//
// So that a user can keep the log, the list has a context menu (right button, Shift+F10, the
// menu key) with "Copy", "Select all" and "Save log as...", and answers Ctrl+C and Ctrl+A.
// The list box of the template selects one row at a time; "Select all" is a state of the list
// itself, drawn as every row selected, until a click or a moving key selects one row again.

#include <cstdio>
#include <memory>
#include <string>

#include "ex_list_box_par.h"
#include "framework/list_box.h"

class TExListBox : public TListBox {
 public:
  // Attached to a list box of the parent dialog's template (which must have
  // LBS_OWNERDRAWFIXED and LBS_HASSTRINGS).
  TExListBox(TWindow* parent, int resourceId, HINSTANCE module = nullptr);
  // A list box of its own inside the parent.
  TExListBox(TWindow* parent, int id, int x, int y, int w, int h, HINSTANCE module = nullptr);
  ~TExListBox() override;

  // Rows are drawn with these tab stops (TabbedTextOut) from now on; count 0 turns them off.
  void SetTabStops(int count, const int* tabStops);
  // Appends a row of kind with redrawing suspended; the new index or a negative LB_ error.
  int AddItem(const char* text, TExListBoxPar* kind);
  // Writes every row, "[label]\ttext\n" or "\ttext\n".
  void WriteItems(FILE* stream);
  // Writes all rows to a new file (SaveToFile) or after a file's contents (AppendToFile).
  // Returns fclose's result, or the answer of the "File error" box when the user gives up.
  int SaveToFile(const char* fileName);
  int AppendToFile(const char* fileName);

  // One row as the files have it, without the line end.
  std::string RowLine(int index) const;
  // Puts the selected row, or all rows when all or none are selected, on the clipboard as
  // text in the file format. False when the clipboard could not be had.
  bool CopyRows();
  void SelectAll();
  bool AllSelected() const { return AllRowsSelected; }
  // Asks for a file name with the common Save dialog, proposing saveName, and saves there.
  void SaveAs();
  void SetSaveName(const std::string& name) { SaveName = name; }

  // Command ids of the context menu.
  enum { CmCopyId = 1, CmSelectAllId, CmSaveAsId };

 protected:
  bool Respond(const TMessage& msg, LRESULT& result) override;
  void ODADrawEntire(DRAWITEMSTRUCT& item) override;
  void ODAFocus(DRAWITEMSTRUCT& item) override;
  void ODASelect(DRAWITEMSTRUCT& item) override;

  LRESULT EvEraseBkgnd(WPARAM wParam, LPARAM lParam);
  LRESULT EvContextMenu(WPARAM wParam, LPARAM lParam);
  LRESULT EvKeyDown(WPARAM wParam, LPARAM lParam);
  LRESULT EvChar(WPARAM wParam, LPARAM lParam);
  // A click or a selection set from outside ends "Select all".
  LRESULT EvSelectOne(WPARAM wParam, LPARAM lParam);

 private:
  static TExListBoxPar* KindOf(ULONG_PTR itemData);
  // The row rectangle without the picture's part.
  static RECT TextArea(const DRAWITEMSTRUCT& item, const TExListBoxPar& kind);
  int WriteToFile(const char* fileName, const char* mode, const char* failure);

  void ClearAllSelected();
  // Where a menu opened from the keyboard appears: at the selected row, else the list's corner.
  POINT KeyboardMenuPoint() const;

  bool AllRowsSelected = false;
  std::string SaveName = "mendit.log";
  int TabCount = 0;
  std::unique_ptr<int[]> TabStops;
};
