#pragma once
// For tests only: a scripted stand-in for the kernel's getrandom, so that the
// failure, retry and short-read paths of randomBytes can be driven.
//
// Linking the object library qel_crypto_random_fault into a test program
// replaces getrandom for the whole program (its own code and the static
// libraries in it). With no script in force every call goes to the kernel.
// Not thread-safe: script only while no other thread draws random bytes.
#include <cstddef>
#include <vector>

namespace qel::crypto::testing {

struct RandomStep {
  int error = 0;        // when not 0: the call fails with this errno
  size_t maxBytes = 0;  // otherwise: it gives at most this many bytes,
  int fill = -1;        // all equal to `fill` when 0..255, else the kernel's
};

// While alive, the n-th getrandom call of the program takes steps[n]; calls
// past the end go to the kernel. REQUIRES: no other RandomScript alive.
class RandomScript {
 public:
  explicit RandomScript(std::vector<RandomStep> steps);
  ~RandomScript();
  RandomScript(const RandomScript&) = delete;
  RandomScript& operator=(const RandomScript&) = delete;

  // getrandom calls made since construction, scripted or not.
  size_t calls() const;
};

}  // namespace qel::crypto::testing
