#pragma once
// The Name/Path dialog of an autorun entry.
#include <string>

#include "ui/Form.h"
#include "ui/ImageList.h"
#include "ui/SpeedButton.h"

class TAutoRunItemDlg : public TForm {
 public:
  TAutoRunItemDlg();
  ~TAutoRunItemDlg() override;

  ui::SpeedButton sbOK, sbCancel;
  HWND Label1 = nullptr, edName = nullptr, Label2 = nullptr, edPath = nullptr;
  ui::SpeedButton SpeedButton3;

  std::string NameText() const;
  std::string PathText() const;
  void SetNameText(const std::string& text);
  void SetPathText(const std::string& text);

  void sbOKClick();
  void sbCancelClick();
  void SpeedButton3Click();
  void FormKeyDown(KeyEvent& event);

  // Runs the open-file dialog; false when the user cancels it.
  bool ExecuteOpenDialog(std::string& fileName);

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  Font boldFont_{"MS Sans Serif", -11, true};
  ui::ImageList browseGlyphs_;
};
