#pragma once

namespace botpilot {

/// CPU time the calling thread has used so far, in user and system mode: unlike the wall clock,
/// it does not grow while the thread waits for a reply, nor while other programs hold the
/// machine's cores. [Units: s]
double ThreadCpuSeconds();

} // namespace botpilot
