// The value layer's exceptions, its trace guard, COM reference counts and GUID extraction from text.
//
// ole_cast_exception (level 0): a value cannot be converted to the asked kind; the user may go on past the value.
// ole_type_exception (level 1): a kind the value layer does not handle.
//
// ole_guid_extractor finds a GUID in a text: the bare 36-character form, the 38-character form in braces, or a
// "{...}" after the word "guid"/"GUID" (as in "guid={00112233-4455-6677-8899-AABBCCDDEEFF}"). Every accepted GUID
// consists of hexadecimal digits and '-' only. A text that holds none gives an empty GUID.
#pragma once

#include <cstdint>
#include <string>

#include "TK/tk_singl.h"
#include "platform/oleaut/types.h"

class ole_cast_exception : public tk_exception {
 public:
  ole_cast_exception();
  ~ole_cast_exception() override;
};

class ole_type_exception : public tk_exception {
 public:
  ole_type_exception();
  ~ole_type_exception() override;
};

// True when a trace line of this level would be written: lets callers skip building costly trace arguments
// (text conversions of whole cells) on every value.
bool ole_trace_on(int level);

// The interface's current reference count (one reference is added and released again). A null interface is an
// internal error.
uint32_t get_com_ref_count(IUnknown* object);

class ole_guid_extractor {
 public:
  // The narrow text is UTF-8.
  explicit ole_guid_extractor(const std::string& text);
  explicit ole_guid_extractor(const std::wstring& text);

  bool is_valid() const { return valid; }
  // The 36 characters of the GUID, without braces; empty when none was found.
  std::string get_guid() const;
  std::wstring get_wguid() const;

  int32_t position = -1;  // where the GUID starts in `text`
  std::wstring text;      // the input without leading and trailing blanks
  bool valid = false;

 private:
  void extract(const std::wstring& input);
};
