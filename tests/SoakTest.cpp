// A seeded random run of add, change, delete and switch commands through
// the real window and dialog, checked after every command against a model
// of what the key, Windows' startup switches and the folder must hold. Registry names and data are UTF-8 in
// the model, so that names beyond any code page take part.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <map>
#include <memory>
#include <random>
#include <set>

#include "AutorunSandbox.h"
#include "GuiSupport.h"
#include "ManagerDriver.h"
#include "common/ShellLink.h"
#include "common/Unicode.h"
#include "manager/LocationCatalogue.h"
#include "manager/RecordStore.h"
#include "manager/velwin.h"

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The registry's "same name": letter case ignored, beyond ASCII too.
std::string Key(const std::string& utf8) {
  std::wstring wide = WideFromUtf8(utf8);
  if (!wide.empty()) CharUpperBuffW(&wide[0], static_cast<DWORD>(wide.size()));
  return Utf8FromWide(wide);
}

// The Run key as the registry holds it, read with its UTF-16 calls.
std::map<std::string, std::pair<std::string, DWORD>> RunValues() {
  std::map<std::string, std::pair<std::string, DWORD>> values;
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, W(RunKeyPath("Run")).c_str(), 0, KEY_READ, &key)) return values;
  for (DWORD i = 0;; ++i) {
    wchar_t name[512], data[2048];
    DWORD nameLength = 512, dataSize = sizeof data - sizeof(wchar_t), type = 0;
    if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize)) break;
    data[dataSize / sizeof(wchar_t)] = L'\0';
    values[Utf8FromWide(std::wstring(name, nameLength))] = {Utf8FromWide(data), type};
  }
  RegCloseKey(key);
  return values;
}

// Windows' switches of the Run key: off or on, by the registry's name.
std::map<std::string, bool> RunSwitches() {
  std::map<std::string, bool> switches;
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, W(RunKeyPath(SwitchKey("Run").c_str())).c_str(), 0, KEY_READ, &key))
    return switches;
  for (DWORD i = 0;; ++i) {
    wchar_t name[512];
    BYTE data[64];
    DWORD nameLength = 512, size = sizeof data;
    if (RegEnumValueW(key, i, name, &nameLength, nullptr, nullptr, data, &size)) break;
    switches[Key(Utf8FromWide(std::wstring(name, nameLength)))] = size == 12 && (data[0] & 1);
  }
  RegCloseKey(key);
  return switches;
}

struct ModelValue {
  std::string name, data;
  DWORD type;
};

class Soak {
 public:
  Soak(unsigned seed, AutorunSandbox& sandbox) : random_(seed), sandbox_(sandbox), seed_(seed) {}

  void Seed(const std::string& name, const std::string& data, DWORD type) {
    sandbox_.SetValue(HKEY_CURRENT_USER, "Run", name, data, type);
    registry_[Key(name)] = {name, data, type};
  }

  // Private bytes and windows of this thread at every reopening.
  std::vector<long long> bytesAtReopen;
  std::vector<int> windowsAtReopen;

  void Run(int commands) {
    for (int i = 0; i < commands; ++i) {
      if (i % 100 == 0) Reopen();
      const bool folder = Pick(4) == 0;
      Select(folder ? "Auto Run" : "Run");
      const int action = Pick(folder ? 3 : 4);
      const std::string before = Describe();
      if (folder)
        FolderCommand(action);
      else
        RegistryCommand(action);
      Check(i, before);
      if (::testing::Test::HasFailure()) return;
    }
    window_.reset();
  }

 private:
  int Pick(int n) { return static_cast<int>(random_() % n); }
  std::string Name() {
    // "Тест" and "тест" are one name to the registry; "日本" has no ANSI form.
    static const char* const names[] = {"a", "A", "b", "tool", "Tool", "x y", "", "%path%", "long name here",
                                        "\xd0\xa2\xd0\xb5\xd1\x81\xd1\x82", "\xd1\x82\xd0\xb5\xd1\x81\xd1\x82",
                                        "\xe6\x97\xa5\xe6\x9c\xac"};
    return names[Pick(12)];
  }
  std::string Path() { return "C:\\Prog " + std::to_string(Pick(5)) + "\\app" + std::to_string(Pick(4)) + ".exe"; }

  void Reopen() {
    manager_.reset();
    window_.reset();
    PumpUntilIdle();
    bytesAtReopen.push_back(PrivateBytes());
    windowsAtReopen.push_back(ThreadWindowCount());
    window_ = std::make_unique<TVelmoraWin>();
    ShowWindow(window_->Handle(), SW_SHOWNOACTIVATE);
    manager_ = std::make_unique<ManagerDriver>(*window_->Velmora);
  }
  ManagerDriver& Frame() { return *manager_; }
  void Select(const std::string& caption) {
    for (HTREEITEM c = Frame().tvAutoRun.FirstChild(Frame().tvAutoRun.Root()); c; c = Frame().tvAutoRun.NextSibling(c))
      if (A(Frame().tvAutoRun.Caption(c)) == caption && Frame().tvAutoRun.Selected() != c) Frame().tvAutoRun.Select(c);
  }
  // Selects a random row; false when the list is empty.
  bool SelectRow() {
    const int count = Frame().lvAutoRun.Count();
    if (count == 0) return false;
    Frame().lvAutoRun.SelectOnly(Pick(count));
    return true;
  }
  void Dialog(const std::string& name, const std::string& path, bool ok) {
    driver_.When("TAutoRunItemDlg", [=](HWND dialog) {
      HWND first = FindWindowExA(dialog, nullptr, "Edit", nullptr);
      SetWindowTextW(first, WideFromUtf8(name).c_str());
      SetWindowTextW(FindWindowExA(dialog, first, "Edit", nullptr), WideFromUtf8(path).c_str());
      HWND button = FindWindowExA(dialog, nullptr, "VelmoraSpeedButton", nullptr);
      if (!ok) button = FindWindowExA(dialog, button, "VelmoraSpeedButton", nullptr);
      SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, 0);
      SendMessageA(button, WM_LBUTTONUP, 0, 0);
    });
  }
  void ExpectBox(const std::string& text) {
    expectedBoxes_.push_back(text);
    driver_.AnswerMessageBox();
  }

  void RegistryCommand(int action) {
    const bool ok = Pick(10) != 0;
    if (action == 0) {
      const std::string name = Name(), path = Path();
      Dialog(name, path, ok);
      if (ok) {
        if (registry_.count(Key(name))) {
          ExpectBox("Value '" + name + "' already exists.");
        } else {
          registry_[Key(name)] = {name, path, REG_SZ};
          switches_.erase(Key(name));  // a deleted entry's switch
        }
      }
      Frame().tbAdd.Click();
    } else if (action == 1) {
      if (!SelectRow()) return;
      const std::string oldName = Utf8FromWide(Frame().RowItem(Frame().lvAutoRun.SelectedIndex())->Name);
      const std::string name = Pick(3) == 0 ? oldName : Name(), path = Path();
      Dialog(name, path, ok);
      if (ok) {
        ModelValue value = registry_.at(Key(oldName));
        if (Key(name) != Key(oldName) && registry_.count(Key(name))) {
          ExpectBox("Value '" + name + "' already exists.");
        } else {
          registry_.erase(Key(oldName));
          registry_[Key(name)] = {name, path, value.type == REG_EXPAND_SZ ? DWORD(REG_EXPAND_SZ) : DWORD(REG_SZ)};
          if (Key(name) != Key(oldName)) {
            const auto moved = switches_.find(Key(oldName));
            if (moved != switches_.end()) switches_[Key(name)] = moved->second;
            else switches_.erase(Key(name));
            switches_.erase(Key(oldName));
          }
        }
      }
      Frame().tbChange.Click();
    } else if (action == 2) {
      if (!SelectRow()) return;
      const std::string name = Key(Utf8FromWide(Frame().RowItem(Frame().lvAutoRun.SelectedIndex())->Name));
      registry_.erase(name);
      switches_.erase(name);
      Frame().tbDelete.Click();
    } else {
      if (!SelectRow()) return;
      const int row = Frame().lvAutoRun.SelectedIndex();
      const std::string name = Key(Utf8FromWide(Frame().RowItem(row)->Name));
      switches_[name] = !(switches_.count(name) && switches_[name]);
      if (Pick(2)) {
        Frame().OpenPopup();
        Frame().miSwitch.Click();
      } else {
        // Space on the focused row, as the keyboard sends it.
        Frame().lvAutoRun.SetFocused(row, true);
        SendMessageA(Frame().lvAutoRun.Handle(), WM_KEYDOWN, VK_SPACE, 0x00390001);
        SendMessageA(Frame().lvAutoRun.Handle(), WM_CHAR, ' ', 0x00390001);
        SendMessageA(Frame().lvAutoRun.Handle(), WM_KEYUP, VK_SPACE, static_cast<LPARAM>(0xC0390001u));
      }
    }
  }

  void FolderCommand(int action) {
    if (action == 1) action = 0;  // no change command for files
    if (action == 0) {
      const bool ok = Pick(10) != 0;
      const std::string target = "C:\\Tools\\prog" + std::to_string(Pick(4)) + (Pick(2) ? ".exe" : ".v2.exe");
      Dialog("ignored", target, ok);
      if (ok) {
        const std::string base = ShortcutBaseName(sandbox_.UserStartup().Path(), target);
        std::string candidate = base;
        for (int n = 1; files_.count(Lower(candidate)); ++n) candidate = NumberedShortcutName(base, n);
        files_.insert(Lower(candidate));
      }
      Frame().tbAdd.Click();
    } else {
      if (!SelectRow()) return;
      files_.erase(Lower(A(Frame().RowItem(Frame().lvAutoRun.SelectedIndex())->FilePath())));
      Frame().tbDelete.Click();
    }
  }

  std::string Describe() {
    std::string text;
    for (const auto& value : RunValues()) text += "[" + value.first + "]";
    return text;
  }

  void Check(int command, const std::string& before) {
    PumpUntilIdle();
    const std::string where = "seed " + std::to_string(seed_) + ", command " + std::to_string(command) +
                              ", key before: " + before;
    ASSERT_TRUE(driver_.Done()) << where;
    std::vector<std::string> boxes;
    for (const std::wstring& box : driver_.boxTextsW) boxes.push_back(Utf8FromWide(box));
    ASSERT_EQ(boxes, expectedBoxes_) << where;
    std::map<std::string, std::pair<std::string, DWORD>> model;
    for (const auto& entry : registry_) model[entry.second.name] = {entry.second.data, entry.second.type};
    ASSERT_EQ(RunValues(), model) << where;
    ASSERT_EQ(RunSwitches(), switches_) << where;
    if (A(Frame().tvAutoRun.Caption(Frame().tvAutoRun.Selected())) == "Run") {
      for (int row = 0; row < Frame().lvAutoRun.Count(); ++row) {
        const std::string name = Key(Utf8FromWide(Frame().RowItem(row)->Name));
        const bool off = switches_.count(name) && switches_.at(name);
        ASSERT_EQ(Frame().lvAutoRun.CheckOf(row), off ? ui::ListView::Check::Cleared : ui::ListView::Check::Checked)
            << where << ", row " << name;
      }
    }
    std::set<std::string> actualFiles;
    for (const std::string& name : sandbox_.UserStartup().Names()) actualFiles.insert(Lower(sandbox_.UserStartup().File(name)));
    ASSERT_EQ(actualFiles, files_) << where;
  }

  std::mt19937 random_;
  AutorunSandbox& sandbox_;
  unsigned seed_;
  std::unique_ptr<TVelmoraWin> window_;
  std::unique_ptr<ManagerDriver> manager_;
  WindowDriver driver_;
  std::map<std::string, ModelValue> registry_;  // by lower-case name
  std::map<std::string, bool> switches_;        // Run's switches, off or on, by Key()
  std::set<std::string> files_;                 // lower-case full paths
  std::vector<std::string> expectedBoxes_;
};

}  // namespace

TEST(CommandSoak, ThousandCommandsMatchTheModel) {
  AutorunSandbox sandbox;
  SetWow64ViewForTesting(0);
  for (const char* key : kRunKeys) sandbox.EmptyKey(HKEY_CURRENT_USER, key);
  sandbox.RemoveKey(HKEY_CURRENT_USER, SwitchKey("Run").c_str());
  // An expandable value to start with, so that changes keep its type.
  // A fixed seed, so that the test command's result is the same every
  // time; VEL_SOAK_SEED tries others.
  const char* fixed = std::getenv("VEL_SOAK_SEED");
  const unsigned seed = fixed ? static_cast<unsigned>(std::strtoul(fixed, nullptr, 10)) : 1208u;
  std::printf("soak seed %u (set VEL_SOAK_SEED to try another)\n", seed);
  Soak soak(seed, sandbox);
  soak.Seed("%path%", "%windir%\\x.exe", REG_EXPAND_SZ);
  soak.Run(1000);
  // Between batches the manager was closed and opened again: from the
  // second batch on, nothing accumulates.
  ASSERT_GE(soak.bytesAtReopen.size(), 3u);
  std::printf("private bytes at reopening: %lld ... %lld; windows %d ... %d\n", soak.bytesAtReopen[1],
              soak.bytesAtReopen.back(), soak.windowsAtReopen[1], soak.windowsAtReopen.back());
  EXPECT_LT(soak.bytesAtReopen.back() - soak.bytesAtReopen[1], 2 * 1024 * 1024);
  EXPECT_EQ(soak.windowsAtReopen.back(), soak.windowsAtReopen[1]);
  SetWow64ViewForTesting(-1);
}

namespace {

// Another program at work in the same key while the user acts: it adds,
// overwrites, renames and deletes values and switches them, at random,
// between Resume and Pause, and tells which names it touched.
class SecondWriter {
 public:
  explicit SecondWriter(unsigned seed) : random_(seed), thread_([this] { Run(); }) {}
  ~SecondWriter() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  // Half the writes go to these names (the rows the user is acting on):
  // the races that matter come often.
  void Resume(const std::vector<std::string>& aim = {}) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      aim_.clear();
      for (const std::string& name : aim) aim_.push_back(WideFromUtf8(name));
      touched_.clear();
      active_ = true;
    }
    changed_.notify_all();
  }
  // Waits for the write under way; returns the names (by Key) touched.
  std::set<std::string> Pause() {
    std::unique_lock<std::mutex> lock(mutex_);
    active_ = false;
    changed_.wait(lock, [this] { return !busy_; });
    return touched_;
  }
  std::atomic<int> writes{0};

 private:
  void Run() {
    for (;;) {
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return stop_ || active_; });
        if (stop_) return;
        busy_ = true;
      }
      Write();
      {
        std::lock_guard<std::mutex> lock(mutex_);
        busy_ = false;
      }
      changed_.notify_all();
      Sleep(static_cast<DWORD>(20 + random_() % 60));
    }
  }
  void Touch(const std::wstring& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    touched_.insert(Key(Utf8FromWide(name)));
  }
  void Write() {
    static const wchar_t* const names[] = {L"a", L"A", L"b", L"tool", L"x y", L"\u0422\u0435\u0441\u0442", L"w1", L"w2"};
    std::wstring name = names[random_() % 8];
    const std::wstring other = names[random_() % 8];
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!aim_.empty() && random_() % 2) name = aim_[random_() % aim_.size()];
    }
    const std::wstring run = W(RunKeyPath("Run")), switches = W(RunKeyPath(SwitchKey("Run").c_str()));
    const std::vector<BYTE> data = Utf16(L"C:\\Other " + std::to_wstring(random_() % 4) + L"\\w.exe");
    std::vector<BYTE> off = {3, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8}, on(12, 0);
    on[0] = 2;
    Touch(name);
    ++writes;
    switch (random_() % 5) {
      case 0:
        RegSetKeyValueW(HKEY_CURRENT_USER, run.c_str(), name.c_str(), REG_SZ, data.data(), static_cast<DWORD>(data.size()));
        break;
      case 1:
        RegDeleteKeyValueW(HKEY_CURRENT_USER, run.c_str(), name.c_str());
        RegDeleteKeyValueW(HKEY_CURRENT_USER, switches.c_str(), name.c_str());
        break;
      case 2:  // renamed, as an installer renames: the new name first
        Touch(other);
        RegSetKeyValueW(HKEY_CURRENT_USER, run.c_str(), other.c_str(), REG_SZ, data.data(), static_cast<DWORD>(data.size()));
        if (!SameNameW(name, other)) RegDeleteKeyValueW(HKEY_CURRENT_USER, run.c_str(), name.c_str());
        break;
      default: {
        const std::vector<BYTE>& bytes = random_() % 2 ? off : on;
        RegSetKeyValueW(HKEY_CURRENT_USER, switches.c_str(), name.c_str(), REG_BINARY, bytes.data(), 12);
      }
    }
  }
  static bool SameNameW(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
  }

  std::mt19937 random_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool stop_ = false, active_ = false, busy_ = false;
  std::set<std::string> touched_;
  std::vector<std::wstring> aim_;
  std::thread thread_;
};

// The user's run beside the writer, judged by identity: every command
// changed only the entries taken when the user acted (or ones the writer
// touched), or said why naming them; what it deleted is in a record; once
// the writer rests the list equals the registry.
class ContendedSoak {
 public:
  ContendedSoak(unsigned seed, AutorunSandbox& sandbox) : random_(seed), writer_(seed * 7919u + 1), seed_(seed) {
    (void)sandbox;
    driver_.answerAnyBox = true;
  }
  ~ContendedSoak() {
    manager_.reset();
    window_.reset();
  }
  int commands = 0, refused = 0;
  int Writes() const { return writer_.writes; }

  void Run(int count) {
    for (int i = 0; i < count && !::testing::Test::HasFailure(); ++i) {
      if (i % 50 == 0) Reopen();
      ASSERT_TRUE(PumpUntil([&] { return ListShowsRegistry(); }, 5000))
          << Where(i) << ": once quiet, the list shows what is stored\n" << trail_ << shownText_ << "\nstored:\n" << storedText_;
      Step(i);
    }
  }

 private:
  using Values = std::map<std::string, std::pair<std::string, std::pair<std::string, DWORD>>>;  // Key -> name, data
  int Pick(int n) { return static_cast<int>(random_() % static_cast<unsigned>(n)); }
  std::string Where(int i) const { return "seed " + std::to_string(seed_) + ", command " + std::to_string(i); }
  static Values ByKey() {
    Values values;
    for (const auto& [name, data] : RunValues()) values[Key(name)] = {name, data};
    return values;
  }
  ManagerDriver& Frame() { return *manager_; }

  void Reopen() {
    manager_.reset();
    window_.reset();
    PumpUntilIdle();
    window_ = std::make_unique<TVelmoraWin>();
    ShowWindow(window_->Handle(), SW_SHOWNOACTIVATE);
    manager_ = std::make_unique<ManagerDriver>(*window_->Velmora);
    for (HTREEITEM c = Frame().tvAutoRun.FirstChild(Frame().tvAutoRun.Root()); c; c = Frame().tvAutoRun.NextSibling(c))
      if (A(Frame().tvAutoRun.Caption(c)) == "Run") Frame().tvAutoRun.Select(c);
    if (Pick(2)) Frame().ClickHeader(Pick(2));
    touchedByUser_.clear();
  }

  bool ListShowsRegistry() {
    std::map<std::string, std::string> shown, stored;
    for (int row = 0; row < Frame().lvAutoRun.Count(); ++row) {
      const TAutoRunItem* item = Frame().ListedItem(row);
      shown[Utf8FromWide(item->Name)] = Utf8FromWide(item->Command) +
                                        (Frame().lvAutoRun.CheckOf(row) == ui::ListView::Check::Cleared ? " off" : "");
    }
    const auto switches = RunSwitches();
    for (const auto& [name, data] : RunValues()) {
      const auto off = switches.find(Key(name));
      stored[name] = data.first + (off != switches.end() && off->second ? " off" : "");
    }
    shownText_.clear();
    storedText_.clear();
    for (const auto& [name, text] : shown) shownText_ += name + " = " + text + "\n";
    for (const auto& [name, text] : stored) storedText_ += name + " = " + text + "\n";
    return shown == stored;
  }
  std::string shownText_, storedText_, trail_;

  // Selects 1..most rows at random, the last focused; returns their names.
  std::vector<std::string> SelectRows(int most) {
    std::vector<std::string> names;
    const int count = Frame().lvAutoRun.Count();
    if (count == 0) return names;
    const int wanted = 1 + Pick(most);
    Frame().lvAutoRun.SelectOnly(Pick(count));
    for (int n = 1; n < wanted; ++n) Frame().lvAutoRun.SetSelected(Pick(count), true);
    int last = -1;
    for (int row = -1; (row = Frame().lvAutoRun.NextSelected(row)) >= 0; last = row)
      names.push_back(Utf8FromWide(Frame().ListedItem(row)->Name));
    Frame().lvAutoRun.SetFocused(last, true);
    return names;
  }
  // The other program rests from the moment the command acts: what is
  // stored then is what the command must be judged against.
  void Rest() {
    writer_.Pause();
    atCommand_ = ByKey();
    switchesAtCommand_ = RunSwitches();
  }
  void Dialog(const std::string& name, const std::string& path) {
    driver_.When("TAutoRunItemDlg", [=](HWND dialog) {
      HWND first = FindWindowExA(dialog, nullptr, "Edit", nullptr);
      SetWindowTextW(first, WideFromUtf8(name).c_str());
      SetWindowTextW(FindWindowExA(dialog, first, "Edit", nullptr), WideFromUtf8(path).c_str());
      Rest();
      HWND button = FindWindowExA(dialog, nullptr, "VelmoraSpeedButton", nullptr);
      SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, 0);
      SendMessageA(button, WM_LBUTTONUP, 0, 0);
    });
  }
  std::string NewName() {
    static const char* const names[] = {"a", "b", "tool", "Tool", "x y", "\xd0\xa2\xd0\xb5\xd1\x81\xd1\x82", "u1", "u2"};
    return names[Pick(8)];
  }
  std::vector<std::string> SelectedNames() {
    std::vector<std::string> names;
    for (int row = -1; (row = Frame().lvAutoRun.NextSelected(row)) >= 0;)
      names.push_back(Utf8FromWide(Frame().ListedItem(row)->Name));
    return names;
  }
  static void Linger(int ms) { PumpUntil([] { return false; }, static_cast<DWORD>(ms)); }

  enum Action { kChange, kRename, kDelete, kPopupDelete, kPopupSwitch, kSpace, kUndo, kAdd };

  // The user chooses rows while the other program writes, then acts: the
  // entries are taken at the key press, the popup's opening, the edit's
  // opening; the other program rests when the command runs.
  void Step(int i) {
    const std::vector<std::wstring> recordsBefore = KeptRecords();
    const size_t boxes = driver_.boxTexts.size();
    const Action action = static_cast<Action>(Pick(8));
    std::vector<std::string> taken;
    const std::string newName = NewName(), path = "C:\\Prog " + std::to_string(Pick(5)) + "\\app.exe";
    bool switchTo = false;
    const auto choose = [&](int most) {
      const std::vector<std::string> aim = SelectRows(most);
      writer_.Resume(aim);
      Linger(Pick(150));
      return Frame().lvAutoRun.SelectedCount() > 0;
    };
    switch (action) {
      case kChange:
        if (!choose(1)) break;
        taken = {Utf8FromWide(Frame().ListedItem(Frame().lvAutoRun.FocusedIndex() >= 0 &&
                                                         Frame().lvAutoRun.IsSelected(Frame().lvAutoRun.FocusedIndex())
                                                     ? Frame().lvAutoRun.FocusedIndex()
                                                     : Frame().lvAutoRun.SelectedIndex())
                                  ->Name)};
        Dialog(newName, path);
        Frame().PressKey(VK_RETURN);
        break;
      case kRename: {
        if (!choose(1)) break;
        const int row = Frame().lvAutoRun.SelectedIndex();
        taken = {Utf8FromWide(Frame().ListedItem(row)->Name)};
        Frame().lvAutoRun.SetFocused(row, true);
        Frame().PressKey(VK_F2);
        Linger(Pick(200));  // the edit box stays open a while
        Rest();
        const HWND edit = reinterpret_cast<HWND>(SendMessageW(Frame().lvAutoRun, LVM_GETEDITCONTROL, 0, 0));
        if (edit) {
          SetWindowTextW(edit, WideFromUtf8(newName).c_str());
          SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
        }
        break;
      }
      case kDelete:
      case kSpace:
        if (!choose(action == kDelete ? 3 : 1)) break;
        Rest();
        taken = SelectedNames();
        if (action == kDelete) {
          Frame().PressKey(VK_DELETE);
          break;
        }
        {
          const int row = Frame().lvAutoRun.SelectedIndex();
          taken = {Utf8FromWide(Frame().ListedItem(row)->Name)};
          Frame().lvAutoRun.SetFocused(row, true);
          switchTo = Frame().lvAutoRun.CheckOf(row) == ui::ListView::Check::Cleared;
          SendMessageA(Frame().lvAutoRun.Handle(), WM_KEYDOWN, VK_SPACE, 0x00390001);
          SendMessageA(Frame().lvAutoRun.Handle(), WM_CHAR, ' ', 0x00390001);
          SendMessageA(Frame().lvAutoRun.Handle(), WM_KEYUP, VK_SPACE, static_cast<LPARAM>(0xC0390001u));
        }
        break;
      case kPopupDelete:
      case kPopupSwitch:
        if (!choose(3)) break;
        taken = SelectedNames();
        Frame().OpenPopup();
        switchTo = A(Frame().pmAutoRun.Caption(3)) == "Enable";
        Linger(100 + Pick(200));  // the menu stays open a while
        Rest();
        Frame().ChooseOpened(action == kPopupDelete ? Frame().miDelete : Frame().miSwitch);
        break;
      case kUndo:
        Rest();
        Frame().PressKey('Z', true);
        break;
      case kAdd:
        writer_.Resume({newName});
        Dialog(newName, path);
        Frame().PressKey(VK_INSERT);
        break;
    }
    PumpUntil([&] { return driver_.Done(); }, 5000);
    PumpUntilIdle();
    writer_.Pause();
    if (taken.empty() && action != kUndo && action != kAdd) return;  // nothing was chosen
    ++commands;
    std::string line = std::to_string(i) + ": action " + std::to_string(action) + " new " + newName + " taken";
    for (const std::string& name : taken) line += " [" + name + "]";
    for (size_t box = boxes; box < driver_.boxTexts.size(); ++box) line += " box: " + Utf8FromWide(driver_.boxTextsW[box]);
    trail_ = trail_.substr(trail_.size() > 600 ? trail_.size() - 600 : 0) + line + "\n";
    Judge(Where(i) + ", action " + std::to_string(action), action, taken, newName, path, switchTo, recordsBefore,
          boxes);
  }

  void Judge(const std::string& where, Action action, const std::vector<std::string>& taken,
             const std::string& newName, const std::string& path, bool switchTo,
             const std::vector<std::wstring>& recordsBefore, size_t boxes) {
    const Values& was = atCommand_;
    const Values now = ByKey();
    const auto& switchesWere = switchesAtCommand_;
    const auto switchesNow = RunSwitches();
    const auto offIn = [](const std::map<std::string, bool>& switches, const std::string& key) {
      const auto found = switches.find(key);
      return found != switches.end() && found->second;
    };
    std::vector<std::string> mine;
    for (const std::string& name : taken) mine.push_back(Key(name));
    if (action == kChange || action == kRename || action == kAdd) mine.push_back(Key(newName));
    if (action == kUndo) mine.insert(mine.end(), touchedByUser_.begin(), touchedByUser_.end());
    touchedByUser_.insert(mine.begin(), mine.end());
    const auto isMine = [&](const std::string& key) { return std::find(mine.begin(), mine.end(), key) != mine.end(); };
    std::set<std::string> names;
    for (const auto& value : was) names.insert(value.first);
    for (const auto& value : now) names.insert(value.first);
    for (const std::string& name : names) {
      if (isMine(name)) continue;
      ASSERT_EQ(was.count(name), now.count(name)) << where << ": a bystander came or went: " << name;
      if (was.count(name)) {
        ASSERT_EQ(was.at(name), now.at(name)) << where << ": a bystander changed: " << name;
      }
      ASSERT_EQ(offIn(switchesWere, name), offIn(switchesNow, name)) << where << ": a bystander was switched: " << name;
    }
    // A refusal names what it refused; nothing internal reaches the user.
    std::vector<std::wstring> said(driver_.boxTextsW.begin() + static_cast<std::ptrdiff_t>(boxes),
                                   driver_.boxTextsW.end());
    for (const std::wstring& text : said) {
      ASSERT_NE(text.find(L'\''), std::wstring::npos) << where << ": " << Utf8FromWide(text);
      ASSERT_EQ(text.find(L"vector"), std::wstring::npos) << where << ": " << Utf8FromWide(text);
    }
    refused += said.empty() ? 0 : 1;
    const auto named = [&](const std::string& name) {
      return !said.empty() && said.back().find(L"'" + WideFromUtf8(name) + L"'") != std::wstring::npos;
    };
    // Each taken entry in turn: done as the command says, or the first
    // that is gone since is refused by name and the rest left alone.
    std::set<std::wstring> kept;
    const std::set<std::wstring> old(recordsBefore.begin(), recordsBefore.end());
    for (const std::wstring& record : KeptRecords()) {
      EntryRecord read;
      if (!old.count(record) && ReadRecord(record, read)) kept.insert(read.name);
    }
    bool stopped = false;
    for (const std::string& name : taken) {
      const std::string key = Key(name);
      if (action == kRename && newName == name) continue;  // the same name typed: nothing to do
      const bool there = was.count(key) > 0;  // by the registry's name: any case
      if (stopped) {
        ASSERT_EQ(was.count(key), now.count(key)) << where << ": after the stop: " << name;
        continue;
      }
      if (!there) {
        ASSERT_TRUE(named(name)) << where << ": gone since, and not refused by name: " << name;
        stopped = true;
        continue;
      }
      switch (action) {
        case kDelete:
        case kPopupDelete:
          ASSERT_FALSE(now.count(key)) << where << ": not deleted: " << name;
          ASSERT_TRUE(kept.count(WideFromUtf8(name))) << where << ": no record of " << name;
          break;
        case kPopupSwitch:
        case kSpace:
          ASSERT_EQ(offIn(switchesNow, key), !switchTo) << where << ": not switched as named: " << name;
          if (offIn(switchesWere, key) == !switchTo && !switchesWere.count(key) == !switchesNow.count(key)) {
            ASSERT_FALSE(kept.count(WideFromUtf8(name))) << where << ": a switch already so was written: " << name;
          }
          break;
        case kChange:
        case kRename:
          if (Key(newName) != key && was.count(Key(newName))) {
            ASSERT_TRUE(named(newName)) << where << ": a taken name was not refused: " << newName;
            break;
          }
          ASSERT_TRUE(now.count(Key(newName))) << where << ": not renamed: " << name << " to " << newName;
          if (action == kChange)
            ASSERT_EQ(now.at(Key(newName)).second.first, path) << where;
          else
            ASSERT_EQ(now.at(Key(newName)).second, was.at(key).second) << where << ": F2 changed the command";
          break;
        default:
          break;
      }
    }
    if (action == kAdd && !was.count(Key(newName))) {
      ASSERT_TRUE(now.count(Key(newName))) << where << ": not added: " << newName;
      ASSERT_EQ(now.at(Key(newName)).second.first, path) << where;
    }
  }

  std::mt19937 random_;
  SecondWriter writer_;
  unsigned seed_;
  WindowDriver driver_;
  std::unique_ptr<TVelmoraWin> window_;
  std::unique_ptr<ManagerDriver> manager_;
  std::set<std::string> touchedByUser_;  // in this opening, what undo may reach
  Values atCommand_;                      // what was stored when the command ran
  std::map<std::string, bool> switchesAtCommand_;
};

unsigned SoakSeed(unsigned fixed) {
  const char* asked = std::getenv("VEL_SOAK_SEED");
  return asked ? static_cast<unsigned>(std::strtoul(asked, nullptr, 10)) : fixed;
}

}  // namespace

TEST(CommandSoak, ASecondWriterNeverRedirectsACommand) {
  AutorunSandbox sandbox;
  SetWow64ViewForTesting(0);
  for (const char* key : kRunKeys) sandbox.EmptyKey(HKEY_CURRENT_USER, key);
  sandbox.RemoveKey(HKEY_CURRENT_USER, SwitchKey("Run").c_str());
  for (const char* name : {"a", "b", "tool", "x y", "keep"}) sandbox.SetValue(HKEY_CURRENT_USER, "Run", name, "C:\\s.exe");
  const unsigned seed = SoakSeed(20261208);
  std::printf("contended soak seed %u (set VEL_SOAK_SEED to try another)\n", seed);
  ContendedSoak soak(seed, sandbox);
  soak.Run(300);
  std::printf("%d commands, %d refused, %d writes by the other program\n", soak.commands, soak.refused, soak.Writes());
  SetWow64ViewForTesting(-1);
}
