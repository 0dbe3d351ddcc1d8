#pragma once

// How gtest shows the program's values in a failure: texts and byte strings as quoted
// text (instead of one "2-byte object" per character), and the program's scoped enums
// as their numbers (instead of "4-byte object <01-00 00-00>"). Every test source gets
// this header first (the test support library forces it in), so that every one of them
// prints these types alike.

#include <QByteArray>
#include <QChar>
#include <QString>

#include <ostream>
#include <type_traits>

// Qt's classes live in the global namespace, where gtest looks for their printers.
void PrintTo(const QString& text, std::ostream* os);
void PrintTo(const QByteArray& bytes, std::ostream* os);
void PrintTo(QChar c, std::ostream* os);

namespace dw::test {

// An enum as its number, e.g. "enum value 1".
template <class Enum>
requires std::is_enum_v<Enum>
void printEnum(const Enum& value, std::ostream* os) {
    *os << "enum value "
        << static_cast<long long>(static_cast<std::underlying_type_t<Enum>>(value));
}

}  // namespace dw::test

// gtest finds a printer in the namespace of the enum, so each namespace that declares
// enums (and the test files' unnamed namespaces within dw) names the one above.
namespace dw {
// Takes its value as gtest's own printer does, so that this one, the more constrained,
// is chosen over it.
template <class Enum>
requires std::is_enum_v<Enum>
void PrintTo(const Enum& value, std::ostream* os) {
    test::printEnum(value, os);
}
namespace platform {
using dw::PrintTo;
}
namespace cli {
using dw::PrintTo;
}
namespace {
using dw::PrintTo;
}
}  // namespace dw
