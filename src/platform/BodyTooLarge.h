#pragma once

#include "platform/NetworkError.h"

#include <cstdint>
#include <string>

// A download whose body grew past the most its caller accepts; the transfer was stopped there.
class BodyTooLarge : public NetworkError {
public:
    explicit BodyTooLarge(std::uintmax_t limit)
        : NetworkError("The answer is larger than " + std::to_string(limit) + " bytes."), m_limit(limit) {}
    std::uintmax_t limit() const { return m_limit; }

private:
    std::uintmax_t m_limit;
};
