// How an interrupt (Ctrl+C, SIGTERM) reaches work in progress: the archive
// layer's checkpoints, between scan steps and between output blocks, throw
// an Interruption once the request has arrived; whatever was written stays.
// It is no std::exception, so no handler meant for faults swallows it; it is
// a SalvageStopped, so a salvage ends at it with what was written kept.
#pragma once

#include "archive/salvage/SalvageDriver.h"

namespace tessaly::cli {

struct Interruption : SalvageStopped {};

// Throws Interruption when an interrupt has arrived.
void StopIfInterrupted();

}  // namespace tessaly::cli
