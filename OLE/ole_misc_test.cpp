// Exceptions, GUID extraction, the COM holder and reference counts.
#include "OLE/ole_misc.h"

#include <gtest/gtest.h>

#include "OLE/ole_ptr.h"

namespace {

TEST(OleMisc, ExceptionsCarryTheirTextsAndLevels) {
  ole_cast_exception cast;
  EXPECT_STREQ(cast.what(), "Cannot cast from source type to destination type");
  EXPECT_EQ(cast.level, 0);
  EXPECT_EQ(cast.code, 0);
  ole_type_exception type;
  EXPECT_STREQ(type.what(), "The operating type is not supported yet");
  EXPECT_EQ(type.level, 1);
  EXPECT_THROW(throw ole_cast_exception(), tk_exception);
}

TEST(OleMisc, GuidForms) {
  const std::string guid = "00112233-4455-6677-8899-AABBCCDDEEFF";
  struct row {
    std::string text;
    bool valid;
  };
  const row rows[] = {
      {guid, true},
      {"  " + guid + "  ", true},
      {"{" + guid + "}", true},
      {"guid={" + guid + "}", true},
      {"GUID {" + guid + "}", true},
      {"{guid} {" + guid + "}", true},
      {guid.substr(0, 35), false},                                     // 35 characters
      {"{" + guid + "}1234567", false},                                // 46 characters
      {"00112233-4455-6677-8899-AABBCCDDEEFG", false},                 // not hexadecimal
      {"{00112233-4455-6677-8899-AABBCCDDEEFG}", false},
      {"guid={00112233-4455-6677-8899-AABBCCDDEEZZ}", false},          // the word form is checked too
      {"xxxx={" + guid + "}", false},                                  // no "guid"
      {"guid=" + guid + "xx", false},                                  // no brace
      {std::string(50, ' ') + guid, true},                             // 86 characters before trimming
      {std::string(55, ' ') + guid, false},                            // 91 or more before trimming
  };
  for (const row& r : rows) {
    ole_guid_extractor e(r.text);
    EXPECT_EQ(e.is_valid(), r.valid) << r.text;
    EXPECT_EQ(e.get_guid(), r.valid ? guid : "") << r.text;
    std::wstring wide(r.text.begin(), r.text.end());
    EXPECT_EQ(ole_guid_extractor(wide).get_wguid(), r.valid ? std::wstring(guid.begin(), guid.end()) : L"")
        << r.text;
  }
  EXPECT_EQ(ole_guid_extractor("{" + guid + "}").position, 1);
}

struct counted : IUnknown {
  uint32_t refs = 1;
  HRESULT QueryInterface(const IID&, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  uint32_t AddRef() override { return ++refs; }
  uint32_t Release() override { return --refs; }
  int answer() const { return 42; }
};

TEST(OleMisc, ComHolderCountsReferences) {
  counted object;
  EXPECT_EQ(get_com_ref_count(&object), 1u);
  EXPECT_THROW(get_com_ref_count(nullptr), tk_mail_assertion);
  {
    ole_com_ptr<counted> a(&object);
    EXPECT_EQ(object.refs, 2u);
    ole_com_ptr<counted> b = a;
    EXPECT_EQ(object.refs, 3u);
    ole_com_ptr<counted> c = std::move(b);
    EXPECT_EQ(object.refs, 3u);
    EXPECT_TRUE(b.is_null());
    EXPECT_EQ(c->answer(), 42);
    c.reset();
    EXPECT_EQ(object.refs, 2u);
    // An out-parameter receives a reference the callee added.
    counted** slot = c.put();
    object.AddRef();
    *slot = &object;
    EXPECT_EQ(object.refs, 3u);
    EXPECT_EQ(c.detach(), &object);
    object.Release();
  }
  EXPECT_EQ(object.refs, 1u);
  ole_com_ptr<counted> empty;
  EXPECT_FALSE(empty);
  EXPECT_THROW(empty->answer(), tk_mail_assertion);
  try {
    (void)*empty;
  } catch (const tk_mail_assertion& e) {
    EXPECT_EQ(e.level, 2);
  }
}

}  // namespace

#include <cstdio>
#include <fstream>
#include <sstream>

#include "OLE/ole_var.h"
#include "TK/tk_log.h"

namespace {

// With tracing on, every conversion still gives its value and writes its lines (the trace arguments are built
// only then, so this is the path that formats whole cells).
TEST(OleMisc, ConversionsUnderTracing) {
  std::string path = std::string(TT_BINARY_DIR) + "/ole_trace_test.log";
  std::remove(path.c_str());
  {
    tk_logger logger(path.c_str(), true, 1, false);
    EXPECT_TRUE(ole_trace_on(1));
    EXPECT_EQ(ole_variant::from_string("12,5", VT_R8).to_string(), "1.2500000000000000e+01");
    EXPECT_EQ(ole_variant::from_string("2021-03-04 05:06:07.25", VT_DATE).to_string(), "2021-03-04 05:06:07.250000");
    EXPECT_EQ(ole_variant::from_wstring(L"0x0A1b", VT_ARRAY_UI1).to_wstring(), L"0x0A1B");
    EXPECT_EQ(ole_variant::from_string("1e40", VT_DECIMAL).vt(), VT_R8);
    EXPECT_EQ(ole_variant::from_string("-838:59:59", VT_DATE).vt(), VT_EMPTY);
    ole_variant v(std::wstring(L"h\u00E9"));
    v.change_type(VT_ARRAY_UI1);
    EXPECT_EQ(ole_guid_extractor("guid={00112233-4455-6677-8899-AABBCCDDEEFF}").get_guid().size(), 36u);
  }
  EXPECT_FALSE(ole_trace_on(1));
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("ole_variant::from_string('12,5', 0x00000005)"), std::string::npos);
  EXPECT_NE(text.str().find("ERROR: VarDecFromStr for '1e40' failed (hr=8002000A)"), std::string::npos);
  EXPECT_NE(text.str().find("GUID is valid"), std::string::npos);
  std::remove(path.c_str());
}

}  // namespace
