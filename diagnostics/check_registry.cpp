#include "diagnostics/check_registry.h"

#include <ostream>
#include <utility>

namespace botpilot {

void CheckRegistry::Register(std::string name, CheckFunction function) {
    entries.push_back({std::move(name), function});
}

int CheckRegistry::RunAll(std::ostream& out, std::ostream& err) const {
    int failures = 0;
    for (const CheckEntry& entry : entries) {
        out << entry.name << std::endl;
        try {
            entry.function();
        } catch (const std::string& failure) {
            ++failures;
            err << failure << std::endl;
        }
    }
    const int passes = static_cast<int>(entries.size()) - failures;
    err << failures << " failed, " << passes << " passed" << std::endl;
    return failures;
}

void TestTheTester() {}

} // namespace botpilot
