#include "manager/Location.h"

namespace {

template <class Text>
bool IsFolder(const Text& location) {
  if (location.size() < 2) return false;
  return location[1] == ':' || (location[0] == '\\' && location[1] == '\\');
}

template <class Text>
BasicRegistryLocation<Text> Split(const Text& location) {
  static const char kMachine[] = "HKEY_LOCAL_MACHINE";
  const auto slash = location.find('\\');
  const Text rootName = location.substr(0, slash);
  BasicRegistryLocation<Text> result;
  result.root = rootName == Text(kMachine, kMachine + sizeof kMachine - 1) ? RegistryRoot::LocalMachine
                                                                          : RegistryRoot::CurrentUser;
  result.keyPath = slash == Text::npos ? Text() : location.substr(slash);
  return result;
}

}  // namespace

bool IsFolderLocation(const std::string& location) { return IsFolder(location); }
bool IsFolderLocation(const std::wstring& location) { return IsFolder(location); }
RegistryLocation SplitRegistryLocation(const std::string& location) { return Split(location); }
WideRegistryLocation SplitRegistryLocation(const std::wstring& location) { return Split(location); }
