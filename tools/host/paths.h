// Where the host program finds what it needs when no path is given.
#pragma once

#include <string>

namespace zask {

// The folder holding the running program (build/<preset>/bin).
std::string programDirectory();
// build/<preset>/lib/zaskN.so beside the program's folder.
std::string variantPath(const std::string& variant);
// $KTHOME when set, else the build's own tree (build/<preset>/kthome), else
// the shared conformance fixtures. Never empty.
std::string defaultKthome();

}  // namespace zask
