#pragma once
// The error every platform layer raises: a number and a description, as the
// program shows them to the user ("Error number: " ... in the data-source
// registration, the description alone elsewhere).
//
// Handlers that go on past a failing statement do it through resumeNext,
// which logs every failure it passes over under the handler's logging
// category (numora.<area>, at debug level: off unless QT_LOGGING_RULES
// switches it on, e.g. QT_LOGGING_RULES="numora.*=true"). Running out of
// memory and a broken assumption of the program's own (std::logic_error) are
// no failure of one statement: they go on up, to the program's guard.

#include <QLoggingCategory>

#include <exception>
#include <new>
#include <optional>
#include <source_location>
#include <stdexcept>
#include <string>
#include <utility>

namespace numora {

class Error : public std::runtime_error {
public:
    Error(long number, std::string description)
        : std::runtime_error(description), number_(number), description_(std::move(description))
    {
    }

    long number() const noexcept { return number_; }
    const std::string& description() const noexcept { return description_; }

private:
    long number_;
    std::string description_;
};

// Logs a failure a handler passes over on purpose: where it happened, its
// number (0 for a failure that is not the program's own) and its description.
void logSkipped(const QLoggingCategory& area, const std::source_location& where, const std::exception& failure);

// A failure as the program's own error: itself, or number 0 and its text.
Error asError(const std::exception& failure);

namespace detail {

template <class F>
bool resumeNext(const QLoggingCategory& area, F&& statement, std::optional<Error>* kept,
                const std::source_location& where)
{
    try {
        std::forward<F>(statement)();
        return true;
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::logic_error&) {
        throw;
    } catch (const std::exception& e) { // numora::Error included
        logSkipped(area, where, e);
        if (kept)
            *kept = asError(e);
        return false;
    }
}

} // namespace detail

// Runs one statement of a handler whose failures are ignored one by one:
// a failing statement is logged and skipped, and the caller goes on with the
// next. Returns whether the statement completed. Only the program's own
// errors and the standard runtime ones are passed over; anything else goes
// on up.
template <class F>
bool resumeNext(const QLoggingCategory& area, F&& statement,
                const std::source_location& where = std::source_location::current())
{
    return detail::resumeNext(area, std::forward<F>(statement), nullptr, where);
}

// The same for a command that tells the user once, at its end, what went
// wrong: a failure passed over is kept in last, the latest replacing any
// before it.
template <class F>
bool resumeNext(const QLoggingCategory& area, std::optional<Error>& last, F&& statement,
                const std::source_location& where = std::source_location::current())
{
    return detail::resumeNext(area, std::forward<F>(statement), &last, where);
}

} // namespace numora
