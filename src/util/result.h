#pragma once

#include <QString>
#include <QtGlobal>

#include <utility>
#include <variant>

// The one result type of the core's fallible calls: a value, or the reason there
// is none. The reason is a message for the user (a QString) unless a caller
// needs more, like the box, value and range of a value outside its field.

/// Why a call failed. `return Failure{tr("...")};` makes one.
template<typename E = QString>
struct Failure
{
    E error;
};
template<typename E>
Failure(E) -> Failure<E>;
Failure(const char16_t *)->Failure<QString>;

/// The value of a call that gives nothing but success.
struct Done
{ };

template<typename T = Done, typename E = QString>
class [[nodiscard]] Result
{
public:
    Result(T value)
        : m_outcome(std::in_place_index<0>, std::move(value))
    { }
    Result(Failure<E> failure)
        : m_outcome(std::in_place_index<1>, std::move(failure.error))
    { }

    bool ok() const { return m_outcome.index() == 0; }
    explicit operator bool() const { return ok(); }

    const T &value() const &
    {
        Q_ASSERT(ok());
        return std::get<0>(m_outcome);
    }
    T &&value() &&
    {
        Q_ASSERT(ok());
        return std::get<0>(std::move(m_outcome));
    }
    const T &operator*() const & { return value(); }
    const T *operator->() const { return &value(); }

    const E &error() const
    {
        Q_ASSERT(!ok());
        return std::get<1>(m_outcome);
    }

private:
    std::variant<T, E> m_outcome;
};

/// Success or the reason of a failure, for calls without a value.
using Status = Result<Done>;
