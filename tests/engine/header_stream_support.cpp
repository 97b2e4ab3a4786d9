#include "header_stream_support.h"

#include <sstream>

#include "engine/VC1Parse.h"

namespace enginetest {

StoreSnapshot TakeStore() {
  StoreSnapshot s;
  for (std::uint32_t i = 0; vc1::HeaderSyntaxTable[i].id != vc1::ID_END; ++i) {
    const vc1::HeaderField& row = vc1::HeaderSyntaxTable[i];
    if (row.bits != 0 && row.present) s.present.emplace_back(row.name, row.value);
  }
  const std::uint32_t count =
      vc1::HeaderSyntaxTable[vc1::FindFieldIndex(vc1::ID_HRD_NUM_LEAKY_BUCKETS)].value;
  for (std::uint32_t n = 0; n < count; ++n) {
    s.buckets.push_back(vc1::LeakyBucketTable[n].HRD_RATE);
    s.buckets.push_back(vc1::LeakyBucketTable[n].HRD_BUFFER);
    s.buckets.push_back(vc1::HrdFullTable[n]);
  }
  return s;
}

std::string Describe(const StoreSnapshot& s) {
  std::ostringstream out;
  for (const auto& [name, value] : s.present) out << name << "=" << value << " ";
  out << "| buckets:";
  for (std::uint32_t v : s.buckets) out << " " << v;
  return out.str();
}

::testing::AssertionResult StoreHolds(const Headers& h, const Encoded& e) {
  StoreSnapshot expected;
  for (std::uint32_t i = 0; vc1::HeaderSyntaxTable[i].id != vc1::ID_END; ++i) {
    const vc1::HeaderField& row = vc1::HeaderSyntaxTable[i];
    const auto it = e.elements.find(row.name);
    if (row.bits != 0 && it != e.elements.end()) expected.present.emplace_back(row.name, it->second);
  }
  const auto count = e.elements.count("HRD_NUM_LEAKY_BUCKETS") ? e.elements.at("HRD_NUM_LEAKY_BUCKETS") : 0u;
  for (std::uint32_t n = 0; n < count; ++n) {
    expected.buckets.push_back(n < h.buckets.size() ? h.buckets[n].first : 0u);
    expected.buckets.push_back(n < h.buckets.size() ? h.buckets[n].second : 0u);
    expected.buckets.push_back(n < h.full.size() ? h.full[n] : 0u);
  }
  const StoreSnapshot actual = TakeStore();
  if (actual == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "\n  store:    " << Describe(actual)
                                       << "\n  expected: " << Describe(expected);
}

}  // namespace enginetest
