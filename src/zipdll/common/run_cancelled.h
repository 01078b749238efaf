// How a run of either library stops when the caller answers a callback with -1: the reporter
// throws RunCancelled from wherever the run is, and the library's entry point catches it, so that
// it never crosses the library boundary. What the run had made is cleaned up on the way out.
#pragma once

namespace zipdll {

// Not a std::exception: the entry points report those as failures, and a stop is none.
struct RunCancelled {};

}  // namespace zipdll
