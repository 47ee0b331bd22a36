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

  std::string NameText() const { return edName.Text(); }
  std::string PathText() const { return edPath.Text(); }
  void SetNameText(const std::string& text) { edName.SetText(text); }
  void SetPathText(const std::string& text) { edPath.SetText(text); }

  void sbOKClick();
  void sbCancelClick();
  void sbBrowseClick();
  void FormKeyDown(ui::KeyEvent& event);

  // Runs the open-file dialog; false when the user cancels it.
  bool ExecuteOpenDialog(std::string& fileName);

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  ui::Font boldFont_{"MS Sans Serif", -11, true};
  ui::ImageList browseGlyphs_;
};
