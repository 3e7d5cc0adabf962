#pragma once

#include <stdexcept>

// Thrown by long operations that honour a stop request by giving up (a transfer, the update
// run between its steps). Callers treat it as "nothing happened", never as a failure to show.
class OperationCancelled : public std::runtime_error {
public:
    OperationCancelled() : std::runtime_error("cancelled") {}
};
