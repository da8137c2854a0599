// The `access_text` collation over the sort-order key encoder.
#include "platform/dao/sql_collation.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <string_view>
#include <functional>
#include <string>
#include <unordered_map>

#include "platform/jet/sort_order.h"
#include "platform/jet/types.h"
#include "platform/system/codepage.h"

namespace dao {
namespace {

jet::bytes key_of(jet::sort_order_kind order, const char* text, int size) {
  jet::bytes key;
  jet::append_text_key(order, sys_utf8_to_wide(std::string_view(text, static_cast<size_t>(size))), true, key);
  return key;
}

int compare(void* order, int a_size, const void* a, int b_size, const void* b) {
  return compare_access_text(*static_cast<jet::sort_order_kind*>(order), static_cast<const char*>(a), a_size,
                             static_cast<const char*>(b), b_size);
}

// The keys of the texts met lately: a grouped column repeats its values, and a key costs more than a look-up.
// Values that hardly repeat are not worth keeping: once a full table of them was met more often new than again,
// keys are made afresh.
struct text_hash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};
struct key_maker {
  jet::sort_order_kind order;
  std::unordered_map<std::string, jet::bytes, text_hash, std::equal_to<>> made;
  size_t again = 0;
  bool keeping = true;
};

void sort_key(sqlite3_context* c, int, sqlite3_value** v) {
  if (sqlite3_value_type(v[0]) != SQLITE_TEXT) return sqlite3_result_value(c, v[0]);
  const char* text = reinterpret_cast<const char*>(sqlite3_value_text(v[0]));
  int size = sqlite3_value_bytes(v[0]);
  try {
    auto* maker = static_cast<key_maker*>(sqlite3_user_data(c));
    if (!maker->keeping) {
      jet::bytes key = key_of(maker->order, text ? text : "", size);
      return sqlite3_result_blob(c, key.data(), static_cast<int>(key.size()), SQLITE_TRANSIENT);
    }
    std::string_view held(text ? text : "", static_cast<size_t>(size));
    auto found = maker->made.find(held);
    if (found != maker->made.end()) {
      ++maker->again;
    } else {
      constexpr size_t kept = 65536;
      if (maker->made.size() >= kept) {
        maker->keeping = maker->again >= kept;
        maker->made.clear();
        maker->again = 0;
      }
      found = maker->made.emplace(std::string(held), key_of(maker->order, text ? text : "", size)).first;
    }
    sqlite3_result_blob(c, found->second.data(), static_cast<int>(found->second.size()), SQLITE_TRANSIENT);
  } catch (const std::bad_alloc&) {
    sqlite3_result_error_nomem(c);
  }
}

}  // namespace

int compare_access_text(jet::sort_order_kind order, const char* a, int a_size, const char* b, int b_size) {
  // Identical texts need no keys (the common case of joins and grouping).
  if (a_size == b_size && std::memcmp(a, b, static_cast<size_t>(a_size)) == 0) return 0;
  jet::bytes x = key_of(order, a, a_size), y = key_of(order, b, b_size);
  int c = std::memcmp(x.data(), y.data(), std::min(x.size(), y.size()));
  if (c != 0) return c < 0 ? -1 : 1;
  return x.size() == y.size() ? 0 : (x.size() < y.size() ? -1 : 1);
}

void register_collation(sqlite3* db, jet::sort_order_kind order) {
  auto* held = new jet::sort_order_kind(order);
  sqlite3_create_collation_v2(db, "access_text", SQLITE_UTF8, held, compare,
                              [](void* p) { delete static_cast<jet::sort_order_kind*>(p); });
  sqlite3_create_function_v2(db, "acc_sort_key", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, new key_maker{order, {}},
                             sort_key, nullptr, nullptr, [](void* p) { delete static_cast<key_maker*>(p); });
}

}  // namespace dao
