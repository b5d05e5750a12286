#include "shared/crypto/random_fault.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace qel::crypto::testing {
namespace {

bool gActive = false;
std::vector<RandomStep> gSteps;
size_t gCalls = 0;

}  // namespace

RandomScript::RandomScript(std::vector<RandomStep> steps) {
  if (gActive) std::abort();  // two scripts at once would garble each other
  gActive = true;
  gSteps = std::move(steps);
  gCalls = 0;
}

RandomScript::~RandomScript() {
  gActive = false;
  gSteps.clear();
}

size_t RandomScript::calls() const { return gCalls; }

}  // namespace qel::crypto::testing

// Defined in the program itself, this wins over the C library's getrandom.
extern "C" ssize_t getrandom(void* buffer, size_t length, unsigned int flags) {
  namespace t = qel::crypto::testing;
  if (t::gActive) {
    size_t n = t::gCalls++;
    if (n < t::gSteps.size()) {
      const t::RandomStep& step = t::gSteps[n];
      if (step.error != 0) {
        errno = step.error;
        return -1;
      }
      if (length > step.maxBytes) length = step.maxBytes;
      if (step.fill >= 0) {
        std::memset(buffer, step.fill, length);
        return static_cast<ssize_t>(length);
      }
    }
  }
  return syscall(SYS_getrandom, buffer, length, flags);
}
