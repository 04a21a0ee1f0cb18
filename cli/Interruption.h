// How an interrupt (Ctrl+C, SIGTERM) reaches work in progress: the archive
// layer's checkpoints, between scan steps and between output blocks, throw
// an Interruption once the request has arrived; whatever was written stays.
// It is no std::exception, so no handler meant for faults swallows it.
#pragma once

namespace tessaly::cli {

struct Interruption {};

// Throws Interruption when an interrupt has arrived.
void StopIfInterrupted();

}  // namespace tessaly::cli
