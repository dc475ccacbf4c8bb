// The engine's version, given by the build from the CMake project VERSION:
// the package, "--version", UCI's "id name" and the manual page all take it
// from there.
#pragma once

#ifndef MORVEK_VERSION
#error "MORVEK_VERSION comes from the build (project VERSION in CMakeLists.txt)"
#endif
