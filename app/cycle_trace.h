#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace botpilot {

class Robot;

/// A line of JSON a cycle of what the robot believes, for comparing with what the arena did:
/// its own reading, the path it expects from the engine command in force, each seen robot where
/// the model puts it now and a quarter second on, and each shot. Written only when asked
/// (BOTPILOT_TRACE=FILE); it sends nothing and reads nothing from the server. The first line
/// names the robot and the times the paths are sampled at.
class CycleTrace {
  public:
    /// The trace asked for by BOTPILOT_TRACE, or null when it is unset or empty.
    /// Throws std::runtime_error when the file cannot be written.
    static std::unique_ptr<CycleTrace> FromEnvironment();

    explicit CycleTrace(const std::string& path);
    ~CycleTrace();
    CycleTrace(const CycleTrace&) = delete;
    CycleTrace& operator=(const CycleTrace&) = delete;

    /// Writes the cycle just run.
    void Write(const Robot& robot);

  private:
    void WriteHeader(const Robot& robot);

    std::FILE* file;
    bool headerWritten = false;
};

} // namespace botpilot
