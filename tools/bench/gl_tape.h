// The GL tape: the benchmark executable defines the OpenGL entry points the core and GLU call, forwards
// each to Mesa, and, while recording, keeps every call with its arguments; a tape is replayed from a flat
// loop through the same entry points (gl_tape.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace gltape {

// One recorded call. Arguments that fit four 32-bit words stay inline; longer ones (planes, matrices,
// doubles, the copy's eight integers) live in the tape's pool at byte offset `pooled`.
struct Call {
    uint32_t op;
    uint32_t pooled;
    union {
        float f[4];
        uint32_t u[4];
    };
};

// A frame's calls, each distinct call stored once and the frame kept as a stream of indices into them.
struct Tape {
    std::vector<Call> calls;
    std::vector<uint16_t> order;
    std::vector<unsigned char> pool;
    size_t callCount() const { return order.size(); }
};

// Starts keeping calls; anything the tape cannot replay (texture creation, queries) makes stop() fail.
void start();
// Stops and compacts what was kept; false, with `why` set, when the frame made a call that is not taped.
bool stop(Tape& tape, std::string& why);

// While auditing, every call to Mesa is marked (alloc_counter::InsideLibrary), so that the allocations of
// the code around the calls can be counted on their own.
void audit(bool on);

// Issues the taped calls through the same entry points the core calls.
void replay(const Tape& tape);
// Issues them straight to Mesa, around the interposed entry points: measures what interposing costs.
void replayDirect(const Tape& tape);

}  // namespace gltape
