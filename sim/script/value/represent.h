// The text of a value, as Print and $ give it (script-language.md §10.3,
// §10.4).
#pragma once

#include <string>

#include "sim/script/builtins/registry.h"

namespace cv::sim::script {

// Print's representation (GetStringRepresentation, §10.3): a string raw, a
// number with %g, a form as [id: HEX, edid: "ID", name: "NAME"], an array
// as [e0, e1] / [1.000000: e] / ["key": e], otherwise "".
std::string Represent(const Value& v, Services& s);
// The $ operator (§10.4): a string itself, a number with %g, a form its
// display name (<no name>, or <NULL> for none), an array its representation.
std::string ToText(const Value& v, Services& s);
// One array element inside an array's representation: strings quoted.
std::string RepresentElement(const Element& e, Services& s);

}  // namespace cv::sim::script
