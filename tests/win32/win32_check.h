// A small test runner for the Win32 test programs, which run under Wine where no test
// framework is installed for the target: named test functions and non-fatal checks.
#pragma once

#include <sstream>
#include <string>

void ReportFailure(const char* file, int line, const std::string& what);

template <class T> std::string CheckText(const T& value) {
    std::ostringstream out;
    out << value;
    return out.str();
}
inline std::string CheckText(const char* value) {
    return value ? "\"" + std::string(value) + "\"" : "null";
}
inline std::string CheckText(char* value) {
    return CheckText(static_cast<const char*>(value));
}
inline std::string CheckText(const std::string& value) {
    return "\"" + value + "\"";
}

template <class A, class B>
bool CheckEqual(const char* file, int line, const char* text, const A& actual, const B& expected) {
    if (actual == expected)
        return true;
    ReportFailure(file, line,
                  std::string(text) + ": got " + CheckText(actual) + ", expected " +
                      CheckText(expected));
    return false;
}

inline bool CheckStrings(const char* file, int line, const char* text, const char* actual,
                         const std::string& expected) {
    return CheckEqual(file, line, text, std::string(actual ? actual : "(null)"), expected);
}

// Each returns whether the check held, so that a test can stop where going on makes no sense.
#define CHECK(condition)                                                                           \
    ((condition) ? true : (ReportFailure(__FILE__, __LINE__, "CHECK(" #condition ")"), false))
#define CHECK_EQ(actual, expected) CheckEqual(__FILE__, __LINE__, #actual, (actual), (expected))
#define CHECK_STR(actual, expected) CheckStrings(__FILE__, __LINE__, #actual, (actual), (expected))

struct TestRegistration {
    TestRegistration(const char* name, void (*run)());
};

#define WIN32_TEST(name)                                                                           \
    static void name();                                                                            \
    static TestRegistration name##Registration(#name, name);                                       \
    static void name()

// Arguments of the test program that are not test names (a path handed over by CTest).
const std::string& TestArgument(const char* name);
