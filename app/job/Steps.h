#pragma once

#include <array>
#include <optional>
#include <string>
#include <variant>

#include "util/Clock.h"
#include "util/Ipv4.h"
#include "webops/CameraWebClient.h"

// What a camera's state machine asks of the outside world, one step at a time, and what comes
// back. The job carries each step out (on a thread of its pool, or as a timer) and feeds the
// answer back; unit tests answer the steps themselves, with no thread and no network.
namespace step {

struct Query { // -> input::Queried
    std::string host;
};
struct Upload { // -> input::UploadAnswered
    std::string host;
};
struct Reset { // -> input::ResetAnswered
    std::string host;
};
struct Move {};               // a link-local address of its own, journalled before it is sent -> input::Moved
struct SendHome {             // the command back to its own address -> input::Sent
    bool keepJournal = false; // it may not hear it: the journal keeps its way home
};
struct Forget {}; // it goes home by itself (a reset): the journal entry goes -> input::Sent
struct Ping {     // -> input::Pinged
    std::string address;
};
struct Wait { // -> input::Elapsed
    Clock::Milliseconds duration{0};
};
struct Allocate {}; // the re-addressing's next free address -> input::Allocated
struct Readdress {  // the re-addressing's command -> input::Sent
    Ipv4 ip{};
    Ipv4 gateway{};
};
struct Finish {}; // the camera's work has ended; its outcome is final

} // namespace step

using Action = std::variant<step::Query, step::Upload, step::Reset, step::Move, step::SendHome, step::Forget,
                            step::Ping, step::Wait, step::Allocate, step::Readdress, step::Finish>;

// How a move to a link-local address went.
enum class MoveResult { Moved, NoFreeAddress, CannotProbe, Interrupted };

namespace input {

struct Queried {
    RequestResult result = RequestResult::NoReply;
    FirmwareInfo info;
};
struct UploadAnswered {
    RequestResult result = RequestResult::NoReply;
    std::array<char, 32> burnTime{};
};
struct ResetAnswered {
    RequestResult result = RequestResult::NoReply;
};
struct Moved {
    MoveResult result = MoveResult::Interrupted;
    std::string address; // when moved
};
struct Sent {};
struct Pinged {
    bool answered = false;
};
struct Elapsed {};
struct Allocated {
    std::optional<Ipv4> address; // none: the range is used up, or the job stops
};

} // namespace input

using Input = std::variant<input::Queried, input::UploadAnswered, input::ResetAnswered, input::Moved, input::Sent,
                           input::Pinged, input::Elapsed, input::Allocated>;

// The answer as the kind a state waits for, or null when it is another.
template <typename T> const T* AnswerAs(const Input& input) {
    return std::get_if<T>(&input);
}
