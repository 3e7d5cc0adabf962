#pragma once

#include <stdexcept>

// Thrown by long operations that honour a stop request by giving up (a transfer, a tool run that
// its stop token ended, the update run between its steps). Callers treat it as "nothing
// happened", never as a failure to show; each front end turns it into its own answer once.
class OperationCancelled : public std::runtime_error {
public:
    OperationCancelled() : std::runtime_error("cancelled") {}
};
