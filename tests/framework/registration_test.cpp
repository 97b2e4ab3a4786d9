#include "framework/registration.h"

#include <gtest/gtest.h>
#include <uuids.h>

#include <map>
#include <string>

#include "framework/com_ptr.h"
#include "framework/module_server.h"
#include "framework/unique_handle.h"
#include "framework_fakes.h"
#include "support/filter_mapper.h"

using framework::ComPtr;
using framework::UniqueHKey;

namespace {

// Test-only identities, so parallel tests and real modules never collide.
constexpr CLSID kFilterClass = {0x3f9a2c41, 0x6b1d, 0x4e07, {0x8c, 0x5e, 0x2a, 0x90, 0x14, 0x7b, 0xd3, 0x61}};
constexpr CLSID kPlainClass = {0x3f9a2c41, 0x6b1d, 0x4e07, {0x8c, 0x5e, 0x2a, 0x90, 0x14, 0x7b, 0xd3, 0x62}};
constexpr CLSID kOldMapperClass = {0x3f9a2c41, 0x6b1d, 0x4e07, {0x8c, 0x5e, 0x2a, 0x90, 0x14, 0x7b, 0xd3, 0x63}};
constexpr GUID kTestSubtype = {0x3f9a2c41, 0x6b1d, 0x4e07, {0x8c, 0x5e, 0x2a, 0x90, 0x14, 0x7b, 0xd3, 0x70}};

WCHAR g_pinName[] = L"Input";
const AMOVIESETUP_MEDIATYPE kPinTypes[] = {{&GUID_NULL, &kTestSubtype}};
const AMOVIESETUP_PIN kPins[] = {
    {g_pinName, FALSE, FALSE, FALSE, FALSE, &GUID_NULL, L"Output", 1, kPinTypes}};
const AMOVIESETUP_FILTER kFilterSetup = {&kFilterClass, L"Framework test filter", MERIT_DO_NOT_USE,
                                         1, kPins};
// A pin record without a connects-to filter, as older setup data has it.
const AMOVIESETUP_PIN kOldPins[] = {{g_pinName, TRUE, FALSE, FALSE, FALSE, nullptr, nullptr, 1, kPinTypes}};
const AMOVIESETUP_FILTER kOldMapperSetup = {&kOldMapperClass, L"Framework test filter (old mapper)",
                                            MERIT_DO_NOT_USE, 1, kOldPins};

CUnknown* CreateNothing(IUnknown*, HRESULT* hr) {
  *hr = E_NOTIMPL;
  return nullptr;
}

}  // namespace

const CFactoryTemplate g_Templates[] = {
    {L"Framework test class", &kFilterClass, CreateNothing, nullptr, &kFilterSetup},
    {L"Framework plain class", &kPlainClass, CreateNothing, nullptr, nullptr},
};
const int g_cTemplates = sizeof g_Templates / sizeof g_Templates[0];

namespace {

std::string ClassKey(REFCLSID clsid) {
  WCHAR text[39];
  StringFromGUID2(clsid, text, 39);
  std::string key = "CLSID\\";
  for (const WCHAR* c = text; *c; ++c) key += static_cast<char>(*c);
  return key;
}

bool KeyExists(HKEY root, const std::string& name) {
  UniqueHKey key;
  return RegOpenKeyExA(root, name.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

// Every value and subkey below a key, flattened: "\\sub\\value" -> "type:data"
// (the default value has the empty name) and "\\sub/" -> "key".
void Snapshot(HKEY key, const std::string& prefix, std::map<std::string, std::string>& out) {
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD nameLength = sizeof name;
    BYTE data[1024];
    DWORD dataLength = sizeof data;
    DWORD type = 0;
    if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &dataLength) != ERROR_SUCCESS)
      break;
    out[prefix + "\\" + name] =
        std::to_string(type) + ":" + std::string(reinterpret_cast<char*>(data), dataLength);
  }
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD nameLength = sizeof name;
    if (RegEnumKeyExA(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    UniqueHKey child;
    if (RegOpenKeyExA(key, name, 0, KEY_READ, child.put()) == ERROR_SUCCESS) {
      out[prefix + "\\" + name + "/"] = "key";
      Snapshot(child.get(), prefix + "\\" + name, out);
    }
  }
}

std::map<std::string, std::string> SnapshotClass(REFCLSID clsid) {
  std::map<std::string, std::string> values;
  UniqueHKey key;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, ClassKey(clsid).c_str(), 0, KEY_READ, key.put()) ==
      ERROR_SUCCESS) {
    Snapshot(key.get(), "", values);
  }
  return values;
}

std::string Sz(const std::string& text) {
  return std::to_string(REG_SZ) + ":" + text + std::string(1, '\0');
}

std::string ModulePath() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return path;
}

// Filters (class id text -> friendly name) that the newer mapper lists for a
// video input of `subtype` at `merit` or above.
std::map<std::wstring, std::wstring> MatchingFilters(REFGUID subtype, DWORD merit = 0) {
  return ::MatchingFilters(MatchQuery{MEDIATYPE_Video, subtype, merit});
}

std::wstring GuidText(REFGUID guid) {
  WCHAR text[39];
  StringFromGUID2(guid, text, 39);
  return text;
}

bool Contains(const std::map<std::wstring, std::wstring>& filters, const std::wstring& id) {
  return filters.count(id) != 0;
}

class Registration : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    SetModuleInstance(GetModuleHandleA(nullptr));
    // Leftovers of an interrupted earlier run would hide real results.
    AMovieDllRegisterServer2(FALSE);
  }
  void TearDown() override {
    AMovieDllRegisterServer2(FALSE);
    CoUninitialize();
  }
};

TEST_F(Registration, WritesTheServerKeysOfEveryClass) {
  ASSERT_EQ(AMovieDllRegisterServer2(TRUE), S_OK);
  const struct {
    const CLSID* clsid;
    const char* description;
  } rows[] = {{&kFilterClass, "Framework test class"}, {&kPlainClass, "Framework plain class"}};
  for (const auto& row : rows) {
    const std::map<std::string, std::string> expected = {
        {"\\", Sz(row.description)},
        {"\\InprocServer32/", "key"},
        {"\\InprocServer32\\", Sz(ModulePath())},
        {"\\InprocServer32\\ThreadingModel", Sz("Both")},
    };
    EXPECT_EQ(SnapshotClass(*row.clsid), expected) << row.description;
  }
}

TEST_F(Registration, RegisteringTwiceEqualsRegisteringOnce) {
  ASSERT_EQ(AMovieDllRegisterServer2(TRUE), S_OK);
  const auto once = SnapshotClass(kFilterClass);
  const auto filtersOnce = MatchingFilters(kTestSubtype);
  ASSERT_EQ(AMovieDllRegisterServer2(TRUE), S_OK);
  EXPECT_EQ(SnapshotClass(kFilterClass), once);
  EXPECT_EQ(MatchingFilters(kTestSubtype), filtersOnce);
}

TEST_F(Registration, UnregisteringRemovesTheWholeClassKey) {
  ASSERT_EQ(AMovieDllRegisterServer2(TRUE), S_OK);
  // Keys and values that other software put below the class key go too.
  const std::string classKey = ClassKey(kFilterClass);
  UniqueHKey added;
  ASSERT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, (classKey + "\\Instance\\{00000000-0000-0000-0000-000000000001}").c_str(),
                          added.put()),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(added.get(), "FriendlyName", 0, REG_SZ,
                           reinterpret_cast<const BYTE*>("x"), 2),
            ERROR_SUCCESS);
  added.reset();
  ASSERT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, (classKey + "\\InprocServer32\\Extra").c_str(), added.put()),
            ERROR_SUCCESS);
  added.reset();

  EXPECT_EQ(AMovieDllRegisterServer2(FALSE), S_OK);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, classKey));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKey(kPlainClass)));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "CLSID"));
}

TEST_F(Registration, UnregisteringWhatWasNeverRegisteredSucceeds) {
  ASSERT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKey(kFilterClass)));
  EXPECT_EQ(AMovieDllRegisterServer2(FALSE), S_OK);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKey(kFilterClass)));
  EXPECT_EQ(AMovieSetupUnregisterServer(kPlainClass), S_OK);
}

TEST_F(Registration, NewerMapperFindsTheFilterRecordUntilUnregistered) {
  const std::wstring id = GuidText(kFilterClass);
  EXPECT_FALSE(Contains(MatchingFilters(kTestSubtype), id));
  ASSERT_EQ(AMovieDllRegisterServer2(TRUE), S_OK);
  const auto found = MatchingFilters(kTestSubtype);
  ASSERT_TRUE(Contains(found, id));
  EXPECT_EQ(found.at(id), L"Framework test filter");  // the setup record's name, not the row's
  EXPECT_FALSE(Contains(found, GuidText(kPlainClass)));  // only rows with setup data are filters
  // The merit went in with the record: MERIT_DO_NOT_USE and nothing more.
  EXPECT_TRUE(Contains(MatchingFilters(kTestSubtype, MERIT_DO_NOT_USE), id));
  EXPECT_FALSE(Contains(MatchingFilters(kTestSubtype, MERIT_DO_NOT_USE + 1), id));
  // The pin's type went in too: another subtype does not find it.
  EXPECT_FALSE(Contains(MatchingFilters(kPlainClass), id));
  ASSERT_EQ(AMovieDllRegisterServer2(FALSE), S_OK);
  EXPECT_FALSE(Contains(MatchingFilters(kTestSubtype), id));
}

TEST_F(Registration, NewerMapperRecordDirectly) {
  ComPtr<IFilterMapper2> mapper;
  ASSERT_EQ(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                             mapper.put_void()),
            S_OK);
  EXPECT_EQ(AMovieSetupRegisterFilter2(nullptr, mapper.get(), TRUE), S_FALSE);
  EXPECT_EQ(AMovieSetupRegisterFilter2(&kFilterSetup, nullptr, TRUE), E_POINTER);
  // Unknown to the mapper: no error.
  EXPECT_EQ(AMovieSetupRegisterFilter2(&kFilterSetup, mapper.get(), FALSE), S_OK);
  EXPECT_EQ(AMovieSetupRegisterFilter2(&kFilterSetup, mapper.get(), TRUE), S_OK);
  EXPECT_TRUE(Contains(MatchingFilters(kTestSubtype), GuidText(kFilterClass)));
  EXPECT_EQ(AMovieSetupRegisterFilter2(&kFilterSetup, mapper.get(), FALSE), S_OK);
  EXPECT_FALSE(Contains(MatchingFilters(kTestSubtype), GuidText(kFilterClass)));
}

// How often the older mapper lists the test filter for an input of `subtype`.
int OldMapperRecords(IFilterMapper* mapper, REFGUID subtype) {
  int records = 0;
  ComPtr<IEnumRegFilters> filters;
  if (mapper->EnumMatchingFilters(filters.put(), 0, TRUE, GUID_NULL, subtype, FALSE, FALSE, GUID_NULL,
                                  GUID_NULL) != S_OK)
    return records;
  REGFILTER* filter = nullptr;
  ULONG fetched = 0;
  while (filters->Next(1, &filter, &fetched) == S_OK && fetched == 1) {
    if (filter->Clsid == kOldMapperClass) ++records;
    CoTaskMemFree(filter);
  }
  return records;
}

TEST_F(Registration, OlderMapperRecordWithPinsAndTypes) {
  ComPtr<IFilterMapper> mapper;
  ASSERT_EQ(CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper,
                             mapper.put_void()),
            S_OK);
  EXPECT_EQ(AMovieSetupRegisterFilter(nullptr, mapper.get(), TRUE), S_FALSE);
  EXPECT_EQ(AMovieSetupRegisterFilter(&kOldMapperSetup, mapper.get(), FALSE), S_OK);
  // The pin names no filter to connect to; it is registered with GUID_NULL.
  ASSERT_EQ(AMovieSetupRegisterFilter(&kOldMapperSetup, mapper.get(), TRUE), S_OK);
  EXPECT_EQ(OldMapperRecords(mapper.get(), kTestSubtype), 1);
  ASSERT_EQ(AMovieSetupRegisterFilter(&kOldMapperSetup, mapper.get(), TRUE), S_OK);
  EXPECT_EQ(OldMapperRecords(mapper.get(), kTestSubtype), 1);
  EXPECT_EQ(AMovieSetupRegisterFilter(&kOldMapperSetup, mapper.get(), FALSE), S_OK);
  EXPECT_EQ(OldMapperRecords(mapper.get(), kTestSubtype), 0);
  EXPECT_EQ(AMovieSetupRegisterFilter(&kOldMapperSetup, mapper.get(), FALSE), S_OK);
}

TEST_F(Registration, RegisterServerAcceptsLongDescriptions) {
  // Longer than any fixed text buffer: written whole, not cut and not overrun.
  const std::wstring description(600, L'd');
  ASSERT_EQ(AMovieSetupRegisterServer(kPlainClass, description.c_str(), L"C:\\x\\module.ax"), S_OK);
  auto values = SnapshotClass(kPlainClass);
  EXPECT_EQ(values["\\"], Sz(std::string(600, 'd')));
  EXPECT_EQ(values["\\InprocServer32\\"], Sz("C:\\x\\module.ax"));
  EXPECT_EQ(AMovieSetupUnregisterServer(kPlainClass), S_OK);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKey(kPlainClass)));
}

TEST_F(Registration, UnreadableModulePathChangesNothing) {
  SetModuleInstance(reinterpret_cast<HINSTANCE>(static_cast<ULONG_PTR>(0x10)));  // no module
  const HRESULT hr = AMovieDllRegisterServer2(TRUE);
  SetModuleInstance(GetModuleHandleA(nullptr));
  EXPECT_TRUE(FAILED(hr));
  EXPECT_EQ(static_cast<DWORD>(hr) & 0xFFFF0000u, 0x80070000u);  // a Win32 error
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKey(kFilterClass)));
}

struct ApartmentRun {
  HRESULT registered = E_FAIL;
  HRESULT comStillUsable = E_FAIL;
  HRESULT unregistered = E_FAIL;
};

DWORD WINAPI RegisterFromMultithreadedApartment(LPVOID parameter) {
  auto* run = static_cast<ApartmentRun*>(parameter);
  if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 1;
  run->registered = AMovieDllRegisterServer2(TRUE);
  // Registration's own CoInitialize fails on this thread; it must not undo the
  // thread's initialisation on its way out.
  ComPtr<IFilterMapper2> mapper;
  run->comStillUsable = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IFilterMapper2, mapper.put_void());
  mapper.reset();
  run->unregistered = AMovieDllRegisterServer2(FALSE);
  CoUninitialize();
  return 0;
}

TEST_F(Registration, LeavesTheCallersApartmentAlone) {
  ApartmentRun run;
  HANDLE thread = CreateThread(nullptr, 0, RegisterFromMultithreadedApartment, &run, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(WaitForSingleObject(thread, 60000), WAIT_OBJECT_0);
  CloseHandle(thread);
  EXPECT_EQ(run.registered, S_OK);
  EXPECT_EQ(run.comStillUsable, S_OK);
  EXPECT_EQ(run.unregistered, S_OK);
}

class EliminateSubKeyTest : public ::testing::Test {
 protected:
  const std::string root = "Software\\vc1-framework-test-" + std::to_string(GetCurrentProcessId());
  void TearDown() override {
    const std::wstring wideRoot(root.begin(), root.end());
    RegDeleteTreeW(HKEY_CURRENT_USER, wideRoot.c_str());
  }
  void Create(const std::string& sub) {
    UniqueHKey key;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, (root + sub).c_str(), key.put()), ERROR_SUCCESS);
  }
};

TEST_F(EliminateSubKeyTest, DeletesAWholeTree) {
  for (const char* sub : {"\\a\\b\\c", "\\a\\b\\d", "\\a\\e", "\\f", "\\g\\h"}) Create(sub);
  EXPECT_EQ(EliminateSubKey(HKEY_CURRENT_USER, root.c_str()), S_OK);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, root));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software"));
}

TEST_F(EliminateSubKeyTest, EmptyNameDeletesNothingAndMissingKeyIsFine) {
  Create("\\kept");
  UniqueHKey parent;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, root.c_str(), 0, KEY_ALL_ACCESS, parent.put()),
            ERROR_SUCCESS);
  EXPECT_EQ(EliminateSubKey(parent.get(), ""), E_FAIL);
  EXPECT_EQ(EliminateSubKey(parent.get(), nullptr), E_FAIL);
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, root + "\\kept"));
  EXPECT_EQ(EliminateSubKey(parent.get(), "never-there"), S_OK);
}

struct EliminateRun {
  const char* name;
  HRESULT result;
};

DWORD WINAPI RunEliminate(LPVOID parameter) {
  auto* run = static_cast<EliminateRun*>(parameter);
  run->result = EliminateSubKey(HKEY_CURRENT_USER, run->name);
  return 0;
}

TEST_F(EliminateSubKeyTest, EndsWhenAChildCannotBeDeleted) {
  // A child whose name has no ANSI spelling cannot be opened by the name that
  // the ANSI enumeration reports, so it is never deleted and keeps turning up
  // at the same index. The walk must step past it and end.
  if (GetACP() == CP_UTF8) GTEST_SKIP() << "every name has an ANSI spelling here";
  Create("\\b\\c");
  const std::wstring unspellable =
      std::wstring(root.begin(), root.end()) + L"\\a\\\u4E2D\u6587";
  UniqueHKey key;
  ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, unspellable.c_str(), key.put()), ERROR_SUCCESS);
  key.reset();

  EliminateRun run{root.c_str(), E_PENDING};
  HANDLE thread = CreateThread(nullptr, 0, RunEliminate, &run, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  const DWORD waited = WaitForSingleObject(thread, 20000);
  if (waited != WAIT_OBJECT_0) TerminateThread(thread, 1);
  CloseHandle(thread);
  ASSERT_EQ(waited, WAIT_OBJECT_0) << "the walk did not end";
  EXPECT_EQ(run.result, S_OK);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, root + "\\b"));  // what could go, went
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, root + "\\a"));   // the rest stays
}

}  // namespace
