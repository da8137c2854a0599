#include "platform/jet/header.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace jet {
namespace {

std::vector<uint8_t> sample_page0(const char* name) {
  std::ifstream in(std::string(TT_TEST_DATA_DIR) + "/access-format/" + name, std::ios::binary);
  std::vector<uint8_t> all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  all.resize(4096);
  return all;
}

TEST(Header, KeyStreamMatchesTheKnownMask) {
  auto ks = header_key_stream(16);
  const uint8_t first[16] = {0xB5, 0x6F, 0x03, 0x62, 0x61, 0x08, 0xC2, 0x55,
                             0xEB, 0xA9, 0x67, 0x72, 0x43, 0x3F, 0x00, 0x9C};
  EXPECT_TRUE(std::equal(ks.begin(), ks.end(), first));
}

TEST(Header, NewHeaderEqualsTheEngineBlankByteForByte) {
  EXPECT_EQ(build_header(format::jet4()), sample_page0("jackcess/adox_jet4.mdb"));
}

TEST(Header, PasswordRoundTripsAndDecodesFromAnAccessFile) {
  auto h = read_header(build_header(format::jet4(), L"s\u00e9cret"), "x");
  EXPECT_EQ(h.password, L"s\u00e9cret");
  EXPECT_EQ(h.code_page, 1252);
  EXPECT_EQ(h.sort_order, 0x0409);
  auto access = read_header(sample_page0("mdb-reader/V2000_with-password.mdb"), "x");
  EXPECT_EQ(access.password, L"password");
  EXPECT_EQ(read_header(build_header(format::jet4()), "x").password, L"");
  EXPECT_THROW(build_header(format::jet4(), std::wstring(21, L'a')), error);
}

// A Jet 3 password is stored in the code page, without the date mask; it reads back as written.
TEST(Header, Jet3PasswordReadsThroughTheCodePage) {
  auto h = read_header(build_header(format::jet3(), L"p\u20acss\u00e9"), "x");
  EXPECT_EQ(h.fmt, &format::jet3());
  EXPECT_EQ(h.password, L"p\u20acss\u00e9");
  EXPECT_EQ(h.code_page, 1252);
  EXPECT_EQ(h.sort_order, 0x0409);
  EXPECT_EQ(read_header(sample_page0("jackcess/testV1997.mdb"), "x").password, L"");
}

TEST(Header, RefusesWhatIsNotAnAccessFile) {
  std::vector<uint8_t> junk(4096, 0x41);
  try {
    read_header(junk, "junk.mdb");
    FAIL();
  } catch (const error& e) {
    EXPECT_EQ(e.number(), 3343);
  }
  EXPECT_EQ(read_header(sample_page0("jackcess/testV1997.mdb"), "x").fmt, &format::jet3());
}

}  // namespace
}  // namespace jet
