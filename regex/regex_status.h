#pragma once

namespace velbrook {

// What the last run of a RegexMatcher came to. Every value but kOk goes with Create giving false.
enum class RegexStatus {
  kNotCreated,   // no Create yet
  kOk,           // the run ended; it may have found no match at all
  kBadText,      // the pattern, the subject or a text of the run is not valid GB18030, or is too long
  kBadPattern,   // the pattern does not compile
  kMatchLimit,   // the engine stopped at its step, depth, heap or stack limit
  kTimeLimit,    // the run as a whole took longer than its time budget
  kEngineError,  // any other failure the engine reports
};

}  // namespace velbrook
