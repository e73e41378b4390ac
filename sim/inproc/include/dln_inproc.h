// The in-process backend: the same C interface as libdln, reaching a simulator in this
// process instead of a server over TCP. Used by the C++ tests.
#pragma once

#include "dlnsim/simulator.h"

#include <memory>

// Makes DlnConnect (any host, any port) reach sim until detached. Existing connections are
// dropped, so handles of an earlier simulator fail.
void DlnInprocAttach(std::shared_ptr<dlnsim::Simulator> sim);
void DlnInprocDetach();
