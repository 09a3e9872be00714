#pragma once

#include <array>
#include <optional>
#include <string>
#include <variant>

#include "util/Clock.h"
#include "util/Ipv4.h"
#include "util/Text.h"
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
struct Move {};     // a link-local address of its own, journalled before it is sent -> input::Moved
struct SendHome {}; // the command back to its own address; its journal entry stays until it is seen home -> input::Sent
struct Forget {};   // it is home, or goes home by itself (a reset): the journal entry goes -> input::Sent
struct SendDetour { // the command to its link-local address once more: the first may be lost -> input::Sent
    std::string address;
};
// Its own search reply showing it at an address; the job searches while any camera waits so.
struct AwaitSighting { // -> input::Sighted, or input::Elapsed when the window has passed
    Ipv4 at{};
    Clock::Milliseconds window{0};
    bool holdOnStop = false; // a stopping job still waits: a camera on its way home must be seen there
};
struct Ping { // -> input::Pinged
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
// Its turn to take the image: the job lets only so many upload at once, and holds the rest of a
// fleet until its first wave has upgraded.
struct AwaitTurn {}; // -> input::Turn
struct Finish {};    // the camera's work has ended; its outcome is final

} // namespace step

using Action = std::variant<step::Query, step::Upload, step::Reset, step::Move, step::SendHome, step::Forget,
                            step::SendDetour, step::AwaitSighting, step::Ping, step::Wait, step::Allocate,
                            step::Readdress, step::AwaitTurn, step::Finish>;

// How a move to a link-local address went.
enum class MoveResult { Moved, NoFreeAddress, CannotProbe, NoJournal, NotSeen, Interrupted };

namespace input {

struct Queried {
    RequestResult result = RequestResult::NoReply;
    FirmwareInfo info;
};
struct UploadAnswered {
    RequestResult result = RequestResult::NoReply;
    UploadReply reply;
};
struct ResetAnswered {
    RequestResult result = RequestResult::NoReply;
    ResetReply reply;
};
struct Moved {
    MoveResult result = MoveResult::Interrupted;
    std::string address = ""; // when moved
    Text problem{};           // why it could not be, for the operator
};
struct Sighted {
    Ipv4 at{};
};
struct Sent {};
struct Pinged {
    bool answered = false;
};
struct Elapsed {};
struct Allocated {
    std::optional<Ipv4> address; // none: the range is used up, or the job stops
};
struct Turn {
    bool granted = true; // false: the first wave failed, so this camera gets no image
};

} // namespace input

using Input = std::variant<input::Queried, input::UploadAnswered, input::ResetAnswered, input::Moved, input::Sent,
                           input::Pinged, input::Elapsed, input::Allocated, input::Sighted, input::Turn>;

// The answer as the kind a state waits for, or null when it is another.
template <typename T> const T* AnswerAs(const Input& input) {
    return std::get_if<T>(&input);
}
