#include "base/version.h"

namespace tavrin::launcher {

const char kBuildTime[] = __DATE__ " " __TIME__;

}  // namespace tavrin::launcher
