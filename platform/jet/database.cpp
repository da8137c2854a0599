// The two ways to a database: a new file (new_file.h) or an existing one (existing_file.h).
#include "platform/jet/database.h"

#include "platform/jet/error.h"
#include "platform/jet/existing_file.h"
#include "platform/jet/new_file.h"
#include "platform/jet/clock.h"

namespace jet {

database::~database() = default;

std::unique_ptr<database> database::create(const std::string& path, generation gen, const create_options& options) {
  const format* f = format::for_generation(gen);
  if (!f)
    throw error(dao_error::unrecognized_format, "Unrecognized database format '" + path + "' (" +
                                                    generation_name(gen) + " files cannot be created).");
  return new_file::create(path, *f, options);
}

std::unique_ptr<database> database::open(const std::string& path, const open_options& options) {
  return existing_file::open(path, options, local_now());
}

}  // namespace jet
