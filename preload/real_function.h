// The next definition of an interposed function (the C library's), looked up once.
#pragma once

#include <dlfcn.h>

template <typename Function> Function NextFunction(Function& cache, const char* name) {
    if (!cache)
        cache = reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
    return cache;
}

// Inside an interposed function `NAME`: the C library's `NAME`, with the same type.
// The functions the guard puts in front of the C library's; everything else stays inside.
#define GUARD_EXPORT extern "C" __attribute__((visibility("default")))

#define REAL(NAME)                                                                                 \
    ([]() {                                                                                        \
        static decltype(&NAME) cache;                                                              \
        return NextFunction(cache, #NAME);                                                         \
    }())
