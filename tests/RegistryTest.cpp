#include <gtest/gtest.h>

#include <thread>

#include "AutorunSandbox.h"
#include "TestSupport.h"
#include "common/TRegistry.h"
#include "common/Unicode.h"
#include "manager/RegFile.h"

namespace {

class RegistryTest : public testing::Test {
 protected:
  ScratchKey scratch{testing::UnitTest::GetInstance()->current_test_info()->name()};
  TRegistry reg;
  void SetUp() override { ASSERT_TRUE(reg.OpenExistingKey("\\" + scratch.Path())); }
};

std::string Message(const std::function<void()>& action) {
  try {
    action();
  } catch (const ERegistryException& e) {
    return e.what();
  }
  return "(no error)";
}

}  // namespace

TEST_F(RegistryTest, ReadsEveryKindOfValue) {
  scratch.SetString("plain", "C:\\a.exe");
  scratch.SetString("expand", "%ProgramFiles%\\b.exe", REG_EXPAND_SZ);
  scratch.SetString("", "default data");
  scratch.SetRaw("empty", REG_SZ, "", 0);
  scratch.SetRaw("emptyBinary", REG_BINARY, "", 0);
  EXPECT_EQ(reg.ReadStringValue("plain"), "C:\\a.exe");
  EXPECT_EQ(reg.ReadStringValue("expand"), "%ProgramFiles%\\b.exe");  // not expanded
  EXPECT_EQ(reg.ReadStringValue(""), "default data");
  EXPECT_EQ(reg.ReadStringValue("empty"), "");
  EXPECT_EQ(reg.ReadStringValue("emptyBinary"), "");
  EXPECT_EQ(reg.ReadStringValue("missing"), "");
}

TEST_F(RegistryTest, StringDataEndsAtFirstNulAndNeverPastItsSize) {
  scratch.SetRaw("embedded", REG_SZ, "ab\0cd", 6);
  scratch.SetRaw("unterminated", REG_SZ, "abcdef", 6);
  scratch.SetRaw("odd", REG_SZ, "abc", 3);
  scratch.SetRaw("one", REG_EXPAND_SZ, "z", 1);
  EXPECT_EQ(reg.ReadStringValue("embedded"), "ab");
  EXPECT_EQ(reg.ReadStringValue("unterminated"), "abcdef");
  EXPECT_EQ(reg.ReadStringValue("odd"), "abc");
  EXPECT_EQ(reg.ReadStringValue("one"), "z");
}

TEST_F(RegistryTest, ReadsOneMegabyteValue) {
  std::string big(1 << 20, 'x');
  big[12345] = 'y';
  scratch.SetRaw("big", REG_SZ, big.data(), static_cast<DWORD>(big.size()));  // no terminator
  const std::string read = reg.ReadStringValue("big");
  EXPECT_EQ(read.size(), big.size());
  EXPECT_EQ(read, big);
}

TEST_F(RegistryTest, ValueGrowingWhileReadIsReadWhole) {
  // Another thread keeps rewriting the value with growing data; every read
  // returns one complete version, never a torn or overlong one.
  scratch.SetString("grow", "g");
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    HKEY key;
    RegOpenKeyExA(HKEY_CURRENT_USER, scratch.Path().c_str(), 0, KEY_SET_VALUE, &key);
    for (size_t n = 1; !stop; n = n % 4000 + 1) {
      const std::string text(n, 'g');
      RegSetValueExA(key, "grow", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), DWORD(n + 1));
    }
    RegCloseKey(key);
  });
  std::string bad;
  for (int i = 0; i < 300 && bad.empty(); ++i) {
    try {
      const std::string read = reg.ReadStringValue("grow");
      if (read.size() > 4000 || read.find_first_not_of('g') != std::string::npos) bad = read;
    } catch (const std::exception& e) {
      bad = e.what();
    }
  }
  stop = true;
  writer.join();
  EXPECT_EQ(bad, "") << bad.size();
}

TEST_F(RegistryTest, TheThreeMessagesWordForWord) {
  scratch.SetDword("number", 7);
  scratch.SetRaw("bin", REG_BINARY, "\x01\x02", 2);
  EXPECT_EQ(Message([&] { reg.ReadStringValue("number"); }), "Invalid data type for 'number'");
  EXPECT_EQ(Message([&] { reg.ReadStringValue("bin"); }), "Invalid data type for 'bin'");

  TRegistry readOnly;
  ASSERT_TRUE(readOnly.OpenExistingKeyReadOnly("\\" + scratch.Path()));
  EXPECT_EQ(Message([&] { readOnly.WriteStringValue("v", "x"); }), "Failed to set data for 'v'");
  EXPECT_FALSE(scratch.Has("v"));

  // A key deleted under an open handle refuses to read a value it had.
  const std::string sub = scratch.Path() + "\\sub";
  HKEY subKey;
  ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, sub.c_str(), &subKey), ERROR_SUCCESS);
  RegSetValueExA(subKey, "gone", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2);
  RegCloseKey(subKey);
  TRegistry doomed;
  ASSERT_TRUE(doomed.OpenExistingKey("\\" + sub));
  ASSERT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, sub.c_str()), ERROR_SUCCESS);
  EXPECT_EQ(Message([&] { doomed.ReadStringValue("gone"); }), "Failed to get data for 'gone'");

  TRegistry closed;
  EXPECT_EQ(Message([&] { closed.WriteStringValue("w", "x"); }), "Failed to set data for 'w'");
}

TEST_F(RegistryTest, WriteReplacesAnyTypeWithString) {
  scratch.SetDword("n", 5);
  reg.WriteStringValue("n", "text");
  EXPECT_EQ(scratch.TypeOf("n"), DWORD(REG_SZ));
  const auto raw = scratch.Raw("n");
  EXPECT_EQ(std::string(raw.begin(), raw.end()), std::string("text\0", 5));
  reg.WriteStringValue("", "default");
  EXPECT_EQ(scratch.String(""), "default");
}

TEST_F(RegistryTest, ListsNamesInEnumerationOrderWithDefaultAsEmpty) {
  scratch.SetString("b", "1");
  scratch.SetString("a", "2");
  scratch.SetString("", "3");
  scratch.SetDword("n", 1);
  std::vector<std::string> names;
  reg.ForEachValue([&](const RegValueView& value) { names.push_back(value.name); });
  std::vector<std::string> expected;
  char name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = sizeof name;
    if (RegEnumValueA(scratch.Handle(), i, name, &length, nullptr, nullptr, nullptr, nullptr)) break;
    expected.emplace_back(name, length);
  }
  EXPECT_EQ(names, expected);
  EXPECT_EQ(names.size(), 4u);

  TRegistry none;
  none.ForEachValue([&](const RegValueView&) { ADD_FAILURE() << "no key is open"; });
}

TEST_F(RegistryTest, ForEachValueGivesNameTypeAndDataInOnePass) {
  scratch.SetString("s", "one");
  scratch.SetDword("d", 0x01020304);
  std::string big(70000, 'q');
  scratch.SetString("big", big);
  int seen = 0;
  reg.ForEachValue([&](const RegValueView& v) {
    ++seen;
    if (v.name == "s") {
      EXPECT_EQ(v.type, DWORD(REG_SZ));
      EXPECT_EQ(StringFromRegData(v.data, v.size), "one");
    } else if (v.name == "d") {
      EXPECT_EQ(v.type, DWORD(REG_DWORD));
      EXPECT_EQ(v.size, 4u);
    } else {
      EXPECT_EQ(StringFromRegData(v.data, v.size), big);
    }
  });
  EXPECT_EQ(seen, 3);
}

TEST_F(RegistryTest, ChangeValueNameKeepsTypeAndData) {
  scratch.SetString("old", "%windir%\\x.exe", REG_EXPAND_SZ);
  scratch.SetDword("num", 42);
  scratch.SetRaw("bin", REG_BINARY, "\x00\x01\x02", 3);
  scratch.SetRaw("multi", REG_MULTI_SZ, "a\0b\0\0", 5);
  reg.ChangeValueName("old", "new");
  reg.ChangeValueName("num", "num2");
  reg.ChangeValueName("bin", "bin2");
  reg.ChangeValueName("multi", "multi2");
  EXPECT_FALSE(scratch.Has("old"));
  EXPECT_EQ(scratch.TypeOf("new"), DWORD(REG_EXPAND_SZ));
  EXPECT_EQ(scratch.String("new"), "%windir%\\x.exe");
  EXPECT_EQ(scratch.TypeOf("num2"), DWORD(REG_DWORD));
  EXPECT_EQ(scratch.TypeOf("bin2"), DWORD(REG_BINARY));
  EXPECT_EQ(scratch.Raw("bin2"), (std::vector<BYTE>{0, 1, 2}));
  EXPECT_EQ(scratch.TypeOf("multi2"), DWORD(REG_MULTI_SZ));  // every type stays its own
  EXPECT_EQ(scratch.Raw("multi2").size(), 5u);
  EXPECT_EQ(scratch.Names(), (std::vector<std::string>{"bin2", "multi2", "new", "num2"}));
}

TEST_F(RegistryTest, ChangeValueNameRenamesEmptyData) {
  scratch.SetRaw("empty", REG_SZ, "", 0);
  reg.ChangeValueName("empty", "renamed");
  EXPECT_EQ(scratch.Names(), (std::vector<std::string>{"renamed"}));
  EXPECT_EQ(scratch.TypeOf("renamed"), DWORD(REG_SZ));
}

TEST_F(RegistryTest, ChangeValueNameLeavesEverythingWhenItCannotAct) {
  scratch.SetString("a", "1");
  scratch.SetString("b", "2");
  reg.ChangeValueName("a", "b");        // new name taken
  reg.ChangeValueName("missing", "c");  // old name missing
  reg.ChangeValueName("a", "A");        // same value in another case
  EXPECT_EQ(scratch.Names(), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(scratch.String("a"), "1");
  EXPECT_EQ(scratch.String("b"), "2");
}

TEST_F(RegistryTest, RefusedRenameLosesNothing) {
  scratch.SetString("keep", "data");
  TRegistry readOnly;
  ASSERT_TRUE(readOnly.OpenExistingKeyReadOnly("\\" + scratch.Path()));
  EXPECT_EQ(Message([&] { readOnly.ChangeValueName("keep", "other"); }), "Failed to set data for 'other'");
  EXPECT_EQ(scratch.Names(), (std::vector<std::string>{"keep"}));
  EXPECT_EQ(scratch.String("keep"), "data");
}

TEST_F(RegistryTest, RemoveValueAnswersWhetherItDeleted) {
  scratch.SetString("x", "1");
  EXPECT_TRUE(reg.RemoveValue("x"));
  EXPECT_FALSE(reg.RemoveValue("x"));
  EXPECT_FALSE(scratch.Has("x"));
}

TEST_F(RegistryTest, PathsFromRootOrFromOpenKey) {
  HKEY child;
  ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, (scratch.Path() + "\\child").c_str(), &child), ERROR_SUCCESS);
  RegCloseKey(child);
  TRegistry r;
  EXPECT_TRUE(r.KeyIsPresent("\\" + scratch.Path()));
  EXPECT_TRUE(r.KeyIsPresent(scratch.Path()));  // no key open: from the root
  ASSERT_TRUE(r.OpenExistingKey(scratch.Path()));
  EXPECT_TRUE(r.KeyIsPresent("child"));         // relative to the open key
  EXPECT_FALSE(r.KeyIsPresent("\\child"));
  HKEY parent = r.CurrentKey();
  ASSERT_TRUE(r.OpenExistingKey("child"));
  EXPECT_NE(r.CurrentKey(), parent);
  // A failed open keeps the open key.
  HKEY opened = r.CurrentKey();
  EXPECT_FALSE(r.OpenExistingKey("\\Software\\VelmoraTests\\NoSuchKey"));
  EXPECT_EQ(r.CurrentKey(), opened);
  r.CloseCurrentKey();
  EXPECT_EQ(r.CurrentKey(), nullptr);
  r.CloseCurrentKey();  // nothing open: nothing happens
}

TEST_F(RegistryTest, OpenNeverCreatesAndRootChangeClosesKey) {
  TRegistry r;
  EXPECT_FALSE(r.OpenExistingKey("\\" + scratch.Path() + "\\absent"));
  EXPECT_FALSE(r.KeyIsPresent("\\" + scratch.Path() + "\\absent"));
  ASSERT_TRUE(r.OpenExistingKey("\\" + scratch.Path()));
  r.SelectRootKey(HKEY_CURRENT_USER);
  EXPECT_NE(r.CurrentKey(), nullptr);  // same root: key stays
  r.SelectRootKey(HKEY_LOCAL_MACHINE);
  EXPECT_EQ(r.CurrentKey(), nullptr);
  EXPECT_EQ(r.RootKey(), HKEY_LOCAL_MACHINE);
  EXPECT_TRUE(r.KeyIsPresent("Software\\Microsoft\\Windows\\CurrentVersion\\"));
}

// The system's registry editor (Wine's, which we did not write) imports a
// file of the records' format into an empty key with every value's type
// and bytes as they were. (String data without its closing NUL is left
// out: Wine's editor closes it on import.)
TEST(RegFileImport, TheRegistryEditorGivesBackEveryValueByteExact) {
  ScratchKey scratch("RegFileImport");
  const std::wstring key = L"HKEY_CURRENT_USER\\" + WideFromAnsi(scratch.Path());
  const auto utf16 = [](const std::wstring& text) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.c_str());
    return std::vector<std::uint8_t>(bytes, bytes + (text.size() + 1) * 2);
  };
  const std::vector<RegFileValue> values = {
      {key, L"Quoted \"\u0416\" \\ =", REG_SZ, utf16(L"\"C:\\\u0424\u043e\u0442\u043e\\a b.exe\" /x=1")},
      {key, L"", REG_SZ, utf16(L"default")},
      {key, L"expand", REG_EXPAND_SZ, utf16(L"%ProgramFiles%\\x.exe")},
      {key, L"lines", REG_SZ, utf16(L"a\r\nb")},
      {key, L"switch", REG_BINARY, {3, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8}},
      {key, L"number", REG_DWORD, {0x2a, 0, 0, 0x80}},
      {key, L"multi", REG_MULTI_SZ, utf16(std::wstring(L"a\0b\0", 4))},
      {key, L"long", REG_BINARY, std::vector<std::uint8_t>(300, 0x5a)},
  };
  TempDir dir;
  const std::wstring file = WideFromAnsi(dir.File("import.reg"));
  const std::vector<std::uint8_t> bytes = RegFileBytes(RegFileText(values));
  const HANDLE out = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(out);
  ASSERT_TRUE(ImportWithRegistryEditor(file));
  for (const RegFileValue& value : values) {
    DWORD type = 0, size = 0;
    const LONG found = RegQueryValueExW(scratch.Handle(), value.name.c_str(), nullptr, &type, nullptr, &size);
    ASSERT_EQ(found, ERROR_SUCCESS) << Utf8FromWide(value.name);
    std::vector<std::uint8_t> data(size);
    RegQueryValueExW(scratch.Handle(), value.name.c_str(), nullptr, &type, data.data(), &size);
    EXPECT_EQ(type, value.type) << Utf8FromWide(value.name);
    EXPECT_EQ(data, value.data) << Utf8FromWide(value.name);
  }
}
