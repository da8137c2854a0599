#include "UDB/udb_rec.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

t_ftd column(VARTYPE vt, int32_t size, const wchar_t* name = L"c") {
  return t_ftd(size, name, vt, false, false, ole_variant(), 0, L"");
}

struct conform_case {
  VARTYPE src;
  int32_t src_size;
  VARTYPE dest;
  int32_t dest_size;
  bool conforms;
};

TEST(Conformity, ColumnDecisionTable) {
  const conform_case cases[] = {
      // identical types
      {VT_EMPTY, 0, VT_EMPTY, 0, true},
      {VT_DECIMAL, 0, VT_CY, 0, true},
      {VT_CY, 0, VT_DECIMAL, 0, true},
      {VT_I4, 0, VT_I4, 0, true},
      // numbers: any numeric source into any numeric destination (VT_INT and VT_UINT only as destinations)
      {VT_I2, 0, VT_I4, 0, true},
      {VT_I4, 0, VT_I2, 0, true},
      {VT_BOOL, 0, VT_R8, 0, true},
      {VT_UI8, 0, VT_INT, 0, true},
      {VT_I1, 0, VT_UINT, 0, true},
      {VT_INT, 0, VT_I4, 0, false},
      {VT_BSTR, 10, VT_I4, 0, false},
      {VT_DATE, 0, VT_R8, 0, false},
      // dates: from dates, and from texts of exactly "YYYY-MM-DD HH:MM:SS"
      {VT_DATE, 0, VT_DATE, 0, true},
      {VT_BSTR, 19, VT_DATE, 0, true},
      {VT_BSTR, 18, VT_DATE, 0, false},
      {VT_I4, 0, VT_DATE, 0, false},
      // texts into texts: the destination must be unlimited, big enough, or at least 0xFFFF
      {VT_BSTR, 100, VT_BSTR, 0, true},
      {VT_BSTR, 100, VT_BSTR, 100, true},
      {VT_BSTR, 100, VT_BSTR, 150, true},
      {VT_BSTR, 100, VT_BSTR, 50, false},
      {VT_BSTR, 70000, VT_BSTR, 0xFFFF, true},
      {VT_BSTR, 70000, VT_BSTR, 0xFFFE, false},
      {VT_LPSTR, 10, VT_LPWSTR, 5, false},
      // other kinds into texts: everything but binary
      {VT_I4, 0, VT_BSTR, 5, true},
      {VT_DATE, 0, VT_BSTR, 10, true},
      {VT_ARRAY_UI1, 10, VT_BSTR, 0, false},
      {VT_BLOB, 0, VT_BSTR, 0, false},
      // binary destinations
      {VT_BSTR, 100, VT_ARRAY_UI1, 0, true},
      {VT_BSTR, 100, VT_ARRAY_UI1, 50, false},
      {VT_ARRAY_UI1, 100, VT_BLOB, 100, true},
      {VT_BLOB_OBJECT, 100, VT_ARRAY_UI1, 99, false},
      {VT_I4, 0, VT_ARRAY_UI1, 1, true},
      // any other destination
      {VT_BSTR, 10, VT_NULL, 0, false},
      {VT_I4, 0, VT_EMPTY, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "src " << c.src << "/" << c.src_size << " into " << c.dest << "/"
                                    << c.dest_size);
    EXPECT_EQ(column(c.src, c.src_size).conform_to(column(c.dest, c.dest_size)), c.conforms);
  }
}

TEST(Conformity, Schemas) {
  udb_schema empty_a, empty_b;
  EXPECT_TRUE(empty_a.conform_to(empty_b, false));

  udb_schema src, dest;
  src.push_back(column(VT_I4, 0, L"id"));
  src.push_back(column(VT_BSTR, 50, L"name"));
  dest.push_back(column(VT_BSTR, 100, L"NAME"));
  dest.push_back(column(VT_I4, 0, L"ID"));
  EXPECT_TRUE(src.conform_to(dest, true));    // matched by name, ignoring case
  EXPECT_FALSE(src.conform_to(dest, false));  // by position: number into text is fine, text into number is not

  udb_schema renamed;
  renamed.push_back(column(VT_I4, 0, L"id"));
  renamed.push_back(column(VT_BSTR, 100, L"title"));
  EXPECT_FALSE(src.conform_to(renamed, true));
  EXPECT_TRUE(src.conform_to(renamed, false));

  udb_schema shorter;
  shorter.push_back(column(VT_I4, 0, L"id"));
  EXPECT_FALSE(src.conform_to(shorter, false));
  EXPECT_FALSE(shorter.conform_to(src, false));
}

TEST(Schema, LookupsOfMissingNames) {
  udb_schema s;
  s.push_back(column(VT_BSTR, 40, L"City"));
  EXPECT_TRUE(s.find_field(L"CITY"));
  EXPECT_EQ(s.get_field_size(L"city"), 40);
  EXPECT_EQ(s.get_field_type(L"city"), VT_BSTR);
  EXPECT_EQ(s.get_field1(L"city").name, L"City");
  EXPECT_EQ(&s.get_field2(L"city"), &s[0]);

  EXPECT_FALSE(s.find_field(L"zip"));
  EXPECT_EQ(s.get_field_size(L"zip"), -1);
  EXPECT_EQ(s.get_field_type(L"zip"), VT_NULL);
  EXPECT_EQ(s.find_descriptor(L"zip"), nullptr);
  const t_ftd& missing = s.get_field1(L"zip");
  EXPECT_EQ(missing.vartype, VT_EMPTY);
  EXPECT_EQ(missing.size, 0);
  EXPECT_TRUE(missing.name.empty());
  EXPECT_EQ(&missing, &s.get_field2(L"other"));

  // Refining a descriptor in place goes through the mutable lookup.
  s.find_descriptor(L"city")->reserved = udb_kind_fixed_text;
  EXPECT_EQ(s[0].reserved, udb_kind_fixed_text);

  EXPECT_THROW(s.at(1), std::out_of_range);
  try {
    s.at(7);
  } catch (const std::out_of_range& e) {
    EXPECT_STREQ(e.what(), "invalid vector subscript");
  }
  udb_schema copy = s;  // descriptors are held by value
  copy[0].name = L"Town";
  EXPECT_EQ(s[0].name, L"City");
}

// An engine field that reports its column's type while it holds no value yet.
class typed_field : public udb_field {
 public:
  typed_field(VARTYPE column_type, uint32_t size) : udb_field(L"f", size, ole_variant(), false, false),
                                                    column_type_(column_type) {}
  VARTYPE get_type() const override { return column_type_; }

 private:
  VARTYPE column_type_;
};

TEST(Record, SizesOfFields) {
  EXPECT_EQ(udb_field(L"a", 99, ole_variant(std::vector<uint8_t>(10)), false, false).get_size(), 10u);
  EXPECT_EQ(udb_field(L"a", 99, ole_variant(std::wstring(L"h\u00E9llo")), false, false).get_size(), 5u);
  EXPECT_EQ(udb_field(L"a", 4, ole_variant(7), false, false).get_size(), 4u);
  EXPECT_EQ(typed_field(VT_BSTR, 255).get_size(), 0u);  // holds no text
  EXPECT_EQ(typed_field(VT_I4, 4).get_size(), 4u);

  const t_ftd d(typed_field(VT_BSTR, 255), ole_variant(), udb_kind_none);
  EXPECT_EQ(d.vartype, VT_BSTR);
  EXPECT_EQ(d.size, 0);
}

TEST(Record, TotalSize) {
  udb_record r;
  r.push_back(std::make_unique<udb_field>(L"e1", 50, ole_variant(), false, false));
  r.push_back(std::make_unique<udb_field>(L"e2", 50, ole_variant(), false, false));
  EXPECT_EQ(r.get_total_size(), 0u);
  r.push_back(nullptr);
  r.push_back(std::make_unique<udb_field>(L"bin", 1, ole_variant(std::vector<uint8_t>(10)), false, false));
  r.push_back(std::make_unique<udb_field>(L"txt", 100, ole_variant(std::wstring(L"abc")), false, false));
  r.push_back(std::make_unique<udb_field>(L"num", 4, ole_variant(1), false, false));
  EXPECT_EQ(r.get_total_size(), 10u + 3u + 4u);
}

int g_deleted = 0;
class counted_field : public udb_field {
 public:
  explicit counted_field(const wchar_t* name) : udb_field(name, 0, ole_variant(1), true, false) {}
  ~counted_field() override { ++g_deleted; }
};

TEST(Record, OwnsItsFieldsAndLooksThemUp) {
  g_deleted = 0;
  {
    udb_record r;
    r.push_back(std::make_unique<counted_field>(L"Id"));
    r.push_back(std::make_unique<counted_field>(L"id"));
    r.push_back(std::make_unique<counted_field>(L"Name"));
    EXPECT_TRUE(r.find_field(L"NAME"));
    EXPECT_EQ(r.find(L"ID"), r[0]);  // the first match
    EXPECT_EQ(&r.get_field(L"id"), r[0]);
    EXPECT_TRUE(r.get_field(L"id").b_not_null);

    const udb_field& missing = r.get_field(L"zip");
    EXPECT_TRUE(missing.get_name().empty());
    EXPECT_EQ(missing.get_type(), VT_EMPTY);
    EXPECT_EQ(r.find(L"zip"), nullptr);
    EXPECT_THROW(r.at(3), std::out_of_range);

    int named = 0;
    for (const auto& field : r) named += field->get_name().empty() ? 0 : 1;
    EXPECT_EQ(named, 3);

    udb_record moved(std::move(r));
    EXPECT_EQ(moved.size(), 3u);
    moved.reset();
    EXPECT_EQ(g_deleted, 3);
    EXPECT_TRUE(moved.empty());
    moved.push_back(std::make_unique<counted_field>(L"x"));
  }
  EXPECT_EQ(g_deleted, 4);
}

}  // namespace
