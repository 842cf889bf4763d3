// SPDX-License-Identifier: GPL-3.0-or-later
// A second, deliberately plain implementation of the whole job: read a mesh text, run the
// start-up passes, then for each threshold the removal walk followed by a write. It keeps every
// rule of the model in its simplest form (std::vector and linear scans, no point sets, no
// point-to-face index, no shared store), so that the faster structures of the model can be
// checked against it: for the same file and thresholds both must agree on every value bit,
// every connection list, every mark, every face's report and every written byte.
//
// Only the number texts are shared with the program (meshio/numtext): they are not what the
// reference is about, and reading and writing a coordinate the same way is what makes the bytes
// comparable at all.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace meshthin::reference {

// One point slot as the model can be asked about it.
struct PointState {
    uint64_t xBits = 0;
    uint64_t yBits = 0;
    uint64_t zBits = 0;
    uint64_t valueBits = 0;
    std::vector<int16_t> connections;
    bool removed = false;
    bool everConnected = false;

    bool operator==(const PointState&) const = default;
};

// Every point slot (the spare slot last) and the report() text of every face; a face whose
// report fails is recorded as "report failed: " and the failure's text.
struct MeshState {
    std::vector<PointState> points;
    std::vector<std::string> faces;

    bool operator==(const MeshState&) const = default;
};

enum class Step { Read, StartUp, Run, Write };

// What one step of the job did. A failed read or start-up ends the job and leaves no state to
// compare (the window drops such a mesh). A failed run skips that run's write and a failed write
// keeps no bytes, as in the window, and the job goes on with the next threshold from the state
// the failure left.
struct StepResult {
    Step step = Step::Read;
    int run = -1;                        // the threshold's index for Run and Write
    std::optional<std::string> failure;  // the failure's description
    std::optional<MeshState> state;      // after the step
    std::string written;                 // the bytes of a write that succeeded

    bool operator==(const StepResult&) const = default;
};

// "read", "start-up", "run 2", "write 2".
std::string stepName(const StepResult& result);

// Header line of every written file, without its line break.
std::string writtenHeader();

// The whole job on text, the number texts read and written with separator as decimal separator.
std::vector<StepResult> runJob(std::string_view text, const std::vector<double>& thresholds,
                               char separator);

}  // namespace meshthin::reference
