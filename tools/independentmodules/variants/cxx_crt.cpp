// A module written the ordinary C++ way: the default mingw DLL entry and
// runtime, static constructors, std::string and std::vector, and C++
// exceptions thrown and caught both inside init and on a std::thread. The
// loader must run the runtime's start-up and register the exception table
// for any of this to work.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "ind_module.h"

namespace {

// Built by the runtime's static constructors before the loader calls init.
const std::string constructed_at_attach = std::string("constructed") + " at attach";

[[gnu::noinline]] void throw_from(const std::string &where) {
  std::vector<std::string> parts{"thrown", "in", where};
  std::string text;
  for (const std::string &part : parts) {
    text += text.empty() ? part : " " + part;
  }
  throw std::runtime_error(text);
}

bool exception_round_trip(const std::string &where) {
  try {
    throw_from(where);
  } catch (const std::runtime_error &caught) {
    return std::string(caught.what()) == "thrown in " + where;
  }
  return false;
}

void confirm_from_thread() {
  ind_wait_until_init_returned(50);
  if (!exception_round_trip("thread")) {
    ind_report(509, "exception lost in thread");
    return;
  }
  ind_report(508, nullptr);
  ind_report(1002, nullptr);
}

}  // namespace

extern "C" bool ind_variant_init(void) {
  if (constructed_at_attach != "constructed at attach") {
    ind_report(509, "static constructors did not run");
    return false;
  }
  if (!exception_round_trip("init")) {
    ind_report(509, "exception lost in init");
    return false;
  }
  try {
    std::thread(confirm_from_thread).detach();
  } catch (const std::system_error &) {
    return false;
  }
  return true;
}

extern "C" void ind_variant_second(void) {
}
