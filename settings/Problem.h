#pragma once
// What went wrong, in one shape for every layer: what failed, where (a
// path, a port, a row), why (the system's reason) and the fix where one
// exists. Text() is the only place these become the words users read.
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <variant>

namespace orvex {

struct Problem {
    // The sentence shapes the system's messages have; parts left empty are
    // left out together with their punctuation.
    enum class Layout {
        Plain,        // "where: what: why (fix)"
        ReasonAside,  // "where: what (why)", a step of setting a port up
        FixAfter,     // "where: why; fix", a port that cannot be opened
        ActionFirst,  // "what: where: why (fix)", what was being done leads
    };

    std::string what{};
    std::string where{};
    std::string why{};
    std::string fix{};
    Layout layout = Layout::Plain;

    std::string Text() const;
    bool operator==(const Problem&) const = default;
};

inline const Problem& NoProblem() {
    static const Problem kNone;
    return kNone;
}

inline std::ostream& operator<<(std::ostream& out, const Problem& p) { return out << p.Text(); }

// A T, or the Problem that stood in its way.
template <typename T>
class Outcome {
public:
    Outcome(T value) : m_value(std::move(value)) {}
    Outcome(Problem problem) : m_value(std::move(problem)) {}

    bool ok() const { return m_value.index() == 0; }
    explicit operator bool() const { return ok(); }
    const T& value() const { return std::get<0>(m_value); }
    T& value() { return std::get<0>(m_value); }
    // Empty when it went well.
    const Problem& problem() const { return ok() ? NoProblem() : std::get<1>(m_value); }

private:
    std::variant<T, Problem> m_value;
};

template <>
class Outcome<void> {
public:
    Outcome() = default;
    Outcome(Problem problem) : m_problem(std::move(problem)) {}

    bool ok() const { return !m_problem; }
    explicit operator bool() const { return ok(); }
    // Empty when it went well.
    const Problem& problem() const { return m_problem ? *m_problem : NoProblem(); }

private:
    std::optional<Problem> m_problem;
};

}  // namespace orvex
