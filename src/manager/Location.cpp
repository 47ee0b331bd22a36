#include "manager/Location.h"

bool IsFolderLocation(const std::string& location) {
  if (location.size() < 2) return false;
  return location[1] == ':' || (location[0] == '\\' && location[1] == '\\');
}

RegistryLocation SplitRegistryLocation(const std::string& location) {
  const auto slash = location.find('\\');
  const std::string rootName = location.substr(0, slash);
  RegistryLocation result;
  result.root = rootName == "HKEY_LOCAL_MACHINE" ? RegistryRoot::LocalMachine : RegistryRoot::CurrentUser;
  result.keyPath = slash == std::string::npos ? std::string() : location.substr(slash);
  return result;
}
