#pragma once
// The error every platform layer raises: a number and a description, as the
// program shows them to the user ("Error number: " ... in the data-source
// registration, the description alone elsewhere).
//
// Handlers that go on past a failing statement do it through resumeNext,
// which logs every failure it passes over under the handler's logging
// category (numora.<area>, at debug level: off unless QT_LOGGING_RULES
// switches it on, e.g. QT_LOGGING_RULES="numora.*=true").

#include <QLoggingCategory>

#include <exception>
#include <source_location>
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

// Logs a failure a handler passes over on purpose: where it happened, its
// number (0 for a failure that is not the program's own) and its description.
void logSkipped(const QLoggingCategory& area, const std::source_location& where, const std::exception& failure);

// Runs one statement of a handler whose failures are ignored one by one:
// a failing statement is logged and skipped, and the caller goes on with the
// next. Returns whether the statement completed. Only the program's own
// errors and the standard ones are passed over; anything else is no failure
// of a statement and goes on up.
template <class F>
bool resumeNext(const QLoggingCategory& area, F&& statement,
                const std::source_location& where = std::source_location::current())
{
    try {
        std::forward<F>(statement)();
        return true;
    } catch (const std::exception& e) { // numora::Error included
        logSkipped(area, where, e);
        return false;
    }
}

} // namespace numora
