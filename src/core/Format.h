#pragma once

#include <QString>
#include <stdexcept>
#include <variant>
#include <vector>

namespace kolvix {

// One argument of a format template: a text or an integer.
using FormatArg = std::variant<QString, qint64>;
using FormatArgs = std::vector<FormatArg>;

// A template whose placeholder does not fit its argument (a text for %d, a missing
// argument, an unknown placeholder).
class FormatError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Formats a template of the program's notation:
//   %s a text; %d an integer in decimal; %N:s and %N:d the argument at zero-based position N
//   (the next plain placeholder then takes N+1); %*s a text right-aligned in a width given by
//   the argument before it; %.02d an integer of at least two digits, zero-padded; %% a percent sign.
// Throws FormatError when an argument is missing or of the wrong kind.
QString Format(const QString& templ, const FormatArgs& args);

} // namespace kolvix
