#include "tests/win32/win32_check.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {
struct Test {
    const char* name;
    void (*run)();
};

std::vector<Test>& Tests() {
    static std::vector<Test> tests;
    return tests;
}

volatile LONG failures = 0;
const char* currentTest = "";
std::vector<std::pair<std::string, std::string>> arguments;

// A test that hangs (a window that never comes or never goes) ends the program instead.
constexpr DWORD kTestDeadline = 60000;
volatile LONG testStart = 0; // GetTickCount() when the running test began
volatile LONG testRunning = 0;

DWORD WINAPI Watchdog(LPVOID) {
    for (;;) {
        Sleep(100);
        if (testRunning && GetTickCount() - static_cast<DWORD>(testStart) > kTestDeadline) {
            std::printf("[  TIMEOUT ] %s did not end within %lu ms\n", currentTest,
                        static_cast<unsigned long>(kTestDeadline));
            ExitProcess(3);
        }
    }
}

// A crash ends the test program at once, saying where, instead of leaving it to Wine's debugger,
// which holds it until the test's time runs out.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD& crash = *info->ExceptionRecord;
    std::printf("[  CRASHED ] %s: exception %08lx at %p in thread %lu\n", currentTest,
                static_cast<unsigned long>(crash.ExceptionCode), crash.ExceptionAddress,
                static_cast<unsigned long>(GetCurrentThreadId()));
    ExitProcess(4);
}
} // namespace

TestRegistration::TestRegistration(const char* name, void (*run)()) {
    Tests().push_back({name, run});
}

void ReportFailure(const char* file, int line, const std::string& what) {
    InterlockedIncrement(&failures);
    std::printf("%s:%d: failure in %s: %s\n", file, line, currentTest, what.c_str());
    std::fflush(stdout);
}

const std::string& TestArgument(const char* name) {
    static const std::string none;
    for (const auto& argument : arguments)
        if (argument.first == name)
            return argument.second;
    return none;
}

// Arguments: test names or name prefixes ending in '*' (none: every test), and
// name=value pairs that the tests read with TestArgument.
int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::vector<std::string> selected;
    for (int i = 1; i < argc; ++i) {
        const char* equals = std::strchr(argv[i], '=');
        if (equals)
            arguments.emplace_back(std::string(argv[i], equals - argv[i]), equals + 1);
        else
            selected.emplace_back(argv[i]);
    }
    SetUnhandledExceptionFilter(ReportCrash);
    CloseHandle(CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr));

    int run = 0;
    for (const Test& test : Tests()) {
        bool wanted = selected.empty();
        for (const std::string& name : selected) {
            if (name == test.name || (!name.empty() && name.back() == '*' &&
                                      std::strncmp(test.name, name.c_str(), name.size() - 1) == 0))
                wanted = true;
        }
        if (!wanted)
            continue;
        ++run;
        currentTest = test.name;
        LONG before = failures;
        std::printf("[ RUN      ] %s\n", test.name);
        testStart = static_cast<LONG>(GetTickCount());
        testRunning = 1;
        test.run();
        testRunning = 0;
        std::printf("%s %s\n", failures == before ? "[       OK ]" : "[  FAILED  ]", test.name);
    }
    if (run == 0) {
        std::printf("no test matches\n");
        return 2;
    }
    return failures == 0 ? 0 : 1;
}
