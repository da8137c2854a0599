// The engine adapters' bases; see rwf_engines.h.
#include "converter/rwf_engines.h"

rwf_source_engine::~rwf_source_engine() = default;

bool rwf_source_engine::is_record_error(const tk_exception&) const { return false; }

bool rwf_source_engine::is_connection_lost(const tk_exception&) const { return false; }

void rwf_source_engine::abandon_reading() {}

rwf_destination_engine::~rwf_destination_engine() = default;

bool rwf_destination_engine::is_file_error(const tk_exception&) const { return false; }
