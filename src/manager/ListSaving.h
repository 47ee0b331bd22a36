#pragma once
// The whole list for someone helping the user: every entry of every place
// given, as UTF-8 CSV with a byte-order mark (location, name, command,
// state, missing, publisher, description, verified signer, the program's
// SHA-256). Blocking: the user asked for the file and waits for it.
#include <string>
#include <vector>

#include "manager/Entry.h"

class RowWorker;

// The header and one record per entry, in the places' order.
std::string WholeListCsv(const std::vector<const TAutoRunNode*>& nodes, RowWorker& worker);
// Writes it at `path`, flushed; throws "Failed to save the list to '%s'".
void SaveWholeList(const std::vector<const TAutoRunNode*>& nodes, RowWorker& worker, const std::wstring& path);
// A file's SHA-256 as lowercase hex; empty when it cannot be read.
std::wstring Sha256OfFile(const std::wstring& path);
