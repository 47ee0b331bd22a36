#pragma once
// What the frame's files share: the messages it posts itself and the
// caption strip's usual text.
#include <windows.h>

// Posted by a click on a row's check box (or Space), so that the switch
// waits until the list is done with the click; the row waits in
// clickedSwitches_.
constexpr UINT kSwitchClicked = WM_APP + 1;
// Posted by the row worker's thread when a network lookup has answered.
constexpr UINT kRowAnswered = WM_APP + 2;
// Posted by the change watch when a place on show changed.
constexpr UINT kWatchedChanged = WM_APP + 3;
// Posted when an in-place rename ends, so that the rename runs once the
// list is done with its edit box; the rename waits in renamed_.
constexpr UINT kRenamed = WM_APP + 4;
// Posted by the signature worker's thread when programs were verified.
constexpr UINT kSignaturesAnswered = WM_APP + 5;
// Posted by the task reader's thread when a read of the tasks is in.
constexpr UINT kTasksRead = WM_APP + 6;
// Posted by the list saver's thread as rows are done, and at its end.
constexpr UINT kListSaving = WM_APP + 7;

constexpr wchar_t kNoTaskService[] = L"The Task Scheduler did not answer";
constexpr wchar_t kUsualCaption[] = L"You can add new, change or delete existing auto run items.";
