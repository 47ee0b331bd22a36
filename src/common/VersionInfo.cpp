#include "common/VersionInfo.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "common/FileTools.h"

namespace {

struct LanguageAndCodePage {
  WORD language;
  WORD codePage;
};

std::vector<std::wstring> BlocksToRead(const void* resource) {
  std::vector<std::wstring> blocks;
  void* translations = nullptr;
  UINT size = 0;
  if (VerQueryValueW(resource, L"\\VarFileInfo\\Translation", &translations, &size) &&
      size >= sizeof(LanguageAndCodePage)) {
    const auto* first = static_cast<const LanguageAndCodePage*>(translations);
    wchar_t block[9];
    std::swprintf(block, 9, L"%04X%04X", first->language, first->codePage);
    blocks.push_back(block);
  }
  for (const wchar_t* fallback : {L"040904B0", L"040904E4", L"000004B0", L"000004E4"}) blocks.push_back(fallback);
  return blocks;
}

std::wstring StringValue(const void* resource, const std::vector<std::wstring>& blocks, const wchar_t* name) {
  for (const std::wstring& block : blocks) {
    void* text = nullptr;
    UINT length = 0;  // in characters, the terminator included
    const std::wstring query = L"\\StringFileInfo\\" + block + L"\\" + name;
    if (!VerQueryValueW(resource, query.c_str(), &text, &length) || !text) continue;
    std::wstring value(static_cast<const wchar_t*>(text), length);
    value.resize(wcsnlen(value.c_str(), value.size()));
    if (!value.empty()) return value;
  }
  return std::wstring();
}

}  // namespace

FileStamp FileStampOf(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(LongPathForm(path).c_str(), GetFileExInfoStandard, &data)) return FileStamp();
  return FileStampFrom(data.nFileSizeHigh, data.nFileSizeLow, data.ftLastWriteTime);
}

ProgramFacts ReadProgramFacts(const std::wstring& path) {
  ProgramFacts facts;
  facts.stamp = FileStampOf(path);
  const std::wstring file = LongPathForm(path);
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
  if (size == 0) return facts;
  std::vector<BYTE> resource(size);
  if (!GetFileVersionInfoW(file.c_str(), 0, size, resource.data())) return facts;
  const std::vector<std::wstring> blocks = BlocksToRead(resource.data());
  facts.publisher = StringValue(resource.data(), blocks, L"CompanyName");
  facts.description = StringValue(resource.data(), blocks, L"FileDescription");
  return facts;
}
