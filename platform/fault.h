// Test seam: fail one named operation on its Nth call.
//
// A fault is armed with the operation's name, the call number (1 = the next
// call) and how it fails. Operations that can fail call Hit() and act on the
// answer; nothing is armed in normal runs, so Hit() is a single test of a
// flag.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cv::fault {

enum class Kind {
  None,      // not armed / not this call
  Return,    // the operation reports failure the way the real call does
  StdError,  // throws std::runtime_error("injected fault: <name>")
  Integer,   // throws the int 0x0BADF00D
  Other,     // throws a value of an unrelated type
};

void Arm(const std::string& name, std::uint32_t nth, Kind kind);
void DisarmAll();
namespace detail {
// Whether anything was armed since the last DisarmAll(). Set only by Arm()
// and DisarmAll(); read inline so that an unarmed Hit() costs one load.
extern bool anyArmed;
Kind HitArmed(const char* name);
}  // namespace detail

// Counts a call of name; returns the failure to produce now, if any.
// Throwing kinds are thrown here; only Return (or None) is returned.
inline Kind Hit(const char* name) { return detail::anyArmed ? detail::HitArmed(name) : Kind::None; }
// How many calls of name were counted since the last DisarmAll().
std::uint32_t Calls(const std::string& name);
// Every name whose calls were counted since the last DisarmAll().
std::vector<std::string> Counted();

struct OtherFailure {
  int code;
};

}  // namespace cv::fault
