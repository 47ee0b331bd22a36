#pragma once
// Server-and-share parts of network (UNC) paths.
#include <string>

// "\\srv\data\a\b" gives "\\srv\data"; a path without a complete share root
// is returned unchanged.
std::string NetworkShareRoot(const std::string& path);
std::wstring NetworkShareRoot(const std::wstring& path);
// True when the path has a server part and a share part.
bool IsNetworkSharePath(const std::string& path);
bool IsNetworkSharePath(const std::wstring& path);
