// validate's tests run in child processes: panelhost starts itself with the
// same command line, and a board of shared memory (RunBoard) tells the
// child where to start and tells the parent where the child is. A child
// runs test after test, printing each result as a line of JSON; when the
// module takes it down (a crash, a hang, a misused service), the parent
// reports the test it was in with the input it was on, and starts a new
// child at the next test.
#pragma once

#include <functional>
#include <vector>

#include "host/reader/address_space.h"
#include "host/validation/test_plan.h"
#include "host/validation/test_results.h"

namespace panelhost {

// Runs tests 0 to `tests` - 1 in children; `done` is told of each result in
// order. A child that makes no progress for `timeout_seconds` plus a
// minute is ended. False, with the reason printed, when no child could be
// started.
// `file` (the module's file, at its preferred base) names the section an
// access violation touched.
bool run_in_children(size_t tests, double timeout_seconds, const AddressSpace& file,
                     const std::function<void(size_t test, const TestResult& result)>& done);

// Whether this process was started by run_in_children.
bool is_validation_child();

// True when this process is such a child: it has run its tests and printed
// their results.
bool run_as_child(const ValidationSettings& settings, const std::vector<PlannedTest>& plan);

}  // namespace panelhost
