#include "manager/CommandSteps.h"

#include "common/FileTools.h"
#include "common/Names.h"
#include "manager/Location.h"
#include "manager/LocationCatalogue.h"

namespace command_steps {

ERegistryException RegistryError(const char* pattern, const std::wstring& name, LONG code) {
  return ERegistryException(FormatMessageText(pattern, ShownName(name)), code);
}

std::wstring Steps::Keep(const EntryRecord& record) {
  std::wstring folder;
  try {
    folder = KeepRecord(record);
  } catch (const EVelmoraError& error) {
    Fail(error);
  }
  done_.push_back({[folder] {
                     DiscardRecord(folder);
                     return LONG(ERROR_SUCCESS);
                   },
                   record.name, true});
  return folder;
}

// A record goes only when everything after it was put back: otherwise
// it holds the only copy of what could not be.
void Steps::Fail(const EVelmoraError& error) {
  std::string text = error.what();
  bool allBack = true;
  for (auto step = done_.rbegin(); step != done_.rend(); ++step) {
    if (step->isRecord && !allBack) continue;
    if (step->putBack() == ERROR_SUCCESS) continue;
    allBack = false;
    text += FormatMessageText("; '%s' could not be put back", ShownName(step->what));
  }
  done_.clear();
  throw EVelmoraError(text, error.Code());
}

LONG SetValue(const RegistryKey& key, const std::wstring& name, const StoredBytes& value) {
  return key.SetValue(name, value.type, value.data.data(), static_cast<DWORD>(value.data.size()));
}

StoredBytes StringValue(const std::wstring& text, DWORD type) {
  const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
  return StoredBytes{true, type, std::vector<BYTE>(bytes, bytes + (text.size() + 1) * sizeof(wchar_t))};
}

StoredBytes StoredNow(const RegistryKey& key, const std::wstring& name) {
  DWORD type = REG_NONE;
  StoredBytes now;
  const LONG read = key.QueryValue(name, type, now.data);
  if (read == ERROR_FILE_NOT_FOUND) return StoredBytes();
  if (read != ERROR_SUCCESS) throw RegistryError("Failed to get data for '%s'", name, read);
  now.present = true;
  now.type = type;
  return now;
}

LONG Deleted(LONG result) { return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result; }

StoredBytes SwitchNow(const Location& switchLocation, const std::wstring& name) {
  if (switchLocation.Empty()) return StoredBytes();
  RegistryKey key;
  const LONG opened = OpenLocation(key, switchLocation, KeyAccess::Read);
  if (opened == ERROR_FILE_NOT_FOUND) return StoredBytes();
  if (opened != ERROR_SUCCESS)
    throw ERegistryException(FormatMessageText("Failed to open key '%s'", switchLocation.Text()), opened);
  return StoredNow(key, name);
}

std::vector<std::uint8_t> FileBytes(const std::wstring& path) {
  std::vector<std::uint8_t> bytes;
  ReadWholeFile(path, bytes);
  return bytes;
}

EntryRecord RecordOf(RecordKind kind, const EntryRef& entry) {
  EntryRecord record;
  record.kind = kind;
  record.isFile = entry.kind == EntryKind::File;
  record.location = entry.location.Text();
  record.name = entry.name;
  record.switchLocation = entry.switchLocation.Text();
  return record;
}

}  // namespace command_steps
