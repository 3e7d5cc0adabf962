#pragma once

#include <stdexcept>
#include <string>

// A transfer that failed for a network reason; what() is libcurl's message.
class NetworkError : public std::runtime_error {
public:
    explicit NetworkError(const std::string& message) : std::runtime_error(message) {}
};
