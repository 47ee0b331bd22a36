#include "common/XmlElements.h"

#include <windows.h>
#include <objbase.h>
#include <xmllite.h>

#include <cstring>

#include "common/ComPtr.h"

namespace {

using CreateReader = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

// mingw-w64 has XmlLite's header but no import library: the function is
// taken from the system's library, loaded once for the process's life.
CreateReader TheCreateReader() {
  static const CreateReader create = [] {
    HMODULE library = LoadLibraryW(L"xmllite.dll");
    return library ? reinterpret_cast<CreateReader>(reinterpret_cast<void*>(GetProcAddress(library, "CreateXmlReader")))
                   : nullptr;
  }();
  return create;
}

std::wstring Failure(const wchar_t* what, HRESULT result, UINT line) {
  wchar_t text[96];
  swprintf(text, 96, L"%ls (0x%08lX) at line %u", what, static_cast<unsigned long>(result), line);
  return text;
}

}  // namespace

bool WalkXml(const std::vector<std::uint8_t>& bytes, const XmlVisitor& visitor, std::wstring& reason) {
  const CreateReader create = TheCreateReader();
  if (!create) {
    reason = L"XmlLite is not available";
    return false;
  }
  ComPtr<IXmlReader> reader;
  HRESULT result = create(__uuidof(IXmlReader), reader.ReceiveVoid(), nullptr);
  if (FAILED(result)) {
    reason = Failure(L"XmlLite did not start", result, 0);
    return false;
  }
  // The stream owns a copy of the bytes and frees it with itself.
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.empty() ? 1 : bytes.size());
  if (!memory) {
    reason = L"Out of memory";
    return false;
  }
  if (void* at = GlobalLock(memory)) {
    if (!bytes.empty()) std::memcpy(at, bytes.data(), bytes.size());
    GlobalUnlock(memory);
  }
  ComPtr<IStream> stream;
  result = CreateStreamOnHGlobal(memory, TRUE, stream.Receive());
  if (FAILED(result)) {
    GlobalFree(memory);
    reason = Failure(L"The bytes could not be read", result, 0);
    return false;
  }
  ULARGE_INTEGER size{};
  size.QuadPart = bytes.size();
  stream->SetSize(size);
  result = reader->SetInput(stream.Get());
  std::vector<std::wstring> path;
  bool any = false;
  XmlNodeType type = XmlNodeType_None;
  // Every node takes at least one byte of the input: more nodes than bytes
  // is a reader going round at the end of a document cut short (Wine's
  // answers S_OK there, where Windows' answers E_PENDING).
  size_t nodesLeft = bytes.size();
  while (SUCCEEDED(result) && (result = reader->Read(&type)) == S_OK) {
    if (nodesLeft-- == 0) {
      result = E_PENDING;
      break;
    }
    if (type == XmlNodeType_Element) {
      const wchar_t* name = nullptr;
      reader->GetLocalName(&name, nullptr);
      path.emplace_back(name ? name : L"");
      any = true;
      if (visitor.element) visitor.element(path);
      if (reader->IsEmptyElement()) path.pop_back();
    } else if (type == XmlNodeType_EndElement) {
      if (!path.empty()) path.pop_back();
    } else if (type == XmlNodeType_Text || type == XmlNodeType_CDATA) {
      const wchar_t* value = nullptr;
      reader->GetValue(&value, nullptr);
      if (visitor.text && value) visitor.text(path, value);
    }
  }
  if (result == E_PENDING) {
    reason = L"The document ends before its last element closes";
    return false;
  }
  if (FAILED(result)) {
    UINT line = 0;
    reader->GetLineNumber(&line);
    reason = Failure(L"Not well-formed XML", result, line);
    return false;
  }
  if (!any) {
    reason = L"No element";
    return false;
  }
  if (!path.empty()) {
    reason = L"The document ends inside <" + path.back() + L">";
    return false;
  }
  return true;
}
