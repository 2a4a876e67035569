#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace botpilot {

/// A built-in check: returns normally when it passes, throws a std::string when it fails.
using CheckFunction = void (*)();

struct CheckEntry {
    std::string name;
    CheckFunction function = nullptr;
};

/// The built-in self-test: named checks run in the order they were registered.
class CheckRegistry {
  public:
    void Register(std::string name, CheckFunction function);

    const std::vector<CheckEntry>& Entries() const { return entries; }

    /// Runs every check in order. Each name goes to `out` before its check runs; a failure's text
    /// goes to `err`, and the run goes on. Ends with the line "<failed> failed, <passed> passed"
    /// on `err`. Anything a check throws other than a std::string ends the run without the
    /// summary and propagates. Returns the number of failed checks.
    int RunAll(std::ostream& out, std::ostream& err) const;

  private:
    std::vector<CheckEntry> entries;
};

/// The check of the runner itself: always passes.
void TestTheTester();

} // namespace botpilot
