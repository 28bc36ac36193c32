#pragma once
// The error every platform layer raises: a number and a description, as the
// program shows them to the user ("Error number: " ... in the data-source
// registration, the description alone elsewhere).

#include <stdexcept>
#include <string>
#include <utility>

namespace numora {

class Error : public std::runtime_error {
public:
    Error(long number, std::string description)
        : std::runtime_error(description), number_(number), description_(std::move(description)) {}

    long number() const noexcept { return number_; }
    const std::string& description() const noexcept { return description_; }

private:
    long number_;
    std::string description_;
};

// Runs one statement of a handler whose failures are ignored one by one:
// a failing statement is skipped and the caller goes on with the next.
// Returns whether the statement completed.
template <class F>
bool resumeNext(F&& statement) noexcept
{
    try {
        statement();
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace numora
