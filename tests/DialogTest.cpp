#include <gtest/gtest.h>

#include "GuiSupport.h"
#include "TestSupport.h"
#include "manager/aritemdlg.h"

namespace {

void Click(const ui::SpeedButton& button) {
  SendMessageA(button.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  SendMessageA(button.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
}

RECT ChildRect(HWND parent, HWND child) {
  RECT rect;
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

}  // namespace

TEST(ItemDialog, FormAndControlsAsDesigned) {
  TAutoRunItemDlg dialog;
  RECT outer, client;
  GetWindowRect(dialog.Handle(), &outer);
  GetClientRect(dialog.Handle(), &client);
  EXPECT_EQ(outer.left, 375);
  EXPECT_EQ(outer.top, 254);
  EXPECT_EQ(client.right, 280);
  EXPECT_EQ(client.bottom, 110);
  EXPECT_EQ(WindowText(dialog.Handle()), "AutoRun Item");
  const LONG style = GetWindowLongA(dialog.Handle(), GWL_STYLE);
  EXPECT_TRUE(GetWindowLongA(dialog.Handle(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  const RECT name = ChildRect(dialog.Handle(), dialog.edName);
  EXPECT_EQ(name.left, 48);
  EXPECT_EQ(name.top, 16);
  EXPECT_EQ(name.right - name.left, 225);
  const RECT path = ChildRect(dialog.Handle(), dialog.edPath);
  EXPECT_EQ(path.top, 40);
  EXPECT_EQ(path.right - path.left, 201);
  const RECT browse = ChildRect(dialog.Handle(), dialog.sbBrowse.Handle());
  EXPECT_EQ(browse.left, 252);
  EXPECT_EQ(browse.right - browse.left, 20);
  const RECT ok = ChildRect(dialog.Handle(), dialog.sbOK.Handle());
  EXPECT_EQ(ok.left, 104);
  EXPECT_EQ(ok.top, 80);
  EXPECT_EQ(WindowText(dialog.lblName), "Name:");
  EXPECT_EQ(WindowText(dialog.lblPath), "Path:");
  EXPECT_EQ(WindowText(dialog.sbOK.Handle()), "OK");
  EXPECT_EQ(WindowText(dialog.sbCancel.Handle()), "Cancel");
  EXPECT_EQ(GetNextDlgTabItem(dialog.Handle(), nullptr, FALSE), dialog.edName);
  EXPECT_EQ(GetNextDlgTabItem(dialog.Handle(), dialog.edName, FALSE), dialog.edPath);
}

TEST(ItemDialog, OkWithEmptyBoxesAndTheFocusNeverOnAButton) {
  TAutoRunItemDlg dialog;
  WindowDriver driver;
  HWND focusFirst = nullptr, focusAfterClick = nullptr;
  driver.When("TAutoRunItemDlg", [&](HWND window) {
    focusFirst = GetFocus();
    SaveWindowPicture(window, "item-dialog.bmp");
    Click(dialog.sbOK);
    focusAfterClick = GetFocus();
  });
  EXPECT_EQ(dialog.ShowModal(), ui::ModalResult::Ok);
  EXPECT_EQ(focusFirst, dialog.edName);
  EXPECT_EQ(focusAfterClick, dialog.edName);
  EXPECT_EQ(dialog.NameText(), L"");
  EXPECT_EQ(dialog.PathText(), L"");
}

TEST(ItemDialog, CancelAndCloseBoxGiveCancel) {
  for (int way = 0; way < 3; ++way) {
    TAutoRunItemDlg dialog;
    WindowDriver driver;
    driver.When("TAutoRunItemDlg", [&](HWND window) {
      if (way == 0) Click(dialog.sbCancel);
      if (way == 1) PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
      if (way == 2) PostMessageA(window, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(dialog.ShowModal(), ui::ModalResult::Cancel) << way;
  }
}

TEST(ItemDialog, EnterAndEscapeCloseOnlyFromTheDialogWindowItself) {
  for (WORD key : {WORD(VK_RETURN), WORD(VK_ESCAPE)}) {
    TAutoRunItemDlg dialog;
    dialog.SetNameText(L"typed");
    WindowDriver driver;
    ui::ModalResult resultWhileInEdit = ui::ModalResult::Cancel;
    driver.When("TAutoRunItemDlg", [&](HWND window) {
      SetFocus(dialog.edName);
      SendMessageA(dialog.edName, WM_KEYDOWN, key, 0);
      SendMessageA(dialog.edPath, WM_KEYDOWN, key, 0);
      PumpUntilIdle();
      resultWhileInEdit = dialog.Result();
      SendMessageA(window, WM_KEYDOWN, key, 0);
    });
    EXPECT_EQ(dialog.ShowModal(), key == VK_RETURN ? ui::ModalResult::Ok : ui::ModalResult::Cancel);
    EXPECT_EQ(resultWhileInEdit, ui::ModalResult::None);
    EXPECT_EQ(dialog.NameText(), L"typed");
  }
}

TEST(ItemDialog, BrowseFillsBothBoxesAndCancelledBrowseChangesNothing) {
  TempDir folder;
  const std::string file = folder.Write("run me.exe");
  TAutoRunItemDlg dialog;
  dialog.SetNameText(L"typed name");
  dialog.SetPathText(L"typed path");
  WindowDriver driver;
  driver.When("TAutoRunItemDlg", [&](HWND) { Click(dialog.sbBrowse); });
  driver.When("#32770", [](HWND open) { PostMessageA(open, WM_COMMAND, IDCANCEL, 0); });
  driver.When("TAutoRunItemDlg", [&](HWND) {
    EXPECT_EQ(dialog.NameText(), L"typed name");
    EXPECT_EQ(dialog.PathText(), L"typed path");
    Click(dialog.sbBrowse);
  });
  driver.When("#32770", [&](HWND open) {
    SetDlgItemTextA(open, 0x47C, file.c_str());  // the file name box
    PostMessageA(open, WM_COMMAND, IDOK, 0);
  });
  driver.When("TAutoRunItemDlg", [&](HWND) { Click(dialog.sbOK); });
  EXPECT_EQ(dialog.ShowModal(), ui::ModalResult::Ok);
  EXPECT_EQ(dialog.PathText(), W(file));
  EXPECT_EQ(dialog.NameText(), L"run me.exe");
}
