// The host's records as the host reads them. Every published offset and size
// is a static_assert in host/nvse_records.h, checked wherever the 32-bit
// build compiles it (this test among them); here, an element's bytes as the
// host reads them, in every build.
#include <gtest/gtest.h>

#include <cstring>

#include "host/nvse_records.h"

namespace {

using Element = NVSEArrayVarInterface::Element;

TEST(HostRecords, AnElementReadsAsTheHostReadsIt) {
  // The host reads the value from the first eight bytes and the tag from the
  // ninth, whatever the build.
  Element e{};
  e.num = 2.5;
  e.type = Element::kType_Numeric;
  unsigned char bytes[sizeof(Element)];
  std::memcpy(bytes, &e, sizeof e);
  double num = 0;
  std::memcpy(&num, bytes, sizeof num);
  EXPECT_EQ(num, 2.5);
  EXPECT_EQ(bytes[8], Element::kType_Numeric);
}

}  // namespace
