#pragma once
// The Name/Path dialog of an autorun entry.
#include <string>

#include "ui/Edit.h"
#include "ui/Form.h"
#include "ui/ImageList.h"
#include "ui/SpeedButton.h"

class TAutoRunItemDlg : public ui::Form {
 public:
  TAutoRunItemDlg();
  ~TAutoRunItemDlg() override;

  ui::SpeedButton sbOK, sbCancel;
  ui::Label lblName, lblPath;
  ui::Edit edName, edPath;
  ui::SpeedButton sbBrowse;

  // Exactly as shown and typed: the edit boxes are Unicode windows.
  std::wstring NameText() const { return edName.Text(); }
  std::wstring PathText() const { return edPath.Text(); }
  void SetNameText(const std::wstring& text) { edName.SetText(text); }
  void SetPathText(const std::wstring& text) { edPath.SetText(text); }

  void sbOKClick();
  void sbCancelClick();
  void sbBrowseClick();
  void FormKeyDown(ui::KeyEvent& event);

  // Runs the open-file dialog; false when the user cancels it.
  bool ExecuteOpenDialog(std::wstring& fileName);

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  ui::Font boldFont_{L"MS Sans Serif", -11, true};
  ui::ImageList browseGlyphs_;
};
