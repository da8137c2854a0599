// The local wall-clock time as Access stores dates: days since 1899-12-30.
#pragma once

namespace jet {

double local_now();

}  // namespace jet
