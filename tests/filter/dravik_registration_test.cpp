// Dravik registered the way a user does it, with regsvr32, in a Wine prefix
// of its own (ctest runs this under a new, empty prefix): the COM keys and
// the filter record as the system sees them, then nothing of ours left after
// regsvr32 /u.

#include <gtest/gtest.h>
#include <dshow.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "dravik_test_support.h"
#include "filter/dravik_class.h"
#include "framework/com_ptr.h"
#include "filter/wvc1_subtype.h"
#include "framework/unique_handle.h"
#include "support/filter_mapper.h"
#include "support/test_graph.h"
#include "support/test_source.h"

using framework::ComPtr;
using framework::UniqueHKey;

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
  return text;
}

std::string GuidText(REFGUID guid) {
  WCHAR text[39];
  StringFromGUID2(guid, text, 39);
  std::string narrow;
  for (const WCHAR* c = text; *c; ++c) narrow += static_cast<char>(*c);
  return narrow;
}

using Needles = std::vector<std::string>;

bool Mentions(const std::string& text, const Needles& needles) {
  const std::string lower = Lower(text);
  for (const std::string& needle : needles)
    if (lower.find(needle) != std::string::npos) return true;
  return false;
}

// Every key below `key` whose name, or one of whose text values, mentions one
// of `needles` (lower case), as "path" or "path\value".
void FindMentions(HKEY key, const std::string& path, const Needles& needles,
                  std::vector<std::string>& found) {
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD nameLength = sizeof name;
    BYTE data[2048];
    DWORD dataLength = sizeof data;
    DWORD type = 0;
    const LONG status = RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &dataLength);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS || type != REG_SZ) continue;
    const char* text = reinterpret_cast<char*>(data);
    if (Mentions(std::string(text, strnlen(text, dataLength)), needles))
      found.push_back(path + "\\" + name);
  }
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD nameLength = sizeof name;
    if (RegEnumKeyExA(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    const std::string child = path + "\\" + name;
    if (Mentions(name, needles)) found.push_back(child);
    UniqueHKey sub;
    if (RegOpenKeyExA(key, name, 0, KEY_READ, sub.put()) == ERROR_SUCCESS)
      FindMentions(sub.get(), child, needles, found);
  }
}

// What the prefix's class registry holds of Dravik: keys and values that name
// its class identifier or its module.
std::vector<std::string> TracesOfDravik() {
  std::vector<std::string> found;
  const struct {
    HKEY root;
    const char* path;
  } roots[] = {{HKEY_LOCAL_MACHINE, "Software\\Classes"}, {HKEY_CURRENT_USER, "Software\\Classes"}};
  for (const auto& root : roots) {
    UniqueHKey key;
    if (RegOpenKeyExA(root.root, root.path, 0, KEY_READ, key.put()) != ERROR_SUCCESS) continue;
    FindMentions(key.get(), root.path, {Lower(GuidText(CLSID_DravikWriter)), "dravik.ax"}, found);
  }
  return found;
}

std::string TextValue(const std::string& keyName, const char* valueName) {
  UniqueHKey key;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, keyName.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
    return "<no key>";
  char data[1024] = {};
  DWORD size = sizeof data - 1;
  DWORD type = 0;
  if (RegQueryValueExA(key.get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) !=
      ERROR_SUCCESS)
    return "<no value>";
  return type == REG_SZ ? std::string(data) : "<not text>";
}

std::vector<BYTE> BinaryValue(const std::string& keyName, const char* valueName) {
  UniqueHKey key;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, keyName.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
    return {};
  std::vector<BYTE> data(4096);
  DWORD size = static_cast<DWORD>(data.size());
  if (RegQueryValueExA(key.get(), valueName, nullptr, nullptr, data.data(), &size) != ERROR_SUCCESS)
    return {};
  data.resize(size);
  return data;
}

const MatchQuery kWvc1Video{MEDIATYPE_Video, MEDIASUBTYPE_WVC1};

std::wstring DravikId() { return dravik_test::Widen(GuidText(CLSID_DravikWriter)); }

bool Lists(const MatchQuery& query) { return MatchingFilters(query).count(DravikId()) != 0; }

DWORD Dword(const std::vector<BYTE>& data, std::size_t offset) {
  DWORD value = 0;
  if (offset + 4 <= data.size()) std::memcpy(&value, data.data() + offset, 4);
  return value;
}

GUID GuidAt(const std::vector<BYTE>& data, std::size_t offset) {
  GUID value{};
  if (offset + sizeof value <= data.size()) std::memcpy(&value, data.data() + offset, sizeof value);
  return value;
}

class DravikRegistration : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
  void TearDown() override { CoUninitialize(); }

  long Regsvr32(const char* options) {
    return dravik_test::RunProgram(std::string("regsvr32.exe ") + options + " \"" +
                                   dravik_test::ModulePath() + "\"");
  }
};

TEST_F(DravikRegistration, Regsvr32WritesTheClassAndTheFilterRecordAndRemovesThem) {
  ASSERT_TRUE(TracesOfDravik().empty()) << "the prefix is not fresh";
  ASSERT_FALSE(Lists(kWvc1Video));

  ASSERT_EQ(Regsvr32("/s"), 0);
  const std::string classKey = dravik_test::ClassKeyName();
  EXPECT_EQ(TextValue(classKey, ""), "Dravik");
  EXPECT_EQ(Lower(TextValue(classKey + "\\InprocServer32", "")), Lower(dravik_test::ModulePath()));
  EXPECT_EQ(TextValue(classKey + "\\InprocServer32", "ThreadingModel"), "Both");

  // The record in the DirectShow filter category, as the mapper stored it.
  const std::string instance = "CLSID\\" + GuidText(CLSID_LegacyAmFilterCategory) + "\\Instance\\" +
                               GuidText(CLSID_DravikWriter);
  EXPECT_EQ(TextValue(instance, "FriendlyName"), "Dravik v0.2");
  EXPECT_EQ(Lower(TextValue(instance, "CLSID")), Lower(GuidText(CLSID_DravikWriter)));
  const std::vector<BYTE> data = BinaryValue(instance, "FilterData");
  ASSERT_GE(data.size(), 16u + 24u + 16u);
  EXPECT_EQ(Dword(data, 4), 0x00200000u);  // merit
  EXPECT_EQ(Dword(data, 8), 1u);           // pins
  EXPECT_EQ(Dword(data, 20), 0u);          // pin flags: not rendered, not output, not zero, not many
  EXPECT_EQ(Dword(data, 28), 1u);          // media types of the pin
  EXPECT_EQ(GuidAt(data, Dword(data, 48)), GUID_NULL);
  EXPECT_EQ(GuidAt(data, Dword(data, 52)), MEDIASUBTYPE_WVC1);

  // Found by the mapper: an input for WVC1 of any major type, merit exactly
  // "do not use", not a renderer and no output.
  const auto found = MatchingFilters(kWvc1Video);
  ASSERT_EQ(found.count(DravikId()), 1u);
  EXPECT_EQ(found.at(DravikId()), L"Dravik v0.2");
  EXPECT_TRUE(Lists({MEDIATYPE_Stream, MEDIASUBTYPE_WVC1}));
  EXPECT_TRUE(Lists({MEDIATYPE_Video, MEDIASUBTYPE_WVC1, 0x00200000}));
  EXPECT_FALSE(Lists({MEDIATYPE_Video, MEDIASUBTYPE_WVC1, 0x00200001}));
  EXPECT_FALSE(Lists({MEDIATYPE_Video, MEDIASUBTYPE_YV12}));
  EXPECT_FALSE(Lists({MEDIATYPE_Video, MEDIASUBTYPE_WVC1, 0, TRUE}));
  EXPECT_FALSE(Lists({MEDIATYPE_Video, MEDIASUBTYPE_WVC1, 0, FALSE, TRUE}));

  // Registering again changes nothing.
  ASSERT_EQ(Regsvr32("/s"), 0);
  EXPECT_EQ(BinaryValue(instance, "FilterData"), data);

  ASSERT_EQ(Regsvr32("/s /u"), 0);
  EXPECT_EQ(TracesOfDravik(), std::vector<std::string>{});
  EXPECT_FALSE(Lists(kWvc1Video));
  // Unregistering what is not registered is no error.
  EXPECT_EQ(Regsvr32("/s /u"), 0);
}

TEST_F(DravikRegistration, GraphBuildingNeverPicksTheFilter) {
  ASSERT_EQ(Regsvr32("/s"), 0);
  {
    // A source offering WVC1 video, rendered by the graph builder on its own.
    TestSourceScript script;
    script.type.majortype = MEDIATYPE_Video;
    script.type.subtype = MEDIASUBTYPE_WVC1;
    script.AddEndOfStream();
    ComPtr<CTestSource> source;
    source.attach(CTestSource::Create(script));
    TestGraph graph = TestGraph::Create(false);
    ASSERT_TRUE(graph.Valid());
    ASSERT_EQ(graph.builder->AddFilter(source.get(), L"Source"), S_OK);
    graph.builder->Render(source->OutputPin());  // whatever else it finds
    ComPtr<IEnumFilters> filters;
    ASSERT_EQ(graph.builder->EnumFilters(filters.put()), S_OK);
    int count = 0;
    ComPtr<IBaseFilter> filter;
    while (filters->Next(1, filter.put(), nullptr) == S_OK) {
      ++count;
      CLSID clsid{};
      filter->GetClassID(&clsid);
      EXPECT_NE(clsid, CLSID_DravikWriter);
    }
    EXPECT_GE(count, 1);
    filter.reset();
    filters.reset();
    graph.builder->RemoveFilter(source.get());
  }
  EXPECT_EQ(Regsvr32("/s /u"), 0);
}

}  // namespace
