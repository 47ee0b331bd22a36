// A scheduled task's definition read from its file's bytes with XmlLite,
// in each encoding task files come in; what does not parse says why.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "manager/TaskDefinition.h"
#include "manager/TaskFiles.h"
#include "TestSupport.h"

namespace {

const wchar_t kExec[] = L"<Exec><Command>C:\\Program Files\\T\u00e4sk\\run \u4e2d.exe</Command>"
                        L"<Arguments>/q %USERPROFILE%</Arguments></Exec>";

}  // namespace

TEST(TaskDefinition, LogonAndStartupTasksInEveryEncoding) {
  const struct {
    const char* name;
    std::wstring xml;
    bool listed, enabled;
    const wchar_t* words;
    const wchar_t* action;
  } cases[] = {
      {"logon of any user", TaskXml(L"<LogonTrigger><Enabled>true</Enabled></LogonTrigger>", kExec), true, true,
       L"At logon of any user", L"\"C:\\Program Files\\T\u00e4sk\\run \u4e2d.exe\" /q %USERPROFILE%"},
      {"one user, delayed, empty trigger", TaskXml(L"<LogonTrigger><UserId>PC\\Ann</UserId><Delay>PT30S</Delay></LogonTrigger><BootTrigger/>", kExec),
       true, true, L"At logon of PC\\Ann +30 s delay; At startup", nullptr},
      {"its only trigger off", TaskXml(L"<BootTrigger><Enabled>false</Enabled></BootTrigger>", kExec), true, true,
       L"At startup (off)", nullptr},
      {"the task off", TaskXml(L"<LogonTrigger/>", kExec, L"<Enabled>false</Enabled>"), true, false, nullptr, nullptr},
      {"a COM handler", TaskXml(L"<LogonTrigger/>", L"<ComHandler><ClassId>{0F87369F-A4E5-4CFC-BD3E-73E6154572DD}</ClassId></ComHandler>"),
       true, true, nullptr, L"{0F87369F-A4E5-4CFC-BD3E-73E6154572DD}"},
      {"daily only", TaskXml(L"<CalendarTrigger><StartBoundary>2026-01-01T09:00:00</StartBoundary></CalendarTrigger>", kExec),
       false, true, L"", nullptr},
      {"no action", TaskXml(L"<LogonTrigger/>", L""), false, true, nullptr, L""},
  };
  for (const auto& c : cases)
    for (const TaskForm form : {TaskForm::Utf16Bom, TaskForm::Utf16, TaskForm::Utf8Bom, TaskForm::Utf8}) {
      SCOPED_TRACE(std::string(c.name) + " form " + std::to_string(static_cast<int>(form)));
      TaskDefinition task;
      std::wstring reason;
      ASSERT_TRUE(ParseTaskDefinition(EncodedTask(c.xml, form), task, reason)) << std::string(reason.begin(), reason.end());
      EXPECT_EQ(StartsAtLogonOrBoot(task), c.listed);
      EXPECT_EQ(task.enabled, c.enabled);
      EXPECT_EQ(task.description, L"Keeps \u00e9t\u00e9 fresh");
      if (c.words) {
        EXPECT_EQ(TriggerWords(task.triggers), c.words);
      }
      if (c.action) {
        EXPECT_EQ(FirstActionText(task), c.action);
      }
    }
}

// What is not a task's XML is refused with a reason, never read in part;
// a document type (and so any entity) is refused before it expands.
TEST(TaskDefinition, WhatDoesNotParseSaysWhy) {
  const std::wstring whole = TaskXml(L"<LogonTrigger/>", kExec);
  const struct {
    const char* name;
    std::vector<std::uint8_t> bytes;
    const wchar_t* said;
  } cases[] = {
      {"cut short", EncodedTask(whole.substr(0, whole.size() / 2), TaskForm::Utf16Bom), L""},
      {"not closed", EncodedTask(L"<Task><Triggers><LogonTrigger/>", TaskForm::Utf8), L""},
      {"not a task", EncodedTask(L"<Job><Triggers><LogonTrigger/></Triggers></Job>", TaskForm::Utf8), L"Not a task"},
      {"empty", {}, L""},
      {"binary", {0x00, 0x01, 0xFE, 0x7F, 0x80}, L""},
      {"an entity", EncodedTask(L"<?xml version=\"1.0\"?><!DOCTYPE Task [<!ENTITY x \"C:\\evil.exe\">]>"
                          L"<Task><Actions><Exec><Command>&x;</Command></Exec></Actions></Task>", TaskForm::Utf8), L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TaskDefinition task;
    std::wstring reason;
    EXPECT_FALSE(ParseTaskDefinition(c.bytes, task, reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_NE(reason.find(c.said), std::wstring::npos);
  }
}

// The task files are read from the native Tasks folder (a 32-bit process
// reaches it through Sysnative), each with the task path it stands for,
// byte for byte, subfolders and names beyond the code page included.
TEST(TaskFiles, EveryFileBelowTheTasksFolderWithItsTaskPath) {
  const std::wstring root = TaskFolder();
  ASSERT_FALSE(root.empty());
  EXPECT_EQ(GetFileAttributesW(root.c_str()) & FILE_ATTRIBUTE_DIRECTORY, DWORD(FILE_ATTRIBUTE_DIRECTORY));
  const std::wstring mine = root + L"\\VelmoraTest", sub = mine + L"\\Sub \u00e9";
  CreateDirectoryW(mine.c_str(), nullptr);
  CreateDirectoryW(sub.c_str(), nullptr);
  const struct {
    std::wstring file, path;
    std::vector<std::uint8_t> bytes;
  } written[] = {
      {mine + L"\\Logon \u4e2d", L"\\VelmoraTest\\Logon \u4e2d", EncodedTask(TaskXml(L"<LogonTrigger/>", kExec), TaskForm::Utf16Bom)},
      {sub + L"\\Inner", L"\\VelmoraTest\\Sub \u00e9\\Inner", EncodedTask(L"<Task", TaskForm::Utf8)},
  };
  for (const auto& w : written) {
    HANDLE file = CreateFileW(w.file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD done = 0;
    WriteFile(file, w.bytes.data(), DWORD(w.bytes.size()), &done, nullptr);
    CloseHandle(file);
  }
  const std::vector<TaskFile> files = ReadTaskFiles(root);
  for (const auto& w : written) {
    const auto found = std::find_if(files.begin(), files.end(), [&](const TaskFile& f) { return f.path == w.path; });
    ASSERT_NE(found, files.end());
    EXPECT_EQ(found->bytes, w.bytes);
    EXPECT_EQ(found->error, DWORD(ERROR_SUCCESS));
  }
  for (const auto& w : written) DeleteFileW(w.file.c_str());
  RemoveDirectoryW(sub.c_str());
  RemoveDirectoryW(mine.c_str());
}
